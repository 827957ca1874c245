#include "ui/framework/artwork.h"

#include "ui/framework/canvas.h"

#include <cmath>
#include <map>
#include <utility>

namespace {
COLORREF Mix(COLORREF a, COLORREF b, int num, int den) {
  auto ch = [&](int ca, int cb) { return ca + (cb - ca) * num / den; };
  return RGB(ch(GetRValue(a), GetRValue(b)), ch(GetGValue(a), GetGValue(b)),
             ch(GetBValue(a), GetBValue(b)));
}

const COLORREF kBlue = RGB(38, 110, 190);
const COLORREF kDarkBlue = RGB(22, 70, 140);
const COLORREF kLight = RGB(229, 243, 252);
}  // namespace

HBITMAP SharedGlyph(TGlyphPicture picture, int size) {
  static std::map<std::pair<TGlyphPicture, int>, HBITMAP> glyphs;
  HBITMAP& glyph = glyphs[std::make_pair(picture, size)];
  if (glyph == nullptr) glyph = MakeGlyph(picture, size);
  return glyph;
}

HBITMAP MakeGlyph(TGlyphPicture picture, int size) {
  CCanvas c(size, size);
  c.Fill(0, 0, size, size, kGlyphKeyColor);
  // Drawn on a 32-unit grid, scaled to the size.
  auto s = [size](int v) { return v * size / 32; };
  switch (picture) {
    case TGlyphPicture::SysInfo:
      c.Shape(kDarkBlue, RGB(250, 252, 255), s(2) > 0 ? s(2) : 1);
      RoundRect(c.dc(), s(3), s(4), s(29), s(22), s(4), s(4));
      c.Shape(RGB(30, 150, 60), RGB(30, 150, 60), s(2) > 0 ? s(2) : 1);
      c.Line(s(7), s(17), s(12), s(12));
      c.Line(s(12), s(12), s(17), s(15));
      c.Line(s(17), s(15), s(24), s(8));
      c.Shape(kDarkBlue, kBlue);
      Rectangle(c.dc(), s(13), s(22), s(19), s(26));
      Rectangle(c.dc(), s(8), s(26), s(24), s(29));
      break;
    case TGlyphPicture::Connections:
      c.Shape(kDarkBlue, kDarkBlue, s(2) > 0 ? s(2) : 1);
      c.Line(s(8), s(8), s(24), s(12));
      c.Line(s(24), s(12), s(14), s(25));
      c.Line(s(14), s(25), s(8), s(8));
      c.Shape(kDarkBlue, RGB(255, 190, 40));
      Ellipse(c.dc(), s(3), s(3), s(13), s(13));
      c.Shape(kDarkBlue, RGB(80, 180, 90));
      Ellipse(c.dc(), s(19), s(7), s(29), s(17));
      c.Shape(kDarkBlue, kBlue);
      Ellipse(c.dc(), s(9), s(20), s(19), s(30));
      break;
    case TGlyphPicture::Rules: {
      c.Shape(kDarkBlue, kBlue, s(2) > 0 ? s(2) : 1);
      POINT shield[] = {{s(16), s(2)}, {s(28), s(7)}, {s(26), s(20)}, {s(16), s(30)},
                        {s(6), s(20)},  {s(4), s(7)}};
      Polygon(c.dc(), shield, 6);
      c.Shape(RGB(255, 255, 255), RGB(255, 255, 255), s(3) > 0 ? s(3) : 1);
      c.Line(s(10), s(15), s(15), s(20));
      c.Line(s(15), s(20), s(23), s(10));
      break;
    }
    case TGlyphPicture::Settings: {
      c.Shape(RGB(70, 80, 95), RGB(150, 160, 175));
      const double pi = 3.14159265358979;
      POINT gear[16];
      for (int i = 0; i < 16; ++i) {
        double a = i * pi / 8, r = (i % 2) ? 10.5 : 14.0;
        gear[i].x = s(16) + static_cast<LONG>(r * std::cos(a) * size / 32);
        gear[i].y = s(16) + static_cast<LONG>(r * std::sin(a) * size / 32);
      }
      Polygon(c.dc(), gear, 16);
      c.Shape(RGB(70, 80, 95), kLight);
      Ellipse(c.dc(), s(11), s(11), s(21), s(21));
      break;
    }
    case TGlyphPicture::Audit:
      c.Shape(kDarkBlue, RGB(250, 252, 255));
      Rectangle(c.dc(), s(3), s(4), s(27), s(26));
      c.Fill(s(4), s(5), s(26), s(9), kBlue);
      c.Shape(RGB(120, 130, 140), RGB(120, 130, 140));
      c.Line(s(7), s(13), s(20), s(13));
      c.Line(s(7), s(17), s(16), s(17));
      c.Shape(RGB(30, 150, 60), RGB(30, 150, 60), s(3) > 0 ? s(3) : 1);
      c.Line(s(17), s(23), s(21), s(27));
      c.Line(s(21), s(27), s(29), s(16));
      break;
    case TGlyphPicture::Clear:
      c.Shape(RGB(120, 130, 140), RGB(120, 130, 140));
      c.Line(s(4), s(8), s(20), s(8));
      c.Line(s(4), s(14), s(16), s(14));
      c.Line(s(4), s(20), s(12), s(20));
      c.Shape(RGB(160, 40, 40), RGB(230, 90, 80));
      {
        POINT eraser[] = {{s(14), s(24)}, {s(24), s(12)}, {s(30), s(18)}, {s(22), s(28)}, {s(16), s(28)}};
        Polygon(c.dc(), eraser, 5);
      }
      break;
    case TGlyphPicture::Collapse:
    case TGlyphPicture::Expand: {
      c.Shape(kDarkBlue, kBlue);
      bool up = picture == TGlyphPicture::Collapse;
      POINT arrow[] = {{s(6), up ? s(22) : s(10)}, {s(26), up ? s(22) : s(10)},
                       {s(16), up ? s(10) : s(22)}};
      Polygon(c.dc(), arrow, 3);
      break;
    }
    case TGlyphPicture::SwitchOn:
    case TGlyphPicture::SwitchOff: {
      // The colours of the two picture files, so the state reads the same either way.
      bool on = picture == TGlyphPicture::SwitchOn;
      COLORREF disc = on ? RGB(34, 160, 70) : RGB(200, 50, 45);
      c.Shape(disc, disc);
      Ellipse(c.dc(), s(2), s(2), s(30), s(30));
      c.Shape(RGB(255, 255, 255), RGB(255, 255, 255), s(4) > 0 ? s(4) : 1);
      if (on) {
        c.Line(s(9), s(16), s(14), s(21));
        c.Line(s(14), s(21), s(23), s(11));
      } else {
        c.Line(s(9), s(16), s(23), s(16));
      }
      break;
    }
    case TGlyphPicture::Ok:
      c.Shape(RGB(30, 150, 60), RGB(30, 150, 60), s(4) > 0 ? s(4) : 1);
      c.Line(s(5), s(17), s(12), s(24));
      c.Line(s(12), s(24), s(27), s(8));
      break;
    case TGlyphPicture::Cancel:
      c.Shape(RGB(200, 40, 40), RGB(200, 40, 40), s(4) > 0 ? s(4) : 1);
      c.Line(s(8), s(8), s(24), s(24));
      c.Line(s(24), s(8), s(8), s(24));
      break;
    case TGlyphPicture::Help:
      c.Shape(kBlue, kBlue);
      Ellipse(c.dc(), s(3), s(3), s(29), s(29));
      c.Shape(RGB(255, 255, 255), RGB(255, 255, 255), s(3) > 0 ? s(3) : 1);
      c.Line(s(11), s(12), s(13), s(9));
      c.Line(s(13), s(9), s(19), s(9));
      c.Line(s(19), s(9), s(21), s(12));
      c.Line(s(21), s(12), s(21), s(14));
      c.Line(s(21), s(14), s(16), s(18));
      c.Line(s(16), s(18), s(16), s(20));
      c.Fill(s(15), s(22), s(18), s(25), RGB(255, 255, 255));
      break;
  }
  return c.Take();
}

