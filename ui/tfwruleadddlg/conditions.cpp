// The rule dialog's condition groups: remote and local addresses, the four port groups and
// the ICMP types and codes. Each is read into a match value (or a mask) on OK and shown back
// from a record when a rule is edited.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <new>
#include <vector>

#include "base/bytes.h"
#include "platform/heap.h"
#include "rules/matchvalue.h"
#include "ui/addrentry/addrentry.h"
#include "ui/tfwhostipseldlg/tfwhostipseldlg.h"
#include "ui/tfwicmptypeform/tfwicmptypeform.h"
#include "ui/tfwipedit/tfwipedit.h"
#include "ui/tfwportedit/tfwportedit.h"
#include "ui/tfwruleadddlg/tfwruleadddlg.h"

namespace {
uint32_t HostOrder(uint32_t networkOrder) { return NetToHost32(networkOrder); }
uint32_t NetworkOrder(uint32_t hostOrder) { return HostToNet32(hostOrder); }
uint32_t NetworkPort(int port) { return HostToNet16(static_cast<uint16_t>(port)); }
int HostPort(uint32_t networkPort) { return NetToHost16(static_cast<uint16_t>(networkPort)); }

// The port a port entry shows. An entry that still shows its first 0, or that the user
// emptied or set to 0, reads as 0 ("no port") rather than as the smallest port; text that is
// no port from 1 to 65535 reads as -1, refused rather than clamped.
int PortEntryValue(const CSpinEdit* spin) {
  long typed = 0;
  if (!spin->TypedValue(&typed)) return -1;
  if (typed == 0) return 0;
  return typed < 1 || typed > 65535 ? -1 : static_cast<int>(typed);
}

// A heap array of the list's values, in list order; the rule releases it.
uint32_t* ListValues(const CListBox* list, uint32_t (*convert)(uint32_t)) {
  uint32_t count = static_cast<uint32_t>(list->Count());
  auto* values = static_cast<uint32_t*>(PlatformAlloc(count * 4));
  if (values == nullptr) throw std::bad_alloc();
  for (uint32_t i = 0; i < count; ++i) values[i] = convert(list->ItemValue(static_cast<int>(i)));
  return values;
}
uint32_t AsIs(uint32_t value) { return value; }
uint32_t AsNetworkPort(uint32_t port) { return NetworkPort(static_cast<int>(port)); }

void SetList(_MATCH_VALUE* value, const CListBox* list, uint32_t (*convert)(uint32_t)) {
  value->Kind = MATCH_LIST;
  value->Value1 = static_cast<uint32_t>(list->Count());
  value->Value2 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ListValues(list, convert)));
}

void DeleteSelected(CListBox* list) {
  int index = list->ItemIndex();
  if (index >= 0) list->DeleteItem(index);
}

std::string Decimal(uint32_t n) {
  char text[16];
  snprintf(text, sizeof text, "%u", n);
  return text;
}
}  // namespace

// Remote address.

void TFWNewRuleDlg::IPStyleComboBoxChange(CComponent*) {
  for (CControl* c : std::initializer_list<CControl*>{IPListBox, AddrEdit, AddrLabel, MaskLabel, IPMaskEdit,
                                                      AddIPBtn, DelIPBtn, IPAddressCtrl})
    if (c != nullptr) c->Hide();
  AddrLabel->SetText("地址:");
  MaskLabel->SetText("掩码:");
  switch (IPStyleComboBox->ItemIndex()) {
    case 1:
      AddrLabel->Show();
      AddrEdit->Show();
      break;
    case 2:
      AddrLabel->Show();
      AddrEdit->Show();
      MaskLabel->Show();
      if (IPAddressCtrl != nullptr) IPAddressCtrl->Show();
      break;
    case 3:
      IPListBox->Show();
      AddIPBtn->Show();
      DelIPBtn->Show();
      break;
    case 4:
      AddrLabel->Show();
      AddrEdit->Show();
      MaskLabel->Show();
      IPMaskEdit->Show();
      AddrLabel->SetText("起始IP");
      MaskLabel->SetText("结束IP");
      break;
    default:
      break;
  }
}

