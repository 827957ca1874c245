#include "ui/tfwruleadddlg/tfwruleadddlg.h"

#include <commctrl.h>

#include <cstring>
#include <new>
#include <string>

#include "platform/gbk.h"
#include "platform/heap.h"
#include "rules/codec.h"
#include "rules/iprules.h"
#include "ui/framework/looks.h"

namespace {
// Page index → Protocol: IP, TCP, UDP, ICMP, IGMP.
constexpr int kProtocolOfPage[5] = {RULE_PROTO_IP, RULE_PROTO_TCP, RULE_PROTO_UDP, RULE_PROTO_ICMP, RULE_PROTO_IGMP};

struct CActionItem {
  const char* text;
  int32_t code;
};
constexpr CActionItem kSystemActions[] = {
    {"通行", RULE_ACTION_PERMIT}, {"拦截", RULE_ACTION_BLOCK}, {"忽略(用于记录)", RULE_ACTION_IGNORE}};
constexpr CActionItem kApplicationActions[] = {{"通行", RULE_ACTION_PERMIT},
                                               {"拦截", RULE_ACTION_BLOCK},
                                               {"通知用户", RULE_ACTION_NOTIFY},
                                               {"忽略(用于记录)", RULE_ACTION_IGNORE}};

}  // namespace

int RuleProtocolOfPage(int pageIndex) {
  return pageIndex >= 0 && pageIndex < 5 ? kProtocolOfPage[pageIndex] : RULE_PROTO_IP;
}

int RulePageOfProtocol(int protocol) {
  for (int page = 0; page < 5; ++page)
    if (kProtocolOfPage[page] == protocol) return page;
  return 0;
}

