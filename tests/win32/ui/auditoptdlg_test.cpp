// The audit conditions dialog and its address and port condition dialogs under Wine, scripted
// through the modal and message box seams: the refusals in order, the values each page
// writes and shows back, the rule written only on OK, the keys and the descriptions. The
// card's "选项" on the audit page is tested end to end (tests/e2e/audit_e2e_test.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "log/formatters.h"
#include "platform/heap.h"
#include "rules/codec.h"
#include "platform/msgbox.h"
#include "rules/auditrules.h"
#include "rules/matchvalue.h"
#include "rules/rulefile.h"
#include "tests/win32/support/golden.h"
#include "tools/rkfwtool/ruletext.h"
#include "ui/addrentry/addrentry.h"
#include "ui/framework/application.h"
#include "ui/framework/describe.h"
#include "ui/tfwauditruleitemframe/tfwauditruleitemframe.h"
#include "ui/tfwauditruleoptdlg/tfwauditruleoptdlg.h"
#include "ui/tfwhostipseldlg/tfwhostipseldlg.h"
#include "ui/tfwinputaddrdlg/tfwinputaddrdlg.h"
#include "ui/tfwinputportdlg/tfwinputportdlg.h"
#include "ui/tfwipedit/tfwipedit.h"
#include "ui/tfwportedit/tfwportedit.h"

namespace {
uint32_t Addr(int a, int b, int c, int d) {
  return static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << 8 | static_cast<uint32_t>(c) << 16 |
         static_cast<uint32_t>(d) << 24;
}
uint32_t Port(int p) { return static_cast<uint32_t>(((p & 0xFF) << 8) | ((p >> 8) & 0xFF)); }

_MATCH_VALUE List(std::initializer_list<uint32_t> values) {
  auto* elements = static_cast<uint32_t*>(PlatformAlloc(static_cast<uint32_t>(values.size() * 4)));
  std::copy(values.begin(), values.end(), elements);
  _MATCH_VALUE v{};
  v.Kind = MATCH_LIST;
  v.Value1 = static_cast<uint32_t>(values.size());
  v.Value2 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(elements));
  return v;
}
_MATCH_VALUE One(uint32_t value) { return _MATCH_VALUE{MATCH_SINGLE, value, 0}; }
_MATCH_VALUE Range(uint32_t first, uint32_t last) { return _MATCH_VALUE{MATCH_RANGE, last, first}; }

// The rkfwtool text of the rule as "app.aud" stores it.
std::string Dump(const _RKFW_AUDIT_RULE& rule) {
  _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
  rules.Append(rule);
  _bytePtr body, file;
  EXPECT_EQ(BuildAuditBody(rules, body), 0u);
  EXPECT_EQ(BuildRuleFileBytes(body, file), 0u);
  std::string text, error;
  EXPECT_EQ(DumpRuleFileBytes(file.Data(), file.Length(), true, text, error), 0u) << error;
  rules.Clear();  // shallow
  return text;
}

// The value's own text: kind, values, and a list's elements.
std::string Shape(const _MATCH_VALUE& v) {
  std::string s = std::to_string(v.Kind) + ":" + std::to_string(v.Value1);
  if (v.Kind == MATCH_LIST) {
    for (uint32_t i = 0; i < v.Value1; ++i) s += "," + std::to_string(MatchElements(v)[i]);
  } else {
    s += "/" + std::to_string(v.Value2);
  }
  return s;
}

std::vector<std::string> g_messages;
// Answers the modal forms in order; each returns the modal result. Past the end: Cancel.
std::deque<std::function<int(CForm*)>> g_answers;

bool FakeLookup(void*, const char* name, std::vector<uint32_t>& out) {
  if (std::string(name) == "many.test") {
    for (int i = 0; i < 150; ++i) out.push_back(Addr(10, 1, i / 256, i % 256));
    return true;
  }
  if (std::string(name) == "multi.test") {
    out = {Addr(10, 0, 0, 5), Addr(10, 0, 0, 1), Addr(10, 0, 0, 6)};
    return true;
  }
  if (std::string(name).find(".invalid") != std::string::npos) return false;
  out = {Addr(192, 168, 0, 5), Addr(10, 1, 1, 1)};  // this computer's name
  return true;
}

class AuditOptTest : public ::testing::Test {
 public:
  void SetUp() override {
    Application.Initialize();
    g_messages.clear();
    g_answers.clear();
    SetMessageBoxScript(
        [](void*, void*, const char* text, const char* caption, uint32_t) {
          g_messages.push_back(std::string(caption) + ":" + text);
          return kIdOk;
        },
        nullptr);
    SetModalScript(
        [](void*, CForm* f) {
          if (g_answers.empty()) return mrCancel;
          auto answer = g_answers.front();
          g_answers.pop_front();
          return answer(f);
        },
        nullptr);
    SetHostLookup(FakeLookup, nullptr);
    InitAuditRule(&rule);
    rule.AppPath = CopyHeapText("C:\\Apps\\Mail.exe");
  }
  void TearDown() override {
    ReleaseAuditRule(&rule);
    SetModalScript(nullptr, nullptr);
    SetMessageBoxScript(nullptr, nullptr);
    SetHostLookup(nullptr, nullptr);
    Application.Shutdown();
  }
  std::vector<std::string> Messages() { return std::exchange(g_messages, {}); }
  // Presses OK on `form`; true when it would close with mrOk.
  static bool Ok(CForm* form, CControl* ok) {
    form->SetModalResult(mrNone);
    ok->Click();
    return form->ModalResult() == mrOk;
  }
  _RKFW_AUDIT_RULE rule = {};
};

