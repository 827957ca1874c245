#include "ui/framework/combobox.h"

CComboBox::CComboBox(CComponent* owner, const char* name) : CControl(owner, name) {
  SetTabStop(true);
  SetColor(GetSysColor(COLOR_WINDOW));
}

void CComboBox::CreateParams(CCreateParams& params) {
  params.windowClass = "COMBOBOX";
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_VSCROLL | CBS_DROPDOWNLIST;
}

void CComboBox::HandleCreated() {
  for (const CItem& item : items_) SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
  SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
}

int CComboBox::WindowHeight(int height) const {
  // The system keeps the closed height itself and takes the rest as the opened list's.
  int item = Handle() != nullptr ? static_cast<int>(SendMessageA(Handle(), CB_GETITEMHEIGHT, 0, 0)) : 0;
  return height + 2 + (item > 0 ? item : 14) * dropDownCount_;
}

int CComboBox::AddItem(const char* text, uint32_t value) {
  items_.push_back(CItem{text ? text : "", value});
  if (Handle() != nullptr)
    SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items_.back().text.c_str()));
  return Count() - 1;
}

void CComboBox::Clear() {
  items_.clear();
  itemIndex_ = -1;
  if (Handle() != nullptr) SendMessageA(Handle(), CB_RESETCONTENT, 0, 0);
}

int CComboBox::ItemIndex() const {
  if (Handle() == nullptr) return itemIndex_;
  return static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
}

void CComboBox::SetItemIndex(int index) {
  itemIndex_ = index >= 0 && index < Count() ? index : -1;
  if (Handle() != nullptr) SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
  SetCaptionOnly(itemIndex_ >= 0 ? ItemText(itemIndex_).c_str() : "");
}

bool CComboBox::HandleNotification(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wParam) == CBN_SELCHANGE) {
    itemIndex_ = ItemIndex();
    SetCaptionOnly(itemIndex_ >= 0 ? ItemText(itemIndex_).c_str() : "");
    Fire(OnChange, this);
    *result = 0;
    return true;
  }
  return false;
}