uint32_t TFWNewRuleDlg::ReadRemoteAddress(_MATCH_VALUE* value) {
  std::string addr = TrimBlanks(AddrEdit->WindowText().c_str());
  uint32_t address = 0;
  badField_ = AddrEdit;
  switch (IPStyleComboBox->ItemIndex()) {
    case 0:
      value->Kind = MATCH_SINGLE;
      value->Value1 = 0;
      return 0;
    case 1:
      if (addr.empty()) return 2;
      if (!ResolveOne(addr.c_str(), &address)) return 3;
      // Stored, 0.0.0.0 would mean any address: far more than the one typed.
      if (address == 0) return 11;
      value->Kind = MATCH_SINGLE;
      value->Value1 = address;
      return 0;
    case 2: {
      if (addr.empty()) return 2;
      DWORD mask = 0;
      badField_ = IPAddressCtrl;
      if (SendMessageA(IPAddressCtrl->Handle(), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&mask)) < 4) return 4;
      if (!ContiguousMask(mask)) return 4;
      badField_ = AddrEdit;
      if (!ResolveOne(addr.c_str(), &address)) return 3;
      // The control gives the mask with its first field most significant: host order.
      uint32_t m = mask, a = HostOrder(address);
      value->Kind = MATCH_RANGE;
      value->Value2 = NetworkOrder(a & m);
      value->Value1 = NetworkOrder((a & m) + ~m);
      return 0;
    }
    case 3:
      badField_ = AddIPBtn;
      if (IPListBox->Count() == 0) return 5;
      SetList(value, IPListBox, AsIs);
      return 0;
    case 4: {
      std::string end = TrimBlanks(IPMaskEdit->WindowText().c_str());
      if (addr.empty()) return 6;
      badField_ = IPMaskEdit;
      if (end.empty()) return 7;
      uint32_t last = 0;
      badField_ = AddrEdit;
      if (!ResolveOne(addr.c_str(), &address)) return 8;
      badField_ = IPMaskEdit;
      if (!ResolveOne(end.c_str(), &last)) return 9;
      badField_ = AddrEdit;
      if (HostOrder(address) > HostOrder(last)) return 10;
      value->Kind = MATCH_RANGE;
      value->Value2 = address;
      value->Value1 = last;
      return 0;
    }
    default:
      badField_ = IPStyleComboBox;
      return 1;
  }
}

const char* TFWNewRuleDlg::RemoteAddressMessage(uint32_t code) {
  static const char* const kMessages[] = {
      "",
      "未选择对方IP地址类型",
      "对方IP地址未填",
      "对方IP地址或域名无效",
      "对方IP地址掩码错误",
      "对方IP地址列表空",
      "对方IP起始地址未填",
      "对方IP结束地址未填",
      "对方IP起始地址或域名无效",
      "对方IP结束地址或域名无效",
      "对方IP起始地址大于结束地址",
      "对方IP地址不能为0.0.0.0",
  };
  return code < sizeof kMessages / sizeof kMessages[0] ? kMessages[code] : "";
}

void TFWNewRuleDlg::ShowRemoteAddress(const _MATCH_VALUE& value) {
  IPListBox->Clear();
  if (value.Kind == MATCH_RANGE) {
    IPStyleComboBox->SetItemIndex(4);
    AddrEdit->SetText(DottedAddress(value.Value2).c_str());
    IPMaskEdit->SetText(DottedAddress(value.Value1).c_str());
  } else if (value.Kind == MATCH_LIST) {
    IPStyleComboBox->SetItemIndex(3);
    const uint32_t* elements = MatchElements(value);
    for (uint32_t i = 0; elements != nullptr && i < value.Value1; ++i)
      AddListItem(IPListBox, DottedAddress(elements[i]).c_str(), elements[i]);
  } else if (value.Kind == MATCH_SINGLE && value.Value1 != 0) {
    IPStyleComboBox->SetItemIndex(1);
    AddrEdit->SetText(DottedAddress(value.Value1).c_str());
  } else {
    IPStyleComboBox->SetItemIndex(0);
  }
  IPStyleComboBoxChange(IPStyleComboBox);
}

