// A page control: tabs drawn by their owner (or centred captions), one page (CTabSheet)
// shown at a time. Tabs can be hidden and shown again without losing their pages; when the
// active page's tab is hidden, the tab that then stands at its position becomes active, or
// the last visible tab when none does.
#pragma once
#include <windows.h>

#include <functional>
#include <vector>

#include "ui/framework/control.h"

class CPageControl;

class CTabSheet : public CControl {
 public:
  CTabSheet(CComponent* owner, const char* name);
  ~CTabSheet() override;
  const char* ClassName() const override { return "TTabSheet"; }
  // Puts the page last in `pageControl` (its caption is the page's text).
  void SetPageControl(CPageControl* pageControl);
  CPageControl* PageControl() const { return pageControl_; }
  void SetTabVisible(bool visible);
  bool TabVisible() const { return tabVisible_; }
  int PageIndex() const;

 protected:
  void CreateParams(CCreateParams& params) override;

 private:
  CPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
};

// Surface, the page whose tab it is, the tab's rectangle, and whether it is the active tab.
using CDrawTabEvent =
    std::function<void(CComponent* Sender, HDC Surface, int PageIndex, const RECT& Rect, bool Active)>;

class CPageControl : public CControl {
 public:
  CPageControl(CComponent* owner, const char* name);
  const char* ClassName() const override { return "TPageControl"; }

  int PageCount() const { return static_cast<int>(pages_.size()); }
  CTabSheet* Page(int index) const { return pages_[static_cast<size_t>(index)]; }
  CTabSheet* ActivePage() const { return active_; }
  int ActivePageIndex() const { return active_ != nullptr ? active_->PageIndex() : -1; }
  // Shows `page` (a page with a visible tab); does not fire OnChange.
  void SetActivePage(CTabSheet* page);
  // The pages whose tabs show, in order.
  std::vector<CTabSheet*> VisibleTabs() const;

  CChangingEvent OnChanging;  // the user is about to leave the active page
  CNotifyEvent OnChange;      // the user chose another page
  CDrawTabEvent OnDrawTab;    // without it: the caption centred in the tab

  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;
  void Resized() override;

 private:
  friend class CTabSheet;
  void AddPage(CTabSheet* page);
  void RemovePage(CTabSheet* page);
  void TabVisibilityChanged(CTabSheet* page, int oldTab);
  void RebuildTabs();
  void PlacePages();
  int TabIndexOf(const CTabSheet* page) const;

  std::vector<CTabSheet*> pages_;  // owned by their owners, not here
  CTabSheet* active_ = nullptr;
};
