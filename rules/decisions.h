// The decisions the event prompt records: a cached audit rule's decision changed, or a new
// rule added, each followed by a reload of the whole set into the driver.
#pragma once
#include <cstdint>

// Each changes the cache only when the driver took the changed set (5 without a driver, 1 when
// it refused): the cache never names a decision the driver does not run.

// Sets the decision of the cached rule and reloads the driver: 0; 1 for an unknown rule.
uint32_t SetAuditDecision(uint32_t ruleId, uint32_t decision);
// A new rule for `path` with that decision, appended to the cache: 0; 1 unless `path` is a
// full program path (IsFullProgramPath).
uint32_t AddAuditRule(const char* path, uint32_t decision, uint32_t* ruleId = nullptr);
// A prompt's decision for good: the rule *ruleId (the one the event named) when it is still
// there, else the first rule for `path`, else a new one for `path`. 0, or what that step gave.
uint32_t RecordAuditDecision(const char* path, uint32_t decision, const uint32_t* ruleId = nullptr);
