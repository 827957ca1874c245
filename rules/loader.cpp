#include "rules/loader.h"

#include <cstring>
#include <new>

#include "base/bytes.h"
#include "base/result.h"
#include "rules/caches.h"
#include "rules/ruleport.h"
#include "rules/damaged.h"
#include "rules/ipimage.h"
#include "rules/rulefile.h"

namespace {

uint32_t Sent(uint32_t driverResult) { return driverResult == RESULT_OK ? RESULT_OK : RESULT_FAILED; }

// Deep copies of `rules` in a new block; none for an empty array. Throws std::bad_alloc, after
// releasing what it copied.
template <class T, void (*CopyOne)(T*, const T*), void (*ReleaseOne)(T*)>
_bufferPtr<T> DeepCopies(const _Array<T>& rules) {
  _bufferPtr<T> fresh;
  if (rules.Count == 0) return fresh;
  fresh.Reset(static_cast<uint32_t>(rules.Count));
  uint32_t copied = 0;
  try {
    for (; copied < static_cast<uint32_t>(rules.Count); ++copied) CopyOne(&fresh[copied], &rules[copied]);
  } catch (...) {
    for (uint32_t i = 0; i < copied; ++i) ReleaseOne(&fresh[i]);
    throw;
  }
  return fresh;
}

// The IP image is rebuilt for every set sent; the driver copies it in its request, so one block
// serves every build and is written over in place (a new one would be fresh pages each time).
CByteBuffer g_ipImage;

template <class T, void (*ReleaseOne)(T*)>
void ReleaseCopies(_bufferPtr<T>& copies) {
  for (uint32_t i = 0; i < copies.Length(); ++i) ReleaseOne(&copies[i]);
  copies.Release();
}
}  // namespace

uint32_t ApplyIpRules(const _Array<_RKFW_RULE>& rules) {
  CDriverPort& driver = RulePort();
  if (!driver.IsOpen()) return RESULT_DRIVER_NOT_OPEN;
  CByteBuffer& image = g_ipImage;
  _bufferPtr<_RKFW_RULE> fresh;
  try {
    if (BuildIpRuleImage(rules, image) != RESULT_OK) return RESULT_FAILED;
    // The new cache is whole before the old one is released: `rules` may be a shallow copy of
    // the cache itself, sharing its texts and lists.
    fresh = DeepCopies<_RKFW_RULE, CopyRule, ReleaseRule>(rules);
  } catch (const std::bad_alloc&) {
    return RESULT_FAILED;  // nothing changed
  }
  // The cache names what the driver runs: a refused set leaves both as they were.
  uint32_t sent = Sent(driver.LoadIpRuleSet(image.Data(), image.Size()));
  image.Clear();
  if (sent != RESULT_OK) {
    ReleaseCopies<_RKFW_RULE, ReleaseRule>(fresh);
    return RESULT_FAILED;
  }
  ClearIpRuleCache();
  IpRuleCache = fresh;
  return RESULT_OK;
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
  CDriverPort& driver = RulePort();
  if (!driver.IsOpen()) return RESULT_DRIVER_NOT_OPEN;
  _bytePtr image;
  _bufferPtr<_RKFW_AUDIT_RULE> fresh;
  try {
    if (BuildAuditBody(rules, image) != RESULT_OK) return RESULT_FAILED;
    fresh = DeepCopies<_RKFW_AUDIT_RULE, CopyAuditRule, ReleaseAuditRule>(rules);  // before the old goes
  } catch (const std::bad_alloc&) {
    return RESULT_FAILED;  // nothing changed
  }
  if (Sent(driver.LoadAuditRuleSet(image.Data(), LoadLe32(image.Data()))) != RESULT_OK) {
    ReleaseCopies<_RKFW_AUDIT_RULE, ReleaseAuditRule>(fresh);
    return RESULT_FAILED;
  }
  ClearAuditRuleCache();
  AuditRuleCache = fresh;
  NoteAuditRulesChanged();
  return RESULT_OK;
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
  CDriverPort& driver = RulePort();
  if (!driver.IsOpen()) return RESULT_DRIVER_NOT_OPEN;
  _Array<_RKFW_AUDIT_RULE> shallow(kAuditRuleGrowStep);
  CopyAuditRulesFromCache(shallow, false);
  _bytePtr image;
  try {
    if (BuildAuditBody(shallow, image) != RESULT_OK) return RESULT_FAILED;
  } catch (const std::bad_alloc&) {
    return RESULT_FAILED;
  }
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
