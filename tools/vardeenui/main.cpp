// vardeenui.exe: what a script needs of the running console's main window.
//   vardeenui wait [MS]      waits (default 15000 ms) until the window is shown; 1 when it is not
//   vardeenui wait-for CLASS [MS]  waits until a top window of that class is shown (a prompt)
//   vardeenui where NAME     prints the screen point "x y" at the middle of the control NAME
//   vardeenui text NAME      prints the control's text (GBK), the log page's memo too
//                            (NAME may be CLASS/NAME: a control of another top window, such as
//                            TFWEventNotifyForm/PermitBtn)
//   vardeenui describe       prints the main window's description, one line per control
//   vardeenui show-log       shows the log page, as the information page's view-log button does
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/framework/windowquery.h"
#include "ui/framework/messages.h"

namespace {
HWND MainWindow() {
  HWND window = FindWindowA("TFWMainForm", "Vardeen");
  return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

HWND ShownWindowOfClass(const std::string& windowClass) {
  HWND window = FindWindowA(windowClass.c_str(), nullptr);
  return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

int Usage() {
  fputs("usage: vardeenui wait [MS] | wait-for CLASS [MS] | where NAME | text NAME | show-log | describe\n", stderr);
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const char* command = argv[1];
  if (strcmp(command, "wait") == 0) {
    DWORD limit = argc > 2 ? strtoul(argv[2], nullptr, 10) : 15000;
    for (DWORD waited = 0; MainWindow() == nullptr; waited += 100) {
      if (waited >= limit) {
        fputs("vardeenui: the console window did not appear\n", stderr);
        return 1;
      }
      Sleep(100);
    }
    return 0;
  }
  if (strcmp(command, "wait-for") == 0 && (argc == 3 || argc == 4)) {
    DWORD limit = argc > 3 ? strtoul(argv[3], nullptr, 10) : 15000;
    for (DWORD waited = 0; ShownWindowOfClass(argv[2]) == nullptr; waited += 100) {
      if (waited >= limit) {
        fprintf(stderr, "vardeenui: no %s appeared\n", argv[2]);
        return 1;
      }
      Sleep(100);
    }
    return 0;
  }
  HWND main = MainWindow();
  if (main == nullptr) {
    fputs("vardeenui: the console window is not shown\n", stderr);
    return 1;
  }
  if (strcmp(command, "show-log") == 0 && argc == 2) return PostMessageA(main, WM_SHOWLOGVIEW, 0, 0) ? 0 : 1;
  if (strcmp(command, "describe") == 0 && argc == 2) {
    std::string description = DescribeWindow(main);
    fwrite(description.data(), 1, description.size(), stdout);
    return description.empty() ? 1 : 0;
  }
  if (argc != 3 || (strcmp(command, "where") != 0 && strcmp(command, "text") != 0)) return Usage();
  // Labels and pictures have no window of their own: the console answers for every control.
  std::string name = argv[2];
  HWND top = main;
  size_t slash = name.find('/');
  if (slash != std::string::npos) {
    top = ShownWindowOfClass(name.substr(0, slash));
    name.erase(0, slash + 1);
  }
  CControlInfo control;
  if (top == nullptr || !QueryControl(top, name.c_str(), &control) || !control.showing) {
    fprintf(stderr, "vardeenui: no visible control %s\n", argv[2]);
    return 1;
  }
  if (strcmp(command, "where") == 0) {
    const RECT& r = control.screen;
    printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  } else {
    fwrite(control.text.data(), 1, control.text.size(), stdout);
    fputc('\n', stdout);
  }
  return 0;
}
