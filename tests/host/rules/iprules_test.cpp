// IP rules: record copies and releases, the rule file body and its parser.
#include <gtest/gtest.h>

#include "base/bytes.h"
#include "base/result.h"
#include "platform/heap.h"
#include "rule_helpers.h"
#include "rules/ipimage.h"

namespace {

class IpRules : public ::testing::Test {
 protected:
  void SetUp() override { blocks_ = PlatformLiveBlocks(); }
  void TearDown() override {
    ReleaseRules(rules_);
    ReleaseRules(parsed_);
    EXPECT_EQ(PlatformLiveBlocks(), blocks_) << "every rule's texts and lists are released";
  }
  std::vector<uint8_t> Build() {
    _bytePtr body;
    EXPECT_EQ(BuildRuleFileBody(rules_, body), RESULT_OK);
    return Bytes(body);
  }
  uint32_t Parse(const std::vector<uint8_t>& body) {
    return ParseRuleFileBody(body.empty() ? nullptr : body.data(), static_cast<uint32_t>(body.size()), parsed_);
  }
  _Array<_RKFW_RULE> rules_{kIpRuleGrowStep};
  _Array<_RKFW_RULE> parsed_{kIpRuleGrowStep};
  int32_t blocks_ = 0;
};

TEST_F(IpRules, EmptyBodyIsSeventyTwoBytes) {
  std::vector<uint8_t> body = Build();
  ASSERT_EQ(body.size(), 72u);
  EXPECT_EQ(Dword(body, 0), 72u);
  for (uint32_t g = 0; g < 5; ++g) {
    EXPECT_EQ(Dword(body, 4 + 4 * g), 52u + 4 * g);
    EXPECT_EQ(Dword(body, 52 + 4 * g), 0u);
  }
  for (uint32_t at = 24; at < 44; at += 4) EXPECT_EQ(Dword(body, at), 0u);
  EXPECT_EQ(Dword(body, 44), 72u);
  EXPECT_EQ(Dword(body, 48), 0u);
  EXPECT_EQ(Parse(body), RESULT_OK);
  EXPECT_EQ(parsed_.Count, 0);
}

TEST_F(IpRules, OneTcpRuleHasTheDocumentedLayout) {
  _RKFW_RULE rule = MakeRule(RULE_PROTO_TCP, "ab", "");
  rule.RemoteAddr = MakeList({Addr(10, 0, 0, 1), Addr(10, 0, 0, 2)});
  rule.LocalPort = MakeList({Port(80)});
  rule.RemotePort = MakeList({});
  rules_.Append(rule);
  std::vector<uint8_t> body = Build();
  // X: lists 8 + 4, texts (2 + 5) + (0 + 5).
  ASSERT_EQ(body.size(), 72u + 109u + 24u);
  EXPECT_EQ(Dword(body, 4 + 4 * 3), 64u);  // TCP group after three empty ones
  EXPECT_EQ(Dword(body, 4 + 4 * 4), 64u + 4 + 109);
  EXPECT_EQ(Dword(body, 44), 72u + 109);
  EXPECT_EQ(Dword(body, 48), 24u);
  const uint8_t* record = body.data() + 68;
  EXPECT_EQ(record[0], 1);  // serialised
  const uint8_t* extra = body.data() + 181;
  // Remote address list first (offset 0), then the local port (offset 8), then the texts.
  EXPECT_EQ(LoadLe32(record + 47 + 5), 0u);
  EXPECT_EQ(LoadLe32(extra + 0), Addr(10, 0, 0, 1));
  EXPECT_EQ(LoadLe32(extra + 4), Addr(10, 0, 0, 2));
  EXPECT_EQ(LoadLe32(record + 38 + 5), 8u);
  EXPECT_EQ(LoadLe32(extra + 8), Port(80));
  EXPECT_EQ(record[56], MATCH_LIST);
  EXPECT_EQ(LoadLe32(record + 56 + 5), 0u);  // a list of none takes no room
  EXPECT_EQ(LoadLe32(record + 97), 12u);
  EXPECT_EQ(LoadLe32(extra + 12), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(extra + 16)), "ab");
  EXPECT_EQ(LoadLe32(record + 101), 19u);
  EXPECT_EQ(LoadLe32(extra + 19), 1u);  // an empty name still takes 5 bytes
  EXPECT_EQ(extra[23], 0);
}

