// The real road under Wine: DetectPlatform and OpenDriver start the stopped RkFw_slot kernel
// service, then every control code goes through DeviceIoControl to RkFw.sys, checked against
// what rkfwctl put into the driver. Needs tools/install-standin.sh to have run.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "base/result.h"
#include "driver/rkfw.h"
#include "rules/auditrules.h"
#include "rules/loader.h"
#include "standin/rkfwctl/rkfwctl.h"
#include "tests/win32/support/files.h"
#include "tests/win32/support/services.h"

namespace {

const char kSlowService[] = "RkFw_slot_slow";

std::string Ctl(const std::string& line, int expected = kRkfwctlOk) {
  CRkfwctl ctl;
  int status = ctl.Run(SplitRkfwctlLine(line));
  EXPECT_EQ(expected, status) << line << ": " << ctl.Err;
  return ctl.Out;
}

// The services start stopped and are left stopped, so that every program (and the console in
// the end-to-end tests) meets the state install-standin.sh leaves.
class DriverWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { StopService(RKFW_SERVICE_NAME); }
  static void TearDownTestSuite() {
    Ctl("reset");
    ResetDriverLinkForTests();
    SetDriverServiceNameForTests(nullptr);
    StopService(RKFW_SERVICE_NAME);
  }
  void SetUp() override {
    ResetDriverLinkForTests();
    SetDriverServiceNameForTests(nullptr);
  }
};

TEST_F(DriverWine, ServiceResults) {
  // Before the platform is known nothing opens.
  EXPECT_EQ(RESULT_DRIVER_NOT_OPEN, OpenDriver(1));

  ASSERT_EQ(RESULT_OK, DetectPlatform());
  EXPECT_TRUE(IsNtPlatform());
  ASSERT_EQ(static_cast<DWORD>(SERVICE_STOPPED), ServiceState(RKFW_SERVICE_NAME))
      << "run tools/install-standin.sh first";
  // Without start the stopped service stays stopped.
  EXPECT_EQ(RESULT_SERVICE_NOT_RUNNING, OpenDriver(0));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), ServiceState(RKFW_SERVICE_NAME));

  ResetDriverLinkForTests();
  ASSERT_EQ(RESULT_OK, DetectPlatform());
  ASSERT_EQ(RESULT_OK, OpenDriver(1));
  EXPECT_TRUE(DriverIsOpen());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(RKFW_SERVICE_NAME));
  EXPECT_EQ(RESULT_OK, OpenDriver(1)) << "a second call keeps the device";

  ResetDriverLinkForTests();
  SetDriverServiceNameForTests("RkFw_not_installed");
  ASSERT_EQ(RESULT_OK, DetectPlatform());
  EXPECT_EQ(RESULT_SERVICE_NOT_INSTALLED, OpenDriver(1));
  EXPECT_FALSE(DriverIsOpen());
  EXPECT_EQ(RESULT_OK, OpenDriver(1)) << "a failed first open is not retried";
  EXPECT_FALSE(DriverIsOpen());

  // A driver that is not running after its start and the console's single wait. The device
  // of RkFw_slot is open in this process, so the console must not open it for this service.
  ResetDriverLinkForTests();
  SetDriverServiceNameForTests(kSlowService);
  ASSERT_EQ(RESULT_OK, DetectPlatform());
  EXPECT_EQ(RESULT_SERVICE_NOT_RUNNING, OpenDriver(1));
  EXPECT_FALSE(DriverIsOpen());
  EXPECT_NE(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(kSlowService));
}

class DriverCodes : public DriverWine {
 protected:
  void SetUp() override {
    DriverWine::SetUp();
    ASSERT_EQ(RESULT_OK, DetectPlatform());
    ASSERT_EQ(RESULT_OK, OpenDriver(1));
    Ctl("reset");
  }
};

TEST_F(DriverCodes, StatisticsVersionEnableState) {
  Ctl("traffic 123456789012 42");
  Ctl("traffic 8 8");
  Ctl("version 2.7");
  _RKFW_STATISTICS stats;
  ASSERT_EQ(RESULT_OK, GetTrafficStats(&stats));
  EXPECT_EQ(123456789020ull, stats.TotalSent);
  EXPECT_EQ(50ull, stats.TotalReceived);
  uint32_t version = 0;
  ASSERT_EQ(RESULT_OK, GetDriverVersion(&version));
  EXPECT_EQ(0x00020007u, version);

  uint8_t enabled = 9;
  ASSERT_EQ(RESULT_OK, GetFilterEnabled(&enabled));
  EXPECT_EQ(0, enabled);
  EXPECT_EQ(RESULT_OK, SetFilterEnabled(2));
  EXPECT_EQ("1\n", Ctl("enabled"));
  ASSERT_EQ(RESULT_OK, GetFilterEnabled(&enabled));
  EXPECT_NE(0, enabled);
  EXPECT_EQ(RESULT_OK, SetFilterEnabled(0));
  EXPECT_EQ("0\n", Ctl("enabled"));

  // Short and failed answers through the kernel's byte count.
  Ctl("fault stats short 63");
  EXPECT_EQ(RESULT_FAILED, GetTrafficStats(&stats));
  Ctl("fault version fail");
  EXPECT_EQ(RESULT_FAILED, GetDriverVersion(&version));
  Ctl("fault get-enabled short 3");
  EXPECT_EQ(RESULT_FAILED, GetFilterEnabled(&enabled));
}

