#include "ui/framework/scrollbox.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

namespace {
constexpr int kLineStep = 16;

// Where the thumb stands in the bar, in pixels, or -1 when the system cannot tell
// (GetScrollBarInfo came with Windows 98 and NT 4.0's sixth service pack).
int ThumbPlace(HWND hwnd) {
  using TGetScrollBarInfo = BOOL(WINAPI*)(HWND, LONG, PSCROLLBARINFO);
  static const auto get = reinterpret_cast<TGetScrollBarInfo>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetScrollBarInfo")));
  SCROLLBARINFO info = {};
  info.cbSize = sizeof info;
  if (get == nullptr || !get(hwnd, OBJID_VSCROLL, &info)) return -1;
  return info.xyThumbTop;
}
}  // namespace

CScrollBox::CScrollBox(CComponent* owner, const char* name) : CControl(owner, name) {}

void CScrollBox::CreateParams(CCreateParams& params) {
  params.style |= WS_VSCROLL;
  params.exStyle |= WS_EX_CONTROLPARENT;
}

void CScrollBox::Resized() {
  Layout();
  CControl::Resized();
}

CScrollBox::CUpdate::CUpdate(CScrollBox* box) : box_(box), exceptions_(std::uncaught_exceptions()) {
  ++box_->updating_;
}

CScrollBox::CUpdate::~CUpdate() noexcept(false) {
  if (--box_->updating_ > 0) return;
  if (std::uncaught_exceptions() <= exceptions_) {
    box_->Layout();
    return;
  }
  // Unwinding: the exception on its way is the one to report.
  try {
    box_->Layout();
  } catch (...) {
  }
}

namespace {
// Sets a flag for the life of the owner.
class CFlagSet {
 public:
  explicit CFlagSet(bool& flag) : flag_(flag) { flag_ = true; }
  ~CFlagSet() { flag_ = false; }
  CFlagSet(const CFlagSet&) = delete;
  CFlagSet& operator=(const CFlagSet&) = delete;

 private:
  bool& flag_;
};

// A frame out of view keeps its windows while they are in use.
bool KeepsWindows(CControl* c) {
  HWND focus = GetFocus(), capture = GetCapture();
  HWND own = c->Handle();
  if (focus != nullptr && (focus == own || IsChild(own, focus))) return true;
  if (capture != nullptr && (capture == own || IsChild(own, capture))) return true;
  return c->InMessage();
}
}  // namespace

int CScrollBox::StackTop(CControl* child) const {
  for (int i = 0; i < ChildCount() && static_cast<size_t>(i) < tops_.size(); ++i)
    if (Child(i) == child) return tops_[static_cast<size_t>(i)];
  return -1;
}

void CScrollBox::MoveChildTo(CControl* child, int index) {
  MoveChild(child, index);
  Layout();
}

void CScrollBox::ChildrenChanged(CControl* child) {
  if (layingOut_) {
    // A frame that left while the stack was being placed must not be touched again; one that
    // only took the width of the box changes nothing.
    bool here = false;
    for (int i = 0; i < ChildCount() && !here; ++i) here = Child(i) == child;
    if (!here) placedStale_ = true;
    return;
  }
  Layout();
}

void CScrollBox::Layout() {
  if (updating_ > 0 || layingOut_) return;
  tops_.assign(static_cast<size_t>(ChildCount()), -1);
  stack_.clear();
  int top = 0;
  for (int i = 0; i < ChildCount(); ++i) {
    CControl* c = Child(i);
    if (!c->Visible() || c->Windowless()) continue;
    tops_[static_cast<size_t>(i)] = top;
    stack_.push_back(i);
    top += c->Height();
  }
  contentHeight_ = top;
  if (Handle() == nullptr) return;
  RECT client = ClientRect();
  int view = client.bottom;
  int maxPos = std::max(0, contentHeight_ - view);
  scrollPos_ = std::min(std::max(scrollPos_, 0), maxPos);
  SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0,
                     contentHeight_ > 0 ? contentHeight_ - 1 : 0, static_cast<UINT>(view), scrollPos_, 0};
  SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
  PlaceInView(true);
}

