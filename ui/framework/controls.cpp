#include "ui/framework/controls.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

// ---- CPanel ----

CPanel::CPanel(CComponent* owner, const char* name) : CControl(owner, name) {}

void CPanel::PaintSurface(HDC dc, const RECT& area) {
  if (transparent_ && Parent() != nullptr) Parent()->PaintUnder(this, dc);
  else CControl::PaintSurface(dc, area);
}

void CPanel::Paint(HDC dc) {
  RECT client = ClientRect();
  PaintSurface(dc, client);
  if (bevel_ != TBevel::None)
    DrawEdge(dc, &client, bevel_ == TBevel::Raised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
}

// ---- CLabel ----

CLabel::CLabel(CComponent* owner, const char* name) : CControl(owner, name) {}

SIZE CLabel::TextExtent() const {
  SIZE size = {0, 0};
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font());
  GetTextExtentPoint32A(dc, Text().c_str(), static_cast<int>(Text().size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size;
}

void CLabel::Paint(HDC dc) {
  RECT client = ClientRect();
  if (transparent_ && Parent() != nullptr) Parent()->PaintUnder(this, dc);
  else PaintSurface(dc, client);
  if (Text().empty()) return;
  HGDIOBJ old = SelectObject(dc, Font());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Enabled() ? FontColor() : GetSysColor(COLOR_GRAYTEXT));
  UINT flags = DT_NOPREFIX | alignment_ | (wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE);
  DrawTextA(dc, Text().c_str(), static_cast<int>(Text().size()), &client, flags);
  SelectObject(dc, old);
}

// ---- CImage ----

CImage::CImage(CComponent* owner, const char* name) : CControl(owner, name) {}

void CImage::SetPicture(HBITMAP bitmap) {
  picture_.Reset(bitmap);
  Invalidate();
}

bool CImage::LoadFromFile(const char* path) {
  HBITMAP bitmap = LoadBitmapFile(path);
  if (bitmap == nullptr) return false;
  SetPicture(bitmap);
  return true;
}

void CImage::PaintContent(HDC dc) {
  if (!picture_) return;
  SIZE size = BitmapSize(picture_.Get());
  if (stretch_) {
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, picture_.Get());
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 0, 0, Width(), Height(), source, 0, 0, size.cx, size.cy, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    return;
  }
  int x = center_ ? (Width() - size.cx) / 2 : 0;
  int y = center_ ? (Height() - size.cy) / 2 : 0;
  DrawTransparentBitmap(dc, picture_.Get(), x, y, transparentColor_);
}

void CImage::Paint(HDC dc) {
  SIZE size = BitmapSize(picture_.Get());
  bool covers = picture_ && transparentColor_ == CLR_INVALID &&
                (stretch_ || (!center_ && size.cx >= Width() && size.cy >= Height()));
  if (!covers && Parent() != nullptr) Parent()->PaintUnder(this, dc);
  PaintContent(dc);
}

// ---- CGlyphButton ----

CGlyphButton::CGlyphButton(CComponent* owner, const char* name) : CControl(owner, name) {}

void CGlyphButton::SetGlyph(HBITMAP bitmap) {
  // The skin draws the glyph it was handed; when that is ours, follow the new picture.
  bool followed = skinGlyph_ != nullptr && skinGlyph_ == glyph_.Get();
  glyph_.Reset(bitmap);
  if (followed) skinGlyph_ = glyph_.Get();
  Invalidate();
}

bool CGlyphButton::LoadGlyphFromFile(const char* path) {
  HBITMAP bitmap = LoadBitmapFile(path);
  if (bitmap == nullptr) return false;
  SetGlyph(bitmap);
  return true;
}

void CGlyphButton::ApplyFlatLook(COLORREF transparent) {
  if (Handle() == nullptr) return;
  SendMessageA(Handle(), kMsgButtonLayout, static_cast<WPARAM>(layout_),
               reinterpret_cast<LPARAM>(Font()));
  SendMessageA(Handle(), kMsgButtonGlyph, static_cast<WPARAM>(transparent),
               reinterpret_cast<LPARAM>(glyph_.Get()));
}

LRESULT CGlyphButton::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kMsgButtonLayout:
      if (wParam <= static_cast<WPARAM>(TButtonLayout::GlyphBottom))
        layout_ = static_cast<TButtonLayout>(wParam);
      skinFont_ = reinterpret_cast<HFONT>(lParam);
      flat_ = true;
      Invalidate();
      return 0;
    case kMsgButtonGlyph:
      transparentColor_ = static_cast<COLORREF>(wParam);
      skinGlyph_ = reinterpret_cast<HBITMAP>(lParam);
      flat_ = true;
      Invalidate();
      return 0;
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, Handle(), 0};
        TrackMouseEvent(&track);
        Invalidate();
      }
      break;
    case WM_MOUSELEAVE:
      hot_ = false;
      Invalidate();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a quick second click is a second click, not a double click
      pressed_ = true;
      SetCapture(Handle());
      Invalidate();
      return 0;
    case WM_LBUTTONUP:
      Invalidate();
      break;
    case WM_CAPTURECHANGED:
      Invalidate();
      break;
    case BM_CLICK:
      if (Enabled()) Click();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_BUTTON;
    case WM_KEYUP:
      if (wParam == VK_SPACE || wParam == VK_RETURN) {
        Click();
        return 0;
      }
      break;
    case WM_ENABLE:
      Invalidate();
      break;
    default:
      break;
  }
  return CControl::WndProc(msg, wParam, lParam);
}

