// QeltUtil.DLL: log file names, appending, trimming, the folder buffer, its exports, and the
// console's wrapper loading the real library, an incomplete one and none.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "app/qeltutil.h"
#include "companion/qeltlog.h"
#include "platform/paths.h"
#include "tests/win32/support/files.h"

namespace {

std::string Slurp(const std::string& path) {
  std::string data;
  EXPECT_TRUE(ReadWholeFile(path, &data)) << path;
  return data;
}

std::string LogPath(const std::string& folder, const LogDay& day) {
  return folder + "\\" + LogFileName(day);
}

TEST(LogNames, DayIsReadableAndOnlyExactNamesOfRealDaysCount) {
  EXPECT_EQ(LogFileName({2026, 12, 8}), "QELT-2026-12-08.log");
  EXPECT_EQ(LogFileName({2002, 7, 5}), "QELT-2002-07-05.log");
  LogDay day{};
  ASSERT_TRUE(ParseLogFileName("QELT-2024-02-29.log", &day));
  EXPECT_EQ(day.Year, 2024);
  EXPECT_EQ(day.Month, 2);
  EXPECT_EQ(day.Day, 29);
  EXPECT_TRUE(ParseLogFileName("qelt-2026-12-08.LOG", &day));  // the file system ignores case
  for (const char* other :
       {"QELT-2025-02-29.log", "QELT-2026-13-01.log", "QELT-2026-00-10.log", "QELT-2026-12-8.log",
        "QELT-2026-12-08.log.bak", "QELT-2026-12-08.txt", "xQELT-2026-12-08.log",
        "QELT_2026-12-08.log", "QELT-2026+12-08.log", "QELT-20a6-12-08.log", "QELT-.log", ""})
    EXPECT_FALSE(ParseLogFileName(other, &day)) << other;
  EXPECT_EQ(DayNumber({2026, 3, 1}) - DayNumber({2026, 2, 28}), 1);
  EXPECT_EQ(DayNumber({2024, 3, 1}) - DayNumber({2024, 2, 28}), 2);
  EXPECT_EQ(DayNumber({2026, 2, 30}), -1);
}

TEST(RecordLog, AppendsWholeBlocksAcrossCallsAndDays) {
  CTempFolder temp;
  // Missing, two levels deep, with GBK names.
  std::string folder = temp.path() + "\\日志\\防火墙";
  const LogDay monday{2026, 12, 7}, tuesday{2026, 12, 8};
  ASSERT_TRUE(RecordLogOnDay(folder.c_str(), "[时间]:     1\r\n[来源]:     系统\r\n", monday));
  ASSERT_TRUE(RecordLogOnDay(folder.c_str(), "second, no line end", monday));
  ASSERT_TRUE(RecordLogOnDay(folder.c_str(), "third\r\n", tuesday));
  ASSERT_TRUE(RecordLogOnDay((folder + "\\").c_str(), "fourth\r\n", tuesday));
  const std::string mondayLog =
      "[时间]:     1\r\n[来源]:     系统\r\n\r\nsecond, no line end\r\n\r\n";
  EXPECT_EQ(Slurp(LogPath(folder, monday)), mondayLog);
  EXPECT_EQ(Slurp(LogPath(folder, tuesday)), "third\r\n\r\nfourth\r\n\r\n");

  // Nothing to write, or nowhere to write it: no file, no folder.
  EXPECT_FALSE(RecordLogOnDay(folder.c_str(), "", monday));
  EXPECT_FALSE(RecordLogOnDay(folder.c_str(), nullptr, monday));
  EXPECT_FALSE(RecordLogOnDay("", "text", monday));
  EXPECT_FALSE(RecordLogOnDay(nullptr, "text", monday));
  EXPECT_FALSE(RecordLogOnDay(folder.c_str(), "text", LogDay{2026, 2, 30}));
  EXPECT_EQ(Slurp(LogPath(folder, monday)), mondayLog);
}

TEST(RecordLog, AFolderEndingInAGbkTrailByteThatLooksLikeASeparatorIsStillAFolder) {
  CTempFolder temp;
  // 0x81 0x5C is one GBK character; its second byte is the code of "\".
  std::string folder = temp.path() + "\\log\x81\x5C";
  const LogDay day{2026, 1, 2};
  ASSERT_TRUE(RecordLogOnDay(folder.c_str(), "x\r\n", day));
  EXPECT_EQ(Slurp(folder + "\\" + LogFileName(day)), "x\r\n\r\n");
}

TEST(RecordLog, AFileHeldByAReaderIsStillAppendedTo) {
  CTempFolder temp;
  const LogDay day{2026, 1, 2};
  ASSERT_TRUE(RecordLogOnDay(temp.path().c_str(), "a\r\n", day));
  // The log page or an editor may hold the file open for reading.
  HANDLE reader = CreateFileA(LogPath(temp.path(), day).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(RecordLogOnDay(temp.path().c_str(), "b\r\n", day));
  CloseHandle(reader);
  EXPECT_EQ(Slurp(LogPath(temp.path(), day)), "a\r\n\r\nb\r\n\r\n");
}

class CleanLog : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const LogDay& d : kLogs) WriteWholeFile(LogPath(temp.path(), d), "log\r\n");
    for (const char* name : kOthers) WriteWholeFile(temp.path() + "\\" + name, "keep");
    // A folder that happens to carry a log name is not a log file.
    CreateDirectoryA((temp.path() + "\\QELT-2020-01-01.log").c_str(), nullptr);
  }
  bool Has(const LogDay& d) const { return PathExists(LogPath(temp.path(), d)); }
  void ExpectOthersUntouched() const {
    for (const char* name : kOthers) EXPECT_EQ(Slurp(temp.path() + "\\" + name), "keep") << name;
    EXPECT_TRUE(PathExists(temp.path() + "\\QELT-2020-01-01.log"));
  }

  CTempFolder temp;
  static constexpr LogDay kToday{2026, 3, 2};
  static constexpr LogDay kLogs[] = {
      {2026, 3, 2}, {2026, 3, 1}, {2026, 2, 28}, {2025, 12, 31}, {2026, 3, 5} /* clock ahead */};
  static constexpr const char* kOthers[] = {
      "QELT-2026-02-30.log", "QELT-2001-01-01.log.txt", "QELT-2001-01-01.bak", "notes.txt",
      "other-2001-01-01.log", "QELTLOG.log"};
};
constexpr LogDay CleanLog::kToday;
constexpr LogDay CleanLog::kLogs[];
constexpr const char* CleanLog::kOthers[];