TFWNewRuleDlg::TFWNewRuleDlg(CComponent* owner) : CForm(owner, "FWNewRuleDlg") {
  SetText("Vardeen规则设定");
  SetBorderStyle(TBorderStyle::Dialog);
  SetPosition(TPosition::OwnerCenter);
  SetClientSize(524, 432);
  SetFormFont(kConsoleFontFace, kConsoleFontPixels);

  // Left column: description, object, operations, action.
  GroupBox1 = NewControl<CGroupBox>(this, this, "GroupBox1", 8, 4, 252, 110, "规则描述:");
  Label1 = NewControl<CLabel>(this, GroupBox1, "Label1", 10, 24, 36, 14, "名称:");
  RuleEdit = NewControl<CEdit>(this, GroupBox1, "RuleEdit", 48, 20, 194, 20);
  Label2 = NewControl<CLabel>(this, GroupBox1, "Label2", 10, 50, 36, 14, "说明:");
  RuleDescMemo = NewControl<CMemo>(this, GroupBox1, "RuleDescMemo", 48, 46, 194, 56);

  GroupBox2 = NewControl<CGroupBox>(this, this, "GroupBox2", 8, 120, 252, 114, "规则对像");
  AllAppRadioButton = NewControl<CRadioButton>(this, GroupBox2, "AllAppRadioButton", 10, 18, 232, 18, "所有应用程序访问网络时");
  SpecAppRadioButton = NewControl<CRadioButton>(this, GroupBox2, "SpecAppRadioButton", 10, 40, 232, 18, "指定应用程序访问网络时");
  AppEdit = NewControl<CEdit>(this, GroupBox2, "AppEdit", 28, 62, 182, 20);
  AppOpenBtn = NewControl<CGlyphButton>(this, GroupBox2, "AppOpenBtn", 214, 61, 28, 22, "...");
  AppOpenBtn->SetHint("选择应用程序");
  SysRadioButton = NewControl<CRadioButton>(this, GroupBox2, "SysRadioButton", 10, 88, 232, 18, "系统访问网络时");
  AllAppRadioButton->OnClick = Bind(this, &TFWNewRuleDlg::AllAppRadioButtonClick);
  SpecAppRadioButton->OnClick = Bind(this, &TFWNewRuleDlg::AllAppRadioButtonClick);
  SysRadioButton->OnClick = Bind(this, &TFWNewRuleDlg::AllAppRadioButtonClick);
  AppOpenBtn->OnClick = Bind(this, &TFWNewRuleDlg::AppOpenBtnClick);

  GroupBox9 = NewControl<CGroupBox>(this, this, "GroupBox9", 8, 240, 252, 70, "网络条件 :");
  SendCheckBox = NewControl<CCheckBox>(this, GroupBox9, "SendCheckBox", 10, 20, 112, 18, "发送数据包");
  SendCheckBox->SetHint("当有数据包发送到网络时。");
  RecvCheckBox = NewControl<CCheckBox>(this, GroupBox9, "RecvCheckBox", 128, 20, 114, 18, "接收数据包");
  RecvCheckBox->SetHint("当从网络接收到数据包时。");
  ConnectCheckBox = NewControl<CCheckBox>(this, GroupBox9, "ConnectCheckBox", 10, 44, 112, 18, "连接时");
  AcceptCheckBox = NewControl<CCheckBox>(this, GroupBox9, "AcceptCheckBox", 128, 44, 114, 18, "收到连接请求时");

  GroupBox10 = NewControl<CGroupBox>(this, this, "GroupBox10", 8, 316, 252, 74, "当所有条件满足时:");
  CondComboBox = NewControl<CComboBox>(this, GroupBox10, "CondComboBox", 10, 20, 232, 20);
  CondComboBox->OnChange = [this](CComponent*) { keptAction_ = -1; };
  Label11 = NewControl<CLabel>(this, GroupBox10, "Label11", 10, 50, 60, 14, "其它处理:");
  LogCheckBox = NewControl<CCheckBox>(this, GroupBox10, "LogCheckBox", 76, 48, 70, 18, "记录");
  AlertCheckBox = NewControl<CCheckBox>(this, GroupBox10, "AlertCheckBox", 152, 48, 70, 18, "报警");

  // Right column: remote and local addresses, then the protocol pages.
  GroupBox3 = NewControl<CGroupBox>(this, this, "GroupBox3", 266, 4, 250, 110, "对方IP 地址");
  IPStyleComboBox = NewControl<CComboBox>(this, GroupBox3, "IPStyleComboBox", 10, 18, 230, 20);
  for (const char* style : {"任何地址", "指定地址", "子网地址", "地址列表", "地址范围"}) IPStyleComboBox->AddItem(style);
  IPStyleComboBox->OnChange = Bind(this, &TFWNewRuleDlg::IPStyleComboBoxChange);
  AddrLabel = NewControl<CLabel>(this, GroupBox3, "AddrLabel", 10, 52, 48, 14, "地址:");
  AddrEdit = NewControl<CEdit>(this, GroupBox3, "AddrEdit", 60, 48, 180, 20);
  MaskLabel = NewControl<CLabel>(this, GroupBox3, "MaskLabel", 10, 80, 48, 14, "掩码:");
  IPMaskEdit = NewControl<CEdit>(this, GroupBox3, "IPMaskEdit", 60, 76, 180, 20);
  IPListBox = NewControl<CListBox>(this, GroupBox3, "IPListBox", 10, 44, 192, 58);
  AddIPBtn = NewControl<CGlyphButton>(this, GroupBox3, "AddIPBtn", 208, 44, 32, 24, "+");
  AddIPBtn->SetHint("添加IP");
  AddIPBtn->OnClick = Bind(this, &TFWNewRuleDlg::AddIPBtnClick);
  DelIPBtn = NewControl<CGlyphButton>(this, GroupBox3, "DelIPBtn", 208, 72, 32, 24, "-");
  DelIPBtn->SetHint("删除IP");
  DelIPBtn->OnClick = Bind(this, &TFWNewRuleDlg::DelIPBtnClick);

  GroupBox4 = NewControl<CGroupBox>(this, this, "GroupBox4", 266, 118, 250, 96, "本地IP 地址");
  SrcIPCheckBox = NewControl<CCheckBox>(this, GroupBox4, "SrcIPCheckBox", 10, 18, 230, 18, "指定本地IP地址");
  SrcIPCheckBox->OnClick = Bind(this, &TFWNewRuleDlg::SrcIPCheckBoxClick);
  SrcIPListBox = NewControl<CListBox>(this, GroupBox4, "SrcIPListBox", 10, 38, 192, 52);
  AddSrcIPBtn = NewControl<CGlyphButton>(this, GroupBox4, "AddSrcIPBtn", 208, 38, 32, 24, "+");
  AddSrcIPBtn->SetHint("添加IP");
  AddSrcIPBtn->OnClick = Bind(this, &TFWNewRuleDlg::AddSrcIPBtnClick);
  DelSrcIPBtn = NewControl<CGlyphButton>(this, GroupBox4, "DelSrcIPBtn", 208, 66, 32, 24, "-");
  DelSrcIPBtn->SetHint("删除IP");
  DelSrcIPBtn->OnClick = Bind(this, &TFWNewRuleDlg::DelSrcIPBtnClick);
  SrcIPListBox->SetEnabled(false);
  AddSrcIPBtn->SetEnabled(false);
  DelSrcIPBtn->SetEnabled(false);

  RulePageControl = NewControl<CPageControl>(this, this, "RulePageControl", 266, 220, 250, 170);
  CTabSheet** pages[5] = {&IP, &TCP, &UDP, &ICMP, &IGMP};
  const char* pageNames[5] = {"IP", "TCP", "UDP", "ICMP", "IGMP"};
  for (int i = 0; i < 5; ++i) {
    *pages[i] = new CTabSheet(this, pageNames[i]);
    (*pages[i])->SetText(pageNames[i]);
    (*pages[i])->SetPageControl(RulePageControl);
  }
  RulePageControl->OnChange = Bind(this, &TFWNewRuleDlg::RulePageControlChange);
  RulePageControl->OnDrawTab = Bind(this, &TFWNewRuleDlg::RulePageControlDrawTab);

  // Port groups: local on the left, remote on the right of each page.
  GroupBox5 = NewControl<CGroupBox>(this, TCP, "GroupBox5", 4, 2, 116, 138, "本地端口 ");
  TCPSrcPort = MakePortGroup(TCP, GroupBox5, "TCPSrc", "本地", "添加本地端口", "删除本地端口");
  GroupBox6 = NewControl<CGroupBox>(this, TCP, "GroupBox6", 124, 2, 116, 138, "对方端口 ");
  TCPDstPort = MakePortGroup(TCP, GroupBox6, "TCPDst", "对方", "添加对方端口", "删除对方端口");
  GroupBox7 = NewControl<CGroupBox>(this, UDP, "GroupBox7", 4, 2, 116, 138, "本地端口 ");
  UDPSrcPort = MakePortGroup(UDP, GroupBox7, "UDPSrc", "本地", "添加IP", "删除IP");
  GroupBox8 = NewControl<CGroupBox>(this, UDP, "GroupBox8", 124, 2, 116, 138, "对方端口 ");
  UDPDstPort = MakePortGroup(UDP, GroupBox8, "UDPDst", "对方", "添加IP", "删除IP");
  TCPSrcPortBox = TCPSrcPort.Box;
  TCPDstPortBox = TCPDstPort.Box;
  UDPSrcPortBox = UDPSrcPort.Box;
  UDPDstPortBox = UDPDstPort.Box;
  TCPSrcPortBox->OnChange = Bind(this, &TFWNewRuleDlg::TCPSrcPortBoxChange);
  TCPDstPortBox->OnChange = Bind(this, &TFWNewRuleDlg::TCPDstPortBoxChange);
  UDPSrcPortBox->OnChange = Bind(this, &TFWNewRuleDlg::UDPSrcPortBoxChange);
  UDPDstPortBox->OnChange = Bind(this, &TFWNewRuleDlg::UDPDstPortBoxChange);

  // ICMP types above, codes below.
  AllTypeCheckBox = NewControl<CCheckBox>(this, ICMP, "AllTypeCheckBox", 6, 2, 200, 18, "所有ICMP类型");
  AllTypeCheckBox->OnClick = Bind(this, &TFWNewRuleDlg::AllTypeCheckBoxClick);
  ICMPTypeListBox = NewControl<CListBox>(this, ICMP, "ICMPTypeListBox", 6, 22, 192, 48);
  AddICMPTypeBtn = NewControl<CGlyphButton>(this, ICMP, "AddICMPTypeBtn", 204, 22, 32, 22, "+");
  AddICMPTypeBtn->OnClick = Bind(this, &TFWNewRuleDlg::AddICMPTypeBtnClick);
  DelICMPTypeBtn = NewControl<CGlyphButton>(this, ICMP, "DelICMPTypeBtn", 204, 48, 32, 22, "-");
  DelICMPTypeBtn->OnClick = Bind(this, &TFWNewRuleDlg::DelICMPTypeBtnClick);
  ICMPCodeCheckBox = NewControl<CCheckBox>(this, ICMP, "ICMPCodeCheckBox", 6, 74, 200, 18, "所有ICMP代码");
  ICMPCodeCheckBox->OnClick = Bind(this, &TFWNewRuleDlg::ICMPCodeCheckBoxClick);
  ICMPCodeListBox = NewControl<CListBox>(this, ICMP, "ICMPCodeListBox", 6, 94, 192, 46);
  AddICMPCodeBtn = NewControl<CGlyphButton>(this, ICMP, "AddICMPCodeBtn", 204, 94, 32, 22, "+");
  AddICMPCodeBtn->OnClick = Bind(this, &TFWNewRuleDlg::AddICMPCodeBtnClick);
  DelICMPCodeBtn = NewControl<CGlyphButton>(this, ICMP, "DelICMPCodeBtn", 204, 118, 32, 22, "-");
  DelICMPCodeBtn->OnClick = Bind(this, &TFWNewRuleDlg::DelICMPCodeBtnClick);
  for (CGlyphButton* add : {AddICMPTypeBtn, AddICMPCodeBtn}) add->SetHint("添加对方端口");
  for (CGlyphButton* del : {DelICMPTypeBtn, DelICMPCodeBtn}) del->SetHint("删除对方端口");
  AllTypeCheckBox->SetChecked(true);
  ICMPCodeCheckBox->SetChecked(true);
  for (CControl* c : std::initializer_list<CControl*>{ICMPTypeListBox, AddICMPTypeBtn, DelICMPTypeBtn,
                                                      ICMPCodeListBox, AddICMPCodeBtn, DelICMPCodeBtn})
    c->SetEnabled(false);
  RulePageControl->SetActivePage(TCP);

  OKBtn = NewControl<CGlyphButton>(this, this, "OKBtn", 350, 398, 78, 26, "确定");
  OKBtn->SetModalResult(mrOk);
  OKBtn->SetDefault(true);
  OKBtn->OnClick = Bind(this, &TFWNewRuleDlg::OKBtnClick);
  CancelBtn = NewControl<CGlyphButton>(this, this, "CancelBtn", 438, 398, 78, 26, "取消");
  CancelBtn->SetModalResult(mrCancel);
  CancelBtn->SetCancel(true);

  OpenDialog1 = new CFileDialog(this, "OpenDialog1", false);
  OnCreate = Bind(this, &TFWNewRuleDlg::FormCreate);
  OnShow = [this](CComponent*) { RuleEdit->SetFocus(); };
  // The state of a new rule is there before EditRule loads a record over it.
  EnsureCreated();
}

