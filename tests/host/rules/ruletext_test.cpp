// The text form of rkfwtool: dump then compile gives the same bytes; bad text is refused.
#include <gtest/gtest.h>

#include "base/bytes.h"
#include "base/result.h"
#include "rule_helpers.h"
#include "rules/rulefile.h"
#include "tools/rkfwtool/encoding.h"
#include "tools/rkfwtool/ruletext.h"

namespace {

std::vector<uint8_t> FileOf(_Array<_RKFW_RULE>& rules) {
  std::string path = ScratchPath("text.rul");
  EXPECT_EQ(WriteRuleFile(path.c_str(), rules), RESULT_OK);
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadBytes(path, &bytes));
  return bytes;
}

std::vector<uint8_t> FileOf(_Array<_RKFW_AUDIT_RULE>& rules) {
  std::string path = ScratchPath("text.aud");
  EXPECT_EQ(WriteAuditFile(path.c_str(), rules), RESULT_OK);
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(ReadBytes(path, &bytes));
  return bytes;
}

void ExpectReproduced(const std::vector<uint8_t>& file, bool audit) {
  std::string text, error;
  ASSERT_EQ(DumpRuleFileBytes(file.data(), static_cast<uint32_t>(file.size()), audit, text, error), RESULT_OK)
      << error;
  _bytePtr compiled;
  ASSERT_EQ(CompileRuleText(text.data(), static_cast<uint32_t>(text.size()), compiled, error), RESULT_OK)
      << error << "\n" << text;
  EXPECT_EQ(Bytes(compiled), file) << text;
}

TEST(RuleText, ConsoleFilesComeBackByteForByte) {
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  _RKFW_RULE tcp = MakeRule(RULE_PROTO_TCP, "阻止连接请求", "含\\的说明：\"引号\"\t");
  tcp.Action = RULE_ACTION_BLOCK;
  tcp.Conditions = 0x0F | 0x40;  // an unnamed bit too
  tcp.Options = RULE_OPT_LOG | RULE_OPT_ALERT | 0x100;
  tcp.RuleId = 0xDEADBEEF;
  tcp.Reserved3 = 5;
  memcpy(tcp.Application, "qq.exe", 6);
  tcp.LocalAddr = MakeRange(Addr(10, 0, 0, 0), Addr(10, 0, 0, 255));
  tcp.RemoteAddr = MakeList({Addr(1, 2, 3, 4), Addr(255, 255, 255, 255)});
  tcp.LocalPort = MakeList({});
  tcp.RemotePort = MakeSingle(0x12345678);  // not a port number: kept as a raw value
  rules.Append(tcp);
  _RKFW_RULE ip = MakeRule(RULE_PROTO_IP, "");
  ip.Action = 17;
  ip.RemotePort = _MATCH_VALUE{5, 6, 7};  // bytes a protocol does not use still travel
  memcpy(ip.Application, "a\0garbage", 9);
  rules.Append(ip);
  _RKFW_RULE icmp = MakeRule(RULE_PROTO_ICMP, "回显");
  icmp.IcmpTypeMask = 0x101;
  icmp.IcmpCodeMask = 0xFFFFFFFF;
  icmp.IcmpUnused = 3;
  icmp.LocalAddr = _MATCH_VALUE{0, 0, 9};
  rules.Append(icmp);
  rules.Append(MakeRule(RULE_PROTO_IGMP, "igmp"));
  rules.Append(MakeRule(-3, "outside", "left out but counted"));
  rules.Append(MakeRule(12, "", ""));
  ExpectReproduced(FileOf(rules), false);
  ReleaseRules(rules);
  ExpectReproduced(FileOf(rules), false);
}

TEST(RuleText, AuditFilesComeBackByteForByte) {
  _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
  _RKFW_AUDIT_RULE a = MakeAuditRule("C:\\Program Files\\腾讯\\QQ.exe", 0x1234);
  a.Access = 0x17;
  a.MatchAction = 2;
  a.MissAction = 9;
  a.Reserved1 = 4;
  a.UdpOps = 0x33;
  a.TcpRemotePort = MakeList({Port(80), Port(443)});
  a.IpRemoteAddr = MakeRange(Addr(1, 0, 0, 0), Addr(1, 255, 255, 255));
  a.Reserved2[31] = 0xFF;
  rules.Append(a);
  rules.Append(MakeAuditRule("", 1));
  ExpectReproduced(FileOf(rules), true);
  ReleaseAuditRules(rules);
}

