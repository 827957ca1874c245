// The program's entry: one console at a time (a second start brings the first to the front),
// the socket layer checked, the main window created (its creation handler opens the driver
// and loads the rules), then the settings and the companion library, log trimming around the
// message loop, and the clean-up.
#include <winsock2.h>
#include <windows.h>

#include <exception>

#include "app/qeltoption.h"
#include "app/qeltutil.h"
#include "platform/msgbox.h"
#include "ui/framework/application.h"
#include "ui/tfwmain/tfwmain.h"

HINSTANCE HInstance = nullptr;

namespace {
constexpr const char* kInstanceAtom = "QELT 6.22";

// 1 when WinSock 2.2 is there; 0 after telling the user (the layer is released again).
int CheckWinSock() {
  WSADATA data = {};
  if (WSAStartup(0x0202, &data) != 0) {
    WSACleanup();
    ShowMessageBox(nullptr, "初始化SOCKET失败!", "提示", kMbOk);
    return 0;
  }
  if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
    WSACleanup();
    ShowMessageBox(nullptr, "需要WinSock2.2以上的版本!", "提示", kMbOk);
    return 0;
  }
  return 1;
}

// Brings the running console's window to the front, from the tray too (its main window
// handles the restore). A console still starting has no window yet: then nothing happens.
void ActivateRunningConsole() {
  HWND window = FindWindowA("TFWMainForm", "Vardeen");
  if (window == nullptr) return;
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(window, WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_ABORTIFHUNG, 2000, &answer);
  SetForegroundWindow(window);
}

// Owns the mutex that says "a console runs". The system releases it with the process, so a
// killed console never locks the next one out.
class CInstanceMutex {
 public:
  explicit CInstanceMutex(const char* name) : handle_(CreateMutexA(nullptr, FALSE, name)) {
    existed_ = handle_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
  }
  ~CInstanceMutex() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  CInstanceMutex(const CInstanceMutex&) = delete;
  CInstanceMutex& operator=(const CInstanceMutex&) = delete;
  // True when another process holds the name (a failed creation counts as another console:
  // the name is taken by an object of another kind).
  bool OtherConsoleRuns() const { return handle_ == nullptr || existed_; }

 private:
  HANDLE handle_;
  bool existed_ = false;
};

void TrimLogs() {
  // Only a day count the user chose trims: 0 or a negative count would delete every log.
  if (QeltOption.CLEANLOG != 0 && TrimDaysChosen(QeltOption.LOGSAVEDAYS) && QeltUtil.Loaded())
    QeltUtil.QLETCleanLog(QeltOption.LOGPATH.c_str(), QeltOption.LOGSAVEDAYS);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  HInstance = instance;
  // The mutex decides; the atom stays for programs that look for it. An atom without the
  // mutex was left by a console that was killed: it is taken over, and deleted at the end.
  CInstanceMutex running(kInstanceAtom);
  if (running.OtherConsoleRuns()) {
    ActivateRunningConsole();
    return 0;
  }
  ATOM atom = GlobalFindAtomA(kInstanceAtom);
  if (atom == 0) atom = GlobalAddAtomA(kInstanceAtom);
  if (!CheckWinSock()) {
    if (atom != 0) GlobalDeleteAtom(atom);
    return 0;
  }
  try {
    Application.Initialize();
    Application.SetTitle("Vardeen");
    Application.CreateForm<TFWMainForm>();
    QeltOption.LoadSettings();
    QeltUtil.Load();
    TrimLogs();
    Application.Run();
    TrimLogs();
  } catch (...) {  // framework errors among them
    Application.HandleException();
  }
  // The main window goes before the atom, so that filtering is off before a new console
  // can start.
  Application.Shutdown();
  if (atom != 0) GlobalDeleteAtom(atom);
  WSACleanup();
  return 0;
}
