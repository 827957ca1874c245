#include "ui/framework/control.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <algorithm>
#include <set>
#include <string>
#include <unordered_map>

#include "ui/framework/application.h"
#include "ui/framework/describe.h"
#include "ui/framework/form.h"
#include "ui/framework/gdi.h"
#include "ui/framework/menu.h"
#include "ui/framework/windowquery.h"

namespace {
// The object of each bound window. Kept here rather than in a window property: every message
// looks its object up, and under Wine a property is a round trip to the server.
std::unordered_map<HWND, CControl*>& BoundWindows() {
  static std::unordered_map<HWND, CControl*> windows;
  return windows;
}

// While a frame takes over another's windows, they are painted once, all of them, at the end:
// what the hand-over changes one by one (caption, font, glyph) asks for no paint of its own.
HWND g_repaintHeldUnder = nullptr;

bool RepaintHeld(HWND hwnd) {
  return g_repaintHeldUnder != nullptr && (hwnd == g_repaintHeldUnder || IsChild(g_repaintHeldUnder, hwnd));
}

CControl* BoundTo(HWND hwnd) {
  const auto& windows = BoundWindows();
  auto found = windows.find(hwnd);
  return found != windows.end() ? found->second : nullptr;
}

// The windows whose messages are being handled, innermost last.
std::vector<HWND>& WindowsInMessage() {
  static std::vector<HWND> windows;
  return windows;
}

std::set<std::string>& RegisteredClasses() {
  static std::set<std::string> classes;
  return classes;
}

HWND ChildOfNotification(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
      return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
      return lParam ? reinterpret_cast<NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_DRAWITEM:
      return lParam ? reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    default:
      (void)wParam;
      return nullptr;
  }
}
// Modifier keys from the keyboard's state, buttons from a mouse message's wParam.
TShiftState ShiftState(WPARAM mouseKeys) {
  TShiftState state = 0;
  if (GetKeyState(VK_SHIFT) < 0) state |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) state |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) state |= ssAlt;
  if (mouseKeys & MK_LBUTTON) state |= ssLeft;
  if (mouseKeys & MK_RBUTTON) state |= ssRight;
  if (mouseKeys & MK_MBUTTON) state |= ssMiddle;
  return state;
}

bool ButtonOf(UINT msg, TMouseButton* button, bool* down) {
  switch (msg) {
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: *button = TMouseButton::Left; *down = true; return true;
    case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK: *button = TMouseButton::Right; *down = true; return true;
    case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK: *button = TMouseButton::Middle; *down = true; return true;
    case WM_LBUTTONUP: *button = TMouseButton::Left; *down = false; return true;
    case WM_RBUTTONUP: *button = TMouseButton::Right; *down = false; return true;
    case WM_MBUTTONUP: *button = TMouseButton::Middle; *down = false; return true;
    default: return false;
  }
}

POINT PointOf(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}
}  // namespace

void CControl::MouseDown(TMouseButton button, WPARAM keys, int x, int y) {
  Fire(OnMouseDown, this, button, ShiftState(keys), x, y);
}
void CControl::MouseUp(TMouseButton button, WPARAM keys, int x, int y) {
  Fire(OnMouseUp, this, button, ShiftState(keys), x, y);
}
void CControl::MouseMove(WPARAM keys, int x, int y) { Fire(OnMouseMove, this, ShiftState(keys), x, y); }

namespace {
void FireMouseEvent(CControl* control, UINT msg, WPARAM wParam, LPARAM lParam) {
  POINT pt = PointOf(lParam);
  TMouseButton button;
  bool down;
  if (msg == WM_MOUSEMOVE) control->MouseMove(wParam, pt.x, pt.y);
  else if (ButtonOf(msg, &button, &down))
    down ? control->MouseDown(button, wParam, pt.x, pt.y) : control->MouseUp(button, wParam, pt.x, pt.y);
}
}  // namespace

CControl* CControl::GraphicChildAt(POINT point) const {
  for (size_t i = children_.size(); i-- > 0;) {
    CControl* c = children_[i];
    if (!c->windowless_ || !c->visible_ || c->MouseTransparent()) continue;
    RECT bounds = c->BoundsRect();
    if (PtInRect(&bounds, point)) return c;
  }
  return nullptr;
}

