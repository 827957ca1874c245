#include "rules/auditrules.h"

#include <cstring>
#include <new>

#include "base/bytes.h"
#include "base/result.h"
#include "base/text.h"
#include "platform/clock.h"
#include "platform/heap.h"
#include "rules/codec.h"
#include "rules/matchvalue.h"
#ifdef _WIN32
#include "platform/textcase.h"
#endif

namespace {
constexpr uint32_t kAuditSize = sizeof(_RKFW_AUDIT_RULE);

uint32_t AuditMatchValues(const _RKFW_AUDIT_RULE& rule, const _MATCH_VALUE* (&out)[10]) {
  _MATCH_VALUE* values[10];
  uint32_t n = AuditMatchValues(const_cast<_RKFW_AUDIT_RULE&>(rule), values);
  for (uint32_t i = 0; i < n; ++i) out[i] = values[i];
  return n;
}

char* PathOf(const _RKFW_AUDIT_RULE& rule) { return rule.AppPath; }
}  // namespace

uint32_t AuditMatchValues(_RKFW_AUDIT_RULE& rule, _MATCH_VALUE* (&out)[10]) {
  out[0] = &rule.IpLocalAddr;
  out[1] = &rule.IpRemoteAddr;
  out[2] = &rule.TcpLocalAddr;
  out[3] = &rule.TcpRemoteAddr;
  out[4] = &rule.TcpLocalPort;
  out[5] = &rule.TcpRemotePort;
  out[6] = &rule.UdpLocalAddr;
  out[7] = &rule.UdpRemoteAddr;
  out[8] = &rule.UdpLocalPort;
  out[9] = &rule.UdpRemotePort;
  return 10;
}

uint32_t InitAuditRule(_RKFW_AUDIT_RULE* rule) {
  if (rule == nullptr) return RESULT_FAILED;
  rule->RuleId = static_cast<uint32_t>(GetUtcFileTime());
  rule->MatchAction = 0;
  rule->MissAction = 1;
  rule->Reserved1 = 0;
  rule->Access = AUDIT_DECISION_PERMIT;
  rule->IpOps = 0x03;
  rule->TcpOps = 0x0F;
  rule->UdpOps = 0x13;
  _MATCH_VALUE* values[10];
  AuditMatchValues(*rule, values);
  for (_MATCH_VALUE* value : values) memset(value, 0, sizeof *value);
  return RESULT_OK;
}

void CopyAuditRule(_RKFW_AUDIT_RULE* destination, const _RKFW_AUDIT_RULE* source) {
  if (destination == nullptr || source == nullptr || destination == source) return;
  if (source->Packed) {
    memcpy(destination, source, kAuditSize);
    return;
  }
  destination->Packed = 0;
  destination->AppPath = CopyHeapText(source->AppPath);
  destination->RuleId = source->RuleId;
  destination->MatchAction = source->MatchAction;
  destination->MissAction = source->MissAction;
  destination->Reserved1 = source->Reserved1;
  destination->Access = source->Access;
  destination->IpOps = source->IpOps;
  destination->TcpOps = source->TcpOps;
  destination->UdpOps = source->UdpOps;
  _MATCH_VALUE* to[10];
  const _MATCH_VALUE* from[10];
  AuditMatchValues(*destination, to);
  AuditMatchValues(*source, from);
  for (uint32_t i = 0; i < 10; ++i) CopyMatchValue(to[i], from[i]);
}

void ReleaseAuditRule(_RKFW_AUDIT_RULE* rule) {
  if (rule == nullptr || rule->Packed) return;
  PlatformFree(rule->AppPath);
  rule->AppPath = nullptr;
  _MATCH_VALUE* values[10];
  AuditMatchValues(*rule, values);
  for (_MATCH_VALUE* value : values) ReleaseMatchValue(value);
}

void ReleaseAuditRules(_Array<_RKFW_AUDIT_RULE>& rules) {
  for (_RKFW_AUDIT_RULE& rule : rules) ReleaseAuditRule(&rule);
  rules.Clear();
}

bool AnySerialised(const _Array<_RKFW_AUDIT_RULE>& rules) {
  for (const _RKFW_AUDIT_RULE& rule : rules)
    if (rule.Packed) return true;
  return false;
}

uint32_t BuildAuditBody(const _Array<_RKFW_AUDIT_RULE>& rules, _bytePtr& body) {
  body.Release();
  // A serialised record's path and lists are offsets into a body that is not here.
  if (AnySerialised(rules)) return RESULT_FAILED;
  uint32_t n = static_cast<uint32_t>(rules.Count);
  uint64_t extra = 0;
  for (const _RKFW_AUDIT_RULE& rule : rules) {
    extra += HeapTextLength(PathOf(rule)) + 1ull;
    const _MATCH_VALUE* values[10];
    AuditMatchValues(rule, values);
    for (const _MATCH_VALUE* value : values)
      if (value->Kind == MATCH_LIST) extra += 4ull * value->Value1;
  }
  uint64_t records = static_cast<uint64_t>(AUDIT_BODY_RECORD_SIZE) * n;
  uint64_t size = AUDIT_BODY_HEADER_SIZE + records + extra + 1;
  if (size > 0x7FFFFFFF) throw std::bad_alloc();
  body.Reset(static_cast<uint32_t>(size));
  uint8_t* out = body.Data();
  StoreLe32(out, static_cast<uint32_t>(size));
  StoreLe32(out + AUDIT_BODY_COUNT_AT, n);
  StoreLe32(out + AUDIT_BODY_RECORDS_AT, 0);
  StoreLe32(out + AUDIT_BODY_EXTRA_SIZE_AT, static_cast<uint32_t>(extra));
  StoreLe32(out + AUDIT_BODY_EXTRA_AT, static_cast<uint32_t>(records));
  CExtraWriter extraArea(out + AUDIT_BODY_HEADER_SIZE + records, static_cast<uint32_t>(extra));
  uint8_t* slot = out + AUDIT_BODY_HEADER_SIZE;
  for (const _RKFW_AUDIT_RULE& rule : rules) {
    _RKFW_AUDIT_RULE copy;
    memcpy(&copy, &rule, kAuditSize);
    copy.AppPath = reinterpret_cast<char*>(static_cast<uintptr_t>(extraArea.PutText(rule.AppPath)));
    _MATCH_VALUE* values[10];
    AuditMatchValues(copy, values);
    for (_MATCH_VALUE* value : values) extraArea.PutList(value);
    copy.Packed = 1;
    memcpy(slot, reinterpret_cast<const uint8_t*>(&copy) + AUDIT_BODY_RECORD_FROM, AUDIT_BODY_RECORD_SIZE);
    slot += AUDIT_BODY_RECORD_SIZE;
  }
  return RESULT_OK;
}

