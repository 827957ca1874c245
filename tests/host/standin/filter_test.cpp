// What the stand-in does with a packet: the level sets as shipped and a few sets of our own,
// compiled from rule text, loaded as the console loads them, and asked with rkfwctl's
// "packet"; one line each (verdict, deciding rule, whether a hit was logged).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "rules/auditrules.h"
#include "rules/ipimage.h"
#include "rules/iprules.h"
#include "rules/rulefile.h"
#include "standin/host/standin_host.h"
#include "standin/rkfwctl/rkfwctl.h"
#include "tools/rkfwtool/ruletext.h"

namespace {

// IP rules of our own: what the level sets leave out.
const char kOwnRules[] = R"(rule-file
magic "RKFA"
version 256
rule
  protocol TCP
  action block
  conditions send,connect
  options log,alert,application
  rule-id 0x0A000001
  application "qq.exe"
end
rule
  protocol TCP
  action block
  conditions connect
  options log,disabled
  rule-id 0x0A000002
  remote-port list 80 443
end
rule
  protocol TCP
  action permit
  conditions connect
  rule-id 0x0A000003
  remote-port list 80 443
end
rule
  protocol TCP
  action notify
  conditions connect
  rule-id 0x0A000004
  remote-port range 6600 6700
end
rule
  protocol TCP
  action ignore
  conditions connect
  rule-id 0x0A000005
  remote-addr range 192.168.1.250 192.168.2.5
end
rule
  protocol IP
  action block
  conditions receive,send
  rule-id 0x0A000006
  remote-addr list 10.9.9.1 10.9.9.2
end
rule
  protocol TCP
  action permit
  conditions receive,send,connect,connect-request
  rule-id 0x0A000007
end
rule
  protocol UDP
  action permit
  conditions receive,send,service
  rule-id 0x0A000008
end
)";

const char kAudit[] = R"(audit-file
magic "RKFA"
version 256
audit-rule
  path "C:\\Apps\\Mail.exe"
  rule-id 0x0B000001
  access 0x07
end
audit-rule
  path "C:\\Apps\\game.exe"
  rule-id 0x0B000002
  access 0x00
end
audit-rule
  path "C:\\Apps\\chat.exe"
  rule-id 0x0B000003
  access 0x27
end
audit-rule
  path "C:\\Apps\\web.exe"
  rule-id 0x0B000004
  match-action permit
  miss-action block
  access 0x17
  tcp-ops connect
  tcp-remote-port list 80 443
end
audit-rule
  path "C:\\Apps\\tcponly.exe"
  rule-id 0x0B000005
  access 0x03
end
)";