bool CControl::RouteMouseToGraphic(UINT msg, WPARAM wParam, LPARAM lParam) {
  POINT pt = PointOf(lParam);
  if (msg == WM_MOUSEMOVE) {
    CControl* target = mouseChild_ != nullptr ? mouseChild_ : GraphicChildAt(pt);
    if (target == nullptr) return false;
    target->MouseMove(wParam, pt.x - target->left_, pt.y - target->top_);
    return mouseChild_ != nullptr;
  }
  TMouseButton button;
  bool down;
  if (!ButtonOf(msg, &button, &down)) return false;
  if (down) {
    CControl* child = GraphicChildAt(pt);
    if (child == nullptr) return false;
    if (!child->enabled_) return true;
    if (msg == WM_LBUTTONDBLCLK && child->OnDblClick) {
      Fire(child->OnDblClick, child);
      return true;
    }
    // A quick second click on a control without a double-click handler is a second click.
    mouseChild_ = child;
    child->pressed_ = button == TMouseButton::Left;
    SetCapture(hwnd_);
    child->MouseDown(button, wParam, pt.x - child->left_, pt.y - child->top_);
    return true;
  }
  CControl* child = mouseChild_;
  if (child == nullptr) return false;
  mouseChild_ = nullptr;
  bool click = child->pressed_ && button == TMouseButton::Left;
  child->pressed_ = false;
  if (GetCapture() == hwnd_) ReleaseCapture();
  child->MouseUp(button, wParam, pt.x - child->left_, pt.y - child->top_);
  RECT bounds = child->BoundsRect();
  if (click && PtInRect(&bounds, pt)) child->Click();
  return true;
}

void CControl::PaintGraphicChildren(HDC dc, const RECT& area) {
  for (CControl* c : children_) {
    if (!c->windowless_ || !c->visible_) continue;
    RECT bounds = c->BoundsRect(), overlap;
    if (!IntersectRect(&overlap, &bounds, &area)) continue;
    int saved = SaveDC(dc);
    POINT origin;
    OffsetViewportOrgEx(dc, bounds.left, bounds.top, &origin);
    IntersectClipRect(dc, 0, 0, c->width_, c->height_);
    c->Paint(dc);
    RestoreDC(dc, saved);
  }
}

void CControl::InvalidateArea(const RECT* rect) {
  HWND host = HostHandle();
  if (host == nullptr || RepaintHeld(host)) return;
  RECT r = rect != nullptr ? *rect : RECT{0, 0, width_, height_};
  if (windowless_) {
    OffsetRect(&r, left_, top_);
    InvalidateRect(host, &r, FALSE);
  } else {
    InvalidateRect(host, &r, TRUE);
  }
}

CFrameworkError::CFrameworkError(const char* message, bool resources) : resources_(resources) {
  snprintf(message_, sizeof message_, "%s", message ? message : "");
}

CControl::CControl(CComponent* owner, const char* name)
    : CComponent(owner, name), color_(GetSysColor(COLOR_BTNFACE)) {}

CControl::~CControl() {
  DestroyHandle();
  for (CControl* child : children_) child->parent_ = nullptr;
  children_.clear();
  if (parent_ != nullptr) parent_->RemoveChild(this);
}

void CControl::BeforeDestruction() {
  if (windowless_ && !hint_.empty())
    if (CForm* form = ParentForm()) form->UnregisterHint(this);
  DestroyHandle();
}

CControl* CControl::FromHandle(HWND hwnd) {
  return hwnd != nullptr ? BoundTo(hwnd) : nullptr;
}

HWND CControl::HostHandle() const {
  if (!windowless_) return hwnd_;
  return parent_ != nullptr ? parent_->HostHandle() : nullptr;
}