TFWNewRuleDlg::CPortGroup TFWNewRuleDlg::MakePortGroup(CTabSheet*, CGroupBox* group, const char* prefix,
                                                      const char* side, const char* addHint,
                                                      const char* delHint) {
  auto name = [prefix](const char* middle, const char* kind) {
    // TCPSrcPortSpinEdit, TCPEndSrcPortSpinEdit, TCPAddSrcPortBtn ...: protocol, then the
    // role, then Src or Dst.
    std::string p = prefix;
    return p.substr(0, 3) + middle + p.substr(3) + kind;
  };
  CPortGroup g;
  g.Side = side;
  g.Box = NewControl<CComboBox>(this, group, name("", "PortBox").c_str(), 6, 18, 104, 20);
  for (const char* style : {"任一端口", "指定端口", "端口范围", "端口列表"}) g.Box->AddItem(style);
  g.PortLabel = NewControl<CLabel>(this, group, name("", "PortLabel").c_str(), 6, 52, 36, 14, "端口:");
  g.SpinEdit = NewControl<CSpinEdit>(this, group, name("", "PortSpinEdit").c_str(), 42, 48, 68, 20);
  g.SpinEdit->SetRange(1, 65535);
  g.EndLabel = NewControl<CLabel>(this, group, name("End", "PortLabel").c_str(), 6, 80, 36, 14, "结束:");
  g.EndSpinEdit = NewControl<CSpinEdit>(this, group, name("End", "PortSpinEdit").c_str(), 42, 76, 68, 20);
  g.EndSpinEdit->SetRange(1, 65535);
  g.ListBox = NewControl<CListBox>(this, group, name("", "PortListBox").c_str(), 6, 44, 66, 88);
  g.AddBtn = NewControl<CGlyphButton>(this, group, name("Add", "PortBtn").c_str(), 78, 44, 32, 24, "+");
  g.AddBtn->SetHint(addHint);
  g.DelBtn = NewControl<CGlyphButton>(this, group, name("Del", "PortBtn").c_str(), 78, 72, 32, 24, "-");
  g.DelBtn->SetHint(delHint);
  CListBox* list = g.ListBox;
  g.AddBtn->OnClick = [this, list](CComponent*) { AddPort(list); };
  g.DelBtn->OnClick = [list](CComponent*) {
    int index = list->ItemIndex();
    if (index >= 0) list->DeleteItem(index);
  };
  return g;
}

