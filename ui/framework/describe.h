// A window described as text, one line per control, indented by depth:
//   TLabel Label2 [76,42 84x14] visible enabled "高安全级别"
// Bounds are in the parent's client coordinates; the text is the window text of a control
// with a window and the caption of a windowless one. Window tests compare this description
// with a checked-in one; tools read it across processes through the window query.
#pragma once
#include <windows.h>

#include <string>

class CControl;

// `root` and every control under it.
std::string DescribeControls(CControl* root);
// The control named `name` under `root`: `root` itself, a control `root` owns, or one under
// the frames it holds, depth first; "Frame.Name" names a frame's control. nullptr if none.
CControl* FindNamedControl(CControl* root, const char* name);
// One line for the window query: class, name, screen rectangle, visible, enabled, own window
// and host window as numbers, then the text; fields separated by tabs.
std::string QueryLine(CControl* control);
// Answers a window query (WM_COPYDATA) sent to `form`; false when it was none.
bool AnswerWindowQuery(CControl* form, WPARAM wParam, LPARAM lParam);
