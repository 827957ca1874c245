// What the console's end-to-end tests share: a fixture that gives each test a fresh driver
// and settings key (and puts the user's settings back afterwards), and readers of what the
// driver holds, decoded by rkfwctl's own decoders.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/array.h"
#include "base/bufferptr.h"
#include "driver/rkfw.h"
#include "platform/heap.h"
#include "rules/auditrules.h"
#include "rules/iprules.h"
#include "rules/loader.h"
#include "rules/rulefile.h"
#include "standin/rkfwctl/rkfwctl.h"
#include "tests/e2e/console_driver.h"

constexpr UINT kShowLogView = 0x735;
constexpr UINT kFilterState = 0x9100;
constexpr UINT kTrayCallback = WM_APP + 0x200;  // the tray icon's callback message
constexpr const char* kEnabledText = "启用中";
constexpr const char* kDisabledText = "禁用中";
// The main colours of res\\enable.bmp and res\\disable.bmp.
constexpr COLORREF kEnabledGreen = RGB(34, 160, 70);
constexpr COLORREF kDisabledRed = RGB(200, 50, 45);

inline std::string Covered(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  POINT middle = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  return WindowFromPoint(middle) == control ? "" : " (another window covers it)";
}

// The switch shows the picture of `enabled`: many pixels of its colour, none of the other's.
// Read from the screen, so nothing may cover the console (under Xvfb nothing does).
inline bool ShowsGlyph(HWND button, bool enabled) {
  int green = CountScreenPixels(button, kEnabledGreen), red = CountScreenPixels(button, kDisabledRed);
  return enabled ? green > 100 && red == 0 : red > 100 && green == 0;
}

// What the driver shows for the IP rules of a rule file, decoded by rkfwctl's reader.
inline std::string IpRulesOf(const std::string& path) {
  _Array<_RKFW_RULE> rules(18);
  if (ReadRuleFile(path.c_str(), rules) != 0) return "unreadable " + path;
  _bytePtr image;
  uint32_t built = BuildIpRuleImage(rules, image);
  ReleaseRules(rules);
  if (built != 0) return "no image";
  return DescribeIpImage(image.Data(), image.Length());
}

// The audit file's body is, byte for byte, the image the driver is given.
inline std::string AuditRulesOf(const std::string& path) {
  _bytePtr body;
  if (ReadRuleFileBody(path.c_str(), true, body) != 0) return "unreadable " + path;
  return DescribeAuditImage(body.Data(), body.Length());
}

inline std::string EmptyAuditRules() {
  _Array<_RKFW_AUDIT_RULE> none(kAuditRuleGrowStep);
  _bytePtr body;
  if (BuildAuditBody(none, body) != 0) return "no body";
  return DescribeAuditImage(body.Data(), body.Length());
}

inline char* HeapText(const char* text) {
  size_t n = strlen(text);
  auto* copy = static_cast<char*>(PlatformAlloc(static_cast<uint32_t>(n + 1)));
  memcpy(copy, text, n + 1);
  return copy;
}

struct CAuditEntry {
  CAuditEntry(const char* path, uint32_t access = 0x07) : path(path), access(access) {}  // permit
  const char* path;
  uint32_t access;
};

inline bool WriteAuditRules(const std::string& path, const std::vector<CAuditEntry>& programs) {
  _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
  uint32_t id = 0x5000;
  for (const CAuditEntry& program : programs) {
    _RKFW_AUDIT_RULE rule;
    memset(&rule, 0, sizeof rule);
    InitAuditRule(&rule);
    rule.RuleId = ++id;
    rule.AppPath = HeapText(program.path);
    rule.Access = program.access;
    rules.Append(rule);
  }
  uint32_t written = WriteAuditFile(path.c_str(), rules);
  ReleaseAuditRules(rules);
  return written == 0;
}

