// rkfwctl against the in-process stand-in: what its commands put into the driver, what they
// print, and how a scenario stops at its first bad line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "base/bytes.h"
#include "rules/auditrules.h"
#include "rules/loader.h"
#include "standin/host/standin_host.h"
#include "standin/rkfwctl/rkfwctl.h"

namespace {

class RkfwctlTest : public ::testing::Test {
 protected:
  void SetUp() override { StandinHostInstall(); }
  void TearDown() override { StandinHostRemove(); }
  int Line(const std::string& line) {
    ctl_.Out.clear();
    ctl_.Err.clear();
    return ctl_.Run(SplitRkfwctlLine(line));
  }
  RKFW_STATE& State() { return *StandinHostState(); }
  CRkfwctl ctl_;
};

TEST_F(RkfwctlTest, ApplicationEventFromReadableArguments) {
  ASSERT_EQ(kRkfwctlOk, Line("event ask path=\"C:\\Program Files\\Mail\\mail.exe\" pid=1234 op=connect "
                             "proto=tcp local=192.168.1.5:1025 remote=10.0.0.1:80 rule=77 flags=0x01 audit"))
      << ctl_.Err;
  ASSERT_EQ(1u, State().EventCount);
  const _REPORT_EVENT_HEAD& e = State().Events[State().EventHead];
  EXPECT_EQ(RKFW_EVENT_APP_ASK, e.Kind);
  EXPECT_NE(0u, e.Time);
  const _RKFW_APP_EVENT& b = e.Body.App;
  EXPECT_STREQ("mail.exe", b.ProcessName) << "the name defaults to the path's last part";
  EXPECT_EQ(0, b.NameSource);
  EXPECT_EQ(1234u, b.ProcessId);
  EXPECT_EQ(1234u, b.DriverKey) << "the key defaults to the process id";
  EXPECT_EQ(4u, b.Operation);
  EXPECT_EQ(1u, b.Protocol);
  EXPECT_EQ(0x41u, b.Flags);
  EXPECT_EQ(77u, b.RuleId);
  const uint8_t* local = reinterpret_cast<const uint8_t*>(&b.LocalAddress);
  EXPECT_EQ(192, local[0]);
  EXPECT_EQ(5, local[3]);
  EXPECT_EQ(1025, NetToHost16(b.LocalPort));
  EXPECT_EQ(80, NetToHost16(b.RemotePort));
  // The path is the driver's answer for the key.
  char path[RKFW_PROCESS_PATH_SIZE];
  uint32_t returned = 0, key = 1234;
  ASSERT_EQ(RKFW_STATUS_OK, StandinHostControl(IOCTL_RKFW_GET_PROCESS_PATH, &key, 4, path, sizeof(path), &returned));
  EXPECT_STREQ("C:\\Program Files\\Mail\\mail.exe", path);

  ASSERT_EQ(kRkfwctlOk, Line("event log name=a-very-long-process-name-that-is-cut.exe pid=9 key=3 byid "
                             "action=block count=3"));
  EXPECT_EQ(4u, State().EventCount);
  const _REPORT_EVENT_HEAD& last = State().Events[(State().EventHead + 3) % STANDIN_MAX_EVENTS];
  EXPECT_EQ(RKFW_EVENT_APP_LOG, last.Kind);
  EXPECT_EQ(1u, last.Body.App.Action);
  EXPECT_EQ(1, last.Body.App.NameSource);
  EXPECT_EQ(3u, last.Body.App.DriverKey);
  EXPECT_EQ(25u, strlen(last.Body.App.ProcessName)) << "cut to 25 bytes, terminated";
}

TEST_F(RkfwctlTest, RuleHitPlacesEndpointsByProtocol) {
  ASSERT_EQ(kRkfwctlOk, Line("event rule proto=udp rule=5 action=notify op=send local=10.0.0.2:53 remote=8.8.8.8:5353"));
  ASSERT_EQ(kRkfwctlOk, Line("event rule proto=icmp rule=6 remote=1.2.3.4 time=1000"));
  const _REPORT_EVENT_HEAD& udp = State().Events[0];
  EXPECT_EQ(RKFW_EVENT_SYSTEM, udp.Kind);
  EXPECT_EQ(4u, udp.Body.System.Protocol);
  EXPECT_EQ(2u, udp.Body.System.Action);
  EXPECT_EQ(2u, udp.Body.System.Operation);
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(&udp);
  EXPECT_EQ(53, raw[52] * 256 + raw[53]) << "local port at 52";
  EXPECT_EQ(8, raw[54]);
  EXPECT_EQ(5353, raw[58] * 256 + raw[59]) << "remote port at 58";
  const uint8_t* icmp = reinterpret_cast<const uint8_t*>(&State().Events[1]);
  EXPECT_EQ(1000u, State().Events[1].Time);
  EXPECT_EQ(1, icmp[52]);
  EXPECT_EQ(4, icmp[55]) << "remote address at 52 for ICMP";
}

TEST_F(RkfwctlTest, BadArgumentsAreUsageErrorsAndQueueNothing) {
  EXPECT_EQ(kRkfwctlUsage, Line("event ask pid=x"));
  EXPECT_EQ(kRkfwctlUsage, Line("event ask remote=1.2.3:80"));
  EXPECT_EQ(kRkfwctlUsage, Line("event ask remote=1.2.3.4:70000"));
  EXPECT_EQ(kRkfwctlUsage, Line("event ask colour=red"));
  EXPECT_EQ(kRkfwctlUsage, Line("event rule path=x"));
  EXPECT_EQ(kRkfwctlUsage, Line("event maybe"));
  EXPECT_EQ(kRkfwctlUsage, Line("event ask op=jump"));
  EXPECT_EQ(kRkfwctlUsage, Line("frobnicate"));
  EXPECT_NE(std::string::npos, ctl_.Err.find("frobnicate"));
  EXPECT_EQ(0u, State().EventCount);
}

TEST_F(RkfwctlTest, ConnectionsTrafficAndPaths) {
  ASSERT_EQ(kRkfwctlOk, Line("conn add key=7 proto=tcp state=listen pid=400 name=svc.exe local=0.0.0.0:135"));
  ASSERT_EQ(kRkfwctlOk, Line("conn add key=8 proto=udp pid=401 path=C:\\x\\dns.exe local=127.0.0.1:53 endpoint=99"));
  ASSERT_EQ(kRkfwctlOk, Line("traffic 1000 2000 key=8"));
  ASSERT_EQ(kRkfwctlOk, Line("traffic 5 6"));
  ASSERT_EQ(kRkfwctlOk, Line("conn list"));
  EXPECT_EQ("conn key=7 proto=tcp state=listen pid=400 name=\"svc.exe\" local=0.0.0.0:135 remote=0.0.0.0:0 "
            "sent=0 recv=0 endpoint=0\n"
            "conn key=8 proto=udp pid=401 name=\"dns.exe\" local=127.0.0.1:53 remote=0.0.0.0:0 "
            "sent=1000 recv=2000 endpoint=99\n",
            ctl_.Out);
  EXPECT_EQ(1005u, State().Stats.TotalSent);
  EXPECT_EQ(kRkfwctlOk, Line("conn del 7"));
  EXPECT_EQ(kRkfwctlFailed, Line("conn del 7")) << "no such row";
  EXPECT_EQ(kRkfwctlUsage, Line("conn add proto=tcp")) << "a row needs its key";
  EXPECT_EQ(kRkfwctlOk, Line("path 8 \"C:\\New Folder\\dns.exe\""));
  EXPECT_EQ(kRkfwctlOk, Line("status"));
  EXPECT_NE(std::string::npos, ctl_.Out.find("connections 1\n"));
  EXPECT_NE(std::string::npos, ctl_.Out.find("paths 1\n"));
  EXPECT_NE(std::string::npos, ctl_.Out.find("sent 1005\nreceived 2006\n"));
}

TEST_F(RkfwctlTest, PrintsTheLoadedImagesAsRules) {
  EXPECT_EQ(kRkfwctlOk, Line("ip-rules"));
  EXPECT_EQ("ip-image none\n", ctl_.Out);

  static uint32_t addresses[2] = {0x0100000A, 0x0200000A};
  _Array<_RKFW_RULE> rules;
  _RKFW_RULE rule;
  memset(&rule, 0, sizeof(rule));
  rule.Protocol = RULE_PROTO_TCP;
  rule.Action = RULE_ACTION_BLOCK;
  rule.Conditions = RULE_COND_CONNECT;
  rule.Options = RULE_OPT_LOG;
  rule.RuleId = 42;
  rule.LocalPort.Kind = MATCH_RANGE;
  rule.LocalPort.Value1 = HostToNet16(2000);
  rule.LocalPort.Value2 = HostToNet16(1000);
  rule.RemoteAddr.Kind = MATCH_LIST;
  rule.RemoteAddr.Value1 = 2;
  rule.RemoteAddr.Value2 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(addresses));
  rule.RemotePort.Value1 = HostToNet16(80);
  strcpy(rule.Application, "web \"x\".exe");
  rules.Append(rule);
  memset(&rule, 0, sizeof(rule));
  rule.Protocol = RULE_PROTO_ICMP;
  rule.RuleId = 43;
  rule.IcmpTypeMask = 0x101;
  rules.Append(rule);
  _bytePtr image;
  BuildIpRuleImage(rules, image);
  ASSERT_EQ(RKFW_STATUS_OK, StandinHostControl(IOCTL_RKFW_LOAD_IP_RULES, image.Data(), image.Length(), nullptr, 0, nullptr));
  ASSERT_EQ(kRkfwctlOk, Line("ip-rules"));
  EXPECT_EQ("ip-image size=265 rules=2 extra=8\n"
            "rule icmp id=43 action=permit conditions=0x00 options=0x00 local=any remote=any "
            "icmp-types=0x00000101 icmp-codes=0x00000000 app=\"\"\n"
            "rule tcp id=42 action=block conditions=0x04 options=0x01 local=any local-port=1000-2000 "
            "remote=list(10.0.0.1,10.0.0.2) remote-port=80 app=\"web \\\"x\\\".exe\"\n",
            ctl_.Out);

