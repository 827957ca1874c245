// The address and port entry helpers and the four small pickers under Wine: parsing and
// resolving addresses (only "localhost" and names under ".invalid" reach the resolver), the
// OK button rules, what each picker hands back, their keys and their descriptions.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/win32/support/golden.h"
#include "ui/addrentry/addrentry.h"
#include "ui/framework/application.h"
#include "ui/framework/describe.h"
#include "ui/tfwhostipseldlg/tfwhostipseldlg.h"
#include "ui/tfwicmptypeform/tfwicmptypeform.h"
#include "ui/tfwipedit/tfwipedit.h"
#include "ui/tfwportedit/tfwportedit.h"

namespace {
uint32_t Addr(int a, int b, int c, int d) {
  return static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << 8 | static_cast<uint32_t>(c) << 16 |
         static_cast<uint32_t>(d) << 24;
}

// Host names the fake resolver knows: "many.test" has 150 addresses, the local name two.
bool FakeLookup(void*, const char* name, std::vector<uint32_t>& out) {
  if (std::string(name) == "many.test") {
    for (int i = 0; i < 150; ++i) out.push_back(Addr(10, 0, i / 256, i % 256));
    return true;
  }
  out = {Addr(192, 168, 0, 5), Addr(10, 1, 1, 1)};
  return true;
}

class PickersTest : public ::testing::Test {
 protected:
  void SetUp() override { Application.Initialize(); }
  void TearDown() override {
    SetModalScript(nullptr, nullptr);
    SetHostLookup(nullptr, nullptr);
    Application.Shutdown();
  }
};
}  // namespace

TEST_F(PickersTest, DottedTextAndHostNamesResolveAndListsSkipKnownValues) {
  struct Row {
    const char* text;
    bool ok;
    uint32_t address;
  } rows[] = {{"192.168.1.77", true, Addr(192, 168, 1, 77)},
              {"255.255.255.255", true, 0xFFFFFFFF},
              {"0.0.0.0", true, 0},
              {"1.2.3", false, 0},
              {"256.1.1.1", false, 0},
              {"1.2.3.4 ", false, 0},
              {"1..2.3", false, 0},
              {"", false, 0}};
  for (const Row& row : rows) {
    uint32_t address = 1;
    EXPECT_EQ(ParseDottedAddress(row.text, &address), row.ok) << row.text;
    if (row.ok) EXPECT_EQ(address, row.address) << row.text;
  }
  EXPECT_EQ(DottedAddress(Addr(10, 0, 0, 254)), "10.0.0.254");

  uint32_t address = 0;
  ASSERT_TRUE(ResolveOne("localhost", &address));
  EXPECT_EQ(address, Addr(127, 0, 0, 1));
  std::vector<uint32_t> all;
  EXPECT_EQ(ResolveAll("no-such-host.invalid", all), 0u);
  EXPECT_TRUE(all.empty());
  EXPECT_FALSE(ResolveOne("", &address));

  SetHostLookup(FakeLookup, nullptr);
  EXPECT_EQ(ResolveAll("many.test", all), 100u) << "at most 100 addresses";
  ASSERT_TRUE(ResolveOne("many.test", &address));
  EXPECT_EQ(address, Addr(10, 0, 0, 0)) << "the first";

  auto* form = new CForm(&Application, "F");
  CListBox* list = NewControl<CListBox>(form, form, "L", 0, 0, 50, 50);
  EXPECT_EQ(AddListItem(list, "a", 5), 0);
  EXPECT_EQ(AddListItem(list, "b", 6), 1);
  EXPECT_EQ(AddListItem(list, "again", 5), -1);
  EXPECT_EQ(list->Count(), 2);
}

