// A picture drawn by code: a 24-bit device-independent bitmap with a DC to draw into, a pen
// and a brush the canvas owns, and the bitmap handed over when done. Every drawn picture of
// the console (glyphs, state icons, activity pictures) is made on one.
#pragma once
#include <windows.h>

class CCanvas {
 public:
  // `background` fills the picture first (CLR_INVALID: left black).
  CCanvas(int width, int height, COLORREF background = CLR_INVALID);
  ~CCanvas();
  CCanvas(const CCanvas&) = delete;
  CCanvas& operator=(const CCanvas&) = delete;

  HDC dc() const { return dc_; }
  // The picture (the caller owns it); the canvas draws nothing more afterwards.
  HBITMAP Take();

  void Fill(int left, int top, int right, int bottom, COLORREF color);
  // The pen and brush of the next shapes; the ones they replace are deleted.
  void Pen(COLORREF color, int width = 1);
  void Brush(COLORREF color);
  void NoBrush();
  void Shape(COLORREF pen, COLORREF brush, int width = 1) {
    Pen(pen, width);
    Brush(brush);
  }
  void Line(int x1, int y1, int x2, int y2);

 private:
  void Select(HGDIOBJ& held, HGDIOBJ fresh, bool owned);

  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr, oldPen_ = nullptr, oldBrush_ = nullptr;
  HGDIOBJ pen_ = nullptr, brush_ = nullptr;  // owned while selected, unless stock
  bool brushOwned_ = false;
};
