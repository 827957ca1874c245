#include "ui/framework/logmemo.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kMargin = 2;  // pixels left of the text, as the edit control keeps
// A console runs for weeks: the newest text is kept, the oldest lines give way (the log files
// keep everything). A trim leaves room for a megabyte more, so trims are rare.
constexpr size_t kMaxText = 4u << 20;
constexpr size_t kTrimmedText = 3u << 20;
}  // namespace

CLogMemo::CLogMemo(CComponent* owner, const char* name) : CControl(owner, name) {
  CControl::SetColor(RGB(255, 255, 255));
}

CLogMemo::~CLogMemo() {
  if (measure_ != nullptr) DeleteDC(measure_);
}

void CLogMemo::CreateParams(CCreateParams& params) {
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL;
  params.exStyle = WS_EX_CLIENTEDGE;
}

void CLogMemo::HandleCreated() { UpdateScrollBars(); }

// ---- text ----

void CLogMemo::RefreshMetrics() {
  HFONT font = Font();
  if (measure_ != nullptr && font == measuredFont_) return;
  if (measure_ == nullptr) measure_ = CreateCompatibleDC(nullptr);
  measuredFont_ = font;
  SelectObject(measure_, font);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(measure_, &metrics);
  lineHeight_ = metrics.tmHeight + metrics.tmExternalLeading;
  if (lineHeight_ <= 0) lineHeight_ = 12;
  // Another font: every line measures anew (rare: the font is set once).
  maxWidth_ = 0;
  for (size_t i = 0; i < lineStarts_.size(); ++i) {
    uint32_t end = i + 1 < lineStarts_.size() ? lineStarts_[i + 1] : static_cast<uint32_t>(text_.size());
    maxWidth_ = std::max(maxWidth_, LineWidth(text_.data() + lineStarts_[i],
                                              static_cast<int>(end - lineStarts_[i] - 2)));
  }
}

int CLogMemo::LineHeight() {
  RefreshMetrics();
  return lineHeight_;
}

int CLogMemo::LineWidth(const char* line, int length) {
  if (length <= 0) return 0;
  DWORD extent = GetTabbedTextExtentA(measure_, line, length, 0, nullptr);
  return LOWORD(extent);
}

void CLogMemo::AppendLines(const char* text) {
  RefreshMetrics();
  bool followEnd = top_ + VisibleLines() >= LineCount();
  size_t n = text != nullptr ? strlen(text) : 0;
  size_t i = 0;
  // Lone "\n" end lines too (GBK trail bytes are never below 0x40, so a byte scan is safe).
  do {
    size_t end = i;
    while (end < n && text[end] != '\n') ++end;
    size_t length = end > i && text[end - 1] == '\r' && end < n ? end - i - 1 : end - i;
    if (end == n && length > 0 && text[n - 1] == '\r') --length;  // a trailing lone "\r"
    lineStarts_.push_back(static_cast<uint32_t>(text_.size()));
    text_.append(text + i, length);
    text_ += "\r\n";
    maxWidth_ = std::max(maxWidth_, LineWidth(text + i, static_cast<int>(length)));
    i = end + 1;
  } while (i < n);
  if (text_.size() > kMaxText) DropOldestLines(text_.size() - kTrimmedText);
  if (followEnd) top_ = std::max(0, LineCount() - VisibleLines());
  UpdateScrollBars();
  // The first line wider than the view brings the horizontal bar, which takes a row of it.
  if (followEnd && top_ + VisibleLines() < LineCount()) {
    top_ = LineCount() - VisibleLines();
    UpdateScrollBars();
  }
}

