// Every private window message of the console in one place: those its windows post to each
// other, the one told to the companion anti-virus window, and the widget layer's own.
#pragma once
#include <windows.h>

// Between the console's windows. The portable event dispatch names the same two numbers
// without including this header.
constexpr UINT WM_SHOWLOGVIEW = 0x735;     // to the main window: show the log page
#ifndef WM_FREECHILD
#define WM_FREECHILD 0x737  // lParam: a prompt or audit card its owner lists and destroys
#endif
#ifndef WM_NEXTEVENT
#define WM_NEXTEVENT 0x739  // to the main window: take up the next queued application event
#endif
constexpr UINT WM_DELETERULECARD = 0x0C22;  // to the rule set page: destroy the card in lParam
static_assert(WM_FREECHILD == 0x737 && WM_NEXTEVENT == 0x739, "numbers shared with the dispatch");

// To the companion anti-virus window (class "MORX_Class"): the filter state in wParam.
constexpr UINT WM_FWSTATE = 0x9100;
constexpr const char* kCompanionWindowClass = "MORX_Class";

// The flat look of glyph buttons, sent once by each form or page to each of its buttons.
constexpr UINT kMsgButtonLayout = 0x621;  // wParam: glyph layout; lParam: HFONT
constexpr UINT kMsgButtonGlyph = 0x622;   // wParam: transparent colour; lParam: HBITMAP

// The main window to itself at start-up: the rule files that did not load are told once the
// message loop runs.
constexpr UINT kMsgShowLoadProblems = WM_APP + 0x131;

// The widget layer's own.
constexpr UINT kMsgReleaseComponent = WM_APP + 0x101;  // lParam: a component freed later
constexpr UINT kMsgTrayCallback = WM_APP + 0x200;      // the tray icon's mouse messages
// WM_COPYDATA tags of the window query (ui/framework/windowquery.h).
constexpr ULONG_PTR kCopyDataDescribe = 0x56445131;  // ask: the description of a window
constexpr ULONG_PTR kCopyDataFind = 0x56445132;      // ask: one control by name
constexpr ULONG_PTR kCopyDataAnswer = 0x56445133;    // the answer, sent back to the asker
constexpr ULONG_PTR kCopyDataName = 0x56445134;      // ask: the component name of a window
