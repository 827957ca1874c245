// The controls the console's windows are made of.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

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
  void PaintSurface(HDC dc, const RECT& area) override;
  void Paint(HDC dc) override;

 private:
  TBevel bevel_ = TBevel::None;
  bool transparent_ = false;
};

// Text on its parent's surface. Its window text is the caption, so tools can read it.
class CLabel : public CControl {
 public:
  CLabel(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TLabel"; }
  void SetTransparent(bool transparent) { transparent_ = transparent; Invalidate(); }
  void SetAlignment(UINT drawTextFlags) { alignment_ = drawTextFlags; Invalidate(); }  // DT_LEFT ...
  void SetWordWrap(bool wrap) { wordWrap_ = wrap; Invalidate(); }
  // Width and height of the caption in the label's font.
  SIZE TextExtent() const;

 protected:
  void Paint(HDC dc) override;
  bool MouseTransparent() const override { return !OnClick && !OnDblClick; }

 private:
  bool transparent_ = true;
  bool wordWrap_ = false;
  UINT alignment_ = DT_LEFT;
};

// A picture (owned bitmap), drawn plain, centred or stretched, optionally with a colour
// left out. Its neighbours above show it through their transparent parts.
class CImage : public CControl {
 public:
  CImage(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TImage"; }
  void SetPicture(HBITMAP bitmap);  // takes ownership
  bool LoadFromFile(const char* path);
  HBITMAP Picture() const { return picture_.Get(); }
  void SetStretch(bool stretch) { stretch_ = stretch; Invalidate(); }
  void SetCenter(bool center) { center_ = center; Invalidate(); }
  void SetTransparentColor(COLORREF color) { transparentColor_ = color; Invalidate(); }

 protected:
  bool PaintsOnParent() const override { return true; }
  void PaintContent(HDC dc) override;
  void Paint(HDC dc) override;
  bool MouseTransparent() const override { return !OnClick && !OnDblClick; }

 private:
  CBitmap picture_;
  bool stretch_ = false;
  bool center_ = false;
  COLORREF transparentColor_ = CLR_INVALID;
};

enum class TButtonLayout : uint32_t { GlyphLeft = 0, GlyphRight = 1, GlyphTop = 2, GlyphBottom = 3 };

// A push button with a picture. Until its form styles it (messages 0x621 and 0x622) it has
// the raised standard look; styled, it is flat: no frame at rest, a thin raised frame under
// the mouse, a sunken one while pressed, the glyph drawn with its transparent colour left out.
class CGlyphButton : public CControl {
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

 private:
  CBitmap glyph_;
  HBITMAP skinGlyph_ = nullptr;  // shared: the glyph the form handed over
  HFONT skinFont_ = nullptr;     // shared, not owned
  TButtonLayout layout_ = TButtonLayout::GlyphLeft;
  COLORREF transparentColor_ = CLR_INVALID;
  bool flat_ = false;
  bool hot_ = false;
};

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

// A multi-line text area. Appending adds at the end without setting the whole text again,
// and the text has no size limit beyond the system's own.
class CMemo : public CControl {
 public:
  CMemo(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TMemo"; }
  void SetReadOnly(bool readOnly);
  void SetScrollBars(bool vertical, bool horizontal);
  void SetWordWrap(bool wrap) { wordWrap_ = wrap; }
  // Appends `text` as new lines at the end ("\r\n" or "\n" inside; a line end is added).
  void AppendLines(const char* text);
  void Clear();
  int LineCount() const;
  std::string AllText() const;
  uint32_t TextLength() const;

  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;

 private:
  bool readOnly_ = false;
  bool vertical_ = true;
  bool horizontal_ = false;
  bool wordWrap_ = true;
};
