#include "rules/driver_link.h"

#include "driver/rkfw.h"

// By default the rule store talks to the driver through its wrappers.
namespace {
bool Open() { return DriverIsOpen(); }
uint32_t SendIpImage(const uint8_t* image, uint32_t size) { return LoadIpRuleSet(image, size); }
uint32_t SendAuditImage(const uint8_t* image, uint32_t size) { return LoadAuditRuleSet(image, size); }
uint32_t Verdict(void* event) { return SendVerdict(static_cast<const _REPORT_EVENT_HEAD*>(event)); }
const CRuleDriverLink kDriver = {Open, SendIpImage, SendAuditImage, Verdict};
const CRuleDriverLink* g_link = &kDriver;
}  // namespace

const CRuleDriverLink& RuleDriverLink() { return *g_link; }
void SetRuleDriverLink(const CRuleDriverLink* link) { g_link = link != nullptr ? link : &kDriver; }
