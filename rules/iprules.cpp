#include "rules/iprules.h"

#include <cstring>
#include <new>

#include "base/bytes.h"
#include "base/result.h"
#include "platform/clock.h"
#include "platform/heap.h"
#include "rules/codec.h"

namespace {
constexpr uint32_t kRuleSize = sizeof(_RKFW_RULE);
constexpr uint32_t kGroupCount = 5;
}  // namespace

void CopyRule(_RKFW_RULE* destination, const _RKFW_RULE* source) {
  if (destination == nullptr || source == nullptr || destination == source) return;
  if (source->Packed) {
    memcpy(destination, source, kRuleSize);
    return;
  }
  destination->Packed = 0;
  destination->Description = CopyHeapText(source->Description);
  destination->Name = CopyHeapText(source->Name);
  destination->Protocol = source->Protocol;
  destination->Action = source->Action;
  destination->Conditions = source->Conditions;
  destination->Options = source->Options;
  destination->RuleId = source->RuleId;
  destination->Reserved1 = source->Reserved1;
  destination->Reserved2 = source->Reserved2;
  memcpy(destination->Application, source->Application, sizeof destination->Application);
  _MATCH_VALUE* to[4];
  const _MATCH_VALUE* from[4];
  // The destination takes the source's protocol first, so both sides name the same slots.
  uint32_t n = UsedMatchValues(*destination, to);
  UsedMatchValues(*source, from);
  for (uint32_t i = 0; i < n; ++i) CopyMatchValue(to[i], from[i]);
  if (source->Protocol == RULE_PROTO_ICMP) {
    destination->IcmpTypeMask = source->IcmpTypeMask;
    destination->IcmpCodeMask = source->IcmpCodeMask;
  }
}

void ReleaseRule(_RKFW_RULE* rule) {
  if (rule == nullptr || rule->Packed) return;
  PlatformFree(rule->Description);
  PlatformFree(rule->Name);
  rule->Description = nullptr;
  rule->Name = nullptr;
  _MATCH_VALUE* values[4];
  uint32_t n = UsedMatchValues(*rule, values);
  for (uint32_t i = 0; i < n; ++i) ReleaseMatchValue(values[i]);
}

uint32_t StampRule(_RKFW_RULE* rule) {
  if (rule == nullptr) return RESULT_FAILED;
  rule->RuleId = static_cast<uint32_t>(GetUtcFileTime());
  rule->Reserved1 = 0;
  rule->Reserved2 = 0;
  return RESULT_OK;
}

void ReleaseRules(_Array<_RKFW_RULE>& rules) {
  for (_RKFW_RULE& rule : rules) ReleaseRule(&rule);
  rules.Clear();
}

bool AnySerialised(const _Array<_RKFW_RULE>& rules) {
  for (const _RKFW_RULE& rule : rules)
    if (rule.Packed) return true;
  return false;
}

