// The application audit page end to end: the real console against RkFw.sys, its cards clicked
// from outside, the driver's audit image read back by rkfwctl after every step.
#include "tests/e2e/console_fixture.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace {

// "path access" for each rule of the driver's audit image, in order.
std::vector<std::string> DriverAuditRules() {
  std::vector<std::string> rules;
  const std::string text = Rkfwctl("audit-rules");
  size_t at = 0;
  while ((at = text.find("audit id=", at)) != std::string::npos) {
    size_t end = text.find('\n', at);
    std::string line = text.substr(at, end - at);
    size_t path = line.find("path=\"") + 6;
    size_t access = line.find("access=0x");
    rules.push_back(line.substr(path, line.find('"', path) - path) + " " +
                    (access == std::string::npos ? "?" : line.substr(access + 9, 2)));
    at = end;
  }
  return rules;
}

// The open dialog of the system: the file name typed in and OK pressed.
bool ChooseFile(const CConsole& console, const std::string& path) {
  HWND box = WaitMessageBox(console, "选择需审核的应用程序");
  if (box == nullptr) return false;
  HWND name = GetDlgItem(box, 0x47C);  // the file name box (an edit inside a combo box)
  if (name != nullptr && FindWindowExA(name, nullptr, "Edit", nullptr) != nullptr)
    name = FindWindowExA(name, nullptr, "Edit", nullptr);
  if (name == nullptr) name = GetDlgItem(box, 0x480);
  if (name == nullptr) return false;
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  ClickControl(GetDlgItem(box, IDOK));
  return WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
}

TEST_F(ConsoleE2E, TheAuditPageListsChangesAddsAndDeletesTheRulesInForce) {
  CProgramFolder folder("audit");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {{"C:\\Apps\\mail.exe", 0x07},
                                                       {"C:\\Apps\\news.exe", 0x00},
                                                       {"C:\\Program Files\\Web\\web.exe", 0x27}}));
  CConsole console;
  StartConsole(console, folder);
  ClickControl(console.Control("AppAuditBtn"));
  ASSERT_TRUE(WaitUntil([&] { return console.Find("TFWAuditRuleItemFrame2").showing; }));
  EXPECT_EQ(console.TextOf("TFWAuditRuleItemFrame0.PathLabel"), "C:\\Apps\\mail.exe");
  EXPECT_EQ(console.TextOf("TFWAuditRuleItemFrame2.PathLabel"), "C:\\Program Files\\Web\\web.exe");
  EXPECT_EQ(console.TextOf("TFWAuditRuleItemFrame2.DescLabel"), "无描述信息");

  // Block the browser: the driver has it at once, and answers its next event without asking.
  ClickControl(console.Find("TFWAuditRuleItemFrame2.BlockPaintBox"));
  ASSERT_TRUE(WaitUntil([] { return DriverCounter("audit-loads") == 2; })) << Rkfwctl("status");
  EXPECT_EQ(DriverAuditRules(), (std::vector<std::string>{"C:\\Apps\\mail.exe 07", "C:\\Apps\\news.exe 00",
                                                          "C:\\Program Files\\Web\\web.exe 00"}));
  int status = 1;
  Rkfwctl("event ask path=\"C:\\Program Files\\Web\\web.exe\" pid=300 op=connect proto=tcp "
          "local=192.168.1.5:1030 remote=10.0.0.3:80",
          &status);
  ASSERT_EQ(kRkfwctlOk, status);
  EXPECT_TRUE(WaitUntil([] { return DriverCounter("verdicts") == 1; })) << Rkfwctl("status");
  EXPECT_TRUE(Contains(Rkfwctl("verdicts"), "verdict=block pid=300 ")) << Rkfwctl("verdicts");
  EXPECT_EQ(0, CountTopWindows("TFWEventNotifyForm"));

  // Delete the mail program: the others stay, in order.
  ClickControl(console.Find("TFWAuditRuleItemFrame0.DelBtn"));
  ASSERT_TRUE(WaitUntil([] { return DriverCounter("audit-loads") == 3; })) << Rkfwctl("status");
  EXPECT_EQ(DriverAuditRules(),
            (std::vector<std::string>{"C:\\Apps\\news.exe 00", "C:\\Program Files\\Web\\web.exe 00"}));
  EXPECT_TRUE(console.Find("TFWAuditRuleItemFrame0").name.empty());

  // Add the console itself, a real program with a version record, as one to ask about.
  const std::string self = folder.File("Vardeen.exe");
  ClickControl(console.Control("NewAppBtn"));
  ASSERT_TRUE(ChooseFile(console, self));
  std::vector<HWND> dialogs;
  ASSERT_TRUE(WaitUntil([&] { return !(dialogs = TopWindows(console.Pid(), "TFWNewAppRuleDlg")).empty(); }));
  EXPECT_EQ(WindowText(dialogs[0]), "Vardeen应用程序许可通知");
  CControlInfo description;
  ASSERT_TRUE(QueryControl(dialogs[0], "DescLabel", &description));
  EXPECT_EQ(description.text, "Vardeen firewall console");
  ClickControl(FindControl(dialogs[0], "NotifyRadioButton"));
  ClickControl(FindControl(dialogs[0], "OkBtn"));
  ASSERT_TRUE(WaitUntil([] { return DriverCounter("audit-loads") == 4; })) << Rkfwctl("status");
  EXPECT_EQ(DriverAuditRules(), (std::vector<std::string>{"C:\\Apps\\news.exe 00",
                                                          "C:\\Program Files\\Web\\web.exe 00", self + " 27"}));
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("TFWAuditRuleItemFrame3.DescLabel") == "Vardeen firewall console"; }))
      << console.TextOf("TFWAuditRuleItemFrame3.DescLabel");
  EXPECT_EQ(console.TextOf("TFWAuditRuleItemFrame3.VersionLabel"), "6.22.0.0");

  // The same program again, in other letter case, is refused.
  ClickControl(console.Control("NewAppBtn"));
  std::string shouted = self;
  CharUpperA(&shouted[0]);
  ASSERT_TRUE(ChooseFile(console, shouted));
  HWND refusal = WaitMessageBox(console, "错误");
  ASSERT_NE(nullptr, refusal);
  EXPECT_EQ(MessageBoxText(refusal), "已经对该应用程序进行审核了!");
  ASSERT_TRUE(AnswerMessageBox(refusal));

  const std::string inForce = Rkfwctl("audit-rules");
  CloseConsole(console);
  EXPECT_EQ(AuditRulesOf(folder.File("app.aud")), inForce) << "app.aud holds the page's rules";
}

