// Loading rules into the driver: the IP image, the apply operations and the two caches.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/bytes.h"
#include "base/result.h"
#include "platform/file.h"
#include "platform/heap.h"
#include "rule_helpers.h"
#include "rules/decisions.h"
#include "rules/loader.h"
#include "rules/rulefile.h"

namespace {

class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCaches();
    blocks_ = PlatformLiveBlocks();
  }
  void TearDown() override {
    ReleaseRules(rules_);
    ResetCaches();
    EXPECT_EQ(PlatformLiveBlocks(), blocks_);
  }
  std::vector<uint8_t> Image() {
    _bytePtr image;
    EXPECT_EQ(BuildIpRuleImage(rules_, image), RESULT_OK);
    return Bytes(image);
  }
  _Array<_RKFW_RULE> rules_{kIpRuleGrowStep};
  int32_t blocks_ = 0;
};

TEST_F(Loader, EmptyImageIsFiftySevenBytes) {
  std::vector<uint8_t> image = Image();
  ASSERT_EQ(image.size(), 57u);
  EXPECT_EQ(Dword(image, 0), 57u);
  EXPECT_EQ(Dword(image, 4), 0u);
  EXPECT_EQ(Dword(image, 8), 12u);   // TCP
  EXPECT_EQ(Dword(image, 12), 16u);  // UDP
  EXPECT_EQ(Dword(image, 16), 0u);   // IP
  EXPECT_EQ(Dword(image, 20), 4u);   // ICMP
  EXPECT_EQ(Dword(image, 24), 8u);   // IGMP
  EXPECT_EQ(Dword(image, 28), 0u);
  EXPECT_EQ(Dword(image, 32), 20u);
  for (uint32_t at = 36; at < 57; ++at) EXPECT_EQ(image[at], 0);
}

TEST_F(Loader, OneTcpRuleWithTwoRemoteAddresses) {
  _RKFW_RULE rule = MakeRule(RULE_PROTO_TCP, "web");
  rule.RuleId = 0x01020304;
  rule.RemoteAddr = MakeList({Addr(1, 1, 1, 1), Addr(2, 2, 2, 2)});
  rules_.Append(rule);
  std::vector<uint8_t> image = Image();
  ASSERT_EQ(image.size(), 165u);
  EXPECT_EQ(Dword(image, 8), 12u);
  EXPECT_EQ(Dword(image, 12), 116u);
  EXPECT_EQ(Dword(image, 28), 8u);
  EXPECT_EQ(Dword(image, 32), 120u);
  const uint8_t* entry = image.data() + 36 + 12 + 4;
  EXPECT_EQ(Dword(image, 36 + 12), 1u);
  EXPECT_EQ(LoadLe32(entry + 0), 3u);
  EXPECT_EQ(LoadLe32(entry + 16), 0x01020304u);
  EXPECT_EQ(entry[46], MATCH_LIST);
  EXPECT_EQ(LoadLe32(entry + 47), 2u);
  EXPECT_EQ(LoadLe32(entry + 51), 0u);
  EXPECT_EQ(LoadLe32(entry + 96), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(rules_[0].Name)));
  EXPECT_EQ(Dword(image, 36 + 120), Addr(1, 1, 1, 1));
  EXPECT_EQ(Dword(image, 36 + 124), Addr(2, 2, 2, 2));
  EXPECT_EQ(image[164], 0);
  EXPECT_EQ(MatchElements(rules_[0].RemoteAddr)[0], Addr(1, 1, 1, 1)) << "the array is not changed";
}

// An independent reading of an image: every rule entry with its list elements.
struct CImageRule {
  int32_t Protocol;
  uint32_t RuleId;
  std::vector<std::vector<uint32_t>> Lists;
};
std::vector<CImageRule> DecodeImage(const std::vector<uint8_t>& image) {
  std::vector<CImageRule> out;
  const uint32_t slots[5] = {16, 20, 24, 8, 12};
  uint32_t extra = 36 + Dword(image, 32);
  for (uint32_t group = 0; group < 5; ++group) {
    uint32_t at = 36 + Dword(image, slots[group]);
    uint32_t count = Dword(image, at);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* e = image.data() + at + 4 + 100 * i;
      CImageRule rule{static_cast<int32_t>(LoadLe32(e)), LoadLe32(e + 16), {}};
      const uint32_t tcpOrder[] = {28, 46, 37, 55}, ipOrder[] = {28, 37};
      bool tcp = rule.Protocol >= 3;
      uint32_t n = rule.Protocol == 2 ? 0 : tcp ? 4 : 2;
      for (uint32_t v = 0; v < n; ++v) {
        const uint8_t* m = e + (tcp ? tcpOrder[v] : ipOrder[v]);
        std::vector<uint32_t> list;
        if (m[0] == MATCH_LIST)
          for (uint32_t k = 0; k < LoadLe32(m + 1); ++k) list.push_back(Dword(image, extra + LoadLe32(m + 5) + 4 * k));
        rule.Lists.push_back(list);
      }
      out.push_back(rule);
    }
  }
  return out;
}

