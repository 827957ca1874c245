#include "rules/decisions.h"

#include <cstring>

#include "base/result.h"
#include "platform/heap.h"
#include "rules/caches.h"
#include "rules/codec.h"
#include "rules/loader.h"

uint32_t SetAuditDecision(uint32_t ruleId, uint32_t decision) {
  _RKFW_AUDIT_RULE* rule = FindAuditRuleById(ruleId);
  if (rule == nullptr) return RESULT_FAILED;
  switch (decision) {
    case AUDIT_PERMIT:
      rule->Access = (rule->Access & ~0x30u) | 0x07u;
      break;
    case AUDIT_NOTIFY:
      rule->Access = (rule->Access & ~0x30u) | 0x27u;
      break;
    case AUDIT_BLOCK:
      rule->Access &= ~0x37u;
      break;
    default:
      break;
  }
  ReloadAuditRules();  // the cache shows the user's choice even when the driver refuses it
  return RESULT_OK;
}

uint32_t AddAuditRule(const char* path, uint32_t decision, uint32_t* ruleId) {
  if (path == nullptr) return RESULT_FAILED;
  _RKFW_AUDIT_RULE rule;
  memset(&rule, 0, sizeof rule);
  InitAuditRule(&rule);
  if (ruleId != nullptr) *ruleId = rule.RuleId;
  rule.AppPath = CopyHeapText(path);
  uint32_t count = AuditRuleCache.Length();
  _bufferPtr<_RKFW_AUDIT_RULE> grown;
  try {
    grown.Reset(count + 1);
  } catch (...) {
    PlatformFree(rule.AppPath);
    throw;
  }
  // The old records move over byte for byte, their texts and lists with them.
  if (count != 0) memcpy(static_cast<void*>(grown.Data()), AuditRuleCache.Data(), count * sizeof rule);
  memcpy(static_cast<void*>(&grown[count]), &rule, sizeof rule);
  AuditRuleCache = grown;
  return SetAuditDecision(rule.RuleId, decision);
}
