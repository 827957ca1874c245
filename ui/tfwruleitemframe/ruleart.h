// The pictures of the rule set page and its cards, drawn by code: one per action of a rule,
// the card's four button glyphs and the page's three tool-bar glyphs.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "ui/framework/looks.h"

enum class TRuleGlyph {
  Permit,  // a green disc with a check mark
  Block,   // a red disc with a white bar
  Notify,  // a yellow triangle with an exclamation mark
  Ignore,  // a grey disc with a dash
  Modify,  // a pencil over a sheet
  Delete,  // a red cross
  Up,      // an arrow up
  Down,    // an arrow down
  NewRule, // a sheet with a green plus
  Open,    // an open folder
  Save,    // a disk
};

// A 16 × 16 picture on `key`, the colour left out when it is drawn. The caller owns it.
HBITMAP MakeRuleGlyph(TRuleGlyph glyph, COLORREF key);
// One picture for the whole process: every card's buttons share them, so a thousand cards do
// not cost four thousand bitmaps. `greyed`: the picture of a disabled button. Not to be deleted.
HBITMAP SharedRuleGlyph(TRuleGlyph glyph, bool greyed = false, COLORREF key = kGlyphKeyColor);
class CGlyphButton;
// Hands a flat button the shared picture that fits its enabled state (once it has a window).
void ShowRuleGlyph(CGlyphButton* button, TRuleGlyph glyph, COLORREF key = kGlyphKeyColor);
// The four action pictures in one shared image list (index = Action), or nullptr.
HIMAGELIST RuleActionImages();