void CLogMemo::DropOldestLines(size_t bytes) {
  // Whole lines only, and never the last one.
  auto kept = std::lower_bound(lineStarts_.begin(), lineStarts_.end(), static_cast<uint32_t>(bytes));
  if (kept == lineStarts_.end()) --kept;
  const int dropped = static_cast<int>(kept - lineStarts_.begin());
  const uint32_t offset = *kept;
  if (dropped == 0) return;
  text_.erase(0, offset);
  lineStarts_.erase(lineStarts_.begin(), kept);
  for (uint32_t& start : lineStarts_) start -= offset;
  top_ = std::max(0, top_ - dropped);
  if (anchor_ >= 0 && std::max(anchor_, caret_) < dropped) {
    anchor_ = caret_ = -1;  // the selected lines are gone
  } else if (anchor_ >= 0) {
    anchor_ = std::max(0, anchor_ - dropped);
    caret_ = std::max(0, caret_ - dropped);
  }
  Invalidate();
}

void CLogMemo::Clear() {
  if (text_.empty()) return;
  std::string().swap(text_);
  std::vector<uint32_t>().swap(lineStarts_);
  top_ = scrollX_ = maxWidth_ = 0;
  anchor_ = caret_ = -1;
  UpdateScrollBars();
  Invalidate();
}

std::string CLogMemo::Line(int index) const {
  if (index < 0 || index >= LineCount()) return std::string();
  uint32_t start = lineStarts_[static_cast<size_t>(index)];
  uint32_t end = index + 1 < LineCount() ? lineStarts_[static_cast<size_t>(index) + 1]
                                         : static_cast<uint32_t>(text_.size());
  return text_.substr(start, end - start - 2);
}

LRESULT CLogMemo::GetText(WPARAM size, char* buffer) const {
  if (buffer == nullptr || size == 0) return 0;
  size_t n = std::min(text_.size(), static_cast<size_t>(size - 1));
  if (n < text_.size()) {
    // Never half a double-byte character: walk from the start of the line the cut is in.
    auto line = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), static_cast<uint32_t>(n));
    size_t at = line == lineStarts_.begin() ? 0 : *(line - 1);
    while (at < n) {
      size_t step = IsDBCSLeadByte(static_cast<BYTE>(text_[at])) ? 2 : 1;
      if (at + step > n) break;
      at += step;
    }
    n = at;
  }
  memcpy(buffer, text_.data(), n);
  buffer[n] = '\0';
  return static_cast<LRESULT>(n);
}

// ---- view ----

int CLogMemo::VisibleLines() const {
  RECT client = ClientRect();
  int rows = client.bottom / (lineHeight_ > 0 ? lineHeight_ : 12);
  return rows > 0 ? rows : 1;
}

void CLogMemo::UpdateScrollBars() {
  if (Handle() == nullptr || inLayout_) return;
  inLayout_ = true;
  RefreshMetrics();
  int rows = VisibleLines();
  top_ = std::max(0, std::min(top_, LineCount() - rows));
  int width = static_cast<int>(ClientRect().right);
  scrollX_ = std::max(0, std::min(scrollX_, maxWidth_ + 2 * kMargin - width));
  // Without redrawing now: the frame is invalidated and painted with the text, later.
  SCROLLINFO info = {sizeof info, SIF_ALL | SIF_DISABLENOSCROLL, 0, std::max(0, LineCount() - 1),
                     static_cast<UINT>(rows), top_, 0};
  SetScrollInfo(Handle(), SB_VERT, &info, FALSE);
  SCROLLINFO horizontal = {sizeof horizontal, SIF_ALL, 0, maxWidth_ + 2 * kMargin - 1,
                           static_cast<UINT>(std::max(1, width)), scrollX_, 0};
  SetScrollInfo(Handle(), SB_HORZ, &horizontal, FALSE);
  // Hidden (the log page mostly is), it is painted whole when it is shown.
  if (IsWindowVisible(Handle()))
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_NOERASE);
  inLayout_ = false;
}

void CLogMemo::Resized() {
  RefreshMetrics();
  UpdateScrollBars();
  CControl::Resized();
}

void CLogMemo::ScrollTo(int topLine) {
  top_ = std::max(0, std::min(topLine, LineCount() - VisibleLines()));
  UpdateScrollBars();
  Invalidate();
}

