// The two file readers on a file made of the input (the checksum is not checked in fuzz
// builds, so mutated bodies reach the parsers); what they accept must survive a write and a read.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/rules_shared/roundtrip.h"
#include "rules/rulefile.h"

namespace {
// In memory where the system offers it: the writer's flush would make every input wait on a disk.
std::string Scratch(const char* suffix) {
  const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(folder) + "/vardeen_fuzz_rule_files_" + std::to_string(getpid()) + suffix;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  static const std::string input = Scratch(".in"), output = Scratch(".out");
  FILE* f = fopen(input.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size != 0) fwrite(data, 1, size, f);
  fclose(f);

  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  if (ReadRuleFile(input.c_str(), rules) == 0) {
    fuzzcheck::CheckIpRoundTrip(rules);
    fuzzcheck::Require(WriteRuleFile(output.c_str(), rules) == 0, "a rule file cannot be written");
    _Array<_RKFW_RULE> again(kIpRuleGrowStep);
    fuzzcheck::Require(ReadRuleFile(output.c_str(), again) == 0, "a written rule file cannot be read");
    ReleaseRules(again);
  }
  ReleaseRules(rules);

  _Array<_RKFW_AUDIT_RULE> audit(kAuditRuleGrowStep);
  if (ReadAuditFile(input.c_str(), audit) == 0) {
    fuzzcheck::CheckAuditRoundTrip(audit);
    fuzzcheck::Require(WriteAuditFile(output.c_str(), audit) == 0, "an audit file cannot be written");
    _Array<_RKFW_AUDIT_RULE> again(kAuditRuleGrowStep);
    fuzzcheck::Require(ReadAuditFile(output.c_str(), again) == 0, "a written audit file cannot be read");
    fuzzcheck::Require(again.Count == audit.Count, "a written audit file lost rules");
    ReleaseAuditRules(again);
  }
  ReleaseAuditRules(audit);
  return 0;
}
