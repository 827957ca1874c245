// ParseRuleFileBody on arbitrary bytes; what it accepts must survive build and parse.
#include <cstddef>
#include <cstdint>

#include "fuzz/rules_shared/roundtrip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  if (ParseRuleFileBody(data, static_cast<uint32_t>(size), rules) == 0) fuzzcheck::CheckIpRoundTrip(rules);
  ReleaseRules(rules);
  return 0;
}