TEST_F(IpRules, ReadingBackOrdersByProtocolAndKeepsEveryField) {
  const char* names[] = {"TCP a", "IP b", "TCP c", "UDP d"};
  int32_t protocols[] = {RULE_PROTO_TCP, RULE_PROTO_IP, RULE_PROTO_TCP, RULE_PROTO_UDP};
  for (int i = 0; i < 4; ++i) {
    _RKFW_RULE rule = MakeRule(protocols[i], names[i], "说明");
    rule.Action = i;
    rule.Conditions = 0x0B;
    rule.Options = RULE_OPT_LOG | RULE_OPT_APPLICATION;
    rule.RuleId = 0x1000u + i;
    memcpy(rule.Application, "qq.exe", 7);
    rule.LocalAddr = MakeRange(Addr(192, 168, 0, 0), Addr(192, 168, 0, 255));
    if (protocols[i] == RULE_PROTO_IP) {
      rule.IpRemoteAddr = MakeList({Addr(1, 2, 3, 4), Addr(5, 6, 7, 8), Addr(9, 9, 9, 9)});
    } else {
      rule.RemoteAddr = MakeList({Addr(8, 8, 8, 8)});
      rule.LocalPort = MakeSingle(Port(53));
      rule.RemotePort = MakeRange(Port(1024), Port(65535));
    }
    rules_.Append(rule);
  }
  ASSERT_EQ(Parse(Build()), RESULT_OK);
  ASSERT_EQ(parsed_.Count, 4);
  int order[] = {1, 0, 2, 3};
  for (int i = 0; i < 4; ++i) {
    std::string why;
    EXPECT_TRUE(SameRule(parsed_[i], rules_[order[i]], &why)) << i << " " << why;
    EXPECT_EQ(+parsed_[i].Packed, 0);
  }
  EXPECT_EQ(ElementsOf(parsed_[0].IpRemoteAddr).size(), 3u);
  EXPECT_EQ(ElementsOf(parsed_[1].RemoteAddr), std::vector<uint32_t>{Addr(8, 8, 8, 8)});
}

TEST_F(IpRules, IcmpAndIgmpKeepTheirBytes) {
  _RKFW_RULE icmp = MakeRule(RULE_PROTO_ICMP, "ping");
  icmp.IcmpTypeMask = 1u << 8;
  icmp.IcmpCodeMask = 0xFFFFFFFFu;
  icmp.IpRemoteAddr = MakeList({Addr(4, 4, 4, 4)});
  rules_.Append(icmp);
  rules_.Append(MakeRule(RULE_PROTO_IGMP, "igmp"));
  std::vector<uint8_t> body = Build();
  ASSERT_EQ(Parse(body), RESULT_OK);
  ASSERT_EQ(parsed_.Count, 2);
  EXPECT_TRUE(SameRule(parsed_[0], rules_[0]));
  EXPECT_EQ(+parsed_[0].IcmpTypeMask, 1u << 8);
  const auto* igmp = reinterpret_cast<const uint8_t*>(&parsed_[1]);
  for (int at = 29; at <= 64; ++at) EXPECT_EQ(igmp[at], 0) << at;
  const uint8_t* stored = body.data() + Dword(body, 12) + 4;
  for (int at = 29; at <= 64; ++at) EXPECT_EQ(stored[at], 0) << at;
}

