#include "app/qeltoption.h"

#include "app/registry.h"
#include "platform/gbk.h"
#include "platform/paths.h"

namespace {

// The program's folder followed by `name`, or an empty text when that does not fit.
std::string ProgramFile(const char* name) {
  char path[kPathTextSize];
  return GetProgramFilePath(name, path) ? std::string(path) : std::string();
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
  if (!RegistryKeyOpens(HKEY_LOCAL_MACHINE, kSettingsKeyPath)) {
    WriteEnable(0);  // a fresh machine starts with filtering off, and says so in the registry
    return 0;
  }
  // A key without "Enable" reads as off and stays as it is.
  *enabled = ReadRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Enable", 0) != 0 ? 1 : 0;
  return 0;
}

// These two answer 0 when stored, as their callers take them, and tell no one of a key that
// cannot be made.
uint32_t WriteEnable(uint8_t enabled) {
  return WriteRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Enable", enabled, TKeyFailure::Silent) ? 0 : 1;
}

int32_t ReadLevel() {
  // Medium, the slider's own starting position, when the key or the value is missing.
  return static_cast<int32_t>(ReadRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Level", 1));
}

uint32_t WriteLevel(int32_t level) {
  return WriteRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Level", static_cast<uint32_t>(level),
                            TKeyFailure::Silent)
             ? 0
             : 1;
}

std::string ReadCustomRuleFile() {
  std::string path =
      ReadRegistryText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Crul", kDefaultCustomRuleFile, kPathTextSize);
  // An empty name would load nothing at all; the default set is what the user expects.
  return path.empty() ? std::string(kDefaultCustomRuleFile) : path;
}

uint32_t WriteCustomRuleFile(const char* path) {
  return WriteRegistryText(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Crul", path);
}
