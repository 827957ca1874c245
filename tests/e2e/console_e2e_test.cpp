// The console end to end: the real Vardeen.exe, started from a copy of its program folder,
// against the stand-in RkFw.sys behind the real service manager, worked from outside as a
// user would while rkfwctl injects events and reads back what the driver was given.
// Needs tools/install-standin.sh to have run (the services exist, stopped).
#include "tests/e2e/console_fixture.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace {

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

  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("Label8") == kEnabledText; })) << console.TextOf("Label8");
  EXPECT_EQ(153, WindowHeight(console.MainWindow())) << "the console starts collapsed";

  CloseConsole(console);
  EXPECT_EQ("0", DriverLine("enabled")) << "the console ends with filtering off";
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), ServiceState(kConsoleService)) << "the service keeps running";
  DWORD stored = 0;
  EXPECT_TRUE(ReadSettingDword("Enable", &stored));
  EXPECT_EQ(1u, stored);

  // The next start finds the service running and restores the user's choice.
  CConsole again;
  ASSERT_TRUE(again.Start(folder));
  ASSERT_NE(nullptr, again.WaitMainWindow());
  EXPECT_TRUE(WaitUntil([] { return DriverCounter("ip-loads") == 2; }));
  EXPECT_EQ(IpRulesOf(folder.File("lsec.rul")), Rkfwctl("ip-rules"));
  EXPECT_EQ(2u, DriverCounter("audit-loads"));
  EXPECT_EQ("1", DriverLine("enabled"));
  CloseConsole(again);
}

TEST_F(ConsoleE2E, AFreshMachineStartsWithFilteringOffOnTheMediumLevel) {
  CProgramFolder folder("fresh");
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Harlune\\Qelt"));
  ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.File("app.aud").c_str()));

  CConsole console;
  StartConsole(console, folder);
  DWORD stored = 99;
  EXPECT_TRUE(ReadSettingDword("Enable", &stored)) << "the start creates Enable";
  EXPECT_EQ(0u, stored);
  EXPECT_EQ("0", DriverLine("enabled"));
  EXPECT_EQ(IpRulesOf(folder.File("msec.rul")), Rkfwctl("ip-rules"));
  EXPECT_EQ("audit-image none\n", Rkfwctl("audit-rules")) << "no app.aud, nothing loaded";
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("Label8") == kDisabledText; })) << console.TextOf("Label8");

  CloseConsole(console);
  EXPECT_EQ(EmptyAuditRules(), AuditRulesOf(folder.File("app.aud"))) << "the end writes app.aud";
}