std::vector<std::string> Error(const char* text) { return {std::string("错误:") + text}; }

void TypeInto(CSpinEdit* spin, const char* text) { SetWindowTextA(spin->EditHandle(), text); }

// The next modal form is the address (or port) dialog: `fill` enters something, then OK.
void AddressOk(std::function<void(TFWInputAddrDlg*)> fill) {
  g_answers.push_back([fill](CForm* f) {
    auto* d = dynamic_cast<TFWInputAddrDlg*>(f);
    EXPECT_NE(d, nullptr) << f->ClassName();
    if (d == nullptr) return mrCancel;
    fill(d);
    return AuditOptTest::Ok(d, d->OkBitBtn) ? mrOk : mrCancel;
  });
}
void PortOk(std::function<void(TFWInputPortDlg*)> fill) {
  g_answers.push_back([fill](CForm* f) {
    auto* d = dynamic_cast<TFWInputPortDlg*>(f);
    EXPECT_NE(d, nullptr) << f->ClassName();
    if (d == nullptr) return mrCancel;
    fill(d);
    return AuditOptTest::Ok(d, d->OKBitBtn) ? mrOk : mrCancel;
  });
}
void Page(CPageControl* pages, CTabSheet* page) { pages->SetActivePage(page); }
}  // namespace

TEST_F(AuditOptTest, PortDialogRefusesInOrderLeavesTheValueAndWritesEachShape) {
  _MATCH_VALUE v = One(Port(80));
  const std::string kept = Shape(v);
  auto* d = new TFWInputPortDlg(&Application);
  d->EditPort(&v);
  EXPECT_EQ(d->PortPageControl->ActivePage(), d->SpecTabSheet);
  EXPECT_EQ(d->TCPSrcPortSpinEdit->Value(), 80);
  struct Step {
    std::function<void()> enter;
    const char* message;
  } steps[] = {
      {[&] { TypeInto(d->TCPSrcPortSpinEdit, "0"); }, "指定端口不能为零!"},
      {[&] {
         Page(d->PortPageControl, d->RangeTabSheet);
         TypeInto(d->StartPortEdit, "");
       },
       "端口号不能为零!"},
      {[&] {
         d->StartPortEdit->SetValue(2000);
         d->EndPortEdit->SetValue(1000);
       },
       "结束端口号大于起始端口号!"},
      {[&] { Page(d->PortPageControl, d->ListTabSheet); }, "端口列表不能为空!"},
  };
  for (const Step& step : steps) {
    step.enter();
    EXPECT_FALSE(Ok(d, d->OKBitBtn)) << step.message;
    EXPECT_EQ(Messages(), Error(step.message));
    EXPECT_EQ(Shape(v), kept);
  }
  // "+" adds each port once; one listed port is stored as that port.
  for (int port : {443, 443, 8080}) {
    g_answers.push_back([port](CForm* f) {
      auto* entry = static_cast<TFWPortEditForm*>(f);
      entry->PortSpinEdit->SetValue(port);
      entry->OKBitBtn->Click();
      return f->ModalResult();
    });
    d->TCPAddSrcPortBtn->Click();
  }
  ASSERT_EQ(d->TCPSrcPortListBox->Count(), 2);
  EXPECT_EQ(d->TCPSrcPortListBox->ItemText(1), "8080");
  ASSERT_TRUE(Ok(d, d->OKBitBtn));
  EXPECT_EQ(Shape(v), Shape(List({Port(443), Port(8080)})));
  d->TCPSrcPortListBox->SetItemIndex(1);
  d->TCPDelSrcPortBtn->Click();
  ASSERT_TRUE(Ok(d, d->OKBitBtn));
  EXPECT_EQ(Shape(v), Shape(One(Port(443))));
  // Equal ends are a range; the ends are stored in network byte order.
  Page(d->PortPageControl, d->RangeTabSheet);
  d->StartPortEdit->SetValue(1000);
  d->EndPortEdit->SetValue(1000);
  ASSERT_TRUE(Ok(d, d->OKBitBtn));
  EXPECT_EQ(Shape(v), Shape(Range(Port(1000), Port(1000))));
  Page(d->PortPageControl, d->AllTabSheet);
  ASSERT_TRUE(Ok(d, d->OKBitBtn));
  EXPECT_EQ(Shape(v), Shape(One(0)));
  FreeComponent(d);

  // Shown back: a range on its page, a list of one as one port, a longer list as a list.
  _MATCH_VALUE range = Range(Port(1000), Port(2000)), one = List({Port(53)}), two = List({Port(53), Port(65535)});
  d = new TFWInputPortDlg(&Application);
  d->EditPort(&range);
  EXPECT_EQ(d->PortPageControl->ActivePage(), d->RangeTabSheet);
  EXPECT_EQ(d->StartPortEdit->Value(), 1000);
  EXPECT_EQ(d->EndPortEdit->Value(), 2000);
  d->EditPort(&one);
  EXPECT_EQ(d->PortPageControl->ActivePage(), d->SpecTabSheet);
  EXPECT_EQ(d->TCPSrcPortSpinEdit->Value(), 53);
  d->EditPort(&two);
  EXPECT_EQ(d->PortPageControl->ActivePage(), d->ListTabSheet);
  EXPECT_EQ(d->TCPSrcPortListBox->ItemText(1), "65535");
  FreeComponent(d);
  ReleaseMatchValue(&one);
  ReleaseMatchValue(&two);
}