bool CControl::Showing() const {
  for (const CControl* c = this; c != nullptr; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

bool CControl::CanFocus() const {
  if (hwnd_ == nullptr || !IsWindowVisible(hwnd_)) return false;
  for (const CControl* c = this; c != nullptr; c = c->parent_)
    if (!c->enabled_) return false;
  return true;
}

bool CControl::Focused() const {
  HWND focus = GetFocus();
  return hwnd_ != nullptr && focus != nullptr && (focus == hwnd_ || IsChild(hwnd_, focus));
}

CForm* CControl::ParentForm() {
  for (CControl* c = this; c != nullptr; c = c->parent_)
    if (CForm* form = dynamic_cast<CForm*>(c)) return form;
  return nullptr;
}

void CControl::AddChild(CControl* child) {
  children_.push_back(child);
  ++childrenChanges_;
}

void CControl::RemoveChild(CControl* child) {
  if (mouseChild_ == child) {
    mouseChild_ = nullptr;
    if (hwnd_ != nullptr && GetCapture() == hwnd_) ReleaseCapture();
  }
  if (child->windowless_) child->InvalidateArea(nullptr);
  for (size_t i = 0; i < children_.size(); ++i)
    if (children_[i] == child) {
      children_.erase(children_.begin() + static_cast<long>(i));
      ++childrenChanges_;
      break;
    }
  if (child->align_ != TAlign::None) Realign();
  if (!Destroying()) ChildrenChanged(child);
}

void CControl::MoveChild(CControl* child, int index) {
  auto at = std::find(children_.begin(), children_.end(), child);
  if (at == children_.end()) return;
  children_.erase(at);
  ++childrenChanges_;
  if (index < 0) index = 0;
  if (static_cast<size_t>(index) > children_.size()) index = static_cast<int>(children_.size());
  children_.insert(children_.begin() + index, child);
}

void CControl::SetParent(CControl* parent) {
  if (parent == parent_) return;
  if (parent_ != nullptr) parent_->RemoveChild(this);
  parent_ = parent;
  if (parent_ == nullptr) {
    DestroyHandle();
    return;
  }
  parent_->AddChild(this);
  if (windowless_) {
    if (parent_->windowless_) throw CFrameworkError("a windowless control cannot hold others");
    CreateHandle();
    InvalidateArea(nullptr);
  } else if (hwnd_ != nullptr && parent_->hwnd_ != nullptr) {
    ::SetParent(hwnd_, parent_->hwnd_);
    ApplyFont();
  } else if (hwnd_ == nullptr && parent_->hwnd_ != nullptr && parent_->WantsChildWindow(this)) {
    CreateHandle();
  }
  if (align_ != TAlign::None) parent_->Realign();
  parent_->ChildrenChanged(this);
}

void CControl::RegisterFrameworkClass(const char* className, UINT style) {
  if (RegisteredClasses().count(className)) return;
  WNDCLASSA wc = {};
  wc.style = style;
  wc.lpfnWndProc = StaticWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
  wc.lpszClassName = className;
  RegisterClassA(&wc);
  RegisteredClasses().insert(className);
}

namespace {
const char* g_failingClass = nullptr;
}  // namespace

void FailWindowsOfClassForTests(const char* className) { g_failingClass = className; }

void CControl::CreateParams(CCreateParams& params) { (void)params; }

void CControl::CreateHandle() {
  if (windowless_) {
    // Nothing to create; the hint lives on the host window.
    if (!hint_.empty() && HostHandle() != nullptr)
      if (CForm* form = ParentForm()) form->RegisterHint(this);
    return;
  }
  if (hwnd_ != nullptr) return;
  CCreateParams p;
  p.parent = parent_ != nullptr ? parent_->hwnd_ : nullptr;
  CreateParams(p);
  bool child = (p.style & WS_CHILD) != 0;
  if (child && p.parent == nullptr) return;  // created later, with the parent
  if (visible_) p.style |= WS_VISIBLE;
  if (!enabled_) p.style |= WS_DISABLED;
  if (tabStop_) p.style |= WS_TABSTOP;

  const char* windowClass = p.windowClass;
  bool native = windowClass != nullptr;
  if (!native) {
    windowClass = ClassName();
    RegisterFrameworkClass(windowClass, p.classStyle);
  }
  // The sizes the system reports while the window is being made are not resizes: the first
  // resize comes once the children exist (below), so one-time set-up can reach them.
  creating_ = true;
  bool failing = g_failingClass != nullptr && strcmp(g_failingClass, windowClass) == 0;
  HWND hwnd = failing ? nullptr : CreateWindowExA(p.exStyle, windowClass, text_.c_str(), p.style, left_, top_,
                              width_, WindowHeight(height_), child ? p.parent : p.owner, nullptr,
                              GetModuleHandleA(nullptr), native ? nullptr : this);
  creating_ = false;
  if (hwnd == nullptr) {
    char message[200];
    snprintf(message, sizeof message, "Cannot create the window \"%s\" (%lu).", Name(),
             GetLastError());
    throw CFrameworkError(message, true);
  }
  if (native) {
    BindWindow(hwnd);
    nativeProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticWndProc)));
  }
  // Newer siblings lie on top of older ones, as the form was laid out.
  if (child) SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ApplyFont();
  HandleCreated();
  for (size_t i = 0; i < children_.size(); ++i)
    if (WantsChildWindow(children_[i])) children_[i]->CreateHandle();
  Realign();
  Resized();
  if (!hint_.empty()) {
    if (CForm* form = ParentForm()) form->RegisterHint(this);
  }
}