HBITMAP MakeMainBackground(int width, int height, int headerHeight) {
  CCanvas c(width, height);
  c.Fill(0, 0, width, height, kLight);
  // Title band: a vertical gradient from deep to middle blue.
  const int band = 28;
  for (int y = 0; y < band; ++y) c.Fill(0, y, width, y + 1, Mix(kDarkBlue, kBlue, y, band));
  // A soft lighter body under the band, down to the header's end.
  for (int y = band; y < headerHeight; ++y)
    c.Fill(0, y, width, y + 1, Mix(RGB(245, 250, 254), kLight, y - band, headerHeight - band));
  // The frame of the whole surface and the line that ends the header.
  c.Shape(kDarkBlue, kLight);
  c.NoBrush();
  Rectangle(c.dc(), 0, 0, width, height);
  c.Shape(RGB(160, 196, 230), kLight);
  c.Line(12, headerHeight - 1, width - 12, headerHeight - 1);
  // The slider's well, inside the header.
  c.Shape(RGB(180, 208, 235), RGB(240, 247, 253));
  RoundRect(c.dc(), 14, 32, 168, 124, 8, 8);  // ends above the header line
  // The title.
  SetBkMode(c.dc(), TRANSPARENT);
  HFONT title = CreateFontA(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, ANTIALIASED_QUALITY,
                            0, "Arial");
  HGDIOBJ old = SelectObject(c.dc(), title);
  SetTextColor(c.dc(), RGB(255, 255, 255));
  TextOutA(c.dc(), 14, 5, "Vardeen", 7);
  SelectObject(c.dc(), old);
  DeleteObject(title);
  return c.Take();
}

HBITMAP MakeStrip(int width, int height) {
  CCanvas c(width, height);
  for (int y = 0; y < height; ++y) c.Fill(0, y, width, y + 1, Mix(RGB(206, 228, 245), RGB(170, 204, 235), y, height));
  c.Shape(kDarkBlue, kLight);
  c.Line(0, height - 1, width, height - 1);
  c.Line(0, 0, 0, height);
  c.Line(width - 1, 0, width - 1, height);
  return c.Take();
}
