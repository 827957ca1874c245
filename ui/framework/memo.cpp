#include "ui/framework/memo.h"

#include <cstring>
#include <string>

CMemo::CMemo(CComponent* owner, const char* name) : CControl(owner, name) {
  SetTabStop(true);
  CControl::SetColor(RGB(255, 255, 255));
}

void CMemo::CreateParams(CCreateParams& params) {
  params.windowClass = "EDIT";
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN |
                 (readOnly_ ? ES_READONLY : 0) | (vertical_ ? WS_VSCROLL : 0) |
                 (horizontal_ ? WS_HSCROLL : 0) | (wordWrap_ ? 0 : ES_AUTOHSCROLL);
  params.exStyle = WS_EX_CLIENTEDGE;
}

void CMemo::HandleCreated() {
  // The default limit is 32 KB of text; 0 raises it to the system's maximum.
  SendMessageA(Handle(), EM_SETLIMITTEXT, 0, 0);
}

void CMemo::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  if (Handle() != nullptr) SendMessageA(Handle(), EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void CMemo::SetScrollBars(bool vertical, bool horizontal) {
  vertical_ = vertical;
  horizontal_ = horizontal;
}

void CMemo::AppendLines(const char* text) {
  if (Handle() == nullptr) return;
  // Lone "\n" become "\r\n" (GBK trail bytes are never below 0x40, so a byte scan is safe).
  std::string lines;
  size_t n = text != nullptr ? strlen(text) : 0;
  lines.reserve(n + 16);
  for (size_t i = 0; i < n; ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) lines += '\r';
    lines += text[i];
  }
  if (lines.size() < 2 || lines.compare(lines.size() - 2, 2, "\r\n") != 0) lines += "\r\n";
  LRESULT end = SendMessageA(Handle(), WM_GETTEXTLENGTH, 0, 0);
  SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
  SendMessageA(Handle(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(lines.c_str()));
  SendMessageA(Handle(), EM_SCROLLCARET, 0, 0);
}

void CMemo::Clear() {
  if (Handle() != nullptr && TextLength() != 0) SetWindowTextA(Handle(), "");
}

int CMemo::LineCount() const {
  // Lines as appended, not as wrapped on screen: line ends, plus an unfinished last line.
  std::string text = AllText();
  int lines = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '\r' && text[i + 1] == '\n') ++lines;
  if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)) ++lines;
  return lines;
}

uint32_t CMemo::TextLength() const {
  if (Handle() == nullptr) return 0;
  return static_cast<uint32_t>(SendMessageA(Handle(), WM_GETTEXTLENGTH, 0, 0));
}

std::string CMemo::AllText() const {
  uint32_t length = TextLength();
  std::string text(length + 1, '\0');
  if (length > 0) GetWindowTextA(Handle(), &text[0], static_cast<int>(length + 1));
  text.resize(strlen(text.c_str()));
  return text;
}

bool CMemo::HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  (void)lParam;
  if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
    if (OnChange) {  // the whole text is read only for a listener: appends stay cheap
      SyncTextFromWindow(this);
      Fire(OnChange, this);
    }
    *result = 0;
    return true;
  }
  if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLOREDIT) {
    // A read-only edit asks for the static colour; the log stays on its white page.
    static HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetBkColor(dc, Color());
    SetTextColor(dc, FontColor());
    *result = reinterpret_cast<LRESULT>(Color() == RGB(255, 255, 255) ? white : GetSysColorBrush(COLOR_WINDOW));
    return true;
  }
  return false;
}