namespace {
// Where everything of a body goes, counted from the rules before a byte is written: lists of
// the rules' protocols, and both texts of every rule, the ones left out included. Counted per
// group too, so that one pass in array order puts each record and its entries where the group
// order has them.
struct CBodyLayout {
  uint32_t count[kGroupCount] = {};
  uint32_t groupExtra[kGroupCount] = {};
  uint32_t extra = 0;
  uint32_t recordsEnd = 0;
  uint32_t size = 0;
};

// False when a record is in serialised form: it holds offsets into a body that is not here,
// so its texts and lists cannot be found, and reading them as pointers would crash.
// Throws std::bad_alloc for a body past 2 GB.
bool MeasureBody(const _Array<_RKFW_RULE>& rules, CBodyLayout& layout) {
  uint64_t groupExtra[kGroupCount] = {};
  uint64_t extra = 0;
  for (const _RKFW_RULE& rule : rules) {
    if (rule.Packed) return false;
    uint64_t bytes = RuleListBytes(rule) + HeapTextLength(rule.Name) + 5ull + HeapTextLength(rule.Description) + 5ull;
    extra += bytes;
    if (rule.Protocol >= 0 && rule.Protocol < static_cast<int32_t>(kGroupCount)) {
      ++layout.count[rule.Protocol];
      groupExtra[rule.Protocol] += bytes;
    }
  }
  uint64_t recordsEnd = RULE_BODY_EMPTY_SIZE + static_cast<uint64_t>(kRuleSize) * static_cast<uint32_t>(rules.Count);
  if (recordsEnd + extra > 0x7FFFFFFF) throw std::bad_alloc();
  for (uint32_t group = 0; group < kGroupCount; ++group) layout.groupExtra[group] = static_cast<uint32_t>(groupExtra[group]);
  layout.extra = static_cast<uint32_t>(extra);
  layout.recordsEnd = static_cast<uint32_t>(recordsEnd);
  layout.size = static_cast<uint32_t>(recordsEnd + extra);
  return true;
}

// Writes every byte of the body into `out` (layout.size bytes, whatever they held): false
// only if the records did not fill the room measured for them.
bool WriteBody(const _Array<_RKFW_RULE>& rules, const CBodyLayout& layout, uint8_t* out) {
  memset(out, 0, RULE_BODY_HEADER_SIZE);
  StoreLe32(out, layout.size);
  StoreLe32(out + RULE_BODY_EXTRA_OFFSET_AT, layout.recordsEnd);
  StoreLe32(out + RULE_BODY_EXTRA_SIZE_AT, layout.extra);

  // Each group: its count, then its records; its entries follow the previous group's.
  uint8_t* area = out + layout.recordsEnd;
  uint32_t recordAt[kGroupCount], extraAt[kGroupCount + 1];
  uint32_t p = RULE_BODY_HEADER_SIZE;
  extraAt[0] = 0;
  for (uint32_t group = 0; group < kGroupCount; ++group) {
    StoreLe32(out + 4 + 4 * group, p);
    StoreLe32(out + p, layout.count[group]);
    recordAt[group] = p + 4;
    p += 4 + kRuleSize * layout.count[group];
    extraAt[group + 1] = extraAt[group] + layout.groupExtra[group];
  }
  // Records left out (a protocol outside the groups) still count in the sizes: their room
  // stays zero.
  memset(out + p, 0, layout.recordsEnd - p);
  memset(area + extraAt[kGroupCount], 0, layout.extra - extraAt[kGroupCount]);
  CExtraWriter extraArea[kGroupCount] = {
      {area, extraAt[0], extraAt[1]}, {area, extraAt[1], extraAt[2]}, {area, extraAt[2], extraAt[3]},
      {area, extraAt[3], extraAt[4]}, {area, extraAt[4], extraAt[5]}};
  for (const _RKFW_RULE& rule : rules) {
    if (rule.Protocol < 0 || rule.Protocol >= static_cast<int32_t>(kGroupCount)) continue;
    uint32_t group = static_cast<uint32_t>(rule.Protocol);
    auto* record = reinterpret_cast<_RKFW_RULE*>(out + recordAt[group]);
    recordAt[group] += kRuleSize;
    CopyWords(reinterpret_cast<uint8_t*>(record), reinterpret_cast<const uint8_t*>(&rule), kRuleSize);
    CExtraWriter& entries = extraArea[group];
    _MATCH_VALUE* values[4];
    uint32_t used = UsedMatchValues(*record, values);
    for (uint32_t i = 0; i < used; ++i) entries.PutList(values[i]);
    record->Name = reinterpret_cast<char*>(static_cast<uintptr_t>(entries.PutCountedText(rule.Name)));
    record->Description = reinterpret_cast<char*>(static_cast<uintptr_t>(entries.PutCountedText(rule.Description)));
    record->Packed = 1;
  }
  for (uint32_t group = 0; group < kGroupCount; ++group)
    if (extraArea[group].used() != extraAt[group + 1]) return false;
  return true;
}
}  // namespace

uint32_t BuildRuleFileBody(const _Array<_RKFW_RULE>& rules, _bytePtr& body) {
  body.Release();
  CBodyLayout layout;
  if (!MeasureBody(rules, layout)) return RESULT_FAILED;
  body.Reset(layout.size);
  if (WriteBody(rules, layout, body.Data())) return RESULT_OK;
  body.Release();
  return RESULT_FAILED;
}

uint32_t BuildRuleFileBody(const _Array<_RKFW_RULE>& rules, CByteBuffer& body) {
  body.Clear();
  CBodyLayout layout;
  if (!MeasureBody(rules, layout)) return RESULT_FAILED;
  if (WriteBody(rules, layout, body.Prepare(layout.size))) return RESULT_OK;
  body.Clear();
  return RESULT_FAILED;
}