TEST_F(ConsoleE2E, AStoredLevelOutOfRangeLoadsTheMediumSet) {
  CProgramFolder folder("level7");
  ASSERT_TRUE(SetSettingDword("Level", 7));
  CConsole console;
  StartConsole(console, folder);
  EXPECT_EQ(IpRulesOf(folder.File("msec.rul")), Rkfwctl("ip-rules"));
  DWORD level = 0;
  EXPECT_TRUE(ReadSettingDword("Level", &level));
  EXPECT_EQ(7u, level) << "the start stores nothing";
  CloseConsole(console);
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
  // (named by "Crul") is the low set, the default custom file first the high set.
  ASSERT_TRUE(folder.CopyFromBuild("lsec.rul", "mine.rul"));
  ASSERT_TRUE(folder.CopyFromBuild("hsec.rul", "csec.rul"));
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
  EXPECT_EQ(2u, DriverCounter("audit-loads")) << "a level change sends the audit rules in force again";

  PressKey(slider, VK_END);  // to the bottom: custom, from "Crul"
  EXPECT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") == 3; }));
  EXPECT_EQ(mine, Rkfwctl("ip-rules"));
  EXPECT_TRUE(ReadSettingDword("Level", &level));
  EXPECT_EQ(3u, level);

  // Without "Crul" the custom level is "csec.rul".
  PressKey(slider, VK_HOME);
  EXPECT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") == 4; }));
  ASSERT_TRUE(DeleteSetting("Crul"));
  ASSERT_TRUE(folder.CopyFromBuild("lsec.rul", "csec.rul"));
  PressKey(slider, VK_END);
  EXPECT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") == 5; }));
  EXPECT_EQ(mine, Rkfwctl("ip-rules"));
  EXPECT_TRUE(ReadSettingDword("Level", &level));
  EXPECT_EQ(3u, level);
  EXPECT_EQ(0u, DriverCounter("refused-images"));

  // A damaged rule file changes nothing in the driver (the console says so, see
  // bad_day_e2e_test.cpp), the audit rules included.
  PressKey(slider, VK_HOME);
  EXPECT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") == 6; }));
  ASSERT_TRUE(TruncateFile(folder.File("csec.rul"), 20));
  PressKey(slider, VK_END);
  HWND box = WaitMessageBox(console, "错误");
  ASSERT_NE(nullptr, box);
  ASSERT_TRUE(AnswerMessageBox(box));
  EXPECT_EQ(6u, DriverCounter("ip-loads"));
  EXPECT_EQ(6u, DriverCounter("audit-loads"));
  EXPECT_EQ(high, Rkfwctl("ip-rules"));
  EXPECT_EQ(0, SendMessageA(slider, TBM_GETPOS, 0, 0));
  EXPECT_TRUE(ReadSettingDword("Level", &level));
  EXPECT_EQ(0u, level);
  EXPECT_TRUE(console.Running());

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
  ASSERT_NE(nullptr, button);
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("Label8") == kDisabledText; })) << console.TextOf("Label8");
  EXPECT_TRUE(WaitUntil([&] { return ShowsGlyph(button, false); })) << "res\\disable.bmp not shown" << Covered(button);
  ASSERT_TRUE(WaitUntil([&] { return heard.size() == 1; }));
  EXPECT_EQ(0u, heard[0].first) << "start-up tells the state it sent";

  DWORD stored = 99;
  ClickControl(button);
  EXPECT_TRUE(WaitUntil([&] { return DriverLine("enabled") == "1"; }));
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("Label8") == kEnabledText; })) << console.TextOf("Label8");
  EXPECT_TRUE(WaitUntil([&] { return ShowsGlyph(button, true); })) << "res\\enable.bmp not shown" << Covered(button);
  EXPECT_TRUE(ReadSettingDword("Enable", &stored));
  EXPECT_EQ(1u, stored);
  ASSERT_TRUE(WaitUntil([&] { return heard.size() == 2; }));
  EXPECT_EQ(1u, heard[1].first) << "the companion hears the state just set";
  EXPECT_EQ(0, heard[1].second);

  ClickControl(button);
  EXPECT_TRUE(WaitUntil([&] { return DriverLine("enabled") == "0"; }));
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("Label8") == kDisabledText; })) << console.TextOf("Label8");
  EXPECT_TRUE(WaitUntil([&] { return ShowsGlyph(button, false); })) << "res\\disable.bmp not shown" << Covered(button);
  EXPECT_TRUE(ReadSettingDword("Enable", &stored));
  EXPECT_EQ(0u, stored);
  ASSERT_TRUE(WaitUntil([&] { return heard.size() == 3; }));
  EXPECT_EQ(0u, heard[2].first);
  EXPECT_EQ(0, heard[2].second);

  // Another program switches the driver: the indicator follows, the stored state stays.
  ASSERT_EQ(0u, DetectPlatform());
  ASSERT_EQ(0u, OpenDriver(0));
  EXPECT_EQ(0u, SetFilterEnabled(1));
  ResetDriverLinkForTests();
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("Label8") == kEnabledText; })) << console.TextOf("Label8");
  EXPECT_TRUE(WaitUntil([&] { return ShowsGlyph(button, true); })) << "res\\enable.bmp not shown" << Covered(button);
  EXPECT_TRUE(ReadSettingDword("Enable", &stored));
  EXPECT_EQ(0u, stored);
  EXPECT_EQ(3u, heard.size());

  CloseConsole(console);
}

