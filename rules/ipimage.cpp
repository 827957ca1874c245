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

// Sizes per group, counted before a byte is written, so that one pass in array order puts
// each entry and its lists where the group order has them.
struct CImageLayout {
  uint32_t count[5] = {};
  uint32_t groupExtra[5] = {};
  uint32_t extra = 0;
  uint32_t extraOffset = 0;
  uint32_t size = 0;
};

// False when a record is in serialised form (its list references are offsets, not pointers).
// Throws std::bad_alloc for an image past 2 GB.
bool MeasureImage(const _Array<_RKFW_RULE>& rules, CImageLayout& layout) {
  uint64_t groupExtra[5] = {};
  uint64_t extra = 0;
  for (const _RKFW_RULE& rule : rules) {
    if (rule.Packed) return false;
    uint64_t bytes = RuleListBytes(rule);
    extra += bytes;
    if (rule.Protocol >= 0 && rule.Protocol < 5) {
      ++layout.count[rule.Protocol];
      groupExtra[rule.Protocol] += bytes;
    }
  }
  uint64_t extraOffset = 20 + static_cast<uint64_t>(IP_IMAGE_ENTRY_SIZE) * static_cast<uint32_t>(rules.Count);
  uint64_t size = IP_IMAGE_HEADER_SIZE + extraOffset + extra + 1;
  if (size > 0x7FFFFFFF) throw std::bad_alloc();
  for (int group = 0; group < 5; ++group) layout.groupExtra[group] = static_cast<uint32_t>(groupExtra[group]);
  layout.extra = static_cast<uint32_t>(extra);
  layout.extraOffset = static_cast<uint32_t>(extraOffset);
  layout.size = static_cast<uint32_t>(size);
  return true;
}

// Writes every byte of the image into `out` (layout.size bytes, whatever they held): false
// only if the entries did not fill the room measured for them.
bool WriteImage(const _Array<_RKFW_RULE>& rules, const CImageLayout& layout, uint8_t* out) {
  memset(out, 0, IP_IMAGE_HEADER_SIZE);
  StoreLe32(out, layout.size);
  StoreLe32(out + IP_IMAGE_EXTRA_SIZE_AT, layout.extra);
  StoreLe32(out + IP_IMAGE_EXTRA_OFFSET_AT, layout.extraOffset);
  uint8_t* groups = out + IP_IMAGE_HEADER_SIZE;
  uint8_t* area = groups + layout.extraOffset;
  uint32_t entryAt[5], extraAt[6];
  uint32_t p = 0;
  extraAt[0] = 0;
  for (int32_t group = 0; group < 5; ++group) {
    StoreLe32(out + kGroupSlot[group], p);
    StoreLe32(groups + p, layout.count[group]);
    entryAt[group] = p + 4;
    p += 4 + IP_IMAGE_ENTRY_SIZE * layout.count[group];
    extraAt[group + 1] = extraAt[group] + layout.groupExtra[group];
  }
  // Rules of no group still count in the sizes: their room stays zero, as does the last byte.
  memset(groups + p, 0, layout.extraOffset - p);
  memset(area + extraAt[5], 0, layout.extra - extraAt[5] + 1);
  CExtraWriter extraArea[5] = {{area, extraAt[0], extraAt[1]}, {area, extraAt[1], extraAt[2]},
                               {area, extraAt[2], extraAt[3]}, {area, extraAt[3], extraAt[4]},
                               {area, extraAt[4], extraAt[5]}};
  for (const _RKFW_RULE& rule : rules) {
    if (rule.Protocol < 0 || rule.Protocol >= 5) continue;
    uint8_t* entry = groups + entryAt[rule.Protocol];
    entryAt[rule.Protocol] += IP_IMAGE_ENTRY_SIZE;
    CopyWords(entry, reinterpret_cast<const uint8_t*>(&rule) + IP_IMAGE_ENTRY_FROM, IP_IMAGE_ENTRY_SIZE);
    // The entry is the record from its second byte on: its lists are at the record's
    // offsets less one.
    const _MATCH_VALUE* values[4];
    uint32_t used = UsedMatchValues(rule, values);
    for (uint32_t i = 0; i < used; ++i) {
      auto at = static_cast<uint32_t>(reinterpret_cast<const uint8_t*>(values[i]) - reinterpret_cast<const uint8_t*>(&rule));
      extraArea[rule.Protocol].PutList(reinterpret_cast<_MATCH_VALUE*>(entry + at - IP_IMAGE_ENTRY_FROM));
    }
  }
  for (int group = 0; group < 5; ++group)
    if (extraArea[group].used() != extraAt[group + 1]) return false;
  return true;
}
}  // namespace

uint32_t BuildIpRuleImage(const _Array<_RKFW_RULE>& rules, _bytePtr& image) {
  image.Release();
  CImageLayout layout;
  if (!MeasureImage(rules, layout)) return RESULT_FAILED;
  image.Reset(layout.size);
  if (WriteImage(rules, layout, image.Data())) return RESULT_OK;
  image.Release();
  return RESULT_FAILED;
}

uint32_t BuildIpRuleImage(const _Array<_RKFW_RULE>& rules, CByteBuffer& image) {
  image.Clear();
  CImageLayout layout;
  if (!MeasureImage(rules, layout)) return RESULT_FAILED;
  if (WriteImage(rules, layout, image.Prepare(layout.size))) return RESULT_OK;
  image.Clear();
  return RESULT_FAILED;
}
