#pragma once
#include <windows.h>

#include "ui/framework/control.h"
#include "ui/framework/gdi.h"

// The system track bar; vertical with four positions for the level slider.
class CTrackBar : public CControl {
 public:
  CTrackBar(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TTrackBar"; }
  void SetVertical(bool vertical) { vertical_ = vertical; }
  void SetRange(int min, int max);
  void SetPosition(int position);  // does not fire OnChange
  int Position() const;
  int Min() const { return min_; }
  int Max() const { return max_; }
  // Fires when the user moves the thumb to another position.
  CNotifyEvent OnChange;

  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;
  void Resized() override;

 private:
  CBrush background_;  // the parent's surface under the bar, as a pattern brush
  bool vertical_ = false;
  int min_ = 0, max_ = 10, position_ = 0;
};
