// A number entry: an edit with up and down arrows, kept within Min and Max. One control of
// two windows inside a container window of its own.
#pragma once
#include <windows.h>

#include "ui/framework/control.h"

class CSpinEdit : public CControl {
 public:
  CSpinEdit(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TSpinEdit"; }
  void SetRange(int min, int max);
  int Min() const { return min_; }
  int Max() const { return max_; }
  // The number shown, within the range (text that is no number reads as Min).
  int Value() const;
  // The number typed, not held to the range: 0 for empty text; false when the text is no
  // whole number (blanks around it allowed), so a caller can refuse instead of clamping.
  bool TypedValue(long* value) const;
  void SetValue(int value);  // fires OnChange when the text changes
  HWND EditHandle() const { return edit_; }
  CNotifyEvent OnChange;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;
  void Resized() override;
  void StateChanged() override;

 private:
  HWND edit_ = nullptr;    // child, destroyed with the container
  HWND updown_ = nullptr;  // child, destroyed with the container
  int min_ = 0, max_ = 100, value_ = 0;
};