std::string LevelText(const char* name) {
  std::ifstream file(std::string(VARDEEN_LEVELS_DIR "/") + name + ".txt", std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The body a rule file of this text holds (the audit body is the driver's image as it is).
_bytePtr BodyOf(const std::string& text) {
  _bytePtr file, body;
  std::string error;
  EXPECT_EQ(0u, CompileRuleText(text.data(), static_cast<uint32_t>(text.size()), file, error, nullptr,
                                TTextEncoding::Utf8))
      << error;
  EXPECT_EQ(0u, ParseRuleFileBytes(file.Data(), file.Length(), true, body));
  return body;
}

void LoadIpRules(const std::string& text) {
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  ASSERT_EQ(0u, ParseRuleFileBody(BodyOf(text), rules));
  _bytePtr image;
  BuildIpRuleImage(rules, image);
  ReleaseRules(rules);
  ASSERT_EQ(RKFW_STATUS_OK,
            StandinHostControl(IOCTL_RKFW_LOAD_IP_RULES, image.Data(), image.Length(), nullptr, 0, nullptr));
}

void LoadAudit(const std::string& text) {
  _bytePtr body = BodyOf(text);
  ASSERT_EQ(RKFW_STATUS_OK,
            StandinHostControl(IOCTL_RKFW_LOAD_AUDIT_RULES, body.Data(), body.Length(), nullptr, 0, nullptr));
}

class FilterTest : public ::testing::Test {
 protected:
  void SetUp() override { StandinHostInstall(); }
  void TearDown() override { StandinHostRemove(); }
  void Start(const std::string& rules, bool enabled = true) {
    StandinHostControl(IOCTL_STANDIN_RESET, nullptr, 0, nullptr, 0, nullptr);
    uint32_t on = enabled ? 1 : 0;
    StandinHostControl(IOCTL_RKFW_SET_ENABLED, &on, 4, nullptr, 0, nullptr);
    LoadIpRules(rules);
    LoadAudit(kAudit);
  }
  std::string Packet(const std::string& arguments, int* status = nullptr) {
    ctl_.Out.clear();
    ctl_.Err.clear();
    int done = ctl_.Run(SplitRkfwctlLine("packet " + arguments));
    if (status != nullptr) *status = done;
    return ctl_.Out + ctl_.Err;
  }
  std::vector<_REPORT_EVENT_HEAD> Queued() {
    std::vector<uint8_t> batch(RKFW_EVENT_BATCH_SIZE);
    uint32_t got = 0;
    StandinHostControl(IOCTL_RKFW_READ_EVENTS, nullptr, 0, batch.data(), RKFW_EVENT_BATCH_SIZE, &got);
    std::vector<_REPORT_EVENT_HEAD> events(got >= 4 ? (got - 4) / RKFW_EVENT_SIZE : 0);
    if (!events.empty()) memcpy(events.data(), batch.data() + 4, events.size() * RKFW_EVENT_SIZE);
    return events;
  }
  CRkfwctl ctl_;
};

struct CPacketCase {
  const char* rules;  // a level's name, or "own"
  const char* packet;
  const char* line;
};

const CPacketCase kCases[] = {
    // The level table: pings, connection requests from outside and over the loopback range.
    {"hsec", "proto=icmp dir=in type=8 remote=10.0.0.9", "block rule=ip:0x48530007 log=yes"},
    {"hsec", "proto=icmp dir=in type=0 remote=10.0.0.9", "permit rule=ip:0x48530008 log=no"},
    {"msec", "proto=icmp dir=in type=8 remote=10.0.0.9", "permit rule=ip:0x4D530006 log=no"},
    {"msec", "proto=tcp dir=in syn local=192.168.1.5:139 remote=10.0.0.9:4000", "block rule=ip:0x4D530002 log=yes"},
    {"msec", "proto=tcp dir=in syn local=127.0.0.1:139 remote=127.0.0.1:4000", "permit rule=ip:0x4D530001 log=no"},
    {"msec", "proto=tcp dir=out syn local=192.168.1.5:1030 remote=10.0.0.9:80", "permit rule=ip:0x4D530003 log=no"},
    {"msec", "proto=udp dir=in service local=192.168.1.5:137 remote=192.168.1.77:137",
     "block rule=ip:0x4D530004 log=yes"},
    {"msec", "proto=udp dir=in local=192.168.1.5:1031 remote=10.0.0.9:53", "permit rule=ip:0x4D530005 log=no"},
    // Ports compare in network order: 53 and 67/68 are the replies the high level lets in.
    {"hsec", "proto=udp dir=in local=192.168.1.5:1031 remote=10.0.0.9:53", "permit rule=ip:0x48530001 log=no"},
    {"hsec", "proto=udp dir=in local=192.168.1.5:1031 remote=10.0.0.9:13568", "block rule=ip:0x48530004 log=yes"},
    {"hsec", "proto=udp dir=in local=0.0.0.0:68 remote=10.0.0.1:67", "permit rule=ip:0x48530002 log=no"},
    {"hsec", "proto=igmp dir=in remote=224.0.0.1", "block rule=ip:0x48530009 log=yes"},
    {"hsec", "proto=igmp dir=out remote=224.0.0.1", "permit rule=none log=no"},
    // A range includes both ends, and nothing beyond them.
    {"lsec", "proto=tcp dir=in syn local=192.168.1.5:135 remote=10.0.0.9:4000", "block rule=ip:0x4C530001 log=yes"},
    {"lsec", "proto=tcp dir=in syn local=192.168.1.5:139 remote=10.0.0.9:4000", "block rule=ip:0x4C530001 log=yes"},
    {"lsec", "proto=tcp dir=in syn local=192.168.1.5:140 remote=10.0.0.9:4000", "permit rule=ip:0x4C530003 log=yes"},
    {"lsec", "proto=tcp dir=in syn local=192.168.1.5:445 remote=10.0.0.9:4000", "block rule=ip:0x4C530002 log=yes"},
    // Application rules compare the file name without case; a disabled rule is passed over;
    // a list matches any element; "any protocol" rules come before the protocol's own.
    {"own", "proto=tcp dir=out syn remote=10.0.0.9:25 pid=5 path=\"C:\\Prog\\QQ.EXE\"", "block rule=ip:0x0A000001 log=yes"},
    {"own", "proto=tcp dir=out syn remote=10.0.0.9:443 pid=5 path=\"C:\\Apps\\mail.exe\"", "permit rule=audit:0x0B000001 log=no"},
    {"own", "proto=tcp dir=out syn remote=10.0.0.9:443", "permit rule=ip:0x0A000003 log=no"},
    {"own", "proto=tcp dir=out syn remote=10.0.0.9:25", "permit rule=ip:0x0A000007 log=no"},
    {"own", "proto=tcp dir=in remote=10.9.9.2:80", "block rule=ip:0x0A000006 log=no"},
    {"own", "proto=udp dir=out remote=10.9.9.1:53", "block rule=ip:0x0A000006 log=no"},
    // Asking holds the packet (wait=0 leaves it held); ignoring passes and logs.
    {"own", "proto=tcp dir=out syn remote=10.0.0.9:6667 wait=0", "asked held rule=ip:0x0A000004 log=no"},
    {"own", "proto=tcp dir=out syn remote=192.168.2.3:8080", "permit rule=ip:0x0A000005 log=yes"},
    // The audit rules: decision, none (ask), detailed conditions, one protocol's bit.
    {"own", "proto=tcp dir=out remote=10.0.0.9:25 pid=6 path=\"c:\\apps\\GAME.exe\"", "block rule=audit:0x0B000002 log=no"},
    {"own", "proto=udp dir=out remote=10.0.0.9:25 pid=7 path=\"C:\\Apps\\chat.exe\" wait=0",
     "asked held rule=audit:0x0B000003 log=no"},
    {"own", "proto=udp dir=out remote=10.0.0.9:25 pid=8 path=\"C:\\Apps\\new.exe\" wait=0", "asked held rule=none log=no"},
    {"own", "proto=tcp dir=out syn remote=10.0.0.9:80 pid=9 path=\"C:\\Apps\\web.exe\"", "permit rule=audit:0x0B000004 log=no"},
    {"own", "proto=tcp dir=out syn remote=10.0.0.9:81 pid=9 path=\"C:\\Apps\\web.exe\"", "block rule=audit:0x0B000004 log=no"},
    {"own", "proto=tcp dir=out remote=10.0.0.9:80 pid=9 path=\"C:\\Apps\\web.exe\"", "block rule=audit:0x0B000004 log=no"},
    {"own", "proto=tcp dir=out remote=10.0.0.9:80 pid=10 path=\"C:\\Apps\\tcponly.exe\"", "permit rule=audit:0x0B000005 log=no"},
    {"own", "proto=udp dir=out remote=10.0.0.9:80 pid=10 path=\"C:\\Apps\\tcponly.exe\"", "block rule=audit:0x0B000005 log=no"},
};

TEST_F(FilterTest, EveryPacketOfTheTableGetsItsVerdict) {
  for (const CPacketCase& c : kCases) {
    Start(std::string(c.rules) == "own" ? kOwnRules : LevelText(c.rules));
    int status = -1;
    EXPECT_EQ(std::string(c.line) + "\n", Packet(c.packet, &status)) << c.rules << ": " << c.packet;
    EXPECT_EQ(kRkfwctlOk, status) << c.packet;
  }
}

TEST_F(FilterTest, OffPassesEverythingAndLogsNothing) {
  Start(LevelText("hsec"), false);
  EXPECT_EQ("permit rule=none log=no\n", Packet("proto=icmp dir=in type=8 remote=10.0.0.9"));
  EXPECT_EQ("permit rule=none log=no\n", Packet("proto=udp dir=out remote=10.0.0.9:25 path=\"C:\\Apps\\new.exe\""));
  EXPECT_TRUE(Queued().empty());
}

TEST_F(FilterTest, AHitIsLoggedAsTheConsoleReadsItAndAHeldPacketWaitsForItsVerdict) {
  Start(LevelText("hsec"));
  ASSERT_EQ("block rule=ip:0x48530005 log=yes\n",
            Packet("proto=tcp dir=in syn local=192.168.1.5:139 remote=10.0.0.9:4000 time=77"));
  std::vector<_REPORT_EVENT_HEAD> events = Queued();
  ASSERT_EQ(1u, events.size());
  const _REPORT_EVENT_HEAD& hit = events[0];
  EXPECT_EQ(77u, hit.Time);
  EXPECT_EQ(RKFW_EVENT_SYSTEM, hit.Kind);
  EXPECT_EQ(uint32_t{RULE_PROTO_TCP}, hit.Body.System.Protocol);
  EXPECT_EQ(uint32_t{RULE_ACTION_BLOCK}, hit.Body.System.Action);
  EXPECT_EQ(uint32_t{RULE_COND_CONNECT_REQUEST}, hit.Body.System.Operation);
  EXPECT_EQ(uint32_t{STANDIN_HIT_LOGGED | STANDIN_HIT_ALERT}, hit.Body.System.Flags);
  EXPECT_EQ(0x48530005u, hit.Body.System.RuleId);
  const uint8_t endpoints[12] = {0, 139, 10, 0, 0, 9, 0x0F, 0xA0};
  EXPECT_EQ(0, memcmp(endpoints, hit.Body.System.Endpoints, sizeof endpoints));

  // A program without a rule: asked, held until the console's verdict for its event comes.
  std::string line;
  std::thread sender([&] {
    CRkfwctl ctl;
    ctl.Run(SplitRkfwctlLine("packet proto=tcp dir=out syn remote=10.0.0.9:80 pid=12 path=\"C:\\Apps\\new.exe\" wait=20000"));
    line = ctl.Out;
  });
  std::vector<_REPORT_EVENT_HEAD> asked;
  for (int i = 0; i < 500 && asked.empty(); ++i) {
    asked = Queued();
    if (asked.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(1u, asked.size());
  EXPECT_EQ(RKFW_EVENT_APP_ASK, asked[0].Kind);
  EXPECT_EQ(12u, asked[0].Body.App.DriverKey);
  EXPECT_EQ(1u, asked[0].Body.App.Protocol) << "TCP as application events number it";
  EXPECT_STREQ("new.exe", asked[0].Body.App.ProcessName);
  _REPORT_EVENT_HEAD verdict = asked[0];
  verdict.Verdict = RKFW_VERDICT_BLOCK;
  memset(&verdict.Body.App.PathRef, 0xEE, 4);  // the console's own field
  StandinHostControl(IOCTL_RKFW_SEND_VERDICT, &verdict, sizeof verdict, nullptr, 0, nullptr);
  verdict.Verdict = RKFW_VERDICT_PERMIT;  // a second verdict changes nothing
  StandinHostControl(IOCTL_RKFW_SEND_VERDICT, &verdict, sizeof verdict, nullptr, 0, nullptr);
  sender.join();
  EXPECT_EQ("asked block rule=none log=no\n", line);
}

TEST_F(FilterTest, MalformedPacketsAndUnansweredOnesAreRefused) {
  Start(LevelText("msec"));
  for (const char* bad : {"proto=udp dir=in syn", "proto=tcp dir=out service", "proto=tcp dir=sideways",
                          "proto=tcp", "proto=icmp dir=in type=256", "proto=tcp dir=in type=3", "proto=gre dir=in"}) {
    int status = 0;
    Packet(bad, &status);
    EXPECT_EQ(kRkfwctlUsage, status) << bad;
  }
  STANDIN_PACKET p;
  memset(&p, 0, sizeof p);
  p.Protocol = RULE_PROTO_ICMP;
  p.Operation = RULE_COND_CONNECT;  // no ICMP packet connects
  STANDIN_PACKET_RESULT r;
  EXPECT_EQ(RKFW_STATUS_INVALID_PARAMETER, StandinHostControl(IOCTL_STANDIN_PACKET, &p, sizeof p, &r, sizeof r, nullptr));
  int status = 0;
  EXPECT_EQ("asked held rule=none log=no\nno verdict came within 50 ms\n",
            Packet("proto=tcp dir=out syn remote=10.0.0.9:80 path=\"C:\\Apps\\new.exe\" wait=50", &status));
  EXPECT_EQ(kRkfwctlFailed, status);
}

}  // namespace