TEST_F(IpRules, AnOutsideProtocolIsLeftOutButCountsInTheSizes) {
  _RKFW_RULE odd = MakeRule(7, "odd", "1234");
  rules_.Append(odd);
  rules_.Append(MakeRule(RULE_PROTO_UDP, "u"));
  std::vector<uint8_t> body = Build();
  // N = 2: the left-out record leaves 109 zero bytes; its texts (3 + 5, 4 + 5) stay unfilled.
  uint32_t extraSize = (3 + 5) + (4 + 5) + (1 + 5) + (0 + 5);
  EXPECT_EQ(body.size(), 72u + 2 * 109 + extraSize);
  EXPECT_EQ(Dword(body, 44), 72u + 2 * 109);
  EXPECT_EQ(Dword(body, 48), extraSize);
  for (uint32_t at = 72 + 109; at < 72 + 218; ++at) ASSERT_EQ(body[at], 0) << at;
  for (uint32_t at = 72 + 218 + 11; at < body.size(); ++at) ASSERT_EQ(body[at], 0) << at;
  ASSERT_EQ(Parse(body), RESULT_OK);
  ASSERT_EQ(parsed_.Count, 1);
  EXPECT_STREQ(parsed_[0].Name, "u");
}

TEST_F(IpRules, AKeptBlockGetsTheSameBodyAndImageAsANewOne) {
  // Every protocol and one of no group, lists long, empty and without elements, empty texts.
  for (uint32_t i = 0; i < 30; ++i) {
    int32_t protocol = i % 6 == 5 ? 9 : static_cast<int32_t>(i % 6);
    _RKFW_RULE rule = MakeRule(protocol, i % 4 ? "名称" : "", i % 3 ? "d" : "");
    std::vector<uint32_t> many(i % 7, 0x01020304u * i);
    if (protocol != RULE_PROTO_IGMP && protocol <= RULE_PROTO_UDP) rule.LocalAddr = MakeList(many);
    if (protocol == RULE_PROTO_ICMP) {
      rule.IcmpTypeMask = 0x80000001u;
      rule.IcmpCodeMask = i;
    } else if (protocol == RULE_PROTO_TCP || protocol == RULE_PROTO_UDP) {
      rule.RemotePort = MakeList({Port(static_cast<uint16_t>(i))});
      rule.LocalPort = MakeRange(Port(1), Port(99));
    }
    if (i == 9) rule.RemoteAddr = _MATCH_VALUE{MATCH_LIST, 3, 0};
    rules_.Append(rule);
  }
  CByteBuffer body, image;
  memset(body.Prepare(1 << 16), 0xA5, 1 << 16);
  memset(image.Prepare(1 << 16), 0x5A, 1 << 16);
  // The whole set, then a smaller one over what it left, then the whole set again.
  for (int32_t count : {30, 11, 30}) {
    _Array<_RKFW_RULE> some(kIpRuleGrowStep);
    for (int32_t i = 0; i < count; ++i) some.Append(rules_[i]);
    _bytePtr newBody, newImage;
    ASSERT_EQ(BuildRuleFileBody(some, newBody), RESULT_OK);
    ASSERT_EQ(BuildIpRuleImage(some, newImage), RESULT_OK);
    ASSERT_EQ(BuildRuleFileBody(some, body), RESULT_OK);
    ASSERT_EQ(BuildIpRuleImage(some, image), RESULT_OK);
    EXPECT_EQ(std::vector<uint8_t>(body.Data(), body.Data() + body.Size()), Bytes(newBody)) << count;
    EXPECT_EQ(std::vector<uint8_t>(image.Data(), image.Data() + image.Size()), Bytes(newImage)) << count;
    some.Clear();  // shares the texts of rules_
  }
  _Array<_RKFW_RULE> serialised(kIpRuleGrowStep);
  serialised.Append(rules_[0]);
  serialised[0].Packed = 1;
  EXPECT_EQ(BuildRuleFileBody(serialised, body), RESULT_FAILED);
  EXPECT_EQ(body.Size(), 0u) << "no stale body is left to be written";
  serialised.Clear();
}

