// The generic program picture of the process tree, drawn here: a small program window with a
// blue title bar and a grey body.
#include "ui/tfwprocframe/tfwprocframe.h"

HBITMAP MakeGenericProgramPicture() {
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
  fill(1, 2, 15, 14, RGB(60, 70, 90));      // frame
  fill(2, 3, 14, 6, RGB(38, 110, 190));     // title bar
  fill(2, 6, 14, 13, RGB(236, 238, 242));   // body
  fill(12, 4, 13, 5, RGB(250, 250, 250));   // close box
  fill(4, 8, 10, 9, RGB(150, 160, 175));    // two lines of text
  fill(4, 10, 12, 11, RGB(150, 160, 175));
  SelectObject(dc, old);
  DeleteDC(dc);
  return bitmap;
}
