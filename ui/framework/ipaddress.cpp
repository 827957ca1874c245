#include "ui/framework/ipaddress.h"

#include <commctrl.h>

namespace {
// The control's own form holds the first field in the high byte.
uint32_t FromControlOrder(DWORD value) {
  return ((value >> 24) & 0xFF) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}
DWORD ToControlOrder(uint32_t address) { return FromControlOrder(address); }
}  // namespace

CIPAddress::CIPAddress(CComponent* owner, const char* name) : CControl(owner, name) {
  SetTabStop(true);
  SetColor(GetSysColor(COLOR_WINDOW));
}

void CIPAddress::CreateParams(CCreateParams& params) {
  params.windowClass = WC_IPADDRESSA;
  params.style = WS_CHILD | WS_CLIPSIBLINGS | WS_BORDER;
}

void CIPAddress::HandleCreated() {
  if (!blank_) SendMessageA(Handle(), IPM_SETADDRESS, 0, static_cast<LPARAM>(ToControlOrder(address_)));
}

uint32_t CIPAddress::Address() const {
  if (Handle() == nullptr) return blank_ ? 0 : address_;
  DWORD value = 0;
  SendMessageA(Handle(), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
  return FromControlOrder(value);
}

void CIPAddress::SetAddress(uint32_t networkOrder) {
  address_ = networkOrder;
  blank_ = false;
  if (Handle() != nullptr) SendMessageA(Handle(), IPM_SETADDRESS, 0, static_cast<LPARAM>(ToControlOrder(networkOrder)));
}

bool CIPAddress::Blank() const {
  if (Handle() == nullptr) return blank_;
  return SendMessageA(Handle(), IPM_ISBLANK, 0, 0) != 0;
}

void CIPAddress::Clear() {
  address_ = 0;
  blank_ = true;
  if (Handle() != nullptr) SendMessageA(Handle(), IPM_CLEARADDRESS, 0, 0);
}

bool CIPAddress::HandleNotification(UINT msg, WPARAM wParam, LPARAM, LRESULT* result) {
  if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
    Fire(OnChange, this);
    *result = 0;
    return true;
  }
  return false;
}
