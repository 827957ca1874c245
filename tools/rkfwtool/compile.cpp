// rkfwtool compile TEXT OUT: the text of dump back into a rule file or audit file.
#include <cstdio>
#include <string>

#include "base/result.h"
#include "tools/rkfwtool/commands.h"
#include "tools/rkfwtool/ruletext.h"
#include "tools/rkfwtool/toolio.h"

uint32_t RunCompile(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: rkfwtool compile TEXT OUT\n");
    return RESULT_FAILED;
  }
  _bytePtr text;
  uint32_t result = ReadWholeFile(argv[0], text);
  if (result != RESULT_OK) return Report(result, "cannot read", argv[0]);
  _bytePtr file;
  std::string error;
  result = CompileRuleText(reinterpret_cast<const char*>(text.Data()), text.Length(), file, error);
  if (result != RESULT_OK) return Report(result, error.c_str(), argv[0]);
  result = WriteWholeFile(argv[1], file.Data(), file.Length());
  return result == RESULT_OK ? RESULT_OK : Report(result, "cannot write", argv[1]);
}