TEST(RuleText, TheTextSaysWhatItMeans) {
  const char text[] =
      "rule-file  # a comment\n"
      "rule\n"
      "  name \"web\"\n"
      "  protocol TCP\n"
      "  action permit\n"
      "  conditions send,connect\n"
      "  remote-port list 80 443\n"
      "  remote-addr range 10.0.0.1 10.0.0.9\n"
      "end\n";
  _bytePtr file;
  std::string error;
  ASSERT_EQ(CompileRuleText(text, sizeof text - 1, file, error), RESULT_OK) << error;
  _bytePtr body;
  ASSERT_EQ(ParseRuleFileBytes(file.Data(), file.Length(), true, body), RESULT_OK);
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  ASSERT_EQ(ParseRuleFileBody(body, rules), RESULT_OK);
  ASSERT_EQ(rules.Count, 1);
  EXPECT_STREQ(rules[0].Name, "web");
  EXPECT_STREQ(rules[0].Description, "");
  EXPECT_EQ(+rules[0].Conditions, 0x06u);
  EXPECT_EQ(ElementsOf(rules[0].RemotePort), (std::vector<uint32_t>{Port(80), Port(443)}));
  EXPECT_EQ(+rules[0].RemoteAddr.Kind, MATCH_RANGE);
  EXPECT_EQ(+rules[0].RemoteAddr.Value2, Addr(10, 0, 0, 1));
  EXPECT_EQ(+rules[0].RemoteAddr.Value1, Addr(10, 0, 0, 9));
  ReleaseRules(rules);
}

TEST(RuleText, BadTextIsRefusedWithItsLine) {
  struct Row {
    const char* text;
    const char* line;
  } rows[] = {
      {"", "line"},
      {"rules\n", "line 1"},
      {"rule-file\nrule\n  protocol TCP\n", "without end"},
      {"rule-file\nrule\n  protocol TCP\n  remote-port 70000\nend\n", "line 4"},
      {"rule-file\nrule\n  local-addr any\nend\n", "line 3"},
      {"rule-file\nrule\n  protocol IGMP\n  local-addr any\nend\n", "line 4"},
      {"rule-file\nrule\n  name \"open\nend\n", "line 3"},
      {"rule-file\nrule\n  name \"\\q\"\nend\n", "line 3"},
      {"rule-file\nrule\n  name \"\\x00\"\nend\n", "line 3"},
      {"rule-file\nrule\n  protocol TCP\n  local-addr 1.2.3\nend\n", "line 4"},
      {"rule-file\nrule\n  protocol TCP\n  local-addr raw 1 2 3\nend\n", "line 4"},
      {"rule-file\nrule\n  application \"0123456789012345678901234567890123\"\nend\n", "line 3"},
      {"rule-file\nrule\n  protocol TCP\n  unused 29 00\nend\n", "line 4"},
      {"rule-file\nunused-records 2\nunused-extra 5\n", "unused-extra"},
      {"audit-file\naudit-rule\n  access 7\nend\n", "without path"},
      {"audit-file\nrule\nend\n", "line 2"},
      {"audit-file\nmagic \"RKF[\"\n", "magic"},  // the audit reader would refuse the file
      {"rule-file\nmagic \"RKFB\"\n", "line 2: wrong magic"},
      {"rule-file\nversion 257\n", "line 2: wrong version"},
      {"rule-file\nrule\n  name \"a\"\nend\n", "line 4: rule without protocol"},
      {"rule-file\nrule\n  protocol TCP\n  rule-id 5\nend\nrule\n  protocol UDP\n  rule-id 0x5\nend\n",
       "line 8: rule-id already used on line 4"},
      {"audit-file\naudit-rule\n  path \"a\"\n  rule-id 9\nend\naudit-rule\n  path \"b\"\n  rule-id 9\nend\n",
       "line 8: rule-id already used on line 4"},
      {"rule-file\nrule\n  protocol TCP\n  local-port range 2000 1000\nend\n", "line 4: range ends before"},
      {"rule-file\nrule\n  protocol TCP\n  remote-addr range 10.0.0.9 10.0.0.1\nend\n", "line 4: range ends before"},
      {"rule-file\nrule\n  protocol UDP\n  remote-port list\nend\n", "line 4: empty list"},
      {"audit-file\naudit-rule\n  path \"a\"\n  tcp-remote-port list\nend\n", "line 4: empty list"},
  };
  for (const Row& row : rows) {
    _bytePtr file;
    std::string error;
    EXPECT_EQ(CompileRuleText(row.text, static_cast<uint32_t>(strlen(row.text)), file, error), RESULT_FAILED)
        << row.text;
    EXPECT_NE(error.find(row.line), std::string::npos) << row.text << " gave: " << error;
    EXPECT_FALSE(file.Valid());
  }
}

