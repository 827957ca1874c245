#include "ui/framework/button.h"

#include "ui/framework/form.h"

CButtonControl::CButtonControl(CComponent* owner, const char* name) : CControl(owner, name) {
  SetTabStop(true);
}

void CButtonControl::Click() {
  if (!Enabled()) return;
  if (modalResult_ != mrNone)
    if (CForm* form = ParentForm()) form->SetModalResult(modalResult_);
  CControl::Click();
}

CButton::CButton(CComponent* owner, const char* name) : CButtonControl(owner, name) {}

void CButton::CreateParams(CCreateParams& params) {
  params.windowClass = "BUTTON";
  params.style = WS_CHILD | WS_CLIPSIBLINGS | BS_PUSHBUTTON;
}

bool CButton::HandleNotification(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    Click();
    *result = 0;
    return true;
  }
  return false;
}
