#include "app/qeltoption.h"

#include "app/registry.h"
#include "platform/gbk.h"
#include "platform/win32/handles.h"
#include "platform/paths.h"

namespace {

// The program's folder followed by `name`, or an empty text when that does not fit.
std::string ProgramFile(const char* name) {
  char path[kPathTextSize];
  return GetProgramFilePath(name, path) ? std::string(path) : std::string();
}

// RegOpenKeyExA into an owner that holds nothing unless the call succeeded.
LONG OpenKey(HKEY root, const char* path, REGSAM access, CRegKey& key) {
  HKEY opened = nullptr;
  LONG status = RegOpenKeyExA(root, path, 0, access, &opened);
  key.Reset(status == ERROR_SUCCESS ? opened : nullptr);
  return status;
}

// True when `name` is absent under `key` (an absent key counts as absent too).
bool RegistryValueAbsent(HKEY root, const char* key, const char* name) {
  CRegKey k;
  LONG status = OpenKey(root, key, KEY_QUERY_VALUE, k);
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return false;
  DWORD size = 0;
  status = RegQueryValueExA(k.Get(), name, nullptr, nullptr, nullptr, &size);
  return status == ERROR_FILE_NOT_FOUND;
}

// Opens the settings key for writing, creating it when it cannot be opened.
CRegKey OpenOrCreateSettingsKey() {
  CRegKey k;
  if (OpenKey(HKEY_LOCAL_MACHINE, kSettingsKeyPath, KEY_WRITE, k) == ERROR_SUCCESS) return k;
  HKEY created = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &created, &disposition) == ERROR_SUCCESS)
    k.Reset(created);
  return k;
}

uint32_t WriteSettingsDword(const char* name, uint32_t value) {
  CRegKey k = OpenOrCreateSettingsKey();
  if (!k.Valid()) return 1;
  DWORD data = value;
  LONG status =
      RegSetValueExA(k.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
  return status == ERROR_SUCCESS ? 0 : 1;
}

// Reads a REG_DWORD of the settings key into `*value`; false (another type, another size, no
// value) leaves it untouched.
bool ReadSettingsDword(HKEY k, const char* name, DWORD* value) {
  DWORD data = 0, size = sizeof data;
  DWORD type = 0;
  if (RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof data)
    return false;
  *value = data;
  return true;
}

}  // namespace

CQELTOption::~CQELTOption() = default;

void CQELTOption::LoadSettings() {
  LOADATSTART = static_cast<int32_t>(ReadRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "LOADATSTART", 0));
  BEEPALERT = static_cast<int32_t>(ReadRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "BEEPALERT", 0));
  RECORDLOG = static_cast<int32_t>(ReadRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "RECORDLOG", 0));
  CLEANLOG = static_cast<int32_t>(ReadRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "CLEANLOG", 0));
  LOGSAVEDAYS = static_cast<int32_t>(ReadRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "LOGSAVEDAYS", 0));
  // The options page saves paths of up to 260 characters; each must read back as saved, not
  // turn into the default folder at the next start.
  LOGPATH = ReadRegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, "LOGPATH", "", kPathTextSize + 1);
  BEEPALERT_PATH = ReadRegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, "BEEPALERT_PATH", "", kPathTextSize + 1);
  if (LOGPATH.empty()) LOGPATH = ProgramFile("QELTLog");
  if (BEEPALERT_PATH.empty()) BEEPALERT_PATH = ProgramFile("Alert.Wav");
}

bool LogFolderFits(const std::string& folder) {
  bool separated = false;  // as the library joins them: a GBK pair's second byte is no separator
  ForEachSingleByteChar(folder.c_str(), folder.size(), [&](size_t i) {
    separated = i + 1 == folder.size() && (folder[i] == '\\' || folder[i] == '/');
  });
  return folder.size() + (separated ? 0 : 1) + kLogFileNameLength < 260;
}

uint32_t CQELTOption::SaveSettings() {
  const struct {
    const char* name;
    int32_t value;
  } numbers[] = {{"LOADATSTART", LOADATSTART}, {"BEEPALERT", BEEPALERT}, {"RECORDLOG", RECORDLOG},
                 {"CLEANLOG", CLEANLOG}, {"LOGSAVEDAYS", LOGSAVEDAYS}};
  for (const auto& n : numbers)
    if (!WriteRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, n.name, static_cast<uint32_t>(n.value)))
      return 0;
  if (!WriteRegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, "LOGPATH", LOGPATH.c_str())) return 0;
  if (!WriteRegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, "BEEPALERT_PATH", BEEPALERT_PATH.c_str()))
    return 0;

  if (LOADATSTART != 0) {
    char module[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 0;  // a cut path would start the wrong program
    const std::string quoted = std::string("\"") + module + "\"";
    return WriteRegistryText(HKEY_CURRENT_USER, kRunKey, kRunValue, quoted.c_str());
  }
  DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValue);  // absent already is fine
  return RegistryValueAbsent(HKEY_CURRENT_USER, kRunKey, kRunValue) ? 1 : 0;
}

uint32_t ReadEnable(uint8_t* enabled) {
  *enabled = 0;
  CRegKey k;
  if (OpenKey(HKEY_LOCAL_MACHINE, kSettingsKeyPath, KEY_READ, k) != ERROR_SUCCESS) {
    WriteEnable(0);  // a fresh machine starts with filtering off, and says so in the registry
    return 0;
  }
  DWORD value = 0;
  // A key without "Enable" reads as off and stays as it is.
  if (ReadSettingsDword(k.Get(), "Enable", &value)) *enabled = value != 0 ? 1 : 0;
  return 0;
}

uint32_t WriteEnable(uint8_t enabled) { return WriteSettingsDword("Enable", enabled); }

int32_t ReadLevel() {
  DWORD level = 1;  // medium, the slider's own starting position
  CRegKey k;
  if (OpenKey(HKEY_LOCAL_MACHINE, kSettingsKeyPath, KEY_READ, k) == ERROR_SUCCESS)
    ReadSettingsDword(k.Get(), "Level", &level);
  return static_cast<int32_t>(level);
}

uint32_t WriteLevel(int32_t level) { return WriteSettingsDword("Level", static_cast<uint32_t>(level)); }

std::string ReadCustomRuleFile() {
  std::string path =
      ReadRegistryText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Crul", kDefaultCustomRuleFile, kPathTextSize);
  // An empty name would load nothing at all; the default set is what the user expects.
  return path.empty() ? std::string(kDefaultCustomRuleFile) : path;
}

uint32_t WriteCustomRuleFile(const char* path) {
  return WriteRegistryText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Crul", path);
}
