// Loading rules into the driver: the IP rule image, the apply operations that keep the two
// caches in step with what was sent, and the loaders of the rule files.
#pragma once
#include <cstdint>

#include "base/array.h"
#include "base/bufferptr.h"
#include "rules/records.h"

// Builds the driver's image of an IP rule set in one allocation. 0.
uint32_t BuildIpRuleImage(const _Array<_RKFW_RULE>& rules, _bytePtr& image);

// 5 when the driver is not open (nothing changes); otherwise replaces IpRuleCache with deep
// copies and sends the image: 1 when the request fails (the cache is already replaced), 0.
uint32_t ApplyIpRules(const _Array<_RKFW_RULE>& rules);
// ReadRuleFile then ApplyIpRules; a read failure is returned with nothing changed.
uint32_t LoadLevelRules(const char* path);
void ClearIpRuleCache();
// Empties `rules`, then appends every cached rule: deep copies, or copies sharing the cache's
// texts and lists.
void CopyIpRulesFromCache(_Array<_RKFW_RULE>& rules, bool deep);

uint32_t ApplyAuditRules(const _Array<_RKFW_AUDIT_RULE>& rules);
uint32_t LoadAuditRules(const char* path);
// Sends the cached audit rules again (after a decision changed). 5, 1 or 0.
uint32_t ReloadAuditRules();

// The fixed rule file of a security level: 0 "hsec.rul", 1 "msec.rul", 2 "lsec.rul",
// 3 "csec.rul" (the custom level's default), any other "msec.rul".
const char* LevelRuleFileName(int32_t level);
