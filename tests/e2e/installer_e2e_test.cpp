// VardeenSetup.exe as a user meets it, silently: it installs the console, which then starts
// against RkFw.sys; it refuses to touch a running console; an upgrade refreshes the program and
// keeps the user's files and settings; the uninstaller removes the program and the Run value
// and keeps the user's files. Once as Wine's default Windows and once as Windows 98.
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

std::string RegText(HKEY root, const char* key, const char* name, bool* found = nullptr) {
  char value[1024] = {};
  DWORD size = sizeof value - 1, type = 0;
  HKEY k;
  bool ok = RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &k) == ERROR_SUCCESS;
  if (ok) {
    ok = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
         type == REG_SZ;
    RegCloseKey(k);
  }
  if (found != nullptr) *found = ok;
  return ok ? std::string(value) : std::string();
}

bool KeyExists(HKEY root, const char* key) {
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

// Runs a program to its end; false when it could not start or outlived `bound`.
bool RunToEnd(const std::string& exe, const std::string& arguments, DWORD* exitCode, DWORD bound = kSetupBound) {
  std::string command = "\"" + exe + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  bool ended = WaitForSingleObject(info.hProcess, bound) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(info.hProcess, 1);
  GetExitCodeProcess(info.hProcess, exitCode);
  CloseHandle(info.hProcess);
  return ended;
}

// The version of a file's version resource, "a.b.c.d".
std::string FileVersion(const std::string& path) {
  DWORD handle = 0, size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  std::vector<char> info(size + 1);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, info.data()) ||
      !VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize))
    return "none";
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
         "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

// The Start menu folder the installer chose: the common one, or the user's where a system
// has no common one (Windows 98 without profiles).
std::string StartMenuFolder() {
  for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    char path[MAX_PATH] = {};
    if (SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE) && PathExists(std::string(path) + "\\Vardeen"))
      return std::string(path) + "\\Vardeen\\";
  }
  return "(no Start menu folder Vardeen)\\";
}

class InstallerE2E : public ConsoleE2E {
 protected:
  void SetUp() override {
    ConsoleE2E::SetUp();
    if (HasFatalFailure()) return;
    runBefore_ = RegText(HKEY_CURRENT_USER, kRunKey, "QELT", &hadRun_);
    wineVersion_ = RegText(HKEY_CURRENT_USER, "Software\\Wine", "Version", &hadWineVersion_);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
  }
  void TearDown() override {
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) ==
        ERROR_SUCCESS) {
      if (hadWineVersion_)
        RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(wineVersion_.c_str()),
                       static_cast<DWORD>(wineVersion_.size() + 1));
      else
        RegDeleteValueA(k, "Version");
      RegCloseKey(k);
    }
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) ==
        ERROR_SUCCESS) {
      if (hadRun_)
        RegSetValueExA(k, "QELT", 0, REG_SZ, reinterpret_cast<const BYTE*>(runBefore_.c_str()),
                       static_cast<DWORD>(runBefore_.size() + 1));
      else
        RegDeleteValueA(k, "QELT");
      RegCloseKey(k);
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    if (!folder_.empty()) DeleteTree(folder_);
  }

  // Every program started from here on is told it runs on Windows 98: the installer, the
  // uninstaller's copy of itself and the console.
  void TellWindows98() {
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine", 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, &k, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6));
    RegCloseKey(k);
    win98_ = true;
  }

  void StartInstalled(CConsole& console) {
    if (win98_) {  // no service manager there: the system loaded the driver at boot
      int status = 1;
      Rkfwctl("start", &status);
      ASSERT_EQ(kRkfwctlOk, status);
    }
    uint32_t loads = DriverCounter("ip-loads");
    ASSERT_TRUE(console.Start(folder_ + "Vardeen.exe")) << GetLastError();
    ASSERT_NE(nullptr, console.WaitMainWindow()) << "no main window";
    ASSERT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") > loads; })) << "the level's rules never came";
  }

  void Setup(const std::string& arguments, DWORD expected = 0) {
    DWORD code = 99;
    ASSERT_TRUE(RunToEnd(TestProgramFolder() + "VardeenSetup.exe", arguments, &code)) << arguments;
    ASSERT_EQ(expected, code) << arguments;
  }

  // The story: `directory` is given with /D=, or empty for the installer's own choice.
  void InstallUpgradeUninstall(const std::string& directory);

  std::string folder_;  // where the console went, ending in "\"
  bool win98_ = false;

 private:
  std::string runBefore_, wineVersion_;
  bool hadRun_ = false, hadWineVersion_ = false;
};

