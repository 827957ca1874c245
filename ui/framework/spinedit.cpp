#include "ui/framework/spinedit.h"

#include <commctrl.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

CSpinEdit::CSpinEdit(CComponent* owner, const char* name) : CControl(owner, name) {
  SetTabStop(true);
  SetParentColor(true);
}

void CSpinEdit::CreateParams(CCreateParams& params) { params.exStyle |= WS_EX_CONTROLPARENT; }

void CSpinEdit::HandleCreated() {
  char text[16];
  snprintf(text, sizeof text, "%d", value_);
  edit_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", text,
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_NUMBER, 0, 0,
                          Width(), Height(), Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
  updown_ = CreateWindowExA(0, UPDOWN_CLASSA, "",
                            WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_SETBUDDYINT |
                                UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                            0, 0, 0, 0, Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
  SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
  SendMessageA(updown_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit_), 0);
  SendMessageA(updown_, UDM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
  SendMessageA(updown_, UDM_SETPOS32, 0, value_);
  StateChanged();
}

void CSpinEdit::Resized() {
  if (edit_ != nullptr) {
    // The arrows take their room from the edit again.
    SetWindowPos(edit_, nullptr, 0, 0, Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(updown_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit_), 0);
  }
  CControl::Resized();
}

void CSpinEdit::StateChanged() {
  if (edit_ == nullptr) return;
  EnableWindow(edit_, Enabled());
  EnableWindow(updown_, Enabled());
}

void CSpinEdit::SetRange(int min, int max) {
  min_ = min;
  max_ = max < min ? min : max;
  if (updown_ != nullptr) SendMessageA(updown_, UDM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
  SetValue(Value());
}

int CSpinEdit::Value() const {
  long value = value_;
  if (edit_ != nullptr) {
    char text[32] = {};
    GetWindowTextA(edit_, text, sizeof text);
    char* end = nullptr;
    value = strtol(text, &end, 10);
    if (end == text) value = min_;
  }
  if (value < min_) value = min_;
  if (value > max_) value = max_;
  return static_cast<int>(value);
}

bool CSpinEdit::TypedValue(long* value) const {
  char text[32] = {};
  if (edit_ != nullptr) {
    // Longer text than fits is no port or code this entry can hold.
    if (GetWindowTextLengthA(edit_) >= static_cast<int>(sizeof text)) return false;
    GetWindowTextA(edit_, text, sizeof text);
  } else {
    snprintf(text, sizeof text, "%d", value_);
  }
  const char* p = text;
  while (*p == ' ') ++p;
  if (*p == 0) {
    *value = 0;
    return true;
  }
  char* end = nullptr;
  errno = 0;
  long typed = strtol(p, &end, 10);
  if (end == p || errno == ERANGE) return false;
  while (*end == ' ') ++end;
  if (*end != 0) return false;
  *value = typed;
  return true;
}

void CSpinEdit::SetValue(int value) {
  if (value < min_) value = min_;
  if (value > max_) value = max_;
  value_ = value;
  char text[16];
  snprintf(text, sizeof text, "%d", value);
  SetCaptionOnly(text);
  if (edit_ != nullptr) {
    SetWindowTextA(edit_, text);
    SendMessageA(updown_, UDM_SETPOS32, 0, value);
  }
}

LRESULT CSpinEdit::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lParam) == edit_ && edit_ != nullptr) {
        if (HIWORD(wParam) == EN_CHANGE) {
          char text[32] = {};
          GetWindowTextA(edit_, text, sizeof text);
          SetCaptionOnly(text);
          Fire(OnChange, this);
        }
        return 0;
      }
      break;
    case WM_SETFOCUS:
      if (edit_ != nullptr) ::SetFocus(edit_);
      return 0;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      if (edit_ != nullptr) return SendMessageA(edit_, msg, wParam, lParam);
      break;
    case WM_CTLCOLOREDIT:
      return DefWindowProcA(Handle(), msg, wParam, lParam);
    case WM_NCDESTROY:
      edit_ = updown_ = nullptr;
      break;
    default:
      break;
  }
  return CControl::WndProc(msg, wParam, lParam);
}
