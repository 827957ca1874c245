// The application object: the hidden owner window of every form (so no form gets a taskbar
// button of its own), the message loop, timers' home window and the standard exception box.
#pragma once
#include <windows.h>

#include <string>
#include <utility>

#include "ui/framework/control.h"

class CForm;
class CTimer;

class CApplication : public CComponent {
 public:
  CApplication();
  ~CApplication() override;
  const char* ClassName() const override { return "TApplication"; }

  // Registers the common controls and creates the owner window. Idempotent.
  void Initialize();
  HWND Handle();  // the owner window, created by Initialize
  void SetTitle(const char* title);
  const char* Title() const { return title_.c_str(); }

  // Creates a form owned by the application, its window and runs its create handler.
  // The first form created is the main form.
  template <class T, class... Args>
  T* CreateForm(Args&&... args) {
    Initialize();
    T* form = new T(this, std::forward<Args>(args)...);
    AdoptForm(form);
    return form;
  }
  CForm* MainForm() const { return mainForm_; }

  // Shows the main form when visible and runs the loop until Terminate.
  // Returns at once when already terminated.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles the messages waiting now (tests and long operations).
  void ProcessMessages();
  // Hands a key to the dialog keys of the form it was typed in; true when that took it.
  bool IsDialogKey(const MSG& msg);
  // Called inside a catch block: the standard exception box, in the console's language and
  // only for what the user can act on (memory or window resources ran out); any other fault
  // goes to the debugger's output.
  void HandleException();

  // Hides the owner window: the console keeps no taskbar button.
  void HideOwnerWindow();
  // Hides the main form (it stays reachable from the tray).
  void Minimize();
  // Shows and activates the main form again.
  void Restore();

  // Frees every form and component the application owns (the main form last created
  // first), while the process is still whole.
  void Shutdown();

  // Timers live on the owner window.
  void StartTimer(CTimer* timer, UINT interval);
  void StopTimer(CTimer* timer);
  // A form freed after the current message, not from inside its own handler.
  void ReleaseLater(CComponent* component);

 private:
  class COwnerWindow;
  void AdoptForm(CForm* form);
  COwnerWindow* window_ = nullptr;
  CForm* mainForm_ = nullptr;
  std::string title_;
  bool terminated_ = false;
  bool initialized_ = false;
};

extern CApplication Application;