namespace {
uint32_t ParseRules(const uint8_t* body, uint32_t size, _Array<_RKFW_RULE>& rules) {
  if (body == nullptr || size < RULE_BODY_EMPTY_SIZE) return RESULT_FAILED;
  CExtraReader extraArea(body, size, LoadLe32(body + RULE_BODY_EXTRA_OFFSET_AT),
                         LoadLe32(body + RULE_BODY_EXTRA_SIZE_AT));
  if (!extraArea.ok()) return RESULT_FAILED;
  // Counts first: each group must lie inside the body, so the total is bounded by the input.
  uint32_t total = 0;
  for (uint32_t group = 0; group < kGroupCount; ++group) {
    uint32_t at = LoadLe32(body + 4 + 4 * group);
    if (!RangeInside(at, 4, size)) return RESULT_FAILED;
    uint32_t count = LoadLe32(body + at);
    if (count > (size - at - 4) / kRuleSize) return RESULT_FAILED;
    total += count;  // at most five times size / 109: no wrap
  }
  // Everything goes to a temporary array first: a malformed body appends nothing. It takes
  // its room in one step, then grows as the caller's array would.
  int32_t step = rules.GrowStep > 0 ? rules.GrowStep : kIpRuleGrowStep;
  _Array<_RKFW_RULE> parsed(step);
  if (total != 0) parsed.Reserve(total > static_cast<uint32_t>(step) ? static_cast<int32_t>(total) : step);
  CParsedGuard<_RKFW_RULE, ReleaseRule> guard(parsed);
  for (uint32_t group = 0; group < kGroupCount; ++group) {
    uint32_t at = LoadLe32(body + 4 + 4 * group);
    uint32_t count = LoadLe32(body + at);
    const uint8_t* record = body + at + 4;
    for (uint32_t i = 0; i < count; ++i, record += kRuleSize) {
      // The record is copied once, straight into its room (a word at a time: the string
      // instruction is slow to start for 109 bytes).
      _RKFW_RULE& held = parsed[parsed.Count];
      CopyWords(reinterpret_cast<uint8_t*>(&held), record, kRuleSize);
      // Every record of a body is in serialised form, whatever its first byte says: a value
      // from a file must never be taken for a pointer, so each is cleared before the record
      // is counted and a take that fails leaves it to the guard.
      uint32_t nameAt = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(held.Name));
      uint32_t descriptionAt = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(held.Description));
      held.Packed = 0;
      held.Name = nullptr;
      held.Description = nullptr;
      _MATCH_VALUE* values[4];
      uint32_t listAt[4];
      uint32_t used = UsedMatchValues(held, values);
      for (uint32_t v = 0; v < used; ++v) {
        listAt[v] = values[v]->Value2;
        if (values[v]->Kind == MATCH_LIST) values[v]->Value2 = 0;
      }
      ++parsed.Count;  // owned by `parsed` from here on
      for (uint32_t v = 0; v < used; ++v)
        if (values[v]->Kind == MATCH_LIST && !extraArea.TakeList(listAt[v], values[v])) return RESULT_FAILED;
      if (!extraArea.TakeCountedText(nameAt, &held.Name) ||
          !extraArea.TakeCountedText(descriptionAt, &held.Description))
        return RESULT_FAILED;
    }
  }
  parsed.GrowStep = step;
  guard.Keep();  // from here on the records belong to the caller's array
  AppendParsed(rules, parsed);
  return RESULT_OK;
}
}  // namespace

uint32_t ParseRuleFileBody(const uint8_t* body, uint32_t size, _Array<_RKFW_RULE>& rules) {
  try {
    return ParseRules(body, size, rules);
  } catch (const std::bad_alloc&) {
    return RESULT_FAILED;  // the guard has released what was parsed; nothing was appended
  }
}

const char* RuleProtocolName(int32_t protocol) {
  static const char* const kNames[] = {"IP", "ICMP", "IGMP", "TCP", "UDP"};
  return protocol >= 0 && protocol < 5 ? kNames[protocol] : "";
}

const char* RuleActionName(int32_t action) {
  static const char* const kNames[] = {"通行", "拦截", "通知用户", "忽略"};
  return action >= 0 && action < 4 ? kNames[action] : "";
}

std::string RuleConditionNames(uint32_t conditions) {
  static const char* const kNames[] = {"接收", "发送", "连接", "连接请求", "作为服务"};
  std::string names;
  for (uint32_t bit = 0; bit < 5; ++bit) {
    if ((conditions & (1u << bit)) == 0) continue;
    if (!names.empty()) names += ',';
    names += kNames[bit];
  }
  return names;
}

std::string RuleObjectText(const _RKFW_RULE& rule) {
  if ((rule.Options & RULE_OPT_APPLICATION) == 0) return "整个系统";
  // A file name that fills the whole field has no terminator.
  const void* end = memchr(rule.Application, 0, RULE_APPLICATION_SIZE);
  size_t length = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - rule.Application)
                                 : RULE_APPLICATION_SIZE;
  if (length == 0) return "所有应用程序";
  return std::string(rule.Application, length);
}