TEST_F(PickersTest, OkFollowsTheEntryAndEachPickerHandsBackTheChoice) {
  auto* ip = new TFWIPEditForm(&Application);
  ip->EnsureCreated();
  EXPECT_FALSE(ip->OKBitBtn->Enabled());
  ip->IPEdit->SetText("host.example");  // any text: checking it is the caller's job
  EXPECT_TRUE(ip->OKBitBtn->Enabled());
  ip->IPEdit->SetText("");
  EXPECT_FALSE(ip->OKBitBtn->Enabled());

  auto* port = new TFWPortEditForm(&Application);
  port->EnsureCreated();
  EXPECT_FALSE(port->OKBitBtn->Enabled());
  port->PortSpinEdit->SetValue(80);
  EXPECT_TRUE(port->OKBitBtn->Enabled());
  port->PortSpinEdit->SetValue(0);
  EXPECT_FALSE(port->OKBitBtn->Enabled()) << "a port cannot be 0";

  auto* code = new TFWPortEditForm(&Application);
  code->EnsureCreated();
  code->SetIcmpCodeMode();
  EXPECT_TRUE(code->OKBitBtn->Enabled()) << "code 0 is valid";
  code->PortSpinEdit->SetValue(99);
  EXPECT_EQ(code->PortSpinEdit->Value(), 15);
  EXPECT_EQ(code->Text(), "输入ICMP代码");

  // The one-call forms, answered through the modal seam.
  static int step;
  step = 0;
  SetModalScript(
      [](void*, CForm* f) {
        ++step;
        if (auto* p = dynamic_cast<TFWPortEditForm*>(f)) {
          p->PortSpinEdit->SetValue(step == 1 ? 8080 : 0);
          p->OKBitBtn->Click();
        } else if (auto* t = dynamic_cast<TFWICMPTypeForm*>(f)) {
          EXPECT_EQ(t->ICMPTypeComboBox->ItemIndex(), 0) << "echo reply chosen at first";
          EXPECT_EQ(t->ICMPTypeComboBox->Count(), 15);
          t->ICMPTypeComboBox->SetItemIndex(4);
          t->OKBitBtn->Click();
        } else if (auto* a = dynamic_cast<TFWIPEditForm*>(f)) {
          a->IPEdit->SetText("localhost");
          a->OKBitBtn->Click();
        }
        return f->ModalResult();
      },
      nullptr);
  int value = -1;
  EXPECT_TRUE(InputPort(&Application, &value));
  EXPECT_EQ(value, 8080);
  EXPECT_TRUE(InputIcmpCode(&Application, &value));
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(PickIcmpType(&Application, &value));
  EXPECT_EQ(value, 8) << "item 4 is echo request, type 8";
  std::string text;
  EXPECT_TRUE(InputAddressText(&Application, &text));
  EXPECT_EQ(text, "localhost");
  EXPECT_STREQ(IcmpTypeName(18), "地址掩码应答");
  EXPECT_EQ(IcmpTypeName(6), nullptr);
}

TEST_F(PickersTest, TheLocalAddressPickerListsTheHostsAddressesAndTakesSeveral) {
  SetHostLookup([](void*, const char*, std::vector<uint32_t>&) { return false; }, nullptr);
  auto* none = new TFWHostIPSelDlg(&Application);
  none->EnsureCreated();
  EXPECT_EQ(none->HostIPListBox->Count(), 0) << "a host name that does not resolve";
  EXPECT_FALSE(none->OKBitBtn->Enabled());

  SetHostLookup(FakeLookup, nullptr);
  SetModalScript(
      [](void*, CForm* f) {
        auto* d = static_cast<TFWHostIPSelDlg*>(f);
        EXPECT_EQ(d->HostIPListBox->Count(), 2);
        EXPECT_EQ(d->HostIPListBox->ItemText(0), "192.168.0.5");
        EXPECT_FALSE(d->OKBitBtn->Enabled());
        d->HostIPListBox->SetSelected(0, true);
        d->HostIPListBox->SetSelected(1, true);
        d->HostIPListBoxClick(d->HostIPListBox);
        EXPECT_TRUE(d->OKBitBtn->Enabled());
        d->OKBitBtn->Click();
        return f->ModalResult();
      },
      nullptr);
  std::vector<CPickedAddress> picked;
  ASSERT_TRUE(PickLocalAddresses(&Application, &picked));
  ASSERT_EQ(picked.size(), 2u);
  EXPECT_EQ(picked[1].text, "10.1.1.1");
  EXPECT_EQ(picked[1].address, Addr(10, 1, 1, 1));
}

TEST_F(PickersTest, EnterConfirmsAndEscCancelsEachPicker) {
  auto* ip = new TFWIPEditForm(&Application);
  ip->OnShow = [ip](CComponent*) {
    ip->IPEdit->SetFocus();
    ip->IPEdit->SetText("10.0.0.1");
    PostMessageA(ip->IPEdit->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  };
  EXPECT_EQ(ip->ShowModal(), mrOk);
  auto* port = new TFWPortEditForm(&Application);
  port->OnShow = [port](CComponent*) {
    port->PortSpinEdit->SetFocus();
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);  // OK is still disabled: nothing
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  };
  EXPECT_EQ(port->ShowModal(), mrCancel);
  auto* type = new TFWICMPTypeForm(&Application);
  type->OnShow = [type](CComponent*) {
    type->ICMPTypeComboBox->SetFocus();
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
  };
  EXPECT_EQ(type->ShowModal(), mrOk);
}

TEST_F(PickersTest, DescriptionsOfTheFourPickers) {
  SetHostLookup(FakeLookup, nullptr);
  std::string all;
  auto* ip = new TFWIPEditForm(&Application);
  auto* port = new TFWPortEditForm(&Application);
  auto* code = new TFWPortEditForm(&Application);
  auto* host = new TFWHostIPSelDlg(&Application);
  auto* type = new TFWICMPTypeForm(&Application);
  code->SetIcmpCodeMode();
  for (CForm* f : std::initializer_list<CForm*>{ip, port, code, host, type}) {
    f->EnsureCreated();
    all += DescribeControls(f);
  }
  EXPECT_TRUE(MatchesGolden(all, VARDEEN_GOLDEN "/pickers.txt"));
}