TEST_F(DriverCodes, ConnectionsPathsAndClosing) {
  Ctl("conn add key=11 proto=tcp state=established pid=100 name=web.exe local=10.0.0.2:1050 remote=93.184.216.34:80");
  Ctl("conn add key=12 proto=udp pid=101 name=dns.exe local=0.0.0.0:53");
  Ctl("conn add key=13 proto=tcp state=listen pid=102 name=srv.exe local=0.0.0.0:8080");
  Ctl("path 11 \"C:\\Program Files\\Web\\web.exe\"");

  uint32_t capacity = 0, tcp = 0, udp = 0;
  ASSERT_EQ(RESULT_OK, GetConnections(nullptr, &capacity, &tcp, &udp));
  EXPECT_EQ(3u, capacity);
  EXPECT_EQ(2u, tcp);
  EXPECT_EQ(1u, udp);
  _RKFW_NETWORKCONNECTION rows[3];
  memset(rows, 0, sizeof(rows));
  capacity = 2;
  ASSERT_EQ(RESULT_OK, GetConnections(rows, &capacity, &tcp, &udp));
  EXPECT_EQ(11u, rows[0].Key);
  EXPECT_STREQ("web.exe", rows[0].ProcessName);
  EXPECT_EQ(4u, rows[0].State);
  EXPECT_EQ(12u, rows[1].Key);
  EXPECT_EQ(0u, rows[2].Key) << "only the capacity is copied";

  ProcessBlock block;
  memcpy(&block, &rows[0], sizeof(block));
  _textPtr path;
  ASSERT_EQ(RESULT_OK, GetProcessPath(&block, &path));
  EXPECT_STREQ("C:\\Program Files\\Web\\web.exe", path.Data());
  block.DriverKey = 12;  // no path known for that key
  ASSERT_EQ(RESULT_OK, GetProcessPath(&block, &path));
  EXPECT_STREQ("", path.Data());

  // The process-id branch on this very program.
  memset(&block, 0, sizeof(block));
  strcpy(block.Name, "driver_win32_test.exe");
  block.NameSource = 1;
  block.ProcessId = GetCurrentProcessId();
  ASSERT_EQ(RESULT_OK, GetProcessPath(&block, &path));
  std::string own = path.Data();
  ASSERT_GT(own.size(), 4u);
  EXPECT_EQ(0, lstrcmpiA(own.substr(own.size() - 4).c_str(), ".exe")) << own;
  EXPECT_NE(std::string::npos, own.find("driver_win32_test")) << own;

  EXPECT_EQ(RESULT_OK, CloseConnection(11));
  EXPECT_EQ(RESULT_OK, CloseConnection(99)) << "an unknown key is ignored";
  std::string listed = Ctl("conn list");
  EXPECT_EQ(std::string::npos, listed.find("key=11 ")) << listed;
  EXPECT_NE(std::string::npos, listed.find("key=13 ")) << listed;
  ASSERT_EQ(RESULT_OK, GetConnections(nullptr, &capacity, &tcp, &udp));
  EXPECT_EQ(2u, capacity);
}

TEST_F(DriverCodes, RuleImagesReachTheDriverAndBadOnesAreRefused) {
  static uint32_t ports[2] = {0x5000, 0xBB01};
  _Array<_RKFW_RULE> rules;
  _RKFW_RULE rule;
  memset(&rule, 0, sizeof(rule));
  rule.Protocol = RULE_PROTO_TCP;
  rule.Action = RULE_ACTION_BLOCK;
  rule.RuleId = 4242;
  rule.RemotePort.Kind = MATCH_LIST;
  rule.RemotePort.Value1 = 2;
  rule.RemotePort.Value2 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ports));
  rules.Append(rule);
  _bytePtr image;
  BuildIpRuleImage(rules, image);
  ASSERT_EQ(RESULT_OK, LoadIpRuleSet(image.Data(), image.Length()));
  std::string text = Ctl("ip-rules");
  EXPECT_NE(std::string::npos, text.find("rule tcp id=4242 action=block")) << text;
  EXPECT_NE(std::string::npos, text.find("remote-port=list(80,443)")) << text;

  image.Data()[image.Length() - 1] = 7;  // no closing zero
  EXPECT_EQ(RESULT_FAILED, LoadIpRuleSet(image.Data(), image.Length()));
  EXPECT_EQ(text, Ctl("ip-rules")) << "the driver keeps the last good image";

  _Array<_RKFW_AUDIT_RULE> audit;
  _RKFW_AUDIT_RULE a;
  memset(&a, 0, sizeof(a));
  InitAuditRule(&a);
  static char app[] = "C:\\Apps\\mail.exe";
  a.AppPath = app;
  a.RuleId = 77;
  audit.Append(a);
  _bytePtr body;
  BuildAuditBody(audit, body);
  ASSERT_EQ(RESULT_OK, LoadAuditRuleSet(body.Data(), body.Length()));
  text = Ctl("audit-rules");
  EXPECT_NE(std::string::npos, text.find("audit id=77 path=\"C:\\Apps\\mail.exe\"")) << text;
  EXPECT_NE(std::string::npos, text.find("decision=permit")) << text;
  memcpy(body.Data() + 8, "\x05\0\0\0", 4);  // five records claimed, one present
  EXPECT_EQ(RESULT_FAILED, LoadAuditRuleSet(body.Data(), body.Length()));
}

