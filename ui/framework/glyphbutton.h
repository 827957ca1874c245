#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/framework/button.h"
#include "ui/framework/gdi.h"

enum class TButtonLayout : uint32_t { GlyphLeft = 0, GlyphRight = 1, GlyphTop = 2, GlyphBottom = 3 };

// A push button with a picture. Until its form styles it (messages 0x621 and 0x622) it has
// the raised standard look; styled, it is flat: no frame at rest, a thin raised frame under
// the mouse, a sunken one while pressed, the glyph drawn with its transparent colour left out.
// With the keyboard it shows a focus frame; Space presses it, as do Enter and Esc through
// its form's dialog keys.
class CGlyphButton : public CButtonControl {
 public:
  CGlyphButton(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TGlyphButton"; }

  void SetGlyph(HBITMAP bitmap);  // takes ownership
  bool LoadGlyphFromFile(const char* path);
  HBITMAP Glyph() const { return glyph_.Get(); }
  void SetLayout(TButtonLayout layout) { layout_ = layout; Invalidate(); }
  TButtonLayout Layout() const { return layout_; }

  // The styling state the two private messages set.
  bool Flat() const { return flat_; }
  COLORREF TransparentColor() const { return transparentColor_; }
  HBITMAP SkinGlyph() const { return skinGlyph_; }
  HFONT SkinFont() const { return skinFont_; }
  bool Hot() const { return hot_; }

  // Sends the two styling messages to this button's window, as forms do once per button.
  void ApplyFlatLook(COLORREF transparent = 0x8080);

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void Paint(HDC dc) override;
  bool WindowReusable() const override { return true; }

 private:
  CBitmap glyph_;
  HBITMAP skinGlyph_ = nullptr;  // shared: the glyph the form handed over
  HFONT skinFont_ = nullptr;     // shared, not owned
  TButtonLayout layout_ = TButtonLayout::GlyphLeft;
  COLORREF transparentColor_ = CLR_INVALID;
  bool flat_ = false;
  bool hot_ = false;
};
