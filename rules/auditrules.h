// Application audit rules: the record operations, the audit body (file and driver image) and
// the cache of the rules in force with the decisions the event prompt records.
#pragma once
#include <cstdint>

#include "base/array.h"
#include "base/bufferptr.h"
#include "rules/records.h"

struct _REPORT_EVENT_HEAD;  // the driver's 220-byte event record

constexpr int32_t kAuditRuleGrowStep = 12;

// Decisions the prompt and the audit cards deal in.
enum : uint32_t { AUDIT_PERMIT = 0, AUDIT_BLOCK = 1, AUDIT_NOTIFY = 2 };

// The ten match values in extra-area order.
uint32_t AuditMatchValues(_RKFW_AUDIT_RULE& rule, _MATCH_VALUE* (&out)[10]);

uint32_t InitAuditRule(_RKFW_AUDIT_RULE* rule);  // defaults of a new rule; 0, or 1
void CopyAuditRule(_RKFW_AUDIT_RULE* destination, const _RKFW_AUDIT_RULE* source);
void ReleaseAuditRule(_RKFW_AUDIT_RULE* rule);
void ReleaseAuditRules(_Array<_RKFW_AUDIT_RULE>& rules);  // release each, then clear

// Serialises the rules into an audit body (also the driver's audit image). 0.
uint32_t BuildAuditBody(const _Array<_RKFW_AUDIT_RULE>& rules, _bytePtr& body);
// Appends the body's rules: 0; 1 when there is no body or it is malformed (nothing appended).
uint32_t ParseAuditBody(const uint8_t* body, uint32_t size, _Array<_RKFW_AUDIT_RULE>& rules);
inline uint32_t ParseAuditBody(const _bytePtr& body, _Array<_RKFW_AUDIT_RULE>& rules) {
  return ParseAuditBody(body.Data(), body.Length(), rules);
}

// The three-way decision of a rule's Access: AUDIT_PERMIT, AUDIT_BLOCK, AUDIT_NOTIFY, or -1
// when the detailed conditions (or an odd combination) decide.
int32_t AuditDecisionOf(uint32_t access);

// Paths compare as Windows compares ANSI paths ignoring case.
int CompareAuditPaths(const char* a, const char* b);

// The audit rules last sent to the driver, deep copies.
extern _bufferPtr<_RKFW_AUDIT_RULE> AuditRuleCache;

_RKFW_AUDIT_RULE* FindAuditRuleById(uint32_t ruleId);
// 0 and the rule's RuleId for the first rule with that path; 12 when there is none.
uint32_t FindAuditRuleByPath(const char* path, uint32_t* ruleId = nullptr);
// Sets the decision of the cached rule and reloads the driver: 0; 1 for an unknown rule.
uint32_t SetAuditDecision(uint32_t ruleId, uint32_t decision);
// A new rule for `path` with that decision, appended to the cache: 0; 1 without a path.
uint32_t AddAuditRule(const char* path, uint32_t decision, uint32_t* ruleId = nullptr);
// Answers an application event from the cache: 0 when the verdict was sent, 13 when the user
// must be asked. Reads the kind at 8 and the path text referenced at 212; writes the verdict.
uint32_t AnswerFromAuditRules(_REPORT_EVENT_HEAD* event);
void ClearAuditRuleCache();
// Empties `rules`, then appends every cached rule: deep copies, or copies sharing the cache's
// texts and lists (the caller must then not release them).
void CopyAuditRulesFromCache(_Array<_RKFW_AUDIT_RULE>& rules, bool deep);
