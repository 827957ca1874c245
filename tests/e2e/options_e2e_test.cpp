// The options page of the real console, as a user works it: what save writes, what apply
// changes in the running console, deleting the logs, the question before the page is left.
#include "tests/e2e/console_fixture.h"

#include <windows.h>

#include <string>

namespace {

constexpr const char* kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Every log file's text in `folder`, one after the other.
std::string LogsIn(const std::string& folder) {
  std::string all;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\QELT-*.log").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return all;
  do all += ReadWholeFile(folder + "\\" + found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  return all;
}

// A text value as stored, or "<none>".
std::string RegText(HKEY root, const char* key, const char* name) {
  char data[1024] = {};
  DWORD size = sizeof data;
  return RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, data, &size) == ERROR_SUCCESS ? data : "<none>";
}
std::string RunEntry() { return RegText(HKEY_CURRENT_USER, kRunKeyPath, "QELT"); }
std::string SettingText(const char* name) { return RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Harlune\\Qelt", name); }

class ConsoleOptionsE2E : public ConsoleE2E {
 protected:
  void SetUp() override {
    ConsoleE2E::SetUp();
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKeyPath, "QELT");
  }
  void TearDown() override { RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKeyPath, "QELT"); }

  // Opens the options page on an expanded window; its controls are then the page's.
  void OpenOptions(CConsole& console) {
    HWND setup = console.Control("SetupBitBtn");
    ASSERT_NE(nullptr, setup);
    ClickControl(setup);
    ASSERT_TRUE(WaitUntil([&] {
      HWND page = console.Control("LoadAtStartCheck");
      return page != nullptr && IsWindowVisible(page);
    })) << "no options page";
  }
  static void Type(HWND edit, const std::string& text) {
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  // Answers the console's box with `caption` by the button `id`; false when none came.
  static bool Answer(const CConsole& console, const char* caption, int id, std::string* text = nullptr) {
    HWND box = WaitMessageBox(console, caption);
    if (box == nullptr) return false;
    if (text != nullptr) *text = MessageBoxText(box);
    HWND button = GetDlgItem(box, id);
    if (button == nullptr) return false;
    ClickControl(button);
    return WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
  }
  static void RuleHit() {
    int status = 1;
    Rkfwctl("event rule proto=tcp action=block op=receive local=192.168.1.5:139 remote=10.0.0.9:4000", &status);
    ASSERT_EQ(kRkfwctlOk, status);
  }
};

TEST_F(ConsoleOptionsE2E, SaveWritesApplyActsAndLeavingWithUnsavedEditsAsks) {
  CProgramFolder folder("options");
  ASSERT_TRUE(folder.CopyFromBuild("QeltUtil.DLL", "QeltUtil.DLL"));
  const std::string logs = folder.File("新日志");
  CConsole console;
  StartConsole(console, folder);
  OpenOptions(console);
  HWND record = console.Control("RecordLogCheck"), path = console.Control("LogPath");
  HWND start = console.Control("LoadAtStartCheck");
  ASSERT_TRUE(record && path && start);
  EXPECT_FALSE(IsWindowEnabled(path)) << "logging is off on a fresh machine";
  ClickControl(record);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(path) != FALSE; }));
  Type(path, logs);
  ClickControl(start);
  ClickControl(console.Control("SaveBitBtn"));
  EXPECT_TRUE(WaitUntil([&] { return SettingText("LOGPATH") == logs; })) << SettingText("LOGPATH");
  DWORD stored = 0;
  EXPECT_TRUE(ReadSettingDword("RECORDLOG", &stored));
  EXPECT_EQ(1u, stored);
  EXPECT_EQ("\"" + folder.File("Vardeen.exe") + "\"", RunEntry());

  // Applied, the next hit goes to the new folder.
  ClickControl(console.Control("ApplyBitBtn"));
  EXPECT_TRUE(SyncWith(console.MainWindow()));
  RuleHit();
  std::string text;
  EXPECT_TRUE(WaitUntil([&] { return Contains(text = LogsIn(logs), " 10.  0.  0.  9:4000\r\n"); })) << text;

  ClickControl(start);
  ClickControl(console.Control("SaveBitBtn"));
  EXPECT_TRUE(WaitUntil([] { return RunEntry() == "<none>"; })) << "unticked, the Run entry goes";

  // "清除日志": No keeps the logs; Yes deletes every log file of the folder and nothing else.
  ASSERT_TRUE(WriteWholeFile(logs + "\\QELT-2019-05-05.log", "x\r\n"));
  ASSERT_TRUE(WriteWholeFile(logs + "\\notes.txt", "x\r\n"));
  HWND clear = console.Control("ClearLog");
  ClickControl(clear);
  std::string question;
  ASSERT_TRUE(Answer(console, "提示", IDNO, &question));
  EXPECT_EQ("确定要删除所有的日志文件吗?", question);
  EXPECT_TRUE(PathExists(logs + "\\QELT-2019-05-05.log"));
  ClickControl(clear);
  ASSERT_TRUE(Answer(console, "提示", IDYES));
  EXPECT_TRUE(WaitUntil([&] { return LogsIn(logs).empty() && !PathExists(logs + "\\QELT-2019-05-05.log"); }));
  EXPECT_TRUE(PathExists(logs + "\\notes.txt"));

  // Applied without saving: the running console logs to the other folder, the registry keeps
  // the saved one, and leaving the page asks; Cancel stays on the page.
  const std::string other = folder.File("applied");
  Type(path, other);
  ClickControl(console.Control("ApplyBitBtn"));
  EXPECT_TRUE(SyncWith(console.MainWindow()));
  RuleHit();
  EXPECT_TRUE(WaitUntil([&] { return !LogsIn(other).empty(); })) << "applied logging is in force";
  EXPECT_EQ(logs, SettingText("LOGPATH")) << "apply writes nothing";
  PostMessageA(console.MainWindow(), kShowLogView, 0, 0);
  ASSERT_TRUE(Answer(console, "保存", IDCANCEL, &question));
  EXPECT_EQ("设置已被修改，还未被保存，是否保存?", question);
  EXPECT_TRUE(SyncWith(console.MainWindow()));
  EXPECT_TRUE(IsWindowVisible(path)) << "the page stays";
  EXPECT_FALSE(IsWindowVisible(console.Control("LogMemo")));

  // Closing the console asks too; No ends it without saving.
  ClickControl(console.Find("Label13"));
  ASSERT_TRUE(Answer(console, "保存", IDNO));
  DWORD code = 1;
  ASSERT_TRUE(console.WaitExit(&code));
  EXPECT_EQ(0u, code);
  EXPECT_EQ(logs, SettingText("LOGPATH"));
}

}  // namespace
