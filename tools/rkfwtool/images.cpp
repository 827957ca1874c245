// rkfwtool ip-image IN.rul OUT.bin and audit-image IN.aud OUT.bin: the bytes the console sends
// to the driver for a rule file.
#include <cstdio>

#include "base/array.h"
#include "base/bytes.h"
#include "base/result.h"
#include "rules/auditrules.h"
#include "rules/iprules.h"
#include "rules/loader.h"
#include "rules/rulefile.h"
#include "tools/rkfwtool/commands.h"
#include "tools/rkfwtool/toolio.h"

uint32_t RunIpImage(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: rkfwtool ip-image IN.rul OUT.bin\n");
    return RESULT_FAILED;
  }
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  uint32_t result = ReadRuleFile(argv[0], rules, RuleFileLookup::AsGiven);
  if (result != RESULT_OK) return Report(result, "cannot read the rule file", argv[0]);
  _bytePtr image;
  BuildIpRuleImage(rules, image);
  ReleaseRules(rules);
  result = WriteWholeFile(argv[1], image.Data(), LoadLe32(image.Data()));
  return result == RESULT_OK ? RESULT_OK : Report(result, "cannot write", argv[1]);
}

uint32_t RunAuditImage(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: rkfwtool audit-image IN.aud OUT.bin\n");
    return RESULT_FAILED;
  }
  _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
  uint32_t result = ReadAuditFile(argv[0], rules, RuleFileLookup::AsGiven);
  if (result != RESULT_OK) return Report(result, "cannot read the audit file", argv[0]);
  _bytePtr image;
  BuildAuditBody(rules, image);
  ReleaseAuditRules(rules);
  result = WriteWholeFile(argv[1], image.Data(), LoadLe32(image.Data()));
  return result == RESULT_OK ? RESULT_OK : Report(result, "cannot write", argv[1]);
}
