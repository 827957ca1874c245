// A small test driver that works the real console from outside, as a user and the system
// around it would: it starts Vardeen.exe, finds its windows by class and caption and its
// controls by their component name, clicks them, reads their texts, and reads and writes the
// console's registry values. Every wait is a bounded poll; a console it started is always
// killed in the end.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/win32/support/files.h"
#include "tests/win32/support/services.h"
#include "ui/framework/windowquery.h"

// Generous bounds for a loaded machine; a poll ends as soon as its condition holds.
constexpr DWORD kStartBound = 20000;
constexpr DWORD kStepBound = 10000;

// Polls `condition` every 20 ms until it holds or `bound` ms have passed, dispatching this
// thread's messages meanwhile (windows of the test receive what the console posts them).
bool WaitUntil(const std::function<bool()>& condition, DWORD bound = kStepBound);

// A copy of the console's program folder: Vardeen.exe, res\enable.bmp, res\disable.bmp and
// the four level files, taken from the build's bin folder. Removed again with its content.
class CProgramFolder {
 public:
  explicit CProgramFolder(const char* tag);
  ~CProgramFolder();
  CProgramFolder(const CProgramFolder&) = delete;
  CProgramFolder& operator=(const CProgramFolder&) = delete;

  const std::string& Path() const { return path_; }  // ends in "\"
  std::string File(const char* name) const { return path_ + name; }
  // Copies a file of the build's bin folder (a level file, the companion library) here.
  bool CopyFromBuild(const char* source, const char* name) const;
  bool Ready() const { return ready_; }

 private:
  std::string path_;
  bool ready_ = false;
};

// The console's settings under HKEY_LOCAL_MACHINE "SOFTWARE\Harlune\Qelt".
bool SetSettingDword(const char* name, DWORD value);
bool SetSettingText(const char* name, const char* text);
bool DeleteSetting(const char* name);
// false when the value is missing or not 4 bytes.
bool ReadSettingDword(const char* name, DWORD* value);

// Top-level windows of a process with a class (and a caption, unless nullptr).
std::vector<HWND> TopWindows(DWORD pid, const char* windowClass, const char* caption = nullptr);
// Every top-level window of that class on the desktop, whatever its process.
int CountTopWindows(const char* windowClass);
// ComponentName, FindControl and WindowText (GBK) come from the widget layer's window query.
// Pixels of `colour` (each channel within 8) in the control's rectangle as the screen shows it.
int CountScreenPixels(HWND control, COLORREF colour);
// A left click at the centre of the control: button down, button up, as the mouse sends them.
void ClickControl(HWND control);
// The same for any control, with or without a window (a label is clicked on its host).
void ClickControl(const CControlInfo& control);
// A key pressed and released while the control has the keyboard.
void PressKey(HWND control, UINT key);

// One rkfwctl command run in this process; the output, or "" with `*status` set to the
// exit code when it failed.
std::string Rkfwctl(const std::string& line, int* status = nullptr);
// The lines "name value" of `rkfwctl status`; empty when the driver does not answer.
std::map<std::string, std::string> DriverStatus();
uint32_t DriverCounter(const char* name);  // 0 when missing

// The console's kernel service.
constexpr const char* kConsoleService = "RkFw_slot";
// Takes the service away and puts it back with the same configuration when destroyed.
class CServiceRemoval {
 public:
  explicit CServiceRemoval(const char* name);
  ~CServiceRemoval();
  bool Removed() const { return removed_; }

 private:
  std::string name_;
  std::string binary_;
  DWORD type_ = SERVICE_KERNEL_DRIVER;
  DWORD start_ = SERVICE_DEMAND_START;
  DWORD error_ = SERVICE_ERROR_NORMAL;
  bool removed_ = false;
};

// The console's single-instance mark; left behind by a console that was killed.
constexpr const char* kInstanceAtom = "QELT 6.22";
void ClearInstanceMark();

// One console process started from a program folder.
class CConsole {
 public:
  CConsole() = default;
  ~CConsole();  // kills the console when it still runs
  CConsole(const CConsole&) = delete;
  CConsole& operator=(const CConsole&) = delete;

  bool Start(const CProgramFolder& folder);
  bool Start(const std::string& exe);  // a console installed elsewhere
  DWORD Pid() const { return pid_; }
  bool Running() const;
  // Waits for the main window ("TFWMainForm", caption "Vardeen") to be shown.
  HWND WaitMainWindow(DWORD bound = kStartBound);
  HWND MainWindow() const { return main_; }
  // A control of the main window by component name.
  HWND Control(const char* name) const { return main_ ? FindControl(main_, name) : nullptr; }
  // Any control of the main window, windowless ones too (empty name when there is none).
  CControlInfo Find(const char* name) const {
    CControlInfo info;
    if (main_ == nullptr || !QueryControl(main_, name, &info)) info = CControlInfo();
    return info;
  }
  // The caption of a control of the main window ("" when it has none).
  std::string TextOf(const char* name) const { return Find(name).text; }
  // true with the exit code once the process has ended within `bound`.
  bool WaitExit(DWORD* code, DWORD bound = kStepBound);
  void Kill();

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  HWND main_ = nullptr;
};
