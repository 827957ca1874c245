// The rule edit dialog under Wine, scripted through the modal and message box seams: the
// checks on OK with their messages in order, bad entries refused, the record each kind of
// entry gives, rules loaded back and stored again byte for byte (every rule of the shipped
// levels among them), the keyboard, and the dialog's description.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/array.h"
#include "platform/heap.h"
#include "platform/msgbox.h"
#include "rules/codec.h"
#include "rules/iprules.h"
#include "rules/rulefile.h"
#include "tests/win32/support/files.h"
#include "tests/win32/support/golden.h"
#include "tools/rkfwtool/ruletext.h"
#include "ui/addrentry/addrentry.h"
#include "ui/framework/application.h"
#include "ui/framework/describe.h"
#include "ui/tfwhostipseldlg/tfwhostipseldlg.h"
#include "ui/tfwicmptypeform/tfwicmptypeform.h"
#include "ui/tfwipedit/tfwipedit.h"
#include "ui/tfwportedit/tfwportedit.h"
#include "ui/tfwruleadddlg/tfwruleadddlg.h"

namespace {
uint32_t Addr(int a, int b, int c, int d) {
  return static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << 8 | static_cast<uint32_t>(c) << 16 |
         static_cast<uint32_t>(d) << 24;
}
uint32_t Port(int p) { return static_cast<uint32_t>(((p & 0xFF) << 8) | ((p >> 8) & 0xFF)); }

std::vector<std::string> g_messages;
std::function<void(CForm*)> g_picker;  // answers the pickers the dialog opens

class RuleDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application.Initialize();
    g_messages.clear();
    g_picker = nullptr;
    SetMessageBoxScript(
        [](void*, void*, const char* text, const char* caption, uint32_t) {
          g_messages.push_back(std::string(caption) + ":" + text);
          return kIdOk;
        },
        nullptr);
    SetModalScript(
        [](void*, CForm* f) {
          if (g_picker) g_picker(f);
          return f->ModalResult() != mrNone ? f->ModalResult() : mrCancel;
        },
        nullptr);
    dlg = new TFWNewRuleDlg(&Application);
  }
  void TearDown() override {
    if (dlg != nullptr && owned_) {
      ReleaseRule(dlg->Rule);
      PlatformFree(dlg->Rule);
    }
    SetModalScript(nullptr, nullptr);
    SetMessageBoxScript(nullptr, nullptr);
    SetHostLookup(nullptr, nullptr);
    Application.Shutdown();
  }
  // Presses OK; true when the dialog would close with mrOk.
  bool Ok() {
    dlg->SetModalResult(mrNone);
    dlg->OKBtn->Click();
    return dlg->ModalResult() == mrOk;
  }
  // Name and "send" filled in: the least that passes.
  void Minimal() {
    dlg->RuleEdit->SetText("r");
    dlg->SendCheckBox->SetChecked(true);
  }
  void Page(CTabSheet* page) {
    dlg->RulePageControl->SetActivePage(page);
    dlg->RulePageControlChange(dlg->RulePageControl);
  }
  void Choose(CComboBox* box, int index) {
    box->SetItemIndex(index);
    Fire(box->OnChange, box);
  }
  void Tick(CCheckBox* box, bool on) {
    if (box->Checked() != on) box->Click();
  }
  // The message boxes since the last call, then forgets them.
  std::vector<std::string> Messages() { return std::exchange(g_messages, {}); }

  TFWNewRuleDlg* dlg = nullptr;
  bool owned_ = true;  // the test owns dlg->Rule
};

std::vector<std::string> Error(const char* text) { return {std::string("错误:") + text}; }

// The rkfwtool text of one rule, for comparing records field by field.
std::string Dump(const _RKFW_RULE& rule) {
  _Array<_RKFW_RULE> rules;
  rules.Append(rule);
  _bytePtr body, file;
  EXPECT_EQ(BuildRuleFileBody(rules, body), 0u);
  EXPECT_EQ(BuildRuleFileBytes(body, file), 0u);
  std::string text, error;
  EXPECT_EQ(DumpRuleFileBytes(file.Data(), file.Length(), false, text, error), 0u) << error;
  rules.Clear();
  return text;
}

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
}  // namespace

TEST_F(RuleDlgTest, AnEmptyDialogAsksOnlyForTheNameAndPutsTheCaretThere) {
  dlg->Show();
  SetForegroundWindow(dlg->Handle());
  dlg->SendCheckBox->SetFocus();
  EXPECT_FALSE(Ok());
  EXPECT_EQ(Messages(), Error("规则名称未填!"));
  EXPECT_EQ(dlg->FocusedControl(), dlg->RuleEdit);
  EXPECT_EQ(dlg->Rule, nullptr);
  // A new rule: TCP, the system, any address and port, "通行".
  dlg->RuleEdit->SetText("r");
  EXPECT_FALSE(Ok());
  EXPECT_EQ(Messages(), Error("网络条件未选择!"));
  dlg->SendCheckBox->SetChecked(true);
  ASSERT_TRUE(Ok());
  ASSERT_NE(dlg->Rule, nullptr);
  EXPECT_EQ(dlg->Rule->Protocol, RULE_PROTO_TCP);
  EXPECT_EQ(dlg->Rule->Action, RULE_ACTION_PERMIT);
  EXPECT_EQ(dlg->Rule->Options, 0u);
  EXPECT_EQ(dlg->Rule->RemoteAddr.Value1, 0u);
  EXPECT_STREQ(dlg->Rule->Description, "");
}

