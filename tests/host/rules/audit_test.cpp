// Audit rules: defaults, the audit body, the cache and the decisions taken from it.
#include <gtest/gtest.h>

#include "base/bytes.h"
#include "base/result.h"
#include "platform/heap.h"
#include "rule_helpers.h"
#include "rules/decisions.h"
#include "rules/loader.h"

namespace {

class Audit : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCaches();
    blocks_ = PlatformLiveBlocks();
  }
  void TearDown() override {
    ReleaseAuditRules(rules_);
    ReleaseAuditRules(parsed_);
    ResetCaches();
    EXPECT_EQ(PlatformLiveBlocks(), blocks_);
  }
  std::vector<uint8_t> Build() {
    _bytePtr body;
    EXPECT_EQ(BuildAuditBody(rules_, body), RESULT_OK);
    return Bytes(body);
  }
  uint32_t Parse(const std::vector<uint8_t>& body) {
    return ParseAuditBody(body.data(), static_cast<uint32_t>(body.size()), parsed_);
  }
  void Cache(std::initializer_list<std::pair<const char*, uint32_t>> rules) {
    CFakeDriver driver;
    _Array<_RKFW_AUDIT_RULE> set(kAuditRuleGrowStep);
    for (auto& r : rules) set.Append(MakeAuditRule(r.first, r.second));
    ASSERT_EQ(ApplyAuditRules(set), RESULT_OK);
    ReleaseAuditRules(set);
  }
  _Array<_RKFW_AUDIT_RULE> rules_{kAuditRuleGrowStep};
  _Array<_RKFW_AUDIT_RULE> parsed_{kAuditRuleGrowStep};
  int32_t blocks_ = 0;
};

TEST_F(Audit, NewRulesHaveTheDefaults) {
  EXPECT_EQ(InitAuditRule(nullptr), RESULT_FAILED);
  _RKFW_AUDIT_RULE rule;
  memset(&rule, 0xEE, sizeof rule);
  rule.AppPath = nullptr;
  ASSERT_EQ(InitAuditRule(&rule), RESULT_OK);
  EXPECT_EQ(+rule.MatchAction, 0u);
  EXPECT_EQ(+rule.MissAction, 1u);
  EXPECT_EQ(+rule.Reserved1, 0u);
  EXPECT_EQ(+rule.Access, 0x07u);
  EXPECT_EQ(+rule.IpOps, 0x03u);
  EXPECT_EQ(+rule.TcpOps, 0x0Fu);
  EXPECT_EQ(+rule.UdpOps, 0x13u);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&rule);
  for (uint32_t at : {32u, 41u, 54u, 63u, 72u, 81u, 94u, 103u, 112u, 121u})
    for (uint32_t k = 0; k < 9; ++k) EXPECT_EQ(bytes[at + k], 0) << at;
}

TEST_F(Audit, EmptyBodyIsTwentyFiveBytes) {
  std::vector<uint8_t> body = Build();
  ASSERT_EQ(body.size(), 25u);
  EXPECT_EQ(Dword(body, 0), 25u);
  for (uint32_t at = 4; at < 24; at += 4) EXPECT_EQ(Dword(body, at), 0u);
  EXPECT_EQ(body[24], 0);
  ASSERT_EQ(Parse(body), RESULT_OK);
  EXPECT_EQ(parsed_.Count, 0);
}