TEST_F(Loader, MixedSetsGoOutInProtocolOrderWithTheirLists) {
  int32_t protocols[] = {RULE_PROTO_UDP, RULE_PROTO_IP, 9, RULE_PROTO_ICMP, RULE_PROTO_TCP, RULE_PROTO_IGMP,
                         RULE_PROTO_TCP};
  for (uint32_t i = 0; i < 7; ++i) {
    _RKFW_RULE rule = MakeRule(protocols[i], "r");
    rule.RuleId = i;
    if (protocols[i] != RULE_PROTO_IGMP && protocols[i] != 9) rule.LocalAddr = MakeList({i, i + 1});
    if (protocols[i] == RULE_PROTO_TCP || protocols[i] == RULE_PROTO_UDP) rule.RemotePort = MakeList({Port(80 + i)});
    if (protocols[i] == RULE_PROTO_ICMP) rule.IcmpTypeMask = 0xFFFFFFFF;
    rules_.Append(rule);
  }
  std::vector<uint8_t> image = Image();
  // N = 7 counts the left-out rule; X counts only what is sent.
  uint32_t extra = 4 * (3 + 2 + 2 + 3 + 3);  // UDP, IP, ICMP, TCP, TCP
  ASSERT_EQ(image.size(), 36u + 20 + 700 + extra + 1);
  EXPECT_EQ(Dword(image, 32), 720u);
  std::vector<CImageRule> decoded = DecodeImage(image);
  ASSERT_EQ(decoded.size(), 6u);
  uint32_t expectedIds[] = {1, 3, 5, 4, 6, 0};
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(+decoded[i].RuleId, expectedIds[i]) << i;
  EXPECT_EQ(decoded[3].Lists[0], (std::vector<uint32_t>{4, 5}));
  EXPECT_EQ(decoded[3].Lists[3], (std::vector<uint32_t>{Port(84)}));
  EXPECT_TRUE(decoded[2].Lists.empty());
  EXPECT_EQ(LoadLe32(image.data() + 36 + Dword(image, 20) + 4 + 46), 0xFFFFFFFFu) << "ICMP masks travel";
}

TEST_F(Loader, ApplyNeedsTheDriverAndReplacesTheCacheOnlyWhenItTakesTheSet) {
  CFakeDriver driver;
  _RKFW_RULE first = MakeRule(RULE_PROTO_TCP, "first");
  first.RemoteAddr = MakeList({Addr(1, 1, 1, 1)});
  rules_.Append(first);
  ASSERT_EQ(ApplyIpRules(rules_), RESULT_OK);
  ASSERT_EQ(IpRuleCache.Length(), 1u);
  EXPECT_NE(static_cast<const void*>(IpRuleCache[0].Name), static_cast<const void*>(rules_[0].Name)) << "the cache holds deep copies";
  ASSERT_EQ(driver.IpImages.size(), 1u);
  EXPECT_EQ(driver.IpImages[0].size(), Dword(driver.IpImages[0], 0));

  _Array<_RKFW_RULE> other(kIpRuleGrowStep);
  other.Append(MakeRule(RULE_PROTO_UDP, "second"));
  driver.Open = false;
  EXPECT_EQ(ApplyIpRules(other), RESULT_DRIVER_NOT_OPEN);
  ASSERT_EQ(IpRuleCache.Length(), 1u);
  EXPECT_STREQ(IpRuleCache[0].Name, "first");
  EXPECT_EQ(driver.IpImages.size(), 1u);

  driver.Open = true;
  driver.Answer = RESULT_FAILED;
  EXPECT_EQ(ApplyIpRules(other), RESULT_FAILED);
  ASSERT_EQ(IpRuleCache.Length(), 1u);
  EXPECT_STREQ(IpRuleCache[0].Name, "first") << "a refused set leaves the cache naming what the driver runs";
  ReleaseRules(other);

  driver.Answer = 7;  // any refusal is 1
  _Array<_RKFW_RULE> none;
  EXPECT_EQ(ApplyIpRules(none), RESULT_FAILED);
  EXPECT_EQ(IpRuleCache.Length(), 1u);
  EXPECT_EQ(driver.IpImages.back().size(), 57u);
  driver.Answer = RESULT_OK;
  EXPECT_EQ(ApplyIpRules(none), RESULT_OK);
  EXPECT_EQ(IpRuleCache.Length(), 0u);
}

