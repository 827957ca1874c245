// The console end to end: the real Vardeen.exe, started from a copy of its program folder,
// against the stand-in RkFw.sys behind the real service manager, worked from outside as a
// user would while rkfwctl injects events and reads back what the driver was given.
// Needs tools/install-standin.sh to have run (the services exist, stopped).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/array.h"
#include "base/bufferptr.h"
#include "platform/heap.h"
#include "rules/auditrules.h"
#include "rules/iprules.h"
#include "rules/loader.h"
#include "rules/rulefile.h"
#include "standin/rkfwctl/rkfwctl.h"
#include "tests/e2e/console_driver.h"

namespace {

constexpr UINT kShowLogView = 0x735;
constexpr UINT kFilterState = 0x9100;
constexpr UINT kTrayCallback = WM_APP + 0x200;  // the tray icon's callback message
constexpr const char* kEnabledText = "启用中";
constexpr const char* kDisabledText = "禁用中";

// What the driver shows for the IP rules of a rule file, decoded by rkfwctl's reader.
std::string IpRulesOf(const std::string& path) {
  _Array<_RKFW_RULE> rules(18);
  if (ReadRuleFile(path.c_str(), rules) != 0) return "unreadable " + path;
  _bytePtr image;
  uint32_t built = BuildIpRuleImage(rules, image);
  ReleaseRules(rules);
  if (built != 0) return "no image";
  return DescribeIpImage(image.Data(), image.Length());
}

// The audit file's body is, byte for byte, the image the driver is given.
std::string AuditRulesOf(const std::string& path) {
  _bytePtr body;
  if (ReadRuleFileBody(path.c_str(), true, body) != 0) return "unreadable " + path;
  return DescribeAuditImage(body.Data(), body.Length());
}

char* HeapText(const char* text) {
  size_t n = strlen(text);
  auto* copy = static_cast<char*>(PlatformAlloc(static_cast<uint32_t>(n + 1)));
  memcpy(copy, text, n + 1);
  return copy;
}

bool WriteAuditRules(const std::string& path, const std::vector<const char*>& programs) {
  _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
  uint32_t id = 0x5000;
  for (const char* program : programs) {
    _RKFW_AUDIT_RULE rule;
    memset(&rule, 0, sizeof rule);
    InitAuditRule(&rule);
    rule.RuleId = ++id;
    rule.AppPath = HeapText(program);
    rules.Append(rule);
  }
  uint32_t written = WriteAuditFile(path.c_str(), rules);
  ReleaseAuditRules(rules);
  return written == 0;
}

std::string DriverLine(const char* command) {
  std::string out = Rkfwctl(command);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The settings the tests change, put back afterwards so that a demo in the same prefix keeps
// its own.
struct CSavedSetting {
  const char* name;
  bool present;
  DWORD type;
  std::vector<BYTE> data;
};

class ConsoleE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    saved_.clear();
    HKEY key;
    for (const char* name : {"Enable", "Level", "Crul"}) {
      CSavedSetting s = {name, false, 0, {}};
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Harlune\\Qelt", 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExA(key, name, nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
          s.data.resize(size);
          s.present = RegQueryValueExA(key, name, nullptr, &s.type, s.data.data(), &size) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
      }
      saved_.push_back(s);
    }
  }
  static void TearDownTestSuite() {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Harlune\\Qelt", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
      for (const CSavedSetting& s : saved_) {
        if (s.present)
          RegSetValueExA(key, s.name, 0, s.type, s.data.data(), static_cast<DWORD>(s.data.size()));
        else
          RegDeleteValueA(key, s.name);
      }
      RegCloseKey(key);
    }
    // The services are left as install-standin.sh leaves them: stopped.
    StopService(kConsoleService);
  }

  void SetUp() override {
    ASSERT_NE(0u, ServiceState(kConsoleService)) << "run tools/install-standin.sh first";
    ASSERT_EQ(0, CountTopWindows("TFWMainForm")) << "a console is already running";
    ClearInstanceMark();
    // A fresh driver for every test: the console starts the stopped service itself.
    ASSERT_TRUE(StopService(kConsoleService));
    ASSERT_TRUE(SetSettingDword("Enable", 0));
    ASSERT_TRUE(SetSettingDword("Level", 1));
    ASSERT_TRUE(DeleteSetting("Crul"));
  }

  // Starts the console and waits until its main window shows and the level's rules are in.
  void StartConsole(CConsole& console, const CProgramFolder& folder) {
    ASSERT_TRUE(folder.Ready()) << folder.Path();
    ASSERT_TRUE(console.Start(folder)) << GetLastError();
    ASSERT_NE(nullptr, console.WaitMainWindow()) << "no main window";
    ASSERT_TRUE(WaitUntil([] { return DriverCounter("ip-loads") >= 1; })) << "the level's rules never came";
  }

  // Ends the console with its close label "×", as a user would; the process must end cleanly.
  void CloseConsole(CConsole& console) {
    HWND close = console.Control("Label13");
    ASSERT_NE(nullptr, close);
    ClickControl(close);
    DWORD code = 1;
    ASSERT_TRUE(console.WaitExit(&code)) << "the console did not end";
    EXPECT_EQ(0u, code);
  }

  static std::vector<CSavedSetting> saved_;
};

