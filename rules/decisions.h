// The decisions the event prompt records: a cached audit rule's decision changed, or a new
// rule added, each followed by a reload of the whole set into the driver.
#pragma once
#include <cstdint>

// Sets the decision of the cached rule and reloads the driver: 0; 1 for an unknown rule.
uint32_t SetAuditDecision(uint32_t ruleId, uint32_t decision);
// A new rule for `path` with that decision, appended to the cache: 0; 1 without a path.
uint32_t AddAuditRule(const char* path, uint32_t decision, uint32_t* ruleId = nullptr);
