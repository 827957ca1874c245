// IP rules: per-rule copy and release, and the rule file body.
#pragma once
#include <cstdint>
#include <string>

#include "base/array.h"
#include "base/bytebuffer.h"
#include "base/bufferptr.h"
#include "rules/matchvalue.h"
#include "rules/records.h"

constexpr int32_t kIpRuleGrowStep = 18;

// The match values a protocol uses, in extra-area order: IP and ICMP LocalAddr, IpRemoteAddr;
// TCP and UDP LocalAddr, RemoteAddr, LocalPort, RemotePort; IGMP and others none.
// Returns how many were stored in `out`.
// Inline: the codecs ask it for every rule.
inline uint32_t UsedMatchValues(_RKFW_RULE& rule, _MATCH_VALUE* (&out)[4]) {
  switch (rule.Protocol) {
    case RULE_PROTO_IP:
    case RULE_PROTO_ICMP:
      out[0] = &rule.LocalAddr;
      out[1] = &rule.IpRemoteAddr;
      return 2;
    case RULE_PROTO_TCP:
    case RULE_PROTO_UDP:
      out[0] = &rule.LocalAddr;
      out[1] = &rule.RemoteAddr;
      out[2] = &rule.LocalPort;
      out[3] = &rule.RemotePort;
      return 4;
    default:
      return 0;
  }
}
inline uint32_t UsedMatchValues(const _RKFW_RULE& rule, const _MATCH_VALUE* (&out)[4]) {
  _MATCH_VALUE* values[4];
  uint32_t n = UsedMatchValues(const_cast<_RKFW_RULE&>(rule), values);
  for (uint32_t i = 0; i < n; ++i) out[i] = values[i];
  return n;
}
// Bytes the address and port lists of the rule's protocol take in a body or an image.
inline uint64_t RuleListBytes(const _RKFW_RULE& rule) {
  const _MATCH_VALUE* values[4];
  uint32_t used = UsedMatchValues(rule, values);
  uint64_t bytes = 0;
  for (uint32_t i = 0; i < used; ++i)
    if (values[i]->Kind == MATCH_LIST) bytes += 4ull * values[i]->Value1;
  return bytes;
}

void CopyRule(_RKFW_RULE* destination, const _RKFW_RULE* source);
void ReleaseRule(_RKFW_RULE* rule);
// RuleId from the clock (low 32 bits of the UTC file time), reserved fields zero. 0, or 1.
uint32_t StampRule(_RKFW_RULE* rule);

// True when some record is in serialised form (Packed 1, as CopyRule makes from a serialised
// source): its references are offsets into a body, so no body or image can be built from it.
bool AnySerialised(const _Array<_RKFW_RULE>& rules);
// Serialises `rules` into a rule file body: 0; 1 (and no body) when a record is serialised.
// Throws std::bad_alloc when out of memory.
uint32_t BuildRuleFileBody(const _Array<_RKFW_RULE>& rules, _bytePtr& body);
// The same bytes into a block the caller keeps between builds (nothing in it on failure).
uint32_t BuildRuleFileBody(const _Array<_RKFW_RULE>& rules, CByteBuffer& body);
// Appends the body's rules to `rules`: 0; 1 when there is no body, it is malformed, it refers
// to more text and list bytes than its extra area holds, or memory runs out (then nothing is
// appended; no exception escapes). `size` bounds every read.
uint32_t ParseRuleFileBody(const uint8_t* body, uint32_t size, _Array<_RKFW_RULE>& rules);
inline uint32_t ParseRuleFileBody(const _bytePtr& body, _Array<_RKFW_RULE>& rules) {
  return ParseRuleFileBody(body.Data(), body.Length(), rules);
}

// Releases every rule of the array (ReleaseRule) and clears it.
void ReleaseRules(_Array<_RKFW_RULE>& rules);

// Display names by value; "" for a value outside the table.
const char* RuleProtocolName(int32_t protocol);  // "IP", "ICMP", "IGMP", "TCP", "UDP"
const char* RuleActionName(int32_t action);      // "通行", "拦截", "通知用户", "忽略"
// The names of the set bits of `conditions`, 0x01 to 0x10 in that order, joined by "," without
// spaces: "接收", "发送", "连接", "连接请求", "作为服务"; other bits are not named.
std::string RuleConditionNames(uint32_t conditions);
// Which programs the rule covers: "整个系统" without the application bit, else the rule's
// Application (read no further than its 32 bytes), or "所有应用程序" when that is empty.
std::string RuleObjectText(const _RKFW_RULE& rule);