  _Array<_RKFW_AUDIT_RULE> audit;
  _RKFW_AUDIT_RULE a;
  memset(&a, 0, sizeof(a));
  static char path[] = "C:\\Apps\\mail.exe";
  a.RuleId = 9;
  a.AppPath = path;
  a.MissAction = 1;
  a.Access = AUDIT_DECISION_NOTIFY;
  a.IpOps = 3;
  a.TcpOps = 0x0F;
  a.UdpOps = 0x13;
  a.TcpRemotePort.Kind = MATCH_LIST;
  a.TcpRemotePort.Value1 = 1;
  static uint32_t ports[1] = {HostToNet16(443)};
  a.TcpRemotePort.Value2 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ports));
  audit.Append(a);
  _bytePtr body;
  BuildAuditBody(audit, body);
  ASSERT_EQ(RKFW_STATUS_OK, StandinHostControl(IOCTL_RKFW_LOAD_AUDIT_RULES, body.Data(), body.Length(), nullptr, 0, nullptr));
  ASSERT_EQ(kRkfwctlOk, Line("audit-rules"));
  EXPECT_EQ("audit-image size=204 rules=1 extra=21\n"
            "audit id=9 path=\"C:\\Apps\\mail.exe\" match=permit miss=block access=0x27 decision=notify "
            "ip-ops=0x03 ip-local=any ip-remote=any tcp-ops=0x0F tcp-local=any tcp-local-port=any "
            "tcp-remote=any tcp-remote-port=list(443) udp-ops=0x13 udp-local=any udp-local-port=any "
            "udp-remote=any udp-remote-port=any\n",
            ctl_.Out);
}

