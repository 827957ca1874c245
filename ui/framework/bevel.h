// A bevelled line or frame, windowless.
#pragma once
#include <windows.h>

#include "ui/framework/control.h"

enum class TBevelShape { Box, Frame, TopLine, BottomLine, LeftLine, RightLine };
enum class TBevelStyle { Lowered, Raised };

class CBevel : public CControl {
 public:
  CBevel(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TBevel"; }
  void SetShape(TBevelShape shape) { shape_ = shape; Invalidate(); }
  void SetStyle(TBevelStyle style) { style_ = style; Invalidate(); }

 protected:
  void Paint(HDC dc) override;
  bool MouseTransparent() const override { return !HasMouseHandlers(); }

 private:
  TBevelShape shape_ = TBevelShape::Box;
  TBevelStyle style_ = TBevelStyle::Lowered;
};
