#pragma once
#include <windows.h>

#include "ui/framework/control.h"
#include "ui/framework/gdi.h"

enum class TBevel { None, Lowered, Raised };

// A plain surface that holds other controls; optionally transparent (shows its parent).
class CPanel : public CControl {
 public:
  CPanel(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TPanel"; }
  void SetBevel(TBevel bevel) { bevel_ = bevel; Invalidate(); }
  void SetTransparent(bool transparent) { transparent_ = transparent; Invalidate(); }

 protected:
  void CreateParams(CCreateParams& params) override;
  bool WindowReusable() const override { return true; }
  void PaintSurface(HDC dc, const RECT& area) override;
  void Paint(HDC dc) override;

 private:
  TBevel bevel_ = TBevel::None;
  bool transparent_ = false;
};