// A file time for a local calendar time, as the driver stamps events on the NT family.
std::string FileTimeOf(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME t = {year, month, 0, day, hour, minute, second, 0};
  FILETIME f;
  SystemTimeToFileTime(&t, &f);
  return std::to_string((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
}

TEST_F(ConsoleE2E, RuleHitsAppearInTheLogPageOneBlockEach) {
  CProgramFolder folder("log");
  _Array<_RKFW_RULE> rules(18);
  ASSERT_EQ(0u, ReadRuleFile(folder.File("msec.rul").c_str(), rules));
  ASSERT_GT(rules.Count, 0);
  const uint32_t ruleId = rules[0].RuleId;
  const std::string ruleName = rules[0].Name ? rules[0].Name : "";
  ReleaseRules(rules);
  ASSERT_FALSE(ruleName.empty());

  CConsole console;
  StartConsole(console, folder);
  HWND memo = console.Control("LogMemo");
  ASSERT_NE(nullptr, memo);
  EXPECT_FALSE(IsWindowVisible(memo));

  // The hit arrives while the log page is hidden.
  int status = 1;
  Rkfwctl("event rule proto=tcp rule=" + std::to_string(ruleId) + " time=" + FileTimeOf(2026, 12, 9, 10, 11, 12) +
              " action=block op=receive local=192.168.1.5:139 remote=10.0.0.9:4000",
          &status);
  ASSERT_EQ(kRkfwctlOk, status);
  EXPECT_TRUE(WaitUntil([] { return DriverCounter("queued") == 0; })) << "the console never read the event";

  // Expand the window, then the information page's view-log message.
  CControlInfo open = console.Find("open");
  ASSERT_EQ("open", open.name);
  ClickControl(open);
  EXPECT_TRUE(WaitUntil([&] { return WindowHeight(console.MainWindow()) == 468; }));
  PostMessageA(console.MainWindow(), kShowLogView, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(memo) != FALSE; })) << "the log page stays hidden";
  // Each block is followed by an empty line.
  const std::string first =
      "[时间]:     2026-12-09 10:11:12\r\n"
      "[记录规则]: " + ruleName + "\r\n"
      "[来源]:     系统\r\n"
      "[操作]:     接收\r\n"
      "[处理方式]: 拦截\r\n"
      "[协议类型]: TCP\r\n"
      "[本方地址]: 192.168.  1.  5:139\r\n"
      "[对方地址]:  10.  0.  0.  9:4000\r\n"
      "[数据大小]: 200\r\n"
      "\r\n";
  std::string text;
  EXPECT_TRUE(WaitUntil([&] { return (text = WindowText(memo)) == first; })) << text;

  // Further hits go on below while the page is shown; an unknown rule reads "未知".
  Rkfwctl("event rule proto=udp rule=77 time=" + FileTimeOf(2026, 12, 9, 10, 11, 13) +
              " action=permit op=send local=192.168.1.5:1030 remote=10.0.0.7:53",
          &status);
  ASSERT_EQ(kRkfwctlOk, status);
  const std::string second =
      "[时间]:     2026-12-09 10:11:13\r\n"
      "[记录规则]: 未知\r\n"
      "[来源]:     系统\r\n"
      "[操作]:     发送\r\n"
      "[处理方式]: 许可\r\n"
      "[协议类型]: UDP\r\n"
      "[本方地址]: 192.168.  1.  5:1030\r\n"
      "[对方地址]:  10.  0.  0.  7:53\r\n"
      "[数据大小]: 200\r\n"
      "\r\n";
  EXPECT_TRUE(WaitUntil([&] { return (text = WindowText(memo)) == first + second; })) << text;

  HWND clear = console.Control("ClearBitBtn");
  ASSERT_NE(nullptr, clear);
  ClickControl(clear);
  EXPECT_TRUE(WaitUntil([&] { return WindowText(memo).empty(); })) << WindowText(memo);

  CControlInfo collapse = console.Find("close");
  ASSERT_EQ("close", collapse.name);
  ClickControl(collapse);
  EXPECT_TRUE(WaitUntil([&] { return WindowHeight(console.MainWindow()) == 153; }));
  EXPECT_FALSE(IsWindowVisible(memo));

  CloseConsole(console);
}

