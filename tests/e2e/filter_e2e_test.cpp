// The stand-in filters what the console loaded: packets sent with rkfwctl meet the level's
// rules, a rule made in the rule edit dialog, an audit card's decision and the prompt's answer.
#include "tests/e2e/console_fixture.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <thread>

namespace {

const char kPing[] = "packet proto=icmp dir=in type=8 local=192.168.1.5 remote=192.168.1.77";
const char kProbe139[] = "packet proto=tcp dir=in syn local=192.168.1.5:139 remote=10.0.0.9:4000";
const char kLoopback139[] = "packet proto=tcp dir=in syn local=127.0.0.1:139 remote=127.0.0.1:4000";

std::string Hex(uint32_t id) {
  char text[16];
  snprintf(text, sizeof text, "0x%08X", id);
  return text;
}

// Selects an item of a combo box as the user's choice does: the box's parent hears of it.
void Choose(HWND combo, int index) {
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

class FilterE2E : public ConsoleE2E {
 protected:
  void SetUp() override {
    ConsoleE2E::SetUp();
    ASSERT_TRUE(SetSettingDword("Enable", 1));
  }
  static bool LogShows(const CConsole& console, const std::string& ruleName) {
    return WaitUntil([&] { return Contains(WindowText(console.Control("LogMemo")), "[记录规则]: " + ruleName + "\r\n"); });
  }
  static int VisiblePrompts(const CConsole& console) {
    int n = 0;
    for (HWND w : TopWindows(console.Pid(), "TFWEventNotifyForm")) n += IsWindowVisible(w) ? 1 : 0;
    return n;
  }
};

TEST_F(FilterE2E, TheLevelsDoWhatTheirTableSays) {
  CProgramFolder folder("filter-levels");
  CConsole console;
  StartConsole(console, folder);
  // Medium: pings pass, connection requests from other computers are blocked and logged,
  // the loopback range may connect.
  EXPECT_EQ("permit rule=ip:0x4D530006 log=no", DriverLine(kPing));
  EXPECT_EQ("block rule=ip:0x4D530002 log=yes", DriverLine(kProbe139));
  EXPECT_EQ("permit rule=ip:0x4D530001 log=no", DriverLine(kLoopback139));
  EXPECT_TRUE(LogShows(console, "禁止外部连接请求"));

  PressKey(console.Control("TrackBar1"), VK_HOME);  // high
  ASSERT_TRUE(WaitUntil([] { return DriverCounter("ip-loads") == 2; }));
  EXPECT_EQ("block rule=ip:0x48530007 log=yes", DriverLine(kPing));
  EXPECT_TRUE(LogShows(console, "禁止回显请求"));

  // Filtering switched off in the console: everything passes, nothing is logged.
  ClickControl(console.Control("EnableBtn"));
  ASSERT_TRUE(WaitUntil([] { return DriverLine("enabled") == "0"; }));
  EXPECT_EQ("permit rule=none log=no", DriverLine(kPing));
  CloseConsole(console);
}

TEST_F(FilterE2E, ARuleMadeInTheDialogBlocksAndLogsUntilItIsSwitchedOff) {
  CProgramFolder folder("filter-rule");
  CConsole console;
  StartConsole(console, folder);
  const char kToPort8080[] = "packet proto=tcp dir=out syn local=192.168.1.5:1040 remote=10.0.0.9:8080";
  ASSERT_EQ("permit rule=ip:0x4D530003 log=no", DriverLine(kToPort8080)) << "the level lets it through";

  ClickControl(console.Control("RuleSetupBtn"));
  ASSERT_TRUE(WaitUntil([&] { return !console.Find("FWRuleItemFrame6.RuleDescLabel").name.empty(); }));
  ClickControl(console.Control("NewRuleBtn"));
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND w : TopWindows(console.Pid(), "TFWNewRuleDlg")) dialog = IsWindowVisible(w) ? w : dialog;
    return dialog != nullptr;
  }));
  // A TCP rule: block connecting to port 8080, logged.
  SendMessageA(FindControl(dialog, "RuleEdit"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("禁止连接8080"));
  Choose(FindControl(dialog, "CondComboBox"), 1);  // 拦截
  ClickControl(FindControl(dialog, "ConnectCheckBox"));
  ClickControl(FindControl(dialog, "LogCheckBox"));
  Choose(FindControl(dialog, "TCPDstPortBox"), 1);  // 指定端口
  HWND port = FindWindowExA(FindControl(dialog, "TCPDstPortSpinEdit"), nullptr, "Edit", nullptr);
  ASSERT_NE(nullptr, port);
  SendMessageA(port, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("8080"));
  ClickControl(FindControl(dialog, "OKBtn"));
  if (!WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); })) {
    HWND box = WaitMessageBox(console, "错误", 1000);
    FAIL() << "OK refused: " << (box != nullptr ? MessageBoxText(box) : "no message");
  }
  // After the level's TCP rules it would never be reached: up to the top of its protocol.
  const std::string card = "FWRuleItemFrame7";
  ASSERT_TRUE(WaitUntil([&] { return !console.Find((card + ".UpBitBtn").c_str()).name.empty(); }));
  for (int i = 0; i < 3; ++i) {
    ClickControl(console.Find((card + ".UpBitBtn").c_str()));
    SyncWith(console.MainWindow());
  }
  uint32_t loads = DriverCounter("ip-loads");
  ClickControl(console.Control("ApplyBitBtn"));
  ASSERT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") == loads + 1; }));

  const std::string rules = Rkfwctl("ip-rules");
  size_t at = rules.find("remote-port=8080");
  ASSERT_NE(std::string::npos, at) << rules;
  size_t id = rules.rfind(" id=", at);
  ASSERT_NE(std::string::npos, id);
  const std::string mine = "rule=ip:" + Hex(static_cast<uint32_t>(strtoul(rules.c_str() + id + 4, nullptr, 10)));
  EXPECT_EQ("block " + mine + " log=yes", DriverLine(kToPort8080)) << rules;
  EXPECT_EQ("permit rule=ip:0x4D530003 log=no",
            DriverLine("packet proto=tcp dir=out syn local=192.168.1.5:1041 remote=10.0.0.9:8081"));
  EXPECT_TRUE(LogShows(console, "禁止连接8080"));

  // Switched off on its card and applied: the level's rule decides again.
  ClickControl(console.Find((card + ".EnableCheckBox").c_str()));
  SyncWith(console.MainWindow());
  ClickControl(console.Control("ApplyBitBtn"));
  ASSERT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") == loads + 2; }));
  EXPECT_EQ("permit rule=ip:0x4D530003 log=no", DriverLine(kToPort8080)) << Rkfwctl("ip-rules");
  // Applied, not saved: leaving asks first; the level's file is kept as it was.
  ClickControl(console.Find("Label13"));
  HWND question = WaitMessageBox(console, "保存");
  ASSERT_NE(nullptr, question);
  ClickControl(GetDlgItem(question, IDNO));
  DWORD code = 1;
  EXPECT_TRUE(console.WaitExit(&code));
  EXPECT_EQ(0u, code);
}

