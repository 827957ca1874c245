// The information page's pictures, drawn here so that no picture file travels with the
// program: a network globe between an arrow going out and one coming in, each lit while
// bytes flow that way, and a page of lines for the log button.
#include "ui/tfwinfoframe/tfwinfoframe.h"

#include "ui/framework/canvas.h"

namespace {
const COLORREF kIdleArrow = RGB(150, 160, 170);
const COLORREF kIdleEdge = RGB(110, 120, 130);
const COLORREF kSendArrow = RGB(40, 200, 70);
const COLORREF kSendEdge = RGB(20, 120, 40);
const COLORREF kRecvArrow = RGB(250, 150, 30);
const COLORREF kRecvEdge = RGB(170, 90, 10);
}  // namespace

HBITMAP MakeActivityPicture(int activity) {
  CCanvas c(32, 32, kGlyphKeyColor);
  // The globe: a blue disc with a meridian and two parallels.
  c.Shape(RGB(22, 70, 140), RGB(60, 130, 210));
  Ellipse(c.dc(), 8, 10, 24, 26);
  c.Shape(RGB(200, 225, 250), RGB(60, 130, 210));
  Ellipse(c.dc(), 12, 10, 20, 26);
  c.Line(8, 18, 24, 18);
  c.Line(10, 14, 22, 14);
  c.Line(10, 22, 22, 22);
  // Out: an arrow up on the left; in: an arrow down on the right.
  bool sending = (activity & 1) != 0, receiving = (activity & 2) != 0;
  const POINT up[] = {{4, 1}, {8, 6}, {6, 6}, {6, 12}, {2, 12}, {2, 6}, {0, 6}};
  c.Shape(sending ? kSendEdge : kIdleEdge, sending ? kSendArrow : kIdleArrow);
  Polygon(c.dc(), up, 7);
  const POINT down[] = {{27, 30}, {31, 25}, {29, 25}, {29, 19}, {25, 19}, {25, 25}, {23, 25}};
  c.Shape(receiving ? kRecvEdge : kIdleEdge, receiving ? kRecvArrow : kIdleArrow);
  Polygon(c.dc(), down, 7);
  return c.Take();
}

HBITMAP MakeLogGlyph() {
  CCanvas c(16, 16, kGlyphKeyColor);
  const POINT sheet[] = {{2, 1}, {10, 1}, {13, 4}, {13, 14}, {2, 14}};
  c.Shape(RGB(22, 70, 140), RGB(250, 252, 255));
  Polygon(c.dc(), sheet, 5);
  c.Pen(RGB(38, 110, 190));
  for (int y = 5; y <= 11; y += 2) c.Line(4, y, 11, y);
  return c.Take();
}