// The menu the right button opens over the tray icon; the item at `position` (from 1) is
// chosen with the arrow keys and Enter.
bool ChooseFromTrayMenu(const CConsole& console, HWND icon, int position) {
  PostMessageA(icon, kTrayCallback, 1, WM_RBUTTONUP);
  HWND menu = nullptr;
  if (!WaitUntil([&] {
        for (HWND w : TopWindows(console.Pid(), "#32768"))
          if (IsWindowVisible(w)) menu = w;
        return menu != nullptr;
      }))
    return false;
  for (int i = 0; i < position; ++i) PressKey(menu, VK_DOWN);
  PressKey(menu, VK_RETURN);
  return WaitUntil([&] { return !IsWindow(menu) || !IsWindowVisible(menu) || !console.Running(); });
}

TEST_F(ConsoleE2E, TheTrayIconRestoresTheWindowAndItsExitSavesTheAuditRulesAndSwitchesFilteringOff) {
  CProgramFolder folder("tray");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {"C:\\Apps\\mail.exe", "C:\\Apps\\news.exe"}));
  const std::string audit = AuditRulesOf(folder.File("app.aud"));
  ASSERT_TRUE(SetSettingDword("Enable", 1));

  CConsole console;
  StartConsole(console, folder);
  ASSERT_EQ("1", DriverLine("enabled"));
  ASSERT_EQ(audit, Rkfwctl("audit-rules"));
  HWND main = console.MainWindow();
  HWND icon = nullptr;
  for (HWND w : TopWindows(console.Pid(), "TTrayIconWindow"))
    if (ComponentName(w) == "TrayIcon") icon = w;
  ASSERT_NE(nullptr, icon) << "no tray icon window";

  // "－" hides the window to the tray; the menu's "Vardeen" brings it back.
  CControlInfo hide = console.Find("Label12");
  ASSERT_EQ("Label12", hide.name);
  ClickControl(hide);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); })) << "the window stays";
  ASSERT_TRUE(ChooseFromTrayMenu(console, icon, 1)) << "no menu";
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; })) << "the window stays hidden";
  // The hidden hot area at the top hides it too; a double click on the icon brings it back.
  CControlInfo hotArea = console.Find("Label1");
  ASSERT_EQ("Label1", hotArea.name);
  ClickControl(hotArea);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); })) << "the window stays";
  PostMessageA(icon, kTrayCallback, 1, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; })) << "the window stays hidden";
  // Minimised, the console lives in the tray.
  PostMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); })) << "the window stays";
  PostMessageA(icon, kTrayCallback, 1, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; })) << "the window stays hidden";

  // "退出": app.aud is written from the rules in force, and filtering goes off.
  ASSERT_TRUE(DeleteFileA(folder.File("app.aud").c_str()));
  ASSERT_TRUE(ChooseFromTrayMenu(console, icon, 2)) << "no menu";
  DWORD code = 1;
  ASSERT_TRUE(console.WaitExit(&code)) << "the console did not end";
  EXPECT_EQ(0u, code);
  EXPECT_EQ(audit, AuditRulesOf(folder.File("app.aud"))) << "app.aud written at the end";
  EXPECT_EQ("0", DriverLine("enabled"));
}

TEST_F(ConsoleE2E, ApplicationEventsOfPermittedOrBlockedProgramsAreAnsweredAtOnce) {
  CProgramFolder folder("verdicts");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {{"C:\\Apps\\mail.exe", 0x07}, {"C:\\Apps\\news.exe", 0x00}}));

  CConsole console;
  StartConsole(console, folder);
  ASSERT_EQ(1u, DriverCounter("audit-loads"));
  int status = 1;
  // The path differs from the rule's in letter case only.
  Rkfwctl("event ask path=\"C:\\apps\\MAIL.exe\" pid=100 op=connect proto=tcp local=192.168.1.5:1025 remote=10.0.0.1:25",
          &status);
  ASSERT_EQ(kRkfwctlOk, status);
  Rkfwctl("event ask path=\"C:\\Apps\\news.exe\" pid=200 op=connect proto=tcp local=192.168.1.5:1026 remote=10.0.0.2:119",
          &status);
  ASSERT_EQ(kRkfwctlOk, status);
  EXPECT_TRUE(WaitUntil([] { return DriverCounter("verdicts") == 2; })) << Rkfwctl("status");
  std::string verdicts = Rkfwctl("verdicts");
  EXPECT_TRUE(Contains(verdicts, "verdict 0 kind=2 verdict=permit pid=100 ")) << verdicts;
  EXPECT_TRUE(Contains(verdicts, "verdict 1 kind=2 verdict=block pid=200 ")) << verdicts;
  EXPECT_EQ(0, CountTopWindows("TFWEventNotifyForm")) << "no prompt for a decided program";

  CloseConsole(console);
}

