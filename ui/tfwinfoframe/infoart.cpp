// The information page's pictures, drawn here so that no picture file travels with the
// program: a network globe between an arrow going out and one coming in, each lit while
// bytes flow that way, and a page of lines for the log button.
#include "ui/tfwinfoframe/tfwinfoframe.h"

namespace {
class CPicture {
 public:
  explicit CPicture(int size) : size_(size) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    RECT all = {0, 0, size, size};
    Fill(all, kGlyphKeyColor);
  }
  ~CPicture() {
    if (dc_ != nullptr) {
      SelectObject(dc_, old_);
      DeleteDC(dc_);
    }
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  HDC dc() const { return dc_; }
  void Fill(const RECT& r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc_, &r, brush);
    DeleteObject(brush);
  }
  void Polygon(const POINT* points, int count, COLORREF pen, COLORREF fill) {
    HPEN p = CreatePen(PS_SOLID, 1, pen);
    HBRUSH b = CreateSolidBrush(fill);
    HGDIOBJ op = SelectObject(dc_, p), ob = SelectObject(dc_, b);
    ::Polygon(dc_, points, count);
    SelectObject(dc_, op);
    SelectObject(dc_, ob);
    DeleteObject(p);
    DeleteObject(b);
  }
  void Ellipse(int l, int t, int r, int b, COLORREF pen, COLORREF fill) {
    HPEN p = CreatePen(PS_SOLID, 1, pen);
    HBRUSH br = CreateSolidBrush(fill);
    HGDIOBJ op = SelectObject(dc_, p), ob = SelectObject(dc_, br);
    ::Ellipse(dc_, l, t, r, b);
    SelectObject(dc_, op);
    SelectObject(dc_, ob);
    DeleteObject(p);
    DeleteObject(br);
  }
  void Line(int x1, int y1, int x2, int y2, COLORREF colour) {
    HPEN p = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ op = SelectObject(dc_, p);
    MoveToEx(dc_, x1, y1, nullptr);
    LineTo(dc_, x2, y2);
    SelectObject(dc_, op);
    DeleteObject(p);
  }
  HBITMAP Take() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    dc_ = nullptr;
    HBITMAP b = bitmap_;
    bitmap_ = nullptr;
    return b;
  }

 private:
  int size_;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

const COLORREF kIdleArrow = RGB(150, 160, 170);
const COLORREF kIdleEdge = RGB(110, 120, 130);
const COLORREF kSendArrow = RGB(40, 200, 70);
const COLORREF kSendEdge = RGB(20, 120, 40);
const COLORREF kRecvArrow = RGB(250, 150, 30);
const COLORREF kRecvEdge = RGB(170, 90, 10);
}  // namespace

HBITMAP MakeActivityPicture(int activity) {
  CPicture c(32);
  // The globe: a blue disc with a meridian and two parallels.
  c.Ellipse(8, 10, 24, 26, RGB(22, 70, 140), RGB(60, 130, 210));
  c.Ellipse(12, 10, 20, 26, RGB(200, 225, 250), RGB(60, 130, 210));
  c.Line(8, 18, 24, 18, RGB(200, 225, 250));
  c.Line(10, 14, 22, 14, RGB(200, 225, 250));
  c.Line(10, 22, 22, 22, RGB(200, 225, 250));
  // Out: an arrow up on the left; in: an arrow down on the right.
  bool sending = (activity & 1) != 0, receiving = (activity & 2) != 0;
  const POINT up[] = {{4, 1}, {8, 6}, {6, 6}, {6, 12}, {2, 12}, {2, 6}, {0, 6}};
  c.Polygon(up, 7, sending ? kSendEdge : kIdleEdge, sending ? kSendArrow : kIdleArrow);
  const POINT down[] = {{27, 30}, {31, 25}, {29, 25}, {29, 19}, {25, 19}, {25, 25}, {23, 25}};
  c.Polygon(down, 7, receiving ? kRecvEdge : kIdleEdge, receiving ? kRecvArrow : kIdleArrow);
  return c.Take();
}

HBITMAP MakeLogGlyph() {
  CPicture c(16);
  const POINT sheet[] = {{2, 1}, {10, 1}, {13, 4}, {13, 14}, {2, 14}};
  c.Polygon(sheet, 5, RGB(22, 70, 140), RGB(250, 252, 255));
  for (int y = 5; y <= 11; y += 2) c.Line(4, y, 11, y, RGB(38, 110, 190));
  return c.Take();
}
