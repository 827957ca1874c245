// The settings store against Wine's registry (redirected per process, see scratch_registry.h).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/qeltoption.h"
#include "app/qeltutil.h"
#include "app/registry.h"
#include "platform/paths.h"
#include "tests/win32/settings/box_recorder.h"
#include "tests/win32/settings/scratch_registry.h"

namespace {

constexpr const char* kKey = "SOFTWARE\\Harlune\\Qelt";

std::string ProgramFolder() {
  char folder[kPathTextSize];
  EXPECT_GT(GetProgramFolder(folder, sizeof folder), 0u);
  return folder;
}

std::string SystemMessage(DWORD error) {
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                 reinterpret_cast<char*>(&text), 0, nullptr);
  std::string s = text ? text : "";
  LocalFree(text);
  return s;
}

DWORD RawDword(HKEY root, const char* key, const char* name) {
  RawValue v = ReadRaw(root, key, name);
  EXPECT_TRUE(v.present) << name;
  EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD)) << name;
  DWORD d = 0;
  if (v.data.size() == 4) memcpy(&d, v.data.data(), 4);
  return d;
}

std::string RawText(HKEY root, const char* key, const char* name) {
  RawValue v = ReadRaw(root, key, name);
  EXPECT_TRUE(v.present) << name;
  EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ)) << name;
  return std::string(v.data.begin(), v.data.end());
}

void WriteDword(HKEY root, const char* name, DWORD value) {
  WriteRaw(root, kKey, name, REG_DWORD, &value, sizeof value);
}

// Makes every later create of the settings key fail: a lasting key cannot live under a
// volatile one.
void BlockSettingsKey(HKEY machine) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExA(machine, "SOFTWARE\\Harlune", 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(k);
}

class Settings : public ::testing::Test {
 protected:
  CScratchRegistry registry;
  CBoxRecorder boxes;
};

TEST_F(Settings, SingletonsStartEmptyAndCopiesAreIndependent) {
  EXPECT_EQ(QeltOption.LOADATSTART | QeltOption.BEEPALERT | QeltOption.RECORDLOG |
                QeltOption.CLEANLOG | QeltOption.LOGSAVEDAYS,
            0);
  EXPECT_TRUE(QeltOption.LOGPATH.empty());
  EXPECT_TRUE(QeltOption.BEEPALERT_PATH.empty());
  EXPECT_EQ(QeltUtil.Loaded(), 0u);
  EXPECT_EQ(QeltUtil.Library(), nullptr);

  // The options page edits its own copy, then assigns it to the global one.
  CQELTOption page;
  page.LOGPATH = "C:\\Logs";
  CQELTOption global;
  global = page;
  page.LOGPATH = "D:\\Other";
  EXPECT_EQ(global.LOGPATH, "C:\\Logs");
}

TEST_F(Settings, FreshMachineGivesTheDefaultsAndStartsFilteringOff) {
  CQELTOption option;
  option.LoadSettings();
  EXPECT_EQ(option.LOADATSTART, 0);
  EXPECT_EQ(option.BEEPALERT, 0);
  EXPECT_EQ(option.RECORDLOG, 0);
  EXPECT_EQ(option.CLEANLOG, 0);
  EXPECT_EQ(option.LOGSAVEDAYS, 0);
  EXPECT_EQ(option.LOGPATH, ProgramFolder() + "QELTLog");
  EXPECT_EQ(option.BEEPALERT_PATH, ProgramFolder() + "Alert.Wav");
  EXPECT_FALSE(KeyExists(registry.machine(), kKey)) << "loading must not write";

  EXPECT_EQ(ReadLevel(), 1);
  EXPECT_EQ(ReadCustomRuleFile(), "csec.rul");

  uint8_t enabled = 0xCC;
  EXPECT_EQ(ReadEnable(&enabled), 0u);
  EXPECT_EQ(enabled, 0);
  EXPECT_EQ(RawDword(registry.machine(), kKey, "Enable"), 0u);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Settings, LoadReadsStoredValuesInTheirTypes) {
  HKEY m = registry.machine();
  WriteDword(m, "LOADATSTART", 1);
  WriteDword(m, "BEEPALERT", 2);
  WriteDword(m, "RECORDLOG", 3);
  WriteDword(m, "CLEANLOG", 4);
  WriteDword(m, "LOGSAVEDAYS", 0xFFFFFFFF);
  const char logPath[] = "D:\\日志\\表";  // GBK, with a trail byte that looks like "\"
  WriteRaw(m, kKey, "LOGPATH", REG_SZ, logPath, sizeof logPath);
  // Stored by another writer without its terminator: read exactly, nothing more.
  const char sound[] = "E:\\ding.wav";
  WriteRaw(m, kKey, "BEEPALERT_PATH", REG_SZ, sound, sizeof sound - 1);

  CQELTOption option;
  option.LoadSettings();
  EXPECT_EQ(option.LOADATSTART, 1);
  EXPECT_EQ(option.BEEPALERT, 2);
  EXPECT_EQ(option.RECORDLOG, 3);
  EXPECT_EQ(option.CLEANLOG, 4);
  EXPECT_EQ(option.LOGSAVEDAYS, -1);
  EXPECT_EQ(option.LOGPATH, logPath);
  EXPECT_EQ(option.BEEPALERT_PATH, sound);
}

