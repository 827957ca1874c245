// rkfwtool rewrite IN OUT [--audit]: reads IN and writes OUT the way the console saves.
#include <cstdio>

#include "base/array.h"
#include "base/result.h"
#include "rules/auditrules.h"
#include "rules/iprules.h"
#include "rules/rulefile.h"
#include "tools/rkfwtool/commands.h"
#include "tools/rkfwtool/toolio.h"

uint32_t RunRewrite(int argc, char** argv) {
  bool forced = TakeAuditFlag(argc, argv);
  if (argc != 2) {
    fprintf(stderr, "usage: rkfwtool rewrite IN OUT [--audit]\n");
    return RESULT_FAILED;
  }
  _bytePtr data;
  uint32_t result = ReadWholeFile(argv[0], data);
  if (result != RESULT_OK) return Report(result, "cannot read", argv[0]);
  if (IsAuditFile(argv[0], data, forced)) {
    _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
    result = ReadAuditFile(argv[0], rules, RuleFileLookup::AsGiven);
    if (result != RESULT_OK) return Report(result, "cannot read the audit file", argv[0]);
    result = WriteAuditFile(argv[1], rules);
    ReleaseAuditRules(rules);
  } else {
    _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
    result = ReadRuleFile(argv[0], rules, RuleFileLookup::AsGiven);
    if (result != RESULT_OK) return Report(result, "cannot read the rule file", argv[0]);
    result = WriteRuleFile(argv[1], rules);
    ReleaseRules(rules);
  }
  return result == RESULT_OK ? RESULT_OK : Report(result, "cannot write", argv[1]);
}
