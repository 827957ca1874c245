#include "ui/framework/form.h"

#include <commctrl.h>

#include <vector>

#include "ui/framework/application.h"
#include "ui/framework/glyphbutton.h"
#include "ui/framework/describe.h"

namespace {
ModalScript g_modalScript = nullptr;
void* g_modalContext = nullptr;

CForm* g_topModal = nullptr;

struct CModalWindows {
  std::vector<HWND> disabled;  // what the modal form disables, and enables again
  bool answerableOnTop = false;  // a form that stays answerable is top-most
};

BOOL CALLBACK CollectEnabledWindow(HWND hwnd, LPARAM lParam) {
  auto* windows = reinterpret_cast<CModalWindows*>(lParam);
  if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd)) return TRUE;
  auto* form = dynamic_cast<CForm*>(CControl::FromHandle(hwnd));
  if (form != nullptr && form->StaysAnswerable()) {
    if (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) windows->answerableOnTop = true;
    return TRUE;
  }
  windows->disabled.push_back(hwnd);
  return TRUE;
}
}  // namespace

CForm* CForm::TopModal() { return g_topModal; }

void SetModalScript(ModalScript script, void* context) {
  g_modalScript = script;
  g_modalContext = context;
}

CForm::CForm(CComponent* owner, const char* name) : CControl(owner, name) {
  CControl::SetVisible(false);
}

CForm::~CForm() { DropTooltip(); }

void CForm::BeforeDestruction() {
  if (created_) Fire(OnDestroy, this);
  DropTooltip();
  CControl::BeforeDestruction();
}