TEST_F(CleanLog, DeletesOnlyLogsOlderThanTheDaysToKeep) {
  EXPECT_EQ(CleanLogOnDay(temp.path().c_str(), 1, kToday), 2);
  EXPECT_TRUE(Has({2026, 3, 2}));
  EXPECT_TRUE(Has({2026, 3, 1}));
  EXPECT_FALSE(Has({2026, 2, 28}));
  EXPECT_FALSE(Has({2025, 12, 31}));
  EXPECT_TRUE(Has({2026, 3, 5}));
  ExpectOthersUntouched();

  EXPECT_EQ(CleanLogOnDay(temp.path().c_str(), 0, kToday), 1);  // all but today's
  EXPECT_TRUE(Has({2026, 3, 2}));
  EXPECT_FALSE(Has({2026, 3, 1}));
  ExpectOthersUntouched();
}

TEST_F(CleanLog, KeepingManyDaysAcrossAYearEndDeletesNothingYoung) {
  EXPECT_EQ(CleanLogOnDay(temp.path().c_str(), 61, kToday), 0);
  EXPECT_EQ(CleanLogOnDay(temp.path().c_str(), 60, kToday), 1);  // 2025-12-31 is 61 days old
  EXPECT_FALSE(Has({2025, 12, 31}));
}

TEST_F(CleanLog, MinusOneDeletesEveryLogAndNothingElse) {
  EXPECT_EQ(CleanLogOnDay((temp.path() + "\\").c_str(), -1, kToday), 5);
  for (const LogDay& d : kLogs) EXPECT_FALSE(Has(d));
  ExpectOthersUntouched();
}