TEST_F(RuleDlgTest, EachReadingFailsWithItsMessageAndTheDialogStaysOpen) {
  Minimal();
  std::vector<uint32_t> unused;
  struct Step {
    std::function<void()> enter;
    const char* message;
  } steps[] = {
      {[&] { Choose(dlg->IPStyleComboBox, -1); }, "未选择对方IP地址类型"},
      {[&] { Choose(dlg->IPStyleComboBox, 1); }, "对方IP地址未填"},
      {[&] { dlg->AddrEdit->SetText("nowhere.invalid"); }, "对方IP地址或域名无效"},
      {[&] {
         Choose(dlg->IPStyleComboBox, 2);
         dlg->AddrEdit->SetText("192.168.1.77");
         // Three of the four mask fields.
         HWND field = GetWindow(dlg->IPAddressCtrl->Handle(), GW_CHILD);
         for (int i = 0; i < 3 && field != nullptr; ++i, field = GetWindow(field, GW_HWNDNEXT))
           SetWindowTextA(field, "255");
       },
       "对方IP地址掩码错误"},
      {[&] { Choose(dlg->IPStyleComboBox, 3); }, "对方IP地址列表空"},
      {[&] {
         Choose(dlg->IPStyleComboBox, 4);
         dlg->AddrEdit->SetText("");
       },
       "对方IP起始地址未填"},
      {[&] { dlg->AddrEdit->SetText("10.0.0.9"); }, "对方IP结束地址未填"},
      {[&] {
         dlg->AddrEdit->SetText("a.invalid");
         dlg->IPMaskEdit->SetText("10.0.0.1");
       },
       "对方IP起始地址或域名无效"},
      {[&] {
         dlg->AddrEdit->SetText("10.0.0.9");
         dlg->IPMaskEdit->SetText("b.invalid");
       },
       "对方IP结束地址或域名无效"},
      {[&] { dlg->IPMaskEdit->SetText("10.0.0.1"); }, "对方IP起始地址大于结束地址"},
      {[&] {
         dlg->IPMaskEdit->SetText("10.0.0.9");
         Tick(dlg->SrcIPCheckBox, true);
       },
       "本地IP地址列表空"},
      {[&] {
         Tick(dlg->SrcIPCheckBox, false);
         Choose(dlg->TCPDstPortBox, -1);
       },
       "对方端口输入类型错误"},
      {[&] { Choose(dlg->TCPDstPortBox, 1); }, "指定对方端口不能为零"},
      {[&] {
         Choose(dlg->TCPDstPortBox, 2);
         dlg->TCPDstPort.SpinEdit->SetValue(81);
         dlg->TCPDstPort.EndSpinEdit->SetValue(80);
       },
       "指定对方起始端口大于结束端口"},
      {[&] {
         dlg->TCPDstPort.SpinEdit->SetValue(80);
         Choose(dlg->TCPSrcPortBox, 2);
       },
       "指定本地起始端口不能为零"},
      {[&] { dlg->TCPSrcPort.SpinEdit->SetValue(1024); }, "指定本地结束端口不能为零"},
      {[&] { Choose(dlg->TCPSrcPortBox, 3); }, "指定本地端口列表为空"},
      {[&] {
         Choose(dlg->TCPSrcPortBox, 0);
         dlg->SpecAppRadioButton->Click();
       },
       "指定应用程序未填"},
  };
  for (const Step& step : steps) {
    step.enter();
    EXPECT_FALSE(Ok()) << step.message;
    EXPECT_EQ(Messages(), Error(step.message));
    EXPECT_EQ(dlg->Rule, nullptr);
  }
  dlg->AppEdit->SetText("app.exe");
  ASSERT_TRUE(Ok()) << (g_messages.empty() ? "" : g_messages[0]);
  // Port range 80 to 80 is accepted, and stored in network byte order.
  EXPECT_EQ(dlg->Rule->RemotePort.Kind, MATCH_RANGE);
  EXPECT_EQ(dlg->Rule->RemotePort.Value2, Port(80));
  EXPECT_EQ(dlg->Rule->RemotePort.Value1, Port(80));
  EXPECT_EQ(dlg->Rule->RemoteAddr.Value2, Addr(10, 0, 0, 9));
}

