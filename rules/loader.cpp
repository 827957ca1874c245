#include "rules/loader.h"

#include <cstring>
#include <new>

#include "base/bytes.h"
#include "base/result.h"
#include "rules/auditrules.h"
#include "rules/driver_link.h"
#include "rules/iprules.h"
#include "rules/codec.h"
#include "rules/damaged.h"
#include "rules/rulefile.h"

namespace {
constexpr uint32_t kRuleSize = sizeof(_RKFW_RULE);
// Header slot of each protocol group, by Protocol 0 to 4.
constexpr uint32_t kGroupSlot[5] = {IP_IMAGE_SLOT_IP, IP_IMAGE_SLOT_ICMP, IP_IMAGE_SLOT_IGMP, IP_IMAGE_SLOT_TCP,
                                    IP_IMAGE_SLOT_UDP};

uint32_t Sent(uint32_t driverResult) { return driverResult == RESULT_OK ? RESULT_OK : RESULT_FAILED; }

// Deep copies of `rules` in a new cache block; an empty array leaves the cache empty.
template <class T, void (*CopyOne)(T*, const T*), void (*ReleaseOne)(T*)>
void FillCache(_bufferPtr<T>& cache, const _Array<T>& rules) {
  if (rules.Count == 0) return;
  _bufferPtr<T> fresh(static_cast<uint32_t>(rules.Count));
  uint32_t copied = 0;
  try {
    for (; copied < static_cast<uint32_t>(rules.Count); ++copied) CopyOne(&fresh[copied], &rules[copied]);
  } catch (...) {
    for (uint32_t i = 0; i < copied; ++i) ReleaseOne(&fresh[i]);
    throw;
  }
  cache = fresh;
}
}  // namespace

uint32_t BuildIpRuleImage(const _Array<_RKFW_RULE>& rules, _bytePtr& image) {
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
      if (!copy.Packed) {
        _MATCH_VALUE* values[4];
        uint32_t used = UsedMatchValues(copy, values);
        for (uint32_t i = 0; i < used; ++i) extraArea.PutList(values[i]);
      }
      memcpy(entry, reinterpret_cast<const uint8_t*>(&copy) + 1, IP_IMAGE_ENTRY_SIZE);
      entry += IP_IMAGE_ENTRY_SIZE;
      ++count;
    }
    StoreLe32(groups + p, count);
    p += 4 + IP_IMAGE_ENTRY_SIZE * count;
  }
  return RESULT_OK;
}

void ClearIpRuleCache() {
  for (uint32_t i = 0; i < IpRuleCache.Length(); ++i) ReleaseRule(&IpRuleCache[i]);
  IpRuleCache.Release();
}

void CopyIpRulesFromCache(_Array<_RKFW_RULE>& rules, bool deep) {
  rules.Clear();
  for (uint32_t i = 0; i < IpRuleCache.Length(); ++i) {
    if (!deep) {
      rules.Append(IpRuleCache[i]);
      continue;
    }
    _RKFW_RULE copy;
    memset(&copy, 0, kRuleSize);
    CopyRule(&copy, &IpRuleCache[i]);
    rules.Append(copy);
  }
}

uint32_t ApplyIpRules(const _Array<_RKFW_RULE>& rules) {
  const CRuleDriverLink& driver = RuleDriverLink();
  if (!driver.IsOpen()) return RESULT_DRIVER_NOT_OPEN;
  _bytePtr image;
  BuildIpRuleImage(rules, image);
  ClearIpRuleCache();
  FillCache<_RKFW_RULE, CopyRule, ReleaseRule>(IpRuleCache, rules);
  return Sent(driver.LoadIpRuleSet(image.Data(), LoadLe32(image.Data())));
}

uint32_t LoadLevelRules(const char* path) {
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  uint32_t result = ReadRuleFile(path, rules);
  NoteRuleFileLoad(path, result);
  if (result == RESULT_OK) result = ApplyIpRules(rules);
  ReleaseRules(rules);
  return result;
}

uint32_t ApplyAuditRules(const _Array<_RKFW_AUDIT_RULE>& rules) {
  const CRuleDriverLink& driver = RuleDriverLink();
  if (!driver.IsOpen()) return RESULT_DRIVER_NOT_OPEN;
  _bytePtr image;
  BuildAuditBody(rules, image);
  ClearAuditRuleCache();
  FillCache<_RKFW_AUDIT_RULE, CopyAuditRule, ReleaseAuditRule>(AuditRuleCache, rules);
  return Sent(driver.LoadAuditRuleSet(image.Data(), LoadLe32(image.Data())));
}

uint32_t LoadAuditRules(const char* path) {
  _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
  uint32_t result = ReadAuditFile(path, rules);
  NoteRuleFileLoad(path, result);
  if (result == RESULT_OK) result = ApplyAuditRules(rules);
  ReleaseAuditRules(rules);
  return result;
}

uint32_t ReloadAuditRules() {
  const CRuleDriverLink& driver = RuleDriverLink();
  if (!driver.IsOpen()) return RESULT_DRIVER_NOT_OPEN;
  _Array<_RKFW_AUDIT_RULE> shallow(kAuditRuleGrowStep);
  CopyAuditRulesFromCache(shallow, false);
  _bytePtr image;
  BuildAuditBody(shallow, image);
  return Sent(driver.LoadAuditRuleSet(image.Data(), LoadLe32(image.Data())));
}

const char* LevelRuleFileName(int32_t level) {
  switch (level) {
    case 0:
      return "hsec.rul";
    case 2:
      return "lsec.rul";
    case 3:
      return "csec.rul";
    default:
      return "msec.rul";
  }
}
