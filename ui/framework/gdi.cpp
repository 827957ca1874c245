#include "ui/framework/gdi.h"

#include <map>

CMemoryDC::CMemoryDC(HDC target, int width, int height) : width_(width), height_(height) {
  if (width_ < 1) width_ = 1;
  if (height_ < 1) height_ = 1;
  dc_ = CreateCompatibleDC(target);
  // A section the program draws into itself: a bitmap compatible with a window may live with
  // the display (an X server under Wine), where every line drawn into it is a round trip.
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(target, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap_ == nullptr) bitmap_ = CreateCompatibleBitmap(target, width_, height_);
  old_ = SelectObject(dc_, bitmap_);
}

CMemoryDC::~CMemoryDC() {
  SelectObject(dc_, old_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

void CMemoryDC::CopyTo(HDC target, int x, int y) const {
  BitBlt(target, x, y, width_, height_, dc_, 0, 0, SRCCOPY);
}

HBRUSH SharedSolidBrush(COLORREF color) {
  static std::map<COLORREF, HBRUSH> brushes;
  HBRUSH& brush = brushes[color];
  if (brush == nullptr) brush = CreateSolidBrush(color);
  return brush;
}

HFONT CreatePixelFont(const char* face, int pixels, bool bold) {
  LOGFONTA lf = {};
  lf.lfHeight = -pixels;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = GB2312_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectA(&lf);
}

HBITMAP LoadBitmapFile(const char* path) {
  return static_cast<HBITMAP>(
      LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

SIZE BitmapSize(HBITMAP bitmap) {
  SIZE size = {0, 0};
  BITMAP info;
  if (bitmap != nullptr && GetObjectA(bitmap, sizeof info, &info) == sizeof info) {
    size.cx = info.bmWidth;
    size.cy = info.bmHeight;
  }
  return size;
}

void DrawTransparentBitmap(HDC dc, HBITMAP bitmap, int x, int y, COLORREF transparent) {
  if (bitmap == nullptr) return;
  SIZE size = BitmapSize(bitmap);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap);
  if (transparent == CLR_INVALID) {
    BitBlt(dc, x, y, size.cx, size.cy, source, 0, 0, SRCCOPY);
  } else {
    // A monochrome mask: 1 where the key colour is. Then
    // dest = (dest AND mask) OR (source AND NOT mask), with the key pixels of source blacked.
    HDC maskDc = CreateCompatibleDC(dc);
    HBITMAP mask = CreateBitmap(size.cx, size.cy, 1, 1, nullptr);
    HGDIOBJ oldMask = SelectObject(maskDc, mask);
    COLORREF oldBk = SetBkColor(source, transparent);
    BitBlt(maskDc, 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
    SetBkColor(source, oldBk);

    HDC imageDc = CreateCompatibleDC(dc);
    HBITMAP image = CreateCompatibleBitmap(dc, size.cx, size.cy);
    HGDIOBJ oldImage = SelectObject(imageDc, image);
    BitBlt(imageDc, 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
    // Black out the key pixels of the copy: AND with NOT mask.
    SetBkColor(imageDc, RGB(255, 255, 255));
    SetTextColor(imageDc, RGB(0, 0, 0));
    BitBlt(imageDc, 0, 0, size.cx, size.cy, maskDc, 0, 0, 0x00220326 /* DSna */);

    COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
    BitBlt(dc, x, y, size.cx, size.cy, maskDc, 0, 0, SRCAND);
    BitBlt(dc, x, y, size.cx, size.cy, imageDc, 0, 0, SRCPAINT);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);

    SelectObject(imageDc, oldImage);
    DeleteObject(image);
    DeleteDC(imageDc);
    SelectObject(maskDc, oldMask);
    DeleteObject(mask);
    DeleteDC(maskDc);
  }
  SelectObject(source, old);
  DeleteDC(source);
}
