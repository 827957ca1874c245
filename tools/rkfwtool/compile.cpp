// rkfwtool compile TEXT OUT [--utf8 | --gbk]: the text of dump back into a rule file or audit
// file. The text's encoding line says how it is written; a text without one is UTF-8 when it
// starts with a byte order mark, else as the flag says, else in the system's encoding.
#include <cstdio>
#include <string>

#include "base/result.h"
#include "tools/rkfwtool/commands.h"
#include "tools/rkfwtool/encoding.h"
#include "tools/rkfwtool/ruletext.h"
#include "tools/rkfwtool/toolio.h"

uint32_t RunCompile(int argc, char** argv) {
  bool utf8 = TakeFlag(argc, argv, "--utf8");
  bool gbk = TakeFlag(argc, argv, "--gbk");
  if (argc != 2 || (utf8 && gbk)) {
    fprintf(stderr, "usage: rkfwtool compile TEXT OUT [--utf8 | --gbk]\n");
    return RESULT_FAILED;
  }
  TTextEncoding unmarked = utf8 ? TTextEncoding::Utf8 : gbk ? TTextEncoding::Gbk : SystemTextEncoding();
  _bytePtr text;
  uint32_t result = ReadWholeFile(argv[0], text);
  if (result != RESULT_OK) return Report(result, "cannot read", argv[0]);
  _bytePtr file;
  std::string error;
  result = CompileRuleText(reinterpret_cast<const char*>(text.Data()), text.Length(), file, error, nullptr, unmarked);
  if (result != RESULT_OK) return Report(result, error.c_str(), argv[0]);
  result = WriteWholeFile(argv[1], file.Data(), file.Length());
  return result == RESULT_OK ? RESULT_OK : Report(result, "cannot write", argv[1]);
}