void CLogMemo::ScrollToEnd() { ScrollTo(LineCount()); }

void CLogMemo::ScrollBy(int lines) { ScrollTo(top_ + lines); }

void CLogMemo::ScrollHorizontally(int x) {
  scrollX_ = x;
  UpdateScrollBars();
  Invalidate();
}

int CLogMemo::LineAt(int y) {
  int line = top_ + (y >= 0 ? y / LineHeight() : -1);
  return std::max(0, std::min(line, LineCount() - 1));
}

void CLogMemo::Paint(HDC dc) {
  RECT client = ClientRect();
  PaintSurface(dc, client);
  int height = LineHeight();
  HGDIOBJ old = SelectObject(dc, Font());
  SetBkMode(dc, TRANSPARENT);
  int first = SelectionStart(), last = SelectionEnd();
  for (int i = top_, y = 0; i < LineCount() && y < client.bottom; ++i, y += height) {
    bool selected = i >= first && i <= last && first >= 0;
    if (selected) {
      RECT row = {0, y, client.right, y + height};
      FillRect(dc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
    SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : FontColor());
    uint32_t start = lineStarts_[static_cast<size_t>(i)];
    uint32_t end = i + 1 < LineCount() ? lineStarts_[static_cast<size_t>(i) + 1]
                                       : static_cast<uint32_t>(text_.size());
    int length = static_cast<int>(end - start - 2);
    if (length > 0)
      TabbedTextOutA(dc, kMargin - scrollX_, y, text_.data() + start, length, 0, nullptr,
                     kMargin - scrollX_);
  }
  SelectObject(dc, old);
}

// ---- selection ----

int CLogMemo::SelectionStart() const {
  return anchor_ < 0 || caret_ < 0 ? -1 : std::min(anchor_, caret_);
}

int CLogMemo::SelectionEnd() const {
  return anchor_ < 0 || caret_ < 0 ? -1 : std::max(anchor_, caret_);
}

void CLogMemo::SelectLines(int anchor, int caret) {
  if (LineCount() == 0) {
    anchor_ = caret_ = -1;
  } else {
    anchor_ = std::max(0, std::min(anchor, LineCount() - 1));
    caret_ = std::max(0, std::min(caret, LineCount() - 1));
  }
  Invalidate();
}

void CLogMemo::SelectAll() { SelectLines(0, LineCount() - 1); }

std::string CLogMemo::SelectedText() const {
  int first = SelectionStart(), last = SelectionEnd();
  if (first < 0) return std::string();
  uint32_t start = lineStarts_[static_cast<size_t>(first)];
  uint32_t end = last + 1 < LineCount() ? lineStarts_[static_cast<size_t>(last) + 1]
                                        : static_cast<uint32_t>(text_.size());
  return text_.substr(start, end - start);
}

bool CLogMemo::CopyToClipboard() {
  std::string text = SelectedText();
  if (text.empty() || !OpenClipboard(Handle())) return false;
  EmptyClipboard();
  bool done = false;
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    if (void* bytes = GlobalLock(block)) {
      memcpy(bytes, text.c_str(), text.size() + 1);
      GlobalUnlock(block);
      done = SetClipboardData(CF_TEXT, block) != nullptr;
    }
    if (!done) GlobalFree(block);
  }
  CloseClipboard();
  return done;
}

// ---- messages ----

