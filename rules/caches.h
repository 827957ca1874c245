// The two caches of the rules in force: deep copies of what was last sent to the driver.
// Only the loaders replace them; the audit decisions change single rules.
#pragma once
#include <cstdint>

#include "base/array.h"
#include "base/bufferptr.h"
#include "rules/auditrules.h"
#include "rules/iprules.h"

extern _bufferPtr<_RKFW_RULE> IpRuleCache;
extern _bufferPtr<_RKFW_AUDIT_RULE> AuditRuleCache;

// The cached rule with that identifier, or nullptr (the event text names rules by it).
const _RKFW_RULE* FindIpRuleById(uint32_t ruleId);
_RKFW_AUDIT_RULE* FindAuditRuleById(uint32_t ruleId);
// The first cached audit rule for that path (compared as CompareAuditPaths does), or nullptr.
_RKFW_AUDIT_RULE* FindCachedAuditPath(const char* path);
// 0 and the rule's RuleId for the first rule with that path; 12 when there is none.
uint32_t FindAuditRuleByPath(const char* path, uint32_t* ruleId = nullptr);

// Told after each change of AuditRuleCache that the driver took (a set applied, a decision
// recorded, a rule added), so that whoever keeps app.aud can save it at once. One hook.
using AuditRulesChangedHook = void (*)(void* context);
void SetAuditRulesChangedHook(AuditRulesChangedHook hook, void* context);
void NoteAuditRulesChanged();

// Release every cached rule and leave the cache empty.
void ClearIpRuleCache();
void ClearAuditRuleCache();

// Empties `rules`, then appends every cached rule: deep copies, or copies sharing the cache's
// texts and lists (the caller must then not release them).
void CopyIpRulesFromCache(_Array<_RKFW_RULE>& rules, bool deep);
void CopyAuditRulesFromCache(_Array<_RKFW_AUDIT_RULE>& rules, bool deep);