void TFWNewRuleDlg::FormCreate(CComponent*) {
  ApplyFlatLookToButtons(this, kGlyphKeyColor);
  AppOpenBtn->ApplyFlatLook(kGlyphKeySilver);

  // The subnet mask is typed into the system's four-field address control, which stands in
  // IPMaskEdit's place with the dialog's font.
  dialogFont_.Reset(CreatePixelFont(kConsoleFontFace, kConsoleFontPixels));
  IPAddressCtrl = NewControl<CIPAddress>(this, IPMaskEdit->Parent(), "IPAddressCtrl", IPMaskEdit->Left(),
                                         IPMaskEdit->Top(), IPMaskEdit->Width(), IPMaskEdit->Height());
  IPAddressCtrl->SetFont(dialogFont_.Get());

  // The five tabs fit the page control's width without scroll arrows.
  SendMessageA(RulePageControl->Handle(), TCM_SETMINTABWIDTH, 0, 40);
  RulePageControl->SetBounds(RulePageControl->Left(), RulePageControl->Top(), RulePageControl->Width(),
                             RulePageControl->Height());

  IPStyleComboBox->SetItemIndex(0);
  IPStyleComboBoxChange(IPStyleComboBox);
  SysRadioButton->SetChecked(true);
  AllAppRadioButtonClick(SysRadioButton);
  for (const CPortGroup* g : {&TCPSrcPort, &TCPDstPort, &UDPSrcPort, &UDPDstPort}) {
    g->Box->SetItemIndex(0);
    PortBoxChange(*g);
    // An untouched port entry shows 0, which reads as "no port given".
    SetWindowTextA(g->SpinEdit->EditHandle(), "0");
    SetWindowTextA(g->EndSpinEdit->EditHandle(), "0");
  }
  FillActionCombo();
}

