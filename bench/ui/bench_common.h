// What the window benchmarks share: a millisecond clock and the count of this thread's
// windows, children included.
#pragma once
#include <windows.h>

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
}  // namespace bench
