// The widget layer's controls together in one form, driven by posted keys and clicks under
// Wine: the dialog keys, radio groups, list values, tabs that hide, a tree updated in place,
// the IP address control, and the form's description.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/win32/support/golden.h"
#include "tests/win32/ui/gallery.h"
#include "ui/framework/application.h"
#include "ui/framework/describe.h"
#include "ui/framework/windowquery.h"

namespace {
class GalleryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application.Initialize();
    form = new CGalleryForm(&Application);
    form->EnsureCreated();
  }
  void TearDown() override {
    SetModalScript(nullptr, nullptr);
    Application.Shutdown();
  }
  void ShowAndFocus(CControl* control) {
    form->Show();
    SetForegroundWindow(form->Handle());
    control->SetFocus();
    Application.ProcessMessages();
  }
  // A key pressed where the keyboard is, through the application's loop.
  void Press(UINT key) {
    HWND focus = GetFocus();
    PostMessageA(focus != nullptr ? focus : form->Handle(), WM_KEYDOWN, key, 1);
    PostMessageA(focus != nullptr ? focus : form->Handle(), WM_KEYUP, key, 0xC0000001);
    Application.ProcessMessages();
  }
  std::string FocusedName() {
    CControl* c = form->FocusedControl();
    return c != nullptr ? c->Name() : "(none)";
  }
  CGalleryForm* form = nullptr;
};
}  // namespace

TEST_F(GalleryTest, TabWalksTheTabStopsInCreationOrderSkippingHiddenPages) {
  ShowAndFocus(form->NameEdit);
  std::vector<std::string> visited;
  for (int i = 0; i < 13; ++i) {
    Press(VK_TAB);
    visited.push_back(FocusedName());
  }
  // One stop for the radio group (its checked button), none for labels, pictures, the paint
  // box or the edit on the hidden ICMP page; the walk wraps round.
  EXPECT_EQ(visited, (std::vector<std::string>{
                         "SysRadioButton", "LogCheckBox", "ActionComboBox", "PortSpinEdit",
                         "MaskIPAddress", "AddrListBox", "DescMemo", "RulePageControl", "TcpEdit",
                         "ProcTreeView", "OKBtn", "CancelBtn", "NameEdit"}));
  // Shift+Tab goes back.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  Press(VK_TAB);
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(FocusedName(), "CancelBtn");
  // The edit that Tab enters has its text selected, ready to be typed over.
  form->NameEdit->SetText("abc");
  Press(VK_TAB);
  DWORD from = 1, to = 0;
  SendMessageA(form->NameEdit->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 3u);
}

