// The console on a bad day, end to end against RkFw.sys: damaged rule files, settings of the
// wrong type, a killed console, missing pictures. The user's rules are never lost, a failure
// is always told, and a dead console never locks the next one out.
#include "tests/e2e/console_fixture.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace {

std::string FileBytes(const std::string& path) { return ReadWholeFile(path); }

// Flips every bit of the byte at `offset`.
bool FlipByte(const std::string& path, size_t offset) {
  std::string bytes = ReadWholeFile(path);
  if (offset >= bytes.size()) return false;
  bytes[offset] = static_cast<char>(~bytes[offset]);
  return WriteWholeFile(path, bytes);
}

int SliderPosition(const CConsole& console) {
  return static_cast<int>(SendMessageA(console.Control("TrackBar1"), TBM_GETPOS, 0, 0));
}

bool NoMessageBox(const CConsole& console) {
  for (HWND w : TopWindows(console.Pid(), "#32770"))
    if (IsWindowVisible(w)) return false;
  return true;
}

class ConsoleBadDayE2E : public ConsoleE2E {};

// ---- damaged files ----

TEST_F(ConsoleBadDayE2E, ACutAuditFileIsKeptAsideToldOnceAndTheRulesOfTheRunAreSaved) {
  CProgramFolder folder("cutaud");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {"C:\\Apps\\mail.exe", "C:\\Apps\\news.exe"}));
  ASSERT_TRUE(TruncateFile(folder.File("app.aud"), 200));
  const std::string damaged = FileBytes(folder.File("app.aud"));
  ASSERT_EQ(200u, damaged.size());

  CConsole console;
  StartConsole(console, folder);
  HWND box = WaitMessageBox(console, "错误");
  ASSERT_NE(nullptr, box) << "the damaged app.aud is not told";
  EXPECT_EQ(console.MainWindow(), GetWindow(box, GW_OWNER)) << "the main window owns the box";
  const std::string text = MessageBoxText(box);
  EXPECT_TRUE(Contains(text, "“app.aud”")) << text;
  EXPECT_TRUE(Contains(text, "“app.aud.damaged”")) << text;
  ASSERT_TRUE(AnswerMessageBox(box));
  EXPECT_EQ("audit-image none\n", Rkfwctl("audit-rules"));
  HWND memo = console.Control("LogMemo");
  ASSERT_NE(nullptr, memo);
  EXPECT_TRUE(Contains(WindowText(memo), "[错误]:     程序规则文件“app.aud”已损坏")) << WindowText(memo);

  // A level change reloads app.aud: still damaged, but told only once.
  PressKey(console.Control("TrackBar1"), VK_HOME);
  EXPECT_TRUE(WaitUntil([] { return DriverCounter("ip-loads") == 2; }));
  EXPECT_TRUE(SyncWith(console.MainWindow()));
  EXPECT_TRUE(NoMessageBox(console)) << MessageBoxText(WaitMessageBox(console, nullptr, 0));
  EXPECT_EQ(FileBytes(folder.File("app.aud")), damaged) << "nothing is written before the end";

  CloseConsole(console);
  EXPECT_EQ(damaged, FileBytes(folder.File("app.aud.damaged"))) << "the damaged file is kept as it was";
  EXPECT_EQ(EmptyAuditRules(), AuditRulesOf(folder.File("app.aud"))) << "the rules of the run are saved";
}

TEST_F(ConsoleBadDayE2E, AnAuditFileWithAFlippedByteNeverReplacesAnEarlierKeptFile) {
  CProgramFolder folder("flipaud");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {"C:\\Apps\\mail.exe"}));
  ASSERT_TRUE(FlipByte(folder.File("app.aud"), 40));
  const std::string damaged = FileBytes(folder.File("app.aud"));
  ASSERT_TRUE(WriteWholeFile(folder.File("app.aud.damaged"), "kept by an earlier run"));

  CConsole console;
  StartConsole(console, folder);
  HWND box = WaitMessageBox(console, "错误");
  ASSERT_NE(nullptr, box);
  EXPECT_TRUE(Contains(MessageBoxText(box), "“app.aud.damaged.2”")) << MessageBoxText(box);
  ASSERT_TRUE(AnswerMessageBox(box));
  CloseConsole(console);

  EXPECT_EQ("kept by an earlier run", FileBytes(folder.File("app.aud.damaged")));
  EXPECT_EQ(damaged, FileBytes(folder.File("app.aud.damaged.2")));
  EXPECT_EQ(EmptyAuditRules(), AuditRulesOf(folder.File("app.aud")));

  // The saved file loads: the next start tells nothing.
  CConsole again;
  StartConsole(again, folder);
  EXPECT_TRUE(SyncWith(again.MainWindow()));
  EXPECT_EQ(nullptr, WaitMessageBox(again, "错误", 1000));
  CloseConsole(again);
  EXPECT_FALSE(PathExists(folder.File("app.aud.damaged.3")));
}