namespace {
// The tool tip's tools of `control` and of the controls inside it: a window made again is a
// new tool, and a tool left behind would point at a window that is gone.
void ForgetHints(CForm* form, CControl* control) {
  if (!control->Hint().empty()) form->UnregisterHint(control);
  for (int i = 0; i < control->ChildCount(); ++i) ForgetHints(form, control->Child(i));
}
}  // namespace

bool CControl::InMessage() const {
  if (hwnd_ == nullptr) return false;
  for (HWND hwnd : WindowsInMessage())
    if (hwnd == hwnd_ || IsChild(hwnd_, hwnd)) return true;
  return false;
}

bool CControl::SameShape(CControl* from, CControl* to) {
  if (strcmp(from->ClassName(), to->ClassName()) != 0 || from->windowless_ != to->windowless_ ||
      from->children_.size() != to->children_.size())
    return false;
  if (!from->windowless_) {
    if (from->hwnd_ == nullptr || to->hwnd_ != nullptr || !from->WindowReusable()) return false;
    CCreateParams a, b;
    from->CreateParams(a);
    to->CreateParams(b);
    const DWORD kFromObject = WS_VISIBLE | WS_DISABLED | WS_TABSTOP;  // set from the object's state
    if ((a.windowClass == nullptr) != (b.windowClass == nullptr) ||
        (a.windowClass != nullptr && strcmp(a.windowClass, b.windowClass) != 0) ||
        (a.style & ~kFromObject) != (b.style & ~kFromObject) || a.exStyle != b.exStyle)
      return false;
  }
  for (size_t i = 0; i < from->children_.size(); ++i)
    if (!SameShape(from->children_[i], to->children_[i])) return false;
  return true;
}

