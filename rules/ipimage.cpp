#include "rules/ipimage.h"

#include <cstring>
#include <new>

#include "base/bytes.h"
#include "base/result.h"
#include "rules/codec.h"
#include "rules/iprules.h"

namespace {
// Header slot of each protocol group, by Protocol 0 to 4.
constexpr uint32_t kGroupSlot[5] = {IP_IMAGE_SLOT_IP, IP_IMAGE_SLOT_ICMP, IP_IMAGE_SLOT_IGMP, IP_IMAGE_SLOT_TCP,
                                    IP_IMAGE_SLOT_UDP};
}  // namespace

uint32_t BuildIpRuleImage(const _Array<_RKFW_RULE>& rules, _bytePtr& image) {
  image.Release();
  if (AnySerialised(rules)) return RESULT_FAILED;  // its list references are offsets, not pointers
  uint32_t n = static_cast<uint32_t>(rules.Count);
  // Sizes per group first, so that one pass in array order puts each entry and its lists
  // where the group order has them.
  uint32_t count[5] = {};
  uint64_t groupExtra[5] = {};
  uint64_t extra = 0;
  for (const _RKFW_RULE& rule : rules) {
    uint64_t bytes = RuleListBytes(rule);
    extra += bytes;
    if (rule.Protocol >= 0 && rule.Protocol < 5) {
      ++count[rule.Protocol];
      groupExtra[rule.Protocol] += bytes;
    }
  }
  uint64_t extraOffset = 20 + static_cast<uint64_t>(IP_IMAGE_ENTRY_SIZE) * n;
  uint64_t size = IP_IMAGE_HEADER_SIZE + extraOffset + extra + 1;
  if (size > 0x7FFFFFFF) throw std::bad_alloc();
  image.Reset(static_cast<uint32_t>(size));
  uint8_t* out = image.Data();
  StoreLe32(out, static_cast<uint32_t>(size));
  StoreLe32(out + IP_IMAGE_EXTRA_SIZE_AT, static_cast<uint32_t>(extra));
  StoreLe32(out + IP_IMAGE_EXTRA_OFFSET_AT, static_cast<uint32_t>(extraOffset));
  uint8_t* groups = out + IP_IMAGE_HEADER_SIZE;
  uint8_t* area = groups + extraOffset;
  uint32_t entryAt[5], extraAt[6];
  uint32_t p = 0;
  extraAt[0] = 0;
  for (int32_t group = 0; group < 5; ++group) {
    StoreLe32(out + kGroupSlot[group], p);
    StoreLe32(groups + p, count[group]);
    entryAt[group] = p + 4;
    p += 4 + IP_IMAGE_ENTRY_SIZE * count[group];
    extraAt[group + 1] = extraAt[group] + static_cast<uint32_t>(groupExtra[group]);
  }
  CExtraWriter extraArea[5] = {{area, extraAt[0], extraAt[1]}, {area, extraAt[1], extraAt[2]},
                               {area, extraAt[2], extraAt[3]}, {area, extraAt[3], extraAt[4]},
                               {area, extraAt[4], extraAt[5]}};
  for (const _RKFW_RULE& rule : rules) {
    if (rule.Protocol < 0 || rule.Protocol >= 5) continue;
    uint8_t* entry = groups + entryAt[rule.Protocol];
    entryAt[rule.Protocol] += IP_IMAGE_ENTRY_SIZE;
    memcpy(entry, reinterpret_cast<const uint8_t*>(&rule) + IP_IMAGE_ENTRY_FROM, IP_IMAGE_ENTRY_SIZE);
    // The entry is the record from its second byte on: its lists are at the record's
    // offsets less one.
    const _MATCH_VALUE* values[4];
    uint32_t used = UsedMatchValues(rule, values);
    for (uint32_t i = 0; i < used; ++i) {
      auto at = static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(values[i]) - reinterpret_cast<const uint8_t*>(&rule));
      extraArea[rule.Protocol].PutList(reinterpret_cast<_MATCH_VALUE*>(entry + at - IP_IMAGE_ENTRY_FROM));
    }
  }
  return RESULT_OK;
}