TEST_F(Loader, CopiesFromTheIpCacheAreSharedOrDeep) {
  CFakeDriver driver;
  rules_.Append(MakeRule(RULE_PROTO_IP, "a"));
  ASSERT_EQ(ApplyIpRules(rules_), RESULT_OK);
  _Array<_RKFW_RULE> shallow(kIpRuleGrowStep), deep(kIpRuleGrowStep);
  CopyIpRulesFromCache(shallow, false);
  CopyIpRulesFromCache(deep, true);
  ASSERT_EQ(shallow.Count, 1);
  ASSERT_EQ(deep.Count, 1);
  EXPECT_EQ(static_cast<const void*>(shallow[0].Name), static_cast<const void*>(IpRuleCache[0].Name));
  EXPECT_NE(static_cast<const void*>(deep[0].Name), static_cast<const void*>(IpRuleCache[0].Name));
  EXPECT_TRUE(SameRule(deep[0], IpRuleCache[0]));
  shallow.Clear();
  ReleaseRules(deep);
  ASSERT_NE(FindIpRuleById(0), nullptr);
}

// The rule set page and the audit page apply arrays made from shallow copies of the cache; the
// apply operations used to free the cache first and then copy the freed texts and lists.
TEST_F(Loader, ApplyingAShallowCopyOfTheCacheKeepsEveryTextAndList) {
  CFakeDriver driver;
  _RKFW_RULE web = MakeRule(RULE_PROTO_TCP, "web rule", "permits the proxy");
  web.RemoteAddr = MakeList({Addr(10, 0, 0, 1), Addr(10, 0, 0, 2)});
  rules_.Append(web);
  rules_.Append(MakeRule(RULE_PROTO_ICMP, "ping"));
  ASSERT_EQ(ApplyIpRules(rules_), RESULT_OK);
  _Array<_RKFW_RULE> shallow(kIpRuleGrowStep);
  CopyIpRulesFromCache(shallow, false);
  ASSERT_EQ(ApplyIpRules(shallow), RESULT_OK);
  shallow.Clear();  // shares the old cache's texts: only the storage goes
  ASSERT_EQ(IpRuleCache.Length(), 2u);
  for (uint32_t i = 0; i < 2; ++i) {
    std::string why;
    EXPECT_TRUE(SameRule(IpRuleCache[i], rules_[i], &why)) << why;
  }
  ASSERT_EQ(driver.IpImages.size(), 2u);
  EXPECT_EQ(driver.IpImages[1].size(), driver.IpImages[0].size());  // entries carry name pointers

  _Array<_RKFW_AUDIT_RULE> apps(kAuditRuleGrowStep);
  _RKFW_AUDIT_RULE mail = MakeAuditRule("C:\\Mail\\mail.exe", 7);
  mail.TcpRemotePort = MakeList({Port(25), Port(110)});
  apps.Append(mail);
  ASSERT_EQ(ApplyAuditRules(apps), RESULT_OK);
  _Array<_RKFW_AUDIT_RULE> shared(kAuditRuleGrowStep);
  CopyAuditRulesFromCache(shared, false);
  ASSERT_EQ(ApplyAuditRules(shared), RESULT_OK);
  shared.Clear();
  ASSERT_EQ(AuditRuleCache.Length(), 1u);
  std::string why;
  EXPECT_TRUE(SameAuditRule(AuditRuleCache[0], apps[0], &why)) << why;
  EXPECT_EQ(driver.AuditImages[1], driver.AuditImages[0]);
  ReleaseAuditRules(apps);
}