void CForm::DropTooltip() {
  HWND tooltip = tooltip_;
  tooltip_ = nullptr;
  // Its tools go with it: no control of the form holds one any more.
  std::vector<CControl*> pending = {this};
  while (!pending.empty()) {
    CControl* c = pending.back();
    pending.pop_back();
    c->hintRegistered_ = false;
    for (int i = 0; i < c->ChildCount(); ++i) pending.push_back(c->Child(i));
  }
  // The tool tip is owned by the form's window and goes with it; a handle whose window is
  // gone may since name another window.
  if (tooltip != nullptr && Handle() != nullptr && IsWindow(tooltip) && GetWindow(tooltip, GW_OWNER) == Handle())
    DestroyWindow(tooltip);
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
      params.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
      if (minimizeBox_) params.style |= WS_MINIMIZEBOX;
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

void CForm::ShowInactive() {
  EnsureCreated();
  CControl::SetVisible(true);
  if (Handle() != nullptr)
    SetWindowPos(Handle(), topMost_ ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  Fire(OnShow, this);
}

void CForm::Close() {
  bool canClose = true;
  Fire(OnCloseQuery, this, canClose);
  if (!canClose) return;
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

  CModalWindows windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&windows));
  std::vector<HWND>& disabled = windows.disabled;
  for (HWND hwnd : disabled)
    if (hwnd != Handle()) EnableWindow(hwnd, FALSE);
  modal_ = true;
  CForm* outer = g_topModal;
  g_topModal = this;
  // Above a top-most prompt, which keeps itself just below (never hidden behind it).
  bool raised = windows.answerableOnTop && !topMost_;
  if (raised) SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Show();
  TakeKeyboard();
  while (modalResult_ == mrNone && !Application.Terminated()) {
    MSG msg;
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop must see it too
      break;
    }
    if (got < 0) break;
    if (Application.IsDialogKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  g_topModal = outer;
  if (raised) SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  for (HWND hwnd : disabled)
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  modal_ = false;
  Hide();
  if (modalResult_ == mrNone) modalResult_ = mrCancel;
  return modalResult_;
}

void CForm::TakeKeyboard() {
  if (Handle() == nullptr) return;
  // The windows that had the keyboard are disabled by now: nothing hands it on by itself.
  SetForegroundWindow(Handle());
  SetActiveWindow(Handle());
  HWND focus = GetFocus();
  if (focus != nullptr && IsChild(Handle(), focus)) return;  // its show handler chose an entry
  std::vector<CControl*> stops = TabStops();
  if (!stops.empty()) stops.front()->SetFocus();
  else ::SetFocus(Handle());
}

void CForm::Release() { Application.ReleaseLater(this); }

void CForm::RegisterHint(CControl* control) {
  HWND host = control->HostHandle();
  if (host == nullptr || Handle() == nullptr) return;
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
  info.lpszText = const_cast<char*>(control->Hint().c_str());
  if (control->Windowless()) {
    // A windowless control is an area of its host's window.
    info.uFlags = 0;
    info.hwnd = host;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.rect = control->BoundsRect();
  } else {
    info.uFlags = TTF_IDISHWND;
    info.hwnd = Handle();
    info.uId = reinterpret_cast<UINT_PTR>(control->Handle());
  }
  if (control->hintRegistered_) SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
  control->hintRegistered_ =
      !control->Hint().empty() && control->Visible() &&
      SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void CForm::RelayToHints(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (tooltip_ == nullptr) return;
  MSG relayed = {hwnd, msg, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {0, 0}};
  DWORD pos = GetMessagePos();
  relayed.pt = POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
  SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

void CForm::UnregisterHint(CControl* control) {
  if (!control->hintRegistered_) return;
  control->hintRegistered_ = false;
  if (tooltip_ == nullptr || control->HostHandle() == nullptr) return;
  TTTOOLINFOA info = {};
  info.cbSize = TTTOOLINFOA_V1_SIZE;
  info.hwnd = control->Windowless() ? control->HostHandle() : Handle();
  info.uId = control->Windowless() ? reinterpret_cast<UINT_PTR>(control)
                                   : reinterpret_cast<UINT_PTR>(control->Handle());
  SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

// ---- the dialog keys ----

namespace {
bool IsRadio(const CControl* c) { return c->IsRadioButton(); }

void CollectTabStops(CControl* parent, std::vector<CControl*>& stops) {
  for (int i = 0; i < parent->ChildCount(); ++i) {
    CControl* c = parent->Child(i);
    if (c->Windowless() || !c->Visible() || !c->Enabled() || !c->HandleAllocated()) continue;
    if (c->TabStop() && c->CanFocus()) stops.push_back(c);
    CollectTabStops(c, stops);
  }
}

// Of a group of radio buttons (the radio buttons of one parent), Tab stops only at the
// checked one, or at the first when none is checked.
void FoldRadioGroups(std::vector<CControl*>& stops) {
  std::vector<CControl*> kept;
  for (CControl* c : stops) {
    if (!IsRadio(c)) {
      kept.push_back(c);
      continue;
    }
    bool replaced = false;
    for (CControl*& k : kept)
      if (IsRadio(k) && k->Parent() == c->Parent()) {
        if (SendMessageA(c->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED) k = c;
        replaced = true;
        break;
      }
    if (!replaced) kept.push_back(c);
  }
  stops.swap(kept);
}

UINT DialogCode(HWND focus, const MSG& msg) {
  return static_cast<UINT>(
      SendMessageA(focus, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg)));
}

// The form's own default or cancel button. Frames (pages, cards) are not searched: Enter or
// Esc on the main window must never reach whichever card happens to come first.
template <class Pred>
CControl* FindButton(CControl* root, Pred pred) {
  for (int i = 0; i < root->ChildCount(); ++i) {
    CControl* c = root->Child(i);
    if (!c->Visible() || !c->Enabled()) continue;
    if (pred(c)) return c;
    if (dynamic_cast<CFrame*>(c) != nullptr) continue;
    if (CControl* inner = FindButton(c, pred)) return inner;
  }
  return nullptr;
}
}  // namespace

std::vector<CControl*> CForm::TabStops() {
  std::vector<CControl*> stops;
  CollectTabStops(this, stops);
  FoldRadioGroups(stops);
  return stops;
}

CControl* CForm::FocusedControl() {
  // The keyboard may be in another form: its controls are not this form's.
  HWND focus = GetFocus();
  if (Handle() == nullptr || focus == nullptr || !IsChild(Handle(), focus)) return nullptr;
  for (HWND w = focus; w != nullptr && w != Handle(); w = GetParent(w))
    if (CControl* c = CControl::FromHandle(w)) return c;
  return nullptr;
}

void CForm::SelectNext(bool forward) {
  std::vector<CControl*> stops = TabStops();
  if (stops.empty()) return;
  CControl* focused = FocusedControl();
  // The focused control may be inside a stop (a spin edit's edit) or in none (a label).
  size_t at = stops.size();
  for (CControl* c = focused; c != nullptr && at == stops.size(); c = c->Parent())
    for (size_t i = 0; i < stops.size(); ++i)
      if (stops[i] == c || (IsRadio(c) && IsRadio(stops[i]) && stops[i]->Parent() == c->Parent())) at = i;
  size_t next;
  if (at == stops.size()) next = forward ? 0 : stops.size() - 1;
  else next = forward ? (at + 1) % stops.size() : (at + stops.size() - 1) % stops.size();
  CControl* target = stops[next];
  target->SetFocus();
  // As the dialog manager does, an edit entered with Tab has its text selected.
  HWND focus = GetFocus();
  if (focus != nullptr && (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
    SendMessageA(focus, EM_SETSEL, 0, -1);
}

bool CForm::DialogKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || Handle() == nullptr) return false;
  if (GetKeyState(VK_MENU) < 0 || GetKeyState(VK_CONTROL) < 0) return false;
  HWND focus = GetFocus();
  UINT code = focus != nullptr ? DialogCode(focus, msg) : 0;
  CControl* focused = FocusedControl();
  switch (msg.wParam) {
    case VK_TAB:
      // Only a control that asks for Tab itself keeps it (a multi-line edit does not).
      if (code & DLGC_WANTTAB) return false;
      SelectNext(GetKeyState(VK_SHIFT) >= 0);
      return true;
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN: {
      if (focused == nullptr || !IsRadio(focused)) return false;
      std::vector<CControl*> group;
      CControl* parent = focused->Parent();
      for (int i = 0; i < parent->ChildCount(); ++i)
        if (IsRadio(parent->Child(i)) && parent->Child(i)->CanFocus()) group.push_back(parent->Child(i));
      size_t at = 0;
      while (at < group.size() && group[at] != focused) ++at;
      if (group.size() < 2 || at == group.size()) return true;
      bool forward = msg.wParam == VK_RIGHT || msg.wParam == VK_DOWN;
      CControl* next = group[forward ? (at + 1) % group.size() : (at + group.size() - 1) % group.size()];
      next->SetFocus();
      next->Click();
      return true;
    }
    case VK_RETURN: {
      if (code & DLGC_WANTALLKEYS) {
        // A dropped list takes Enter itself; a multi-line edit wants its line ends.
        if (focused == nullptr || !focused->HasDropDown()) return false;
        if (SendMessageA(focused->Handle(), CB_GETDROPPEDSTATE, 0, 0)) return false;
      }
      CControl* button = focused != nullptr && focused->IsButton() ? focused : nullptr;
      if (button == nullptr)
        button = FindButton(this, [](CControl* c) { return c->IsButton() && c->IsDefault(); });
      if (button == nullptr) return false;
      button->Click();
      return true;
    }
    case VK_ESCAPE: {
      if (focused != nullptr && focused->HasDropDown() &&
          SendMessageA(focused->Handle(), CB_GETDROPPEDSTATE, 0, 0))
        return false;
      CControl* button = FindButton(this, [](CControl* c) { return c->IsButton() && c->IsCancel(); });
      if (button != nullptr) button->Click();
      else if (modal_) modalResult_ = mrCancel;
      else if (closeOnEscape_) Close();
      else return false;
      return true;
    }
    default:
      return false;
  }
}

LRESULT CForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) Fire(OnActivate, this);
      break;
    case WM_COPYDATA:
      if (AnswerWindowQuery(this, wParam, lParam)) return TRUE;
      break;
    case WM_DESTROY:
      DropTooltip();  // the window's tool tip goes with it
      break;
    default:
      break;
  }
  return CControl::WndProc(msg, wParam, lParam);
}

CFrame::CFrame(CComponent* owner, const char* name) : CControl(owner, name) {
  SetParentColor(true);
}

void CFrame::CreateParams(CCreateParams& params) {
  params.exStyle |= WS_EX_CONTROLPARENT;
}

CPage::CPage(CComponent* owner, const char* name) : CFrame(owner, name) {
  SetVisible(false);
  SetBounds(0, 0, kPageWidth, kPageHeight);
  SetColor(kConsoleColor);
}

void CPage::Resized() {
  if (!Initialised && Handle() != nullptr) {
    Initialised = true;
    ApplyFlatLookToButtons(this, GlyphKey);
    PageInit();
  }
  CFrame::Resized();
}

void ApplyFlatLookToButtons(CControl* root, COLORREF transparent) {
  for (int i = 0; i < root->ChildCount(); ++i) {
    CControl* c = root->Child(i);
    if (auto* button = dynamic_cast<CGlyphButton*>(c)) button->ApplyFlatLook(transparent);
    ApplyFlatLookToButtons(c, transparent);
  }
}