TEST_F(CleanLog, MissingOrEmptyFolderIsHarmless) {
  EXPECT_EQ(CleanLogOnDay((temp.path() + "\\missing").c_str(), -1, kToday), 0);
  EXPECT_EQ(CleanLogOnDay("", -1, kToday), 0);
  EXPECT_EQ(CleanLogOnDay(nullptr, -1, kToday), 0);
  EXPECT_TRUE(Has(kToday));
}

// The folder buffer: a browser that "chooses" a path of a given length.
struct Choice {
  bool ok;
  std::string path;
};
bool ScriptedBrowser(void* context, void*, std::string* path) {
  auto* choice = static_cast<Choice*>(context);
  *path = choice->path;
  return choice->ok;
}

TEST(GetFolder, The300ByteBufferIsNeverOverrunAndPathsAreNeverCut) {
  struct Row {
    size_t length;
    int32_t expected;
  } rows[] = {{1, 1}, {259, 1}, {299, 1}, {300, 0}, {301, 0}, {1000, 0}};
  for (const Row& row : rows) {
    char guarded[kQeltFolderBufferSize + 64];
    memset(guarded, 0xAB, sizeof guarded);
    Choice choice{true, "C:\\" + std::string(row.length - 1, 'd')};
    choice.path.resize(row.length, 'd');
    int32_t result = GetFolderWith(guarded, nullptr, ScriptedBrowser, &choice);
    EXPECT_EQ(result, row.expected) << row.length;
    if (result) {
      EXPECT_EQ(std::string(guarded), choice.path) << row.length;
    } else {
      EXPECT_EQ(guarded[0], 0) << row.length;
    }
    for (size_t i = kQeltFolderBufferSize; i < sizeof guarded; ++i)
      ASSERT_EQ(static_cast<unsigned char>(guarded[i]), 0xAB) << row.length << " at " << i;
  }
  char buffer[kQeltFolderBufferSize];
  memset(buffer, 'z', sizeof buffer);
  Choice cancelled{false, "C:\\ignored"};
  EXPECT_EQ(GetFolderWith(buffer, nullptr, ScriptedBrowser, &cancelled), 0);
  EXPECT_EQ(buffer[0], 0);
  Choice gbk{true, "D:\\日志\\表"};
  EXPECT_EQ(GetFolderWith(buffer, nullptr, ScriptedBrowser, &gbk), 1);
  EXPECT_STREQ(buffer, "D:\\日志\\表");
}

std::set<std::string> ExportedNames(HMODULE module) {
  std::set<std::string> names;
  auto* base = reinterpret_cast<const BYTE*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (dir.VirtualAddress == 0) return names;
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* rvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    names.insert(reinterpret_cast<const char*>(base + rvas[i]));
  EXPECT_EQ(exports->NumberOfFunctions, exports->NumberOfNames) << "no exports by number only";
  return names;
}

TEST(Library, ExportsExactlyTheThreeBareNames) {
  HMODULE module = LoadLibraryA("QeltUtil.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ExportedNames(module),
            (std::set<std::string>{"QeltGetFolder", "QeltRecordLog", "QLETCleanLog"}));
  FreeLibrary(module);
}

TEST(Library, TheWrapperLoadsTheRealLibraryAndLogsThroughIt) {
  CTempFolder temp;
  std::string folder = temp.path() + "\\QELTLog";
  CQELTUtil util;
  ASSERT_EQ(util.Load(), 1u);
  EXPECT_EQ(util.Loaded(), 1u);
  ASSERT_NE(util.Library(), nullptr);
  EXPECT_EQ(GetModuleHandleA("QeltUtil.DLL"), static_cast<HMODULE>(util.Library()));

  LogDay before = LocalToday();
  util.QeltRecordLog(folder.c_str(), "[时间]:     a\r\n");
  util.QeltRecordLog(folder.c_str(), "[时间]:     b\r\n");
  LogDay after = LocalToday();
  if (DayNumber(before) == DayNumber(after)) {
    EXPECT_EQ(Slurp(LogPath(folder, before)), "[时间]:     a\r\n\r\n[时间]:     b\r\n\r\n");
  }
  WriteWholeFile(folder + "\\mine.txt", "keep");
  util.QLETCleanLog(folder.c_str(), -1);
  EXPECT_FALSE(PathExists(LogPath(folder, before)));
  EXPECT_FALSE(PathExists(LogPath(folder, after)));
  EXPECT_TRUE(PathExists(folder + "\\mine.txt"));

  util.Unload();
  EXPECT_EQ(util.Loaded(), 0u);
  EXPECT_EQ(util.Library(), nullptr);
  EXPECT_EQ(GetModuleHandleA("QeltUtil.DLL"), nullptr);
  util.QeltRecordLog(folder.c_str(), "after unload");  // harmless, nothing written
  EXPECT_FALSE(PathExists(LogPath(folder, LocalToday())));

  // Loading twice holds the library once.
  ASSERT_EQ(util.Load(), 1u);
  ASSERT_EQ(util.Load(), 1u);
  util.Unload();
  EXPECT_EQ(GetModuleHandleA("QeltUtil.DLL"), nullptr);
}