// The same rule written three ways: GBK as stored, UTF-8, UTF-8 with a byte order mark.
TEST(RuleText, Utf8TextCompilesToTheSameGbkFile) {
  const std::string gbk = "rule-file\nrule\n  name \"禁止TCP连接请求\"\n  protocol TCP\nend\n";
  const std::string utf8 = u8"rule-file\nrule\n  name \"禁止TCP连接请求\"\n  protocol TCP\nend\n";
  ASSERT_NE(gbk, utf8);
  _bytePtr fromGbk, fromUtf8, fromMarked;
  std::string error;
  ASSERT_EQ(CompileRuleText(gbk.data(), static_cast<uint32_t>(gbk.size()), fromGbk, error), RESULT_OK) << error;
  ASSERT_EQ(CompileRuleText(utf8.data(), static_cast<uint32_t>(utf8.size()), fromUtf8, error, nullptr, TTextEncoding::Utf8),
            RESULT_OK)
      << error;
  const std::string marked = "\xEF\xBB\xBF" + utf8;
  ASSERT_EQ(CompileRuleText(marked.data(), static_cast<uint32_t>(marked.size()), fromMarked, error), RESULT_OK) << error;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(fromGbk.Data()), fromGbk.Length()),
            std::string(reinterpret_cast<const char*>(fromUtf8.Data()), fromUtf8.Length()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(fromGbk.Data()), fromGbk.Length()),
            std::string(reinterpret_cast<const char*>(fromMarked.Data()), fromMarked.Length()));

  // A character GBK has no room for is refused with its line.
  const std::string smile = u8"rule-file\nrule\n  protocol TCP\n  name \"\U0001F600\"\nend\n";
  _bytePtr refused;
  EXPECT_EQ(CompileRuleText(smile.data(), static_cast<uint32_t>(smile.size()), refused, error, nullptr, TTextEncoding::Utf8),
            RESULT_FAILED);
  EXPECT_NE(error.find("line 4"), std::string::npos) << error;
}

// "小" in GBK (D0 A1) is also well-formed UTF-8 (U+0421): it stays GBK when the text says so or
// the caller does, whatever the bytes look like; a dump names its encoding and comes back.
TEST(RuleText, GbkThatLooksLikeUtf8IsNotReadAsUtf8) {
  const std::string small = "rule-file\nrule\n  name \"\xD0\xA1\"\n  protocol TCP\nend\n";
  const std::string declared = "rule-file\nencoding GBK\nrule\n  name \"\xD0\xA1\"\n  protocol TCP\nend\n";
  struct Row {
    const std::string* text;
    TTextEncoding unmarked;
  } rows[] = {{&small, TTextEncoding::Gbk}, {&declared, TTextEncoding::Utf8}};
  for (const Row& row : rows) {
    _bytePtr file;
    std::string error, text;
    ASSERT_EQ(CompileRuleText(row.text->data(), static_cast<uint32_t>(row.text->size()), file, error, nullptr, row.unmarked),
              RESULT_OK)
        << error;
    ASSERT_EQ(DumpRuleFileBytes(file.Data(), file.Length(), false, text, error), RESULT_OK);
    EXPECT_NE(text.find("\nencoding GBK\n"), std::string::npos) << text;
    EXPECT_NE(text.find("name \"\xD0\xA1\""), std::string::npos) << text;
    EXPECT_TRUE(TextReproducesFile(file.Data(), file.Length(), text));
    _bytePtr again;
    std::string utf8 = GbkTextToUtf8(text);
    EXPECT_NE(utf8.find("\nencoding UTF-8\n"), std::string::npos) << utf8;
    ASSERT_EQ(CompileRuleText(utf8.data(), static_cast<uint32_t>(utf8.size()), again, error), RESULT_OK) << error;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(again.Data()), again.Length()),
              std::string(reinterpret_cast<const char*>(file.Data()), file.Length()));
  }
  _bytePtr refused;
  std::string error;
  const std::string unknown = "rule-file\nencoding latin1\n";
  EXPECT_EQ(CompileRuleText(unknown.data(), static_cast<uint32_t>(unknown.size()), refused, error), RESULT_FAILED);
  EXPECT_NE(error.find("line 2: unknown encoding"), std::string::npos) << error;
}

