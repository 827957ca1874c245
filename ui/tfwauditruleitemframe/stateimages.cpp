#include "ui/tfwauditruleitemframe/stateimages.h"

#include "ui/framework/canvas.h"

namespace {
constexpr COLORREF kKey = RGB(255, 0, 255);  // left out when the pictures join the list
constexpr int kSize = kStateImageSize;

// One picture: a disc in its state's colour with a white sign (a check, an exclamation mark,
// a bar), on the key colour. The greyed form is the same drawing in the greyed colours.
HBITMAP DrawState(int state, bool greyed) {
  auto tone = [greyed](COLORREF c) { return greyed ? GreyedColor(c) : c; };
  CCanvas c(kSize, kSize, kKey);
  static const COLORREF kDisc[] = {RGB(30, 150, 60), RGB(232, 150, 20), RGB(200, 45, 40)};
  static const COLORREF kRim[] = {RGB(15, 100, 35), RGB(170, 100, 10), RGB(140, 25, 20)};
  const int which = state / 2;
  c.Shape(tone(kRim[which]), tone(kDisc[which]));
  Ellipse(c.dc(), 1, 1, kSize - 1, kSize - 1);
  c.Pen(RGB(255, 255, 255), 2);
  switch (state) {
    case kStatePermit:
      c.Line(5, 9, 8, 12);
      c.Line(8, 12, 13, 6);
      break;
    case kStateNotify:
      c.Line(9, 4, 9, 10);
      c.Line(9, 12, 9, 14);
      break;
    default:
      c.Line(5, 9, 13, 9);
      break;
  }
  return c.Take();
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
