// A picture (owned bitmap), drawn plain, centred or stretched, optionally with a colour left
// out. Windowless: the parent draws it under its windowed children.
#pragma once
#include <windows.h>

#include "ui/framework/control.h"
#include "ui/framework/gdi.h"

class CImage : public CControl {
 public:
  CImage(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TImage"; }
  void SetPicture(HBITMAP bitmap);  // takes ownership
  bool LoadFromFile(const char* path);
  HBITMAP Picture() const { return picture_.Get(); }
  // An icon instead of a bitmap (shared, not owned), drawn at its own size.
  void SetIcon(HICON icon);
  HICON Icon() const { return icon_; }
  void SetStretch(bool stretch) { stretch_ = stretch; Invalidate(); }
  void SetCenter(bool center) { center_ = center; Invalidate(); }
  void SetTransparentColor(COLORREF color) { transparentColor_ = color; Invalidate(); }

 protected:
  void Paint(HDC dc) override;
  bool MouseTransparent() const override { return !HasMouseHandlers(); }

 private:
  CBitmap picture_;
  HICON icon_ = nullptr;  // shared, not owned
  bool stretch_ = false;
  bool center_ = false;
  COLORREF transparentColor_ = CLR_INVALID;
};
