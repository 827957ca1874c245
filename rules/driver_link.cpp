#include "rules/driver_link.h"

#include "base/result.h"

// Until the driver wrappers are linked in, the rule store sees the driver as not open.
namespace {
bool NotOpen() { return false; }
uint32_t NotSent(const uint8_t*, uint32_t) { return RESULT_DRIVER_NOT_OPEN; }
uint32_t NoVerdict(void*) { return RESULT_DRIVER_NOT_OPEN; }
const CRuleDriverLink kDriver = {NotOpen, NotSent, NotSent, NoVerdict};
const CRuleDriverLink* g_link = &kDriver;
}  // namespace

const CRuleDriverLink& RuleDriverLink() { return *g_link; }
void SetRuleDriverLink(const CRuleDriverLink* link) { g_link = link != nullptr ? link : &kDriver; }
