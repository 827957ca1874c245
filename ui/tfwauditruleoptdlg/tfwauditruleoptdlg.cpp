#include "ui/tfwauditruleoptdlg/tfwauditruleoptdlg.h"

#include <cstdio>
#include <cstring>

#include "log/formatters.h"
#include "rules/matchvalue.h"
#include "ui/framework/dialogs.h"
#include "ui/framework/looks.h"
#include "ui/tfwinputaddrdlg/tfwinputaddrdlg.h"
#include "ui/tfwinputportdlg/tfwinputportdlg.h"

namespace {
struct CDecisionItem {
  const char* text;
  uint32_t code;
};
constexpr CDecisionItem kDecisions[] = {{"许可", 0}, {"通知用户", 2}, {"拦截", 1}};

// The item showing a stored action code; a code the dialog does not offer selects nothing,
// so that OK asks for a choice rather than storing a guess.
int DecisionIndex(uint32_t code) {
  for (int i = 0; i < 3; ++i)
    if (kDecisions[i].code == code) return i;
  return -1;
}

std::string AddressText(uint32_t networkOrder) {
  _textPtr text = FormatAddress(networkOrder, false);
  return text.Data() != nullptr ? text.Data() : "";
}

std::string PortText(uint32_t networkPort) {
  char text[16];
  snprintf(text, sizeof text, "%u", static_cast<unsigned>(HostPortValue(networkPort)));
  return text;
}

std::string Summary(const _MATCH_VALUE& v, const char* any, std::string (*element)(uint32_t)) {
  switch (v.Kind) {
    case MATCH_SINGLE:
      return v.Value1 == 0 ? any : element(v.Value1);
    case MATCH_RANGE:
      return "从" + element(v.Value2) + "到" + element(v.Value1);
    case MATCH_LIST: {
      std::string text;
      const uint32_t* elements = MatchElements(v);
      for (uint32_t i = 0; elements != nullptr && i < v.Value1; ++i) {
        if (i > 0) text += ",";
        text += element(elements[i]);
      }
      return text;
    }
    default:
      return "";
  }
}

std::string SingleAddressText(uint32_t networkOrder) { return AddressText(networkOrder); }
}  // namespace

std::string TFWAuditRuleOptDlg::FormatAddressCondition(const _MATCH_VALUE& value) {
  return Summary(value, "任何地址", SingleAddressText);
}

std::string TFWAuditRuleOptDlg::FormatPortCondition(const _MATCH_VALUE& value) {
  return Summary(value, "任何端口", PortText);
}

