#include "rules/ipimage.h"

#include <cstring>
#include <new>

#include "base/bytes.h"
#include "base/result.h"
#include "rules/codec.h"
#include "rules/iprules.h"

namespace {
constexpr uint32_t kRuleSize = sizeof(_RKFW_RULE);
// Header slot of each protocol group, by Protocol 0 to 4.
constexpr uint32_t kGroupSlot[5] = {IP_IMAGE_SLOT_IP, IP_IMAGE_SLOT_ICMP, IP_IMAGE_SLOT_IGMP, IP_IMAGE_SLOT_TCP,
                                    IP_IMAGE_SLOT_UDP};
}  // namespace

uint32_t BuildIpRuleImage(const _Array<_RKFW_RULE>& rules, _bytePtr& image) {
  image.Release();
  if (AnySerialised(rules)) return RESULT_FAILED;  // its list references are offsets, not pointers
  uint32_t n = static_cast<uint32_t>(rules.Count);
  uint64_t extra = 0;
  for (const _RKFW_RULE& rule : rules) extra += RuleListBytes(rule);
  uint64_t extraOffset = 20 + static_cast<uint64_t>(IP_IMAGE_ENTRY_SIZE) * n;
  uint64_t size = IP_IMAGE_HEADER_SIZE + extraOffset + extra + 1;
  if (size > 0x7FFFFFFF) throw std::bad_alloc();
  image.Reset(static_cast<uint32_t>(size));
  uint8_t* out = image.Data();
  StoreLe32(out, static_cast<uint32_t>(size));
  StoreLe32(out + IP_IMAGE_EXTRA_SIZE_AT, static_cast<uint32_t>(extra));
  StoreLe32(out + IP_IMAGE_EXTRA_OFFSET_AT, static_cast<uint32_t>(extraOffset));
  uint8_t* groups = out + IP_IMAGE_HEADER_SIZE;
  CExtraWriter extraArea(groups + extraOffset, static_cast<uint32_t>(extra));
  uint32_t p = 0;
  for (int32_t group = 0; group < 5; ++group) {
    StoreLe32(out + kGroupSlot[group], p);
    uint32_t count = 0;
    uint8_t* entry = groups + p + 4;
    for (const _RKFW_RULE& rule : rules) {
      if (rule.Protocol != group) continue;
      _RKFW_RULE copy;
      memcpy(&copy, &rule, kRuleSize);
      _MATCH_VALUE* values[4];
      uint32_t used = UsedMatchValues(copy, values);
      for (uint32_t i = 0; i < used; ++i) extraArea.PutList(values[i]);
      memcpy(entry, reinterpret_cast<const uint8_t*>(&copy) + IP_IMAGE_ENTRY_FROM, IP_IMAGE_ENTRY_SIZE);
      entry += IP_IMAGE_ENTRY_SIZE;
      ++count;
    }
    StoreLe32(groups + p, count);
    p += 4 + IP_IMAGE_ENTRY_SIZE * count;
  }
  return RESULT_OK;
}

