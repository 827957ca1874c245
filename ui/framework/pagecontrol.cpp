#include "ui/framework/pagecontrol.h"

#include <commctrl.h>

#include <algorithm>

// ---- CTabSheet ----

CTabSheet::CTabSheet(CComponent* owner, const char* name) : CControl(owner, name) {
  CControl::SetVisible(false);
}

CTabSheet::~CTabSheet() {
  if (pageControl_ != nullptr) pageControl_->RemovePage(this);
}

void CTabSheet::CreateParams(CCreateParams& params) { params.exStyle |= WS_EX_CONTROLPARENT; }

void CTabSheet::SetPageControl(CPageControl* pageControl) {
  if (pageControl_ != nullptr) pageControl_->RemovePage(this);
  pageControl_ = pageControl;
  SetParent(pageControl);
  if (pageControl_ != nullptr) pageControl_->AddPage(this);
}

int CTabSheet::PageIndex() const {
  if (pageControl_ == nullptr) return -1;
  const auto& pages = pageControl_->pages_;
  auto at = std::find(pages.begin(), pages.end(), this);
  return at == pages.end() ? -1 : static_cast<int>(at - pages.begin());
}

void CTabSheet::SetTabVisible(bool visible) {
  if (visible == tabVisible_) return;
  int oldTab = pageControl_ != nullptr ? pageControl_->TabIndexOf(this) : -1;
  tabVisible_ = visible;
  if (pageControl_ != nullptr) pageControl_->TabVisibilityChanged(this, oldTab);
}

// ---- CPageControl ----

CPageControl::CPageControl(CComponent* owner, const char* name) : CControl(owner, name) {
  SetTabStop(true);
}

void CPageControl::CreateParams(CCreateParams& params) {
  params.windowClass = WC_TABCONTROLA;
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TCS_OWNERDRAWFIXED;
  params.exStyle = WS_EX_CONTROLPARENT;
}

void CPageControl::HandleCreated() { RebuildTabs(); }

std::vector<CTabSheet*> CPageControl::VisibleTabs() const {
  std::vector<CTabSheet*> tabs;
  for (CTabSheet* page : pages_)
    if (page->TabVisible()) tabs.push_back(page);
  return tabs;
}

int CPageControl::TabIndexOf(const CTabSheet* page) const {
  int index = 0;
  for (CTabSheet* p : pages_) {
    if (!p->TabVisible()) continue;
    if (p == page) return index;
    ++index;
  }
  return -1;
}

void CPageControl::AddPage(CTabSheet* page) {
  pages_.push_back(page);
  if (active_ == nullptr && page->TabVisible()) active_ = page;
  RebuildTabs();
}

void CPageControl::RemovePage(CTabSheet* page) {
  int oldTab = TabIndexOf(page);
  pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
  if (active_ == page) {
    std::vector<CTabSheet*> tabs = VisibleTabs();
    active_ = tabs.empty() ? nullptr : tabs[std::min<size_t>(static_cast<size_t>(oldTab < 0 ? 0 : oldTab), tabs.size() - 1)];
  }
  if (!Destroying()) RebuildTabs();
}

void CPageControl::TabVisibilityChanged(CTabSheet* page, int oldTab) {
  std::vector<CTabSheet*> tabs = VisibleTabs();
  if (!page->TabVisible() && page == active_) {
    // The tab now at the hidden tab's place, or the last one.
    if (tabs.empty()) active_ = nullptr;
    else active_ = tabs[std::min<size_t>(static_cast<size_t>(oldTab), tabs.size() - 1)];
  } else if (page->TabVisible() && active_ == nullptr) {
    active_ = page;
  }
  RebuildTabs();
}

void CPageControl::SetActivePage(CTabSheet* page) {
  if (page != nullptr && (page->PageControl() != this || !page->TabVisible())) return;
  active_ = page;
  if (Handle() != nullptr) SendMessageA(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(TabIndexOf(page)), 0);
  PlacePages();
}

void CPageControl::RebuildTabs() {
  if (Handle() == nullptr) return;
  SendMessageA(Handle(), TCM_DELETEALLITEMS, 0, 0);
  int index = 0;
  for (CTabSheet* page : VisibleTabs()) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<char*>(page->Text().c_str());
    item.lParam = reinterpret_cast<LPARAM>(page);
    SendMessageA(Handle(), TCM_INSERTITEMA, static_cast<WPARAM>(index++), reinterpret_cast<LPARAM>(&item));
  }
  SendMessageA(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(TabIndexOf(active_)), 0);
  PlacePages();
  InvalidateRect(Handle(), nullptr, TRUE);
}

void CPageControl::PlacePages() {
  RECT display = ClientRect();
  if (Handle() != nullptr) SendMessageA(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  for (CTabSheet* page : pages_) {
    page->SetBounds(display.left, display.top, display.right - display.left, display.bottom - display.top);
    page->SetVisible(page == active_);
  }
}

void CPageControl::Resized() {
  PlacePages();
  CControl::Resized();
}

bool CPageControl::HandleNotification(UINT msg, WPARAM, LPARAM lParam, LRESULT* result) {
  if (msg == WM_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->code == TCN_SELCHANGING) {
      bool allow = true;
      Fire(OnChanging, this, allow);
      *result = allow ? FALSE : TRUE;
      return true;
    }
    if (header->code == TCN_SELCHANGE) {
      int tab = static_cast<int>(SendMessageA(Handle(), TCM_GETCURSEL, 0, 0));
      std::vector<CTabSheet*> tabs = VisibleTabs();
      if (tab >= 0 && static_cast<size_t>(tab) < tabs.size()) {
        active_ = tabs[static_cast<size_t>(tab)];
        PlacePages();
        Fire(OnChange, this);
      }
      *result = 0;
      return true;
    }
    return false;
  }
  if (msg == WM_DRAWITEM) {
    auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    std::vector<CTabSheet*> tabs = VisibleTabs();
    if (draw->itemID >= tabs.size()) return false;
    CTabSheet* page = tabs[draw->itemID];
    bool active = (draw->itemState & ODS_SELECTED) != 0;
    if (OnDrawTab) {
      OnDrawTab(this, draw->hDC, page->PageIndex(), draw->rcItem, active);
    } else {
      HBRUSH surface = CreateSolidBrush(page->Color());
      FillRect(draw->hDC, &draw->rcItem, surface);
      DeleteObject(surface);
      HGDIOBJ old = SelectObject(draw->hDC, Font());
      SetBkMode(draw->hDC, TRANSPARENT);
      SetTextColor(draw->hDC, GetSysColor(COLOR_BTNTEXT));
      RECT r = draw->rcItem;
      DrawTextA(draw->hDC, page->Text().c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      SelectObject(draw->hDC, old);
    }
    *result = TRUE;
    return true;
  }
  return false;
}
