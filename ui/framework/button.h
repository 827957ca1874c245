// Push buttons. Every push button can carry a modal result, which a click hands to its form
// before the click handler runs (the handler may set mrNone again to keep the form open),
// and can be the default button (Enter) or the cancel button (Esc) of its form.
#pragma once
#include <windows.h>

#include "ui/framework/control.h"

class CButtonControl : public CControl {
 public:
  CButtonControl(CComponent* owner, const char* name);
  void SetModalResult(int result) { modalResult_ = result; }
  int ModalResult() const { return modalResult_; }
  void SetDefault(bool isDefault) { default_ = isDefault; }
  void SetCancel(bool isCancel) { cancel_ = isCancel; }
  bool IsButton() const override { return true; }
  bool IsDefault() const override { return default_; }
  bool IsCancel() const override { return cancel_; }
  void Click() override;

 private:
  int modalResult_ = 0;
  bool default_ = false;
  bool cancel_ = false;
};

// The system's push button, with a caption.
class CButton : public CButtonControl {
 public:
  CButton(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TButton"; }
  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  void CreateParams(CCreateParams& params) override;
};
