// The system's radio button. The radio buttons of one parent form a group: checking one
// clears the others. In a form, Tab stops at the group's checked button and the arrow keys
// move within the group.
#pragma once
#include "ui/framework/checkbox.h"

class CRadioButton : public CCheckBox {
 public:
  CRadioButton(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TRadioButton"; }
  bool IsRadioButton() const override { return true; }
  // Checking clears the other radio buttons of the parent.
  void SetChecked(bool checked) override;

 protected:
  DWORD ButtonStyle() const override { return BS_RADIOBUTTON; }
  void Toggle() override { SetChecked(true); }
};