void TFWNewRuleDlg::AllAppRadioButtonClick(CComponent*) {
  bool specific = SpecAppRadioButton->Checked();
  AppEdit->SetEnabled(specific);
  AppOpenBtn->SetEnabled(specific);
  // Rules for applications are IP, TCP or UDP rules.
  bool system = SysRadioButton->Checked();
  if (!system) keptAction_ = -1;
  ICMP->SetTabVisible(system || keptPage_ == ICMP);
  IGMP->SetTabVisible(system || keptPage_ == IGMP);
  RulePageControlChange(RulePageControl);
  FillActionCombo();
}

void TFWNewRuleDlg::RulePageControlChange(CComponent*) {
  CTabSheet* page = RulePageControl->ActivePage();
  bool system = SysRadioButton->Checked();
  SendCheckBox->Show();
  RecvCheckBox->Show();
  if (page == TCP) {
    ConnectCheckBox->SetText("连接时");
    ConnectCheckBox->Show();
    AcceptCheckBox->Show();
  } else if (page == UDP && !system) {
    ConnectCheckBox->SetText("作为服务程序时");
    ConnectCheckBox->Show();
    AcceptCheckBox->Hide();
  } else {
    ConnectCheckBox->Hide();
    AcceptCheckBox->Hide();
  }
}

