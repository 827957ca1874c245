#include "ui/framework/form.h"

#include <commctrl.h>

#include <vector>

#include "ui/framework/application.h"

namespace {
ModalScript g_modalScript = nullptr;
void* g_modalContext = nullptr;

BOOL CALLBACK CollectEnabledWindow(HWND hwnd, LPARAM lParam) {
  auto* list = reinterpret_cast<std::vector<HWND>*>(lParam);
  if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) list->push_back(hwnd);
  return TRUE;
}
}  // namespace

void SetModalScript(ModalScript script, void* context) {
  g_modalScript = script;
  g_modalContext = context;
}

CForm::CForm(CComponent* owner, const char* name) : CControl(owner, name) {
  CControl::SetVisible(false);
}

CForm::~CForm() {
  if (tooltip_ != nullptr) DestroyWindow(tooltip_);
}

void CForm::BeforeDestruction() {
  if (created_) Fire(OnDestroy, this);
  if (tooltip_ != nullptr) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  CControl::BeforeDestruction();
}

void CForm::CreateParams(CCreateParams& params) {
  params.owner = Application.Handle();
  params.classStyle = CS_DBLCLKS;
  switch (borderStyle_) {
    case TBorderStyle::None:
      params.style = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
      break;
    case TBorderStyle::Dialog:
      params.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
      params.exStyle = WS_EX_DLGMODALFRAME;
      break;
    default:
      params.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
      break;
  }
  if (topMost_) params.exStyle |= WS_EX_TOPMOST;
  if (position_ == TPosition::ScreenCenter ||
      (position_ == TPosition::OwnerCenter && Owner() == nullptr)) {
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    SetBounds(work.left + (work.right - work.left - Width()) / 2,
              work.top + (work.bottom - work.top - Height()) / 2, Width(), Height());
  } else if (position_ == TPosition::OwnerCenter) {
    HWND ownerWindow = GetActiveWindow();
    RECT r;
    if (ownerWindow != nullptr && GetWindowRect(ownerWindow, &r))
      SetBounds(r.left + (r.right - r.left - Width()) / 2,
                r.top + (r.bottom - r.top - Height()) / 2, Width(), Height());
  }
}

void CForm::SetClientSize(int width, int height) {
  RECT r = {0, 0, width, height};
  if (borderStyle_ != TBorderStyle::None) {
    DWORD style = borderStyle_ == TBorderStyle::Dialog ? WS_POPUP | WS_CAPTION | WS_SYSMENU
                                                       : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&r, style, FALSE, borderStyle_ == TBorderStyle::Dialog ? WS_EX_DLGMODALFRAME : 0);
  }
  SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
}

void CForm::SetFormFont(const char* face, int pixels) {
  font_.Reset(CreatePixelFont(face, pixels));
  SetFont(font_.Get());
}

void CForm::SetTopMost(bool topMost) {
  topMost_ = topMost;
  if (Handle() != nullptr)
    SetWindowPos(Handle(), topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CForm::HandleCreated() {}

void CForm::EnsureCreated() {
  CreateHandle();
  if (created_) return;
  created_ = true;
  Fire(OnCreate, this);
}

void CForm::Show() {
  EnsureCreated();
  CControl::SetVisible(true);
  if (Handle() != nullptr) {
    ShowWindow(Handle(), SW_SHOW);
  }
  Fire(OnShow, this);
}

void CForm::Close() {
  if (modal_) {
    if (modalResult_ == mrNone) modalResult_ = mrCancel;
    return;
  }
  bool isMain = Application.MainForm() == this;
  TCloseAction action = isMain ? TCloseAction::Free : TCloseAction::Hide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::None) return;
  if (isMain) {
    Application.Terminate();
    return;
  }
  if (action == TCloseAction::Hide) Hide();
  else Release();
}

int CForm::ShowModal() {
  EnsureCreated();
  modalResult_ = mrNone;
  if (g_modalScript != nullptr) return g_modalScript(g_modalContext, this);

  std::vector<HWND> disabled;
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow,
                    reinterpret_cast<LPARAM>(&disabled));
  for (HWND hwnd : disabled)
    if (hwnd != Handle()) EnableWindow(hwnd, FALSE);
  modal_ = true;
  Show();
  while (modalResult_ == mrNone && !Application.Terminated()) {
    MSG msg;
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop must see it too
      break;
    }
    if (got < 0) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  for (HWND hwnd : disabled)
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  modal_ = false;
  Hide();
  if (modalResult_ == mrNone) modalResult_ = mrCancel;
  return modalResult_;
}

void CForm::Release() { Application.ReleaseLater(this); }

void CForm::RegisterHint(CControl* control) {
  if (control->Handle() == nullptr || Handle() == nullptr) return;
  if (tooltip_ == nullptr) {
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    if (tooltip_ == nullptr) return;
    SendMessageA(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
  }
  TTTOOLINFOA info = {};
  info.cbSize = TTTOOLINFOA_V1_SIZE;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = Handle();
  info.uId = reinterpret_cast<UINT_PTR>(control->Handle());
  info.lpszText = const_cast<char*>(control->Hint().c_str());
  SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
  if (!control->Hint().empty())
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

LRESULT CForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) Fire(OnActivate, this);
      break;
    default:
      break;
  }
  return CControl::WndProc(msg, wParam, lParam);
}

CFrame::CFrame(CComponent* owner, const char* name) : CControl(owner, name) {
  SetParentColor(true);
}
