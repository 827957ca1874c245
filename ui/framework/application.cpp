#include "ui/framework/application.h"

#include <commctrl.h>

#include <new>
#include <set>

#include "platform/msgbox.h"
#include "ui/framework/form.h"
#include "ui/framework/timer.h"

CApplication Application;

namespace {
std::set<CTimer*>& LiveTimers() {
  static std::set<CTimer*> timers;
  return timers;
}
}  // namespace

// The hidden window that owns every form, carries the title and runs the timers.
class CApplication::COwnerWindow : public CControl {
 public:
  explicit COwnerWindow(CComponent* owner) : CControl(owner, nullptr) { SetVisible(false); }
  const char* ClassName() const override { return "TApplication"; }
  void Create() { CreateHandle(); }

 protected:
  void CreateParams(CCreateParams& params) override {
    params.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    params.exStyle = WS_EX_TOOLWINDOW;
  }
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_TIMER) {
      auto* timer = reinterpret_cast<CTimer*>(wParam);
      if (LiveTimers().count(timer)) timer->Tick();
      return 0;
    }
    if (msg == kMsgReleaseComponent) {
      FreeComponent(reinterpret_cast<CComponent*>(lParam));
      return 0;
    }
    return CControl::WndProc(msg, wParam, lParam);
  }
};

CApplication::CApplication() : CComponent(nullptr, "Application") {}

CApplication::~CApplication() = default;

void CApplication::Initialize() {
  if (initialized_) return;
  initialized_ = true;
  // The common controls of NT 4.0 (before 4.70) have no InitCommonControlsEx: it is looked up,
  // and the old call registers the same classes there. The internet classes bring the IP
  // address control ("SysIPAddress32"), which those versions lack.
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_INTERNET_CLASSES};
  using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  HMODULE comctl = GetModuleHandleA("comctl32.dll");
  auto initEx = comctl != nullptr ? reinterpret_cast<InitEx>(GetProcAddress(comctl, "InitCommonControlsEx")) : nullptr;
  if (initEx == nullptr || !initEx(&icc)) InitCommonControls();
  window_ = new COwnerWindow(this);
  window_->SetText(title_.c_str());
  window_->Create();
}

HWND CApplication::Handle() {
  Initialize();
  return window_->Handle();
}

void CApplication::SetTitle(const char* title) {
  title_ = title ? title : "";
  if (window_ != nullptr) window_->SetText(title_.c_str());
}

void CApplication::AdoptForm(CForm* form) {
  if (mainForm_ == nullptr) mainForm_ = form;
  form->EnsureCreated();
}

void CApplication::Run() {
  if (terminated_) return;
  if (mainForm_ != nullptr && mainForm_->Visible()) mainForm_->Show();
  MSG msg;
  while (!terminated_) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) break;
    if (IsDialogKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  terminated_ = true;
}

void CApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  PostQuitMessage(0);
}

void CApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    if (IsDialogKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool CApplication::IsDialogKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.hwnd == nullptr) return false;
  HWND top = TopWindowOf(msg.hwnd);
  // Below a modal window: not the form's key, and not its window's either (dropped there).
  if (!IsWindowEnabled(top)) return false;
  auto* form = dynamic_cast<CForm*>(CControl::FromHandle(top));
  return form != nullptr && form->DialogKey(msg);
}

void CApplication::HandleException() {
  bool resources = false;
  try {
    throw;
  } catch (const std::bad_alloc&) {
    resources = true;
  } catch (const CFrameworkError& e) {
    resources = e.Resources();
    if (!resources) OutputDebugStringA(e.what());
  } catch (const std::exception& e) {
    OutputDebugStringA(e.what());
  } catch (...) {
  }
  if (!resources) return;
  HWND owner = mainForm_ != nullptr ? mainForm_->Handle() : nullptr;
  ShowMessageBox(owner, "系统资源不足，操作未能完成。请关闭一些窗口或程序后再试。", "错误", kMbOk | kMbIconError);
}

void CApplication::HideOwnerWindow() {
  if (window_ != nullptr && window_->Handle() != nullptr) ShowWindow(window_->Handle(), SW_HIDE);
}

void CApplication::Minimize() {
  HideOwnerWindow();
  if (mainForm_ != nullptr) mainForm_->Hide();
}

void CApplication::Restore() {
  if (mainForm_ == nullptr) return;
  mainForm_->Show();
  if (mainForm_->Handle() != nullptr && IsIconic(mainForm_->Handle()))
    ShowWindow(mainForm_->Handle(), SW_RESTORE);
}

void CApplication::Shutdown() {
  for (int i = ComponentCount() - 1; i >= 0; --i) {
    CComponent* c = Component(i);
    if (c != window_) FreeComponent(c);
  }
  mainForm_ = nullptr;
  FreeComponent(window_);
  window_ = nullptr;
  initialized_ = false;
  terminated_ = false;  // ready to be initialised again (tests run several lives)
}

void CApplication::StartTimer(CTimer* timer, UINT interval) {
  LiveTimers().insert(timer);
  SetTimer(Handle(), reinterpret_cast<UINT_PTR>(timer), interval, nullptr);
}

void CApplication::StopTimer(CTimer* timer) {
  if (LiveTimers().erase(timer) && window_ != nullptr && window_->Handle() != nullptr)
    KillTimer(window_->Handle(), reinterpret_cast<UINT_PTR>(timer));
}

void CApplication::ReleaseLater(CComponent* component) {
  PostMessageA(Handle(), kMsgReleaseComponent, 0, reinterpret_cast<LPARAM>(component));
}