void CControl::TakeWindows(CControl* from, CControl* to) {
  for (size_t i = 0; i < from->children_.size(); ++i) TakeWindows(from->children_[i], to->children_[i]);
  from->mouseChild_ = nullptr;
  from->pressed_ = false;
  if (from->windowless_) return;
  HWND hwnd = from->hwnd_;
  from->hwnd_ = nullptr;
  to->hwnd_ = hwnd;
  to->nativeProc_ = from->nativeProc_;
  from->nativeProc_ = nullptr;
  BoundWindows()[hwnd] = to;
  // What the window shows of `from` becomes what `to` holds; sizes reported meanwhile are not
  // resizes (FinishTakenWindows makes the one that counts).
  to->creating_ = true;
  if (from->left_ != to->left_ || from->top_ != to->top_ || from->width_ != to->width_ ||
      from->height_ != to->height_)
    SetWindowPos(hwnd, nullptr, to->left_, to->top_, to->width_, to->WindowHeight(to->height_),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  if (from->text_ != to->text_) {
    std::string text = to->text_;
    SetWindowTextA(hwnd, text.c_str());
  }
  LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  if (((style & WS_TABSTOP) != 0) != to->tabStop_)
    SetWindowLongA(hwnd, GWL_STYLE, to->tabStop_ ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
  if (((style & WS_DISABLED) == 0) != to->enabled_) EnableWindow(hwnd, to->enabled_);
  if (((style & WS_VISIBLE) != 0) != to->visible_) ShowWindow(hwnd, to->visible_ ? SW_SHOWNA : SW_HIDE);
  to->creating_ = false;
}

// The rest of what CreateHandle does once a window exists, for windows taken over.
void CControl::FinishTakenWindows() {
  if (windowless_) {
    if (!hint_.empty())
      if (CForm* form = ParentForm()) form->RegisterHint(this);
    return;
  }
  ApplyFont();
  HandleCreated();
  for (CControl* child : children_) child->FinishTakenWindows();
  Realign();
  Resized();
  if (!hint_.empty())
    if (CForm* form = ParentForm()) form->RegisterHint(this);
}

bool CControl::HandWindowsTo(CControl* to) {
  if (to == nullptr || to == this || parent_ == nullptr || to->parent_ != parent_ || !SameShape(this, to))
    return false;
  if (CForm* form = ParentForm()) ForgetHints(form, this);
  struct CHold {
    explicit CHold(HWND hwnd) : outer(g_repaintHeldUnder) { if (outer == nullptr) g_repaintHeldUnder = hwnd; }
    ~CHold() { g_repaintHeldUnder = outer; }
    HWND outer;
  } hold(hwnd_);
  TakeWindows(this, to);
  to->FinishTakenWindows();
  g_repaintHeldUnder = hold.outer;
  RedrawWindow(to->hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  return true;
}

void CControl::DestroyHandle() {
  if (hwnd_ == nullptr) return;
  if (CForm* form = ParentForm())
    if (form != this) ForgetHints(form, this);
  HWND hwnd = hwnd_;
  DestroyWindow(hwnd);  // children unbind themselves at WM_NCDESTROY
  if (hwnd_ != nullptr) Unbind();
}

void CControl::BindWindow(HWND hwnd) {
  // A window is bound once; a second bind would route messages to two objects.
  if (hwnd_ != nullptr && hwnd_ != hwnd) throw CFrameworkError("window bound twice");
  hwnd_ = hwnd;
  BoundWindows()[hwnd] = this;
}

void CControl::Unbind() {
  HWND hwnd = hwnd_;
  if (hwnd == nullptr) return;
  BoundWindows().erase(hwnd);
  if (nativeProc_ != nullptr) {
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(nativeProc_));
    nativeProc_ = nullptr;
  }
  // A window destroyed with an ancestor whose hints were not forgotten takes its tool along.
  if (hintRegistered_)
    if (CForm* form = ParentForm()) form->UnregisterHint(this);
  hintRegistered_ = false;
  hwnd_ = nullptr;
  pressed_ = false;
}

HWND TopWindowOf(HWND hwnd) {
  // GetAncestor is not on NT 4.0.
  HWND top = hwnd;
  while (top != nullptr && (GetWindowLongA(top, GWL_STYLE) & WS_CHILD) && GetParent(top) != nullptr) top = GetParent(top);
  return top;
}

bool IsInputForDisabledWindow(HWND hwnd, UINT msg) {
  const bool input = (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST);
  return input && hwnd != nullptr && !IsWindowEnabled(TopWindowOf(hwnd));
}

LRESULT CALLBACK CControl::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CControl* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    self = static_cast<CControl*>(create->lpCreateParams);
    if (self != nullptr) {
      try {
        self->BindWindow(hwnd);
      } catch (...) {
        Application.HandleException();
        return FALSE;  // the window is not made
      }
    }
  } else {
    self = BoundTo(hwnd);
  }
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  // Every loop dispatches here, the system's own (a message box's, a file dialog's) too.
  if (IsInputForDisabledWindow(hwnd, msg)) return 0;
  // Kept by window, not by object: a handler may free its own object before it returns.
  struct CInFlight {
    explicit CInFlight(HWND hwnd) { WindowsInMessage().push_back(hwnd); }
    ~CInFlight() { WindowsInMessage().pop_back(); }
  } inFlight(hwnd);
  if (msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK)
    if (CForm* form = self->ParentForm()) form->RelayToHints(hwnd, msg, wParam, lParam);
  LRESULT result = self->SafeWndProc(msg, wParam, lParam);
  if (msg == WM_NCDESTROY) self->Unbind();
  return result;
}

