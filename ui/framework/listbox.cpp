#include "ui/framework/listbox.h"

CListBox::CListBox(CComponent* owner, const char* name) : CControl(owner, name) {
  SetTabStop(true);
  SetColor(GetSysColor(COLOR_WINDOW));
}

void CListBox::CreateParams(CCreateParams& params) {
  params.windowClass = "LISTBOX";
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                 (multiSelect_ ? LBS_EXTENDEDSEL : 0);
  params.exStyle = WS_EX_CLIENTEDGE;
}

void CListBox::HandleCreated() {
  for (const CItem& item : items_) SendMessageA(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
}

int CListBox::AddItem(const char* text, uint32_t value) {
  items_.push_back(CItem{text ? text : "", value});
  if (Handle() != nullptr)
    SendMessageA(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items_.back().text.c_str()));
  return Count() - 1;
}

void CListBox::DeleteItem(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
  if (Handle() != nullptr) SendMessageA(Handle(), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void CListBox::Clear() {
  items_.clear();
  if (Handle() != nullptr) SendMessageA(Handle(), LB_RESETCONTENT, 0, 0);
}

int CListBox::ItemIndex() const {
  if (Handle() == nullptr) return -1;
  return static_cast<int>(SendMessageA(Handle(), multiSelect_ ? LB_GETCARETINDEX : LB_GETCURSEL, 0, 0));
}

void CListBox::SetItemIndex(int index) {
  if (Handle() == nullptr) return;
  if (multiSelect_) {
    SendMessageA(Handle(), LB_SETSEL, FALSE, -1);
    if (index >= 0) SendMessageA(Handle(), LB_SETSEL, TRUE, index);
    SendMessageA(Handle(), LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
  } else {
    SendMessageA(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}

bool CListBox::Selected(int index) const {
  if (Handle() == nullptr || index < 0 || index >= Count()) return false;
  return SendMessageA(Handle(), LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
}

void CListBox::SetSelected(int index, bool selected) {
  if (Handle() == nullptr || index < 0 || index >= Count()) return;
  if (multiSelect_) SendMessageA(Handle(), LB_SETSEL, selected ? TRUE : FALSE, index);
  else SendMessageA(Handle(), LB_SETCURSEL, selected ? static_cast<WPARAM>(index) : static_cast<WPARAM>(-1), 0);
}

std::vector<int> CListBox::SelectedIndexes() const {
  std::vector<int> selected;
  for (int i = 0; i < Count(); ++i)
    if (Selected(i)) selected.push_back(i);
  return selected;
}

std::vector<uint32_t> CListBox::SelectedValues() const {
  std::vector<uint32_t> values;
  for (int i : SelectedIndexes()) values.push_back(ItemValue(i));
  return values;
}

int CListBox::DeleteSelected() {
  std::vector<int> selected = SelectedIndexes();
  for (size_t i = selected.size(); i-- > 0;) DeleteItem(selected[i]);
  return static_cast<int>(selected.size());
}

bool CListBox::HandleNotification(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wParam) == LBN_SELCHANGE) {
    Fire(OnChange, this);
    *result = 0;
    return true;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == LBN_DBLCLK) {
    Fire(OnDblClick, this);
    *result = 0;
    return true;
  }
  return false;
}