std::string TodaysLogName() {
  SYSTEMTIME today;
  GetLocalTime(&today);
  char name[32];
  wsprintfA(name, "QELT-%04u-%02u-%02u.log", today.wYear, today.wMonth, today.wDay);
  return name;
}

TEST_F(ConsoleE2E, TheCompanionLibraryRecordsEventsAndTrimsOldLogsBeforeAndAfterTheRun) {
  CProgramFolder folder("companion");
  ASSERT_TRUE(folder.CopyFromBuild("QeltUtil.DLL", "QeltUtil.DLL"));
  const std::string logs = folder.File("logs");
  ASSERT_TRUE(CreateDirectoryA(logs.c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(logs + "\\QELT-2020-01-01.log", "old\r\n"));
  ASSERT_TRUE(WriteWholeFile(logs + "\\notes.txt", "not a log\r\n"));
  ASSERT_TRUE(SetSettingDword("RECORDLOG", 1));
  ASSERT_TRUE(SetSettingDword("CLEANLOG", 1));
  ASSERT_TRUE(SetSettingDword("LOGSAVEDAYS", 1));
  ASSERT_TRUE(SetSettingText("LOGPATH", logs.c_str()));

  CConsole console;
  StartConsole(console, folder);
  EXPECT_TRUE(WaitUntil([&] { return !PathExists(logs + "\\QELT-2020-01-01.log"); })) << "no trimming at the start";
  ASSERT_TRUE(WriteWholeFile(logs + "\\QELT-2020-01-02.log", "old\r\n"));

  int status = 1;
  Rkfwctl("event rule proto=tcp action=block op=receive local=192.168.1.5:139 remote=10.0.0.9:4000", &status);
  ASSERT_EQ(kRkfwctlOk, status);
  const std::string today = logs + "\\" + TodaysLogName();
  std::string text;
  EXPECT_TRUE(WaitUntil([&] { return Contains(text = ReadWholeFile(today), " 10.  0.  0.  9:4000\r\n"); })) << text;
  EXPECT_TRUE(Contains(text, "[处理方式]: 拦截\r\n")) << text;
  EXPECT_TRUE(SyncWith(console.MainWindow()));
  EXPECT_TRUE(PathExists(logs + "\\QELT-2020-01-02.log")) << "trimmed while running";

  CloseConsole(console);
  EXPECT_FALSE(PathExists(logs + "\\QELT-2020-01-02.log")) << "no trimming at the end";
  EXPECT_TRUE(PathExists(today));
  EXPECT_TRUE(PathExists(logs + "\\notes.txt"));
}

TEST_F(ConsoleE2E, TheEndOfTheLogonSavesTheAuditRules) {
  CProgramFolder folder("endsession");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {"C:\\Apps\\mail.exe"}));
  const std::string audit = AuditRulesOf(folder.File("app.aud"));

  CConsole console;
  StartConsole(console, folder);
  ASSERT_EQ(audit, Rkfwctl("audit-rules"));
  ASSERT_TRUE(DeleteFileA(folder.File("app.aud").c_str()));
  DWORD_PTR answer = 1;
  ASSERT_TRUE(SendMessageTimeoutA(console.MainWindow(), WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, kStepBound,
                                  &answer));
  EXPECT_EQ(0u, answer);
  EXPECT_EQ(audit, AuditRulesOf(folder.File("app.aud")));
  EXPECT_TRUE(console.Running()) << "the system ends the process, not the message";

  CloseConsole(console);
}

TEST_F(ConsoleE2E, WithoutTheServiceTheStartReportsTheFailureAndEnds) {
  CProgramFolder folder("noservice");
  {
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
  // The failed start took its single-instance mark away: with the service back a start works.
  CConsole console;
  StartConsole(console, folder);
  CloseConsole(console);
}

}  // namespace