LRESULT CControl::SafeWndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  // Exceptions cannot cross the system's frames: the standard box shows them here.
  try {
    return WndProc(msg, wParam, lParam);
  } catch (...) {
    Application.HandleException();
  }
  return 0;
}

LRESULT CControl::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (nativeProc_ != nullptr) return CallWindowProcA(nativeProc_, hwnd_, msg, wParam, lParam);
  return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

bool CControl::HandleNotification(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

LRESULT CControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if ((msg == WM_MEASUREITEM || msg == WM_DRAWITEM) && CPopupMenu::HandleMenuMessage(msg, lParam))
    return TRUE;
  if (HWND childHwnd = ChildOfNotification(msg, wParam, lParam)) {
    CControl* child = FromHandle(childHwnd);
    LRESULT result = 0;
    if (child != nullptr && child != this &&
        child->HandleNotification(msg, wParam, lParam, &result))
      return result;
    return DefaultHandler(msg, wParam, lParam);
  }
  switch (msg) {
    case WM_COPYDATA:
      // Tools ask a window its name: no property, no system-wide atom per window.
      if (AnswerWindowQuery(this, wParam, lParam)) return TRUE;
      break;
    case WM_SIZE:
    case WM_MOVE: {
      RECT r;
      GetWindowRect(hwnd_, &r);
      HWND parent = (GetWindowLongA(hwnd_, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd_) : nullptr;
      if (parent != nullptr) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
      bool sized = (r.right - r.left) != width_ || (r.bottom - r.top) != height_;
      left_ = r.left;
      top_ = r.top;
      width_ = r.right - r.left;
      height_ = r.bottom - r.top;
      LRESULT result = DefaultHandler(msg, wParam, lParam);
      if (!creating_ && (msg == WM_SIZE || sized)) {
        Realign();
        Resized();
      }
      return result;
    }
    case WM_SETTEXT: {
      LRESULT result = DefaultHandler(msg, wParam, lParam);
      text_ = lParam ? reinterpret_cast<const char*>(lParam) : "";
      if (!IsNativeClass() && !RepaintHeld(hwnd_)) InvalidateRect(hwnd_, nullptr, FALSE);
      return result;
    }
    case WM_NCPAINT: {
      // A child without border or bars has nothing outside its client area to draw; the
      // system's handler would still fetch a window DC for it.
      const LONG kFramed = WS_BORDER | WS_DLGFRAME | WS_THICKFRAME | WS_HSCROLL | WS_VSCROLL;
      const LONG kEdged = WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME;
      LONG style = GetWindowLongA(hwnd_, GWL_STYLE);
      if (!IsNativeClass() && (style & WS_CHILD) && !(style & kFramed) &&
          !(GetWindowLongA(hwnd_, GWL_EXSTYLE) & kEdged))
        return 0;
      break;
    }
    case WM_ERASEBKGND:
      if (!IsNativeClass()) return 1;  // WM_PAINT covers every pixel
      break;
    case WM_PAINT:
      if (!IsNativeClass()) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        RECT client = ClientRect();
        CMemoryDC memory(dc, client.right, client.bottom);
        Paint(memory.Get());
        PaintGraphicChildren(memory.Get(), ps.rcPaint);
        memory.CopyTo(dc, 0, 0);
        EndPaint(hwnd_, &ps);
        return 0;
      }
      break;
    case WM_PRINTCLIENT:
      if (!IsNativeClass()) {
        RECT client = ClientRect();
        Paint(reinterpret_cast<HDC>(wParam));
        PaintGraphicChildren(reinterpret_cast<HDC>(wParam), client);
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd_, &pt);
        CControl* child = GraphicChildAt(pt);
        HCURSOR cursor = child != nullptr && child->cursor_ != nullptr ? child->cursor_ : cursor_;
        if (cursor != nullptr) {
          ::SetCursor(cursor);
          return TRUE;
        }
      }
      break;
    case WM_KEYDOWN:
      if (OnKeyDown) {
        WORD key = static_cast<WORD>(wParam);
        OnKeyDown(this, key, ShiftState(0));
        if (key == 0) return 0;
        wParam = key;
      }
      break;
    case WM_NCHITTEST:
      if (MouseTransparent()) return HTTRANSPARENT;
      break;
    default:
      break;
  }
  if (msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK) {
    if (!IsNativeClass() && RouteMouseToGraphic(msg, wParam, lParam)) return 0;
    FireMouseEvent(this, msg, wParam, lParam);
  }
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (!IsNativeClass()) {
        pressed_ = true;
        SetCapture(hwnd_);
        return 0;
      }
      break;
    case WM_LBUTTONUP:
      if (!IsNativeClass() && pressed_) {
        pressed_ = false;
        ReleaseCapture();
        POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        RECT client = ClientRect();
        if (PtInRect(&client, pt)) Click();
        return 0;
      }
      break;
    case WM_CAPTURECHANGED:
      pressed_ = false;
      break;
    case WM_LBUTTONDBLCLK:
      if (!IsNativeClass()) {
        Fire(OnDblClick, this);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefaultHandler(msg, wParam, lParam);
}

