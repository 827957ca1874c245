#include "ui/framework/menu.h"

#include <shellapi.h>

#include <cstring>

#include "ui/framework/imagelist.h"

CMenuItem::CMenuItem(CComponent* owner, const char* name, const char* caption)
    : CComponent(owner, name), caption_(caption ? caption : "") {}

CPopupMenu::CPopupMenu(CComponent* owner, const char* name) : CComponent(owner, name) {}

CMenuItem* CPopupMenu::AddItem(const char* name, const char* caption) {
  return new CMenuItem(this, name, caption);
}

int CPopupMenu::ItemCount() const { return ComponentCount(); }

CMenuItem* CPopupMenu::Item(int index) const { return static_cast<CMenuItem*>(Component(index)); }

namespace {
CPopupMenu* g_shownMenu = nullptr;  // the menu being tracked, for its drawing messages
constexpr COLORREF kMenuHotColor = RGB(206, 228, 245);
}  // namespace

bool CPopupMenu::HandleMenuMessage(UINT msg, LPARAM lParam) {
  if (g_shownMenu == nullptr) return false;
  if (msg == WM_MEASUREITEM) {
    auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    if (measure->CtlType != ODT_MENU) return false;
    g_shownMenu->MeasureItem(measure);
    return true;
  }
  if (msg == WM_DRAWITEM) {
    auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    if (draw->CtlType != ODT_MENU) return false;
    g_shownMenu->DrawItem(draw);
    return true;
  }
  return false;
}

void CPopupMenu::MeasureItem(MEASUREITEMSTRUCT* measure) {
  int index = static_cast<int>(measure->itemID) - 1;
  if (index < 0 || index >= ItemCount()) return;
  const std::string& caption = Item(index)->Caption();
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  measure->itemWidth = static_cast<UINT>(size.cx + 32);
  measure->itemHeight = static_cast<UINT>(size.cy + 8 > 20 ? size.cy + 8 : 20);
}

void CPopupMenu::DrawItem(const DRAWITEMSTRUCT* draw) {
  int index = static_cast<int>(draw->itemID) - 1;
  if (index < 0 || index >= ItemCount()) return;
  CMenuItem* item = Item(index);
  bool hot = (draw->itemState & ODS_SELECTED) && item->Enabled();
  HBRUSH brush = CreateSolidBrush(hot ? kMenuHotColor : GetSysColor(COLOR_MENU));
  FillRect(draw->hDC, &draw->rcItem, brush);
  DeleteObject(brush);
  if (images_ != nullptr && item->ImageIndex() >= 0)
    images_->Draw(draw->hDC, item->ImageIndex(), draw->rcItem.left + 4,
                  (draw->rcItem.top + draw->rcItem.bottom - images_->Height()) / 2);
  RECT text = draw->rcItem;
  text.left += 26;
  HGDIOBJ old = SelectObject(draw->hDC, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(draw->hDC, TRANSPARENT);
  SetTextColor(draw->hDC, GetSysColor(item->Enabled() ? COLOR_MENUTEXT : COLOR_GRAYTEXT));
  DrawTextA(draw->hDC, item->Caption().c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(draw->hDC, old);
}

CMenuItem* CPopupMenu::Popup(HWND window, int x, int y) {
  HMENU menu = CreatePopupMenu();
  for (int i = 0; i < ItemCount(); ++i) {
    CMenuItem* item = Item(i);
    UINT flags = (ownerDraw_ ? MF_OWNERDRAW : MF_STRING) | (item->Enabled() ? MF_ENABLED : MF_GRAYED);
    if (item->Caption() == "-") flags = MF_SEPARATOR;
    AppendMenuA(menu, flags, static_cast<UINT_PTR>(i + 1), ownerDraw_ ? nullptr : item->Caption().c_str());
  }
  CPopupMenu* outer = g_shownMenu;
  g_shownMenu = this;
  // The window must be in front, or the menu does not close when the user clicks elsewhere.
  SetForegroundWindow(window);
  int chosen = static_cast<int>(TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, window, nullptr));
  g_shownMenu = outer;
  PostMessageA(window, WM_NULL, 0, 0);
  DestroyMenu(menu);
  if (chosen <= 0 || chosen > ItemCount()) return nullptr;
  CMenuItem* item = Item(chosen - 1);
  item->Click();
  return item;
}

class CTrayIcon::CIconWindow : public CControl {
 public:
  explicit CIconWindow(CTrayIcon* icon) : CControl(nullptr, "TrayIcon"), icon_(icon) {
    SetVisible(false);
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
  }
  const char* ClassName() const override { return "TTrayIconWindow"; }
  void Create() { CreateHandle(); }

 protected:
  void CreateParams(CCreateParams& params) override {
    params.style = WS_POPUP;
    params.exStyle = WS_EX_TOOLWINDOW;
  }
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == kCallbackMessage) {
      icon_->Callback(lParam);
      return 0;
    }
    if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
      icon_->added_ = false;
      if (icon_->visible_) icon_->added_ = icon_->Notify(NIM_ADD);
      return 0;
    }
    return CControl::WndProc(msg, wParam, lParam);
  }

 private:
  CTrayIcon* icon_;
  UINT taskbarCreated_;
};

CTrayIcon::CTrayIcon(CComponent* owner, const char* name) : CComponent(owner, name) {}

CTrayIcon::~CTrayIcon() {
  if (added_) Notify(NIM_DELETE);
  added_ = false;
  delete window_;
}

HWND CTrayIcon::Handle() const { return window_ != nullptr ? window_->Handle() : nullptr; }

bool CTrayIcon::Notify(DWORD action) {
  if (window_ == nullptr) {
    window_ = new CIconWindow(this);
    window_->Create();
  }
  NOTIFYICONDATAA data = {};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = window_->Handle();
  data.uID = 1;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = icon_ != nullptr ? icon_ : LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  lstrcpynA(data.szTip, hint_.c_str(), sizeof data.szTip);
  return Shell_NotifyIconA(action, &data) != FALSE;
}

void CTrayIcon::SetHint(const char* hint) {
  hint_ = hint ? hint : "";
  if (added_) Notify(NIM_MODIFY);
}

void CTrayIcon::SetIcon(HICON icon) {
  icon_ = icon;
  if (added_) Notify(NIM_MODIFY);
}

void CTrayIcon::SetVisible(bool visible) {
  visible_ = visible;
  if (visible && !added_) added_ = Notify(NIM_ADD);
  else if (!visible && added_) {
    Notify(NIM_DELETE);
    added_ = false;
  }
  if (window_ == nullptr) {  // the message window exists even when the shell refused the icon
    window_ = new CIconWindow(this);
    window_->Create();
  }
}

void CTrayIcon::Callback(LPARAM mouseMessage) {
  switch (static_cast<UINT>(mouseMessage)) {
    case WM_RBUTTONUP:
      if (menu_ != nullptr) {
        POINT pt;
        GetCursorPos(&pt);
        menu_->Popup(window_->Handle(), pt.x, pt.y);
      }
      break;
    case WM_LBUTTONDBLCLK:
      Fire(OnDblClick, this);
      break;
    default:
      break;
  }
}