void TFWNewRuleDlg::AddIPBtnClick(CComponent*) { AddTypedAddresses(this, IPListBox); }

void TFWNewRuleDlg::DelIPBtnClick(CComponent*) { DeleteSelected(IPListBox); }

// Local address.

void TFWNewRuleDlg::SrcIPCheckBoxClick(CComponent*) {
  bool on = SrcIPCheckBox->Checked();
  SrcIPListBox->SetEnabled(on);
  AddSrcIPBtn->SetEnabled(on);
  DelSrcIPBtn->SetEnabled(on);
}

uint32_t TFWNewRuleDlg::ReadLocalAddress(_MATCH_VALUE* value) {
  badField_ = AddSrcIPBtn;
  if (!SrcIPCheckBox->Checked()) {
    value->Kind = MATCH_SINGLE;
    value->Value1 = 0;
    return 0;
  }
  if (SrcIPListBox->Count() == 0) return 1;
  if (localRangeListed_) {
    *value = localRange_;
    return 0;
  }
  if (SrcIPListBox->Count() == 1) {
    value->Kind = MATCH_SINGLE;
    value->Value1 = SrcIPListBox->ItemValue(0);
    return 0;
  }
  SetList(value, SrcIPListBox, AsIs);
  return 0;
}

const char* TFWNewRuleDlg::LocalAddressMessage(uint32_t code) { return code == 1 ? "本地IP地址列表空" : ""; }

void TFWNewRuleDlg::ShowLocalAddress(const _MATCH_VALUE& value) {
  SrcIPListBox->Clear();
  localRangeListed_ = false;
  if (value.Kind == MATCH_RANGE) {
    // Only a file holds a local range; it stays one until the user removes or replaces it.
    SrcIPCheckBox->SetChecked(true);
    AddListItem(SrcIPListBox, (DottedAddress(value.Value2) + " - " + DottedAddress(value.Value1)).c_str(), value.Value2);
    localRange_ = value;
    localRangeListed_ = true;
  } else if (value.Kind == MATCH_SINGLE) {
    SrcIPCheckBox->SetChecked(value.Value1 != 0);
    if (value.Value1 != 0) AddListItem(SrcIPListBox, DottedAddress(value.Value1).c_str(), value.Value1);
  } else if (value.Kind == MATCH_LIST) {
    SrcIPCheckBox->SetChecked(true);
    const uint32_t* elements = MatchElements(value);
    for (uint32_t i = 0; elements != nullptr && i < value.Value1; ++i)
      AddListItem(SrcIPListBox, DottedAddress(elements[i]).c_str(), elements[i]);
  }
  SrcIPCheckBoxClick(SrcIPCheckBox);
}

void TFWNewRuleDlg::AddSrcIPBtnClick(CComponent*) { AddPickedLocalAddresses(this, SrcIPListBox, &localRangeListed_); }

void TFWNewRuleDlg::DelSrcIPBtnClick(CComponent*) { DeleteSelectedLocalAddress(SrcIPListBox, &localRangeListed_); }

// Ports.

void TFWNewRuleDlg::PortBoxChange(const CPortGroup& g) {
  CControl* rows[4][5] = {{},
                          {g.PortLabel, g.SpinEdit},
                          {g.PortLabel, g.SpinEdit, g.EndLabel, g.EndSpinEdit},
                          {g.AddBtn, g.DelBtn, g.ListBox}};
  for (auto& row : rows)
    for (CControl* c : row)
      if (c != nullptr) c->Hide();
  int style = g.Box->ItemIndex();
  if (style < 0 || style > 3) return;
  for (CControl* c : rows[style])
    if (c != nullptr) c->Show();
  if (style == 1) g.PortLabel->SetText("端口:");
  if (style == 2) g.PortLabel->SetText("起始");
}