TEST(Library, AnIncompleteLibraryStaysLoadedButIsNeverCalled) {
  CQELTUtil util;
  EXPECT_EQ(util.Load("QeltUtilPartial.DLL"), 0u);
  EXPECT_EQ(util.Loaded(), 0u);
  ASSERT_NE(util.Library(), nullptr);
  auto calls = reinterpret_cast<int32_t(QELTUTIL_CALL*)()>(
      reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(util.Library()), "PartialCalls")));
  ASSERT_NE(calls, nullptr);

  char buffer[kQeltFolderBufferSize] = "unchanged";
  EXPECT_EQ(util.QeltGetFolder(buffer, nullptr), 0);
  EXPECT_EQ(buffer[0], 0);
  util.QeltRecordLog("C:\\", "text");
  util.QLETCleanLog("C:\\", -1);
  EXPECT_EQ(calls(), 0);

  util.Unload();
  EXPECT_EQ(util.Library(), nullptr);
  EXPECT_EQ(GetModuleHandleA("QeltUtilPartial.DLL"), nullptr);
}

// Found by the library search, a copy in the current folder ran inside the console.
TEST(Library, OnlyTheProgramsFolderIsSearched) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string beside = std::string(self, strrchr(self, '\\') + 1) + "QeltUtil.DLL";
  CTempFolder temp;
  ASSERT_TRUE(CopyFileA(beside.c_str(), (temp.path() + "\\QeltUtilElsewhere.DLL").c_str(), FALSE));
  char before[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, before);
  SetCurrentDirectoryA(temp.path().c_str());
  CQELTUtil util;
  EXPECT_EQ(util.Load("QeltUtilElsewhere.DLL"), 0u);
  EXPECT_EQ(util.Library(), nullptr);
  SetCurrentDirectoryA(before);
}

TEST(Library, NoLibraryMeansNothingLoadedAndSafeCalls) {
  CQELTUtil util;
  EXPECT_EQ(util.Load("QeltUtilAbsent.DLL"), 0u);
  EXPECT_EQ(util.Loaded(), 0u);
  EXPECT_EQ(util.Library(), nullptr);
  char buffer[kQeltFolderBufferSize] = "x";
  EXPECT_EQ(util.QeltGetFolder(buffer, nullptr), 0);
  util.QeltRecordLog("C:\\", "text");
  util.QLETCleanLog("C:\\", -1);
  util.Unload();
}

TEST(Library, NoBlockIsLostOrTornWhenTheProcessEndsRightAfterLogging) {
  CTempFolder temp;
  std::string folder = temp.path() + "\\QELTLog";
  char writer[kPathTextSize];
  ASSERT_TRUE(GetProgramFilePath("qeltlog_writer.exe", writer));
  const int kBlocks = 40;
  std::string command = "\"" + std::string(writer) + "\" \"" + folder + "\" " + std::to_string(kBlocks);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  LogDay before = LocalToday();
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ASSERT_EQ(code, 0u);
  LogDay after = LocalToday();

  std::string all;
  ReadWholeFile(LogPath(folder, before), &all);
  if (DayNumber(after) != DayNumber(before)) {  // the run crossed midnight
    std::string rest;
    ReadWholeFile(LogPath(folder, after), &rest);
    all += rest;
  }
  std::string expected;
  for (int i = 0; i < kBlocks; ++i) {
    char text[256];
    snprintf(text, sizeof text, "[时间]:     block %04d\r\n[来源]:     系统\r\n[数据大小]: %d\r\n\r\n",
             i, i * 7);
    expected += text;
  }
  EXPECT_EQ(all, expected);
}

