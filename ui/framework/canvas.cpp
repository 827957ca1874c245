#include "ui/framework/canvas.h"

CCanvas::CCanvas(int width, int height, COLORREF background) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  dc_ = CreateCompatibleDC(nullptr);
  oldBitmap_ = SelectObject(dc_, bitmap_);
  oldPen_ = SelectObject(dc_, GetStockObject(BLACK_PEN));
  oldBrush_ = SelectObject(dc_, GetStockObject(WHITE_BRUSH));
  if (background != CLR_INVALID) Fill(0, 0, width, height, background);
}

CCanvas::~CCanvas() {
  SelectObject(dc_, oldPen_);
  SelectObject(dc_, oldBrush_);
  if (pen_ != nullptr) DeleteObject(pen_);
  if (brush_ != nullptr && brushOwned_) DeleteObject(brush_);
  if (oldBitmap_ != nullptr) SelectObject(dc_, oldBitmap_);
  DeleteDC(dc_);
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

HBITMAP CCanvas::Take() {
  SelectObject(dc_, oldBitmap_);
  oldBitmap_ = nullptr;
  HBITMAP picture = bitmap_;
  bitmap_ = nullptr;
  return picture;
}

void CCanvas::Fill(int left, int top, int right, int bottom, COLORREF color) {
  RECT area = {left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc_, &area, brush);
  DeleteObject(brush);
}

void CCanvas::Select(HGDIOBJ& held, HGDIOBJ fresh, bool owned) {
  SelectObject(dc_, fresh);
  if (held != nullptr && owned) DeleteObject(held);
  held = fresh;
}

void CCanvas::Pen(COLORREF color, int width) { Select(pen_, CreatePen(PS_SOLID, width, color), true); }

void CCanvas::Brush(COLORREF color) {
  Select(brush_, CreateSolidBrush(color), brushOwned_);
  brushOwned_ = true;
}

void CCanvas::NoBrush() {
  Select(brush_, GetStockObject(NULL_BRUSH), brushOwned_);
  brushOwned_ = false;
}

void CCanvas::Line(int x1, int y1, int x2, int y2) {
  MoveToEx(dc_, x1, y1, nullptr);
  LineTo(dc_, x2, y2);
}
