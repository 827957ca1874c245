// The console on the Win9x road: Wine tells Vardeen.exe (and only it) that it runs on
// Windows 98, so the console opens "\\.\RkFw.VXD" directly instead of going through the
// service manager, and takes the driver's event times as UTC. RkFw.sys serves that name too;
// with no service manager on Win9x, the test starts the driver as the system would load it.
#include "tests/e2e/console_fixture.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

// Wine's per-program settings: the version this program is told.
constexpr const char* kAppDefaults = "Software\\Wine\\AppDefaults\\Vardeen.exe";

// A UTC file time, as the Win9x driver stamps its events.
std::string UtcFileTimeOf(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME t = {year, month, 0, day, hour, minute, second, 0};
  FILETIME f;
  SystemTimeToFileTime(&t, &f);
  return std::to_string((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
}

class ConsoleWin9xE2E : public ConsoleE2E {
 protected:
  void SetUp() override {
    ConsoleE2E::SetUp();
    if (HasFatalFailure()) return;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kAppDefaults, 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6));
    RegCloseKey(key);
    // Win9x loads the driver when it is opened; here it is running before the console starts.
    int status = 1;
    Rkfwctl("start", &status);
    ASSERT_EQ(kRkfwctlOk, status);
  }
  void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaults); }
};

TEST_F(ConsoleWin9xE2E, StartUpLoadsTheRulesThroughTheVxdNameAndTheSwitchWorks) {
  CProgramFolder folder("win9x");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {"C:\\Apps\\mail.exe"}));
  ASSERT_TRUE(SetSettingDword("Enable", 1));
  ASSERT_TRUE(SetSettingDword("Level", 0));

  CConsole console;
  StartConsole(console, folder);
  EXPECT_EQ(IpRulesOf(folder.File("hsec.rul")), Rkfwctl("ip-rules"));
  EXPECT_EQ(AuditRulesOf(folder.File("app.aud")), Rkfwctl("audit-rules"));
  EXPECT_EQ("1", DriverLine("enabled"));
  HWND button = console.Control("EnableBtn");
  ASSERT_NE(nullptr, button);
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("Label8") == kEnabledText; })) << console.TextOf("Label8");

  ClickControl(button);
  EXPECT_TRUE(WaitUntil([&] { return DriverLine("enabled") == "0"; }));
  EXPECT_TRUE(WaitUntil([&] { return console.TextOf("Label8") == kDisabledText; })) << console.TextOf("Label8");
  DWORD stored = 99;
  EXPECT_TRUE(ReadSettingDword("Enable", &stored));
  EXPECT_EQ(0u, stored);
  ClickControl(button);
  EXPECT_TRUE(WaitUntil([&] { return DriverLine("enabled") == "1"; }));

  ASSERT_TRUE(DeleteFileA(folder.File("app.aud").c_str()));
  CloseConsole(console);
  EXPECT_EQ("0", DriverLine("enabled")) << "the console ends with filtering off";
  EXPECT_EQ(AuditRulesOf(folder.File("app.aud")), Rkfwctl("audit-rules")) << "app.aud written at the end";
}

TEST_F(ConsoleWin9xE2E, ARuleHitShowsItsUtcTimeAsLocalTime) {
  // CTest runs these tests in UTC+8 (TZ, tests/e2e/CMakeLists.txt), so a missing conversion shows.
  SYSTEMTIME utc = {2026, 12, 0, 9, 2, 11, 12, 0}, local;
  ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
  ASSERT_EQ(10, local.wHour) << "the tests do not run in UTC+8";
  CProgramFolder folder("win9xlog");
  CConsole console;
  StartConsole(console, folder);
  int status = 1;
  // 02:11:12 UTC is 10:11:12 in the console's zone (UTC+8).
  Rkfwctl("event rule proto=tcp rule=77 time=" + UtcFileTimeOf(2026, 12, 9, 2, 11, 12) +
              " action=block op=receive local=192.168.1.5:139 remote=10.0.0.9:4000",
          &status);
  ASSERT_EQ(kRkfwctlOk, status);
  PostMessageA(console.MainWindow(), kShowLogView, 0, 0);
  HWND memo = console.Control("LogMemo");
  ASSERT_NE(nullptr, memo);
  std::string text;
  EXPECT_TRUE(WaitUntil([&] { return Contains(text = WindowText(memo), "[协议类型]: TCP"); })) << text;
  EXPECT_TRUE(Contains(text, "[时间]:     2026-12-09 10:11:12\r\n")) << text;
  CloseConsole(console);
}

}  // namespace