TEST_F(ConsoleBadDayE2E, AnEmptyLevelFileAtStartIsToldAndLoggedAndTheStoredLevelStays) {
  CProgramFolder folder("emptylevel");
  ASSERT_TRUE(WriteWholeFile(folder.File("msec.rul"), ""));

  CConsole console;
  ASSERT_TRUE(console.Start(folder));
  ASSERT_NE(nullptr, console.WaitMainWindow());
  HWND box = WaitMessageBox(console, "错误", kStartBound);
  ASSERT_NE(nullptr, box) << "the console says nothing about its missing rules";
  const std::string text = MessageBoxText(box);
  EXPECT_TRUE(Contains(text, "中安全级别")) << text;
  EXPECT_TRUE(Contains(text, "“msec.rul”")) << text;
  EXPECT_TRUE(Contains(text, "没有使用任何IP规则")) << text;
  EXPECT_EQ(console.MainWindow(), GetWindow(box, GW_OWNER));
  ASSERT_TRUE(AnswerMessageBox(box));
  EXPECT_EQ("ip-image none\n", Rkfwctl("ip-rules"));
  EXPECT_TRUE(Contains(WindowText(console.Control("LogMemo")), "“msec.rul”")) << "no line in the log page";
  DWORD level = 99;
  EXPECT_TRUE(ReadSettingDword("Level", &level));
  EXPECT_EQ(1u, level) << "the user's choice stays for the next start";
  CloseConsole(console);
  EXPECT_EQ("", FileBytes(folder.File("msec.rul"))) << "the level file is not touched";
}

TEST_F(ConsoleBadDayE2E, MovingTheSliderToADamagedLevelKeepsTheSetInForceAndSaysSo) {
  CProgramFolder folder("damagedlevel");
  ASSERT_TRUE(TruncateFile(folder.File("hsec.rul"), 20));
  const std::string medium = IpRulesOf(folder.File("msec.rul"));

  CConsole console;
  StartConsole(console, folder);
  EXPECT_EQ(medium, Rkfwctl("ip-rules"));
  PressKey(console.Control("TrackBar1"), VK_HOME);
  HWND box = WaitMessageBox(console, "错误");
  ASSERT_NE(nullptr, box) << "the failed level change is not told";
  const std::string text = MessageBoxText(box);
  EXPECT_TRUE(Contains(text, "高安全级别的规则文件“hsec.rul”")) << text;
  EXPECT_TRUE(Contains(text, "仍使用中安全级别的规则")) << text;
  EXPECT_EQ(1, SliderPosition(console)) << "the slider goes back to the level in force";
  ASSERT_TRUE(AnswerMessageBox(box));
  EXPECT_EQ(1u, DriverCounter("ip-loads"));
  EXPECT_EQ(medium, Rkfwctl("ip-rules"));
  DWORD level = 99;
  EXPECT_TRUE(ReadSettingDword("Level", &level));
  EXPECT_EQ(1u, level) << "the damaged level is not stored";
  EXPECT_TRUE(Contains(WindowText(console.Control("LogMemo")), "“hsec.rul”"));

  // A good level still loads after that.
  PressKey(console.Control("TrackBar1"), VK_END);
  EXPECT_TRUE(WaitUntil([] { return DriverCounter("ip-loads") == 2; }));
  EXPECT_EQ(3, SliderPosition(console));
  EXPECT_TRUE(ReadSettingDword("Level", &level));
  EXPECT_EQ(3u, level);
  CloseConsole(console);
}

// ---- settings of the wrong type ----

TEST_F(ConsoleBadDayE2E, SettingsOfTheWrongTypeReadAsMissing) {
  CProgramFolder folder("wrongtypes");
  ASSERT_TRUE(folder.CopyFromBuild("QeltUtil.DLL", "QeltUtil.DLL"));
  ASSERT_TRUE(SetSettingText("Level", "abc"));  // would read as 0x636261
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Harlune\\Qelt", 0, KEY_SET_VALUE, &key));
  const DWORD aaaa = 0x41414141;  // would read as the relative folder "AAAA"
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "LOGPATH", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&aaaa), 4));
  RegCloseKey(key);
  const std::string longName(300, 'x');
  ASSERT_TRUE(SetSettingText("Crul", (longName + ".rul").c_str()));  // longer than a path

  CConsole console;
  StartConsole(console, folder);
  EXPECT_EQ(IpRulesOf(folder.File("msec.rul")), Rkfwctl("ip-rules"));
  EXPECT_EQ(1, SliderPosition(console)) << "the slider shows the level in force";
  // The custom level falls back to csec.rul (the medium set, as built).
  PressKey(console.Control("TrackBar1"), VK_END);
  EXPECT_TRUE(WaitUntil([] { return DriverCounter("ip-loads") == 2; }));
  EXPECT_TRUE(NoMessageBox(console));
  EXPECT_EQ(IpRulesOf(folder.File("csec.rul")), Rkfwctl("ip-rules"));
  CloseConsole(console);

  // With logging on, the log folder is the default one, never "AAAA" in the current folder.
  ASSERT_TRUE(SetSettingDword("RECORDLOG", 1));
  CConsole logging;
  StartConsole(logging, folder);
  int status = 1;
  Rkfwctl("event rule proto=tcp action=block op=receive local=192.168.1.5:139 remote=10.0.0.9:4000", &status);
  ASSERT_EQ(kRkfwctlOk, status);
  EXPECT_TRUE(WaitUntil([&] { return PathExists(folder.File("QELTLog")); })) << "no log in the default folder";
  CloseConsole(logging);
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  EXPECT_FALSE(PathExists(std::string(windows) + "\\AAAA"));
}