TEST_F(RkfwctlTest, VerdictLogAndFaults) {
  _REPORT_EVENT_HEAD e;
  memset(&e, 0, sizeof(e));
  e.Kind = RKFW_EVENT_APP_ASK;
  e.Verdict = RKFW_VERDICT_BLOCK;
  e.Body.App.ProcessId = 55;
  e.Body.App.DriverKey = 56;
  strcpy(e.Body.App.ProcessName, "a.exe");
  StandinHostControl(IOCTL_RKFW_SEND_VERDICT, &e, sizeof(e), nullptr, 0, nullptr);
  e.Verdict = RKFW_VERDICT_PERMIT;
  StandinHostControl(IOCTL_RKFW_SEND_VERDICT, &e, sizeof(e), nullptr, 0, nullptr);
  ASSERT_EQ(kRkfwctlOk, Line("verdicts 1"));
  EXPECT_EQ("verdict 1 kind=2 verdict=permit pid=55 key=56 name=\"a.exe\" rule=0 op=0 flags=0x00 proto=ip "
            "local=0.0.0.0:0 remote=0.0.0.0:0\n",
            ctl_.Out);
  ASSERT_EQ(kRkfwctlOk, Line("wait-verdicts 2 0"));
  EXPECT_EQ(kRkfwctlFailed, Line("wait-verdicts 3 30"));

  ASSERT_EQ(kRkfwctlOk, Line("fault version fail"));
  uint32_t version = 0, returned = 0;
  EXPECT_EQ(RKFW_STATUS_FAULT, StandinHostControl(IOCTL_RKFW_GET_VERSION, nullptr, 0, &version, 4, &returned));
  ASSERT_EQ(kRkfwctlOk, Line("fault 0x12206C none"));
  ASSERT_EQ(kRkfwctlOk, Line("version 3.14"));
  EXPECT_EQ(RKFW_STATUS_OK, StandinHostControl(IOCTL_RKFW_GET_VERSION, nullptr, 0, &version, 4, &returned));
  EXPECT_EQ(0x0003000Eu, version);
  EXPECT_EQ(kRkfwctlUsage, Line("fault version sometimes"));
}

