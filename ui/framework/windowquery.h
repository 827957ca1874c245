// What another program can learn of the console's windows: every control window carries its
// component name as a window property holding a global atom, so tools and tests find a control
// by name from outside the process, and read its text with WM_GETTEXT (GetWindowText would give
// only a caption across processes).
#pragma once
#include <windows.h>

#include <string>

constexpr const char* kComponentNameProperty = "TComponentName";

// The component name of `window`, "" when it has none.
inline std::string ComponentName(HWND window) {
  ATOM atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropA(window, kComponentNameProperty)));
  char name[256] = {};
  if (atom == 0 || GlobalGetAtomNameA(atom, name, sizeof name) == 0) return "";
  return name;
}

namespace windowquery_detail {
struct CQuery {
  const char* name;
  HWND found;
};
inline BOOL CALLBACK MatchName(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<CQuery*>(param);
  if (ComponentName(window) != query->name) return TRUE;
  query->found = window;
  return FALSE;
}
}  // namespace windowquery_detail

// The descendant of `top` whose component name is `name`, or nullptr.
inline HWND FindControl(HWND top, const char* name) {
  windowquery_detail::CQuery query = {name, nullptr};
  EnumChildWindows(top, windowquery_detail::MatchName, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

// The whole text of a window of any process; "" when it does not answer within `timeoutMs`.
inline std::string WindowText(HWND window, UINT timeoutMs = 2000) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &length)) return "";
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                           SMTO_ABORTIFHUNG, timeoutMs, &copied))
    return "";
  text.resize(copied);
  return text;
}
