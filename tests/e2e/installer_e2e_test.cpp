// VardeenSetup.exe run silently, as an administrator's script would: it installs the console,
// which then starts against RkFw.sys; it touches nothing while a console runs; an upgrade mends
// the program and keeps the user's files and settings; the uninstaller removes the program and
// the Run value and keeps the user's files. As Wine's default Windows and as Windows 98.
#include "tests/e2e/console_fixture.h"

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vardeen";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr DWORD kConsoleRunsExit = 2;
constexpr DWORD kSetupBound = 120000;

// A REG_SZ value; `*found` false when it is missing.
std::string RegText(HKEY root, const char* key, const char* name, bool* found = nullptr) {
  char value[1024] = {};
  DWORD size = sizeof value - 1, type = 0;
  LONG read = RegGetValueA(root, key, name, RRF_RT_REG_SZ, &type, value, &size);
  if (found != nullptr) *found = read == ERROR_SUCCESS;
  return value;
}

bool SetWineVersion(const char* version) {  // nullptr: Wine's default
  HKEY k;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr))
    return false;
  LONG set = version ? RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                                      static_cast<DWORD>(strlen(version) + 1))
                     : RegDeleteValueA(k, "Version");
  RegCloseKey(k);
  return set == ERROR_SUCCESS || version == nullptr;
}

// Runs a program to its end within kSetupBound; false when it could not start or did not end.
bool RunToEnd(const std::string& exe, const std::string& arguments, DWORD* exitCode) {
  std::string command = "\"" + exe + "\" " + arguments;
  STARTUPINFOA startup = {sizeof startup};
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  bool ended = WaitForSingleObject(info.hProcess, kSetupBound) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(info.hProcess, 1);
  GetExitCodeProcess(info.hProcess, exitCode);
  CloseHandle(info.hProcess);
  return ended;
}

// The common Start menu, or the user's where a system has none (Windows 98 without profiles).
std::string StartMenuFolder() {
  for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    char path[MAX_PATH] = {};
    if (SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) && PathExists(std::string(path) + "\\Vardeen"))
      return std::string(path) + "\\Vardeen\\";
  }
  return "(no Start menu folder Vardeen)\\";
}

const char* const kProgramFiles[] = {"Vardeen.exe", "QeltUtil.DLL", "hsec.rul", "msec.rul", "lsec.rul",
                                     "res\\enable.bmp", "res\\disable.bmp", "Uninstall.exe"};
const char* const kUserFiles[] = {"app.aud", "csec.rul", "mine.rul", "QELTLog\\QELT-2026-12-08.log"};

class InstallerE2E : public ConsoleE2E {
 protected:
  void TearDown() override {
    SetWineVersion(nullptr);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
      RegDeleteValueA(k, "QELT");
      RegCloseKey(k);
    }
    DeleteTree(folder_);
  }

  void Setup(const std::string& arguments, DWORD expected = 0) {
    DWORD code = 99;
    ASSERT_TRUE(RunToEnd(TestProgramFolder() + "VardeenSetup.exe", arguments, &code)) << arguments;
    ASSERT_EQ(expected, code) << arguments;
  }

  void StartInstalled(CConsole& console) {
    int status = kRkfwctlOk;
    if (win98_) Rkfwctl("start", &status);  // Windows 98 loads the driver at boot
    ASSERT_EQ(kRkfwctlOk, status);
    uint32_t loads = DriverCounter("ip-loads");
    ASSERT_TRUE(console.Start(folder_ + "Vardeen.exe")) << GetLastError();
    ASSERT_NE(nullptr, console.WaitMainWindow()) << "no main window";
    ASSERT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") > loads; })) << "the level's rules never came";
  }

  // `directory` goes to /D=; empty, the installer chooses.
  void InstallUpgradeUninstall(const std::string& directory);

  std::string folder_;  // where the console went, ending in "\"
  bool win98_ = false;
};