TFWAuditRuleOptDlg::TFWAuditRuleOptDlg(CComponent* owner) : CForm(owner, "FWAuditRuleOptDlg") {
  SetText("应用程序审核高级设置");
  SetBorderStyle(TBorderStyle::Dialog);
  SetPosition(TPosition::ScreenCenter);
  SetClientSize(470, 404);
  SetFormFont(kConsoleFontFace, kConsoleFontPixels);

  Label1 = NewControl<CLabel>(this, this, "Label1", 10, 14, 112, 14, "审核到以下条件时:");
  MatchOpComboBox = NewControl<CComboBox>(this, this, "MatchOpComboBox", 124, 10, 100, 20);
  Label2 = NewControl<CLabel>(this, this, "Label2", 240, 14, 122, 14, "未审核到以下条件时:");
  MissMatchOpComboBox = NewControl<CComboBox>(this, this, "MissMatchOpComboBox", 362, 10, 100, 20);

  // Each protocol's group box carries its check box in the place of its caption.
  TCPProtoGroupBox = NewControl<CGroupBox>(this, this, "TCPProtoGroupBox", 8, 40, 454, 70, "TCP 访问审核设置");
  TCPProtoBox = NewControl<CCheckBox>(this, TCPProtoGroupBox, "TCPProtoBox", 8, 0, 146, 16, "TCP协议访问审核设置");
  ConnectCheckBox = NewControl<CCheckBox>(this, TCPProtoGroupBox, "ConnectCheckBox", 14, 22, 200, 18, "连接外部网络服务");
  AcceptCheckBox = NewControl<CCheckBox>(this, TCPProtoGroupBox, "AcceptCheckBox", 230, 22, 200, 18, "接收外部网络服务请求");
  TCPSendCheckBox = NewControl<CCheckBox>(this, TCPProtoGroupBox, "TCPSendCheckBox", 14, 44, 200, 18, "发送数据包");
  TCPRecvCheckBox = NewControl<CCheckBox>(this, TCPProtoGroupBox, "TCPRecvCheckBox", 230, 44, 200, 18, "接收数据包");

  GroupBox2 = NewControl<CGroupBox>(this, this, "GroupBox2", 8, 116, 224, 90, "UDP 访问审核设置");
  UDPProtoBox = NewControl<CCheckBox>(this, GroupBox2, "UDPProtoBox", 8, 0, 146, 16, "UDP协议访问审核设置");
  BindCheckBox = NewControl<CCheckBox>(this, GroupBox2, "BindCheckBox", 14, 22, 200, 18, "作为服务时");
  UDPSendCheckBox = NewControl<CCheckBox>(this, GroupBox2, "UDPSendCheckBox", 14, 44, 200, 18, "发送数据包时");
  UDPRecvCheckBox = NewControl<CCheckBox>(this, GroupBox2, "UDPRecvCheckBox", 14, 66, 200, 18, "接收数据包时");

  GroupBox3 = NewControl<CGroupBox>(this, this, "GroupBox3", 238, 116, 224, 90, "IP协议访问审核设置");
  IPProtoBox = NewControl<CCheckBox>(this, GroupBox3, "IPProtoBox", 8, 0, 140, 16, "IP协议访问审核设置");
  IPSendCheckBox = NewControl<CCheckBox>(this, GroupBox3, "IPSendCheckBox", 14, 22, 200, 18, "发送数据包时");
  IPRecvCheckBox = NewControl<CCheckBox>(this, GroupBox3, "IPRecvCheckBox", 14, 44, 200, 18, "接收数据包时");
  for (CCheckBox* box : {TCPProtoBox, UDPProtoBox, IPProtoBox}) box->OnClick = Bind(this, &TFWAuditRuleOptDlg::TCPProtoBoxClick);

  GroupBox4 = NewControl<CGroupBox>(this, this, "GroupBox4", 8, 212, 454, 150, "网络IP地址审核设置");
  AllCheckBox = NewControl<CCheckBox>(this, GroupBox4, "AllCheckBox", 14, 20, 150, 18, "使用统一条件审核");
  TCPButton = NewControl<CRadioButton>(this, GroupBox4, "TCPButton", 230, 20, 56, 18, "TCP");
  UDPButton = NewControl<CRadioButton>(this, GroupBox4, "UDPButton", 294, 20, 56, 18, "UDP");
  IPButton = NewControl<CRadioButton>(this, GroupBox4, "IPButton", 358, 20, 56, 18, "IP");
  for (CCheckBox* box : std::initializer_list<CCheckBox*>{AllCheckBox, TCPButton, UDPButton, IPButton})
    box->OnClick = Bind(this, &TFWAuditRuleOptDlg::AllCheckBoxClick);
  struct Row {
    CGlyphButton** button;
    CLabel** label;
    const char* buttonName;
    const char* labelName;
    const char* text;
    void (TFWAuditRuleOptDlg::*click)(CComponent*);
  } rows[] = {
      {&LocalAddrBtn, &LocalAddrLabel, "LocalAddrBtn", "LocalAddrLabel", "本地地址:", &TFWAuditRuleOptDlg::LocalAddrBtnClick},
      {&RemoteAddrBtn, &RemoteAddrLabel, "RemoteAddrBtn", "RemoteAddrLabel", "对方地址:", &TFWAuditRuleOptDlg::RemoteAddrBtnClick},
      {&LocalPortBtn, &LocalPortLabel, "LocalPortBtn", "LocalPortLabel", "本地端口:", &TFWAuditRuleOptDlg::LocalPortBtnClick},
      {&RemotePortBtn, &RemotePortLabel, "RemotePortBtn", "RemotePortLabel", "对方端口:", &TFWAuditRuleOptDlg::RemotePortBtnClick},
  };
  int y = 46;
  for (const Row& row : rows) {
    *row.button = NewControl<CGlyphButton>(this, GroupBox4, row.buttonName, 14, y, 76, 24, row.text);
    (*row.button)->OnClick = Bind(this, row.click);
    *row.label = NewControl<CLabel>(this, GroupBox4, row.labelName, 98, y + 5, 346, 14);
    // A long list shows what fits; the hint shows it whole.
    (*row.label)->SetAlignment(DT_LEFT | DT_END_ELLIPSIS);
    y += 25;
  }

  OkBitBtn = NewControl<CGlyphButton>(this, this, "OkBitBtn", 298, 370, 76, 26, "确定");
  OkBitBtn->SetModalResult(mrOk);
  OkBitBtn->SetDefault(true);
  OkBitBtn->OnClick = Bind(this, &TFWAuditRuleOptDlg::OkBitBtnClick);
  CancelBitBtn = NewControl<CGlyphButton>(this, this, "CancelBitBtn", 386, 370, 76, 26, "取消");
  CancelBitBtn->SetModalResult(mrCancel);
  CancelBitBtn->SetCancel(true);
  OnCreate = Bind(this, &TFWAuditRuleOptDlg::FormCreate);
  EnsureCreated();
}

TFWAuditRuleOptDlg::~TFWAuditRuleOptDlg() {
  for (auto& set : sets_)
    for (_MATCH_VALUE& value : set) ReleaseMatchValue(&value);
}