// A window of the console's process with `windowClass`, once it shows; nullptr after the bound.
HWND WaitTopWindow(const CConsole& console, const char* windowClass) {
  std::vector<HWND> found;
  WaitUntil([&] { return !(found = TopWindows(console.Pid(), windowClass)).empty(); });
  return found.empty() ? nullptr : found[0];
}

TEST_F(ConsoleE2E, ACardsOptionsSetARemotePortConditionThatTheDriverGets) {
  CProgramFolder folder("auditopt");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {{"C:\\Apps\\mail.exe", 0x07}}));
  CConsole console;
  StartConsole(console, folder);
  ClickControl(console.Control("AppAuditBtn"));
  ASSERT_TRUE(WaitUntil([&] { return console.Find("TFWAuditRuleItemFrame0").showing; }));

  ClickControl(console.Find("TFWAuditRuleItemFrame0.OptBtn"));
  HWND options = WaitTopWindow(console, "TFWAuditRuleOptDlg");
  ASSERT_NE(nullptr, options);
  EXPECT_EQ(WindowText(options), "应用程序审核高级设置");
  ClickControl(FindControl(options, "RemotePortBtn"));
  HWND port = WaitTopWindow(console, "TFWInputPortDlg");
  ASSERT_NE(nullptr, port);
  // The range page is two tabs to the right of "any"; its two ends typed in. The dialog may
  // still be building its pages when its window first appears, and a key posted meanwhile
  // would be lost: each step waits for the tab it moved to.
  HWND pages = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    pages = FindControl(port, "PortPageControl");
    return pages != nullptr && IsWindowVisible(port);
  }));
  SetForegroundWindow(port);
  for (LRESULT tab = 1; tab <= 2; ++tab) {
    ASSERT_TRUE(WaitUntil([&] {
      if (SendMessageA(pages, TCM_GETCURSEL, 0, 0) >= tab) return true;
      PressKey(pages, VK_RIGHT);
      return WaitUntil([&] { return SendMessageA(pages, TCM_GETCURSEL, 0, 0) >= tab; }, 3000);
    })) << "tab " << tab;
  }
  ASSERT_EQ(2, SendMessageA(pages, TCM_GETCURSEL, 0, 0));
  ASSERT_TRUE(WaitUntil([&] {
    CControlInfo range;
    return QueryControl(port, "StartPortEdit", &range) && range.showing;
  }));
  for (const char* name : {"StartPortEdit", "EndPortEdit"}) {
    HWND edit = FindWindowExA(FindControl(port, name), nullptr, "Edit", nullptr);
    ASSERT_NE(nullptr, edit) << name;
    const char* text = std::string(name) == "StartPortEdit" ? "1000" : "2000";
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  // Enter in the end port's entry is OK.
  PressKey(FindWindowExA(FindControl(port, "EndPortEdit"), nullptr, "Edit", nullptr), VK_RETURN);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(port) || !IsWindowVisible(port); }));
  CControlInfo summary;
  ASSERT_TRUE(QueryControl(options, "RemotePortLabel", &summary));
  EXPECT_EQ(summary.text, "从1000到2000");
  ClickControl(FindControl(options, "OkBitBtn"));

  ASSERT_TRUE(WaitUntil([] { return DriverCounter("audit-loads") == 2; })) << Rkfwctl("status");
  EXPECT_EQ(DriverAuditRules(), (std::vector<std::string>{"C:\\Apps\\mail.exe 17"}));
  const std::string inForce = Rkfwctl("audit-rules");
  EXPECT_TRUE(Contains(inForce, " tcp-remote-port=1000-2000 ")) << inForce;
  EXPECT_TRUE(Contains(inForce, " udp-remote-port=any")) << inForce;
  CloseConsole(console);
  EXPECT_EQ(AuditRulesOf(folder.File("app.aud")), inForce) << "app.aud holds the conditions";
}

}  // namespace