TEST_F(Audit, RulesRoundTripWithTheirListsAndLayout) {
  _RKFW_AUDIT_RULE a = MakeAuditRule("C:\\Program Files\\QQ\\qq.exe", 0x11);
  a.Access = 0x17;
  a.TcpRemoteAddr = MakeList({Addr(1, 1, 1, 1), Addr(2, 2, 2, 2)});
  a.UdpRemotePort = MakeList({Port(53)});
  a.IpLocalAddr = MakeRange(Addr(10, 0, 0, 0), Addr(10, 255, 255, 255));
  a.TcpLocalPort = MakeList({});
  a.Reserved2[3] = 7;
  a.Reserved3 = 0x99;
  rules_.Append(a);
  rules_.Append(MakeAuditRule("D:\\游戏\\game.exe", 0x22));
  std::vector<uint8_t> body = Build();
  uint32_t pathA = static_cast<uint32_t>(strlen("C:\\Program Files\\QQ\\qq.exe")) + 1, pathB = static_cast<uint32_t>(strlen("D:\\游戏\\game.exe")) + 1;
  uint32_t extra = pathA + 8 + 4 + pathB;
  ASSERT_EQ(body.size(), 24u + 2 * 158 + extra + 1);
  EXPECT_EQ(Dword(body, 8), 2u);
  EXPECT_EQ(Dword(body, 16), extra);
  EXPECT_EQ(Dword(body, 20), 316u);
  const uint8_t* record = body.data() + 24;  // record bytes start at the rule's offset 4
  EXPECT_EQ(LoadLe32(record + 0), 0x11u);
  EXPECT_EQ(LoadLe32(record + 4), 0u);               // the path first
  EXPECT_EQ(LoadLe32(record + 72 - 4 + 5), pathA);   // then the TCP remote addresses
  EXPECT_EQ(LoadLe32(record + 121 - 4 + 5), pathA + 8);
  EXPECT_EQ(LoadLe32(record + 63 - 4 + 5), 0u);      // an empty list takes no room
  EXPECT_EQ(LoadLe32(record + 158 + 4), pathA + 12);  // second rule's path
  EXPECT_EQ(body.back(), 0);

  ASSERT_EQ(Parse(body), RESULT_OK);
  ASSERT_EQ(parsed_.Count, 2);
  for (int i = 0; i < 2; ++i) {
    std::string why;
    EXPECT_TRUE(SameAuditRule(parsed_[i], rules_[i], &why)) << why;
    EXPECT_EQ(+parsed_[i].Packed, 0u);
    EXPECT_EQ(+parsed_[i].Reserved3, 0u);
  }
}

TEST_F(Audit, BadBodiesFailWholeAndAppendNothing) {
  _RKFW_AUDIT_RULE a = MakeAuditRule("C:\\a.exe", 1);
  a.IpRemoteAddr = MakeList({Addr(1, 2, 3, 4)});
  rules_.Append(a);
  const std::vector<uint8_t> good = Build();
  struct Damage {
    const char* what;
    uint32_t at;
    uint32_t value;
  } damages[] = {
      {"record count beyond", 8, 2},
      {"record count 0xFFFFFFFF", 8, 0xFFFFFFFFu},
      {"record offset beyond", 12, 0xFFFFFF00u},
      {"extra area beyond", 16, 100},
      {"extra offset beyond", 20, 0xFFFFFFFFu},
      {"path beyond the extra area", 24 + 4, 40},
      {"list beyond the extra area", 24 + 41 - 4 + 5, 12},
      {"list count huge", 24 + 41 - 4 + 1, 0x40000001u},
  };
  for (const Damage& d : damages) {
    std::vector<uint8_t> bad = good;
    StoreLe32(bad.data() + d.at, d.value);
    parsed_.Append(MakeAuditRule("C:\\kept.exe", 9));
    EXPECT_EQ(Parse(bad), RESULT_FAILED) << d.what;
    EXPECT_EQ(parsed_.Count, 1) << d.what;
    ReleaseAuditRules(parsed_);
  }
  std::vector<uint8_t> unterminated = good;
  uint32_t extraStart = 24 + 158;
  for (uint32_t at = extraStart; at < unterminated.size() - 1; ++at)
    if (unterminated[at] == 0) unterminated[at] = 'x';
  EXPECT_EQ(Parse(unterminated), RESULT_FAILED) << "path without its zero inside the extra area";
  EXPECT_EQ(ParseAuditBody(nullptr, 0, parsed_), RESULT_FAILED);
  EXPECT_EQ(ParseAuditBody(good.data(), 23, parsed_), RESULT_FAILED);
}

TEST_F(Audit, PathsAreFoundIgnoringCaseAndTheFirstWins) {
  Cache({{"C:\\PROGRAM FILES\\QQ.EXE", 1}, {"c:\\program files\\qq.exe", 2}, {"C:\\中文\\A.exe", 3}});
  uint32_t id = 0;
  EXPECT_EQ(FindAuditRuleByPath("c:\\Program Files\\qq.exe", &id), RESULT_OK);
  EXPECT_EQ(id, 1u);
  EXPECT_EQ(FindAuditRuleByPath("C:\\中文\\a.EXE", &id), RESULT_OK);
  EXPECT_EQ(id, 3u);
  EXPECT_EQ(FindAuditRuleByPath("C:\\other.exe", &id), RESULT_AUDIT_RULE_NOT_FOUND);
  EXPECT_EQ(FindAuditRuleByPath(nullptr), RESULT_AUDIT_RULE_NOT_FOUND);
  ASSERT_NE(FindAuditRuleById(2), nullptr);
  EXPECT_STREQ(FindAuditRuleById(2)->AppPath, "c:\\program files\\qq.exe");
  EXPECT_EQ(FindAuditRuleById(4), nullptr);
}

