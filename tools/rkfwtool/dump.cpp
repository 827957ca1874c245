// rkfwtool dump FILE [--audit] [--utf8 | --gbk]: the file as readable text on standard output,
// in UTF-8 when the locale is UTF-8 (or with --utf8), else in GBK as stored.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/result.h"
#include "tools/rkfwtool/commands.h"
#include "tools/rkfwtool/encoding.h"
#include "tools/rkfwtool/ruletext.h"
#include "tools/rkfwtool/toolio.h"

uint32_t RunDump(int argc, char** argv) {
  bool audit = TakeAuditFlag(argc, argv);
  bool utf8 = TakeFlag(argc, argv, "--utf8");
  bool gbk = TakeFlag(argc, argv, "--gbk");
  if (argc != 1 || (utf8 && gbk)) {
    fprintf(stderr, "usage: rkfwtool dump FILE [--audit] [--utf8 | --gbk]\n");
    return RESULT_FAILED;
  }
  _bytePtr data;
  uint32_t result = ReadWholeFile(argv[0], data);
  if (result != RESULT_OK) return Report(result, "cannot read", argv[0]);
  std::string text, error;
  bool asAudit = IsAuditFile(argv[0], data, audit);
  result = DumpRuleFileBytes(data.Data(), data.Length(), asAudit, text, error);
  if (result != RESULT_OK) {
    // An audit file under another name reads as a damaged rule file: say what it is.
    std::string other, ignored;
    if (!asAudit && DumpRuleFileBytes(data.Data(), data.Length(), true, other, ignored) == RESULT_OK)
      error += "; it is an audit file: use rkfwtool dump FILE --audit";
    return Report(result, error.c_str(), argv[0]);
  }
  bool reproduces = TextReproducesFile(data.Data(), data.Length(), text);
  if (utf8 || (!gbk && OutputLocaleIsUtf8())) text = GbkTextToUtf8(text);
  fwrite(text.data(), 1, text.size(), stdout);
  if (!reproduces)
    fprintf(stderr, "rkfwtool: note: %s is not laid out as the console writes; compile gives an equivalent file, "
                    "not the same bytes\n", argv[0]);
  return fflush(stdout) == 0 ? RESULT_OK : RESULT_FAILED;
}