void CGlyphButton::Paint(HDC dc) {
  RECT client = ClientRect();
  bool down = pressed_ && (hot_ || GetCapture() == Handle());
  if (Parent() != nullptr) Parent()->PaintUnder(this, dc);
  else PaintSurface(dc, client);
  if (flat_) {
    if (down) DrawEdge(dc, &client, BDR_SUNKENOUTER, BF_RECT);
    else if (hot_) DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT);
  } else {
    DrawFrameControl(dc, &client, DFC_BUTTON, DFCS_BUTTONPUSH | (down ? DFCS_PUSHED : 0));
  }

  HBITMAP glyph = flat_ && skinGlyph_ != nullptr ? skinGlyph_ : glyph_.Get();
  SIZE glyphSize = BitmapSize(glyph);
  COLORREF key = transparentColor_;
  if (!flat_ && glyph != nullptr) {  // unstyled: the bottom left pixel is the key colour
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, glyph);
    key = GetPixel(source, 0, glyphSize.cy - 1);
    SelectObject(source, old);
    DeleteDC(source);
  }
  HFONT font = flat_ && skinFont_ != nullptr ? skinFont_ : Font();
  HGDIOBJ oldFont = SelectObject(dc, font);
  SIZE textSize = {0, 0};
  if (!Text().empty())
    GetTextExtentPoint32A(dc, Text().c_str(), static_cast<int>(Text().size()), &textSize);
  const int spacing = (glyph != nullptr && textSize.cx > 0) ? 4 : 0;
  bool horizontal = layout_ == TButtonLayout::GlyphLeft || layout_ == TButtonLayout::GlyphRight;
  int totalW = horizontal ? glyphSize.cx + spacing + textSize.cx
                          : (glyphSize.cx > textSize.cx ? glyphSize.cx : textSize.cx);
  int totalH = horizontal ? (glyphSize.cy > textSize.cy ? glyphSize.cy : textSize.cy)
                          : glyphSize.cy + spacing + textSize.cy;
  int x = (client.right - totalW) / 2 + (down ? 1 : 0);
  int y = (client.bottom - totalH) / 2 + (down ? 1 : 0);
  int gx = x, gy = y, tx = x, ty = y;
  switch (layout_) {
    case TButtonLayout::GlyphLeft:
      gy = y + (totalH - glyphSize.cy) / 2;
      tx = x + glyphSize.cx + spacing;
      ty = y + (totalH - textSize.cy) / 2;
      break;
    case TButtonLayout::GlyphRight:
      tx = x;
      ty = y + (totalH - textSize.cy) / 2;
      gx = x + textSize.cx + spacing;
      gy = y + (totalH - glyphSize.cy) / 2;
      break;
    case TButtonLayout::GlyphTop:
      gx = x + (totalW - glyphSize.cx) / 2;
      tx = x + (totalW - textSize.cx) / 2;
      ty = y + glyphSize.cy + spacing;
      break;
    case TButtonLayout::GlyphBottom:
      tx = x + (totalW - textSize.cx) / 2;
      gx = x + (totalW - glyphSize.cx) / 2;
      gy = y + textSize.cy + spacing;
      break;
  }
  if (glyph != nullptr) DrawTransparentBitmap(dc, glyph, gx, gy, key);
  if (textSize.cx > 0) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Enabled() ? FontColor() : GetSysColor(COLOR_GRAYTEXT));
    TextOutA(dc, tx, ty, Text().c_str(), static_cast<int>(Text().size()));
  }
  SelectObject(dc, oldFont);
}

// ---- CTrackBar ----

CTrackBar::CTrackBar(CComponent* owner, const char* name) : CControl(owner, name) {}

void CTrackBar::CreateParams(CCreateParams& params) {
  params.windowClass = TRACKBAR_CLASSA;
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | TBS_AUTOTICKS |
                 (vertical_ ? TBS_VERT | TBS_BOTH : TBS_HORZ | TBS_BOTTOM);
}

void CTrackBar::HandleCreated() {
  SendMessageA(Handle(), TBM_SETRANGE, FALSE, MAKELPARAM(min_, max_));
  SendMessageA(Handle(), TBM_SETPAGESIZE, 0, 1);
  SendMessageA(Handle(), TBM_SETPOS, TRUE, position_);
}

void CTrackBar::Resized() {
  background_.Reset();
  CControl::Resized();
}

void CTrackBar::SetRange(int min, int max) {
  min_ = min;
  max_ = max < min ? min : max;
  if (position_ < min_) position_ = min_;
  if (position_ > max_) position_ = max_;
  if (Handle() != nullptr) {
    SendMessageA(Handle(), TBM_SETRANGE, TRUE, MAKELPARAM(min_, max_));
    SendMessageA(Handle(), TBM_SETPOS, TRUE, position_);
  }
}

