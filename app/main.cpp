// The program's entry: one console at a time, the socket layer checked, the main window
// created (its creation handler opens the driver and loads the rules), then the settings and
// the companion library, log trimming around the message loop, and the clean-up.
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

void TrimLogs() {
  if (QeltOption.CLEANLOG != 0 && QeltUtil.Loaded())
    QeltUtil.QLETCleanLog(QeltOption.LOGPATH.c_str(), QeltOption.LOGSAVEDAYS);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  HInstance = instance;
  if (GlobalFindAtomA(kInstanceAtom) != 0) return 0;  // the running console stays as it is
  ATOM atom = GlobalAddAtomA(kInstanceAtom);
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
  } catch (const std::exception& e) {  // framework errors among them
    Application.HandleException(e.what());
  }
  // The main window goes before the atom, so that filtering is off before a new console
  // can start.
  Application.Shutdown();
  if (atom != 0) GlobalDeleteAtom(atom);
  WSACleanup();
  return 0;
}
