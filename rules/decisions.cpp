#include "rules/decisions.h"

#include <cstring>

#include "base/result.h"
#include "rules/caches.h"
#include "rules/loader.h"

namespace {
constexpr uint32_t kDetailedOrAsk = AUDIT_ACCESS_DETAILED | AUDIT_ACCESS_ASK;

uint32_t AccessWithDecision(uint32_t access, uint32_t decision) {
  switch (decision) {
    case AUDIT_PERMIT:
      return (access & ~kDetailedOrAsk) | AUDIT_DECISION_PERMIT;
    case AUDIT_NOTIFY:
      return (access & ~kDetailedOrAsk) | AUDIT_DECISION_NOTIFY;
    case AUDIT_BLOCK:
      return access & ~static_cast<uint32_t>(AUDIT_DECISION_MASK);
    default:
      return access;
  }
}
}  // namespace

uint32_t SetAuditDecision(uint32_t ruleId, uint32_t decision) {
  _RKFW_AUDIT_RULE* rule = FindAuditRuleById(ruleId);
  if (rule == nullptr) return RESULT_FAILED;
  const uint32_t before = rule->Access;
  rule->Access = AccessWithDecision(before, decision);
  uint32_t result = ReloadAuditRules();
  if (result != RESULT_OK) {
    rule->Access = before;  // the driver runs the old decision: so does the cache
    return result;
  }
  NoteAuditRulesChanged();
  return RESULT_OK;
}

uint32_t AddAuditRule(const char* path, uint32_t decision, uint32_t* ruleId) {
  if (!IsFullProgramPath(path)) return RESULT_FAILED;
  _RKFW_AUDIT_RULE rule;
  memset(&rule, 0, sizeof rule);
  InitAuditRule(&rule);
  rule.Access = AccessWithDecision(rule.Access, decision);
  rule.AppPath = const_cast<char*>(path);  // ApplyAuditRules keeps its own copy
  uint32_t result;
  {
    _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);  // shares the cache's texts
    CopyAuditRulesFromCache(rules, false);
    rules.Append(rule);
    result = ApplyAuditRules(rules);
    rules.Clear();
  }
  if (result == RESULT_OK && ruleId != nullptr) *ruleId = rule.RuleId;
  return result;
}

uint32_t RecordAuditDecision(const char* path, uint32_t decision, const uint32_t* ruleId) {
  if (ruleId != nullptr && FindAuditRuleById(*ruleId) != nullptr) return SetAuditDecision(*ruleId, decision);
  uint32_t found = 0;
  if (path != nullptr && FindAuditRuleByPath(path, &found) == RESULT_OK) return SetAuditDecision(found, decision);
  return AddAuditRule(path, decision);
}
