#include "ui/framework/edit.h"

CEdit::CEdit(CComponent* owner, const char* name) : CControl(owner, name) {
  SetTabStop(true);
  SetColor(GetSysColor(COLOR_WINDOW));
}

void CEdit::CreateParams(CCreateParams& params) {
  params.windowClass = "EDIT";
  params.style = WS_CHILD | WS_CLIPSIBLINGS | ES_AUTOHSCROLL | (readOnly_ ? ES_READONLY : 0) |
                 (numbersOnly_ ? ES_NUMBER : 0);
  params.exStyle = WS_EX_CLIENTEDGE;
}

void CEdit::HandleCreated() {
  if (maxLength_ > 0) SendMessageA(Handle(), EM_SETLIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void CEdit::SetMaxLength(int length) {
  maxLength_ = length;
  if (Handle() != nullptr) SendMessageA(Handle(), EM_SETLIMITTEXT, static_cast<WPARAM>(length), 0);
}

void CEdit::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  if (Handle() != nullptr) SendMessageA(Handle(), EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void CEdit::SelectAll() {
  if (Handle() != nullptr) SendMessageA(Handle(), EM_SETSEL, 0, -1);
}

bool CEdit::HandleNotification(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
    SyncTextFromWindow(this);
    Fire(OnChange, this);
    *result = 0;
    return true;
  }
  return false;
}

void SyncTextFromWindow(CControl* control) {
  // The caption only: the window already shows it.
  if (control->Handle() != nullptr) control->SetCaptionOnly(control->WindowText().c_str());
}