// Shown in UTF-8, a dump still compiles back to the same bytes, also for texts that are not
// GBK at all (they come out as escapes).
TEST(RuleText, Utf8DumpsComeBackByteForByte) {
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  rules.Append(MakeRule(RULE_PROTO_TCP, "禁止TCP连接请求"));
  rules.Append(MakeRule(RULE_PROTO_UDP, "\x81\x30 odd \xff"));
  std::vector<uint8_t> file = FileOf(rules);
  ReleaseRules(rules);
  std::string text, error;
  ASSERT_EQ(DumpRuleFileBytes(file.data(), static_cast<uint32_t>(file.size()), false, text, error), RESULT_OK);
  std::string utf8 = GbkTextToUtf8(text);
  EXPECT_NE(utf8.find(u8"禁止TCP连接请求"), std::string::npos) << utf8;
  EXPECT_TRUE(LooksLikeUtf8(utf8.data(), static_cast<uint32_t>(utf8.size())));
  EXPECT_FALSE(LooksLikeUtf8(text.data(), static_cast<uint32_t>(text.size())));
  _bytePtr again;
  ASSERT_EQ(CompileRuleText(utf8.data(), static_cast<uint32_t>(utf8.size()), again, error), RESULT_OK) << error;
  EXPECT_EQ(std::vector<uint8_t>(again.Data(), again.Data() + again.Length()), file);
}

// What a file may hold but a person should not write by slip still comes back: an empty list
// is dumped as "list none", a range that runs backwards raw.
TEST(RuleText, EmptyListsAndBackwardRangesInAFileComeBack) {
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  _RKFW_RULE tcp = MakeRule(RULE_PROTO_TCP, "t");
  tcp.LocalPort = MakeList({});
  tcp.RemotePort = MakeRange(Port(2000), Port(1000));
  tcp.LocalAddr = MakeRange(Addr(10, 0, 0, 9), Addr(10, 0, 0, 1));
  rules.Append(tcp);
  std::vector<uint8_t> file = FileOf(rules);
  ReleaseRules(rules);
  std::string text, error;
  ASSERT_EQ(DumpRuleFileBytes(file.data(), static_cast<uint32_t>(file.size()), false, text, error), RESULT_OK);
  EXPECT_NE(text.find("local-port list none\n"), std::string::npos) << text;
  EXPECT_NE(text.find("remote-port raw 2 "), std::string::npos) << text;
  EXPECT_NE(text.find("local-addr raw 2 "), std::string::npos) << text;
  _bytePtr again;
  ASSERT_EQ(CompileRuleText(text.data(), static_cast<uint32_t>(text.size()), again, error), RESULT_OK) << error;
  EXPECT_EQ(std::vector<uint8_t>(again.Data(), again.Data() + again.Length()), file);
}

TEST(RuleText, DamagedFilesAreNotDumped) {
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  rules.Append(MakeRule(RULE_PROTO_UDP, "u"));
  std::vector<uint8_t> file = FileOf(rules);
  ReleaseRules(rules);
  std::string text, error;
  file.back() ^= 0x10;
  EXPECT_EQ(DumpRuleFileBytes(file.data(), static_cast<uint32_t>(file.size()), false, text, error), RESULT_FAILED);
  EXPECT_EQ(DumpRuleFileBytes(file.data(), 10, false, text, error), RESULT_FAILED);
  EXPECT_TRUE(text.empty());
}

}  // namespace