// The real browser, answered by a helper thread that finds it by its owner.
struct BrowserAnswer {
  HWND owner;
  std::string select;  // empty: cancel
  std::atomic<bool> found{false};
};

struct FindContext {
  HWND owner;
  HWND dialog;
};
BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM lparam) {
  auto* find = reinterpret_cast<FindContext*>(lparam);
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (strcmp(cls, "#32770") == 0 && GetWindow(window, GW_OWNER) == find->owner &&
      IsWindowVisible(window)) {
    find->dialog = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindTree(HWND window, LPARAM lparam) {
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (strcmp(cls, "SysTreeView32") != 0) return TRUE;
  *reinterpret_cast<HWND*>(lparam) = window;
  return FALSE;
}

HWND TreeOf(HWND dialog) {
  HWND tree = nullptr;
  EnumChildWindows(dialog, FindTree, reinterpret_cast<LPARAM>(&tree));
  return tree;
}

LRESULT TreeItemCount(HWND dialog) {
  HWND tree = TreeOf(dialog);
  return tree == nullptr ? 0 : SendMessageA(tree, TVM_GETCOUNT, 0, 0);
}

// The text of the tree's selected item, or an empty text.
std::string SelectedItemText(HWND dialog) {
  HWND tree = TreeOf(dialog);
  if (tree == nullptr) return std::string();
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (item == nullptr) return std::string();
  char text[MAX_PATH] = {};
  TVITEMA tv = {};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return text;
}

bool WaitFor(int milliseconds, const std::function<bool()>& done) {
  for (int waited = 0; waited < milliseconds; waited += 20) {
    if (done()) return true;
    Sleep(20);
  }
  return done();
}

void AnswerBrowser(BrowserAnswer* answer) {
  FindContext find{answer->owner, nullptr};
  WaitFor(15000, [&] {
    EnumWindows(FindOwnedDialog, reinterpret_cast<LPARAM>(&find));
    return find.dialog != nullptr;
  });
  if (find.dialog == nullptr) return;  // no browser came up: the call has returned by itself
  answer->found = true;
  HWND dialog = find.dialog;
  // Answer only once the browser has filled its tree.
  WaitFor(10000, [&] { return TreeItemCount(dialog) > 0; });
  if (answer->select.empty()) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  } else {
    std::string leaf = answer->select.substr(answer->select.rfind('\\') + 1);
    WaitFor(10000, [&] {
      SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(answer->select.c_str()));
      return lstrcmpiA(SelectedItemText(dialog).c_str(), leaf.c_str()) == 0;
    });
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  }
  // Never leave a browser up: close whatever is still there after a while.
  if (!WaitFor(10000, [&] { return !IsWindow(dialog); })) PostMessageA(dialog, WM_CLOSE, 0, 0);
}

TEST(Library, TheFolderBrowserIsOwnedByTheCallerAndFillsTheBuffer) {
  CTempFolder temp;
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  CQELTUtil util;
  ASSERT_EQ(util.Load(), 1u);

  BrowserAnswer choose;
  choose.owner = owner;
  choose.select = temp.path();
  std::thread helper(AnswerBrowser, &choose);
  char buffer[kQeltFolderBufferSize];
  memset(buffer, 'z', sizeof buffer);
  int32_t result = util.QeltGetFolder(buffer, owner);
  helper.join();
  EXPECT_TRUE(choose.found) << "no browser owned by the given window";
  EXPECT_NE(result, 0);
  EXPECT_EQ(lstrcmpiA(buffer, temp.path().c_str()), 0) << buffer;

  BrowserAnswer cancel;
  cancel.owner = owner;
  std::thread canceller(AnswerBrowser, &cancel);
  memset(buffer, 'z', sizeof buffer);
  result = util.QeltGetFolder(buffer, owner);
  canceller.join();
  EXPECT_TRUE(cancel.found);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(buffer[0], 0);
  DestroyWindow(owner);
}

}  // namespace