void InstallerE2E::InstallUpgradeUninstall(const std::string& directory) {
  folder_ = directory.empty() ? RegText(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                                        "ProgramFilesDir") + "\\Vardeen\\"
                              : directory + "\\";
  DeleteTree(folder_);  // what an earlier, killed run left
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
  const std::string where = directory.empty() ? "" : " /D=" + directory;  // last, unquoted
  const std::string bin = TestProgramFolder();

  ASSERT_NO_FATAL_FAILURE(Setup("/S /AUTOSTART=1" + where));
  for (const char* file : kProgramFiles) EXPECT_TRUE(PathExists(folder_ + file)) << file;
  EXPECT_TRUE(ReadWholeFile(bin + "csec.rul") == ReadWholeFile(folder_ + "csec.rul")) << "custom starts as medium";
  const std::string menu = StartMenuFolder();
  EXPECT_TRUE(PathExists(menu + "Vardeen.lnk")) << menu;
  EXPECT_TRUE(PathExists(menu + "卸载 Vardeen.lnk")) << menu;
  EXPECT_EQ("Vardeen 个人防火墙", RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"));
  EXPECT_EQ("6.22.0.0", RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion")) << "Vardeen.exe's version";
  EXPECT_EQ("\"" + folder_ + "Vardeen.exe\"", RegText(HKEY_CURRENT_USER, kRunKey, "QELT")) << "as the options page writes it";
  DWORD loadAtStart = 0, level = 0;
  EXPECT_TRUE(ReadSettingDword("LOADATSTART", &loadAtStart) && loadAtStart == 1);
  {
    CConsole console;
    ASSERT_NO_FATAL_FAILURE(StartInstalled(console));
    EXPECT_EQ(IpRulesOf(folder_ + "msec.rul"), Rkfwctl("ip-rules"));
    ASSERT_NO_FATAL_FAILURE(Setup("/S" + where, kConsoleRunsExit));
    DWORD code = 99;  // the uninstaller run in place, so that its exit code is its own
    ASSERT_TRUE(RunToEnd(folder_ + "Uninstall.exe", "/S _?=" + folder_.substr(0, folder_.size() - 1), &code));
    EXPECT_EQ(kConsoleRunsExit, code);
    for (const char* file : kProgramFiles) EXPECT_TRUE(PathExists(folder_ + file)) << file;
    CloseConsole(console);
  }

  // The user's own files and choice of level; a program file lost, another damaged.
  ASSERT_TRUE(WriteAuditRules(folder_ + "app.aud", {"C:\\Apps\\mail.exe"}));
  ASSERT_TRUE(CopyFileA((folder_ + "hsec.rul").c_str(), (folder_ + "csec.rul").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((folder_ + "lsec.rul").c_str(), (folder_ + "mine.rul").c_str(), FALSE));
  ASSERT_TRUE(CreateDirectoryA((folder_ + "QELTLog").c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(folder_ + kUserFiles[3], "a day of events\r\n\r\n"));
  ASSERT_TRUE(SetSettingDword("Level", 3));
  ASSERT_TRUE(DeleteFileA((folder_ + "res\\enable.bmp").c_str()));
  ASSERT_TRUE(WriteWholeFile(folder_ + "lsec.rul", "damaged"));
  std::vector<std::string> kept;
  for (const char* file : kUserFiles) kept.push_back(ReadWholeFile(folder_ + file));

  ASSERT_NO_FATAL_FAILURE(Setup("/S"));  // over the copy the registry names
  for (size_t i = 0; i < kept.size(); ++i)
    EXPECT_TRUE(kept[i] == ReadWholeFile(folder_ + kUserFiles[i])) << kUserFiles[i] << " changed by the upgrade";
  EXPECT_TRUE(ReadWholeFile(bin + "res\\enable.bmp") == ReadWholeFile(folder_ + "res\\enable.bmp"));
  EXPECT_TRUE(ReadWholeFile(bin + "lsec.rul") == ReadWholeFile(folder_ + "lsec.rul"));
  EXPECT_TRUE(ReadSettingDword("Level", &level) && level == 3) << level;
  EXPECT_EQ("\"" + folder_ + "Vardeen.exe\"", RegText(HKEY_CURRENT_USER, kRunKey, "QELT")) << "the choice stands";
  {
    CConsole console;
    ASSERT_NO_FATAL_FAILURE(StartInstalled(console));
    EXPECT_EQ(IpRulesOf(folder_ + "hsec.rul"), Rkfwctl("ip-rules")) << "the user's custom level";
    EXPECT_EQ(AuditRulesOf(folder_ + "app.aud"), Rkfwctl("audit-rules"));
    CloseConsole(console);
  }

  // As the Start menu starts it: it hands over to a copy of itself and ends.
  DWORD code = 99;
  ASSERT_TRUE(RunToEnd(folder_ + "Uninstall.exe", "/S", &code));
  EXPECT_EQ(0u, code);
  bool listed = true;
  EXPECT_TRUE(WaitUntil(
      [&] {
        RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", &listed);
        return !listed;
      },
      kSetupBound));
  EXPECT_TRUE(WaitUntil([&] { return !PathExists(folder_ + "Uninstall.exe"); }));
  for (const char* file : kProgramFiles) EXPECT_FALSE(PathExists(folder_ + file)) << file;
  EXPECT_FALSE(PathExists(folder_ + "res"));
  EXPECT_FALSE(PathExists(menu)) << menu;
  for (const char* file : kUserFiles) EXPECT_TRUE(PathExists(folder_ + file)) << file << " not kept";
  bool run = true;
  RegText(HKEY_CURRENT_USER, kRunKey, "QELT", &run);
  EXPECT_FALSE(run) << "the Run value stays";
  EXPECT_TRUE(ReadSettingDword("LOADATSTART", &loadAtStart) && loadAtStart == 0);
  EXPECT_TRUE(ReadSettingDword("Level", &level)) << "the settings are the user's";
}

TEST_F(InstallerE2E, InstallsIntoAChosenFolderUpgradesAndUninstallsKeepingTheUsersFiles) {
  InstallUpgradeUninstall("C:\\防火墙 Vardeen");
}

// Every program started from here on is told it runs on Windows 98: the installer, the
// uninstaller's copy of itself and the console.
TEST_F(InstallerE2E, OnWindows98InstallsIntoProgramFilesUpgradesAndUninstalls) {
  ASSERT_TRUE(SetWineVersion("win98"));
  win98_ = true;
  InstallUpgradeUninstall("");
}

}  // namespace
