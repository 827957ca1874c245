#include "ui/framework/groupbox.h"

CGroupBox::CGroupBox(CComponent* owner, const char* name) : CControl(owner, name) {
  SetParentColor(true);
}

void CGroupBox::CreateParams(CCreateParams& params) { params.exStyle |= WS_EX_CONTROLPARENT; }

void CGroupBox::Paint(HDC dc) {
  RECT client = ClientRect();
  PaintSurface(dc, client);
  HGDIOBJ old = SelectObject(dc, Font());
  SIZE text = {0, 0};
  GetTextExtentPoint32A(dc, Text().c_str(), static_cast<int>(Text().size()), &text);
  // The frame runs through the middle of the caption's line; the caption interrupts it.
  RECT frame = client;
  frame.top = text.cy / 2;
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  if (!Text().empty()) {
    RECT caption = {8, 0, 8 + text.cx + 4, text.cy};
    PaintSurface(dc, caption);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Enabled() ? FontColor() : GetSysColor(COLOR_GRAYTEXT));
    TextOutA(dc, 10, 0, Text().c_str(), static_cast<int>(Text().size()));
  }
  SelectObject(dc, old);
}
