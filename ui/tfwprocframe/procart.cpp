// The process tree's pictures, drawn here: the generic program (a small program window with a
// blue title bar and a grey body) and the endpoint of the group and connection lines (two
// linked dots).
#include "ui/tfwprocframe/tfwprocframe.h"

namespace {
template <class Draw>
HBITMAP Picture(Draw draw) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 16;
  info.bmiHeader.biHeight = 16;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  auto fill = [dc](int l, int t, int r, int b, COLORREF colour) {
    RECT rect = {l, t, r, b};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
  };
  fill(0, 0, 16, 16, kGlyphKeyColor);
  draw(dc, fill);
  SelectObject(dc, old);
  DeleteDC(dc);
  return bitmap;
}
}  // namespace

HBITMAP MakeGenericProgramPicture() {
  return Picture([](HDC, auto fill) {
    fill(1, 2, 15, 14, RGB(60, 70, 90));     // frame
    fill(2, 3, 14, 6, RGB(38, 110, 190));    // title bar
    fill(2, 6, 14, 13, RGB(236, 238, 242));  // body
    fill(12, 4, 13, 5, RGB(250, 250, 250));  // close box
    fill(4, 8, 10, 9, RGB(150, 160, 175));   // two lines of text
    fill(4, 10, 12, 11, RGB(150, 160, 175));
  });
}

HBITMAP MakeEndpointPicture() {
  return Picture([](HDC dc, auto fill) {
    fill(4, 7, 12, 9, RGB(120, 130, 145));  // the link
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(22, 70, 140));
    HBRUSH brush = CreateSolidBrush(RGB(60, 150, 230));
    HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, brush);
    Ellipse(dc, 1, 4, 8, 12);
    Ellipse(dc, 8, 4, 15, 12);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
  });
}