namespace {
uint32_t ParseAuditRules(const uint8_t* body, uint32_t size, _Array<_RKFW_AUDIT_RULE>& rules) {
  if (body == nullptr || size < AUDIT_BODY_HEADER_SIZE) return RESULT_FAILED;
  uint32_t count = LoadLe32(body + AUDIT_BODY_COUNT_AT);
  uint32_t first = LoadLe32(body + AUDIT_BODY_RECORDS_AT);
  uint32_t room = size - AUDIT_BODY_HEADER_SIZE;
  if (first > room || count > (room - first) / AUDIT_BODY_RECORD_SIZE) return RESULT_FAILED;
  uint32_t extraOffset = LoadLe32(body + AUDIT_BODY_EXTRA_AT);
  if (extraOffset > room) return RESULT_FAILED;
  CExtraReader extraArea(body, size, AUDIT_BODY_HEADER_SIZE + extraOffset, LoadLe32(body + AUDIT_BODY_EXTRA_SIZE_AT));
  if (!extraArea.ok()) return RESULT_FAILED;
  int32_t step = rules.GrowStep > 0 ? rules.GrowStep : kAuditRuleGrowStep;
  _Array<_RKFW_AUDIT_RULE> parsed(count > static_cast<uint32_t>(step) ? static_cast<int32_t>(count) : step);
  CParsedGuard<_RKFW_AUDIT_RULE, ReleaseAuditRule> guard(parsed);
  const uint8_t* slot = body + AUDIT_BODY_HEADER_SIZE + first;
  for (uint32_t i = 0; i < count; ++i, slot += AUDIT_BODY_RECORD_SIZE) {
    _RKFW_AUDIT_RULE stored;
    memset(&stored, 0, kAuditSize);
    memcpy(reinterpret_cast<uint8_t*>(&stored) + AUDIT_BODY_RECORD_FROM, slot, AUDIT_BODY_RECORD_SIZE);
    stored.Packed = 1;
    _RKFW_AUDIT_RULE rule;
    memcpy(&rule, &stored, kAuditSize);
    rule.Packed = 0;
    rule.AppPath = nullptr;
    _MATCH_VALUE* values[10];
    AuditMatchValues(rule, values);
    for (_MATCH_VALUE* value : values)
      if (value->Kind == MATCH_LIST) value->Value2 = 0;
    _RKFW_AUDIT_RULE& held = parsed[parsed.Append(rule)];
    const _MATCH_VALUE* from[10];
    AuditMatchValues(held, values);
    AuditMatchValues(stored, from);
    if (!extraArea.TakeText(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stored.AppPath)), &held.AppPath))
      return RESULT_FAILED;
    for (uint32_t v = 0; v < 10; ++v)
      if (values[v]->Kind == MATCH_LIST && !extraArea.TakeList(*from[v], values[v])) return RESULT_FAILED;
  }
  parsed.GrowStep = step;
  guard.Keep();  // from here on the records belong to the caller's array
  AppendParsed(rules, parsed);
  return RESULT_OK;
}
}  // namespace

uint32_t ParseAuditBody(const uint8_t* body, uint32_t size, _Array<_RKFW_AUDIT_RULE>& rules) {
  try {
    return ParseAuditRules(body, size, rules);
  } catch (const std::bad_alloc&) {
    return RESULT_FAILED;  // the guard has released what was parsed; nothing was appended
  }
}

int32_t AuditDecisionOf(uint32_t access) {
  switch (access & AUDIT_DECISION_MASK) {
    case AUDIT_DECISION_PERMIT:
      return AUDIT_PERMIT;
    case AUDIT_DECISION_NOTIFY:
      return AUDIT_NOTIFY;
    case AUDIT_DECISION_BLOCK:
      return AUDIT_BLOCK;
    default:
      return -1;
  }
}

int CompareAuditPaths(const char* a, const char* b) {
#ifdef _WIN32
  return CompareAnsiTextIgnoringCase(a, b);  // lstrcmpiA, as Windows compares ANSI paths
#else
  return CompareTextIgnoringCase(a, b);  // ASCII fold; GBK double-byte characters exact
#endif
}

bool IsFullProgramPath(const char* path) {
  if (path == nullptr) return false;
  const unsigned char drive = static_cast<unsigned char>(path[0]);
  const bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
  if (letter && path[1] == ':' && path[2] == '\\') return path[3] != 0;
  // A share: "\\server\name", with a server and something after it.
  if (path[0] != '\\' || path[1] != '\\' || path[2] == 0 || path[2] == '\\') return false;
  const char* slash = strchr(path + 2, '\\');
  return slash != nullptr && slash[1] != 0;
}
