// rkfwtool dump FILE [--audit]: the file as readable text on standard output.
#include <cstdio>
#include <string>

#include "base/result.h"
#include "tools/rkfwtool/commands.h"
#include "tools/rkfwtool/ruletext.h"
#include "tools/rkfwtool/toolio.h"

uint32_t RunDump(int argc, char** argv) {
  bool audit = TakeAuditFlag(argc, argv);
  if (argc != 1) {
    fprintf(stderr, "usage: rkfwtool dump FILE [--audit]\n");
    return RESULT_FAILED;
  }
  _bytePtr data;
  uint32_t result = ReadWholeFile(argv[0], data);
  if (result != RESULT_OK) return Report(result, "cannot read", argv[0]);
  std::string text, error;
  result = DumpRuleFileBytes(data.Data(), data.Length(), IsAuditFile(argv[0], data, audit), text, error);
  if (result != RESULT_OK) return Report(result, error.c_str(), argv[0]);
  fwrite(text.data(), 1, text.size(), stdout);
  if (!TextReproducesFile(data.Data(), data.Length(), text))
    fprintf(stderr, "rkfwtool: note: %s is not laid out as the console writes; compile gives an equivalent file, "
                    "not the same bytes\n", argv[0]);
  return fflush(stdout) == 0 ? RESULT_OK : RESULT_FAILED;
}
