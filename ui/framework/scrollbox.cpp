#include "ui/framework/scrollbox.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

namespace {
constexpr int kLineStep = 16;
}

CScrollBox::CScrollBox(CComponent* owner, const char* name) : CControl(owner, name) {}

void CScrollBox::CreateParams(CCreateParams& params) {
  params.style |= WS_VSCROLL;
  params.exStyle |= WS_EX_CONTROLPARENT;
}

void CScrollBox::Resized() {
  Layout();
  CControl::Resized();
}

void CScrollBox::ChildrenChanged(CControl*) { Layout(); }

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

void CScrollBox::Layout() {
  if (updating_ > 0 || layingOut_) return;
  tops_.assign(static_cast<size_t>(ChildCount()), -1);
  int top = 0;
  for (int i = 0; i < ChildCount(); ++i) {
    CControl* c = Child(i);
    if (!c->Visible() || c->Windowless()) continue;
    tops_[static_cast<size_t>(i)] = top;
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
  PlaceInView();
}

void CScrollBox::PlaceInView() {
  // The stack waits for its layout while many frames come and go.
  if (updating_ > 0 || layingOut_ || tops_.size() != static_cast<size_t>(ChildCount())) return;
  RECT client = ClientRect();
  int width = client.right, view = client.bottom;
  // The first child in view: tops only grow along the stack (hidden children, -1, are
  // skipped), so a binary search over the visible ones finds it.
  std::vector<int> shown;
  for (int i = 0; i < ChildCount(); ++i)
    if (tops_[static_cast<size_t>(i)] >= 0) shown.push_back(i);
  auto first = std::partition_point(shown.begin(), shown.end(), [&](int i) {
    return tops_[static_cast<size_t>(i)] + Child(i)->Height() <= scrollPos_;
  });
  std::vector<bool> inView(static_cast<size_t>(ChildCount()), false);
  for (auto it = first; it != shown.end() && tops_[static_cast<size_t>(*it)] < scrollPos_ + view; ++it)
    inView[static_cast<size_t>(*it)] = true;

  CFlagSet layingOut(layingOut_);
  auto move = [&](CControl* c, int y) {
    if (c->Top() == y && c->Left() == 0 && c->Width() == width) return;
    if (c->Handle() == nullptr) c->SetBounds(0, y, width, c->Height());
    else SetWindowPos(c->Handle(), nullptr, 0, y, width, c->Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  };
  // Everything out of view waits just below it, clipped away (a frame that came while the
  // box had no window is put there too), and gives its windows back first, so that the
  // windows of the frames coming into view are made in their place.
  for (int i = 0; i < ChildCount(); ++i) {
    CControl* c = Child(i);
    if (c->Windowless() || inView[static_cast<size_t>(i)]) continue;
    if (c->HandleAllocated() && !KeepsWindows(c)) c->FreeHandle();
    move(c, view);
  }
  for (int i = 0; i < ChildCount(); ++i) {
    if (!inView[static_cast<size_t>(i)]) continue;
    CControl* c = Child(i);
    move(c, tops_[static_cast<size_t>(i)] - scrollPos_);
    c->EnsureHandle();  // in view: it needs its windows
  }
}

void CScrollBox::SetScrollPos(int pos) {
  RECT client = ClientRect();
  int maxPos = std::max(0, contentHeight_ - static_cast<int>(client.bottom));
  pos = std::min(std::max(pos, 0), maxPos);
  if (pos == scrollPos_) return;
  int delta = pos - scrollPos_;
  scrollPos_ = pos;
  if (Handle() == nullptr) return;
  SCROLLINFO info = {sizeof info, SIF_POS, 0, 0, 0, scrollPos_, 0};
  SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
  // A step shorter than the view moves what is shown with its pixels, frames and all, so that
  // only the strip coming into view is painted; PlaceInView then finds the frames in place.
  if (std::abs(delta) < client.bottom && updating_ == 0 && !layingOut_)
    ScrollWindowEx(Handle(), 0, -delta, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE);
  PlaceInView();
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
      SetScrollPos(pos);
      return 0;
    }
    case WM_MOUSEWHEEL:
      SetScrollPos(scrollPos_ - static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA * 3 * kLineStep);
      return 0;
    default:
      break;
  }
  return CControl::WndProc(msg, wParam, lParam);
}