TEST_F(ConsoleBadDayE2E, AStoredLevelOutOfRangeShowsTheMediumLevelItLoads) {
  CProgramFolder folder("level9");
  ASSERT_TRUE(SetSettingDword("Level", 9));
  CConsole console;
  StartConsole(console, folder);
  EXPECT_EQ(IpRulesOf(folder.File("msec.rul")), Rkfwctl("ip-rules"));
  EXPECT_EQ(1, SliderPosition(console));
  CloseConsole(console);
}

// ---- one console at a time ----

TEST_F(ConsoleBadDayE2E, AKilledConsoleDoesNotLockTheNextOneOut) {
  CProgramFolder folder("killed");
  {
    CConsole first;
    StartConsole(first, folder);
    first.Kill();
  }
  // Kill() takes the killed console's atom away for the other tests; here it stays, as a
  // killed console leaves it.
  ASSERT_NE(0, GlobalAddAtomA(kInstanceAtom));
  ASSERT_TRUE(StopService(kConsoleService));

  CConsole next;
  StartConsole(next, folder);
  EXPECT_NE(0, GlobalFindAtomA(kInstanceAtom)) << "the atom is kept for programs that look for it";
  CloseConsole(next);
  EXPECT_EQ(0, GlobalFindAtomA(kInstanceAtom)) << "the stale atom was taken over and is gone";
}

TEST_F(ConsoleBadDayE2E, ASecondStartBringsTheRunningConsoleBackFromTheTray) {
  CProgramFolder folder("front");
  CConsole first;
  StartConsole(first, folder);
  ClickControl(first.Find("Label12"));  // "－": to the tray
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(first.MainWindow()); }));

  CConsole second;
  ASSERT_TRUE(second.Start(folder));
  DWORD code = 1;
  ASSERT_TRUE(second.WaitExit(&code)) << "the second console stays";
  EXPECT_EQ(0u, code);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(first.MainWindow()) != FALSE; })) << "still in the tray";
  EXPECT_EQ(1, CountTopWindows("TFWMainForm"));
  EXPECT_EQ(1u, DriverCounter("ip-loads")) << "the second start loaded nothing";
  CloseConsole(first);
}

// ---- pictures and pages ----

TEST_F(ConsoleBadDayE2E, AMissingSwitchPictureIsDrawnForItsOwnState) {
  CProgramFolder folder("nopicture");
  ASSERT_TRUE(DeleteFileA(folder.File("res\\enable.bmp").c_str()));
  ASSERT_TRUE(SetSettingDword("Enable", 1));

  CConsole console;
  StartConsole(console, folder);
  HWND button = console.Control("EnableBtn");
  ASSERT_NE(nullptr, button);
  EXPECT_TRUE(WaitUntil([&] { return ShowsGlyph(button, true); })) << "not drawn as on" << Covered(button);
  ClickControl(button);
  EXPECT_TRUE(WaitUntil([&] { return ShowsGlyph(button, false); })) << "res\\disable.bmp not shown";
  // Now without either file.
  ASSERT_TRUE(DeleteFileA(folder.File("res\\disable.bmp").c_str()));
  ClickControl(button);
  EXPECT_TRUE(WaitUntil([&] { return ShowsGlyph(button, true); })) << "not drawn as on";
  ClickControl(button);
  EXPECT_TRUE(WaitUntil([&] { return ShowsGlyph(button, false); })) << "not drawn as off";
  CloseConsole(console);
}

TEST_F(ConsoleBadDayE2E, ShowingTheLogPageOnACollapsedWindowExpandsIt) {
  CProgramFolder folder("showlog");
  CConsole console;
  StartConsole(console, folder);
  HWND memo = console.Control("LogMemo");
  ASSERT_NE(nullptr, memo);
  ASSERT_EQ(153, WindowHeight(console.MainWindow()));
  PostMessageA(console.MainWindow(), kShowLogView, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return WindowHeight(console.MainWindow()) == 468; })) << "still collapsed";
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(memo) != FALSE; })) << "the log page stays hidden";

  // Collapsed again, the script command does the same.
  ClickControl(console.Find("close"));
  ASSERT_TRUE(WaitUntil([&] { return WindowHeight(console.MainWindow()) == 153; }));
  std::string tool = TestProgramFolder() + "vardeenui.exe";
  std::string command = "\"" + tool + "\" show-log";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(CreateProcessA(tool.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  WaitForSingleObject(info.hProcess, kStepBound);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  EXPECT_EQ(0u, code);
  EXPECT_TRUE(WaitUntil([&] { return WindowHeight(console.MainWindow()) == 468; })) << "still collapsed";
  EXPECT_TRUE(IsWindowVisible(memo));
  CloseConsole(console);
}

}  // namespace
