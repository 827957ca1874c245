// The console's looks in one place: colours, fonts, glyph transparency keys, page size.
#pragma once
#include <windows.h>

// Surfaces.
constexpr COLORREF kConsoleColor = RGB(229, 243, 252);  // main window and pages
constexpr COLORREF kToolBarColor = RGB(206, 228, 245);  // the strip on top of a page
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
// Rule cards: an enabled and a disabled rule.
constexpr COLORREF kCardEnabledColor = 0xFCF8CD;
constexpr COLORREF kCardDisabledColor = 0xC2B4C0;
// The rate graphs.
constexpr COLORREF kGraphBackColor = RGB(0, 0, 0);
constexpr COLORREF kGraphGridColor = RGB(0, 80, 0);
constexpr COLORREF kGraphTraceColor = RGB(0, 192, 0);

// Fonts: the console's 12-pixel face for every window.
constexpr const char* kConsoleFontFace = "宋体";
constexpr int kConsoleFontPixels = 12;

// Colours that glyph buttons leave out of their pictures.
constexpr COLORREF kGlyphKeyColor = 0x8080;       // the console's own glyphs
constexpr COLORREF kGlyphKeySilver = 0xC0C0C0;
constexpr COLORREF kGlyphKeyWhite = 0xFFFFFF;

// Every page fills the main window's view panel.
constexpr int kPageWidth = 544;
constexpr int kPageHeight = 298;