void CScrollBox::PlaceInView(bool everything) {
  // The stack waits for its layout while many frames come and go.
  if (updating_ > 0 || layingOut_ || tops_.size() != static_cast<size_t>(ChildCount())) return;
  if (placedStale_) everything = true;
  RECT client = ClientRect();
  int width = client.right, view = client.bottom;
  // The frames in view: the first found by a binary search along the stack (tops only grow
  // along it), then the next ones down to the end of the view. Nothing here walks all frames,
  // so a step costs the same at any count.
  auto first = std::partition_point(stack_.begin(), stack_.end(), [&](int i) {
    return tops_[static_cast<size_t>(i)] + Child(i)->Height() <= scrollPos_;
  });
  std::vector<CControl*> inView;
  std::vector<int> inViewTops;
  for (auto it = first; it != stack_.end() && tops_[static_cast<size_t>(*it)] < scrollPos_ + view; ++it) {
    inView.push_back(Child(*it));
    inViewTops.push_back(tops_[static_cast<size_t>(*it)]);
  }
  auto shown = [&](CControl* c) { return std::find(inView.begin(), inView.end(), c) != inView.end(); };

  {
    CFlagSet layingOut(layingOut_);
    auto move = [&](CControl* c, int y) {
      if (c->Top() == y && c->Left() == 0 && c->Width() == width) return;
      if (c->Handle() == nullptr) c->SetBounds(0, y, width, c->Height());
      else SetWindowPos(c->Handle(), nullptr, 0, y, width, c->Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    // What was placed and is out of view now waits just below the view, clipped away. Its
    // windows go first to the frames coming into view, when they are of the same make: moved
    // and relabelled, which costs a fraction of destroying some and making others. Only the
    // frames placed last time can hold windows; after a layout every frame is looked at (a
    // frame that came while the box had no window is put there too).
    std::vector<CControl*> leaving;
    if (everything) {
      for (int i = 0; i < ChildCount(); ++i)
        if (!Child(i)->Windowless()) leaving.push_back(Child(i));
    } else {
      leaving = placed_;
    }
    placedStale_ = false;
    placed_.clear();
    std::vector<CControl*> spare;  // out of view with windows no one is using
    for (CControl* c : leaving) {
      if (shown(c)) continue;
      if (c->HandleAllocated() && !KeepsWindows(c)) {
        spare.push_back(c);
        continue;
      }
      move(c, view);
      if (c->HandleAllocated()) placed_.push_back(c);  // still in use: given back later
    }
    placed_.insert(placed_.end(), inView.begin(), inView.end());
    for (size_t k = 0; k < inView.size() && !placedStale_; ++k) {
      CControl* c = inView[k];
      move(c, inViewTops[k] - scrollPos_);
      for (size_t d = 0; d < spare.size() && !c->HandleAllocated() && !placedStale_; ++d)
        if (spare[d]->HandWindowsTo(c)) spare.erase(spare.begin() + static_cast<long>(d));
    }
    // One spare frame keeps its windows for a later step: a wheel notch often lets a frame go
    // at the top a step before the next one comes at the bottom. The others give theirs back
    // before any window is made.
    const size_t keep = std::min<size_t>(1, inView.size() / 2);
    for (size_t k = keep; k < spare.size() && !placedStale_; ++k) spare[k]->FreeHandle();
    if (spare.size() > keep) spare.resize(keep);
    for (size_t k = 0; k < inView.size() && !placedStale_; ++k)
      inView[k]->EnsureHandle();  // in view: it needs its windows
    for (size_t k = 0; k < spare.size() && !placedStale_; ++k) {
      move(spare[k], view);
      placed_.push_back(spare[k]);
    }
  }
  if (placedStale_) Layout();  // the stack changed under the placement: place it again
}

void CScrollBox::SetScrollPos(int pos) {
  RECT client = ClientRect();
  int maxPos = std::max(0, contentHeight_ - static_cast<int>(client.bottom));
  pos = std::min(std::max(pos, 0), maxPos);
  if (pos == scrollPos_) return;
  int delta = pos - scrollPos_;
  scrollPos_ = pos;
  if (Handle() == nullptr) return;
  // The bar is drawn again only when its thumb moves by a pixel: along two thousand cards a
  // step moves it by a fraction of one, and drawing a bar costs as much as a card.
  SCROLLINFO info = {sizeof info, SIF_POS, 0, 0, 0, scrollPos_, 0};
  const int thumb = ThumbPlace(Handle());
  SetScrollInfo(Handle(), SB_VERT, &info, thumb < 0);
  if (thumb >= 0 && ThumbPlace(Handle()) != thumb) {
    // Set again, drawn, from the old place: no system takes it for no change.
    SCROLLINFO before = {sizeof before, SIF_POS, 0, 0, 0, scrollPos_ - delta, 0};
    SetScrollInfo(Handle(), SB_VERT, &before, FALSE);
    SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
  }
  // A step shorter than the view moves what is shown with its pixels, frames and all, so that
  // only the strip coming into view is painted; PlaceInView then finds the frames in place.
  // Frames waiting below the view stay there.
  if (std::abs(delta) < client.bottom && updating_ == 0 && !layingOut_)
    ScrollWindowEx(Handle(), 0, -delta, &client, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE);
  PlaceInView(false);
}

void CScrollBox::ScrollByUser(int pos) {
  SetScrollPos(pos);
  // Painted now, the strip that came into view and the frames made for it: a burst of steps
  // (a fast wheel, a dragged thumb) never leaves the page unpainted behind it.
  if (Handle() != nullptr) RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool CScrollBox::TakeQueuedWheel(int* delta) {
  MSG next;
  if (!PeekMessageA(&next, nullptr, WM_MOUSEWHEEL, WM_MOUSEWHEEL, PM_NOREMOVE)) return false;
  if (next.hwnd != Handle() && !IsChild(Handle(), next.hwnd)) return false;
  if (!PeekMessageA(&next, nullptr, WM_MOUSEWHEEL, WM_MOUSEWHEEL, PM_REMOVE)) return false;
  *delta += static_cast<short>(HIWORD(next.wParam));
  return true;
}

void CScrollBox::ScrollInView(CControl* child) {
  int top = StackTop(child);
  if (top < 0) return;
  int view = ClientRect().bottom;
  if (top < scrollPos_) SetScrollPos(top);
  else if (top + child->Height() > scrollPos_ + view) SetScrollPos(top + child->Height() - view);
}

LRESULT CScrollBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_VSCROLL: {
      if (lParam != 0) break;  // a scroll bar control inside, not ours
      int view = ClientRect().bottom;
      int pos = scrollPos_;
      switch (LOWORD(wParam)) {
        case SB_LINEUP: pos -= kLineStep; break;
        case SB_LINEDOWN: pos += kLineStep; break;
        case SB_PAGEUP: pos -= view; break;
        case SB_PAGEDOWN: pos += view; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = contentHeight_; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
          SCROLLINFO info = {sizeof info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
          GetScrollInfo(Handle(), SB_VERT, &info);
          pos = info.nTrackPos;
          break;
        }
        default: break;
      }
      ScrollByUser(pos);
      return 0;
    }
    case WM_MOUSEWHEEL: {
      // The notches already queued for this box are taken with this one: one step and one
      // paint for the lot. A turn finer than a notch is kept until it adds up to one.
      int delta = static_cast<short>(HIWORD(wParam));
      while (TakeQueuedWheel(&delta)) {
      }
      if ((delta > 0) != (wheel_ > 0)) wheel_ = 0;  // turned the other way
      wheel_ += delta;
      int notches = wheel_ / WHEEL_DELTA;
      wheel_ -= notches * WHEEL_DELTA;
      if (notches != 0) ScrollByUser(scrollPos_ - notches * 3 * kLineStep);
      return 0;
    }
    default:
      break;
  }
  return CControl::WndProc(msg, wParam, lParam);
}