void TFWNewRuleDlg::TCPSrcPortBoxChange(CComponent*) { PortBoxChange(TCPSrcPort); }
void TFWNewRuleDlg::TCPDstPortBoxChange(CComponent*) { PortBoxChange(TCPDstPort); }
void TFWNewRuleDlg::UDPSrcPortBoxChange(CComponent*) { PortBoxChange(UDPSrcPort); }
void TFWNewRuleDlg::UDPDstPortBoxChange(CComponent*) { PortBoxChange(UDPDstPort); }

uint32_t TFWNewRuleDlg::ReadPortGroup(const CPortGroup& g, _MATCH_VALUE* value) {
  badField_ = g.Box;
  switch (g.Box->ItemIndex()) {
    case 0:
      value->Kind = MATCH_SINGLE;
      value->Value1 = 0;
      return 0;
    case 1: {
      int port = PortEntryValue(g.SpinEdit);
      badField_ = g.SpinEdit;
      if (port == 0) return 2;
      if (port < 0) return 7;
      value->Kind = MATCH_SINGLE;
      value->Value1 = NetworkPort(port);
      return 0;
    }
    case 2: {
      int start = PortEntryValue(g.SpinEdit), end = PortEntryValue(g.EndSpinEdit);
      badField_ = g.SpinEdit;
      if (start == 0) return 3;
      badField_ = g.EndSpinEdit;
      if (end == 0) return 4;
      badField_ = start < 0 ? g.SpinEdit : g.EndSpinEdit;
      if (start < 0 || end < 0) return 7;
      badField_ = g.SpinEdit;
      if (start > end) return 5;
      value->Kind = MATCH_RANGE;
      value->Value2 = NetworkPort(start);
      value->Value1 = NetworkPort(end);
      return 0;
    }
    case 3:
      badField_ = g.AddBtn;
      if (g.ListBox->Count() == 0) return 6;
      SetList(value, g.ListBox, AsNetworkPort);
      return 0;
    default:
      return 1;
  }
}

std::string TFWNewRuleDlg::PortGroupMessage(const CPortGroup& g, uint32_t code) {
  static const char* const kFormats[] = {"",
                                         "%s端口输入类型错误",
                                         "指定%s端口不能为零",
                                         "指定%s起始端口不能为零",
                                         "指定%s结束端口不能为零",
                                         "指定%s起始端口大于结束端口",
                                         "指定%s端口列表为空",
                                         "指定%s端口超出范围(1-65535)"};
  if (code == 0 || code >= sizeof kFormats / sizeof kFormats[0]) return "";
  char text[128];
  snprintf(text, sizeof text, kFormats[code], g.Side);
  return text;
}

void TFWNewRuleDlg::ShowPortGroup(const CPortGroup& g, const _MATCH_VALUE& value) {
  g.ListBox->Clear();
  if (value.Kind == MATCH_RANGE) {
    g.Box->SetItemIndex(2);
    g.SpinEdit->SetValue(HostPort(value.Value2));
    g.EndSpinEdit->SetValue(HostPort(value.Value1));
  } else if (value.Kind == MATCH_LIST) {
    g.Box->SetItemIndex(3);
    const uint32_t* elements = MatchElements(value);
    for (uint32_t i = 0; elements != nullptr && i < value.Value1; ++i) {
      uint32_t port = static_cast<uint32_t>(HostPort(elements[i]));
      AddListItem(g.ListBox, Decimal(port).c_str(), port);
    }
  } else if (value.Kind == MATCH_SINGLE && value.Value1 != 0) {
    g.Box->SetItemIndex(1);
    g.SpinEdit->SetValue(HostPort(value.Value1));
  } else {
    g.Box->SetItemIndex(0);
  }
  PortBoxChange(g);
}

