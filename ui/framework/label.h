// Text on its parent's surface: windowless, drawn by the parent. Transparent by default;
// opaque, it fills its area with its colour first.
#pragma once
#include <windows.h>

#include "ui/framework/control.h"

class CLabel : public CControl {
 public:
  CLabel(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TLabel"; }
  void SetTransparent(bool transparent) { transparent_ = transparent; Invalidate(); }
  void SetAlignment(UINT drawTextFlags) { alignment_ = drawTextFlags; Invalidate(); }  // DT_LEFT ...
  void SetLayout(UINT drawTextFlags) { layout_ = drawTextFlags; Invalidate(); }  // DT_TOP, DT_VCENTER
  void SetWordWrap(bool wrap) { wordWrap_ = wrap; Invalidate(); }
  // Width and height of the caption in the label's font.
  SIZE TextExtent() const;

 protected:
  void Paint(HDC dc) override;
  bool MouseTransparent() const override { return !HasMouseHandlers(); }

 private:
  bool transparent_ = true;
  bool wordWrap_ = false;
  UINT alignment_ = DT_LEFT;
  UINT layout_ = DT_TOP;
};