// CopyRule of a serialised record keeps its offsets; building from it once read those offsets as
// pointers (a crash). Nothing is built from such a record, and nothing changes.
TEST_F(Loader, SerialisedRecordsAreRefusedNotFollowed) {
  CFakeDriver driver;
  rules_.Append(MakeRule(RULE_PROTO_TCP, "kept"));
  ASSERT_EQ(ApplyIpRules(rules_), RESULT_OK);
  _Array<_RKFW_RULE> one(kIpRuleGrowStep);
  _RKFW_RULE udp = MakeRule(RULE_PROTO_UDP, "udp", "a description");
  udp.LocalPort = MakeList({Port(53)});
  one.Append(udp);
  _bytePtr body;
  ASSERT_EQ(BuildRuleFileBody(one, body), RESULT_OK);
  ReleaseRules(one);
  _RKFW_RULE stored, copied;
  memcpy(&stored, body.Data() + LoadLe32(body.Data() + 4 + 4 * RULE_PROTO_UDP) + 4, sizeof stored);  // UDP group
  ASSERT_EQ(stored.Packed, 1);
  ASSERT_EQ(static_cast<int32_t>(stored.Protocol), RULE_PROTO_UDP);  // a copy: the field is packed
  memset(&copied, 0, sizeof copied);
  CopyRule(&copied, &stored);  // byte for byte: offsets, not pointers
  _Array<_RKFW_RULE> mixed(kIpRuleGrowStep);
  mixed.Append(MakeRule(RULE_PROTO_IP, "fine"));
  mixed.Append(copied);
  _bytePtr out;
  EXPECT_EQ(BuildRuleFileBody(mixed, out), RESULT_FAILED);
  EXPECT_EQ(BuildIpRuleImage(mixed, out), RESULT_FAILED);
  EXPECT_FALSE(out.Valid());
  std::string path = ScratchPath("serialised.rul");
  EXPECT_EQ(WriteRuleFile(path.c_str(), mixed), RESULT_FAILED);
  EXPECT_FALSE(FileExists(path.c_str()));
  EXPECT_EQ(ApplyIpRules(mixed), RESULT_FAILED);
  ASSERT_EQ(IpRuleCache.Length(), 1u);
  EXPECT_STREQ(IpRuleCache[0].Name, "kept");
  EXPECT_EQ(driver.IpImages.size(), 1u);
  ReleaseRules(mixed);  // the serialised record owns nothing and is left alone

  _Array<_RKFW_AUDIT_RULE> apps(kAuditRuleGrowStep);
  _RKFW_AUDIT_RULE packed = MakeAuditRule("C:\\a.exe", 3);
  ReleaseAuditRule(&packed);
  packed.Packed = 1;
  packed.AppPath = reinterpret_cast<char*>(static_cast<uintptr_t>(5));  // an offset, as a body holds it
  apps.Append(packed);
  EXPECT_EQ(BuildAuditBody(apps, out), RESULT_FAILED);
  EXPECT_EQ(WriteAuditFile(path.c_str(), apps), RESULT_FAILED);
  EXPECT_EQ(ApplyAuditRules(apps), RESULT_FAILED);
  EXPECT_TRUE(driver.AuditImages.empty());
  apps.Clear();
}

TEST_F(Loader, LevelAndAuditFilesLoadOrLeaveEverythingAlone) {
  CFakeDriver driver;
  _RKFW_RULE rule = MakeRule(RULE_PROTO_TCP, "from file");
  rules_.Append(rule);
  std::string path = ScratchPath("level.rul");
  ASSERT_EQ(WriteRuleFile(path.c_str(), rules_), RESULT_OK);
  ASSERT_EQ(LoadLevelRules(path.c_str()), RESULT_OK);
  ASSERT_EQ(IpRuleCache.Length(), 1u);
  EXPECT_STREQ(IpRuleCache[0].Name, "from file");

  EXPECT_EQ(LoadLevelRules(ScratchPath("missing.rul").c_str()), RESULT_FILE_OPEN_FAILED);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadBytes(path, &bytes));
  bytes.back() ^= 1;
  ASSERT_TRUE(WriteBytes(path, bytes));
  EXPECT_EQ(LoadLevelRules(path.c_str()), RESULT_FAILED);
  EXPECT_EQ(IpRuleCache.Length(), 1u);
  EXPECT_EQ(driver.IpImages.size(), 1u);

  _Array<_RKFW_AUDIT_RULE> audit(kAuditRuleGrowStep);
  audit.Append(MakeAuditRule("C:\\a.exe", 1));
  std::string auditPath = ScratchPath("app.aud");
  ASSERT_EQ(WriteAuditFile(auditPath.c_str(), audit), RESULT_OK);
  ReleaseAuditRules(audit);
  driver.Open = false;
  EXPECT_EQ(LoadAuditRules(auditPath.c_str()), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(AuditRuleCache.Length(), 0u);
  driver.Open = true;
  ASSERT_EQ(LoadAuditRules(auditPath.c_str()), RESULT_OK);
  ASSERT_EQ(AuditRuleCache.Length(), 1u);
  ASSERT_EQ(driver.AuditImages.size(), 1u);
  _bytePtr body;
  ASSERT_EQ(ReadRuleFileBody(auditPath.c_str(), true, body), RESULT_OK);
  EXPECT_EQ(driver.AuditImages[0], Bytes(body)) << "the audit image is the audit body";
}