TEST_F(RuleDlgTest, OperationsObjectAndActionGoIntoTheRecord) {
  Minimal();
  dlg->SendCheckBox->SetChecked(false);
  // UDP for an application: the third box means "acts as a server" (0x10).
  dlg->SpecAppRadioButton->Click();
  // The browse button keeps the file name without its folder.
  SetFileDialogScript(
      [](void*, CFileDialog* d) {
        EXPECT_EQ(d->Title, "选择应用程序");
        d->FileName = "C:\\Program Files\\邮件\\mail.exe";
        return true;
      },
      nullptr);
  dlg->AppOpenBtn->Click();
  SetFileDialogScript(nullptr, nullptr);
  EXPECT_EQ(dlg->AppEdit->WindowText(), "mail.exe");
  Page(dlg->UDP);
  EXPECT_EQ(dlg->ConnectCheckBox->Text(), "作为服务程序时");
  EXPECT_FALSE(dlg->AcceptCheckBox->Visible());
  dlg->ConnectCheckBox->SetChecked(true);
  ASSERT_TRUE(Ok());
  EXPECT_EQ(dlg->Rule->Conditions, static_cast<uint32_t>(RULE_COND_SERVICE));
  EXPECT_EQ(dlg->Rule->Options, static_cast<uint32_t>(RULE_OPT_APPLICATION));
  EXPECT_STREQ(dlg->Rule->Application, "mail.exe");
  // The same box on the TCP page means connect.
  Page(dlg->TCP);
  EXPECT_EQ(dlg->ConnectCheckBox->Text(), "连接时");
  ASSERT_TRUE(Ok());
  EXPECT_EQ(dlg->Rule->Conditions, static_cast<uint32_t>(RULE_COND_CONNECT));
  // A name longer than its field holds is refused, not cut to another program's.
  dlg->AppEdit->SetText("abcdefghijklmnopqrstuvwxyz0123456789.exe");
  EXPECT_FALSE(Ok());
  EXPECT_EQ(Messages(), Error("指定应用程序名称太长!"));

  // "通知用户" falls back to "通行" for the system; "忽略" survives both ways.
  dlg->CondComboBox->SetItemIndex(2);
  dlg->SysRadioButton->Click();
  EXPECT_EQ(dlg->CondComboBox->Count(), 3);
  EXPECT_EQ(dlg->CondComboBox->ItemText(dlg->CondComboBox->ItemIndex()), "通行");
  dlg->CondComboBox->SetItemIndex(2);
  dlg->AllAppRadioButton->Click();
  EXPECT_EQ(dlg->CondComboBox->ItemText(dlg->CondComboBox->ItemIndex()), "忽略(用于记录)");
  dlg->LogCheckBox->SetChecked(true);
  dlg->AlertCheckBox->SetChecked(true);
  ASSERT_TRUE(Ok());
  EXPECT_EQ(dlg->Rule->Action, RULE_ACTION_IGNORE);
  EXPECT_EQ(dlg->Rule->Options, static_cast<uint32_t>(RULE_OPT_APPLICATION | RULE_OPT_LOG | RULE_OPT_ALERT));
  EXPECT_EQ(dlg->Rule->Application[0], 0) << "all applications";

  // Choosing an application on the ICMP page hides ICMP and IGMP and shows UDP.
  dlg->SysRadioButton->Click();
  Page(dlg->ICMP);
  EXPECT_FALSE(dlg->ConnectCheckBox->Visible());
  dlg->SpecAppRadioButton->Click();
  EXPECT_EQ(dlg->RulePageControl->ActivePage(), dlg->UDP);
  EXPECT_FALSE(dlg->ICMP->TabVisible());
  EXPECT_FALSE(dlg->IGMP->TabVisible());
  EXPECT_TRUE(dlg->ConnectCheckBox->Visible());
}