TEST_F(AuditOptTest, RemoteAddressDialogRefusesInOrderAndStoresRangesListsAndNames) {
  _MATCH_VALUE v = One(Addr(8, 8, 8, 8));
  const std::string kept = Shape(v);
  auto* d = new TFWInputAddrDlg(&Application);
  d->EditAddress(&v, false);
  EXPECT_EQ(d->AddrPageControl->VisibleTabs().size(), 5u);
  EXPECT_EQ(d->AddrPageControl->ActivePage(), d->SpecTabSheet);
  EXPECT_EQ(d->IPEdit->WindowText(), "8.8.8.8");
  auto maskFields = [&](int filled) {
    d->IPAddressCtrl->Clear();
    HWND field = GetWindow(d->IPAddressCtrl->Handle(), GW_CHILD);
    for (int i = 0; i < filled && field != nullptr; ++i, field = GetWindow(field, GW_HWNDNEXT))
      SetWindowTextA(field, "255");
  };
  struct Step {
    std::function<void()> enter;
    const char* message;
  } steps[] = {
      {[&] { d->IPEdit->SetText(""); }, "输入IP地址为空!"},
      {[&] { d->IPEdit->SetText("nowhere.invalid"); }, "非法IP地址或无效域名!"},
      {[&] { d->IPEdit->SetText("0.0.0.0"); }, "IP地址不能为0.0.0.0!"},
      {[&] { d->IPEdit->SetText("8.8.8"); }, "非法IP地址或无效域名!"},
      {[&] {
         Page(d->AddrPageControl, d->RangTabSheet);
         d->DownIPEdit->SetText("10.0.0.9");
       },
       "输入IP地址为空!"},
      {[&] { d->UpIPEdit->SetText("up.invalid"); }, "非法IP地址或无效域名!"},
      {[&] { d->UpIPEdit->SetText("10.0.0.1"); }, "启始地址大于结束地址!"},
      {[&] { Page(d->AddrPageControl, d->ListTabSheet); }, "IP地址列表为空"},
      {[&] { Page(d->AddrPageControl, d->MaskTabSheet); }, "输入IP地址为空!"},
      {[&] {
         d->MaskIPEdit->SetText("192.168.1.77");
         maskFields(3);
       },
       "输入掩码地址有错误!"},
      {[&] {
         d->MaskIPEdit->SetText("mask.invalid");
         maskFields(4);
       },
       "非法IP地址或无效域名!"},
      {[&] {
         d->MaskIPEdit->SetText("192.168.1.77");
         d->IPAddressCtrl->SetAddress(Addr(255, 0, 255, 0));
       },
       "输入掩码地址有错误!"},
  };
  for (const Step& step : steps) {
    step.enter();
    EXPECT_FALSE(Ok(d, d->OkBitBtn)) << step.message;
    EXPECT_EQ(Messages(), Error(step.message));
    EXPECT_EQ(Shape(v), kept);
  }
  // A subnet is stored as its range, which the dialog shows on the range page again.
  d->MaskIPEdit->SetText("192.168.1.77");
  d->IPAddressCtrl->SetAddress(Addr(255, 255, 255, 0));
  ASSERT_TRUE(Ok(d, d->OkBitBtn));
  EXPECT_EQ(Shape(v), Shape(Range(Addr(192, 168, 1, 0), Addr(192, 168, 1, 255))));
  d->EditAddress(&v, false);
  EXPECT_EQ(d->AddrPageControl->ActivePage(), d->RangTabSheet);
  EXPECT_EQ(d->DownIPEdit->WindowText(), "192.168.1.0");
  EXPECT_EQ(d->UpIPEdit->WindowText(), "192.168.1.255");
  // Equal ends are accepted.
  d->DownIPEdit->SetText("10.0.0.9");
  d->UpIPEdit->SetText("10.0.0.9");
  ASSERT_TRUE(Ok(d, d->OkBitBtn));
  EXPECT_EQ(Shape(v), Shape(Range(Addr(10, 0, 0, 9), Addr(10, 0, 0, 9))));
  // A name on the single page keeps its first address only.
  Page(d->AddrPageControl, d->SpecTabSheet);
  d->IPEdit->SetText("multi.test");
  ASSERT_TRUE(Ok(d, d->OkBitBtn));
  EXPECT_EQ(Shape(v), Shape(One(Addr(10, 0, 0, 5))));

  // Through "+": every address of a name, at most 100, each once.
  Page(d->AddrPageControl, d->ListTabSheet);
  for (const char* typed : {"10.0.0.1", "multi.test", "bad.invalid", "many.test"}) {
    std::string text = typed;
    g_answers.push_back([text](CForm* f) {
      auto* entry = static_cast<TFWIPEditForm*>(f);
      entry->IPEdit->SetText(text.c_str());
      entry->OKBitBtn->Click();
      return f->ModalResult();
    });
    d->AddIPBtn->Click();
  }
  EXPECT_EQ(Messages(), Error("输入IP地址错误或无效域名!"));
  ASSERT_EQ(d->IPListBox->Count(), 103);
  EXPECT_EQ(d->IPListBox->ItemText(1), "10.0.0.5");
  EXPECT_EQ(d->IPListBox->ItemText(102), "10.1.0.99");
  while (d->IPListBox->Count() > 2) {
    d->IPListBox->SetItemIndex(2);
    d->DelIPBtn->Click();
  }
  ASSERT_TRUE(Ok(d, d->OkBitBtn));
  EXPECT_EQ(Shape(v), Shape(List({Addr(10, 0, 0, 1), Addr(10, 0, 0, 5)})));
  d->EditAddress(&v, false);
  EXPECT_EQ(d->AddrPageControl->ActivePage(), d->ListTabSheet);
  // A list of one is stored as one address and reopens on the single page.
  d->IPListBox->SetItemIndex(0);
  d->DelIPBtn->Click();
  ASSERT_TRUE(Ok(d, d->OkBitBtn));
  EXPECT_EQ(Shape(v), Shape(One(Addr(10, 0, 0, 5))));
  d->EditAddress(&v, false);
  EXPECT_EQ(d->AddrPageControl->ActivePage(), d->SpecTabSheet);
  FreeComponent(d);
}

