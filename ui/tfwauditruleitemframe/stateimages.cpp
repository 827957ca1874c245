#include "ui/tfwauditruleitemframe/stateimages.h"

namespace {
constexpr COLORREF kKey = RGB(255, 0, 255);  // left out when the pictures join the list
constexpr int kSize = kStateImageSize;

// One picture: a disc in its state's colour with a white sign (a check, an exclamation mark,
// a bar), on the key colour. The greyed form is the same drawing in the greyed colours.
HBITMAP DrawState(int state, bool greyed) {
  auto tone = [greyed](COLORREF c) { return greyed ? GreyedColor(c) : c; };
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, kSize, kSize);
  ReleaseDC(nullptr, screen);
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
  HPEN pen = CreatePen(PS_SOLID, 1, tone(kRim[which]));
  HBRUSH brush = CreateSolidBrush(tone(kDisc[which]));
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
  SelectObject(dc, oldBitmap);
  DeleteObject(white);
  DeleteObject(pen);
  DeleteObject(brush);
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