TEST_F(RuleDlgTest, AddressesPortsAndIcmpEntriesGiveTheirMatchValues) {
  Minimal();
  // A subnet is stored as its range and comes back as "地址范围".
  Choose(dlg->IPStyleComboBox, 2);
  dlg->AddrEdit->SetText("192.168.1.77");
  dlg->IPAddressCtrl->SetAddress(Addr(255, 255, 255, 0));
  ASSERT_TRUE(Ok());
  EXPECT_EQ(dlg->Rule->RemoteAddr.Kind, MATCH_RANGE);
  EXPECT_EQ(dlg->Rule->RemoteAddr.Value2, Addr(192, 168, 1, 0));
  EXPECT_EQ(dlg->Rule->RemoteAddr.Value1, Addr(192, 168, 1, 255));
  dlg->ShowRemoteAddress(dlg->Rule->RemoteAddr);
  EXPECT_EQ(dlg->IPStyleComboBox->ItemIndex(), 4);
  EXPECT_EQ(dlg->AddrLabel->Text(), "起始IP");
  EXPECT_EQ(dlg->IPMaskEdit->WindowText(), "192.168.1.255");

  // A name in "指定地址" stores its first address; through "+" every address, once each.
  SetHostLookup(
      [](void*, const char* name, std::vector<uint32_t>& out) {
        if (std::string(name) != "multi.test") return false;
        out = {Addr(10, 0, 0, 1), Addr(10, 0, 0, 2), Addr(10, 0, 0, 1)};
        return true;
      },
      nullptr);
  Choose(dlg->IPStyleComboBox, 1);
  dlg->AddrEdit->SetText("multi.test");
  ASSERT_TRUE(Ok());
  EXPECT_EQ(dlg->Rule->RemoteAddr.Kind, MATCH_SINGLE);
  EXPECT_EQ(dlg->Rule->RemoteAddr.Value1, Addr(10, 0, 0, 1));
  Choose(dlg->IPStyleComboBox, 3);
  std::string typed;
  g_picker = [&typed](CForm* f) {
    auto* entry = static_cast<TFWIPEditForm*>(f);
    entry->IPEdit->SetText(typed.c_str());
    entry->OKBitBtn->Click();
  };
  for (const char* text : {"10.0.0.2", "multi.test", "bad.invalid"}) {
    typed = text;
    dlg->AddIPBtn->Click();
  }
  EXPECT_EQ(Messages(), Error("输入IP地址错误或无效域名!"));
  ASSERT_EQ(dlg->IPListBox->Count(), 2);
  EXPECT_EQ(dlg->IPListBox->ItemText(1), "10.0.0.1");

  // A local list of one address is stored as one value and shown back as a list of one.
  Tick(dlg->SrcIPCheckBox, true);
  AddListItem(dlg->SrcIPListBox, "127.0.0.1", Addr(127, 0, 0, 1));
  // Ports: a list in network byte order; "+" through the port entry.
  Choose(dlg->TCPDstPortBox, 3);
  g_picker = [](CForm* f) {
    auto* entry = static_cast<TFWPortEditForm*>(f);
    entry->PortSpinEdit->SetValue(443);
    entry->OKBitBtn->Click();
  };
  dlg->TCPDstPort.AddBtn->Click();
  dlg->TCPDstPort.AddBtn->Click();
  ASSERT_TRUE(Ok());
  EXPECT_EQ(dlg->Rule->RemoteAddr.Kind, MATCH_LIST);
  EXPECT_EQ(dlg->Rule->RemoteAddr.Value1, 2u);
  EXPECT_EQ(MatchElements(dlg->Rule->RemoteAddr)[1], Addr(10, 0, 0, 1));
  EXPECT_EQ(dlg->Rule->LocalAddr.Kind, MATCH_SINGLE);
  EXPECT_EQ(dlg->Rule->LocalAddr.Value1, Addr(127, 0, 0, 1));
  ASSERT_EQ(dlg->Rule->RemotePort.Value1, 1u) << "443 once";
  EXPECT_EQ(MatchElements(dlg->Rule->RemotePort)[0], Port(443));
  dlg->ShowLocalAddress(dlg->Rule->LocalAddr);
  EXPECT_TRUE(dlg->SrcIPCheckBox->Checked());
  EXPECT_EQ(dlg->SrcIPListBox->Count(), 1);

  // ICMP: an unticked "all" box with an empty list gives mask 0; code 0 can be added.
  Page(dlg->ICMP);
  Tick(dlg->AllTypeCheckBox, false);
  g_picker = [](CForm* f) {
    auto* entry = static_cast<TFWPortEditForm*>(f);
    EXPECT_EQ(entry->PortLabel->Text(), "ICMP代码:");
    entry->OKBitBtn->Click();
  };
  Tick(dlg->ICMPCodeCheckBox, false);
  dlg->AddICMPCodeBtn->Click();
  ASSERT_TRUE(Ok());
  EXPECT_EQ(dlg->Rule->Protocol, RULE_PROTO_ICMP);
  EXPECT_EQ(dlg->Rule->IcmpTypeMask, 0u);
  EXPECT_EQ(dlg->Rule->IcmpCodeMask, 1u);
  EXPECT_EQ(dlg->Rule->IpRemoteAddr.Kind, MATCH_LIST) << "IP and ICMP keep the remote address at 38";

  // IGMP stores no address whatever the groups show.
  Page(dlg->IGMP);
  ASSERT_TRUE(Ok());
  EXPECT_EQ(dlg->Rule->Protocol, RULE_PROTO_IGMP);
  EXPECT_EQ(dlg->Rule->LocalAddr.Kind, 0);
  EXPECT_EQ(dlg->Rule->LocalAddr.Value1, 0u);
  EXPECT_EQ(dlg->Rule->IpRemoteAddr.Value1, 0u);
}