void TFWNewRuleDlg::RulePageControlDrawTab(CComponent*, HDC Surface, int PageIndex, const RECT& Rect, bool) {
  RECT r = Rect;
  SetBkMode(Surface, TRANSPARENT);
  HGDIOBJ old = SelectObject(Surface, Font());
  const std::string& caption = RulePageControl->Page(PageIndex)->Text();
  DrawTextA(Surface, caption.c_str(), static_cast<int>(caption.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(Surface, old);
}

void TFWNewRuleDlg::FillActionCombo() {
  int index = CondComboBox->ItemIndex();
  if (index < 0) index = 0;
  if (SysRadioButton->Checked()) {
    if (CondComboBox->Count() == 3) return;
    CondComboBox->Clear();
    for (const CActionItem& item : kSystemActions) CondComboBox->AddItem(item.text, static_cast<uint32_t>(item.code));
    if (index == 2) index = 0;  // "通知用户" means nothing for the system: back to "通行"
    else if (index == 3) index = 2;
  } else {
    if (CondComboBox->Count() == 4) return;
    CondComboBox->Clear();
    for (const CActionItem& item : kApplicationActions)
      CondComboBox->AddItem(item.text, static_cast<uint32_t>(item.code));
    if (index == 2) index = 3;
  }
  CondComboBox->SetItemIndex(index);
}

void TFWNewRuleDlg::AppOpenBtnClick(CComponent*) {
  OpenDialog1->Title = "选择应用程序";
  OpenDialog1->Filter = "*.exe;*.dll|*.exe;*.dll|*.*|*.*";
  OpenDialog1->DefaultExt = "exe";
  OpenDialog1->FileMustExist = true;
  if (!OpenDialog1->Execute(this)) return;
  // Rules name applications by their file name alone.
  const std::string& path = OpenDialog1->FileName;
  size_t cut = GbkCutAfterLast(path.c_str(), path.size(), '\\');
  AppEdit->SetText(path.c_str() + cut);
}

int TFWNewRuleDlg::ProtocolOfPage() const { return RuleProtocolOfPage(RulePageControl->ActivePageIndex()); }

void TFWNewRuleDlg::Fail(const char* message, CControl* focus) {
  if (focus != nullptr && focus->CanFocus()) focus->SetFocus();
  MessageDlg(this, message, "错误", kMbOk | kMbIconError);
  SetModalResult(mrNone);
}

uint32_t TFWNewRuleDlg::ShownConditions() const {
  uint32_t shown = RULE_COND_SEND | RULE_COND_RECEIVE;
  CTabSheet* page = RulePageControl->ActivePage();
  if (page == TCP) shown |= RULE_COND_CONNECT | RULE_COND_CONNECT_REQUEST;
  else if (page == UDP && !SysRadioButton->Checked()) shown |= RULE_COND_SERVICE;
  return shown;
}

void TFWNewRuleDlg::OKBtnClick(CComponent*) {
  // Out of memory: the dialog stays open and the framework reports it.
  try {
    ConfirmRule();
  } catch (...) {
    SetModalResult(mrNone);
    throw;
  }
}

void TFWNewRuleDlg::ConfirmRule() {
  // The record being edited: what the dialog does not show is kept from it.
  const _RKFW_RULE* was = Rule != nullptr && !Rule->Packed ? Rule : nullptr;
  _RKFW_RULE temp;
  memset(&temp, 0, sizeof temp);
  // Whatever happens below, the temporary record's heap parts go with it.
  struct CReleaseOnExit {
    _RKFW_RULE* rule;
    ~CReleaseOnExit() { ReleaseRule(rule); }
  } release{&temp};

  std::string name = RuleEdit->WindowText();
  if (name.empty()) return Fail("规则名称未填!", RuleEdit);
  StampRule(&temp);
  temp.Name = CopyHeapText(name.c_str());
  temp.Description = CopyHeapText(RuleDescMemo->AllText().c_str());
  temp.Protocol = ProtocolOfPage();
  const bool sameProtocol = was != nullptr && was->Protocol == temp.Protocol;
  if (SendCheckBox->Checked()) temp.Conditions |= RULE_COND_SEND;
  if (RecvCheckBox->Checked()) temp.Conditions |= RULE_COND_RECEIVE;
  // A condition this page has no box for (the system's UDP service condition among them)
  // stays as the rule had it, and counts as chosen.
  if (sameProtocol) temp.Conditions |= was->Conditions & ~ShownConditions();

  uint32_t code = 0;
  switch (temp.Protocol) {
    case RULE_PROTO_IP:
    case RULE_PROTO_ICMP:
      if ((code = ReadRemoteAddress(&temp.IpRemoteAddr)) != 0) return Fail(RemoteAddressMessage(code), badField_);
      if ((code = ReadLocalAddress(&temp.LocalAddr)) != 0) return Fail(LocalAddressMessage(code), badField_);
      if (temp.Protocol == RULE_PROTO_ICMP) {
        temp.IcmpTypeMask = IcmpTypeMask();
        temp.IcmpCodeMask = IcmpCodeMask();
      }
      break;
    case RULE_PROTO_TCP:
    case RULE_PROTO_UDP: {
      bool tcp = temp.Protocol == RULE_PROTO_TCP;
      if ((code = ReadRemoteAddress(&temp.RemoteAddr)) != 0) return Fail(RemoteAddressMessage(code), badField_);
      if ((code = ReadLocalAddress(&temp.LocalAddr)) != 0) return Fail(LocalAddressMessage(code), badField_);
      const CPortGroup& remote = tcp ? TCPDstPort : UDPDstPort;
      const CPortGroup& local = tcp ? TCPSrcPort : UDPSrcPort;
      if ((code = ReadPortGroup(remote, &temp.RemotePort)) != 0) return Fail(PortGroupMessage(remote, code).c_str(), badField_);
      if ((code = ReadPortGroup(local, &temp.LocalPort)) != 0) return Fail(PortGroupMessage(local, code).c_str(), badField_);
      if (tcp) {
        if (ConnectCheckBox->Checked()) temp.Conditions |= RULE_COND_CONNECT;
        if (AcceptCheckBox->Checked()) temp.Conditions |= RULE_COND_CONNECT_REQUEST;
      } else if (ConnectCheckBox->Checked() && !SysRadioButton->Checked()) {
        temp.Conditions |= RULE_COND_SERVICE;
      }
      break;
    }
    default:  // IGMP: no address, port or ICMP values, whatever the groups show
      break;
  }
  if (temp.Conditions == 0) return Fail("网络条件未选择!", nullptr);

  // The 32 bytes of Application as the rule had them, while they show what the dialog shows.
  const bool wasApplication = was != nullptr && (was->Options & RULE_OPT_APPLICATION) != 0;
  std::string wasApp;
  for (size_t i = 0; was != nullptr && i < RULE_APPLICATION_SIZE && was->Application[i] != 0; ++i)
    wasApp += was->Application[i];
  if (SysRadioButton->Checked()) {
    temp.Options &= ~static_cast<uint32_t>(RULE_OPT_APPLICATION);
    if (was != nullptr && !wasApplication) memcpy(temp.Application, was->Application, sizeof temp.Application);
  } else {
    temp.Options |= RULE_OPT_APPLICATION;
    if (SpecAppRadioButton->Checked()) {
      std::string app = AppEdit->WindowText();
      if (app.empty()) return Fail("指定应用程序未填", AppEdit);
      if (wasApplication && app == wasApp) {
        memcpy(temp.Application, was->Application, sizeof temp.Application);
      } else {
        // A typed name is stored with its terminator: a longer one would be cut to another
        // program's name. (A full 32-byte name from a file is kept above, untouched.)
        if (app.size() >= RULE_APPLICATION_SIZE) return Fail("指定应用程序名称太长!", AppEdit);
        memcpy(temp.Application, app.c_str(), app.size());
      }
    } else if (wasApplication && wasApp.empty()) {
      memcpy(temp.Application, was->Application, sizeof temp.Application);
    }
  }
  int action = CondComboBox->ItemIndex();
  if (action < 0) return Fail("请选择如何操作!", CondComboBox);
  temp.Action = static_cast<int32_t>(CondComboBox->ItemValue(action));
  if (keptAction_ >= 0 && SysRadioButton->Checked()) temp.Action = keptAction_;
  if (LogCheckBox->Checked()) temp.Options |= RULE_OPT_LOG;
  if (AlertCheckBox->Checked()) temp.Options |= RULE_OPT_ALERT;
  // The disabled bit and any other option the dialog has no box for.
  if (was != nullptr)
    temp.Options |= was->Options & ~static_cast<uint32_t>(RULE_OPT_LOG | RULE_OPT_ALERT | RULE_OPT_APPLICATION);

  // Copy first, so a failed copy leaves the target as it was. Over the rule's own bytes when
  // it keeps its protocol, so the bytes that protocol does not use stay; Reserved3 always.
  _RKFW_RULE copy;
  memset(&copy, 0, sizeof copy);
  if (sameProtocol) {
    memcpy(&copy, was, sizeof copy);
    copy.Name = nullptr;
    copy.Description = nullptr;
    _MATCH_VALUE* used[4];
    uint32_t n = UsedMatchValues(copy, used);
    for (uint32_t i = 0; i < n; ++i) memset(used[i], 0, sizeof(_MATCH_VALUE));
  } else if (was != nullptr) {
    copy.Reserved3 = was->Reserved3;
  }
  try {
    CopyRule(&copy, &temp);
  } catch (...) {
    ReleaseRule(&copy);
    throw;
  }
  if (Rule == nullptr) {
    Rule = static_cast<_RKFW_RULE*>(PlatformAlloc(sizeof(_RKFW_RULE)));
    if (Rule == nullptr) {
      ReleaseRule(&copy);
      throw std::bad_alloc();
    }
  } else {
    ReleaseRule(Rule);
  }
  memcpy(Rule, &copy, sizeof copy);
}

void TFWNewRuleDlg::EditRule(_RKFW_RULE* rule) {
  if (rule == nullptr) return;
  Rule = rule;
  LoadRule();
}

void TFWNewRuleDlg::LoadRule() {
  const _RKFW_RULE* r = Rule;
  if (r == nullptr || r->Packed) return;  // a serialised record: keep the new rule's state
  keptPage_ = nullptr;
  keptAction_ = -1;
  if ((r->Options & RULE_OPT_APPLICATION) && (r->Protocol == RULE_PROTO_ICMP || r->Protocol == RULE_PROTO_IGMP))
    keptPage_ = r->Protocol == RULE_PROTO_ICMP ? ICMP : IGMP;
  RuleEdit->SetText(r->Name != nullptr ? r->Name : "");
  RuleDescMemo->SetText(r->Description != nullptr ? r->Description : "");
  AppEdit->SetText("");
  if (r->Options & RULE_OPT_APPLICATION) {
    char app[RULE_APPLICATION_SIZE + 1] = {};
    memcpy(app, r->Application, RULE_APPLICATION_SIZE);
    if (app[0] != 0) {
      SpecAppRadioButton->SetChecked(true);
      AppEdit->SetText(app);
    } else {
      AllAppRadioButton->SetChecked(true);
    }
    AllAppRadioButtonClick(SpecAppRadioButton);
    CondComboBox->SetItemIndex(r->Action >= 0 && r->Action < CondComboBox->Count() ? r->Action : -1);
  } else {
    SysRadioButton->SetChecked(true);
    AllAppRadioButtonClick(SysRadioButton);
    int index = r->Action == RULE_ACTION_BLOCK ? 1 : r->Action == RULE_ACTION_IGNORE ? 2 : 0;
    if (r->Action != RULE_ACTION_PERMIT && r->Action != RULE_ACTION_BLOCK && r->Action != RULE_ACTION_IGNORE)
      keptAction_ = r->Action;
    CondComboBox->SetItemIndex(index);
  }
  LogCheckBox->SetChecked((r->Options & RULE_OPT_LOG) != 0);
  AlertCheckBox->SetChecked((r->Options & RULE_OPT_ALERT) != 0);
  RecvCheckBox->SetChecked((r->Conditions & RULE_COND_RECEIVE) != 0);
  SendCheckBox->SetChecked((r->Conditions & RULE_COND_SEND) != 0);

  CTabSheet* page = RulePageControl->Page(RulePageOfProtocol(r->Protocol));
  if (page->TabVisible()) RulePageControl->SetActivePage(page);
  RulePageControlChange(RulePageControl);
  switch (r->Protocol) {
    case RULE_PROTO_IP:
    case RULE_PROTO_ICMP:
      ShowRemoteAddress(r->IpRemoteAddr);
      ShowLocalAddress(r->LocalAddr);
      if (r->Protocol == RULE_PROTO_ICMP) ShowIcmpMasks(r->IcmpTypeMask, r->IcmpCodeMask);
      break;
    case RULE_PROTO_TCP:
    case RULE_PROTO_UDP: {
      bool tcp = r->Protocol == RULE_PROTO_TCP;
      ShowRemoteAddress(r->RemoteAddr);
      ShowLocalAddress(r->LocalAddr);
      ShowPortGroup(tcp ? TCPDstPort : UDPDstPort, r->RemotePort);
      ShowPortGroup(tcp ? TCPSrcPort : UDPSrcPort, r->LocalPort);
      if (tcp) {
        ConnectCheckBox->SetChecked((r->Conditions & RULE_COND_CONNECT) != 0);
        AcceptCheckBox->SetChecked((r->Conditions & RULE_COND_CONNECT_REQUEST) != 0);
      } else {
        ConnectCheckBox->SetChecked((r->Conditions & RULE_COND_SERVICE) && (r->Options & RULE_OPT_APPLICATION));
      }
      break;
    }
    default:
      break;
  }
}

bool EditRuleInDialog(CComponent* owner, _RKFW_RULE* rule, _RKFW_RULE** created) {
  auto* dialog = new TFWNewRuleDlg(owner);
  dialog->EditRule(rule);
  const bool ok = dialog->ShowModal() == mrOk;
  if (ok && rule == nullptr && created != nullptr) *created = dialog->Rule;
  FreeComponent(dialog);
  return ok;
}
