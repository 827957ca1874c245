// Controls: components that own a window. One object per window; `this` is bound once at
// creation and unbound at WM_NCDESTROY, so no message reaches an object that is gone.
// Notifications a child sends its parent (WM_COMMAND, WM_NOTIFY, scrolling, colour queries)
// go to the child's object first; the parent sees them only when the child did not take them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ui/framework/component.h"
#include "ui/framework/events.h"

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
  static CControl* FromHandle(HWND hwnd);

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

  // The caption (window text).
  void SetText(const char* text);
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

  void Invalidate();
  void Update();
  void BringToFront();
  void SetFocus();

  CNotifyEvent OnClick;
  CNotifyEvent OnDblClick;
  // First once the window and its children's windows exist, then at every change of size.
  CNotifyEvent OnResize;

  // Acts as if the user clicked.
  virtual void Click();

  // Messages of this control's window; the end of every override is DefaultHandler.
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);
  // A notification this control sent its parent; true when it was handled.
  virtual bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

  // Transparent drawing: paints what lies under `child` (the parent's surface and the
  // siblings below it) into `dc`, whose origin is the child's top left corner.
  void PaintUnder(CControl* child, HDC dc);
  int ChildCount() const { return static_cast<int>(children_.size()); }
  CControl* Child(int index) const { return children_[static_cast<size_t>(index)]; }

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
  // Native controls keep the system's window procedure behind ours.
  bool IsNativeClass() const { return nativeProc_ != nullptr; }

  // Background of this control's surface in its own coordinates. Default: the colour.
  virtual void PaintSurface(HDC dc, const RECT& area);
  // Controls whose pictures their transparent neighbours above must show.
  virtual bool PaintsOnParent() const { return false; }
  // The picture of a control that paints on its parent (in its own coordinates).
  virtual void PaintContent(HDC dc);
  // Custom windows paint here into a memory DC (double buffered).
  virtual void Paint(HDC dc);
  // Labels and pictures without click handlers let the mouse through to what is below.
  virtual bool MouseTransparent() const { return false; }

  virtual void Resized();
  void Realign();
  void ApplyFont();

  bool pressed_ = false;  // left button went down inside and is still held

 private:
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static void RegisterFrameworkClass(const char* className, UINT style);
  LRESULT SafeWndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  void BindWindow(HWND hwnd);
  void Unbind();
  void AddChild(CControl* child);
  void RemoveChild(CControl* child);

  CControl* parent_ = nullptr;
  std::vector<CControl*> children_;  // not owned; bottom to top
  HWND hwnd_ = nullptr;
  WNDPROC nativeProc_ = nullptr;
  ATOM nameAtom_ = 0;
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
  bool hintRegistered_ = false;
  bool creating_ = false;  // inside CreateWindowEx

  friend class CForm;
};

// Exceptions of the framework: a message the application's standard box shows.
class CFrameworkError {
 public:
  explicit CFrameworkError(const char* message);
  const char* Message() const { return message_; }

 private:
  char message_[256];
};

// Private styling messages of glyph buttons (a form sends them once to each of its buttons).
constexpr UINT kMsgButtonLayout = 0x621;  // wParam: glyph layout; lParam: HFONT
constexpr UINT kMsgButtonGlyph = 0x622;   // wParam: transparent colour; lParam: HBITMAP