void TFWAuditRuleOptDlg::FormCreate(CComponent*) {
  ApplyFlatLookToButtons(this, kGlyphKeyColor);
  TCPButton->SetChecked(true);
  for (CComboBox* box : {MatchOpComboBox, MissMatchOpComboBox})
    for (const CDecisionItem& item : kDecisions) box->AddItem(item.text, item.code);
  MatchOpComboBox->SetItemIndex(0);
  MissMatchOpComboBox->SetItemIndex(2);
  ShowConditions();
  TCPProtoBoxClick(TCPProtoBox);
}

void TFWAuditRuleOptDlg::SetAuditRule(_RKFW_AUDIT_RULE* rule) {
  if (rule == nullptr) return;
  rule_ = rule;
  MatchOpComboBox->SetItemIndex(DecisionIndex(rule->MatchAction));
  MissMatchOpComboBox->SetItemIndex(DecisionIndex(rule->MissAction));
  const _MATCH_VALUE* from[3][4] = {
      {&rule->TcpLocalAddr, &rule->TcpRemoteAddr, &rule->TcpLocalPort, &rule->TcpRemotePort},
      {&rule->UdpLocalAddr, &rule->UdpRemoteAddr, &rule->UdpLocalPort, &rule->UdpRemotePort},
      {&rule->IpLocalAddr, &rule->IpRemoteAddr, nullptr, nullptr}};
  for (int set = 0; set < 3; ++set)
    for (int slot = 0; slot < 4; ++slot) {
      ReleaseMatchValue(&sets_[set][slot]);
      if (from[set][slot] != nullptr) CopyMatchValue(&sets_[set][slot], from[set][slot]);
    }
  TCPProtoBox->SetChecked(rule->Access & AUDIT_ACCESS_TCP);
  UDPProtoBox->SetChecked(rule->Access & AUDIT_ACCESS_UDP);
  IPProtoBox->SetChecked(rule->Access & AUDIT_ACCESS_IP);
  ConnectCheckBox->SetChecked(rule->TcpOps & 0x04);
  AcceptCheckBox->SetChecked(rule->TcpOps & 0x08);
  TCPSendCheckBox->SetChecked(rule->TcpOps & 0x02);
  TCPRecvCheckBox->SetChecked(rule->TcpOps & 0x01);
  BindCheckBox->SetChecked(rule->UdpOps & 0x10);
  UDPSendCheckBox->SetChecked(rule->UdpOps & 0x02);
  UDPRecvCheckBox->SetChecked(rule->UdpOps & 0x01);
  IPSendCheckBox->SetChecked(rule->IpOps & 0x02);
  IPRecvCheckBox->SetChecked(rule->IpOps & 0x01);
  ShowConditions();
  TCPProtoBoxClick(TCPProtoBox);
}

int TFWAuditRuleOptDlg::CurrentSet() const {
  if (AllCheckBox->Checked()) return kAllSet;
  if (TCPButton->Checked()) return kTcpSet;
  if (UDPButton->Checked()) return kUdpSet;
  if (IPButton->Checked()) return kIpSet;
  return -1;
}

void TFWAuditRuleOptDlg::ShowConditions() {
  bool perProtocol = !AllCheckBox->Checked();
  for (CRadioButton* button : {TCPButton, UDPButton, IPButton}) {
    button->SetEnabled(perProtocol);
    button->Invalidate();
  }
  CControl* portRows[] = {LocalPortBtn, LocalPortLabel, RemotePortBtn, RemotePortLabel};
  for (CControl* c : portRows) c->Show();
  int set = CurrentSet();
  if (set == kIpSet)
    for (CControl* c : portRows) c->Hide();
  if (set < 0) return;
  CLabel* labels[4] = {LocalAddrLabel, RemoteAddrLabel, LocalPortLabel, RemotePortLabel};
  for (int slot = 0; slot < 4; ++slot) {
    std::string text = slot < kLocalPort ? FormatAddressCondition(sets_[set][slot]) : FormatPortCondition(sets_[set][slot]);
    labels[slot]->SetText(text.c_str());
    labels[slot]->SetHint(text.c_str());
  }
}

void TFWAuditRuleOptDlg::AllCheckBoxClick(CComponent*) { ShowConditions(); }

void TFWAuditRuleOptDlg::TCPProtoBoxClick(CComponent*) {
  struct Group {
    CCheckBox* protocol;
    std::initializer_list<CCheckBox*> operations;
  };
  for (const Group& g : {Group{TCPProtoBox, {ConnectCheckBox, AcceptCheckBox, TCPSendCheckBox, TCPRecvCheckBox}},
                         Group{UDPProtoBox, {BindCheckBox, UDPSendCheckBox, UDPRecvCheckBox}},
                         Group{IPProtoBox, {IPSendCheckBox, IPRecvCheckBox}}})
    for (CCheckBox* box : g.operations) {
      box->SetEnabled(g.protocol->Checked());
      box->Invalidate();
    }
}

