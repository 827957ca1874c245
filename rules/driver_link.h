// The three driver requests the rule store makes, behind one seam so that tests can watch
// what is sent. By default they go to the driver wrappers.
#pragma once
#include <cstdint>

struct CRuleDriverLink {
  bool (*IsOpen)();
  uint32_t (*LoadIpRuleSet)(const uint8_t* image, uint32_t size);
  uint32_t (*LoadAuditRuleSet)(const uint8_t* image, uint32_t size);
  uint32_t (*SendVerdict)(void* event);  // one 220-byte event record
};

const CRuleDriverLink& RuleDriverLink();
// Tests: use `link` instead of the driver (nullptr restores the driver).
void SetRuleDriverLink(const CRuleDriverLink* link);