TEST_F(Audit, DecisionsSetTheirMasksAndReloadTheDriver) {
  Cache({{"C:\\a.exe", 1}});
  CFakeDriver driver;
  _RKFW_AUDIT_RULE* rule = FindAuditRuleById(1);
  rule->Access = 0xFF;
  EXPECT_EQ(SetAuditDecision(1, AUDIT_PERMIT), RESULT_OK);
  EXPECT_EQ(rule->Access, 0xCFu);
  rule->Access = 0x10;
  EXPECT_EQ(SetAuditDecision(1, AUDIT_NOTIFY), RESULT_OK);
  EXPECT_EQ(rule->Access, 0x27u);
  rule->Access = 0xFF;
  EXPECT_EQ(SetAuditDecision(1, AUDIT_BLOCK), RESULT_OK);
  EXPECT_EQ(rule->Access, 0xC8u);
  EXPECT_EQ(SetAuditDecision(1, 3), RESULT_OK);
  EXPECT_EQ(rule->Access, 0xC8u);
  EXPECT_EQ(driver.AuditImages.size(), 4u);
  EXPECT_EQ(SetAuditDecision(77, AUDIT_PERMIT), RESULT_FAILED);
  EXPECT_EQ(driver.AuditImages.size(), 4u) << "an unknown rule does not reload";

  driver.Answer = 1;  // the cache never names a decision the driver does not run
  EXPECT_EQ(SetAuditDecision(1, AUDIT_PERMIT), RESULT_FAILED);
  EXPECT_EQ(rule->Access, 0xC8u);
}

// A prompt's decision for good: the event's rule, else the program's, else a new one, and
// never a rule for a text that is not a full path (it would decide for every unknown program).
TEST_F(Audit, DecisionsForGoodFallBackToThePathAndNeedAFullPath) {
  for (const char* full : {"C:\\a.exe", "c:\\x", "\\\\srv\\share\\a.exe"}) EXPECT_TRUE(IsFullProgramPath(full)) << full;
  for (const char* part : {"", "Unknown", "mystery.exe(4001d,fa1)", "C:", "C:\\", "C:a.exe", "\\\\srv", "\\\\\\x"})
    EXPECT_FALSE(IsFullProgramPath(part)) << part;
  EXPECT_FALSE(IsFullProgramPath(nullptr));
  Cache({{"C:\\a.exe", 1}});
  CFakeDriver driver;
  int changes = 0;
  SetAuditRulesChangedHook([](void* n) { ++*static_cast<int*>(n); }, &changes);
  const uint32_t gone = 77;
  EXPECT_EQ(RecordAuditDecision("C:\\A.EXE", AUDIT_BLOCK, &gone), RESULT_OK);
  EXPECT_EQ(RecordAuditDecision("C:\\b.exe", AUDIT_PERMIT, &gone), RESULT_OK);
  ASSERT_EQ(AuditRuleCache.Length(), 2u) << "the deleted rule's program keeps its one rule";
  EXPECT_EQ(AuditRuleCache[0].Access & 0x37u, 0u);
  EXPECT_EQ(RecordAuditDecision("Unknown", AUDIT_PERMIT), RESULT_FAILED);
  driver.Answer = 1;
  EXPECT_EQ(AddAuditRule("C:\\c.exe", AUDIT_PERMIT), RESULT_FAILED);
  EXPECT_EQ(AuditRuleCache.Length(), 2u) << "nothing the driver refused";
  EXPECT_EQ(changes, 2) << "each change the driver took, and only those";
  SetAuditRulesChangedHook(nullptr, nullptr);
}

