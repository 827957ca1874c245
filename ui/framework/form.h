// Forms (top-level windows, shown plainly or modally) and frames (pages hosted in a panel).
#pragma once
#include <windows.h>

#include <functional>

#include "ui/framework/control.h"
#include "ui/framework/gdi.h"

enum class TBorderStyle { None, Single, Dialog };
enum class TPosition { Designed, ScreenCenter, OwnerCenter };
enum class TCloseAction { None, Hide, Free };

// Modal results with the usual numbers.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
              mrYes = 6, mrNo = 7;

using CCloseEvent = std::function<void(CComponent* Sender, TCloseAction& Action)>;

template <class T>
CCloseEvent Bind(T* self, void (T::*handler)(CComponent*, TCloseAction&)) {
  return [self, handler](CComponent* sender, TCloseAction& action) {
    (self->*handler)(sender, action);
  };
}

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

  // Creates the window and runs the create handler once.
  void EnsureCreated();
  void Show();       // shows and activates
  void Close();      // runs the close handler, then hides, frees or ends the application
  // Shows the form modally and returns its modal result. A modal script set by a test
  // answers instead of the user.
  int ShowModal();
  void SetModalResult(int result) { modalResult_ = result; }
  int ModalResult() const { return modalResult_; }
  bool Modal() const { return modal_; }
  // Destroys the form after the current message.
  void Release();

  void RegisterHint(CControl* control);

  CNotifyEvent OnCreate;
  CNotifyEvent OnDestroy;
  CNotifyEvent OnActivate;
  CNotifyEvent OnShow;
  CCloseEvent OnClose;

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;

 private:
  TBorderStyle borderStyle_ = TBorderStyle::Single;
  TPosition position_ = TPosition::Designed;
  CFont font_;
  HWND tooltip_ = nullptr;
  bool created_ = false;
  bool modal_ = false;
  bool topMost_ = false;
  int modalResult_ = mrNone;
};

// A page: a child window with its own class name, hosted in a panel of a form.
class CFrame : public CControl {
 public:
  explicit CFrame(CComponent* owner, const char* name = nullptr);
  const char* ClassName() const override { return "TFrame"; }
};

// Test seam: a script answers every modal form instead of the user (nullptr restores real
// modal loops). The script may set fields and click controls of the form; its return value
// is the modal result.
using ModalScript = int (*)(void* context, CForm* form);
void SetModalScript(ModalScript script, void* context);

// Pages with unsaved edits answer whether they may be left (asking the user if need be).
class CQueryClose {
 public:
  virtual bool QueryClose() = 0;

 protected:
  ~CQueryClose() = default;
};