void CControl::Click() { Fire(OnClick, this); }

RECT CControl::ClientRect() const {
  RECT r = {0, 0, width_, height_};
  if (hwnd_ != nullptr) GetClientRect(hwnd_, &r);
  return r;
}

void CControl::SetBounds(int left, int top, int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  bool sized = width != width_ || height != height_;
  if (windowless_) {
    if (!sized && left == left_ && top == top_) return;
    InvalidateArea(nullptr);
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    InvalidateArea(nullptr);
    if (!hint_.empty() && HostHandle() != nullptr)
      if (CForm* form = ParentForm()) form->RegisterHint(this);
    if (sized) Resized();
    if (parent_ != nullptr && align_ != TAlign::None) parent_->Realign();
    return;
  }
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (hwnd_ != nullptr) {
    SetWindowPos(hwnd_, nullptr, left, top, width, WindowHeight(height), SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (sized) {
    Realign();
  }
  if (parent_ != nullptr && align_ != TAlign::None) parent_->Realign();
  if (parent_ != nullptr && sized) parent_->ChildrenChanged(this);
}

void CControl::SetAlign(TAlign align) {
  align_ = align;
  if (parent_ != nullptr) parent_->Realign();
}

void CControl::Realign() {
  // A child's new bounds run its owner's code (a page building itself on its first size, a
  // scroll box making or freeing frames), which may add, remove or reorder children of this
  // control: the list is read afresh at every step, never through a position into a list that
  // has moved, and a pass during which it changed starts over with the space recomputed.
  for (int pass = 0; pass < 8; ++pass) {
    if (!AlignChildren()) return;
  }
}

bool CControl::AlignChildren() {
  const uint32_t changes = childrenChanges_;
  RECT area = ClientRect();
  static const TAlign kOrder[] = {TAlign::Top, TAlign::Bottom, TAlign::Left, TAlign::Right,
                                  TAlign::Client};
  for (TAlign kind : kOrder) {
    for (size_t i = 0; i < children_.size(); ++i) {
      CControl* c = children_[i];
      if (c->align_ != kind || !c->visible_) continue;
      int l = area.left, t = area.top, w = area.right - area.left, h = area.bottom - area.top;
      switch (kind) {
        case TAlign::Top: h = c->height_; area.top += h; break;
        case TAlign::Bottom: h = c->height_; t = area.bottom - h; area.bottom -= h; break;
        case TAlign::Left: w = c->width_; area.left += w; break;
        case TAlign::Right: w = c->width_; l = area.right - w; area.right -= w; break;
        default: break;
      }
      if (l != c->left_ || t != c->top_ || w != c->width_ || h != c->height_) {
        TAlign saved = c->align_;
        c->align_ = TAlign::None;  // no re-entry into this parent's alignment
        c->SetBounds(l, t, w, h);
        c->align_ = saved;
        if (childrenChanges_ != changes) return true;
      }
    }
  }
  return false;
}

void CControl::Resized() { Fire(OnResize, this); }

void CControl::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (hwnd_ != nullptr) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
  if (windowless_) {
    if (!visible && parent_ != nullptr && parent_->mouseChild_ == this) parent_->mouseChild_ = nullptr;
    InvalidateArea(nullptr);
    if (!hint_.empty() && HostHandle() != nullptr)
      if (CForm* form = ParentForm()) form->RegisterHint(this);
  }
  if (parent_ != nullptr && align_ != TAlign::None) parent_->Realign();
  if (parent_ != nullptr) parent_->ChildrenChanged(this);
  StateChanged();
}

void CControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (hwnd_ != nullptr) EnableWindow(hwnd_, enabled ? TRUE : FALSE);
  Invalidate();
  StateChanged();
}

