// First delivery: the operations exist so that callers link; bodies follow.
#include "rules/auditrules.h"
#include "rules/driver_link.h"
#include "rules/iprules.h"
#include "rules/loader.h"
#include "rules/rulefile.h"

const uint8_t kRuleFileMagic[4] = {'R', 'K', 'F', 'A'};
_bufferPtr<_RKFW_RULE> IpRuleCache;
_bufferPtr<_RKFW_AUDIT_RULE> AuditRuleCache;

uint32_t RuleFileChecksum(const void*, uint32_t) { return 0xFFFFFFFF; }
uint32_t RuleFileChecksumBitwise(const void*, uint32_t) { return 0xFFFFFFFF; }
uint32_t ReadRuleFile(const char*, _Array<_RKFW_RULE>&) { return 10; }
uint32_t ReadAuditFile(const char*, _Array<_RKFW_AUDIT_RULE>&) { return 10; }
uint32_t WriteRuleFile(const char*, const _Array<_RKFW_RULE>&) { return 1; }
uint32_t WriteAuditFile(const char*, const _Array<_RKFW_AUDIT_RULE>&) { return 1; }
uint32_t ReadRuleFileBody(const char*, bool, _bytePtr&) { return 10; }
uint32_t WriteRuleFileBody(const char*, const _bytePtr&) { return 1; }
uint32_t BuildRuleFileBytes(const _bytePtr&, _bytePtr&) { return 1; }
uint32_t ParseRuleFileBytes(const uint8_t*, uint32_t, bool, _bytePtr&) { return 1; }

uint32_t UsedMatchValues(_RKFW_RULE&, _MATCH_VALUE* (&)[4]) { return 0; }
uint32_t UsedMatchValues(const _RKFW_RULE&, const _MATCH_VALUE* (&)[4]) { return 0; }
void CopyMatchValue(_MATCH_VALUE*, const _MATCH_VALUE*) {}
void ReleaseMatchValue(_MATCH_VALUE*) {}
void CopyRule(_RKFW_RULE*, const _RKFW_RULE*) {}
void ReleaseRule(_RKFW_RULE*) {}
uint32_t StampRule(_RKFW_RULE*) { return 1; }
uint32_t BuildRuleFileBody(const _Array<_RKFW_RULE>&, _bytePtr&) { return 0; }
uint32_t ParseRuleFileBody(const uint8_t*, uint32_t, _Array<_RKFW_RULE>&) { return 1; }
void ReleaseRules(_Array<_RKFW_RULE>& rules) { rules.Clear(); }
const _RKFW_RULE* FindIpRuleById(uint32_t) { return nullptr; }
const char* RuleProtocolName(int32_t) { return ""; }
const char* RuleActionName(int32_t) { return ""; }

uint32_t AuditMatchValues(_RKFW_AUDIT_RULE&, _MATCH_VALUE* (&)[10]) { return 0; }
uint32_t InitAuditRule(_RKFW_AUDIT_RULE*) { return 1; }
void CopyAuditRule(_RKFW_AUDIT_RULE*, const _RKFW_AUDIT_RULE*) {}
void ReleaseAuditRule(_RKFW_AUDIT_RULE*) {}
void ReleaseAuditRules(_Array<_RKFW_AUDIT_RULE>& rules) { rules.Clear(); }
uint32_t BuildAuditBody(const _Array<_RKFW_AUDIT_RULE>&, _bytePtr&) { return 0; }
uint32_t ParseAuditBody(const uint8_t*, uint32_t, _Array<_RKFW_AUDIT_RULE>&) { return 1; }
int32_t AuditDecisionOf(uint32_t) { return -1; }
int CompareAuditPaths(const char*, const char*) { return 1; }
_RKFW_AUDIT_RULE* FindAuditRuleById(uint32_t) { return nullptr; }
uint32_t FindAuditRuleByPath(const char*, uint32_t*) { return 12; }
uint32_t SetAuditDecision(uint32_t, uint32_t) { return 1; }
uint32_t AddAuditRule(const char*, uint32_t, uint32_t*) { return 1; }
uint32_t AnswerFromAuditRules(_REPORT_EVENT_HEAD*) { return 13; }
void ClearAuditRuleCache() {}
void CopyAuditRulesFromCache(_Array<_RKFW_AUDIT_RULE>& rules, bool) { rules.Clear(); }

uint32_t BuildIpRuleImage(const _Array<_RKFW_RULE>&, _bytePtr&) { return 0; }
uint32_t ApplyIpRules(const _Array<_RKFW_RULE>&) { return 5; }
uint32_t LoadLevelRules(const char*) { return 10; }
void ClearIpRuleCache() {}
void CopyIpRulesFromCache(_Array<_RKFW_RULE>& rules, bool) { rules.Clear(); }
uint32_t ApplyAuditRules(const _Array<_RKFW_AUDIT_RULE>&) { return 5; }
uint32_t LoadAuditRules(const char*) { return 10; }
uint32_t ReloadAuditRules() { return 5; }
const char* LevelRuleFileName(int32_t) { return "msec.rul"; }

namespace {
bool NotOpen() { return false; }
uint32_t Refuse(const uint8_t*, uint32_t) { return 5; }
uint32_t NoVerdict(void*) { return 5; }
const CRuleDriverLink kNone = {NotOpen, Refuse, Refuse, NoVerdict};
const CRuleDriverLink* g_link = &kNone;
}  // namespace
const CRuleDriverLink& RuleDriverLink() { return *g_link; }
void SetRuleDriverLink(const CRuleDriverLink* link) { g_link = link ? link : &kNone; }
