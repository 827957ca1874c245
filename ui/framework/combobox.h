// The system's drop-down list (no typing): items with a 32-bit value each.
#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/framework/control.h"
#include "ui/framework/valueitems.h"

class CComboBox : public CControl, public CValueItems {
 public:
  CComboBox(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TComboBox"; }
  bool HasDropDown() const override { return true; }
  // How many items the opened list shows without scrolling.
  void SetDropDownCount(int count) { dropDownCount_ = count; }

  int AddItem(const char* text, uint32_t value = 0);
  void Clear();
  // The chosen item, or -1. SetItemIndex does not fire OnChange.
  int ItemIndex() const;
  void SetItemIndex(int index);

  CNotifyEvent OnChange;  // the user chose another item
  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  int WindowHeight(int height) const override;
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;

 private:
  int itemIndex_ = -1;
  int dropDownCount_ = 8;
};