std::vector<CSavedSetting> ConsoleE2E::saved_;

TEST_F(ConsoleE2E, StartUpStartsTheDriverLoadsTheRulesAndSendsTheStoredState) {
  CProgramFolder folder("startup");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {"C:\\Apps\\mail.exe", "C:\\Program Files\\Web\\web.exe"}));
  ASSERT_TRUE(SetSettingDword("Enable", 1));
  ASSERT_TRUE(SetSettingDword("Level", 2));
  ASSERT_EQ(static_cast<DWORD>(SERVICE_STOPPED), ServiceState(kConsoleService));

  CConsole console;
  StartConsole(console, folder);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(kConsoleService));
  EXPECT_EQ(1u, DriverCounter("audit-loads"));
  EXPECT_EQ(1u, DriverCounter("ip-loads"));
  EXPECT_EQ(0u, DriverCounter("refused-images"));
  EXPECT_EQ(AuditRulesOf(folder.File("app.aud")), Rkfwctl("audit-rules"));
  EXPECT_TRUE(Contains(Rkfwctl("audit-rules"), "path=\"C:\\Program Files\\Web\\web.exe\""));
  EXPECT_EQ(IpRulesOf(folder.File("lsec.rul")), Rkfwctl("ip-rules"));
  EXPECT_EQ("1", DriverLine("enabled"));
  HWND slider = console.Control("TrackBar1");
  ASSERT_NE(nullptr, slider);
  EXPECT_EQ(2, SendMessageA(slider, TBM_GETPOS, 0, 0)) << "the slider shows the stored level";

  HWND state = console.Control("Label8");
  ASSERT_NE(nullptr, state);
  EXPECT_TRUE(WaitUntil([&] { return WindowText(state) == kEnabledText; })) << WindowText(state);
  RECT r;
  GetWindowRect(console.MainWindow(), &r);
  EXPECT_EQ(153, r.bottom - r.top) << "the console starts collapsed";

  CloseConsole(console);
  EXPECT_EQ("0", DriverLine("enabled")) << "the console ends with filtering off";
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(kConsoleService)) << "the service keeps running";
}

TEST_F(ConsoleE2E, ASecondStartEndsAtOnceAndShowsNoWindow) {
  CProgramFolder folder("second");
  CConsole first;
  StartConsole(first, folder);

  CConsole second;
  ASSERT_TRUE(second.Start(folder));
  bool windowSeen = false;
  ASSERT_TRUE(WaitUntil([&] {
    windowSeen = windowSeen || !TopWindows(second.Pid(), "TFWMainForm").empty();
    return !second.Running();
  })) << "the second console stays";
  EXPECT_FALSE(windowSeen);
  DWORD code = 1;
  ASSERT_TRUE(second.WaitExit(&code));
  EXPECT_EQ(0u, code);
  EXPECT_EQ(1, CountTopWindows("TFWMainForm"));
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(1u, DriverCounter("ip-loads")) << "the second start loaded nothing";

  CloseConsole(first);
}

TEST_F(ConsoleE2E, TheSliderStoresTheLevelAndLoadsItsFile) {
  CProgramFolder folder("slider");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {"C:\\Apps\\mail.exe"}));
  // Distinct sets, so each load shows which file it came from: the custom level's own file
  // (named by "Crul") is the low set, the default custom file the high set.
  ASSERT_TRUE(folder.CopyLevelFile("lsec.rul", "mine.rul"));
  ASSERT_TRUE(folder.CopyLevelFile("hsec.rul", "csec.rul"));
  ASSERT_TRUE(SetSettingText("Crul", folder.File("mine.rul").c_str()));
  const std::string high = IpRulesOf(folder.File("hsec.rul"));
  const std::string medium = IpRulesOf(folder.File("msec.rul"));
  const std::string mine = IpRulesOf(folder.File("mine.rul"));
  ASSERT_NE(high, medium);
  ASSERT_NE(mine, medium);

  CConsole console;
  StartConsole(console, folder);
  EXPECT_EQ(medium, Rkfwctl("ip-rules"));
  HWND slider = console.Control("TrackBar1");
  ASSERT_NE(nullptr, slider);
  DWORD level = 99;

  PressKey(slider, VK_HOME);  // to the top: high security
  EXPECT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") == 2; }));
  EXPECT_EQ(high, Rkfwctl("ip-rules"));
  EXPECT_TRUE(ReadSettingDword("Level", &level));
  EXPECT_EQ(0u, level);
  EXPECT_EQ(2u, DriverCounter("audit-loads")) << "a level change reloads app.aud";

  PressKey(slider, VK_END);  // to the bottom: custom, from "Crul"
  EXPECT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") == 3; }));
  EXPECT_EQ(mine, Rkfwctl("ip-rules"));
  EXPECT_TRUE(ReadSettingDword("Level", &level));
  EXPECT_EQ(3u, level);

  // Without "Crul" the custom level is "csec.rul".
  PressKey(slider, VK_HOME);
  EXPECT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") == 4; }));
  ASSERT_TRUE(DeleteSetting("Crul"));
  ASSERT_TRUE(folder.CopyLevelFile("lsec.rul", "csec.rul"));
  PressKey(slider, VK_END);
  EXPECT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") == 5; }));
  EXPECT_EQ(mine, Rkfwctl("ip-rules"));
  EXPECT_TRUE(ReadSettingDword("Level", &level));
  EXPECT_EQ(3u, level);
  EXPECT_EQ(0u, DriverCounter("refused-images"));

  CloseConsole(console);
}

