// What another program can learn of the console's windows. Every control window answers a
// query for its component name sent as WM_COPYDATA (nothing system-wide is kept per window),
// so tools find a windowed control by name and read its text with WM_GETTEXT (GetWindowText
// gives only a caption across processes). Windowless controls (labels, images) have no window:
// for those, and for a whole window's description, a form answers a query the same way.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/framework/messages.h"

namespace windowquery_detail {
inline std::string& Answer() {
  static std::string answer;
  return answer;
}
inline LRESULT CALLBACK AnswerProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data != nullptr && data->dwData == kCopyDataAnswer) {
      Answer().assign(static_cast<const char*>(data->lpData), data->lpData ? data->cbData : 0);
      return TRUE;
    }
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

// Sends one query to `top` and returns the answer ("" without one).
inline std::string Ask(HWND top, ULONG_PTR tag, const std::string& payload, UINT timeoutMs) {
  static ATOM windowClass = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = AnswerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TWindowQueryAnswer";
    return RegisterClassA(&wc);
  }();
  if (windowClass == 0) return "";
  HWND asker = CreateWindowExA(0, "TWindowQueryAnswer", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  if (asker == nullptr) return "";
  Answer().clear();
  std::string data = payload;
  COPYDATASTRUCT ask = {tag, static_cast<DWORD>(data.size() + 1), &data[0]};
  DWORD_PTR result = 0;
  SendMessageTimeoutA(top, WM_COPYDATA, reinterpret_cast<WPARAM>(asker), reinterpret_cast<LPARAM>(&ask),
                      SMTO_ABORTIFHUNG, timeoutMs, &result);
  DestroyWindow(asker);
  return Answer();
}
}  // namespace windowquery_detail

// The component name of `window` (of any process), "" when it has none.
inline std::string ComponentName(HWND window, UINT timeoutMs = 2000) {
  return windowquery_detail::Ask(window, kCopyDataName, "", timeoutMs);
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

// Any control of a console form, with or without a window of its own.
struct CControlInfo {
  std::string className;
  std::string name;
  RECT screen = {0, 0, 0, 0};  // on the screen
  bool showing = false;        // visible with all its parents
  bool enabled = false;
  HWND window = nullptr;  // its own window; nullptr for a windowless control
  HWND host = nullptr;    // the window it is drawn on (its own, or its parent's)
  std::string text;       // window text or caption
};

// Asks the form `top` (of any process) for its control `name`; false when there is none.
inline bool QueryControl(HWND top, const char* name, CControlInfo* info, UINT timeoutMs = 5000) {
  std::string line = windowquery_detail::Ask(top, kCopyDataFind, name, timeoutMs);
  if (line.empty()) return false;
  // class, name, screen rectangle, showing, enabled, window, host, then the text (which may
  // hold tabs of its own).
  std::string field[8];
  size_t start = 0;
  for (int i = 0; i < 7; ++i) {
    size_t tab = line.find('\t', start);
    if (tab == std::string::npos) return false;
    field[i] = line.substr(start, tab - start);
    start = tab + 1;
  }
  field[7] = line.substr(start);
  info->className = field[0];
  info->name = field[1];
  long l = 0, t = 0, r = 0, b = 0;
  if (sscanf(field[2].c_str(), "%ld %ld %ld %ld", &l, &t, &r, &b) != 4) return false;
  info->screen = RECT{l, t, r, b};
  info->showing = field[3] == "1";
  info->enabled = field[4] == "1";
  info->window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(strtoul(field[5].c_str(), nullptr, 10)));
  info->host = reinterpret_cast<HWND>(static_cast<UINT_PTR>(strtoul(field[6].c_str(), nullptr, 10)));
  info->text = field[7];
  if (info->window != nullptr) info->text = WindowText(info->window, timeoutMs);
  return true;
}

// The descendant window of `top` whose component name is `name`, or nullptr. A form knows
// its controls by name; any other window's children are asked one by one.
inline HWND FindControl(HWND top, const char* name) {
  CControlInfo info;
  if (QueryControl(top, name, &info) && info.window != nullptr && info.window != top) return info.window;
  windowquery_detail::CQuery query = {name, nullptr};
  EnumChildWindows(top, windowquery_detail::MatchName, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

// The description of the form `top` (of any process), one line per control.
inline std::string DescribeWindow(HWND top, UINT timeoutMs = 5000) {
  return windowquery_detail::Ask(top, kCopyDataDescribe, "", timeoutMs);
}