TEST_F(IpRules, BadReferencesFailTheWholeParseAndAppendNothing) {
  _RKFW_RULE first = MakeRule(RULE_PROTO_IP, "first");
  rules_.Append(first);
  _RKFW_RULE rule = MakeRule(RULE_PROTO_TCP, "web");
  rule.LocalAddr = MakeList({Addr(3, 3, 3, 3)});
  rule.RemoteAddr = MakeList({Addr(1, 1, 1, 1), Addr(2, 2, 2, 2)});
  rule.LocalPort = MakeList({Port(80)});
  rule.RemotePort = MakeList({Port(8080), Port(8081)});
  rules_.Append(rule);
  const std::vector<uint8_t> good = Build();
  ASSERT_EQ(Parse(good), RESULT_OK);
  ReleaseRules(parsed_);
  uint32_t tcpRecord = Dword(good, 16) + 4;
  uint32_t extraSize = Dword(good, 48);
  struct Damage {
    const char* what;
    uint32_t at;
    uint32_t value;
  } damages[] = {
      {"list beyond the extra area", tcpRecord + 47 + 5, extraSize - 4},
      // The lists after it still hold offsets when the parse gives up: never freed as blocks.
      {"first list beyond, three untaken", tcpRecord + 29 + 5, extraSize},
      {"huge list count", tcpRecord + 47 + 1, 0xFFFFFFFFu},
      {"name beyond the extra area", tcpRecord + 97, extraSize},
      {"name length beyond", tcpRecord + 97, 0},
      {"group offset beyond the body", 16, static_cast<uint32_t>(good.size())},
      {"group count beyond the body", Dword(good, 16), 3},
      {"group count of 0xFFFFFFFF", Dword(good, 16), 0xFFFFFFFFu},
      {"extra area beyond the body", 48, extraSize + 1},
      {"extra offset wraps", 44, 0xFFFFFFF0u},
  };
  for (const Damage& d : damages) {
    std::vector<uint8_t> bad = good;
    if (std::string(d.what) == "name length beyond") {
      uint32_t nameAt = good.size() - extraSize + Dword(good, tcpRecord + 97);
      StoreLe32(bad.data() + nameAt, 0xFFFFFFFFu);
    } else {
      StoreLe32(bad.data() + d.at, d.value);
    }
    _RKFW_RULE keep = MakeRule(RULE_PROTO_UDP, "already there");
    parsed_.Append(keep);
    EXPECT_EQ(Parse(bad), RESULT_FAILED) << d.what;
    EXPECT_EQ(parsed_.Count, 1) << d.what;
    ReleaseRules(parsed_);
  }
  EXPECT_EQ(ParseRuleFileBody(nullptr, 0, parsed_), RESULT_FAILED);
  EXPECT_EQ(ParseRuleFileBody(good.data(), 71, parsed_), RESULT_FAILED);
}

TEST_F(IpRules, ABodyRecordClaimingMemoryFormIsStillReadAsSerialised) {
  _RKFW_RULE rule = MakeRule(RULE_PROTO_TCP, "web");
  rule.RemoteAddr = MakeList({Addr(1, 1, 1, 1)});
  rules_.Append(rule);
  std::vector<uint8_t> body = Build();
  body[Dword(body, 16) + 4] = 0;  // Packed 0: its references must not be taken for pointers
  ASSERT_EQ(Parse(body), RESULT_OK);
  ASSERT_EQ(parsed_.Count, 1);
  EXPECT_TRUE(SameRule(parsed_[0], rules_[0]));
}