void TFWAuditRuleOptDlg::EditCondition(int slot) {
  int set = CurrentSet();
  if (set < 0) return;
  _MATCH_VALUE* value = &sets_[set][slot];
  bool ok = slot < kLocalPort ? EditAddressCondition(this, value, slot == kLocalAddr) : EditPortCondition(this, value);
  if (ok) ShowConditions();
}

void TFWAuditRuleOptDlg::LocalAddrBtnClick(CComponent*) { EditCondition(kLocalAddr); }
void TFWAuditRuleOptDlg::RemoteAddrBtnClick(CComponent*) { EditCondition(kRemoteAddr); }
void TFWAuditRuleOptDlg::LocalPortBtnClick(CComponent*) { EditCondition(kLocalPort); }
void TFWAuditRuleOptDlg::RemotePortBtnClick(CComponent*) { EditCondition(kRemotePort); }

void TFWAuditRuleOptDlg::OkBitBtnClick(CComponent*) {
  if (rule_ == nullptr) return;
  int match = MatchOpComboBox->ItemIndex(), miss = MissMatchOpComboBox->ItemIndex();
  if (match < 0 || miss < 0) {
    MessageDlg(this, "审核操作未选择!", "错误", kMbOk | kMbIconError);
    SetModalResult(mrNone);
    return;
  }
  // The new conditions are copied before anything changes, so running out of memory on the
  // way leaves the rule as it was.
  bool all = AllCheckBox->Checked();
  const _MATCH_VALUE* source[10];
  for (int i = 0; i < 4; ++i) source[i] = &sets_[all ? kAllSet : kTcpSet][i];
  for (int i = 0; i < 4; ++i) source[4 + i] = &sets_[all ? kAllSet : kUdpSet][i];
  source[8] = &sets_[all ? kAllSet : kIpSet][kLocalAddr];
  source[9] = &sets_[all ? kAllSet : kIpSet][kRemoteAddr];
  _MATCH_VALUE copies[10] = {};
  int copied = 0;
  try {
    for (; copied < 10; ++copied) CopyMatchValue(&copies[copied], source[copied]);
  } catch (...) {
    for (int i = 0; i < copied; ++i) ReleaseMatchValue(&copies[i]);
    throw;
  }

  _RKFW_AUDIT_RULE* r = rule_;
  r->MatchAction = MatchOpComboBox->ItemValue(match);
  r->MissAction = MissMatchOpComboBox->ItemValue(miss);
  r->Access &= ~static_cast<uint32_t>(AUDIT_ACCESS_IP | AUDIT_ACCESS_TCP | AUDIT_ACCESS_UDP);
  if (TCPProtoBox->Checked()) {
    r->Access |= AUDIT_ACCESS_TCP;
    r->TcpOps = (ConnectCheckBox->Checked() ? 0x04 : 0) | (AcceptCheckBox->Checked() ? 0x08 : 0) |
                (TCPSendCheckBox->Checked() ? 0x02 : 0) | (TCPRecvCheckBox->Checked() ? 0x01 : 0);
  }
  if (UDPProtoBox->Checked()) {
    r->Access |= AUDIT_ACCESS_UDP;
    r->UdpOps = (BindCheckBox->Checked() ? 0x10 : 0) | (UDPSendCheckBox->Checked() ? 0x02 : 0) |
                (UDPRecvCheckBox->Checked() ? 0x01 : 0);
  }
  if (IPProtoBox->Checked()) {
    r->Access |= AUDIT_ACCESS_IP;
    r->IpOps = (IPSendCheckBox->Checked() ? 0x02 : 0) | (IPRecvCheckBox->Checked() ? 0x01 : 0);
  }
  r->Access |= AUDIT_ACCESS_DETAILED;
  _MATCH_VALUE* target[10] = {&r->TcpLocalAddr, &r->TcpRemoteAddr, &r->TcpLocalPort, &r->TcpRemotePort,
                              &r->UdpLocalAddr, &r->UdpRemoteAddr, &r->UdpLocalPort, &r->UdpRemotePort,
                              &r->IpLocalAddr,  &r->IpRemoteAddr};
  for (int i = 0; i < 10; ++i) {
    ReleaseMatchValue(target[i]);
    memcpy(target[i], &copies[i], sizeof(_MATCH_VALUE));
  }
}

bool EditAuditConditions(CControl* card, _RKFW_AUDIT_RULE* rule) {
  auto* dlg = new TFWAuditRuleOptDlg(card);
  dlg->SetAuditRule(rule);
  bool ok = dlg->ShowModal() == mrOk;
  FreeComponent(dlg);
  return ok;
}
