#include "ui/framework/label.h"

CLabel::CLabel(CComponent* owner, const char* name) : CControl(owner, name) { SetWindowless(); }

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
  if (!transparent_) PaintSurface(dc, client);
  if (Text().empty()) return;
  HGDIOBJ old = SelectObject(dc, Font());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Enabled() ? FontColor() : GetSysColor(COLOR_GRAYTEXT));
  // DrawText centres vertically only single lines.
  UINT flags = DT_NOPREFIX | alignment_ | (wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE | layout_);
  DrawTextA(dc, Text().c_str(), static_cast<int>(Text().size()), &client, flags);
  SelectObject(dc, old);
}