TEST_F(Loader, AReloadAfterADecisionChangesOnlyThatRulesAccess) {
  CFakeDriver driver;
  _Array<_RKFW_AUDIT_RULE> audit(kAuditRuleGrowStep);
  for (uint32_t id = 1; id <= 3; ++id) {
    _RKFW_AUDIT_RULE rule = MakeAuditRule(("C:\\app" + std::to_string(id) + ".exe").c_str(), id);
    rule.UdpRemoteAddr = MakeList({id});
    audit.Append(rule);
  }
  ASSERT_EQ(ApplyAuditRules(audit), RESULT_OK);
  ReleaseAuditRules(audit);
  ASSERT_EQ(SetAuditDecision(2, AUDIT_BLOCK), RESULT_OK);
  ASSERT_EQ(driver.AuditImages.size(), 2u);
  const std::vector<uint8_t>& before = driver.AuditImages[0];
  const std::vector<uint8_t>& after = driver.AuditImages[1];
  ASSERT_EQ(before.size(), after.size());
  uint32_t access = 24 + 158 + (24 - 4);  // second record's Access
  for (uint32_t at = 0; at < before.size(); ++at) {
    if (at >= access && at < access + 4) continue;
    ASSERT_EQ(before[at], after[at]) << at;
  }
  EXPECT_EQ(Dword(before, access), 0x07u);
  EXPECT_EQ(Dword(after, access), 0x00u);

  driver.Open = false;
  EXPECT_EQ(ReloadAuditRules(), RESULT_DRIVER_NOT_OPEN);
  driver.Open = true;
  driver.Answer = 1;
  EXPECT_EQ(ReloadAuditRules(), RESULT_FAILED);
  EXPECT_EQ(AuditRuleCache.Length(), 3u);
}

TEST(LevelFiles, EachLevelHasItsFile) {
  EXPECT_STREQ(LevelRuleFileName(0), "hsec.rul");
  EXPECT_STREQ(LevelRuleFileName(1), "msec.rul");
  EXPECT_STREQ(LevelRuleFileName(2), "lsec.rul");
  EXPECT_STREQ(LevelRuleFileName(3), "csec.rul");
  EXPECT_STREQ(LevelRuleFileName(4), "msec.rul");
  EXPECT_STREQ(LevelRuleFileName(-1), "msec.rul");
}

}  // namespace

namespace {
// Through the real driver wrappers: this test program never opens the device.
TEST(DriverLink, NothingIsSentOrCachedWhileTheDriverIsClosed) {
  ResetCaches();
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  rules.Append(MakeRule(RULE_PROTO_TCP, "t"));
  EXPECT_EQ(ApplyIpRules(rules), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(IpRuleCache.Length(), 0u);
  ReleaseRules(rules);
  _Array<_RKFW_AUDIT_RULE> audit(kAuditRuleGrowStep);
  audit.Append(MakeAuditRule("C:\\a.exe", 1));
  EXPECT_EQ(ApplyAuditRules(audit), RESULT_DRIVER_NOT_OPEN);
  EXPECT_EQ(AuditRuleCache.Length(), 0u);
  ReleaseAuditRules(audit);
  EXPECT_EQ(ReloadAuditRules(), RESULT_DRIVER_NOT_OPEN);
}
}  // namespace