TEST_F(AuditOptTest, LocalAddressDialogOffersOnlyThisComputersAddresses) {
  _MATCH_VALUE v = List({Addr(192, 168, 0, 5), Addr(10, 1, 1, 1)});
  auto* d = new TFWInputAddrDlg(&Application);
  d->EditAddress(&v, true);
  EXPECT_EQ(d->AddrPageControl->VisibleTabs(), std::vector<CTabSheet*>{d->LocalAddrTabSheet});
  EXPECT_EQ(d->AddrPageControl->ActivePage(), d->LocalAddrTabSheet);
  EXPECT_TRUE(d->SpecLocalButton->Checked());
  ASSERT_EQ(d->SrcIPListBox->Count(), 2);
  EXPECT_EQ(d->SrcIPListBox->ItemText(0), "192.168.  0.  5");
  EXPECT_TRUE(d->SrcIPListBox->Enabled());
  // "Any local address" wins over what the list holds.
  d->AllLocalButton->Click();
  EXPECT_FALSE(d->SrcIPListBox->Enabled());
  EXPECT_FALSE(d->AddSrcIPBtn->Enabled());
  ASSERT_TRUE(Ok(d, d->OkBitBtn));
  EXPECT_EQ(Shape(v), Shape(One(0)));

  d->EditAddress(&v, true);
  EXPECT_TRUE(d->AllLocalButton->Checked());
  EXPECT_EQ(d->SrcIPListBox->Count(), 0);
  d->SpecLocalButton->Click();
  EXPECT_FALSE(Ok(d, d->OkBitBtn));
  EXPECT_EQ(Messages(), Error("本地地址未指定"));
  EXPECT_EQ(Shape(v), Shape(One(0)));
  // The picker offers the addresses this computer's name resolves to.
  g_answers.push_back([](CForm* f) {
    auto* picker = static_cast<TFWHostIPSelDlg*>(f);
    EXPECT_EQ(picker->HostIPListBox->Count(), 2);
    picker->HostIPListBox->SetSelected(1, true);
    picker->HostIPListBoxClick(picker->HostIPListBox);
    picker->OKBitBtn->Click();
    return f->ModalResult();
  });
  d->AddSrcIPBtn->Click();
  ASSERT_TRUE(Ok(d, d->OkBitBtn));
  EXPECT_EQ(Shape(v), Shape(One(Addr(10, 1, 1, 1))));
  d->EditAddress(&v, true);
  EXPECT_TRUE(d->SpecLocalButton->Checked());
  EXPECT_EQ(d->SrcIPListBox->ItemText(0), " 10.  1.  1.  1");
  FreeComponent(d);
}

