// What the window benchmarks share: a millisecond clock, the count of this thread's
// windows (children included), of the process's GDI objects and of its tool tips' tools.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <chrono>

namespace bench {
using Clock = std::chrono::steady_clock;

inline double Millis(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

inline BOOL CALLBACK CountChild(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

inline BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  EnumChildWindows(window, CountChild, count);
  return TRUE;
}

inline int ProcessWindows() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

// GDI objects of this process: the system's count where it keeps one (NT), else (Wine, whose
// count is a stub) every handle value whose low word is a live entry of the handle table.
inline int GdiObjects() {
  using GetGuiResourcesFn = DWORD(WINAPI*)(HANDLE, DWORD);
  static auto count = reinterpret_cast<GetGuiResourcesFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetGuiResources")));
  if (count != nullptr)
    if (DWORD n = count(GetCurrentProcess(), 0 /* GR_GDIOBJECTS */)) return static_cast<int>(n);
  int live = 0;
  for (UINT_PTR h = 1; h < 0x10000; ++h)
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(h)) != 0) ++live;
  return live;
}

inline BOOL CALLBACK CountTools(HWND window, LPARAM count) {
  char name[32];
  if (GetClassNameA(window, name, sizeof name) && lstrcmpiA(name, TOOLTIPS_CLASSA) == 0)
    *reinterpret_cast<int*>(count) += static_cast<int>(SendMessageA(window, TTM_GETTOOLCOUNT, 0, 0));
  return TRUE;
}

// The tools of this thread's tool tips.
inline int ToolTipTools() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountTools, reinterpret_cast<LPARAM>(&count));
  return count;
}
}  // namespace bench
