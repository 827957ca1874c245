// Controls: components with bounds, a caption and a place among their parent's children.
// Most own a window: one object per window; `this` is bound once at creation and unbound at
// WM_NCDESTROY, so no message reaches an object that is gone. Windowless ones are drawn and
// fed the mouse by their parent, so that a card full of labels costs one window, not twenty.
// Notifications a child sends its parent (WM_COMMAND, WM_NOTIFY, scrolling, colour queries)
// go to the child's object first; the parent sees them only when the child did not take them.
#pragma once
#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "ui/framework/component.h"
#include "ui/framework/events.h"
#include "ui/framework/messages.h"

enum class TAlign { None, Top, Bottom, Left, Right, Client };

class CForm;

class CControl : public CComponent {
 public:
  CControl(CComponent* owner, const char* name);
  ~CControl() override;
  void BeforeDestruction() override;
  const char* ClassName() const override { return "TControl"; }

  // The window that holds this one. The window is created as soon as the parent has one.
  void SetParent(CControl* parent);
  CControl* Parent() const { return parent_; }
  CForm* ParentForm();
  HWND Handle() const { return hwnd_; }
  bool HandleAllocated() const { return hwnd_ != nullptr; }
  // Makes the window (and its children's) now, when the parent has one.
  void EnsureHandle() { CreateHandle(); }
  // Destroys the window and its children's, keeping the objects whole (caption, state,
  // bounds): EnsureHandle makes them again. Their hints leave the form's tool tip.
  void FreeHandle() { DestroyHandle(); }
  // True while a message of this window or of a window inside it is being handled: its
  // handler is on the stack, so the window must stay.
  bool InMessage() const;
  // Gives this control's windows, its children's included, to `to`: a control of the same
  // make under the same parent that has none. The windows then show `to` as if it had made
  // them (bounds, caption, state, font, hints), which costs a fraction of destroying them
  // here and making them there. False, changing nothing, when the two differ in shape (class,
  // styles, children) or a window in the tree keeps more than its object gives it.
  bool HandWindowsTo(CControl* to);
  static CControl* FromHandle(HWND hwnd);
  // Windowless controls (labels, images, paint boxes, bevels) have no window of their own:
  // their parent paints them and hands them its mouse messages.
  bool Windowless() const { return windowless_; }
  // The window this control's picture is on: its own, or its parent's when windowless.
  HWND HostHandle() const;

  void SetBounds(int left, int top, int width, int height);
  void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
  void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  RECT ClientRect() const;
  void SetAlign(TAlign align);

