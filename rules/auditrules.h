// Application audit rules: the record operations and the audit body (file and driver image).
#pragma once
#include <cstdint>

#include "base/array.h"
#include "base/bufferptr.h"
#include "rules/records.h"

constexpr int32_t kAuditRuleGrowStep = 12;

// Decisions the prompt and the audit cards deal in.
enum : uint32_t { AUDIT_PERMIT = 0, AUDIT_BLOCK = 1, AUDIT_NOTIFY = 2 };

// The ten match values in extra-area order.
uint32_t AuditMatchValues(_RKFW_AUDIT_RULE& rule, _MATCH_VALUE* (&out)[10]);

uint32_t InitAuditRule(_RKFW_AUDIT_RULE* rule);  // defaults of a new rule; 0, or 1
void CopyAuditRule(_RKFW_AUDIT_RULE* destination, const _RKFW_AUDIT_RULE* source);
void ReleaseAuditRule(_RKFW_AUDIT_RULE* rule);
void ReleaseAuditRules(_Array<_RKFW_AUDIT_RULE>& rules);  // release each, then clear

// True when some record is in serialised form (Packed 1): nothing can be built from it.
bool AnySerialised(const _Array<_RKFW_AUDIT_RULE>& rules);
// Serialises the rules into an audit body (also the driver's audit image): 0; 1 (and no body)
// when a record is serialised. Throws std::bad_alloc when out of memory.
uint32_t BuildAuditBody(const _Array<_RKFW_AUDIT_RULE>& rules, _bytePtr& body);
// Appends the body's rules: 0; 1 when there is no body, it is malformed, it refers to more
// text and list bytes than its extra area holds, or memory runs out (nothing appended; no
// exception escapes).
uint32_t ParseAuditBody(const uint8_t* body, uint32_t size, _Array<_RKFW_AUDIT_RULE>& rules);
inline uint32_t ParseAuditBody(const _bytePtr& body, _Array<_RKFW_AUDIT_RULE>& rules) {
  return ParseAuditBody(body.Data(), body.Length(), rules);
}

// The three-way decision of a rule's Access: AUDIT_PERMIT, AUDIT_BLOCK, AUDIT_NOTIFY, or -1
// when the detailed conditions (or an odd combination) decide.
int32_t AuditDecisionOf(uint32_t access);

// Paths compare as Windows compares ANSI paths ignoring case.
int CompareAuditPaths(const char* a, const char* b);

// Whether `path` names one program file for good: "X:\..." or "\\server\...". A failed path
// request leaves "", "Unknown" or a name bound to one process, and a rule for such a text would
// decide for every program whose path is unknown.
bool IsFullProgramPath(const char* path);