TEST_F(IpRules, CopiesAreDeepAndSerialisedCopiesAreBytes) {
  _RKFW_RULE rule = MakeRule(RULE_PROTO_UDP, "dns", "查询");
  rule.RemoteAddr = MakeList({Addr(8, 8, 8, 8), Addr(8, 8, 4, 4)});
  rule.RemotePort = MakeSingle(Port(53));
  rule.Reserved3 = 0x55;
  rules_.Append(rule);
  _RKFW_RULE copy;
  memset(&copy, 0, sizeof copy);
  CopyRule(&copy, &rules_[0]);
  EXPECT_TRUE(SameRule(copy, rules_[0]));
  EXPECT_NE(static_cast<const void*>(copy.Name), static_cast<const void*>(rules_[0].Name));
  EXPECT_NE(MatchElements(copy.RemoteAddr), MatchElements(rules_[0].RemoteAddr));
  EXPECT_EQ(+copy.Reserved3, 0u);  // not copied
  ReleaseRule(&copy);
  EXPECT_EQ(static_cast<const void*>(copy.Name), nullptr);
  EXPECT_EQ(+copy.RemoteAddr.Kind, 0);

  std::vector<uint8_t> body = Build();
  _RKFW_RULE serialised;
  memcpy(&serialised, body.data() + Dword(body, 20) + 4, sizeof serialised);
  _RKFW_RULE bytes;
  memset(&bytes, 0xAB, sizeof bytes);
  CopyRule(&bytes, &serialised);
  EXPECT_EQ(memcmp(&bytes, &serialised, sizeof bytes), 0);
  ReleaseRule(&bytes);  // a serialised record owns nothing
  EXPECT_EQ(memcmp(&bytes, &serialised, sizeof bytes), 0);
  CopyRule(nullptr, &serialised);
  CopyRule(&bytes, nullptr);
  ReleaseRule(nullptr);
  EXPECT_EQ(StampRule(nullptr), RESULT_FAILED);
  bytes.Reserved1 = bytes.Reserved2 = 9;
  EXPECT_EQ(StampRule(&bytes), RESULT_OK);
  EXPECT_EQ(+bytes.Reserved1, 0u);
}

TEST_F(IpRules, ManyRulesWithManyElementsRoundTrip) {
  for (uint32_t i = 0; i < 300; ++i) {
    _RKFW_RULE rule = MakeRule(static_cast<int32_t>(i % 5), ("r" + std::to_string(i)).c_str(), "d");
    std::vector<uint32_t> many(i % 17);
    for (uint32_t k = 0; k < many.size(); ++k) many[k] = i * 100 + k;
    if (rule.Protocol != RULE_PROTO_IGMP) rule.LocalAddr = MakeList(many);
    if (rule.Protocol >= RULE_PROTO_TCP) rule.RemotePort = MakeList(many);
    rules_.Append(rule);
  }
  std::vector<uint8_t> body = Build();
  ASSERT_EQ(Parse(body), RESULT_OK);
  ASSERT_EQ(parsed_.Count, 300);
  ASSERT_EQ(Parse(body), RESULT_OK) << "a second parse appends behind the first";
  ASSERT_EQ(parsed_.Count, 600);
  EXPECT_TRUE(SameRule(parsed_[300], parsed_[0]));
  EXPECT_NE(static_cast<const void*>(parsed_[300].Name), static_cast<const void*>(parsed_[0].Name));
  int32_t at = 0;
  for (int32_t protocol = 0; protocol < 5; ++protocol)
    for (const _RKFW_RULE& rule : rules_)
      if (rule.Protocol == protocol) {
        ASSERT_TRUE(SameRule(parsed_[at++], rule)) << at;
      }
}

TEST(RuleDisplayNames, ConditionsInBitOrderJoinedWithoutSpaces) {
  EXPECT_EQ(RuleConditionNames(0), "");
  EXPECT_EQ(RuleConditionNames(0x04 | 0x01 | 0x02), "接收,发送,连接");
  EXPECT_EQ(RuleConditionNames(0x1F), "接收,发送,连接,连接请求,作为服务");
  EXPECT_EQ(RuleConditionNames(0x10 | 0x20 | 0x80000000u), "作为服务") << "unknown bits are not named";
}

TEST(RuleDisplayNames, ObjectFollowsTheApplicationBit) {
  _RKFW_RULE rule = {};
  strcpy(rule.Application, "qq.exe");
  EXPECT_EQ(RuleObjectText(rule), "整个系统") << "bit clear: whatever Application holds";
  rule.Options = RULE_OPT_APPLICATION;
  EXPECT_EQ(RuleObjectText(rule), "qq.exe");
  rule.Application[0] = 0;
  EXPECT_EQ(RuleObjectText(rule), "所有应用程序");
  // A name filling all 32 bytes has no terminator: it ends with the field, not beyond.
  memset(rule.Application, 'a', sizeof rule.Application);
  rule.Name = nullptr;
  EXPECT_EQ(RuleObjectText(rule), std::string(32, 'a'));
}

}  // namespace