TEST_F(AuditOptTest, SummariesOfAddressAndPortConditions) {
  SetComputerNameOverride("HOSTNAME");
  _MATCH_VALUE three = List({Addr(10, 0, 0, 1), Addr(10, 0, 0, 2), Addr(10, 0, 0, 3)});
  _MATCH_VALUE ports = List({Port(80), Port(443)});
  struct Row {
    _MATCH_VALUE value;
    const char* text;
  } addresses[] = {
      {One(0), "任何地址"},
      {One(Addr(192, 168, 1, 2)), "192.168.1.2"},
      {Range(Addr(10, 0, 0, 1), Addr(10, 0, 0, 9)), "从10.0.0.1到10.0.0.9"},
      {Range(0, Addr(10, 0, 0, 9)), "从HOSTNAME到10.0.0.9"},
      {three, "10.0.0.1,10.0.0.2,10.0.0.3"},
      {_MATCH_VALUE{7, 1, 2}, ""},
  },
    portRows[] = {
      {One(0), "任何端口"},
      {One(Port(65535)), "65535"},
      {Range(Port(1000), Port(2000)), "从1000到2000"},
      {ports, "80,443"},
      {_MATCH_VALUE{3, 1, 2}, ""},
  };
  for (const Row& row : addresses) EXPECT_EQ(TFWAuditRuleOptDlg::FormatAddressCondition(row.value), row.text);
  for (const Row& row : portRows) EXPECT_EQ(TFWAuditRuleOptDlg::FormatPortCondition(row.value), row.text);
  // A hundred resolved addresses run past one formatted value's 1024 bytes: all of them show.
  auto* elements = static_cast<uint32_t*>(PlatformAlloc(400));
  for (int i = 0; i < 100; ++i) elements[i] = Addr(192, 168, 100, 100 + i);
  _MATCH_VALUE hundred{MATCH_LIST, 100, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(elements))};
  std::string text = TFWAuditRuleOptDlg::FormatAddressCondition(hundred);
  EXPECT_EQ(text.size(), 100u * 15 + 99);
  EXPECT_EQ(text.substr(text.size() - 16), ",192.168.100.199");
  ReleaseMatchValue(&hundred);
  SetComputerNameOverride(nullptr);
  ReleaseMatchValue(&three);
  ReleaseMatchValue(&ports);
}

TEST_F(AuditOptTest, ANewRuleConfirmedUnchangedGainsOnlyTheConditionsBitAndCancelKeepsEveryByte) {
  const std::string before = Dump(rule);
  auto* dlg = new TFWAuditRuleOptDlg(&Application);
  dlg->SetAuditRule(&rule);
  EXPECT_EQ(dlg->MatchOpComboBox->ItemText(dlg->MatchOpComboBox->ItemIndex()), "许可");
  EXPECT_EQ(dlg->MissMatchOpComboBox->ItemText(dlg->MissMatchOpComboBox->ItemIndex()), "拦截");
  EXPECT_FALSE(dlg->AllCheckBox->Checked());
  EXPECT_TRUE(dlg->TCPButton->Checked());
  EXPECT_EQ(dlg->RemoteAddrLabel->Text(), "任何地址");
  ASSERT_TRUE(Ok(dlg, dlg->OkBitBtn));
  FreeComponent(dlg);
  EXPECT_EQ(rule.Access, 0x17u);
  EXPECT_FALSE(PermitLit(&rule) || NotifyLit(&rule) || BlockLit(&rule));
  rule.Access = 0x07;
  EXPECT_EQ(Dump(rule), before);

  // Every kind of edit, through the condition dialogs too, then Cancel.
  rule.Access = 0x27;
  rule.TcpRemoteAddr = List({Addr(1, 1, 1, 1), Addr(2, 2, 2, 2)});
  const std::string kept = Dump(rule);
  g_answers.push_back([](CForm* f) {
    auto* d = static_cast<TFWAuditRuleOptDlg*>(f);
    d->MatchOpComboBox->SetItemIndex(1);
    d->TCPProtoBox->Click();
    d->ConnectCheckBox->SetChecked(false);
    AddressOk([](TFWInputAddrDlg* a) { Page(a->AddrPageControl, a->AllTabSheet); });
    d->RemoteAddrBtn->Click();
    EXPECT_EQ(d->RemoteAddrLabel->Text(), "任何地址");
    d->AllCheckBox->Click();
    PortOk([](TFWInputPortDlg* p) {
      Page(p->PortPageControl, p->SpecTabSheet);
      p->TCPSrcPortSpinEdit->SetValue(25);
    });
    d->LocalPortBtn->Click();
    EXPECT_EQ(d->LocalPortLabel->Text(), "25");
    d->CancelBitBtn->Click();
    return f->ModalResult();
  });
  EXPECT_FALSE(EditAuditConditions(nullptr, &rule));
  EXPECT_TRUE(g_answers.empty());
  EXPECT_EQ(Dump(rule), kept);
  EXPECT_EQ(MatchElements(rule.TcpRemoteAddr)[1], Addr(2, 2, 2, 2)) << "the list is still the rule's own";
}

