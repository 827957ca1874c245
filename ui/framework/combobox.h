// The system's drop-down list (no typing): items with a 32-bit value each.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/framework/control.h"

class CComboBox : public CControl {
 public:
  CComboBox(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TComboBox"; }
  // How many items the opened list shows without scrolling.
  void SetDropDownCount(int count) { dropDownCount_ = count; }

  int AddItem(const char* text, uint32_t value = 0);
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& ItemText(int index) const { return items_[static_cast<size_t>(index)].text; }
  uint32_t ItemValue(int index) const { return items_[static_cast<size_t>(index)].value; }
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
  struct CItem {
    std::string text;
    uint32_t value;
  };
  std::vector<CItem> items_;
  int itemIndex_ = -1;
  int dropDownCount_ = 8;
};
