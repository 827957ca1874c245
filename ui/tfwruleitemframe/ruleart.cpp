#include "ui/tfwruleitemframe/ruleart.h"

#include <commctrl.h>

#include <map>
#include <tuple>

#include "ui/framework/canvas.h"
#include "ui/framework/glyphbutton.h"
#include "ui/framework/messages.h"

namespace {
const COLORREF kOutline = RGB(40, 60, 90);
const COLORREF kBlue = RGB(38, 110, 190);
}  // namespace

HBITMAP MakeRuleGlyph(TRuleGlyph glyph, COLORREF key) {
  CCanvas c(16, 16, key);
  HDC dc = c.dc();
  switch (glyph) {
    case TRuleGlyph::Permit:
      c.Pen(RGB(20, 110, 40), 1);
      c.Brush(RGB(60, 170, 80));
      Ellipse(dc, 1, 1, 15, 15);
      c.Pen(RGB(255, 255, 255), 2);
      c.Line(4, 8, 7, 11);
      c.Line(7, 11, 12, 5);
      break;
    case TRuleGlyph::Block:
      c.Pen(RGB(140, 20, 20), 1);
      c.Brush(RGB(215, 50, 45));
      Ellipse(dc, 1, 1, 15, 15);
      c.Fill(4, 7, 12, 10, RGB(255, 255, 255));
      break;
    case TRuleGlyph::Notify: {
      c.Pen(RGB(150, 110, 0), 1);
      c.Brush(RGB(250, 200, 40));
      POINT triangle[] = {{8, 1}, {15, 14}, {1, 14}};
      Polygon(dc, triangle, 3);
      c.Fill(7, 5, 9, 10, RGB(40, 30, 0));
      c.Fill(7, 11, 9, 13, RGB(40, 30, 0));
      break;
    }
    case TRuleGlyph::Ignore:
      c.Pen(RGB(100, 100, 110), 1);
      c.Brush(RGB(175, 178, 185));
      Ellipse(dc, 1, 1, 15, 15);
      c.Fill(4, 7, 12, 9, RGB(250, 250, 250));
      break;
    case TRuleGlyph::Modify: {
      c.Pen(kOutline, 1);
      c.Brush(RGB(250, 252, 255));
      Rectangle(dc, 1, 2, 11, 15);
      c.Pen(RGB(150, 150, 160), 1);
      c.Line(3, 6, 9, 6);
      c.Line(3, 9, 8, 9);
      c.Pen(RGB(120, 70, 10), 1);
      c.Brush(RGB(240, 170, 40));
      POINT pencil[] = {{13, 2}, {15, 4}, {8, 11}, {5, 12}, {6, 9}};
      Polygon(dc, pencil, 5);
      break;
    }
    case TRuleGlyph::Delete:
      c.Pen(RGB(200, 35, 35), 3);
      c.Line(3, 3, 13, 13);
      c.Line(13, 3, 3, 13);
      break;
    case TRuleGlyph::Up:
    case TRuleGlyph::Down: {
      bool up = glyph == TRuleGlyph::Up;
      c.Pen(RGB(22, 70, 140), 1);
      c.Brush(kBlue);
      POINT arrow[] = {{8, up ? 2 : 14}, {14, up ? 8 : 8}, {10, 8}, {10, up ? 14 : 2},
                       {6, up ? 14 : 2}, {6, 8},          {2, 8}};
      Polygon(dc, arrow, 7);
      break;
    }
    case TRuleGlyph::NewRule:
      c.Pen(kOutline, 1);
      c.Brush(RGB(250, 252, 255));
      Rectangle(dc, 1, 1, 12, 15);
      c.Pen(RGB(150, 150, 160), 1);
      c.Line(3, 5, 9, 5);
      c.Line(3, 8, 8, 8);
      c.Fill(11, 7, 13, 16, RGB(30, 150, 60));
      c.Fill(8, 10, 16, 12, RGB(30, 150, 60));
      break;
    case TRuleGlyph::Open: {
      c.Pen(RGB(140, 100, 20), 1);
      c.Brush(RGB(240, 200, 90));
      Rectangle(dc, 1, 3, 13, 14);
      c.Brush(RGB(250, 225, 130));
      POINT flap[] = {{3, 7}, {15, 7}, {13, 14}, {1, 14}};
      Polygon(dc, flap, 4);
      break;
    }
    case TRuleGlyph::Save:
      c.Pen(RGB(20, 40, 90), 1);
      c.Brush(RGB(50, 90, 170));
      Rectangle(dc, 1, 1, 15, 15);
      c.Fill(4, 2, 12, 7, RGB(245, 245, 250));
      c.Fill(5, 10, 11, 15, RGB(190, 195, 205));
      break;
  }
  return c.Take();
}

namespace {
// Every colour but the key becomes a light grey of its brightness.
void Grey(HBITMAP bitmap, COLORREF key) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      if (c == key) continue;
      int light = (GetRValue(c) * 3 + GetGValue(c) * 6 + GetBValue(c)) / 10;
      int grey = 150 + light * 90 / 255;
      SetPixel(dc, x, y, RGB(grey, grey, grey));
    }
  SelectObject(dc, old);
  DeleteDC(dc);
}
}  // namespace

HBITMAP SharedRuleGlyph(TRuleGlyph glyph, bool greyed, COLORREF key) {
  static std::map<std::tuple<int, bool, COLORREF>, HBITMAP> glyphs;
  HBITMAP& slot = glyphs[std::make_tuple(static_cast<int>(glyph), greyed, key)];
  if (slot == nullptr) {
    slot = MakeRuleGlyph(glyph, key);
    if (greyed && slot != nullptr) Grey(slot, key);
  }
  return slot;
}

void ShowRuleGlyph(CGlyphButton* button, TRuleGlyph glyph, COLORREF key) {
  if (button->Handle() == nullptr) return;
  SendMessageA(button->Handle(), kMsgButtonGlyph, static_cast<WPARAM>(key),
               reinterpret_cast<LPARAM>(SharedRuleGlyph(glyph, !button->Enabled(), key)));
}

HIMAGELIST RuleActionImages() {
  static HIMAGELIST list = nullptr;
  if (list != nullptr) return list;
  list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 0);
  if (list == nullptr) return nullptr;
  const TRuleGlyph actions[] = {TRuleGlyph::Permit, TRuleGlyph::Block, TRuleGlyph::Notify, TRuleGlyph::Ignore};
  for (TRuleGlyph action : actions) {
    HBITMAP picture = MakeRuleGlyph(action, kGlyphKeyColor);
    ImageList_AddMasked(list, picture, kGlyphKeyColor);
    DeleteObject(picture);
  }
  return list;
}