inline std::string DriverLine(const char* command) {
  std::string out = Rkfwctl(command);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// Cuts a file to its first `size` bytes.
inline bool TruncateFile(const std::string& path, LONG size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool done = SetFilePointer(file, size, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && SetEndOfFile(file);
  CloseHandle(file);
  return done;
}

// Returns once the console's window thread has finished what it was doing.
inline bool SyncWith(HWND window) {
  DWORD_PTR answer = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kStepBound, &answer) != 0;
}

inline int WindowHeight(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return r.bottom - r.top;
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The console's settings key as it was, put back afterwards so that a demo in the same prefix
// keeps its own settings.
class CSavedSettings {
 public:
  void Save() {
    values_.clear();
    HKEY key;
    present_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS;
    if (!present_) return;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD nameSize = sizeof name, type = 0, size = 0;
      if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
      CValue value = {name, type, std::vector<BYTE>(size)};
      nameSize = sizeof name;
      if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, value.data.data(), &size) == ERROR_SUCCESS)
        values_.push_back(value);
    }
    RegCloseKey(key);
  }
  void Restore() const {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
    if (!present_) return;
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return;
    for (const CValue& v : values_)
      RegSetValueExA(key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    RegCloseKey(key);
  }

 private:
  struct CValue {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
  };
  static constexpr const char* kSettingsKey = "SOFTWARE\\Harlune\\Qelt";
  bool present_ = false;
  std::vector<CValue> values_;
};

// A message box of the console's process with this caption, once it shows; nullptr when none
// comes within `bound`.
inline HWND WaitMessageBox(const CConsole& console, const char* caption, DWORD bound = kStepBound) {
  HWND box = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopWindows(console.Pid(), "#32770", caption))
          if (IsWindowVisible(w)) box = w;
        return box != nullptr;
      },
      bound);
  return box;
}

inline std::string MessageBoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text != nullptr ? WindowText(text) : std::string();
}

// Clicks the box's OK button and waits until the box is gone.
inline bool AnswerMessageBox(HWND box) {
  HWND ok = GetDlgItem(box, IDOK);
  if (ok == nullptr) return false;
  ClickControl(ok);
  return WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
}

// Types `path` into the console's file dialog titled `title` and presses its OK button; an
// empty path presses Cancel.
inline bool AnswerFileDialog(const CConsole& console, const char* title, const std::string& path) {
  HWND dialog = WaitMessageBox(console, title);
  if (dialog == nullptr) return false;
  // The file name box: a combo box in the explorer look, an edit in the old one.
  HWND name = GetDlgItem(dialog, 0x47C);
  if (name == nullptr) name = GetDlgItem(dialog, 0x480);
  if (!path.empty() && (name == nullptr || !SetWindowTextA(name, path.c_str()))) return false;
  const int button = path.empty() ? IDCANCEL : IDOK;
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
  return WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

class ConsoleE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { saved_.Save(); }
  static void TearDownTestSuite() {
    saved_.Restore();
    // The services are left as install-standin.sh leaves them: stopped.
    StopService(kConsoleService);
  }

  void SetUp() override {
    ASSERT_NE(0u, ServiceState(kConsoleService)) << "run tools/install-standin.sh first";
    ASSERT_EQ(0, CountTopWindows("TFWMainForm")) << "a console is already running";
    ClearInstanceMark();
    // A fresh driver for every test: the console starts the stopped service itself.
    ASSERT_TRUE(StopService(kConsoleService));
    // Settings a user might have left (logging, sounds) do not reach into a test.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Harlune\\Qelt");
    ASSERT_TRUE(SetSettingDword("Enable", 0));
    ASSERT_TRUE(SetSettingDword("Level", 1));
  }

  // Starts the console and waits until its main window shows and the level's rules are in.
  void StartConsole(CConsole& console, const CProgramFolder& folder) {
    ASSERT_TRUE(folder.Ready()) << folder.Path();
    ASSERT_TRUE(console.Start(folder)) << GetLastError();
    ASSERT_NE(nullptr, console.WaitMainWindow()) << "no main window";
    ASSERT_TRUE(WaitUntil([] { return DriverCounter("ip-loads") >= 1; })) << "the level's rules never came";
  }

  // Ends the console with its close label "×", as a user would; the process must end cleanly.
  void CloseConsole(CConsole& console) {
    CControlInfo close = console.Find("Label13");
    ASSERT_EQ("Label13", close.name);
    ClickControl(close);
    DWORD code = 1;
    ASSERT_TRUE(console.WaitExit(&code)) << "the console did not end";
    EXPECT_EQ(0u, code);
  }

  inline static CSavedSettings saved_;
};

