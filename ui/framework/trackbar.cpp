#include "ui/framework/trackbar.h"

#include <commctrl.h>

CTrackBar::CTrackBar(CComponent* owner, const char* name) : CControl(owner, name) {}

void CTrackBar::CreateParams(CCreateParams& params) {
  params.windowClass = TRACKBAR_CLASSA;
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | TBS_AUTOTICKS |
                 (vertical_ ? TBS_VERT | TBS_BOTH : TBS_HORZ | TBS_BOTTOM);
}

void CTrackBar::HandleCreated() {
  SendMessageA(Handle(), TBM_SETRANGE, FALSE, MAKELPARAM(min_, max_));
  SendMessageA(Handle(), TBM_SETPAGESIZE, 0, 1);
  SendMessageA(Handle(), TBM_SETPOS, TRUE, position_);
}

void CTrackBar::Resized() {
  background_.Reset();
  CControl::Resized();
}

void CTrackBar::SetRange(int min, int max) {
  min_ = min;
  max_ = max < min ? min : max;
  if (position_ < min_) position_ = min_;
  if (position_ > max_) position_ = max_;
  if (Handle() != nullptr) {
    SendMessageA(Handle(), TBM_SETRANGE, TRUE, MAKELPARAM(min_, max_));
    SendMessageA(Handle(), TBM_SETPOS, TRUE, position_);
  }
}

void CTrackBar::SetPosition(int position) {
  if (position < min_) position = min_;
  if (position > max_) position = max_;
  position_ = position;
  if (Handle() != nullptr) SendMessageA(Handle(), TBM_SETPOS, TRUE, position_);
}

int CTrackBar::Position() const {
  if (Handle() != nullptr) return static_cast<int>(SendMessageA(Handle(), TBM_GETPOS, 0, 0));
  return position_;
}

bool CTrackBar::HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  (void)wParam;
  (void)lParam;
  if (msg == WM_HSCROLL || msg == WM_VSCROLL) {
    int now = Position();
    if (now != position_) {
      position_ = now;
      Fire(OnChange, this);
    }
    *result = 0;
    return true;
  }
  if (msg == WM_CTLCOLORSTATIC && Parent() != nullptr) {
    if (!background_) {
      HDC screen = GetDC(Handle());
      CMemoryDC memory(screen, Width(), Height());
      Parent()->PaintUnder(this, memory.Get());
      // The pattern is the picture of the parent under the bar; copy it out of the DC.
      HBITMAP pattern = CreateCompatibleBitmap(screen, Width() > 0 ? Width() : 1, Height() > 0 ? Height() : 1);
      HDC copy = CreateCompatibleDC(screen);
      HGDIOBJ old = SelectObject(copy, pattern);
      memory.CopyTo(copy, 0, 0);
      SelectObject(copy, old);
      DeleteDC(copy);
      ReleaseDC(Handle(), screen);
      background_.Reset(CreatePatternBrush(pattern));
      DeleteObject(pattern);
    }
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetBkMode(dc, TRANSPARENT);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    *result = reinterpret_cast<LRESULT>(background_.Get());
    return true;
  }
  return false;
}
