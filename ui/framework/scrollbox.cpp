#include "ui/framework/scrollbox.h"

#include <algorithm>

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

void CScrollBox::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0) Layout();
}

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
  std::vector<CControl*> now;
  for (auto it = first; it != shown.end() && tops_[static_cast<size_t>(*it)] < scrollPos_ + view; ++it)
    now.push_back(Child(*it));

  layingOut_ = true;
  auto move = [&](CControl* c, int y) {
    if (c->Top() == y && c->Left() == 0 && c->Width() == width) return;
    if (c->Handle() == nullptr) c->SetBounds(0, y, width, c->Height());
    else SetWindowPos(c->Handle(), nullptr, 0, y, width, c->Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  };
  // Everything out of view waits just below it, clipped away (a frame that came while the
  // box had no window is put there too).
  size_t next = 0;
  for (int i = 0; i < ChildCount(); ++i) {
    CControl* c = Child(i);
    if (c->Windowless()) continue;
    if (next < now.size() && now[next] == c) {
      move(c, tops_[static_cast<size_t>(i)] - scrollPos_);
      c->EnsureHandle();  // in view for the first time: now it needs its windows
      ++next;
    } else {
      move(c, view);
    }
  }
  layingOut_ = false;
}

void CScrollBox::SetScrollPos(int pos) {
  RECT client = ClientRect();
  int maxPos = std::max(0, contentHeight_ - static_cast<int>(client.bottom));
  pos = std::min(std::max(pos, 0), maxPos);
  if (pos == scrollPos_) return;
  scrollPos_ = pos;
  if (Handle() == nullptr) return;
  SCROLLINFO info = {sizeof info, SIF_POS, 0, 0, 0, scrollPos_, 0};
  SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
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
