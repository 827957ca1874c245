#include "ui/framework/checkbox.h"

CCheckBox::CCheckBox(CComponent* owner, const char* name) : CControl(owner, name) {
  SetTabStop(true);
  SetParentColor(true);
}

void CCheckBox::CreateParams(CCreateParams& params) {
  params.windowClass = "BUTTON";
  // Not the automatic styles: the state changes in Toggle, where radio groups are kept.
  params.style = WS_CHILD | WS_CLIPSIBLINGS | ButtonStyle();
}

void CCheckBox::HandleCreated() {
  SendMessageA(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CCheckBox::Checked() const { return checked_; }

void CCheckBox::SetChecked(bool checked) {
  checked_ = checked;
  if (Handle() != nullptr) SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CCheckBox::Click() {
  if (!Enabled()) return;
  Toggle();
  CControl::Click();
}

bool CCheckBox::HandleNotification(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
  if (msg == WM_COMMAND && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == BN_DBLCLK)) {
    Click();
    *result = 0;
    return true;
  }
  if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetBkColor(dc, Color());
    SetTextColor(dc, FontColor());
    *result = reinterpret_cast<LRESULT>(SharedSolidBrush(Color()));
    return true;
  }
  return false;
}
