// A windowless area whose owner draws it in OnPaint, on the parent's surface.
#pragma once
#include <windows.h>

#include "ui/framework/control.h"

class CPaintBox : public CControl {
 public:
  CPaintBox(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TPaintBox"; }
  // Surface: a DC whose origin is the box's top left corner, clipped to the box.
  CPaintEvent OnPaint;

 protected:
  void Paint(HDC dc) override;
  bool MouseTransparent() const override { return !HasMouseHandlers(); }
};