TEST_F(FilterE2E, AnAuditCardDecidesWithoutAPromptAndAPromptsAnswerReleasesTheHeldPacket) {
  CProgramFolder folder("filter-audit");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {{"C:\\Apps\\mail.exe", 0x27}}));
  CConsole console;
  StartConsole(console, folder);
  const char kMail[] = "packet proto=tcp dir=out syn local=192.168.1.5:1050 remote=10.0.0.9:25 pid=400 "
                       "path=\"C:\\Apps\\mail.exe\"";

  // The card set to block: the program's packets stop in the driver, nobody is asked.
  ClickControl(console.Control("AppAuditBtn"));
  ASSERT_TRUE(WaitUntil([&] { return console.Find("TFWAuditRuleItemFrame0").showing; }));
  ClickControl(console.Find("TFWAuditRuleItemFrame0.BlockPaintBox"));
  ASSERT_TRUE(WaitUntil([] { return DriverCounter("audit-loads") == 2; })) << Rkfwctl("status");
  EXPECT_EQ("block rule=audit:0x00005001 log=no", DriverLine(kMail));
  EXPECT_EQ(0u, DriverCounter("queued"));
  SyncWith(console.MainWindow());
  EXPECT_EQ(0, VisiblePrompts(console));

  // A program without a rule: its packet waits in the driver until the user permits it.
  std::string answer;
  std::thread sender([&] {
    answer = DriverLine("packet proto=tcp dir=out syn local=192.168.1.5:1051 remote=10.0.0.9:80 pid=401 "
                        "path=\"C:\\Apps\\browser.exe\" wait=30000");
  });
  HWND prompt = nullptr;
  WaitUntil([&] {
    for (HWND w : TopWindows(console.Pid(), "TFWEventNotifyForm"))
      if (IsWindowVisible(w)) prompt = w;
    return prompt != nullptr;
  });
  CControlInfo permit;
  if (prompt != nullptr && QueryControl(prompt, "PermitBtn", &permit)) ClickControl(permit);
  sender.join();
  ASSERT_NE(nullptr, prompt) << "no prompt";
  EXPECT_EQ("asked permit rule=none log=no", answer);
  EXPECT_TRUE(Contains(Rkfwctl("verdicts"), "verdict 0 kind=2 verdict=permit pid=401 "));
  CloseConsole(console);
}

}  // namespace