void CControl::SetText(const char* text) {
  text_ = text ? text : "";
  if (hwnd_ != nullptr) SetWindowTextA(hwnd_, text_.c_str());
  else if (windowless_) Invalidate();
}

std::string CControl::WindowText() const {
  if (hwnd_ == nullptr) return text_;
  int length = GetWindowTextLengthA(hwnd_);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  int got = GetWindowTextA(hwnd_, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

void CControl::SetColor(COLORREF color) {
  color_ = color;
  parentColor_ = false;
  Invalidate();
}

COLORREF CControl::Color() const {
  if (parentColor_ && parent_ != nullptr) return parent_->Color();
  return color_;
}

void CControl::SetParentColor(bool parentColor) {
  parentColor_ = parentColor;
  Invalidate();
}

void CControl::SetFont(HFONT font) {
  font_ = font;
  ApplyFont();
}

HFONT CControl::Font() const {
  if (font_ != nullptr) return font_;
  if (parent_ != nullptr) return parent_->Font();
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void CControl::ApplyFont() {
  if (hwnd_ == nullptr) return;
  if (IsNativeClass()) SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), !RepaintHeld(hwnd_));
  else Invalidate();
  for (CControl* c : children_)
    if (c->font_ == nullptr) c->ApplyFont();
}

void CControl::SetHint(const char* hint) {
  hint_ = hint ? hint : "";
  if (HostHandle() != nullptr)
    if (CForm* form = ParentForm()) form->RegisterHint(this);
}

void CControl::Invalidate() {
  if (windowless_) InvalidateArea(nullptr);
  else if (hwnd_ != nullptr && !RepaintHeld(hwnd_)) InvalidateRect(hwnd_, nullptr, TRUE);
}

void CControl::Update() {
  if (hwnd_ != nullptr) UpdateWindow(hwnd_);
}

void CControl::BringToFront() {
  if (parent_ != nullptr) {
    auto& list = parent_->children_;
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i] == this) {
        list.erase(list.begin() + static_cast<long>(i));
        break;
      }
    list.push_back(this);
    ++parent_->childrenChanges_;
  }
  if (hwnd_ != nullptr) SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void CControl::SetFocus() {
  if (hwnd_ != nullptr) ::SetFocus(hwnd_);
}

void CControl::PaintSurface(HDC dc, const RECT& area) { FillRect(dc, &area, SharedSolidBrush(Color())); }

void CControl::Paint(HDC dc) {
  RECT client = ClientRect();
  PaintSurface(dc, client);
}

void CControl::PaintUnder(CControl* child, HDC dc) {
  // Windowless children lie under every windowed one, whatever their order.
  RECT area = child->BoundsRect();
  POINT origin;
  OffsetViewportOrgEx(dc, -area.left, -area.top, &origin);
  PaintSurface(dc, area);
  PaintGraphicChildren(dc, area);
  SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
}