TEST_F(RuleDlgTest, EditedRulesComeBackWithTheSameBytesAndANewId) {
  auto base = [](int protocol, uint32_t options, int action, uint32_t conditions) {
    _RKFW_RULE r;
    memset(&r, 0, sizeof r);
    r.Protocol = protocol;
    r.Options = options;
    r.Action = action;
    r.Conditions = conditions;
    r.RuleId = 0x1234;
    r.Name = CopyHeapText("名称");
    r.Description = CopyHeapText("第一行\r\n第二行");
    return r;
  };
  std::vector<_RKFW_RULE> shapes;
  _RKFW_RULE r = base(RULE_PROTO_IP, RULE_OPT_LOG, RULE_ACTION_BLOCK, RULE_COND_SEND | RULE_COND_RECEIVE);
  r.IpRemoteAddr = One(Addr(8, 8, 8, 8));
  r.LocalAddr = List({Addr(192, 168, 0, 1), Addr(192, 168, 0, 2)});
  shapes.push_back(r);
  r = base(RULE_PROTO_ICMP, RULE_OPT_ALERT, RULE_ACTION_IGNORE, RULE_COND_RECEIVE);
  r.IpRemoteAddr = Range(Addr(10, 0, 0, 0), Addr(10, 0, 0, 255));
  r.LocalAddr = One(Addr(127, 0, 0, 1));
  r.IcmpTypeMask = (1u << 0) | (1u << 8) | (1u << 6) | (1u << 30);  // 6 and 30 have no name
  r.IcmpCodeMask = (1u << 0) | (1u << 15);
  shapes.push_back(r);
  r = base(RULE_PROTO_TCP, RULE_OPT_APPLICATION, RULE_ACTION_NOTIFY, RULE_COND_CONNECT | RULE_COND_CONNECT_REQUEST);
  strcpy(r.Application, "browser.exe");
  r.RemoteAddr = List({Addr(1, 2, 3, 4)});
  r.RemotePort = List({Port(80), Port(443)});
  r.LocalPort = Range(Port(1024), Port(65535));
  shapes.push_back(r);
  r = base(RULE_PROTO_UDP, RULE_OPT_APPLICATION, RULE_ACTION_PERMIT, RULE_COND_SERVICE | RULE_COND_SEND);
  r.RemotePort = One(Port(53));
  shapes.push_back(r);
  r = base(RULE_PROTO_IGMP, 0, RULE_ACTION_BLOCK, RULE_COND_RECEIVE);
  shapes.push_back(r);
  r = base(RULE_PROTO_TCP, 0, RULE_ACTION_NOTIFY, RULE_COND_CONNECT);  // shown as "通行"
  shapes.push_back(r);

  for (_RKFW_RULE& shape : shapes) {
    std::string before = Dump(shape);
    auto* edit = new TFWNewRuleDlg(&Application);
    edit->EditRule(&shape);
    edit->SetModalResult(mrNone);
    edit->OKBtn->Click();
    ASSERT_EQ(edit->ModalResult(), mrOk) << before << (g_messages.empty() ? "" : g_messages.back());
    EXPECT_EQ(edit->Rule, &shape) << "edited in place";
    EXPECT_NE(shape.RuleId, 0x1234u) << "every OK stamps a new id";
    shape.RuleId = 0x1234;
    EXPECT_EQ(Dump(shape), before);
    FreeComponent(edit);
    ReleaseRule(&shape);
  }

  // A system rule with the action "通知用户" shows "通行"; Cancel leaves the record alone.
  r = base(RULE_PROTO_TCP, 0, RULE_ACTION_NOTIFY, RULE_COND_SEND);
  dlg->EditRule(&r);
  owned_ = false;
  EXPECT_EQ(dlg->CondComboBox->ItemText(dlg->CondComboBox->ItemIndex()), "通行");
  dlg->RuleEdit->SetText("changed");
  g_picker = nullptr;
  SetModalScript(
      [](void*, CForm* f) {
        static_cast<TFWNewRuleDlg*>(f)->CancelBtn->Click();
        return f->ModalResult();
      },
      nullptr);
  EXPECT_EQ(dlg->ShowModal(), mrCancel);
  EXPECT_STREQ(r.Name, "名称");
  EXPECT_EQ(r.RuleId, 0x1234u);
  ReleaseRule(&r);
}

