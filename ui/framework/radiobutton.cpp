#include "ui/framework/radiobutton.h"

CRadioButton::CRadioButton(CComponent* owner, const char* name) : CCheckBox(owner, name) {}

void CRadioButton::SetChecked(bool checked) {
  if (checked && Parent() != nullptr)
    for (int i = 0; i < Parent()->ChildCount(); ++i) {
      auto* other = dynamic_cast<CRadioButton*>(Parent()->Child(i));
      if (other != nullptr && other != this && other->Checked()) other->CCheckBox::SetChecked(false);
    }
  CCheckBox::SetChecked(checked);
}
