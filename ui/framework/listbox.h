// The system's list box: each item is a text with a 32-bit value attached (an address, a
// port). Single or multiple selection; the items are kept here too, so they may be added
// before the window exists.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/framework/control.h"
#include "ui/framework/valueitems.h"

class CListBox : public CControl, public CValueItems {
 public:
  CListBox(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TListBox"; }
  // Multiple selection with Shift and Ctrl (set before the window exists).
  void SetMultiSelect(bool multi) { multiSelect_ = multi; }

  int AddItem(const char* text, uint32_t value = 0);
  void DeleteItem(int index);
  void Clear();

  // The item with the caret (single selection: the selected one), or -1.
  int ItemIndex() const;
  void SetItemIndex(int index);
  bool Selected(int index) const;
  void SetSelected(int index, bool selected);
  std::vector<int> SelectedIndexes() const;
  std::vector<uint32_t> SelectedValues() const;
  // Deletes the selected items; returns how many.
  int DeleteSelected();

  CNotifyEvent OnChange;  // the selection changed by the user
  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;

 private:
  bool multiSelect_ = false;
};
