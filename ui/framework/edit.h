// The system's single-line edit. Text() follows the user's typing; OnChange fires on every
// change of the text, by the user or by SetText.
#pragma once
#include <windows.h>

#include "ui/framework/control.h"

class CEdit : public CControl {
 public:
  CEdit(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TEdit"; }
  void SetMaxLength(int length);
  void SetReadOnly(bool readOnly);
  void SetNumbersOnly(bool numbersOnly) { numbersOnly_ = numbersOnly; }
  void SelectAll();
  CNotifyEvent OnChange;
  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;

 private:
  int maxLength_ = 0;
  bool readOnly_ = false;
  bool numbersOnly_ = false;
};

// Re-reads the window text of a native control into its caption (after the user typed).
void SyncTextFromWindow(CControl* control);