const char* const kProgramFiles[] = {"Vardeen.exe", "QeltUtil.DLL", "hsec.rul", "msec.rul", "lsec.rul",
                                     "res\\enable.bmp", "res\\disable.bmp", "Uninstall.exe"};

void InstallerE2E::InstallUpgradeUninstall(const std::string& directory) {
  if (directory.empty()) {
    char programFiles[MAX_PATH] = {};
    DWORD size = sizeof programFiles, type = 0;
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                                           KEY_QUERY_VALUE, &k));
    RegQueryValueExA(k, "ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(programFiles), &size);
    RegCloseKey(k);
    folder_ = std::string(programFiles) + "\\Vardeen\\";
  } else {
    folder_ = directory + "\\";
  }
  DeleteTree(folder_);  // what an earlier, killed run left
  std::string where = directory.empty() ? "" : " /D=" + directory;  // /D= comes last, unquoted

  // A fresh install, with the start with Windows chosen.
  ASSERT_NO_FATAL_FAILURE(Setup("/S /AUTOSTART=1" + where));
  const std::string bin = TestProgramFolder();
  for (const char* file : kProgramFiles) EXPECT_TRUE(PathExists(folder_ + file)) << file;
  EXPECT_TRUE(ReadWholeFile(bin + "csec.rul") == ReadWholeFile(folder_ + "csec.rul"))
      << "the custom level starts as the medium one";
  EXPECT_FALSE(PathExists(folder_ + "app.aud"));
  std::string menu = StartMenuFolder();
  EXPECT_TRUE(PathExists(menu + "Vardeen.lnk")) << menu;
  EXPECT_TRUE(PathExists(menu + "卸载 Vardeen.lnk")) << menu;
  EXPECT_EQ("Vardeen 个人防火墙", RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"));
  EXPECT_EQ(FileVersion(folder_ + "Vardeen.exe"), RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"));
  EXPECT_EQ("\"" + folder_ + "Uninstall.exe\"", RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"));
  EXPECT_EQ(folder_ + "Vardeen.exe", RegText(HKEY_CURRENT_USER, kRunKey, "QELT")) << "as the options page writes it";
  DWORD loadAtStart = 0;
  EXPECT_TRUE(ReadSettingDword("LOADATSTART", &loadAtStart));
  EXPECT_EQ(1u, loadAtStart);

  // The installed console comes up against the driver with the medium level.
  {
    CConsole console;
    ASSERT_NO_FATAL_FAILURE(StartInstalled(console));
    EXPECT_EQ(IpRulesOf(folder_ + "msec.rul"), Rkfwctl("ip-rules"));
    // While it runs, neither the installer nor the uninstaller (run in place, so that its
    // exit code is its own) touches anything.
    ASSERT_NO_FATAL_FAILURE(Setup("/S" + where, kConsoleRunsExit));
    DWORD code = 99;
    ASSERT_TRUE(RunToEnd(folder_ + "Uninstall.exe", "/S _?=" + folder_.substr(0, folder_.size() - 1), &code));
    EXPECT_EQ(kConsoleRunsExit, code);
    for (const char* file : kProgramFiles) EXPECT_TRUE(PathExists(folder_ + file)) << file;
    CloseConsole(console);
  }

  // What the user made of it: application rules, the custom level, a saved set, a day's log,
  // another level chosen. And program files gone missing or damaged, which an upgrade mends.
  ASSERT_TRUE(WriteAuditRules(folder_ + "app.aud", {"C:\\Apps\\mail.exe"}));
  ASSERT_TRUE(CopyFileA((folder_ + "hsec.rul").c_str(), (folder_ + "csec.rul").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((folder_ + "lsec.rul").c_str(), (folder_ + "mine.rul").c_str(), FALSE));
  ASSERT_TRUE(CreateDirectoryA((folder_ + "QELTLog").c_str(), nullptr));
  const std::string log = folder_ + "QELTLog\\QELT-2026-12-08.log";
  ASSERT_TRUE(WriteWholeFile(log, "a day of events\r\n\r\n"));
  ASSERT_TRUE(SetSettingDword("Level", 3));
  ASSERT_TRUE(DeleteFileA((folder_ + "res\\enable.bmp").c_str()));
  ASSERT_TRUE(WriteWholeFile(folder_ + "lsec.rul", "damaged"));
  const std::vector<std::string> userFiles = {"app.aud", "csec.rul", "mine.rul", "QELTLog\\QELT-2026-12-08.log"};
  std::vector<std::string> kept;
  for (const std::string& file : userFiles) kept.push_back(ReadWholeFile(folder_ + file));

  // The upgrade, over the copy the registry names (no /D= here).
  ASSERT_NO_FATAL_FAILURE(Setup("/S"));
  for (size_t i = 0; i < userFiles.size(); ++i)
    EXPECT_TRUE(kept[i] == ReadWholeFile(folder_ + userFiles[i])) << userFiles[i] << " changed by the upgrade";
  EXPECT_TRUE(ReadWholeFile(bin + "res\\enable.bmp") == ReadWholeFile(folder_ + "res\\enable.bmp"));
  EXPECT_TRUE(ReadWholeFile(bin + "lsec.rul") == ReadWholeFile(folder_ + "lsec.rul"));
  DWORD level = 0;
  EXPECT_TRUE(ReadSettingDword("Level", &level));
  EXPECT_EQ(3u, level);
  EXPECT_EQ(folder_ + "Vardeen.exe", RegText(HKEY_CURRENT_USER, kRunKey, "QELT")) << "the choice stands";
  {
    CConsole console;
    ASSERT_NO_FATAL_FAILURE(StartInstalled(console));
    EXPECT_EQ(IpRulesOf(folder_ + "hsec.rul"), Rkfwctl("ip-rules")) << "the user's custom level";
    EXPECT_EQ(AuditRulesOf(folder_ + "app.aud"), Rkfwctl("audit-rules"));
    CloseConsole(console);
  }

  // The uninstaller, as the Start menu starts it: it hands over to a copy of itself and ends.
  DWORD code = 99;
  ASSERT_TRUE(RunToEnd(folder_ + "Uninstall.exe", "/S", &code));
  EXPECT_EQ(0u, code);
  EXPECT_TRUE(WaitUntil([&] { return !KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey); }, kSetupBound))
      << "the uninstaller did not finish";
  EXPECT_TRUE(WaitUntil([&] { return !PathExists(folder_ + "Uninstall.exe"); }));
  for (const char* file : kProgramFiles) EXPECT_FALSE(PathExists(folder_ + file)) << file;
  EXPECT_FALSE(PathExists(folder_ + "res"));
  EXPECT_FALSE(PathExists(menu)) << menu;
  for (const std::string& file : userFiles) EXPECT_TRUE(PathExists(folder_ + file)) << file << " not kept";
  bool run = true;
  RegText(HKEY_CURRENT_USER, kRunKey, "QELT", &run);
  EXPECT_FALSE(run) << "the Run value stays";
  EXPECT_TRUE(ReadSettingDword("LOADATSTART", &loadAtStart));
  EXPECT_EQ(0u, loadAtStart);
  EXPECT_TRUE(ReadSettingDword("Level", &level)) << "the settings are the user's";
}

TEST_F(InstallerE2E, InstallsIntoAChosenFolderUpgradesAndUninstallsKeepingTheUsersFiles) {
  InstallUpgradeUninstall("C:\\防火墙 Vardeen");
}

TEST_F(InstallerE2E, OnWindows98InstallsIntoProgramFilesUpgradesAndUninstalls) {
  ASSERT_NO_FATAL_FAILURE(TellWindows98());
  InstallUpgradeUninstall("");
}

}  // namespace
