// The console's pictures, drawn by code so that no picture file has to travel with the
// program (the two enable-state glyphs are the exception: they are read from "res\").
#pragma once
#include <windows.h>

#include "ui/framework/looks.h"  // every glyph has the background kGlyphKeyColor

enum class TGlyphPicture {
  SysInfo,      // a monitor with a graph
  Connections,  // linked network nodes
  Rules,        // a shield
  Settings,     // a gear
  Audit,        // a program window with a check mark
  Clear,        // an eraser over lines
  Collapse,     // an arrow up
  Expand,       // an arrow down
  SwitchOn,     // a green disc with a check: filtering on, when res\enable.bmp is missing
  SwitchOff,    // a red disc with a bar: filtering off, when res\disable.bmp is missing
  Ok,           // a green check mark: the buttons that permit or confirm
  Cancel,       // a red cross: the buttons that forbid or cancel
  Help,         // a blue question mark: "ask the user"
};

// A size × size glyph on the key colour. The caller owns the bitmap.
HBITMAP MakeGlyph(TGlyphPicture picture, int size);
// The same glyph made once for the process and shared (never delete it): cards hand it to
// their buttons as the flat look's picture, so that a card owns no bitmap.
HBITMAP SharedGlyph(TGlyphPicture picture, int size);
// The main window's surface: a title band and a light body with a framed header.
HBITMAP MakeMainBackground(int width, int height, int headerHeight);
// The strip under the header while the window is collapsed.
HBITMAP MakeStrip(int width, int height);
