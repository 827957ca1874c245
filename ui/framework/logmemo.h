// A read-only text area for a log that only grows: the text is kept here, line by line, and
// only the lines in view are painted, so appending costs the same at the millionth line as at
// the first; past 4 MB of text the oldest lines make room (down to 3 MB). (The system's edit control copies its
// whole text on every insertion and repaints at once when visible; Win9x caps it at 64 KB.)
// Lines are not wrapped: a horizontal scroll bar appears when a line is wider than the view.
// Whole lines are selected with the mouse (a click, a drag, Shift+click) or Ctrl+A and copied
// with Ctrl+C. WM_GETTEXT and WM_GETTEXTLENGTH give the whole text, so tools can read it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/framework/control.h"

class CLogMemo : public CControl {
 public:
  CLogMemo(CComponent* owner, const char* name);
  ~CLogMemo() override;
  const char* ClassName() const override { return "TLogMemo"; }

  // Appends `text` as new lines at the end ("\r\n" or "\n" inside; a line end is added).
  // A view that shows the last line keeps showing it; one scrolled up stays where it is.
  void AppendLines(const char* text);
  void Clear();
  int LineCount() const { return static_cast<int>(lineStarts_.size()); }
  // Line `index` without its line end.
  std::string Line(int index) const;
  // Every line, each ending with "\r\n".
  const std::string& AllText() const { return text_; }
  uint32_t TextLength() const { return static_cast<uint32_t>(text_.size()); }

  // Pixels from one line to the next, in the memo's font.
  int LineHeight();
  // The first line in view, and how many whole lines the view holds.
  int TopLine() const { return top_; }
  int VisibleLines() const;
  void ScrollTo(int topLine);
  void ScrollToEnd();

  // Selected lines, first to last (both -1 without a selection).
  int SelectionStart() const;
  int SelectionEnd() const;
  void SelectLines(int anchor, int caret);
  void SelectAll();
  std::string SelectedText() const;
  // Puts the selected lines on the clipboard as text; false without a selection.
  bool CopyToClipboard();

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void CreateParams(CCreateParams& params) override;
  void HandleCreated() override;
  void Paint(HDC dc) override;
  void Resized() override;

 private:
  int LineWidth(const char* line, int length);
  void RefreshMetrics();
  void UpdateScrollBars();
  void DropOldestLines(size_t bytes);  // the lines within the first `bytes`
  int LineAt(int y);
  void ScrollBy(int lines);
  void ScrollHorizontally(int x);
  LRESULT GetText(WPARAM size, char* buffer) const;

  std::string text_;                 // every line with its "\r\n"
  std::vector<uint32_t> lineStarts_;  // offset of each line in text_
  int top_ = 0;                       // first line in view
  int scrollX_ = 0;                   // pixels scrolled to the right
  int maxWidth_ = 0;                  // widest line in pixels
  int anchor_ = -1, caret_ = -1;      // selection: where it began and where it ends
  bool selecting_ = false;
  bool inLayout_ = false;
  HDC measure_ = nullptr;      // owned memory DC for measuring lines
  HFONT measuredFont_ = nullptr;  // shared: the font the metrics were taken with
  int lineHeight_ = 12;
  int wheelRest_ = 0;
};
