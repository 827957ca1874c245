// vardeenui.exe: what a script needs of the running console's main window.
//   vardeenui wait [MS]      waits (default 15000 ms) until the window is shown; 1 when it is not
//   vardeenui where NAME     prints the screen point "x y" at the middle of the control NAME
//   vardeenui text NAME      prints the control's text (GBK), the log page's memo too
//   vardeenui show-log       shows the log page, as the information page's view-log button does
// Controls are found by the component name the widget layer keeps on every window.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
constexpr UINT kShowLogView = 0x735;

HWND MainWindow() {
  HWND window = FindWindowA("TFWMainForm", "Vardeen");
  return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

struct CSearch {
  const char* name;
  HWND found;
};

BOOL CALLBACK MatchName(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<CSearch*>(param);
  // The property holds a global atom, so its name can be read from another process.
  ATOM atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropA(window, "TComponentName")));
  char name[256];
  if (atom != 0 && GlobalGetAtomNameA(atom, name, sizeof name) != 0 && strcmp(name, search->name) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND Control(HWND main, const char* name) {
  CSearch search = {name, nullptr};
  EnumChildWindows(main, MatchName, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Usage() {
  fputs("usage: vardeenui wait [MS] | where NAME | text NAME | show-log\n", stderr);
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
  HWND main = MainWindow();
  if (main == nullptr) {
    fputs("vardeenui: the console window is not shown\n", stderr);
    return 1;
  }
  if (strcmp(command, "show-log") == 0 && argc == 2) return PostMessageA(main, kShowLogView, 0, 0) ? 0 : 1;
  if (argc != 3 || (strcmp(command, "where") != 0 && strcmp(command, "text") != 0)) return Usage();
  HWND control = Control(main, argv[2]);
  if (control == nullptr || !IsWindowVisible(control)) {
    fprintf(stderr, "vardeenui: no visible control %s\n", argv[2]);
    return 1;
  }
  if (strcmp(command, "where") == 0) {
    RECT r;
    GetWindowRect(control, &r);
    printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  } else {
    // WM_GETTEXT, not GetWindowText: across processes the latter gives only a caption.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return 1;
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                             SMTO_ABORTIFHUNG, 5000, &copied))
      return 1;
    fwrite(text.data(), 1, copied, stdout);
    fputc('\n', stdout);
  }
  return 0;
}
