// The system's check box. Its background is its parent's colour, so it sits on coloured
// cards. SetChecked does not fire OnClick; a click by the user or Click() does.
#pragma once
#include <windows.h>

#include "ui/framework/control.h"
#include "ui/framework/gdi.h"

class CCheckBox : public CControl {
 public:
  CCheckBox(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TCheckBox"; }
  bool Checked() const;
  virtual void SetChecked(bool checked);
  void Click() override;
  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;
  bool WindowReusable() const override { return true; }  // the check is set in HandleCreated
  // The button style: a check box, or a radio button in CRadioButton.
  virtual DWORD ButtonStyle() const { return BS_CHECKBOX; }
  // What a click does to the state before OnClick fires.
  virtual void Toggle() { SetChecked(!Checked()); }

 private:
  bool checked_ = false;
};