TEST_F(RkfwctlTest, ScenarioRunsLineByLineAndStopsAtTheFirstFailure) {
  char name[] = "/tmp/rkfwctl_scenario_XXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  const char text[] =
      "# a small scenario\n"
      "\n"
      "event ask pid=1 path=\"C:\\a b\\one.exe\"   # trailing comment\n"
      "sleep 1\r\n"
      "event log pid=2\n"
      "conn del 99\n"
      "event log pid=3\n";
  ASSERT_EQ((ssize_t)strlen(text), write(fd, text, strlen(text)));
  close(fd);
  EXPECT_EQ(kRkfwctlFailed, Line(std::string("play ") + name));
  EXPECT_NE(std::string::npos, ctl_.Err.find(std::string(name) + ":6:")) << ctl_.Err;
  EXPECT_EQ(2u, State().EventCount) << "lines after the failing one are not run";
  EXPECT_EQ(kRkfwctlFailed, Line("play /no/such/file"));
  remove(name);
  EXPECT_EQ(kRkfwctlFailed, Line("wait-drained 10"));
}

TEST_F(RkfwctlTest, AbsentDriverIsAFailureWithAMessage) {
  StandinHostRemove();
  CRkfwctl fresh;
  EXPECT_EQ(kRkfwctlFailed, fresh.Run({"status"}));
  EXPECT_NE(std::string::npos, fresh.Err.find("not running"));
  const char* argv[] = {"rkfwctl", "--device", "\\\\.\\RkFw.VXD", "reset"};
  StandinHostInstall();
  CRkfwctl vxd;
  EXPECT_EQ(kRkfwctlOk, vxd.RunArguments(4, argv));
}

TEST(RkfwctlLine, SplitsOnBlanksKeepsQuotedPartsAndDropsComments) {
  EXPECT_EQ((std::vector<std::string>{"a", "path=C:\\x y\\z.exe", "", "b"}),
            SplitRkfwctlLine("  a path=\"C:\\x y\\z.exe\" \"\"\"\"\"\" b # c d"));
  EXPECT_EQ((std::vector<std::string>{"x", ""}), SplitRkfwctlLine("x \"\""));
  EXPECT_TRUE(SplitRkfwctlLine("# only a comment").empty());
}

TEST(RkfwctlDescribe, MalformedImagesSaySo) {
  uint8_t junk[57] = {57};
  EXPECT_EQ("ip-image malformed size=57\n", DescribeIpImage(junk, sizeof(junk)));
  EXPECT_EQ("audit-image malformed size=3\n", DescribeAuditImage(junk, 3));
}

}  // namespace