TEST_F(AuditOptTest, AnUncheckedProtocolKeepsItsStoredOperations) {
  auto* dlg = new TFWAuditRuleOptDlg(&Application);
  dlg->SetAuditRule(&rule);
  dlg->UDPProtoBox->Click();
  EXPECT_FALSE(dlg->BindCheckBox->Enabled());
  EXPECT_TRUE(dlg->ConnectCheckBox->Enabled());
  dlg->TCPRecvCheckBox->SetChecked(false);
  dlg->MissMatchOpComboBox->SetItemIndex(1);
  ASSERT_TRUE(Ok(dlg, dlg->OkBitBtn));
  FreeComponent(dlg);
  EXPECT_EQ(rule.Access, 0x13u);
  EXPECT_EQ(rule.UdpOps, 0x13u);
  EXPECT_EQ(rule.TcpOps, 0x0Eu);
  EXPECT_EQ(rule.MissAction, 2u);

  dlg = new TFWAuditRuleOptDlg(&Application);
  dlg->SetAuditRule(&rule);
  EXPECT_FALSE(dlg->UDPProtoBox->Checked());
  for (CCheckBox* box : {dlg->BindCheckBox, dlg->UDPSendCheckBox, dlg->UDPRecvCheckBox}) {
    EXPECT_FALSE(box->Enabled()) << box->Name();
    EXPECT_TRUE(box->Checked()) << box->Name();
  }
  EXPECT_FALSE(dlg->TCPRecvCheckBox->Checked());
  EXPECT_EQ(dlg->MissMatchOpComboBox->ItemText(dlg->MissMatchOpComboBox->ItemIndex()), "通知用户");
  FreeComponent(dlg);

  // A decision the dialog does not offer shows none, and OK asks for one.
  rule.MatchAction = 5;
  const std::string kept = Dump(rule);
  dlg = new TFWAuditRuleOptDlg(&Application);
  dlg->SetAuditRule(&rule);
  EXPECT_EQ(dlg->MatchOpComboBox->ItemIndex(), -1);
  EXPECT_FALSE(Ok(dlg, dlg->OkBitBtn));
  EXPECT_EQ(Messages(), Error("审核操作未选择!"));
  EXPECT_EQ(Dump(rule), kept);
  FreeComponent(dlg);
}

TEST_F(AuditOptTest, TheSharedSetReplacesEveryProtocolsConditionsAndReopensAsAny) {
  auto* dlg = new TFWAuditRuleOptDlg(&Application);
  dlg->SetAuditRule(&rule);
  // A TCP condition entered first is lost once the shared set is used.
  PortOk([](TFWInputPortDlg* p) {
    Page(p->PortPageControl, p->SpecTabSheet);
    p->TCPSrcPortSpinEdit->SetValue(25);
  });
  dlg->LocalPortBtn->Click();
  EXPECT_EQ(dlg->LocalPortLabel->Text(), "25");
  dlg->IPButton->Click();
  for (CControl* c : std::initializer_list<CControl*>{dlg->LocalPortBtn, dlg->LocalPortLabel, dlg->RemotePortBtn,
                                                      dlg->RemotePortLabel})
    EXPECT_FALSE(c->Visible()) << c->Name();
  dlg->AllCheckBox->Click();
  EXPECT_TRUE(dlg->RemotePortBtn->Visible());
  EXPECT_FALSE(dlg->TCPButton->Enabled());
  EXPECT_EQ(dlg->CurrentSet(), TFWAuditRuleOptDlg::kAllSet);
  AddressOk([](TFWInputAddrDlg* a) {
    EXPECT_FALSE(a->LocalMode());
    Page(a->AddrPageControl, a->RangTabSheet);
    a->DownIPEdit->SetText("10.0.0.1");
    a->UpIPEdit->SetText("10.0.0.9");
  });
  dlg->RemoteAddrBtn->Click();
  EXPECT_EQ(dlg->RemoteAddrLabel->Text(), "从10.0.0.1到10.0.0.9");
  EXPECT_EQ(dlg->RemoteAddrLabel->Hint(), "从10.0.0.1到10.0.0.9");
  PortOk([](TFWInputPortDlg* p) {
    Page(p->PortPageControl, p->RangeTabSheet);
    p->StartPortEdit->SetValue(1000);
    p->EndPortEdit->SetValue(2000);
  });
  dlg->RemotePortBtn->Click();
  EXPECT_EQ(dlg->RemotePortLabel->Text(), "从1000到2000");
  ASSERT_TRUE(Ok(dlg, dlg->OkBitBtn));
  FreeComponent(dlg);
  const std::string range = Shape(Range(Addr(10, 0, 0, 1), Addr(10, 0, 0, 9)));
  EXPECT_EQ(Shape(rule.TcpRemoteAddr), range);
  EXPECT_EQ(Shape(rule.UdpRemoteAddr), range);
  EXPECT_EQ(Shape(rule.IpRemoteAddr), range);
  EXPECT_EQ(Shape(rule.TcpRemotePort), Shape(Range(Port(1000), Port(2000))));
  EXPECT_EQ(Shape(rule.UdpRemotePort), Shape(Range(Port(1000), Port(2000))));
  EXPECT_EQ(Shape(rule.TcpLocalPort), Shape(One(0))) << "the TCP set was not used";

  // Reopened: per protocol again, the shared set empty, TCP showing what the rule holds.
  dlg = new TFWAuditRuleOptDlg(&Application);
  dlg->SetAuditRule(&rule);
  EXPECT_FALSE(dlg->AllCheckBox->Checked());
  EXPECT_EQ(dlg->RemoteAddrLabel->Text(), "从10.0.0.1到10.0.0.9");
  dlg->AllCheckBox->Click();
  EXPECT_EQ(dlg->RemoteAddrLabel->Text(), "任何地址");
  EXPECT_EQ(dlg->RemotePortLabel->Text(), "任何端口");
  FreeComponent(dlg);
}