TEST_F(GalleryTest, EnterAndEscEndAModalFormWithTheirButtonsResults) {
  int okClicks = 0;
  form->OKBtn->OnClick = [&](CComponent*) { ++okClicks; };
  // Enter in an edit presses the default button.
  form->OnShow = [this](CComponent*) {
    form->NameEdit->SetFocus();
    PostMessageA(form->NameEdit->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  };
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(okClicks, 1);

  // Esc presses the cancel button.
  form->OnShow = [this](CComponent*) {
    form->NameEdit->SetFocus();
    PostMessageA(form->NameEdit->Handle(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  };
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_EQ(okClicks, 1);

  // Enter in the multi-line memo is a line end there, not the default button.
  form->OnShow = nullptr;
  ShowAndFocus(form->DescMemo);
  PostMessageA(form->DescMemo->Handle(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
  Application.ProcessMessages();
  EXPECT_EQ(okClicks, 1);
  EXPECT_NE(form->DescMemo->AllText().find("\r\n"), std::string::npos) << "a line end in the memo";
  form->Hide();

  // A click handler that refuses keeps the form open: the next Esc ends it.
  form->OKBtn->OnClick = [this](CComponent*) { form->SetModalResult(mrNone); };
  form->OnShow = [this](CComponent*) {
    form->NameEdit->SetFocus();
    PostMessageA(form->NameEdit->Handle(), WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(form->NameEdit->Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
  };
  EXPECT_EQ(form->ShowModal(), mrCancel);
  // A refused close query keeps the form open too.
  bool mayClose = false;
  form->OnCloseQuery = [&](CComponent*, bool& canClose) { canClose = mayClose; };
  form->OnShow = [this, &mayClose](CComponent*) {
    PostMessageA(form->Handle(), WM_CLOSE, 0, 0);
    Application.ProcessMessages();
    EXPECT_EQ(form->ModalResult(), mrNone) << "the query said no";
    mayClose = true;
    PostMessageA(form->Handle(), WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(form->ShowModal(), mrCancel);
}

TEST_F(GalleryTest, ARadioGroupKeepsOneCheckedByClickAndByArrowKeys) {
  int clicks = 0;
  form->AllAppRadioButton->OnClick = [&](CComponent*) { ++clicks; };
  SendMessageA(form->AllAppRadioButton->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(form->SysRadioButton->Checked());
  EXPECT_TRUE(form->AllAppRadioButton->Checked());
  EXPECT_EQ(SendMessageA(form->SysRadioButton->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  ShowAndFocus(form->AllAppRadioButton);
  Press(VK_DOWN);
  EXPECT_EQ(FocusedName(), "AppRadioButton");
  EXPECT_TRUE(form->AppRadioButton->Checked());
  EXPECT_FALSE(form->AllAppRadioButton->Checked());
  Press(VK_DOWN);  // wraps within the group
  EXPECT_TRUE(form->SysRadioButton->Checked());
  // A check box next to the group is not part of it.
  form->LogCheckBox->Click();
  EXPECT_TRUE(form->LogCheckBox->Checked());
  EXPECT_TRUE(form->SysRadioButton->Checked());
}

TEST_F(GalleryTest, TheListBoxGivesTheValuesOfItsSelectedItems) {
  CListBox* list = form->AddrListBox;
  list->AddItem("  1.  2.  3.  4", 0x04030201);
  list->AddItem("10.0.0.1", 0x0100000A);
  list->AddItem("192.168.1.5", 0x0501A8C0);
  list->SetSelected(0, true);
  list->SetSelected(2, true);
  EXPECT_EQ(list->SelectedValues(), (std::vector<uint32_t>{0x04030201, 0x0501A8C0}));
  EXPECT_EQ(list->IndexOfValue(0x0100000A), 1);
  EXPECT_EQ(list->DeleteSelected(), 2);
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ(list->ItemText(0), "10.0.0.1");
  EXPECT_EQ(list->ItemValue(0), 0x0100000Au);
  EXPECT_EQ(SendMessageA(list->Handle(), LB_GETCOUNT, 0, 0), 1) << "the window agrees";
}

TEST_F(GalleryTest, HidingTheActiveTabActivatesTheOneAtItsPlaceOrTheLast) {
  CPageControl* pages = form->RulePageControl;
  CTabSheet** p = form->Pages;  // IP TCP UDP ICMP IGMP
  pages->SetActivePage(p[3]);
  p[3]->SetTabVisible(false);
  EXPECT_EQ(pages->ActivePage(), p[4]) << "IGMP now stands where ICMP stood";
  p[4]->SetTabVisible(false);
  EXPECT_EQ(pages->ActivePage(), p[2]) << "nothing at that place: the last visible tab, UDP";
  EXPECT_EQ(SendMessageA(pages->Handle(), TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageA(pages->Handle(), TCM_GETCURSEL, 0, 0), 2);
  EXPECT_TRUE(p[2]->Visible());
  EXPECT_FALSE(p[3]->Visible());
  pages->SetActivePage(p[3]);  // a hidden tab's page cannot be shown
  EXPECT_EQ(pages->ActivePage(), p[2]);
  p[3]->SetTabVisible(true);
  p[4]->SetTabVisible(true);
  EXPECT_EQ(pages->ActivePage(), p[2]) << "showing tabs again leaves the active page";
  EXPECT_EQ(SendMessageA(pages->Handle(), TCM_GETITEMCOUNT, 0, 0), 5);
  // The user picks a tab: the change fires, unless the page may not be left.
  int changes = 0;
  pages->OnChange = [&](CComponent*) { ++changes; };
  SendMessageA(pages->Handle(), TCM_SETCURFOCUS, 1, 0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(pages->ActivePage(), p[1]);
  pages->OnChanging = [](CComponent*, bool& allow) { allow = false; };
  SendMessageA(pages->Handle(), TCM_SETCURFOCUS, 0, 0);
  EXPECT_EQ(pages->ActivePage(), p[1]);
  EXPECT_EQ(changes, 1);
}

TEST_F(GalleryTest, TheTreeKeepsSelectionAndExpansionAcrossAnUpdate) {
  CTreeView* tree = form->ProcTreeView;
  HTREEITEM mail = tree->AddChild(nullptr, "mail.exe", -1, 100);
  HTREEITEM tcp = tree->AddChild(mail, "TCP");
  HTREEITEM line = tree->AddChild(tcp, "10.0.0.1:25");
  HTREEITEM web = tree->AddChild(nullptr, "web.exe", -1, 200);
  tree->Expand(mail);
  tree->Expand(tcp);
  tree->Select(line);
  tree->BeginUpdate();
  tree->SetItemText(mail, "mail.exe");  // unchanged
  tree->SetItemText(line, "10.0.0.1:25 (2)");
  tree->AddChild(tcp, "10.0.0.2:110");
  tree->DeleteItem(web);
  tree->EndUpdate();
  EXPECT_EQ(tree->Selected(), line);
  EXPECT_TRUE(tree->Expanded(mail));
  EXPECT_TRUE(tree->Expanded(tcp));
  EXPECT_EQ(tree->ItemText(line), "10.0.0.1:25 (2)");
  EXPECT_EQ(tree->ItemData(mail), 100);
  EXPECT_EQ(tree->Count(), 4);
  EXPECT_EQ(tree->NextSibling(mail), nullptr);
}

TEST_F(GalleryTest, TheIpAddressControlSpeaksNetworkOrder) {
  CIPAddress* ip = form->MaskIPAddress;
  EXPECT_TRUE(ip->Blank());
  const uint8_t bytes[4] = {255, 255, 255, 0};
  uint32_t mask;
  memcpy(&mask, bytes, 4);
  ip->SetAddress(mask);
  EXPECT_EQ(WindowText(ip->Handle()), "255.255.255.0");
  EXPECT_EQ(ip->Address(), mask);
  // As a user types it: the control's own order has the first field in the high byte.
  SendMessageA(ip->Handle(), IPM_SETADDRESS, 0, MAKEIPADDRESS(192, 168, 1, 5));
  uint32_t address = ip->Address();
  EXPECT_EQ(memcmp(&address, "\xC0\xA8\x01\x05", 4), 0);
  ip->Clear();
  EXPECT_TRUE(ip->Blank());
}

TEST_F(GalleryTest, TheSpinEditStaysWithinItsRange) {
  CSpinEdit* spin = form->PortSpinEdit;
  EXPECT_EQ(spin->Value(), 80);
  spin->SetValue(70000);
  EXPECT_EQ(spin->Value(), 65535);
  int changes = 0;
  spin->OnChange = [&](CComponent*) { ++changes; };
  SetWindowTextA(spin->EditHandle(), "");
  EXPECT_EQ(spin->Value(), 1) << "no number reads as the least";
  EXPECT_EQ(changes, 1);
  SendMessageA(spin->EditHandle(), WM_KEYDOWN, VK_UP, 0);  // the arrows step the number
  spin->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(spin->EditHandle()));
}

TEST_F(GalleryTest, TheGalleryMatchesItsDescription) {
  form->Show();
  Application.ProcessMessages();
  EXPECT_TRUE(MatchesGolden(DescribeControls(form), VARDEEN_GOLDEN "\\gallery.txt"));
  EXPECT_EQ(DescribeWindow(form->Handle()), DescribeControls(form)) << "the same from outside";
}
