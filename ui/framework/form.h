// Forms (top-level windows, shown plainly or modally) and frames (pages hosted in a panel).
#pragma once
#include <windows.h>

#include <functional>
#include <vector>

#include "ui/framework/control.h"
#include "ui/framework/gdi.h"
#include "ui/framework/looks.h"

enum class TBorderStyle { None, Single, Dialog };
enum class TPosition { Designed, ScreenCenter, OwnerCenter };
enum class TCloseAction { None, Hide, Free };

// Modal results with the usual numbers.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
              mrYes = 6, mrNo = 7;

using CCloseEvent = std::function<void(CComponent* Sender, TCloseAction& Action)>;
// Set `CanClose` to false to keep the form open.
using CCloseQueryEvent = CChangingEvent;

class CForm : public CControl {
 public:
  explicit CForm(CComponent* owner, const char* name = nullptr);
  ~CForm() override;
  void BeforeDestruction() override;
  const char* ClassName() const override { return "TForm"; }

  void SetBorderStyle(TBorderStyle style) { borderStyle_ = style; }
  void SetPosition(TPosition position) { position_ = position; }
  void SetClientSize(int width, int height);
  // The form's own font (owned), handed to every control without a font of its own.
  void SetFormFont(const char* face, int pixels);
  void SetTopMost(bool topMost);
  // A single-bordered form without the minimise box: the system menu only.
  void SetMinimizeBox(bool minimizeBox) { minimizeBox_ = minimizeBox; }
  // Esc on a form without a cancel button closes it (as its close box does).
  void SetCloseOnEscape(bool closes) { closeOnEscape_ = closes; }
  // A form that stays answerable while a modal form runs (a prompt): never disabled by it,
  // and kept below it.
  void SetStaysAnswerable(bool stays) { staysAnswerable_ = stays; }
  // The innermost modal form running now, or nullptr.
  static CForm* TopModal();
  bool StaysAnswerable() const { return staysAnswerable_; }
  // Activates the form and, unless one of its controls has the keyboard already, gives it
  // to the first tab stop.
  void TakeKeyboard();

  // Creates the window and runs the create handler once.
  void EnsureCreated();
  void Show();       // shows and activates
  // Shows the form without taking the keyboard from the window that has it; a top-most form
  // comes to the top of the top-most windows.
  void ShowInactive();
  // Asks OnCloseQuery, runs the close handler, then hides, frees or ends the application
  // (a modal form ends its loop with mrCancel).
  void Close();
  // Shows the form modally and returns its modal result. A modal script set by a test
  // answers instead of the user.
  int ShowModal();
  void SetModalResult(int result) { modalResult_ = result; }
  int ModalResult() const { return modalResult_; }
  bool Modal() const { return modal_; }
  // Destroys the form after the current message.
  void Release();

  void RegisterHint(CControl* control);
  void UnregisterHint(CControl* control);
  // Hands a mouse message of one of the form's windows to the tool tip. The tool tip does not
  // subclass the windows it serves: a subclass would look up its window property at every
  // message of every card window, each a call to the window server.
  void RelayToHints(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // The control that has the keyboard (or holds the window that has it), or nullptr.
  CControl* FocusedControl();

  // The dialog keys, as the system's dialog manager handles them: Tab and Shift+Tab walk the
  // tab stops in creation order, the arrow keys move within a group of radio buttons, Enter
  // presses the focused button or else the default one, Esc the cancel button (or ends a
  // modal form with mrCancel). True when `msg` was such a key and has been acted on.
  bool DialogKey(const MSG& msg);
  // The tab stops that can take the keyboard now, in order.
  std::vector<CControl*> TabStops();
  // Moves the keyboard to the next (or previous) tab stop after the focused control.
  void SelectNext(bool forward);

  CNotifyEvent OnCreate;
  CNotifyEvent OnDestroy;
  CNotifyEvent OnActivate;
  CNotifyEvent OnShow;
  CCloseEvent OnClose;
  CCloseQueryEvent OnCloseQuery;

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;

 private:
  // Destroys the tool tip, if it is still this form's, and forgets every tool it had.
  void DropTooltip();

  TBorderStyle borderStyle_ = TBorderStyle::Single;
  TPosition position_ = TPosition::Designed;
  CFont font_;
  HWND tooltip_ = nullptr;
  bool created_ = false;
  bool modal_ = false;
  bool topMost_ = false;
  bool minimizeBox_ = true;
  bool closeOnEscape_ = false;
  bool staysAnswerable_ = false;
  int modalResult_ = mrNone;
};

// A frame: a child window with its own class name, hosted in a panel of a form or stacked
// in a scroll box (cards).
class CFrame : public CControl {
 public:
  explicit CFrame(CComponent* owner, const char* name = nullptr);
  const char* ClassName() const override { return "TFrame"; }

 protected:
  void CreateParams(CCreateParams& params) override;
  bool WindowReusable() const override { return true; }
};

// A page of the main window's view panel: the page size, the flat look given once to every
// glyph button on the page when its windows exist (with the key colour GlyphKey), and the
// question asked before the main window leaves it.
class CPage : public CFrame {
 public:
  explicit CPage(CComponent* owner, const char* name = nullptr);
  const char* ClassName() const override { return "TPage"; }
  // Whether the page may be left now; pages with unsaved edits ask the user. Default: yes.
  virtual bool QueryClose() { return true; }
  // The rules in force were replaced (a level change), after QueryClose agreed: a page that
  // shows them shows the new ones.
  virtual void RulesInForceChanged() {}

 protected:
  // Runs once, at the first resize, when the page and its children have windows.
  virtual void PageInit() {}
  void Resized() override;
  COLORREF GlyphKey = kGlyphKeyColor;
  bool Initialised = false;
};

// Test seam: a script answers every modal form instead of the user (nullptr restores real
// modal loops). The script may set fields and click controls of the form; its return value
// is the modal result.
using ModalScript = int (*)(void* context, CForm* form);
void SetModalScript(ModalScript script, void* context);

// Every glyph button among `root`'s children, at any depth, gets the flat look.
void ApplyFlatLookToButtons(CControl* root, COLORREF transparent);