TEST_F(Settings, EmptyPathsAreReplacedByTheDefaults) {
  HKEY m = registry.machine();
  WriteRaw(m, kKey, "LOGPATH", REG_SZ, "", 1);          // just the terminator
  WriteRaw(m, kKey, "BEEPALERT_PATH", REG_SZ, "", 0);   // size 0
  CQELTOption option;
  option.LoadSettings();
  EXPECT_EQ(option.LOGPATH, ProgramFolder() + "QELTLog");
  EXPECT_EQ(option.BEEPALERT_PATH, ProgramFolder() + "Alert.Wav");

  WriteRaw(m, kKey, "LOGPATH", REG_SZ, "", 0);
  option.LoadSettings();
  EXPECT_EQ(option.LOGPATH, ProgramFolder() + "QELTLog");
}

TEST_F(Settings, ReadHelpersFallBackOnMissingOrMisSizedValues) {
  HKEY m = registry.machine();
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, kKey, "Nothing", 77), 77u);
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, kKey, "Nothing", "dflt"), "dflt");
  const BYTE two[2] = {1, 2};
  WriteRaw(m, kKey, "Short", REG_BINARY, two, sizeof two);
  const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  WriteRaw(m, kKey, "Long", REG_BINARY, eight, sizeof eight);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, kKey, "Short", 77), 77u);
  EXPECT_EQ(ReadRegistryDword(HKEY_LOCAL_MACHINE, kKey, "Long", 77), 77u);
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, kKey, "Nothing", "dflt"), "dflt");
  WriteRaw(m, kKey, "Empty", REG_SZ, "", 0);
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, kKey, "Empty", "dflt"), "");

  std::string big(3000, 'x');
  big[1500] = 'y';
  ASSERT_EQ(WriteRegistryText(HKEY_LOCAL_MACHINE, kKey, "Big", big.c_str()), 1u);
  EXPECT_EQ(ReadRegistryText(HKEY_LOCAL_MACHINE, kKey, "Big", ""), big);
}

TEST_F(Settings, TextsAreStoredWithTheirTerminator) {
  ASSERT_EQ(WriteRegistryText(HKEY_LOCAL_MACHINE, kKey, "T", "abc"), 1u);
  EXPECT_EQ(RawText(registry.machine(), kKey, "T"), std::string("abc", 4));
  ASSERT_EQ(WriteRegistryText(HKEY_LOCAL_MACHINE, kKey, "E", ""), 1u);
  EXPECT_EQ(RawText(registry.machine(), kKey, "E"), std::string("", 1));
}

TEST_F(Settings, SaveWritesEveryValueAndLoadGivesThemBack) {
  CQELTOption option;
  option.BEEPALERT = 1;
  option.RECORDLOG = 1;
  option.CLEANLOG = 1;
  option.LOGSAVEDAYS = 30;
  option.LOGPATH = "C:\\防火墙\\日志";
  option.BEEPALERT_PATH = "C:\\a.wav";
  ASSERT_EQ(option.SaveSettings(), 1u);

  HKEY m = registry.machine();
  EXPECT_EQ(RawDword(m, kKey, "LOADATSTART"), 0u);
  EXPECT_EQ(RawDword(m, kKey, "BEEPALERT"), 1u);
  EXPECT_EQ(RawDword(m, kKey, "RECORDLOG"), 1u);
  EXPECT_EQ(RawDword(m, kKey, "CLEANLOG"), 1u);
  EXPECT_EQ(RawDword(m, kKey, "LOGSAVEDAYS"), 30u);
  EXPECT_EQ(RawText(m, kKey, "LOGPATH"), option.LOGPATH + '\0');
  EXPECT_EQ(RawText(m, kKey, "BEEPALERT_PATH"), option.BEEPALERT_PATH + '\0');

  CQELTOption back;
  back.LoadSettings();
  EXPECT_EQ(back.BEEPALERT, 1);
  EXPECT_EQ(back.LOGSAVEDAYS, 30);
  EXPECT_EQ(back.LOGPATH, option.LOGPATH);
  EXPECT_EQ(back.BEEPALERT_PATH, option.BEEPALERT_PATH);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(Settings, StartWithWindowsIsMirroredIntoTheUsersRunKey) {
  const char* run = kRunKey;
  CQELTOption option;
  // Never existed: removing it is a success.
  ASSERT_FALSE(KeyExists(registry.user(), run));
  EXPECT_EQ(option.SaveSettings(), 1u);
  EXPECT_FALSE(ReadRaw(registry.user(), run, "QELT").present);

  option.LOADATSTART = 1;
  ASSERT_EQ(option.SaveSettings(), 1u);
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  // Quoted: under "C:\\Program Files" an unquoted path may start "C:\\Program.exe".
  EXPECT_EQ(RawText(registry.user(), run, "QELT"), "\"" + std::string(module) + "\"" + '\0');
  EXPECT_FALSE(KeyExists(registry.machine(), run)) << "the current user only";

  // Switched off again: the entry goes, other programs' entries stay.
  const char other[] = "C:\\other.exe";
  WriteRaw(registry.user(), run, "Other", REG_SZ, other, sizeof other);
  option.LOADATSTART = 0;
  EXPECT_EQ(option.SaveSettings(), 1u);
  EXPECT_FALSE(ReadRaw(registry.user(), run, "QELT").present);
  EXPECT_TRUE(ReadRaw(registry.user(), run, "Other").present);
}

TEST_F(Settings, AKeyThatCannotBeCreatedStopsTheSaveWithTheSystemsReason) {
  BlockSettingsKey(registry.machine());
  CQELTOption option;
  option.LOADATSTART = 1;
  EXPECT_EQ(option.SaveSettings(), 0u);
  // One box for the first value; nothing after it is tried.
  ASSERT_EQ(boxes.boxes.size(), 1u);
  const RecordedBox& box = boxes.boxes[0];
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.caption, "错误");
  EXPECT_EQ(box.flags, kMbOk | kMbIconInformation);
  // The registry's own error, not whatever the thread's last error happened to hold.
  EXPECT_EQ(box.text, SystemMessage(ERROR_CHILD_MUST_BE_VOLATILE));
  EXPECT_NE(box.text, SystemMessage(ERROR_SUCCESS));
  EXPECT_FALSE(KeyExists(registry.user(), kRunKey));

  EXPECT_EQ(WriteRegistryText(HKEY_LOCAL_MACHINE, kKey, "LOGPATH", "x"), 0u);
  EXPECT_EQ(WriteLevel(2), 1u);
  EXPECT_EQ(WriteEnable(1), 1u);
  EXPECT_EQ(boxes.boxes.size(), 1u) << "only the 32-bit helper shows a box";
}

