#include "rules/caches.h"

#include <cstring>

#include "base/result.h"

_bufferPtr<_RKFW_RULE> IpRuleCache;
_bufferPtr<_RKFW_AUDIT_RULE> AuditRuleCache;

namespace {
AuditRulesChangedHook g_auditChanged = nullptr;
void* g_auditChangedContext = nullptr;
}  // namespace

void SetAuditRulesChangedHook(AuditRulesChangedHook hook, void* context) {
  g_auditChanged = hook;
  g_auditChangedContext = context;
}

void NoteAuditRulesChanged() {
  if (g_auditChanged != nullptr) g_auditChanged(g_auditChangedContext);
}

const _RKFW_RULE* FindIpRuleById(uint32_t ruleId) {
  for (uint32_t i = 0; i < IpRuleCache.Length(); ++i)
    if (IpRuleCache[i].RuleId == ruleId) return &IpRuleCache[i];
  return nullptr;
}

_RKFW_AUDIT_RULE* FindAuditRuleById(uint32_t ruleId) {
  for (uint32_t i = 0; i < AuditRuleCache.Length(); ++i)
    if (AuditRuleCache[i].RuleId == ruleId) return &AuditRuleCache[i];
  return nullptr;
}

_RKFW_AUDIT_RULE* FindCachedAuditPath(const char* path) {
  if (path == nullptr) return nullptr;
  for (uint32_t i = 0; i < AuditRuleCache.Length(); ++i) {
    _RKFW_AUDIT_RULE& rule = AuditRuleCache[i];
    if (rule.AppPath != nullptr && CompareAuditPaths(rule.AppPath, path) == 0) return &rule;
  }
  return nullptr;
}

uint32_t FindAuditRuleByPath(const char* path, uint32_t* ruleId) {
  _RKFW_AUDIT_RULE* rule = FindCachedAuditPath(path);
  if (rule == nullptr) return RESULT_AUDIT_RULE_NOT_FOUND;
  if (ruleId != nullptr) *ruleId = rule->RuleId;
  return RESULT_OK;
}

void ClearIpRuleCache() {
  for (uint32_t i = 0; i < IpRuleCache.Length(); ++i) ReleaseRule(&IpRuleCache[i]);
  IpRuleCache.Release();
}

void ClearAuditRuleCache() {
  for (uint32_t i = 0; i < AuditRuleCache.Length(); ++i) ReleaseAuditRule(&AuditRuleCache[i]);
  AuditRuleCache.Release();
}

void CopyIpRulesFromCache(_Array<_RKFW_RULE>& rules, bool deep) {
  rules.Clear();
  for (uint32_t i = 0; i < IpRuleCache.Length(); ++i) {
    if (!deep) {
      rules.Append(IpRuleCache[i]);
      continue;
    }
    _RKFW_RULE copy;
    memset(&copy, 0, sizeof copy);
    CopyRule(&copy, &IpRuleCache[i]);
    rules.Append(copy);
  }
}

void CopyAuditRulesFromCache(_Array<_RKFW_AUDIT_RULE>& rules, bool deep) {
  rules.Clear();
  for (uint32_t i = 0; i < AuditRuleCache.Length(); ++i) {
    if (!deep) {
      rules.Append(AuditRuleCache[i]);
      continue;
    }
    _RKFW_AUDIT_RULE copy;
    memset(&copy, 0, sizeof copy);
    CopyAuditRule(&copy, &AuditRuleCache[i]);
    rules.Append(copy);
  }
}
