// Loading rules into the driver: the apply operations that keep the two caches in step with
// what was sent, and the loaders of the rule files.
#pragma once
#include <cstdint>

#include "base/array.h"
#include "base/bufferptr.h"
#include "rules/caches.h"
#include "rules/ipimage.h"
#include "rules/records.h"

// 5 when the driver is not open, 1 when no image can be built (a serialised record, or out of
// memory) or the driver refuses it: nothing changes then. Otherwise 0, and IpRuleCache holds
// deep copies of `rules` (which may be a shallow copy of the cache itself).
uint32_t ApplyIpRules(const _Array<_RKFW_RULE>& rules);
// ReadRuleFile then ApplyIpRules; a read failure is returned with nothing changed.
uint32_t LoadLevelRules(const char* path);

// The same for AuditRuleCache; an accepted set is told to the audit rules' change hook.
uint32_t ApplyAuditRules(const _Array<_RKFW_AUDIT_RULE>& rules);
uint32_t LoadAuditRules(const char* path);
// Sends the cached audit rules again (after a decision changed). 5, 1 or 0.
uint32_t ReloadAuditRules();

// The fixed rule file of a security level: 0 "hsec.rul", 1 "msec.rul", 2 "lsec.rul",
// 3 "csec.rul" (the custom level's default), any other "msec.rul".
const char* LevelRuleFileName(int32_t level);