TEST_F(Settings, ShowLastErrorShowsTheSystemText) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  ShowLastError();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, SystemMessage(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(boxes.boxes[0].text.empty());
  EXPECT_EQ(boxes.boxes[0].caption, "错误");
}

TEST_F(Settings, EnableReadsAsStoredAndAKeyWithoutItStaysAsItIs) {
  HKEY m = registry.machine();
  WriteDword(m, "Level", 2);  // the key exists, "Enable" does not
  uint8_t enabled = 1;
  EXPECT_EQ(ReadEnable(&enabled), 0u);
  EXPECT_EQ(enabled, 0);
  EXPECT_FALSE(ReadRaw(m, kKey, "Enable").present);

  WriteDword(m, "Enable", 5);
  EXPECT_EQ(ReadEnable(&enabled), 0u);
  EXPECT_EQ(enabled, 1);
  ASSERT_EQ(WriteEnable(0), 0u);
  EXPECT_EQ(RawDword(m, kKey, "Enable"), 0u);
  EXPECT_EQ(ReadEnable(&enabled), 0u);
  EXPECT_EQ(enabled, 0);
  ASSERT_EQ(WriteEnable(1), 0u);
  EXPECT_EQ(RawDword(m, kKey, "Enable"), 1u);
}

TEST_F(Settings, LevelIsStoredUnlimitedAndDefaultsToMedium) {
  ASSERT_FALSE(KeyExists(registry.machine(), kKey));
  ASSERT_EQ(WriteLevel(3), 0u);  // creates the key
  EXPECT_EQ(RawDword(registry.machine(), kKey, "Level"), 3u);
  EXPECT_EQ(ReadLevel(), 3);
  ASSERT_EQ(WriteLevel(9), 0u);
  EXPECT_EQ(ReadLevel(), 9);
  ASSERT_EQ(WriteLevel(-1), 0u);
  EXPECT_EQ(ReadLevel(), -1);
  ASSERT_EQ(DeleteRegistryValue(HKEY_LOCAL_MACHINE, kKey, "Level"), 1u);
  EXPECT_EQ(ReadLevel(), 1) << "key present, value missing";
  EXPECT_EQ(DeleteRegistryValue(HKEY_LOCAL_MACHINE, kKey, "Level"), 0u);
}

TEST_F(Settings, CustomRuleFileDefaultsAndRoundTrips) {
  EXPECT_EQ(ReadCustomRuleFile(), "csec.rul");
  ASSERT_EQ(WriteCustomRuleFile("D:\\规则\\mine.rul"), 1u);
  EXPECT_EQ(RawText(registry.machine(), kKey, "Crul"), std::string("D:\\规则\\mine.rul") + '\0');
  EXPECT_EQ(ReadCustomRuleFile(), "D:\\规则\\mine.rul");
  ASSERT_EQ(WriteCustomRuleFile(""), 1u);
  EXPECT_EQ(ReadCustomRuleFile(), "csec.rul");
}

}  // namespace
