// A captioned frame around a group of controls; it holds them (Tab walks them in order).
#pragma once
#include <windows.h>

#include "ui/framework/control.h"

class CGroupBox : public CControl {
 public:
  CGroupBox(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TGroupBox"; }

 protected:
  void CreateParams(CCreateParams& params) override;
  void Paint(HDC dc) override;
};