TEST_F(Audit, AddedRulesTakeTheirDecisionAndKeepTheOthers) {
  Cache({{"C:\\a.exe", 1}});
  CFakeDriver driver;
  uint32_t id = 0;
  EXPECT_EQ(AddAuditRule(nullptr, AUDIT_PERMIT, &id), RESULT_FAILED);
  ASSERT_EQ(AddAuditRule("C:\\b.exe", AUDIT_NOTIFY, &id), RESULT_OK);
  ASSERT_EQ(AuditRuleCache.Length(), 2u);
  EXPECT_STREQ(AuditRuleCache[0].AppPath, "C:\\a.exe");
  EXPECT_STREQ(AuditRuleCache[1].AppPath, "C:\\b.exe");
  EXPECT_EQ(+AuditRuleCache[1].RuleId, id);
  EXPECT_EQ(+AuditRuleCache[1].Access, 0x27u);
  EXPECT_EQ(+AuditRuleCache[1].MissAction, 1u);
  ASSERT_EQ(driver.AuditImages.size(), 1u);
  EXPECT_EQ(Dword(driver.AuditImages[0], 8), 2u);
}

std::vector<uint8_t> Event(uint32_t kind, const char* path) {
  std::vector<uint8_t> record(220, 0);
  StoreLe32(record.data() + 8, kind);
  StoreLe32(record.data() + 12, 0xAA);
  StoreLe32(record.data() + 212, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(path)));
  return record;
}

TEST_F(Audit, AutomaticVerdictsComeOnlyFromPlainPermitOrBlock) {
  Cache({{"C:\\permit.exe", 1}, {"C:\\block.exe", 2}, {"C:\\ask.exe", 3}, {"C:\\detail.exe", 4}, {"Unknown", 5}});
  FindAuditRuleById(2)->Access = 0x00;
  FindAuditRuleById(3)->Access = 0x27;
  FindAuditRuleById(4)->Access = 0x17;
  CFakeDriver driver;
  struct Row {
    uint32_t kind;
    const char* path;
    uint32_t result;
    uint32_t verdict;
  } rows[] = {
      {2, "c:\\PERMIT.exe", RESULT_OK, 0},          {2, "C:\\block.exe", RESULT_OK, 1},
      {2, "C:\\ask.exe", RESULT_NO_AUTO_VERDICT, 0}, {2, "C:\\detail.exe", RESULT_NO_AUTO_VERDICT, 0},
      {2, "C:\\none.exe", RESULT_NO_AUTO_VERDICT, 0}, {3, "C:\\permit.exe", RESULT_NO_AUTO_VERDICT, 0},
      {1, "C:\\block.exe", RESULT_NO_AUTO_VERDICT, 0}, {2, nullptr, RESULT_NO_AUTO_VERDICT, 0},
      {2, "Unknown", RESULT_NO_AUTO_VERDICT, 0},  // an older console's rule for no path decides nothing
  };
  for (const Row& row : rows) {
    std::vector<uint8_t> event = Event(row.kind, row.path);
    size_t sent = driver.Verdicts.size();
    EXPECT_EQ(AnswerFromAuditRules(reinterpret_cast<_REPORT_EVENT_HEAD*>(event.data())), row.result)
        << (row.path ? row.path : "(none)");
    if (row.result == RESULT_OK) {
      ASSERT_EQ(driver.Verdicts.size(), sent + 1);
      EXPECT_EQ(Dword(driver.Verdicts.back(), 12), row.verdict);
      EXPECT_EQ(Dword(event, 12), row.verdict);
    } else {
      EXPECT_EQ(driver.Verdicts.size(), sent);
      EXPECT_EQ(Dword(event, 12), 0xAAu) << "an undecided event keeps its verdict field";
    }
  }
}

TEST_F(Audit, CacheCopiesAreDeepOrShared) {
  Cache({{"C:\\a.exe", 1}, {"C:\\b.exe", 2}});
  _Array<_RKFW_AUDIT_RULE> shallow(kAuditRuleGrowStep);
  CopyAuditRulesFromCache(shallow, false);
  ASSERT_EQ(shallow.Count, 2);
  EXPECT_EQ(static_cast<const void*>(shallow[1].AppPath), static_cast<const void*>(AuditRuleCache[1].AppPath));
  shallow.Clear();  // shares the cache's texts: only the storage goes
  CopyAuditRulesFromCache(rules_, true);
  ASSERT_EQ(rules_.Count, 2);
  EXPECT_NE(static_cast<const void*>(rules_[1].AppPath), static_cast<const void*>(AuditRuleCache[1].AppPath));
  EXPECT_TRUE(SameAuditRule(rules_[1], AuditRuleCache[1]));
  ClearAuditRuleCache();
  EXPECT_EQ(AuditRuleCache.Length(), 0u);
  EXPECT_STREQ(rules_[0].AppPath, "C:\\a.exe");
}

}  // namespace