  void SetVisible(bool visible);
  bool Visible() const { return visible_; }
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }
  // Visible together with every parent.
  bool Showing() const;

  // The caption (window text).
  void SetText(const char* text);
  // What the window shows now (the user may have typed it); the caption without a window.
  std::string WindowText() const;
  // Updates the caption kept here without touching the window (which already shows it).
  void SetCaptionOnly(const char* text) { text_ = text ? text : ""; }
  const std::string& Text() const { return text_; }

  void SetColor(COLORREF color);
  COLORREF Color() const;
  void SetParentColor(bool parentColor);
  // A shared font, not owned; without one the parent's font is used.
  void SetFont(HFONT font);
  HFONT Font() const;
  void SetFontColor(COLORREF color) { fontColor_ = color; Invalidate(); }
  COLORREF FontColor() const { return fontColor_; }

  void SetHint(const char* hint);
  const std::string& Hint() const { return hint_; }
  // The mouse pointer over this control (a shared system cursor); nullptr: the arrow.
  void SetCursor(HCURSOR cursor) { cursor_ = cursor; }
  HCURSOR Cursor() const { return cursor_; }

  // Whether Tab stops here; controls that take typing or clicks from the keyboard do.
  void SetTabStop(bool tabStop) { tabStop_ = tabStop; }
  bool TabStop() const { return tabStop_; }
  // A control with a window that is visible and enabled with all its parents.
  bool CanFocus() const;
  bool Focused() const;

  void Invalidate();
  void Update();
  void BringToFront();
  void SetFocus();

  CNotifyEvent OnClick;
  CNotifyEvent OnDblClick;
  // First once the window and its children's windows exist, then at every change of size.
  CNotifyEvent OnResize;
  CMouseEvent OnMouseDown;
  CMouseEvent OnMouseUp;
  CMouseMoveEvent OnMouseMove;
  // Keys typed while this control has the keyboard (before the control acts on them).
  CKeyEvent OnKeyDown;

  // Acts as if the user clicked.
  virtual void Click();
  // Fire the mouse events (x, y in this control's coordinates; keys as in mouse messages).
  void MouseDown(TMouseButton button, WPARAM keys, int x, int y);
  void MouseUp(TMouseButton button, WPARAM keys, int x, int y);
  void MouseMove(WPARAM keys, int x, int y);
  // Push buttons: Enter presses the default one, Esc the cancel one.
  virtual bool IsButton() const { return false; }
  virtual bool IsDefault() const { return false; }
  virtual bool IsCancel() const { return false; }
  // Radio buttons: Tab stops once per group, the arrow keys move within it.
  virtual bool IsRadioButton() const { return false; }
  // Drop-down lists: while dropped, Enter and Esc are the list's.
  virtual bool HasDropDown() const { return false; }

  // Messages of this control's window; the end of every override is DefaultHandler.
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);
  // A notification this control sent its parent; true when it was handled.
  virtual bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

  // Transparent drawing: paints what lies under the windowed `child` (the surface and the
  // windowless children) into `dc`, whose origin is the child's top left corner.
  void PaintUnder(CControl* child, HDC dc);
  int ChildCount() const { return static_cast<int>(children_.size()); }
  CControl* Child(int index) const { return children_[static_cast<size_t>(index)]; }
  // The topmost visible windowless child under `point` (client coordinates) that takes the
  // mouse, or nullptr.
  CControl* GraphicChildAt(POINT point) const;

 protected:
  struct CCreateParams {
    const char* windowClass = nullptr;  // nullptr: the class name, registered by the framework
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    UINT classStyle = CS_DBLCLKS;
    HWND parent = nullptr;
    HWND owner = nullptr;  // for top-level windows
  };
  virtual void CreateParams(CCreateParams& params);
  // Creates the window (and those of the children) when the parent has one.
  void CreateHandle();
  void DestroyHandle();
  // Runs once the window exists.
  virtual void HandleCreated() {}
  // The height to ask of the system for a control `height` high (a drop-down list asks for
  // its opened list too).
  virtual int WindowHeight(int height) const { return height; }
  // Native controls keep the system's window procedure behind ours.
  bool IsNativeClass() const { return nativeProc_ != nullptr; }
  // Whether the window holds nothing but what this object puts into it at creation (bounds,
  // caption, styles, font, and what HandleCreated and Resized send), so that another object
  // of the same class may take it over. Not so for windows that keep what the user typed,
  // items, or scroll state of their own.
  virtual bool WindowReusable() const { return false; }

  // Background of this control's surface in its own coordinates. Default: the colour.
  virtual void PaintSurface(HDC dc, const RECT& area);
  // Windowed custom controls paint here into a memory DC (double buffered); windowless ones
  // paint their picture here on the parent's surface, with the origin at their own corner.
  virtual void Paint(HDC dc);
  // Labels and pictures without mouse handlers let the mouse through to what is below.
  virtual bool MouseTransparent() const { return false; }
  bool HasMouseHandlers() const { return OnClick || OnDblClick || OnMouseDown || OnMouseUp || OnMouseMove; }
  // Windowless controls: the parent's painting draws the children in `dc`, whose origin is
  // the parent's client corner.
  void PaintGraphicChildren(HDC dc, const RECT& area);
  // Mouse messages of this window that belong to a windowless child; true when taken.
  bool RouteMouseToGraphic(UINT msg, WPARAM wParam, LPARAM lParam);
  // Set by a windowless control's constructor, before it has a parent.
  void SetWindowless() { windowless_ = true; }
  // Repaints `rect` of this control (its own coordinates), on the host's surface.
  void InvalidateArea(const RECT* rect);

  virtual void Resized();
  // After SetVisible or SetEnabled changed the control (controls made of several windows).
  virtual void StateChanged() {}
  // A child came, went, or changed its size or visibility.
  virtual void ChildrenChanged(CControl* child) { (void)child; }
  // Whether a child gets its window as soon as this control has one (a scroll box makes the
  // windows of the frames it shows only).
  virtual bool WantsChildWindow(const CControl* child) const { (void)child; return true; }
  // Puts `child` at place `index` among the children (their order is the stacking order).
  void MoveChild(CControl* child, int index);
  void Realign();
  bool AlignChildren();  // one pass of Realign; true when the children changed meanwhile
  void ApplyFont();

  bool pressed_ = false;  // left button went down inside and is still held

 private:
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static void RegisterFrameworkClass(const char* className, UINT style);
  LRESULT SafeWndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  void BindWindow(HWND hwnd);
  void Unbind();
  // HandWindowsTo's steps: the windows of `from` bound to `to`, then set up for it.
  static bool SameShape(CControl* from, CControl* to);
  static void TakeWindows(CControl* from, CControl* to);
  void FinishTakenWindows();
  void AddChild(CControl* child);
  void RemoveChild(CControl* child);

  CControl* parent_ = nullptr;
  std::vector<CControl*> children_;  // not owned; bottom to top
  uint32_t childrenChanges_ = 0;      // counts every change of children_ (Realign starts over)
  HWND hwnd_ = nullptr;
  WNDPROC nativeProc_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::None;
  bool visible_ = true;
  bool enabled_ = true;
  bool parentColor_ = false;
  COLORREF color_;
  COLORREF fontColor_ = RGB(0, 0, 0);
  HFONT font_ = nullptr;  // shared, not owned
  std::string text_;
  std::string hint_;
  HCURSOR cursor_ = nullptr;  // shared, not owned
  bool hintRegistered_ = false;  // the form's tool tip holds a tool for this control
  bool creating_ = false;  // inside CreateWindowEx
  bool windowless_ = false;
  bool tabStop_ = false;
  CControl* mouseChild_ = nullptr;  // the windowless child that has the mouse captured

  friend class CForm;
};

// Tests: windows of this framework class (nullptr: none) cannot be created, as when the
// process is out of window handles.
void FailWindowsOfClassForTests(const char* className);

// The top-level window `hwnd` belongs to (itself when it is one).
HWND TopWindowOf(HWND hwnd);
// Whether `msg` is mouse or keyboard input for a window whose top-level window is disabled,
// because a modal window runs above it. The system never gives such a window input from the
// mouse or the keyboard; only a message posted by another program, or queued before the modal
// window opened, gets there, and acting on it would run a page's code under the dialog (a
// card deleted while its own editor is open). The framework drops such input.
bool IsInputForDisabledWindow(HWND hwnd, UINT msg);

// Exceptions of the framework. `resources` marks a failure the user can mend (the system ran
// out of windows or memory): the standard box tells of it; the rest are faults of the program.
class CFrameworkError : public std::exception {
 public:
  explicit CFrameworkError(const char* message, bool resources = false);
  const char* Message() const { return message_; }
  const char* what() const noexcept override { return message_; }
  bool Resources() const { return resources_; }

 private:
  char message_[256];
  bool resources_;
};
