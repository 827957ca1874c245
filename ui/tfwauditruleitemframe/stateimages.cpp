#include "ui/tfwauditruleitemframe/stateimages.h"

#include <cstdint>

namespace {
constexpr COLORREF kKey = RGB(255, 0, 255);  // left out when the pictures join the list
constexpr int kSize = kStateImageSize;

// One picture: a disc in its state's colour with a white sign (a check, an exclamation mark,
// a bar), on the key colour. The greyed form recolours every drawn pixel in place.
HBITMAP DrawState(int state, bool greyed) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kSize;
  info.bmiHeader.biHeight = -kSize;  // top-down, so row y is at y * stride
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  RECT all = {0, 0, kSize, kSize};
  HBRUSH key = CreateSolidBrush(kKey);
  FillRect(dc, &all, key);
  DeleteObject(key);

  static const COLORREF kDisc[] = {RGB(30, 150, 60), RGB(232, 150, 20), RGB(200, 45, 40)};
  static const COLORREF kRim[] = {RGB(15, 100, 35), RGB(170, 100, 10), RGB(140, 25, 20)};
  const int which = state / 2;
  HPEN pen = CreatePen(PS_SOLID, 1, kRim[which]);
  HBRUSH brush = CreateSolidBrush(kDisc[which]);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  Ellipse(dc, 1, 1, kSize - 1, kSize - 1);
  HPEN white = CreatePen(PS_SOLID, 2, RGB(255, 255, 255));
  SelectObject(dc, white);
  switch (state) {
    case kStatePermit:
      MoveToEx(dc, 5, 9, nullptr);
      LineTo(dc, 8, 12);
      LineTo(dc, 13, 6);
      break;
    case kStateNotify:
      MoveToEx(dc, 9, 4, nullptr);
      LineTo(dc, 9, 10);
      MoveToEx(dc, 9, 12, nullptr);
      LineTo(dc, 9, 14);
      break;
    default:
      MoveToEx(dc, 5, 9, nullptr);
      LineTo(dc, 13, 9);
      break;
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(white);
  DeleteObject(pen);
  DeleteObject(brush);
  GdiFlush();
  if (greyed) {
    auto* pixel = static_cast<uint32_t*>(bits);
    for (int i = 0; i < kSize * kSize; ++i) {
      // DIB pixels are 0x00RRGGBB; COLORREF is 0x00BBGGRR.
      COLORREF c = RGB((pixel[i] >> 16) & 0xFF, (pixel[i] >> 8) & 0xFF, pixel[i] & 0xFF);
      if (c == kKey) continue;
      COLORREF g = GreyedColor(c);
      pixel[i] = (static_cast<uint32_t>(GetRValue(g)) << 16) | (GetGValue(g) << 8) | GetBValue(g);
    }
  }
  SelectObject(dc, oldBitmap);
  DeleteDC(dc);
  return bitmap;
}
}  // namespace

COLORREF GreyedColor(COLORREF color) {
  int luma = (GetRValue(color) * 30 + GetGValue(color) * 59 + GetBValue(color) * 11) / 100;
  int grey = 110 + luma * 125 / 255;  // 110..235: faint on a light card, still readable
  return RGB(grey, grey, grey);
}

const CImageList& AuditStateImages() {
  static CImageList* list = [] {
    auto* images = new CImageList(nullptr, "OpImageList", kSize, kSize);
    for (int state : {kStatePermit, kStateNotify, kStateBlock})
      for (bool greyed : {false, true}) {
        HBITMAP picture = DrawState(state, greyed);
        images->Add(picture, kKey);
        if (picture != nullptr) DeleteObject(picture);
      }
    return images;
  }();
  return *list;
}