// The companion anti-virus console's window, which hears the filter state.
struct CCompanionWindow {
  static std::vector<std::pair<WPARAM, LPARAM>>& Heard() {
    static std::vector<std::pair<WPARAM, LPARAM>> heard;
    return heard;
  }
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kFilterState) {
      Heard().emplace_back(wParam, lParam);
      return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  CCompanionWindow() {
    Heard().clear();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MORX_Class";
    RegisterClassA(&wc);
    hwnd = CreateWindowExA(0, "MORX_Class", "MORX", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~CCompanionWindow() {
    if (hwnd) DestroyWindow(hwnd);
    UnregisterClassA("MORX_Class", GetModuleHandleA(nullptr));
  }
  HWND hwnd = nullptr;
};

TEST_F(ConsoleE2E, TheSwitchTurnsTheDriverStoresTheStateAndTellsTheCompanion) {
  CProgramFolder folder("switch");
  CCompanionWindow companion;
  ASSERT_NE(nullptr, companion.hwnd);
  auto& heard = CCompanionWindow::Heard();

  CConsole console;
  StartConsole(console, folder);
  HWND button = console.Control("EnableBtn");
  HWND state = console.Control("Label8");
  ASSERT_NE(nullptr, button);
  ASSERT_NE(nullptr, state);
  EXPECT_TRUE(WaitUntil([&] { return WindowText(state) == kDisabledText; })) << WindowText(state);
  ASSERT_TRUE(WaitUntil([&] { return heard.size() == 1; }));
  EXPECT_EQ(0u, heard[0].first) << "start-up tells the state it sent";

  DWORD stored = 99;
  ClickControl(button);
  EXPECT_TRUE(WaitUntil([&] { return DriverLine("enabled") == "1"; }));
  EXPECT_TRUE(WaitUntil([&] { return WindowText(state) == kEnabledText; })) << WindowText(state);
  EXPECT_TRUE(ReadSettingDword("Enable", &stored));
  EXPECT_EQ(1u, stored);
  ASSERT_TRUE(WaitUntil([&] { return heard.size() == 2; }));
  EXPECT_EQ(1u, heard[1].first) << "the companion hears the state just set";
  EXPECT_EQ(0, heard[1].second);

  ClickControl(button);
  EXPECT_TRUE(WaitUntil([&] { return DriverLine("enabled") == "0"; }));
  EXPECT_TRUE(WaitUntil([&] { return WindowText(state) == kDisabledText; })) << WindowText(state);
  EXPECT_TRUE(ReadSettingDword("Enable", &stored));
  EXPECT_EQ(0u, stored);
  ASSERT_TRUE(WaitUntil([&] { return heard.size() == 3; }));
  EXPECT_EQ(0u, heard[2].first);
  EXPECT_EQ(0, heard[2].second);

  CloseConsole(console);
}

TEST_F(ConsoleE2E, ARuleHitAppearsInTheLogPage) {
  CProgramFolder folder("log");
  _Array<_RKFW_RULE> rules(18);
  ASSERT_EQ(0u, ReadRuleFile(folder.File("msec.rul").c_str(), rules));
  ASSERT_GT(rules.Count, 0);
  const uint32_t ruleId = rules[0].RuleId;
  const std::string ruleName = rules[0].Name ? rules[0].Name : "";
  ReleaseRules(rules);

  CConsole console;
  StartConsole(console, folder);
  HWND memo = console.Control("LogMemo");
  ASSERT_NE(nullptr, memo);
  EXPECT_FALSE(IsWindowVisible(memo));

  // The hit arrives while the log page is hidden.
  int status = 1;
  Rkfwctl("event rule proto=tcp rule=" + std::to_string(ruleId) +
              " action=block op=receive local=192.168.1.5:139 remote=10.0.0.9:4000",
          &status);
  ASSERT_EQ(kRkfwctlOk, status);
  EXPECT_TRUE(WaitUntil([] { return DriverCounter("queued") == 0; })) << "the console never read the event";

  // Expand the window, then the information page's view-log message.
  HWND open = console.Control("open");
  ASSERT_NE(nullptr, open);
  ClickControl(open);
  PostMessageA(console.MainWindow(), kShowLogView, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(memo) != FALSE; })) << "the log page stays hidden";
  std::string text;
  EXPECT_TRUE(WaitUntil([&] {
    text = WindowText(memo);
    return Contains(text, "10.  0.  0.  9:4000");
  })) << text;
  EXPECT_TRUE(Contains(text, "[记录规则]: " + ruleName + "\r\n")) << text;
  EXPECT_TRUE(Contains(text, "[来源]:     系统\r\n")) << text;
  EXPECT_TRUE(Contains(text, "[处理方式]: 拦截\r\n")) << text;
  EXPECT_TRUE(Contains(text, "[协议类型]: TCP\r\n")) << text;

  // Further hits go on below while the page is shown.
  Rkfwctl("event rule proto=udp action=permit op=send local=192.168.1.5:1030 remote=10.0.0.7:53", &status);
  ASSERT_EQ(kRkfwctlOk, status);
  EXPECT_TRUE(WaitUntil([&] {
    text = WindowText(memo);
    return Contains(text, "10.  0.  0.  7:53");
  })) << text;
  EXPECT_LT(text.find("9:4000"), text.find("7:53"));

  CloseConsole(console);
}