TEST_F(RuleDlgTest, TabWalksTheDialogEnterIsOkAndEscIsCancel) {
  SetModalScript(nullptr, nullptr);
  dlg->Show();
  SetForegroundWindow(dlg->Handle());
  dlg->RuleEdit->SetFocus();
  std::vector<std::string> walk;
  for (int i = 0; i < 18; ++i) {
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
    Application.ProcessMessages();
    CControl* c = dlg->FocusedControl();
    walk.push_back(c != nullptr ? c->Name() : "(none)");
  }
  EXPECT_EQ(walk, (std::vector<std::string>{"RuleDescMemo", "SysRadioButton", "SendCheckBox", "RecvCheckBox",
                                            "ConnectCheckBox", "AcceptCheckBox", "CondComboBox", "LogCheckBox",
                                            "AlertCheckBox", "IPStyleComboBox", "SrcIPCheckBox",
                                            "RulePageControl", "TCPSrcPortBox", "TCPDstPortBox", "OKBtn",
                                            "CancelBtn", "RuleEdit", "RuleDescMemo"}));
  dlg->Hide();

  // Enter in the name field is OK; with nothing ticked the dialog stays open, then Esc.
  dlg->OnShow = [this](CComponent*) {
    dlg->RuleEdit->SetFocus();
    dlg->RuleEdit->SetText("r");
    PostMessageA(dlg->RuleEdit->Handle(), WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(dlg->RuleEdit->Handle(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  };
  EXPECT_EQ(dlg->ShowModal(), mrCancel);
  EXPECT_EQ(Messages(), Error("网络条件未选择!"));
  EXPECT_EQ(dlg->Rule, nullptr);
  dlg->SendCheckBox->SetChecked(true);
  dlg->OnShow = [this](CComponent*) {
    dlg->RuleEdit->SetFocus();
    PostMessageA(dlg->RuleEdit->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  };
  EXPECT_EQ(dlg->ShowModal(), mrOk);
  EXPECT_NE(dlg->Rule, nullptr);
}

TEST_F(RuleDlgTest, DescriptionOfTheDialogAndOfEachPage) {
  std::string all = DescribeControls(dlg);
  for (CTabSheet* page : {dlg->IP, dlg->UDP, dlg->ICMP, dlg->IGMP}) {
    Page(page);
    all += "-- " + page->Text() + "\n" + DescribeControls(dlg->GroupBox9) + DescribeControls(page);
  }
  dlg->SpecAppRadioButton->Click();
  Choose(dlg->UDPDstPortBox, 2);
  all += "-- application, UDP, remote port range\n" + DescribeControls(dlg->GroupBox9) + DescribeControls(dlg->GroupBox8);
  Choose(dlg->IPStyleComboBox, 2);
  all += "-- subnet\n" + DescribeControls(dlg->GroupBox3);
  Choose(dlg->IPStyleComboBox, 4);
  all += "-- address range\n" + DescribeControls(dlg->GroupBox3);
  EXPECT_TRUE(MatchesGolden(all, VARDEEN_GOLDEN "/ruleadddlg.txt"));
}

// Every rule of the shipped levels, and the shapes only a file can hold, opened and confirmed
// unchanged: the same bytes but the new id (the disabled bit, the system's UDP service
// condition, unused bytes and an application rule's ICMP or IGMP protocol included).
TEST_F(RuleDlgTest, OkWithoutAChangeKeepsEveryByteOfEveryRule) {
  std::vector<_RKFW_RULE> rules;
  for (const char* level : {"hsec.rul", "msec.rul", "lsec.rul", "csec.rul"}) {
    _Array<_RKFW_RULE> read;
    ASSERT_EQ(ReadRuleFile((TestProgramFolder() + level).c_str(), read), 0u) << level;
    for (const _RKFW_RULE& rule : read) rules.push_back(rule);
    read.Clear();  // the records, with their texts and lists, now belong to `rules`
  }
  ASSERT_GT(rules.size(), 12u);
  auto fileOnly = [](int protocol, uint32_t options, const char* app) {
    _RKFW_RULE r;
    memset(&r, 0, sizeof r);
    r.Protocol = protocol;
    r.Options = options;
    r.Conditions = RULE_COND_RECEIVE;
    r.Name = CopyHeapText("file");
    r.Description = CopyHeapText("");
    memcpy(r.Application, app, strnlen(app, RULE_APPLICATION_SIZE));
    return r;
  };
  _RKFW_RULE r = fileOnly(RULE_PROTO_ICMP, RULE_OPT_APPLICATION, "ping.exe");
  r.IcmpTypeMask = 1u << 8;
  r.IcmpCodeMask = 0xFFFFFFFF;
  rules.push_back(r);
  rules.push_back(fileOnly(RULE_PROTO_IGMP, RULE_OPT_APPLICATION | RULE_OPT_LOG, ""));
  r = fileOnly(RULE_PROTO_TCP, RULE_OPT_APPLICATION, "abcdefghijklmnopqrstuvwxyz012345");  // 32 bytes, no zero
  r.LocalAddr = Range(Addr(192, 168, 0, 1), Addr(192, 168, 0, 99));
  r.Reserved3 = 0x5A5A5A5A;
  rules.push_back(r);
  r = fileOnly(RULE_PROTO_IP, 0, "");
  memset(reinterpret_cast<uint8_t*>(&r) + 47, 0x77, 18);  // bytes IP does not use
  r.Application[5] = 'x';                                 // behind the empty name of the system
  r.Conditions |= RULE_COND_CONNECT;                      // no box for it on the IP page
  rules.push_back(r);

  for (size_t i = 0; i < rules.size(); ++i) {
    _RKFW_RULE& rule = rules[i];
    if (i % 2 == 1) rule.Options |= RULE_OPT_DISABLED;
    const uint32_t id = rule.RuleId;
    std::string before = Dump(rule);
    auto* edit = new TFWNewRuleDlg(&Application);
    edit->EditRule(&rule);
    edit->SetModalResult(mrNone);
    edit->OKBtn->Click();
    EXPECT_EQ(edit->ModalResult(), mrOk) << before << (g_messages.empty() ? "" : g_messages.back());
    g_messages.clear();
    FreeComponent(edit);
    rule.RuleId = id;
    EXPECT_EQ(Dump(rule), before);
    ReleaseRule(&rule);
  }
}

// What is typed is stored exactly or refused, naming the field and putting the caret there,
// before anything is stored; none of these texts reaches the name look-up.
TEST_F(RuleDlgTest, BadEntriesAreRefusedWithTheirFieldFocused) {
  static int lookups;
  lookups = 0;
  SetHostLookup(
      [](void*, const char*, std::vector<uint32_t>& out) {
        ++lookups;
        out = {Addr(1, 2, 3, 4)};  // a resolver that answers every name
        return true;
      },
      nullptr);
  dlg->Show();
  SetForegroundWindow(dlg->Handle());
  auto typed = [](CSpinEdit* spin, const char* text) { SetWindowTextA(spin->EditHandle(), text); };
  auto mask = [this](int a, int b, int c, int d) { dlg->IPAddressCtrl->SetAddress(Addr(a, b, c, d)); };
  struct Row {
    std::function<void()> enter;
    const char* message;
    std::function<CControl*()> field;
  } rows[] = {
      {[&] { Choose(dlg->IPStyleComboBox, 1), dlg->AddrEdit->SetText("192.168.1.300"); }, "对方IP地址或域名无效",
       [&] { return dlg->AddrEdit; }},
      {[&] { dlg->AddrEdit->SetText("10.0.0"); }, "对方IP地址或域名无效", [&] { return dlg->AddrEdit; }},
      {[&] { dlg->AddrEdit->SetText(" 0.0.0.0"); }, "对方IP地址不能为0.0.0.0", [&] { return dlg->AddrEdit; }},
      {[&] { Choose(dlg->IPStyleComboBox, 2), dlg->AddrEdit->SetText("10.1.2.3"), mask(255, 0, 255, 0); },
       "对方IP地址掩码错误", [&] { return dlg->IPAddressCtrl; }},
      {[&] { mask(0, 255, 255, 255); }, "对方IP地址掩码错误", [&] { return dlg->IPAddressCtrl; }},
      {[&] { Choose(dlg->IPStyleComboBox, 4), dlg->AddrEdit->SetText("10.0.0.1 "), dlg->IPMaskEdit->SetText("10.0.0.256"); },
       "对方IP结束地址或域名无效", [&] { return dlg->IPMaskEdit; }},
      {[&] { Choose(dlg->IPStyleComboBox, 0), Choose(dlg->TCPDstPortBox, 1), typed(dlg->TCPDstPort.SpinEdit, "70000"); },
       "指定对方端口超出范围(1-65535)", [&] { return dlg->TCPDstPort.SpinEdit; }},
      {[&] { typed(dlg->TCPDstPort.SpinEdit, "80x"); }, "指定对方端口超出范围(1-65535)",
       [&] { return dlg->TCPDstPort.SpinEdit; }},
      {[&] {
         typed(dlg->TCPDstPort.SpinEdit, "80");
         Choose(dlg->TCPSrcPortBox, 2);
         typed(dlg->TCPSrcPort.SpinEdit, "1000");
         typed(dlg->TCPSrcPort.EndSpinEdit, "99999");
       },
       "指定本地端口超出范围(1-65535)", [&] { return dlg->TCPSrcPort.EndSpinEdit; }},
      {[&] {
         typed(dlg->TCPSrcPort.EndSpinEdit, "2000");
         dlg->SpecAppRadioButton->Click();
         dlg->AppEdit->SetText("a-program-name-of-32-bytes-0.exe");
       },
       "指定应用程序名称太长!", [&] { return dlg->AppEdit; }},
  };
  Minimal();
  for (const Row& row : rows) {
    row.enter();
    EXPECT_FALSE(Ok()) << row.message;
    EXPECT_EQ(Messages(), Error(row.message));
    EXPECT_EQ(dlg->FocusedControl(), row.field()) << row.message;
    EXPECT_EQ(dlg->Rule, nullptr);
  }
  EXPECT_EQ(lookups, 0);

  // Numbers out of range in the pickers are refused there; nothing is listed.
  Page(dlg->ICMP);
  Tick(dlg->ICMPCodeCheckBox, false);
  Choose(dlg->TCPSrcPortBox, 3);
  const char* entered = nullptr;
  g_picker = [&entered](CForm* f) {
    auto* entry = static_cast<TFWPortEditForm*>(f);
    SetWindowTextA(entry->PortSpinEdit->EditHandle(), entered);
    entry->OKBitBtn->Click();
  };
  entered = "16";
  dlg->AddICMPCodeBtn->Click();
  EXPECT_EQ(Messages(), Error("ICMP代码超出范围(0-15)!"));
  EXPECT_EQ(dlg->ICMPCodeListBox->Count(), 0);
  entered = "70000";
  dlg->TCPSrcPort.AddBtn->Click();
  EXPECT_EQ(Messages(), Error("端口号超出范围(1-65535)!"));
  EXPECT_EQ(dlg->TCPSrcPort.ListBox->Count(), 0);

  // Blanks around an address are no part of it.
  dlg->AppEdit->SetText("mail.exe");
  Page(dlg->TCP);
  Choose(dlg->TCPSrcPortBox, 0);
  Choose(dlg->IPStyleComboBox, 1);
  dlg->AddrEdit->SetText(" 10.0.0.1\t");
  ASSERT_TRUE(Ok()) << (g_messages.empty() ? "" : g_messages[0]);
  EXPECT_EQ(dlg->Rule->RemoteAddr.Value1, Addr(10, 0, 0, 1));
  EXPECT_EQ(lookups, 0);
}

// A name is looked up on a worker thread: the window thread's timers keep firing meanwhile (the
// console's poll among them), here releasing the resolver itself; Esc gives up on one that
// does not answer, refused like a name that does not resolve.
namespace {
HANDLE answer;               // set: the slow resolver answers
HWND escTarget = nullptr;  // else: Esc is pressed there instead
int ticks;
void CALLBACK PollTick(HWND, UINT, UINT_PTR, DWORD) {
  if (++ticks != 3) return;
  if (escTarget != nullptr) PostMessageA(escTarget, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  else SetEvent(answer);
}
}  // namespace

TEST_F(RuleDlgTest, ALookUpKeepsTheWindowThreadAnsweringAndEscGivesUp) {
  answer = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ticks = 0;
  SetHostLookup(
      [](void*, const char*, std::vector<uint32_t>& out) {
        if (WaitForSingleObject(answer, 20000) != WAIT_OBJECT_0) return false;
        out = {Addr(10, 9, 8, 7)};
        return true;
      },
      nullptr);
  UINT_PTR poll = SetTimer(nullptr, 0, 200, PollTick);
  Minimal();
  Choose(dlg->IPStyleComboBox, 1);
  dlg->AddrEdit->SetText("slow.test");
  ASSERT_TRUE(Ok()) << (g_messages.empty() ? "" : g_messages[0]);
  EXPECT_EQ(dlg->Rule->RemoteAddr.Value1, Addr(10, 9, 8, 7));
  EXPECT_GE(ticks, 3);

  ResetEvent(answer);
  ticks = 0;
  escTarget = dlg->AddrEdit->Handle();
  const uint32_t id = dlg->Rule->RuleId;
  EXPECT_FALSE(Ok());
  EXPECT_GE(ticks, 3);
  escTarget = nullptr;
  EXPECT_EQ(Messages(), Error("对方IP地址或域名无效"));
  EXPECT_EQ(dlg->Rule->RuleId, id) << "nothing stored";
  KillTimer(nullptr, poll);
  SetEvent(answer);  // the abandoned look-up ends on its own
}

// Each "-" takes out the selected item of its list and nothing without a selection; the local
// "+" adds what the picker chose (in place of a range from a file), the ICMP type "+" the type
// of the item picked.
TEST_F(RuleDlgTest, ListButtonsAddAndDeleteWhatTheyShow) {
  Tick(dlg->SrcIPCheckBox, true);
  Tick(dlg->AllTypeCheckBox, false);
  Tick(dlg->ICMPCodeCheckBox, false);
  struct Row {
    CListBox* list;
    CGlyphButton* del;
  } rows[] = {{dlg->IPListBox, dlg->DelIPBtn},
              {dlg->SrcIPListBox, dlg->DelSrcIPBtn},
              {dlg->TCPSrcPort.ListBox, dlg->TCPSrcPort.DelBtn},
              {dlg->TCPDstPort.ListBox, dlg->TCPDstPort.DelBtn},
              {dlg->UDPSrcPort.ListBox, dlg->UDPSrcPort.DelBtn},
              {dlg->UDPDstPort.ListBox, dlg->UDPDstPort.DelBtn},
              {dlg->ICMPTypeListBox, dlg->DelICMPTypeBtn},
              {dlg->ICMPCodeListBox, dlg->DelICMPCodeBtn}};
  for (const Row& row : rows) {
    for (uint32_t v : {1u, 2u, 3u}) AddListItem(row.list, std::to_string(v).c_str(), v);
    row.del->Click();
    EXPECT_EQ(row.list->Count(), 3) << row.del->Name() << ": nothing selected";
    row.list->SetItemIndex(1);
    row.del->Click();
    ASSERT_EQ(row.list->Count(), 2) << row.del->Name();
    EXPECT_EQ(row.list->ItemValue(0) + row.list->ItemValue(1), 4u) << row.del->Name() << " took the wrong item";
    row.list->Clear();
  }

  SetHostLookup(
      [](void*, const char*, std::vector<uint32_t>& out) {
        out = {Addr(192, 168, 0, 5), Addr(10, 1, 1, 1)};
        return true;
      },
      nullptr);
  _MATCH_VALUE range = Range(Addr(192, 168, 0, 1), Addr(192, 168, 0, 9));
  dlg->ShowLocalAddress(range);
  ASSERT_EQ(dlg->SrcIPListBox->Count(), 1);
  EXPECT_EQ(dlg->SrcIPListBox->ItemText(0), "192.168.0.1 - 192.168.0.9");
  g_picker = [](CForm* f) {
    if (auto* hosts = dynamic_cast<TFWHostIPSelDlg*>(f)) {
      hosts->HostIPListBox->SetSelected(1, true);
      hosts->HostIPListBoxClick(hosts->HostIPListBox);
      hosts->OKBitBtn->Click();
    } else if (auto* types = dynamic_cast<TFWICMPTypeForm*>(f)) {
      types->ICMPTypeComboBox->SetItemIndex(4);
      types->OKBitBtn->Click();
    }
  };
  dlg->AddSrcIPBtn->Click();
  ASSERT_EQ(dlg->SrcIPListBox->Count(), 1) << "the picked address takes the range's place";
  EXPECT_EQ(dlg->SrcIPListBox->ItemValue(0), Addr(10, 1, 1, 1));
  dlg->AddICMPTypeBtn->Click();
  ASSERT_EQ(dlg->ICMPTypeListBox->Count(), 1);
  EXPECT_EQ(dlg->ICMPTypeListBox->ItemValue(0), 8u);
  EXPECT_EQ(dlg->ICMPTypeListBox->ItemText(0), "请求回显(Ping 请求)");
  Minimal();
  Page(dlg->ICMP);
  ASSERT_TRUE(Ok()) << (g_messages.empty() ? "" : g_messages[0]);
  EXPECT_EQ(dlg->Rule->LocalAddr.Kind, MATCH_SINGLE);
  EXPECT_EQ(dlg->Rule->LocalAddr.Value1, Addr(10, 1, 1, 1));
  EXPECT_EQ(dlg->Rule->IcmpTypeMask, 1u << 8);
}