TEST_F(AuditOptTest, EveryShapeReopenedAndConfirmedGivesTheSameBytes) {
  rule.Access = 0x37;
  rule.MatchAction = 2;
  rule.MissAction = 0;
  rule.TcpLocalAddr = List({Addr(192, 168, 0, 5), Addr(10, 1, 1, 1)});
  rule.TcpRemoteAddr = Range(Addr(10, 0, 0, 1), Addr(10, 0, 0, 9));
  rule.TcpLocalPort = One(Port(8080));
  rule.TcpRemotePort = List({Port(80), Port(443), Port(65535)});
  rule.UdpLocalAddr = One(Addr(192, 168, 0, 5));
  rule.UdpRemoteAddr = List({Addr(1, 2, 3, 4), Addr(5, 6, 7, 8), Addr(9, 10, 11, 12)});
  rule.UdpLocalPort = Range(Port(1000), Port(2000));
  rule.UdpRemotePort = One(Port(53));
  rule.IpRemoteAddr = One(Addr(8, 8, 4, 4));
  rule.IpLocalAddr = Range(Addr(192, 168, 0, 1), Addr(192, 168, 0, 9));  // only a file holds a local range
  const std::string before = Dump(rule);
  g_answers.push_back([](CForm* f) {
    auto* d = static_cast<TFWAuditRuleOptDlg*>(f);
    // Each condition dialog opened on what the rule holds and confirmed as shown.
    for (CRadioButton* protocol : {d->TCPButton, d->UDPButton, d->IPButton}) {
      protocol->Click();
      AddressOk([](TFWInputAddrDlg* a) { EXPECT_TRUE(a->LocalMode()); });
      d->LocalAddrBtn->Click();
      AddressOk([](TFWInputAddrDlg* a) { EXPECT_FALSE(a->LocalMode()); });
      d->RemoteAddrBtn->Click();
      if (protocol == d->IPButton) continue;
      PortOk([](TFWInputPortDlg*) {});
      d->LocalPortBtn->Click();
      PortOk([](TFWInputPortDlg*) {});
      d->RemotePortBtn->Click();
    }
    EXPECT_EQ(d->RemoteAddrLabel->Text(), "8.8.4.4");
    EXPECT_EQ(d->LocalAddrLabel->Text(), "从192.168.0.1到192.168.0.9");
    d->UDPButton->Click();
    EXPECT_EQ(d->RemoteAddrLabel->Text(), "1.2.3.4,5.6.7.8,9.10.11.12");
    EXPECT_EQ(d->LocalPortLabel->Text(), "从1000到2000");
    d->SetModalResult(mrNone);
    d->OkBitBtn->Click();
    return d->ModalResult();
  });
  ASSERT_TRUE(EditAuditConditions(nullptr, &rule));
  EXPECT_TRUE(g_answers.empty());
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Dump(rule), before);
}

namespace {
// Where Tab goes from the focused control, `count` times.
std::vector<std::string> TabWalk(CForm* form, int count) {
  std::vector<std::string> walk;
  for (int i = 0; i < count; ++i) {
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
    Application.ProcessMessages();
    CControl* c = form->FocusedControl();
    walk.push_back(c != nullptr ? c->Name() : "(none)");
  }
  return walk;
}
void Press(CForm* form, CControl* at, WPARAM key) {
  form->OnShow = [at, key](CComponent*) {
    at->SetFocus();
    PostMessageA(GetFocus(), WM_KEYDOWN, key, key == VK_ESCAPE ? 0x00010001 : 1);
  };
}
}  // namespace