TEST_F(DriverCodes, EventsInBatchesOf37AndVerdictsBack) {
  Ctl("event ask path=C:\\Apps\\mail.exe pid=300 op=connect proto=tcp local=10.0.0.2:1100 remote=1.2.3.4:25 rule=5");
  Ctl("event log pid=301 count=39");
  _bytePtr batch;
  uint32_t count = 0;
  ASSERT_EQ(RESULT_OK, ReadEvents(&batch, &count));
  ASSERT_EQ(37u, count);
  _REPORT_EVENT_HEAD first;
  memcpy(&first, batch.Data(), sizeof(first));
  EXPECT_EQ(RKFW_EVENT_APP_ASK, first.Kind);
  EXPECT_STREQ("mail.exe", first.Body.App.ProcessName);
  EXPECT_EQ(300u, first.Body.App.ProcessId);
  ASSERT_EQ(RESULT_OK, ReadEvents(&batch, &count));
  EXPECT_EQ(3u, count);
  ASSERT_EQ(RESULT_OK, ReadEvents(&batch, &count));
  EXPECT_EQ(0u, count);

  // The path the event names is the driver's answer for its key.
  ProcessBlock block;
  memcpy(&block, reinterpret_cast<const uint8_t*>(&first) + 36, sizeof(block));
  _textPtr path;
  ASSERT_EQ(RESULT_OK, GetProcessPath(&block, &path));
  EXPECT_STREQ("C:\\Apps\\mail.exe", path.Data());

  first.Verdict = RKFW_VERDICT_BLOCK;
  EXPECT_EQ(RESULT_OK, SendVerdict(&first));
  EXPECT_EQ("verdict 0 kind=2 verdict=block pid=300 key=300 name=\"mail.exe\" rule=5 op=4 flags=0x00 "
            "proto=tcp local=10.0.0.2:1100 remote=1.2.3.4:25\n",
            Ctl("verdicts"));

  // A lying driver: the batch length claims 60000 bytes, but only two records came back.
  Ctl("event log pid=302 count=2");
  Ctl("fault events claim 60000");
  ASSERT_EQ(RESULT_OK, ReadEvents(&batch, &count));
  ASSERT_EQ(2u, count);
  ASSERT_EQ(2u * RKFW_EVENT_SIZE, batch.Length());
  for (uint32_t i = 0; i < count; ++i) {
    const auto& record = reinterpret_cast<const _REPORT_EVENT_HEAD*>(batch.Data())[i];
    EXPECT_EQ(RKFW_EVENT_APP_LOG, record.Kind) << i;
    EXPECT_EQ(302u, record.Body.App.ProcessId) << i;
  }
  Ctl("fault events none");
}

TEST_F(DriverCodes, RkfwctlProgramPlaysAScenario) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  std::string scenario = std::string(folder) + "rkfwctl_scenario.txt";
  FILE* file = fopen(scenario.c_str(), "w");
  ASSERT_NE(nullptr, file);
  fputs("# two events, a short pause, one more\n"
        "event rule proto=tcp rule=9 action=block local=10.0.0.2:139 remote=10.0.0.9:4000\n"
        "event log pid=7 name=a.exe\n"
        "sleep 20\n"
        "event ask pid=8 name=b.exe\n",
        file);
  fclose(file);
  std::string command = "\"" + TestProgramFolder() + "rkfwctl.exe\" play \"" + scenario + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::string line = command;
  ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      << command;
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 30000));
  DWORD exitCode = 99;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  DeleteFileA(scenario.c_str());
  EXPECT_EQ(0u, exitCode);

  _bytePtr batch;
  uint32_t count = 0;
  ASSERT_EQ(RESULT_OK, ReadEvents(&batch, &count));
  ASSERT_EQ(3u, count);
  _REPORT_EVENT_HEAD records[3];
  memcpy(records, batch.Data(), sizeof(records));
  EXPECT_EQ(RKFW_EVENT_SYSTEM, records[0].Kind);
  EXPECT_EQ(9u, records[0].Body.System.RuleId);
  EXPECT_EQ(RKFW_EVENT_APP_LOG, records[1].Kind);
  EXPECT_EQ(RKFW_EVENT_APP_ASK, records[2].Kind);
  EXPECT_STREQ("b.exe", records[2].Body.App.ProcessName);
}

}  // namespace
