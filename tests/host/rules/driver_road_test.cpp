// The rule store through the real driver wrappers down to the device-control road (host
// backend): which requests go out, with which bytes, and what a refusal does.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/bytes.h"
#include "base/result.h"
#include "driver/protocol.h"
#include "driver/rkfw.h"
#include "platform/device.h"
#include "rule_helpers.h"
#include "rules/decisions.h"
#include "rules/loader.h"

namespace {

struct CSentRequest {
  uint32_t Code;
  std::vector<uint8_t> Input;
};
std::vector<CSentRequest>* g_sent = nullptr;
bool g_refuse = false;

bool Open(const char* name) { return strcmp(name, RKFW_NT_DEVICE_NAME) == 0; }
bool Control(uint32_t code, const void* in, uint32_t inSize, void*, uint32_t, uint32_t* returned) {
  const auto* bytes = static_cast<const uint8_t*>(in);
  g_sent->push_back({code, std::vector<uint8_t>(bytes, bytes + inSize)});
  *returned = 0;
  return !g_refuse;
}
const CHostDeviceBackend kDevice = {Open, Control};

class DriverRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCaches();
    g_sent = &sent_;
    g_refuse = false;
    SetHostDeviceBackend(&kDevice);
    ResetDriverLinkForTests();
    ASSERT_EQ(DetectPlatform(), RESULT_OK);
    ASSERT_EQ(OpenDriver(1), RESULT_OK);
    sent_.clear();
  }
  void TearDown() override {
    ResetCaches();
    ResetDriverLinkForTests();
    SetHostDeviceBackend(nullptr);
    g_sent = nullptr;
  }
  std::vector<CSentRequest> sent_;
};

TEST_F(DriverRoad, ImagesGoOutWithTheirCodesAndLengths) {
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  _RKFW_RULE rule = MakeRule(RULE_PROTO_UDP, "dns");
  rule.RemotePort = MakeList({Port(53)});
  rules.Append(rule);
  ASSERT_EQ(ApplyIpRules(rules), RESULT_OK);
  _bytePtr image;
  BuildIpRuleImage(rules, image);
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0].Code, 0x122084u);
  EXPECT_EQ(sent_[0].Input, Bytes(image));
  ReleaseRules(rules);

  _Array<_RKFW_AUDIT_RULE> audit(kAuditRuleGrowStep);
  audit.Append(MakeAuditRule("C:\\a.exe", 1));
  ASSERT_EQ(ApplyAuditRules(audit), RESULT_OK);
  _bytePtr body;
  BuildAuditBody(audit, body);
  ReleaseAuditRules(audit);
  ASSERT_EQ(sent_.size(), 2u);
  EXPECT_EQ(sent_[1].Code, 0x12208Cu);
  EXPECT_EQ(sent_[1].Input, Bytes(body));
  EXPECT_EQ(SetAuditDecision(1, AUDIT_BLOCK), RESULT_OK);
  ASSERT_EQ(sent_.size(), 3u);
  EXPECT_EQ(sent_[2].Code, 0x12208Cu);
}

TEST_F(DriverRoad, ARefusedRequestIsOneAndTheCacheKeepsTheOldSet) {
  g_refuse = true;
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  rules.Append(MakeRule(RULE_PROTO_TCP, "new"));
  EXPECT_EQ(ApplyIpRules(rules), RESULT_FAILED);
  EXPECT_EQ(IpRuleCache.Length(), 0u);
  ReleaseRules(rules);
}

TEST_F(DriverRoad, AnAutomaticVerdictGoesBackAsTheWholeRecord) {
  _Array<_RKFW_AUDIT_RULE> audit(kAuditRuleGrowStep);
  _RKFW_AUDIT_RULE rule = MakeAuditRule("C:\\Block.exe", 1);
  rule.Access = 0;
  audit.Append(rule);
  ASSERT_EQ(ApplyAuditRules(audit), RESULT_OK);
  ReleaseAuditRules(audit);
  sent_.clear();
  std::vector<uint8_t> event(220, 0);
  StoreLe32(event.data() + 8, 2);
  const char* path = "c:\\block.EXE";
  StoreLe32(event.data() + 212, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(path)));
  EXPECT_EQ(AnswerFromAuditRules(reinterpret_cast<_REPORT_EVENT_HEAD*>(event.data())), RESULT_OK);
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0].Code, 0x122094u);
  ASSERT_EQ(sent_[0].Input.size(), 220u);
  EXPECT_EQ(Dword(sent_[0].Input, 12), 1u);
}

}  // namespace
