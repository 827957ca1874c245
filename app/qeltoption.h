// The console's persistent settings: the options record, its process-wide holder and the
// single values "Enable", "Level" and "Crul". Everything lives under HKEY_LOCAL_MACHINE
// "SOFTWARE\Harlune\Qelt"; start with Windows is mirrored into the current user's Run key.
// This header needs no <windows.h>; the implementation is Win32 only.
#pragma once
#include <cstdint>
#include <string>

// The logging and start-up options, as the options page edits them.
struct QELT_OPTION_STRUCT {
  int32_t LOADATSTART = 0;  // non-zero: start with Windows
  int32_t BEEPALERT = 0;    // non-zero: beep on every system event
  int32_t RECORDLOG = 0;    // non-zero: hand every log text to the companion library
  int32_t CLEANLOG = 0;     // non-zero: trim old logs at start and at exit
  int32_t LOGSAVEDAYS = 0;  // days of logs to keep when trimming
  std::string LOGPATH;         // log folder given to the companion library
  std::string BEEPALERT_PATH;  // sound file chosen on the options page (shown, not played)
};

// The companion library's daily log file, "QELT-YYYY-MM-DD.log", joined to the log folder,
// must fit a Windows path (260 bytes with its end): a longer one is never written.
constexpr size_t kLogFileNameLength = 19;
bool LogFolderFits(const std::string& folder);
// Trimming keeps that many days; only a count the user chose (1 or more) trims anything.
inline bool TrimDaysChosen(int32_t days) { return days >= 1; }

// Constructed with zeros and empty texts; nothing is read until LoadSettings. Copies are deep,
// so the options page can edit its own instance and assign it to the global one. Destroying
// it never saves.
class CQELTOption : public QELT_OPTION_STRUCT {
 public:
  CQELTOption() = default;
  CQELTOption(const CQELTOption&) = default;
  CQELTOption& operator=(const CQELTOption&) = default;
  virtual ~CQELTOption();

  // Reads the seven values; missing ones take their defaults ("LOGPATH": the program's folder
  // and "QELTLog"; "BEEPALERT_PATH": the program's folder and "Alert.Wav"). Shows nothing.
  void LoadSettings();
  // Writes the seven values, then writes or removes the Run entry "QELT" (the program's path
  // in quotes, so that a blank in it cannot start another program).
  // 1 when everything was written, 0 at the first failure.
  uint32_t SaveSettings();
};

// The process-wide settings, loaded by the entry point.
extern CQELTOption QeltOption;

// "Enable". Always 0. With no settings key, "Enable" is created as 0; with the key but no
// value, nothing is written. `*enabled` is 1 for any non-zero stored value, else 0.
uint32_t ReadEnable(uint8_t* enabled);
// 0 when stored, 1 when the key could be neither opened nor created or the value not set.
uint32_t WriteEnable(uint8_t enabled);

// "Level" as stored, not limited to 0..3; 1 (medium) when the key or the value is missing.
int32_t ReadLevel();
// 0 when stored (the key is created when missing), 1 on failure.
uint32_t WriteLevel(int32_t level);

// "Crul", the rule file of the custom level; "csec.rul" when missing.
constexpr const char* kDefaultCustomRuleFile = "csec.rul";
std::string ReadCustomRuleFile();
// 1 when stored, 0 on failure.
uint32_t WriteCustomRuleFile(const char* path);
