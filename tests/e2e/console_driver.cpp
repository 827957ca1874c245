#include "tests/e2e/console_driver.h"

#include <sstream>

#include "standin/rkfwctl/rkfwctl.h"

namespace {
constexpr const char* kSettingsKey = "SOFTWARE\\Harlune\\Qelt";
constexpr const char* kLevelFiles[] = {"hsec.rul", "msec.rul", "lsec.rul", "csec.rul"};

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool CopyInto(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

struct CWindowQuery {
  DWORD pid;
  const char* windowClass;
  const char* caption;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM param) {
  auto* query = reinterpret_cast<CWindowQuery*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (query->pid != 0 && pid != query->pid) return TRUE;
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof name);
  if (lstrcmpA(name, query->windowClass) != 0) return TRUE;
  if (query->caption != nullptr && WindowText(hwnd) != query->caption) return TRUE;
  query->found.push_back(hwnd);
  return TRUE;
}

SC_HANDLE OpenManager() { return OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS); }
}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD bound) {
  // Where i386 is emulated everything takes longer; the build says how much (VARDEEN_TIME_SCALE).
  static const DWORD scale = [] {
    const char* text = getenv("VARDEEN_TIME_SCALE");
    DWORD value = text != nullptr ? strtoul(text, nullptr, 10) : 1;
    return value >= 1 && value <= 100 ? value : 1;
  }();
  bound *= scale;
  DWORD start = GetTickCount();
  for (;;) {
    PumpMessages();
    if (condition()) return true;
    if (GetTickCount() - start >= bound) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// ---- program folder ----

CProgramFolder::CProgramFolder(const char* tag) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  path_ = std::string(temp) + "vardeen-e2e-" + tag + "-" + std::to_string(GetCurrentProcessId()) + "\\";
  DeleteTree(path_);  // what an earlier, killed run left
  std::string bin = TestProgramFolder();
  ready_ = CreateDirectoryA(path_.c_str(), nullptr) && CreateDirectoryA((path_ + "res").c_str(), nullptr) &&
           CopyInto(bin + "Vardeen.exe", path_ + "Vardeen.exe") &&
           CopyInto(bin + "res\\enable.bmp", path_ + "res\\enable.bmp") &&
           CopyInto(bin + "res\\disable.bmp", path_ + "res\\disable.bmp");
  for (const char* level : kLevelFiles) ready_ = ready_ && CopyInto(bin + level, path_ + level);
}

CProgramFolder::~CProgramFolder() { DeleteTree(path_); }

bool CProgramFolder::CopyFromBuild(const char* source, const char* name) const {
  return CopyInto(TestProgramFolder() + source, path_ + name);
}

// ---- settings ----

bool SetSettingDword(const char* name, DWORD value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG r = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

bool SetSettingText(const char* name, const char* text) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG r = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(lstrlenA(text) + 1));
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

bool DeleteSetting(const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return true;
  LONG r = RegDeleteValueA(key, name);
  RegCloseKey(key);
  return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

bool ReadSettingDword(const char* name, DWORD* value) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD size = sizeof *value;
  DWORD type = 0;
  LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS && size == sizeof *value;
}

// ---- windows ----

std::vector<HWND> TopWindows(DWORD pid, const char* windowClass, const char* caption) {
  CWindowQuery query = {pid, windowClass, caption, {}};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

int CountTopWindows(const char* windowClass) {
  return static_cast<int>(TopWindows(0, windowClass).size());
}

int CountScreenPixels(HWND control, COLORREF colour) {
  RECT r;
  if (!GetWindowRect(control, &r)) return 0;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return 0;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  int count = 0;
  if (dib != nullptr) {
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* pixel = static_cast<const uint8_t*>(bits);  // blue, green, red, unused
    auto within = [](int a, int b) { return a - b <= 8 && b - a <= 8; };
    for (int i = 0; i < w * h; ++i, pixel += 4)
      if (within(pixel[2], GetRValue(colour)) && within(pixel[1], GetGValue(colour)) && within(pixel[0], GetBValue(colour)))
        ++count;
    SelectObject(memory, old);
    DeleteObject(dib);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return count;
}

void ClickControl(HWND control) {
  RECT r;
  GetClientRect(control, &r);
  LPARAM at = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
  PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(control, WM_LBUTTONUP, 0, at);
}

void ClickControl(const CControlInfo& control) {
  POINT at = {(control.screen.left + control.screen.right) / 2, (control.screen.top + control.screen.bottom) / 2};
  ScreenToClient(control.host, &at);
  LPARAM where = MAKELPARAM(at.x, at.y);
  PostMessageA(control.host, WM_LBUTTONDOWN, MK_LBUTTON, where);
  PostMessageA(control.host, WM_LBUTTONUP, 0, where);
}

void PressKey(HWND control, UINT key) {
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(key, 0)) << 16;
  PostMessageA(control, WM_KEYDOWN, key, scan | 1);
  PostMessageA(control, WM_KEYUP, key, scan | 1 | 0xC0000000);
}

// ---- driver ----

std::string Rkfwctl(const std::string& line, int* status) {
  CRkfwctl ctl;
  int result = ctl.Run(SplitRkfwctlLine(line));
  if (status != nullptr) *status = result;
  return result == kRkfwctlOk ? ctl.Out : "";
}

std::map<std::string, std::string> DriverStatus() {
  std::map<std::string, std::string> values;
  std::istringstream lines(Rkfwctl("status"));
  std::string name, value;
  while (lines >> name >> value) values[name] = value;
  return values;
}

uint32_t DriverCounter(const char* name) {
  auto values = DriverStatus();
  auto it = values.find(name);
  return it == values.end() ? 0 : static_cast<uint32_t>(strtoul(it->second.c_str(), nullptr, 10));
}

CServiceRemoval::CServiceRemoval(const char* name) : name_(name) {
  if (!StopService(name)) return;
  SC_HANDLE manager = OpenManager();
  if (manager == nullptr) return;
  SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_CONFIG | DELETE);
  if (service != nullptr) {
    DWORD needed = 0;
    QueryServiceConfigA(service, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (needed != 0 && QueryServiceConfigA(service, config, needed, &needed)) {
      binary_ = config->lpBinaryPathName ? config->lpBinaryPathName : "";
      type_ = config->dwServiceType;
      start_ = config->dwStartType;
      error_ = config->dwErrorControl;
      removed_ = !binary_.empty() && DeleteService(service);
    }
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  // The service goes when its last handle closes; wait until the manager forgets it.
  if (removed_) {
    WaitUntil([&] {
      SC_HANDLE m = OpenManager();
      SC_HANDLE s = m ? OpenServiceA(m, name_.c_str(), SERVICE_QUERY_STATUS) : nullptr;
      bool gone = m != nullptr && s == nullptr;
      if (s) CloseServiceHandle(s);
      if (m) CloseServiceHandle(m);
      return gone;
    });
  }
}

CServiceRemoval::~CServiceRemoval() {
  if (!removed_) return;
  SC_HANDLE manager = OpenManager();
  if (manager == nullptr) return;
  SC_HANDLE service = CreateServiceA(manager, name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS, type_, start_,
                                     error_, binary_.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

void ClearInstanceMark() {
  for (int i = 0; i < 16; ++i) {
    ATOM atom = GlobalFindAtomA(kInstanceAtom);
    if (atom == 0) return;
    GlobalDeleteAtom(atom);
  }
}

// ---- console ----

CConsole::~CConsole() { Kill(); }

bool CConsole::Start(const CProgramFolder& folder) { return Start(folder.File("Vardeen.exe")); }

bool CConsole::Start(const std::string& exe) {
  std::string command = "\"" + exe + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  // Started from elsewhere, as at logon: the console must find its files by its own path.
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, windows, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  pid_ = info.dwProcessId;
  return true;
}

bool CConsole::Running() const {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

HWND CConsole::WaitMainWindow(DWORD bound) {
  main_ = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopWindows(pid_, "TFWMainForm", "Vardeen"))
          if (IsWindowVisible(w)) main_ = w;
        return main_ != nullptr || !Running();
      },
      bound);
  return main_;
}

bool CConsole::WaitExit(DWORD* code, DWORD bound) {
  if (process_ == nullptr) return false;
  bool ended = WaitUntil([&] { return !Running(); }, bound);
  if (ended && code != nullptr) GetExitCodeProcess(process_, code);
  return ended;
}

void CConsole::Kill() {
  if (process_ == nullptr) return;
  if (Running()) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
    ClearInstanceMark();  // a killed console cannot take its mark away
  }
  CloseHandle(process_);
  process_ = nullptr;
  main_ = nullptr;
}