TEST_F(ConsoleE2E, ExitFromTheTrayMenuSavesTheAuditRulesAndSwitchesFilteringOff) {
  CProgramFolder folder("tray");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {"C:\\Apps\\mail.exe", "C:\\Apps\\news.exe"}));
  const std::string audit = AuditRulesOf(folder.File("app.aud"));
  ASSERT_TRUE(SetSettingDword("Enable", 1));

  CConsole console;
  StartConsole(console, folder);
  ASSERT_EQ("1", DriverLine("enabled"));
  ASSERT_EQ(audit, Rkfwctl("audit-rules"));
  ASSERT_TRUE(DeleteFileA(folder.File("app.aud").c_str()));

  HWND icon = nullptr;
  for (HWND w : TopWindows(console.Pid(), "TTrayIconWindow"))
    if (ComponentName(w) == "TrayIcon") icon = w;
  ASSERT_NE(nullptr, icon) << "no tray icon window";
  // The right button released over the icon opens the menu.
  PostMessageA(icon, kTrayCallback, 1, WM_RBUTTONUP);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND w : TopWindows(console.Pid(), "#32768"))
      if (IsWindowVisible(w)) menu = w;
    return menu != nullptr;
  })) << "no menu";
  // The second item, "退出".
  PressKey(menu, VK_DOWN);
  PressKey(menu, VK_DOWN);
  PressKey(menu, VK_RETURN);

  DWORD code = 1;
  ASSERT_TRUE(console.WaitExit(&code)) << "the console did not end";
  EXPECT_EQ(0u, code);
  EXPECT_EQ(audit, AuditRulesOf(folder.File("app.aud"))) << "app.aud written at the end";
  EXPECT_EQ("0", DriverLine("enabled"));
}

TEST_F(ConsoleE2E, WithoutTheServiceTheStartReportsTheFailureAndEnds) {
  CProgramFolder folder("noservice");
  CServiceRemoval removal(kConsoleService);
  ASSERT_TRUE(removal.Removed());

  CConsole console;
  ASSERT_TRUE(console.Start(folder));
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (HWND w : TopWindows(console.Pid(), "#32770", "错误"))
          if (IsWindowVisible(w)) box = w;
        return box != nullptr;
      },
      kStartBound))
      << "no message box";
  std::vector<HWND> main = TopWindows(console.Pid(), "TFWMainForm", "Vardeen");
  ASSERT_EQ(1u, main.size());
  EXPECT_EQ(main[0], GetWindow(box, GW_OWNER)) << "the main window owns the box";
  HWND text = GetDlgItem(box, 0xFFFF);
  ASSERT_NE(nullptr, text);
  EXPECT_EQ("初始化防火墙组件失败!", WindowText(text));
  HWND ok = GetDlgItem(box, IDOK);
  ASSERT_NE(nullptr, ok);
  ClickControl(ok);
  DWORD code = 1;
  ASSERT_TRUE(console.WaitExit(&code)) << "the console did not end after the message";
  EXPECT_EQ(0u, code);
  EXPECT_EQ(0, CountTopWindows("TFWMainForm"));
}

}  // namespace