void TFWNewRuleDlg::AddPort(CListBox* list) {
  int port = 0;
  if (!InputPort(this, &port) || port == 0) return;
  AddListItem(list, Decimal(static_cast<uint32_t>(port)).c_str(), static_cast<uint32_t>(port));
}

// ICMP types and codes.

void TFWNewRuleDlg::AllTypeCheckBoxClick(CComponent*) {
  bool listed = !AllTypeCheckBox->Checked();
  ICMPTypeListBox->SetEnabled(listed);
  AddICMPTypeBtn->SetEnabled(listed);
  DelICMPTypeBtn->SetEnabled(listed);
}

void TFWNewRuleDlg::ICMPCodeCheckBoxClick(CComponent*) {
  bool listed = !ICMPCodeCheckBox->Checked();
  ICMPCodeListBox->SetEnabled(listed);
  AddICMPCodeBtn->SetEnabled(listed);
  DelICMPCodeBtn->SetEnabled(listed);
}

namespace {
uint32_t MaskOf(const CCheckBox* all, const CListBox* list) {
  if (all->Checked()) return 0xFFFFFFFF;
  uint32_t mask = 0;
  for (int i = 0; i < list->Count(); ++i) mask |= 1u << (list->ItemValue(i) % 32);
  return mask;
}

// Types without a name show their number, so that every bit of a stored mask comes back.
std::string IcmpTypeText(uint32_t type) {
  const char* name = IcmpTypeName(static_cast<int>(type));
  return name != nullptr ? name : Decimal(type);
}
}  // namespace

uint32_t TFWNewRuleDlg::IcmpTypeMask() const { return MaskOf(AllTypeCheckBox, ICMPTypeListBox); }
uint32_t TFWNewRuleDlg::IcmpCodeMask() const { return MaskOf(ICMPCodeCheckBox, ICMPCodeListBox); }

void TFWNewRuleDlg::ShowIcmpMasks(uint32_t typeMask, uint32_t codeMask) {
  ICMPTypeListBox->Clear();
  ICMPCodeListBox->Clear();
  AllTypeCheckBox->SetChecked(typeMask == 0xFFFFFFFF);
  ICMPCodeCheckBox->SetChecked(codeMask == 0xFFFFFFFF);
  for (uint32_t n = 0; n < 32; ++n) {
    if (typeMask != 0xFFFFFFFF && (typeMask & (1u << n))) AddListItem(ICMPTypeListBox, IcmpTypeText(n).c_str(), n);
    if (codeMask != 0xFFFFFFFF && (codeMask & (1u << n))) AddListItem(ICMPCodeListBox, Decimal(n).c_str(), n);
  }
  AllTypeCheckBoxClick(AllTypeCheckBox);
  ICMPCodeCheckBoxClick(ICMPCodeCheckBox);
}

void TFWNewRuleDlg::AddICMPTypeBtnClick(CComponent*) {
  int type = 0;
  if (!PickIcmpType(this, &type)) return;
  AddListItem(ICMPTypeListBox, IcmpTypeName(type), static_cast<uint32_t>(type));
}

void TFWNewRuleDlg::DelICMPTypeBtnClick(CComponent*) { DeleteSelected(ICMPTypeListBox); }

void TFWNewRuleDlg::AddICMPCodeBtnClick(CComponent*) {
  int code = 0;
  if (!InputIcmpCode(this, &code)) return;
  AddListItem(ICMPCodeListBox, Decimal(static_cast<uint32_t>(code)).c_str(), static_cast<uint32_t>(code));
}

void TFWNewRuleDlg::DelICMPCodeBtnClick(CComponent*) { DeleteSelected(ICMPCodeListBox); }