LRESULT CLogMemo::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(text_.size());
    case WM_GETTEXT:
      return GetText(wParam, reinterpret_cast<char*>(lParam));
    case WM_SETTEXT: {
      // The lines are the text; the window title stays empty.
      const char* text = reinterpret_cast<const char*>(lParam);
      Clear();
      if (text != nullptr && text[0] != '\0') AppendLines(text);
      return TRUE;
    }
    case WM_VSCROLL: {
      SCROLLINFO info = {};
      info.cbSize = sizeof info;
      info.fMask = SIF_ALL;
      GetScrollInfo(Handle(), SB_VERT, &info);
      switch (LOWORD(wParam)) {
        case SB_LINEUP: ScrollBy(-1); break;
        case SB_LINEDOWN: ScrollBy(1); break;
        case SB_PAGEUP: ScrollBy(-VisibleLines()); break;
        case SB_PAGEDOWN: ScrollBy(VisibleLines()); break;
        case SB_TOP: ScrollTo(0); break;
        case SB_BOTTOM: ScrollToEnd(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: ScrollTo(info.nTrackPos); break;  // 32 bits, not wParam's 16
        default: break;
      }
      return 0;
    }
    case WM_HSCROLL: {
      SCROLLINFO info = {};
      info.cbSize = sizeof info;
      info.fMask = SIF_ALL;
      GetScrollInfo(Handle(), SB_HORZ, &info);
      int step = std::max(1, lineHeight_);
      switch (LOWORD(wParam)) {
        case SB_LINELEFT: ScrollHorizontally(scrollX_ - step); break;
        case SB_LINERIGHT: ScrollHorizontally(scrollX_ + step); break;
        case SB_PAGELEFT: ScrollHorizontally(scrollX_ - static_cast<int>(info.nPage)); break;
        case SB_PAGERIGHT: ScrollHorizontally(scrollX_ + static_cast<int>(info.nPage)); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: ScrollHorizontally(info.nTrackPos); break;
        default: break;
      }
      return 0;
    }
    case WM_MOUSEWHEEL: {
      UINT perNotch = 3;
      SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
      wheelRest_ += static_cast<short>(HIWORD(wParam));
      int notches = wheelRest_ / WHEEL_DELTA;
      wheelRest_ -= notches * WHEEL_DELTA;
      if (notches != 0)
        ScrollBy(perNotch == WHEEL_PAGESCROLL ? -notches * VisibleLines()
                                              : -notches * static_cast<int>(perNotch));
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN: {
      bool control = GetKeyState(VK_CONTROL) < 0;
      switch (wParam) {
        case VK_UP: ScrollBy(-1); return 0;
        case VK_DOWN: ScrollBy(1); return 0;
        case VK_PRIOR: ScrollBy(-VisibleLines()); return 0;
        case VK_NEXT: ScrollBy(VisibleLines()); return 0;
        case VK_HOME: ScrollTo(0); return 0;
        case VK_END: ScrollToEnd(); return 0;
        case VK_LEFT: ScrollHorizontally(scrollX_ - lineHeight_); return 0;
        case VK_RIGHT: ScrollHorizontally(scrollX_ + lineHeight_); return 0;
        case 'A':
          if (control) SelectAll();
          return 0;
        case 'C':
        case VK_INSERT:
          if (control) CopyToClipboard();
          return 0;
        default: break;
      }
      break;
    }
    case WM_COPY:
      CopyToClipboard();
      return 0;
    case WM_LBUTTONDOWN: {
      SetFocus();
      int line = LineAt(static_cast<short>(HIWORD(lParam)));
      if (LineCount() > 0) SelectLines((wParam & MK_SHIFT) && anchor_ >= 0 ? anchor_ : line, line);
      selecting_ = true;
      SetCapture(Handle());
      return 0;
    }
    case WM_MOUSEMOVE:
      if (selecting_ && LineCount() > 0) {
        int y = static_cast<short>(HIWORD(lParam));
        RECT client = ClientRect();
        if (y < 0) ScrollBy(-1);
        else if (y >= client.bottom) ScrollBy(1);
        SelectLines(anchor_, LineAt(std::min(y, static_cast<int>(client.bottom) - 1)));
      }
      return 0;
    case WM_LBUTTONUP:
      if (selecting_) {
        selecting_ = false;
        ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      selecting_ = false;
      break;
    case WM_LBUTTONDBLCLK:
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      break;
    default:
      break;
  }
  return CControl::WndProc(msg, wParam, lParam);
}