TEST_F(AuditOptTest, TabWalksEachDialogEnterIsOkAndEscIsCancel) {
  SetModalScript(nullptr, nullptr);
  auto* dlg = new TFWAuditRuleOptDlg(&Application);
  dlg->SetAuditRule(&rule);
  dlg->Show();
  SetForegroundWindow(dlg->Handle());
  dlg->MatchOpComboBox->SetFocus();
  EXPECT_EQ(TabWalk(dlg, 22),
            (std::vector<std::string>{"MissMatchOpComboBox", "TCPProtoBox", "ConnectCheckBox", "AcceptCheckBox",
                                      "TCPSendCheckBox", "TCPRecvCheckBox", "UDPProtoBox", "BindCheckBox",
                                      "UDPSendCheckBox", "UDPRecvCheckBox", "IPProtoBox", "IPSendCheckBox",
                                      "IPRecvCheckBox", "AllCheckBox", "TCPButton", "LocalAddrBtn",
                                      "RemoteAddrBtn", "LocalPortBtn", "RemotePortBtn", "OkBitBtn",
                                      "CancelBitBtn", "MatchOpComboBox"}));
  dlg->Hide();
  // Esc cancels with the rule untouched; Enter confirms.
  Press(dlg, dlg->ConnectCheckBox, VK_ESCAPE);
  EXPECT_EQ(dlg->ShowModal(), mrCancel);
  EXPECT_EQ(rule.Access, 0x07u);
  Press(dlg, dlg->ConnectCheckBox, VK_RETURN);
  EXPECT_EQ(dlg->ShowModal(), mrOk);
  EXPECT_EQ(rule.Access, 0x17u);
  FreeComponent(dlg);

  _MATCH_VALUE v = One(Port(80));
  auto* port = new TFWInputPortDlg(&Application);
  port->EditPort(&v);
  port->Show();
  SetForegroundWindow(port->Handle());
  port->PortPageControl->SetFocus();
  EXPECT_EQ(TabWalk(port, 4),
            (std::vector<std::string>{"TCPSrcPortSpinEdit", "OKBitBtn", "CancelBitBtn", "PortPageControl"}));
  port->Hide();
  Press(port, port->TCPSrcPortSpinEdit, VK_ESCAPE);
  port->TCPSrcPortSpinEdit->SetValue(81);
  EXPECT_EQ(port->ShowModal(), mrCancel);
  EXPECT_EQ(Shape(v), Shape(One(Port(80))));
  Press(port, port->TCPSrcPortSpinEdit, VK_RETURN);
  EXPECT_EQ(port->ShowModal(), mrOk);
  EXPECT_EQ(Shape(v), Shape(One(Port(81))));
  FreeComponent(port);

  _MATCH_VALUE a = One(Addr(8, 8, 8, 8));
  auto* addr = new TFWInputAddrDlg(&Application);
  addr->EditAddress(&a, false);
  addr->Show();
  SetForegroundWindow(addr->Handle());
  addr->AddrPageControl->SetFocus();
  EXPECT_EQ(TabWalk(addr, 4), (std::vector<std::string>{"IPEdit", "OkBitBtn", "CancelBitBtn", "AddrPageControl"}));
  addr->Hide();
  // Enter on a bad entry keeps the dialog open; Esc then leaves the value alone.
  addr->IPEdit->SetText("bad.invalid");
  addr->OnShow = [addr](CComponent*) {
    addr->IPEdit->SetFocus();
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  };
  EXPECT_EQ(addr->ShowModal(), mrCancel);
  EXPECT_EQ(Messages(), Error("非法IP地址或无效域名!"));
  EXPECT_EQ(Shape(a), Shape(One(Addr(8, 8, 8, 8))));
  addr->IPEdit->SetText("9.9.9.9");
  Press(addr, addr->IPEdit, VK_RETURN);
  EXPECT_EQ(addr->ShowModal(), mrOk);
  EXPECT_EQ(Shape(a), Shape(One(Addr(9, 9, 9, 9))));
  FreeComponent(addr);
}

TEST_F(AuditOptTest, DescriptionsOfTheThreeDialogs) {
  auto* dlg = new TFWAuditRuleOptDlg(&Application);
  rule.TcpRemoteAddr = List({Addr(10, 0, 0, 1), Addr(10, 0, 0, 2), Addr(10, 0, 0, 3)});
  rule.TcpRemotePort = Range(Port(1000), Port(2000));
  rule.Access = 0x03;
  dlg->SetAuditRule(&rule);
  std::string all = DescribeControls(dlg);
  dlg->IPButton->Click();
  all += "-- IP\n" + DescribeControls(dlg->GroupBox4);
  FreeComponent(dlg);

  _MATCH_VALUE v = One(0);
  auto* addr = new TFWInputAddrDlg(&Application);
  addr->EditAddress(&v, false);
  all += "-- remote address\n" + DescribeControls(addr);
  for (CTabSheet* page : {addr->SpecTabSheet, addr->RangTabSheet, addr->ListTabSheet, addr->MaskTabSheet}) {
    Page(addr->AddrPageControl, page);
    all += "-- " + page->Text() + "\n" + DescribeControls(page);
  }
  addr->EditAddress(&v, true);
  all += "-- local address\n" + DescribeControls(addr->LocalAddrTabSheet);
  FreeComponent(addr);

  auto* port = new TFWInputPortDlg(&Application);
  port->EditPort(&v);
  all += "-- port\n" + DescribeControls(port);
  for (CTabSheet* page : {port->SpecTabSheet, port->RangeTabSheet, port->ListTabSheet}) {
    Page(port->PortPageControl, page);
    all += "-- " + page->Text() + "\n" + DescribeControls(page);
  }
  FreeComponent(port);
  EXPECT_TRUE(MatchesGolden(all, VARDEEN_GOLDEN "/auditoptdlg.txt"));
}