void CTrackBar::SetPosition(int position) {
  if (position < min_) position = min_;
  if (position > max_) position = max_;
  position_ = position;
  if (Handle() != nullptr) SendMessageA(Handle(), TBM_SETPOS, TRUE, position_);
}

int CTrackBar::Position() const {
  if (Handle() != nullptr) return static_cast<int>(SendMessageA(Handle(), TBM_GETPOS, 0, 0));
  return position_;
}

bool CTrackBar::HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  (void)wParam;
  (void)lParam;
  if (msg == WM_HSCROLL || msg == WM_VSCROLL) {
    int now = Position();
    if (now != position_) {
      position_ = now;
      Fire(OnChange, this);
    }
    *result = 0;
    return true;
  }
  if (msg == WM_CTLCOLORSTATIC && Parent() != nullptr) {
    if (!background_) {
      HDC screen = GetDC(Handle());
      CMemoryDC memory(screen, Width(), Height());
      Parent()->PaintUnder(this, memory.Get());
      // The pattern is the picture of the parent under the bar; copy it out of the DC.
      HBITMAP pattern = CreateCompatibleBitmap(screen, Width() > 0 ? Width() : 1, Height() > 0 ? Height() : 1);
      HDC copy = CreateCompatibleDC(screen);
      HGDIOBJ old = SelectObject(copy, pattern);
      memory.CopyTo(copy, 0, 0);
      SelectObject(copy, old);
      DeleteDC(copy);
      ReleaseDC(Handle(), screen);
      background_.Reset(CreatePatternBrush(pattern));
      DeleteObject(pattern);
    }
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetBkMode(dc, TRANSPARENT);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    *result = reinterpret_cast<LRESULT>(background_.Get());
    return true;
  }
  return false;
}

// ---- CMemo ----

CMemo::CMemo(CComponent* owner, const char* name) : CControl(owner, name) {
  CControl::SetColor(RGB(255, 255, 255));
}

void CMemo::CreateParams(CCreateParams& params) {
  params.windowClass = "EDIT";
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL |
                 (readOnly_ ? ES_READONLY : 0) | (vertical_ ? WS_VSCROLL : 0) |
                 (horizontal_ ? WS_HSCROLL : 0) | (wordWrap_ ? 0 : ES_AUTOHSCROLL);
  params.exStyle = WS_EX_CLIENTEDGE;
}

void CMemo::HandleCreated() {
  // The default limit is 32 KB of text; 0 raises it to the system's maximum.
  SendMessageA(Handle(), EM_SETLIMITTEXT, 0, 0);
}

void CMemo::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  if (Handle() != nullptr) SendMessageA(Handle(), EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void CMemo::SetScrollBars(bool vertical, bool horizontal) {
  vertical_ = vertical;
  horizontal_ = horizontal;
}

void CMemo::AppendLines(const char* text) {
  if (Handle() == nullptr) return;
  // Lone "\n" become "\r\n" (GBK trail bytes are never below 0x40, so a byte scan is safe).
  std::string lines;
  size_t n = text != nullptr ? strlen(text) : 0;
  lines.reserve(n + 16);
  for (size_t i = 0; i < n; ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) lines += '\r';
    lines += text[i];
  }
  if (lines.size() < 2 || lines.compare(lines.size() - 2, 2, "\r\n") != 0) lines += "\r\n";
  LRESULT end = SendMessageA(Handle(), WM_GETTEXTLENGTH, 0, 0);
  SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
  SendMessageA(Handle(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(lines.c_str()));
  SendMessageA(Handle(), EM_SCROLLCARET, 0, 0);
}

void CMemo::Clear() {
  if (Handle() != nullptr && TextLength() != 0) SetWindowTextA(Handle(), "");
}

int CMemo::LineCount() const {
  // Lines as appended, not as wrapped on screen: line ends, plus an unfinished last line.
  std::string text = AllText();
  int lines = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '\r' && text[i + 1] == '\n') ++lines;
  if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)) ++lines;
  return lines;
}

uint32_t CMemo::TextLength() const {
  if (Handle() == nullptr) return 0;
  return static_cast<uint32_t>(SendMessageA(Handle(), WM_GETTEXTLENGTH, 0, 0));
}

std::string CMemo::AllText() const {
  uint32_t length = TextLength();
  std::string text(length + 1, '\0');
  if (length > 0) GetWindowTextA(Handle(), &text[0], static_cast<int>(length + 1));
  text.resize(strlen(text.c_str()));
  return text;
}

bool CMemo::HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  (void)lParam;
  if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLOREDIT) {
    // A read-only edit asks for the static colour; the log stays on its white page.
    static HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetBkColor(dc, Color());
    SetTextColor(dc, FontColor());
    *result = reinterpret_cast<LRESULT>(Color() == RGB(255, 255, 255) ? white : GetSysColorBrush(COLOR_WINDOW));
    return true;
  }
  return false;
}
