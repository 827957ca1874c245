#include "ui/framework/glyphbutton.h"

CGlyphButton::CGlyphButton(CComponent* owner, const char* name) : CButtonControl(owner, name) {}

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
      Click();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_BUTTON;
    case WM_KEYUP:
      // Enter reaches a button through its form's dialog keys, on the key going down.
      if (wParam == VK_SPACE) {
        Click();
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      break;
    case WM_ENABLE:
      Invalidate();
      break;
    default:
      break;
  }
  return CButtonControl::WndProc(msg, wParam, lParam);
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
  if (GetFocus() == Handle()) {
    RECT focus = client;
    InflateRect(&focus, -3, -3);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &focus);
  }
}
