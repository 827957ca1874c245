#include "log/eventlog.h"

#include <gtest/gtest.h>

#include <string>

#include "log/formatters.h"
#include "rules/caches.h"
#include "tests/host/log/event_bytes.h"

namespace {
char kWebRule[] = "允许浏览网页";
char kAppPath[] = "C:\\Program Files\\Mail\\mail.exe";

// System events name their rule through IpRuleCache; the cache holds two rules here.
class EventLogText : public ::testing::Test {
 protected:
  void SetUp() override {
    SetComputerNameOverride("WORKPC");
    SetEventClock(EventClock::Local);
    IpRuleCache = _bufferPtr<_RKFW_RULE>(2);
    IpRuleCache[0].RuleId = 0x1111;
    IpRuleCache[0].Name = nullptr;
    IpRuleCache[1].RuleId = 0x2222;
    IpRuleCache[1].Name = kWebRule;
  }
  void TearDown() override {
    IpRuleCache = _bufferPtr<_RKFW_RULE>();    // the names are static here, not freed
    AuditRuleCache = _bufferPtr<_RKFW_AUDIT_RULE>();
    SetComputerNameOverride(nullptr);
  }
  static std::string Text(CEventBytes& e) { return BuildEventLogText(e.Record()).Data(); }

  static CEventBytes SystemTcp() {
    CEventBytes e(EVENT_KIND_SYSTEM);
    e.Set32(EVENT_AT_DATA_SIZE, 60)
        .Set32(SYS_AT_PROTOCOL, 3)
        .Set32(SYS_AT_ACTION, 1)
        .Set32(SYS_AT_OPERATION, 4)
        .Set32(SYS_AT_RULE_ID, 0x2222)
        .Set32(SYS_AT_LOCAL_ADDR, Ip(10, 0, 0, 5))
        .Port(SYS_AT_LOCAL_PORT, 1025)
        .Set32(SYS_AT_REMOTE_ADDR, Ip(10, 0, 0, 1))
        .Port(SYS_AT_REMOTE_PORT, 80);
    return e;
  }
  static CEventBytes AppTcp() {
    CEventBytes e(EVENT_KIND_APP_LOG);
    e.Set32(EVENT_AT_DATA_SIZE, 1460)
        .Set32(APP_AT_RULE_ID, 0x9999)
        .Set32(APP_AT_OPERATION, 2)
        .Set32(APP_AT_ACTION, 0)
        .Set32(EVENT_AT_FLAGS, kEventAuditFlag)
        .Name("mail.exe")
        .Set32(APP_AT_LOCAL_ADDR, Ip(192, 168, 0, 2))
        .Set32(APP_AT_REMOTE_ADDR, Ip(61, 135, 1, 10))
        .Port(APP_AT_LOCAL_PORT, 3012)
        .Port(APP_AT_REMOTE_PORT, 25)
        .Set32(APP_AT_PROTOCOL, 1);
    return e;
  }
};

TEST_F(EventLogText, SystemTcpEventBlock) {
  CEventBytes e = SystemTcp();
  EXPECT_EQ(Text(e),
            "[时间]:     2002-07-05 09:03:07\r\n"
            "[记录规则]: 允许浏览网页\r\n"
            "[来源]:     系统\r\n"
            "[操作]:     连接网络\r\n"
            "[处理方式]: 拦截\r\n"
            "[协议类型]: TCP\r\n"
            "[本方地址]:  10.  0.  0.  5:1025\r\n"
            "[对方地址]:  10.  0.  0.  1:80\r\n"
            "[数据大小]: 60\r\n");
}

TEST_F(EventLogText, SystemIcmpEventHasNoPortsAndReadsTheRemoteAtFiftyTwo) {
  CEventBytes e(EVENT_KIND_SYSTEM);
  e.Set32(EVENT_AT_DATA_SIZE, 84)
      .Set32(SYS_AT_PROTOCOL, 1)
      .Set32(SYS_AT_ACTION, 3)
      .Set32(SYS_AT_OPERATION, 1)
      .Set32(SYS_AT_RULE_ID, 0x1111)  // a rule without a name
      .Set32(SYS_AT_LOCAL_ADDR, Ip(10, 0, 0, 5))
      .Set32(SYS_AT_REMOTE_ADDR_IP, Ip(8, 8, 4, 4));
  EXPECT_EQ(Text(e),
            "[时间]:     2002-07-05 09:03:07\r\n"
            "[记录规则]: \r\n"
            "[来源]:     系统\r\n"
            "[操作]:     接收\r\n"
            "[处理方式]: 忽略\r\n"
            "[协议类型]: ICMP\r\n"
            "[本方地址]:  10.  0.  0.  5\r\n"
            "[对方地址]:   8.  8.  4.  4\r\n"
            "[数据大小]: 84\r\n");
}

TEST_F(EventLogText, SystemRuleLine) {
  CEventBytes e = SystemTcp();
  e.Set32(SYS_AT_RULE_ID, 0x5555);
  EXPECT_NE(Text(e).find("[记录规则]: 未知\r\n"), std::string::npos);
  e.Set32(EVENT_AT_FLAGS, kEventAuditFlag | 0x01);
  EXPECT_NE(Text(e).find("[记录规则]: 未知应用程序审核\r\n"), std::string::npos);
  e.Set32(SYS_AT_RULE_ID, 0x2222);  // a known rule does not matter with the audit flag
  EXPECT_NE(Text(e).find("[记录规则]: 未知应用程序审核\r\n"), std::string::npos);
}

TEST_F(EventLogText, AddressZeroPrintsTheComputerName) {
  CEventBytes e = SystemTcp();
  e.Set32(SYS_AT_LOCAL_ADDR, 0);
  EXPECT_NE(Text(e).find("[本方地址]: WORKPC:1025\r\n"), std::string::npos);
  e.Set32(SYS_AT_PROTOCOL, 0);  // IP: no port
  EXPECT_NE(Text(e).find("[本方地址]: WORKPC\r\n"), std::string::npos);
}

TEST_F(EventLogText, OperationTexts) {
  const struct {
    uint32_t value;
    const char* line;
  } rows[] = {{1, "接收"}, {2, "发送"}, {4, "连接网络"}, {8, "网络连接本地服务请求"},
              {16, "作为服务"}, {0, ""}, {3, ""}, {32, ""}, {0xFFFFFFFF, ""}};
  for (const auto& row : rows) {
    CEventBytes e = SystemTcp();
    e.Set32(SYS_AT_OPERATION, row.value);
    EXPECT_NE(Text(e).find(std::string("[操作]:     ") + row.line + "\r\n[处理方式]"), std::string::npos)
        << row.value;
  }
}

TEST_F(EventLogText, ValuesOutsideTheTablesShowTheirNumber) {
  CEventBytes e = SystemTcp();
  e.Set32(SYS_AT_ACTION, 4).Set32(SYS_AT_PROTOCOL, 5);
  std::string text = Text(e);
  EXPECT_NE(text.find("[处理方式]: 未知(4)\r\n"), std::string::npos);
  EXPECT_NE(text.find("[协议类型]: 未知(5)\r\n"), std::string::npos);
  EXPECT_NE(text.find("[本方地址]:  10.  0.  0.  5\r\n"), std::string::npos);  // no port
  CEventBytes a = AppTcp();
  a.Set32(APP_AT_PROTOCOL, 3).Set32(APP_AT_ACTION, 0xFFFFFFFF);  // TCP of kind 1 is 3 of kind 3
  text = Text(a);
  EXPECT_NE(text.find("[协议类型]: 未知(3)\r\n"), std::string::npos);
  EXPECT_NE(text.find("[处理方式]: 未知(4294967295)\r\n"), std::string::npos);
}

TEST_F(EventLogText, ApplicationTcpEventBlock) {
  CEventBytes e = AppTcp();
  EXPECT_EQ(Text(e),
            "[时间]:     2002-07-05 09:03:07\r\n"
            "[记录规则]: 来知应用程序审核\r\n"
            "[来源]:     mail.exe\r\n"
            "[操作]:     发送\r\n"
            "[处理方式]: 许可\r\n"
            "[协议类型]: TCP\r\n"
            "[本方地址]: 192.168.  0.  2:3012\r\n"
            "[对方地址]:  61.135.  1. 10:25\r\n"
            "[数据大小]: 1460\r\n");
}

TEST_F(EventLogText, ApplicationIpEventBlock) {
  CEventBytes e = AppTcp();
  e.Set32(APP_AT_PROTOCOL, 0).Set32(APP_AT_LOCAL_ADDR, 0);
  std::string text = Text(e);
  EXPECT_NE(text.find("[协议类型]: IP\r\n[本方地址]: WORKPC\r\n[对方地址]:  61.135.  1. 10\r\n"),
            std::string::npos)
      << text;
  e.Set32(APP_AT_PROTOCOL, 2);
  EXPECT_NE(Text(e).find("[协议类型]: UDP\r\n[本方地址]: WORKPC:3012\r\n"), std::string::npos);
}

TEST_F(EventLogText, ApplicationRuleLineWithoutTheAuditFlag) {
  CEventBytes e = AppTcp();
  e.Set32(EVENT_AT_FLAGS, 0);
  EXPECT_NE(Text(e).find("[记录规则]: 应用程序审核\r\n"), std::string::npos);
  AuditRuleCache = _bufferPtr<_RKFW_AUDIT_RULE>(1);
  AuditRuleCache[0].RuleId = 0x9999;
  AuditRuleCache[0].AppPath = kAppPath;
  EXPECT_NE(Text(e).find("[记录规则]: 应用程序审核 (C:\\Program Files\\Mail\\mail.exe)\r\n"),
            std::string::npos);
  // The IP rule cache is never consulted for an application event.
  e.Set32(APP_AT_RULE_ID, 0x2222);
  EXPECT_NE(Text(e).find("[记录规则]: 应用程序审核\r\n"), std::string::npos);
  AuditRuleCache[0].AppPath = nullptr;
}

TEST_F(EventLogText, ProcessNameFillingAllTwentySixBytes) {
  CEventBytes e = AppTcp();
  e.Text(APP_AT_PROCESS_NAME, "abcdefghijklmnopqrstuvwxyz", 26);
  e.Set32(APP_AT_PROCESS_NAME + 26, 0x41414141);  // what follows the name is not part of it
  EXPECT_NE(Text(e).find("[来源]:     abcdefghijklmnopqrstuvwxyz\r\n"), std::string::npos);
  // Twelve Chinese characters and a lead byte whose trail byte would lie beyond the name.
  e.Text(APP_AT_PROCESS_NAME, "网络浏览器程序测试文件名", 24).Text(APP_AT_PROCESS_NAME + 24, "x\xB2", 2);
  EXPECT_NE(Text(e).find("[来源]:     网络浏览器程序测试文件名x\r\n"), std::string::npos);
}

TEST_F(EventLogText, OtherKindsGiveTheEmptyText) {
  for (uint32_t kind : {0u, 2u, 4u, 0x80000001u}) {
    CEventBytes e = SystemTcp();
    e.Set32(EVENT_AT_KIND, kind);
    _textPtr text = BuildEventLogText(e.Record());
    EXPECT_EQ(text.Length(), kLogTextSize);
    EXPECT_STREQ(text.Data(), "") << kind;
  }
}

TEST_F(EventLogText, SizesAreUnsignedAndTimesFollowTheClock) {
  CEventBytes e = SystemTcp();
  e.Set32(EVENT_AT_DATA_SIZE, 0xFFFFFFFF);
  EXPECT_NE(Text(e).find("[数据大小]: 4294967295\r\n"), std::string::npos);
  SetEventClock(EventClock::Utc);
  std::string expected = std::string("[时间]:     ") +
                         FormatFileTimeStamp(kSampleTime, EventClock::Utc).Data() + "\r\n";
  EXPECT_EQ(Text(e).compare(0, expected.size(), expected), 0);
  SetEventClock(EventClock::Local);
}

TEST_F(EventLogText, AnOverlongRuleNameCutsOnlyItsOwnLine) {
  static char longName[3000];
  for (int i = 0; i + 2 < 2999; i += 2) memcpy(longName + i, "规", 2);  // GBK: two bytes each
  IpRuleCache[1].Name = longName;
  CEventBytes e = SystemTcp();
  _textPtr text = BuildEventLogText(e.Record());
  std::string s = text.Data();
  EXPECT_LT(s.size(), kLogTextSize);
  size_t rule = s.find("[记录规则]: ");
  size_t end = s.find("\r\n", rule);
  EXPECT_EQ(end - rule, kValueTextSize - 2);  // 1023 bytes cut to a whole character
  EXPECT_NE(s.find("[数据大小]: 60\r\n"), std::string::npos);
}

TEST_F(EventLogText, FindIpRuleName) {
  _textPtr name;
  EXPECT_EQ(FindIpRuleName(0x2222, name), 0u);
  EXPECT_STREQ(name.Data(), "允许浏览网页");
  EXPECT_EQ(name.Length(), kValueTextSize);
  _textPtr kept = MakeText(8, "kept");
  EXPECT_EQ(FindIpRuleName(0x3333, kept), 11u);
  EXPECT_STREQ(kept.Data(), "kept");
  IpRuleCache = _bufferPtr<_RKFW_RULE>();
  EXPECT_EQ(FindIpRuleName(0x2222, name), 11u);
}
}  // namespace
