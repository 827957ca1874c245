// The event prompt under Wine: what it shows of an event and a program, and every way it can
// be answered (once, for good, closed), with the driver and the main window faked.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "log/eventrecord.h"
#include "platform/msgbox.h"
#include "rules/caches.h"
#include "rules/decisions.h"
#include "rules/ruleport.h"
#include "tests/win32/support/golden.h"
#include "ui/framework/application.h"
#include "ui/framework/controls.h"
#include "ui/framework/describe.h"
#include "ui/framework/messages.h"
#include "ui/tfweventnotifyform/tfweventnotifyform.h"

namespace {
std::vector<uint32_t> g_verdicts;
int g_auditLoads = 0;
struct CLink final : CAbsentDriverPort {
  bool IsOpen() override { return true; }
  uint32_t LoadIpRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t LoadAuditRuleSet(const void*, uint32_t) override {
    ++g_auditLoads;
    return 0;
  }
  uint32_t SendVerdict(const _REPORT_EVENT_HEAD* record) override {
    g_verdicts.push_back(EventU32(*record, EVENT_AT_VERDICT));
    return 0;
  }
} g_link;

std::vector<std::string> g_boxes;
int RecordBox(void*, void*, const char* text, const char* caption, uint32_t) {
  g_boxes.push_back(std::string(text) + "|" + caption);
  return IDOK;
}

std::string ProgramNextToTest(const char* name) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\') + 1) + name;
}

// The main window's side, with a window that receives WM_FREECHILD.
class CFakeHost : public CPromptHost {
 public:
  CFakeHost() {
    window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  }
  ~CFakeHost() { DestroyWindow(window_); }
  void TakeNextPendingEvent() override { ++nextTaken; }
  void RefreshAuditPage() override { ++refreshed; }
  HWND PromptOwnerWindow() const override { return window_; }
  void TellProblem(const char*) override {}
  // The prompts named by the WM_FREECHILD messages posted so far.
  std::vector<CEventPrompt*> Freed() {
    std::vector<CEventPrompt*> freed;
    MSG msg;
    while (PeekMessageA(&msg, window_, WM_FREECHILD, WM_FREECHILD, PM_REMOVE))
      freed.push_back(reinterpret_cast<CEventPrompt*>(msg.lParam));
    return freed;
  }
  int nextTaken = 0, refreshed = 0;

 private:
  HWND window_;
};

struct CAskedEvent {
  uint32_t operation = 4, protocol = 1, flags = 0, ruleId = 0;
  std::string path = "C:\\Apps\\mail.exe";
};

class PromptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetRulePort(&g_link);
    SetMessageBoxScript(RecordBox, nullptr);
    g_verdicts.clear();
    g_boxes.clear();
    g_auditLoads = 0;
    ClearAuditRuleCache();
  }
  void TearDown() override {
    delete prompt_;
    ClearAuditRuleCache();
    SetMessageBoxScript(nullptr, nullptr);
    SetRulePort(nullptr);
  }

  TFWEventNotifyForm* Show(const CAskedEvent& asked) {
    _REPORT_EVENT_HEAD e;
    memset(&e, 0, sizeof e);
    uint8_t* raw = reinterpret_cast<uint8_t*>(&e);
    auto put32 = [raw](uint32_t at, uint32_t v) { memcpy(raw + at, &v, 4); };
    put32(EVENT_AT_KIND, EVENT_KIND_APP_ASK);
    put32(EVENT_AT_FLAGS, asked.flags);
    put32(APP_AT_RULE_ID, asked.ruleId);
    put32(APP_AT_OPERATION, asked.operation);
    put32(APP_AT_PROTOCOL, asked.protocol);
    put32(APP_AT_LOCAL_ADDR, 0x0501A8C0);   // 192.168.1.5
    put32(APP_AT_REMOTE_ADDR, 0x0100000A);  // 10.0.0.1
    const uint8_t localPort[] = {0x04, 0x01}, remotePort[] = {0x00, 0x19};  // 1025, 25
    memcpy(raw + APP_AT_LOCAL_PORT, localPort, 2);
    memcpy(raw + APP_AT_REMOTE_PORT, remotePort, 2);
    AttachEventPath(e, NewEventPathText(asked.path.c_str()));
    prompt_ = new TFWEventNotifyForm(nullptr, host_);
    prompt_->SetEvent(&e);
    prompt_->Present();
    return prompt_;
  }
  void TickBoxAndChoose(CRadioButton* radio) {
    prompt_->AuditCheckBox->Click();
    radio->Click();
  }
  uint32_t RuleId(const char* path) {
    uint32_t id = 0;
    EXPECT_EQ(FindAuditRuleByPath(path, &id), 0u) << path;
    return id;
  }

  CFakeHost host_;
  TFWEventNotifyForm* prompt_ = nullptr;
};

TEST_F(PromptTest, ShowsTheEventAndTheProgramsVersionStrings) {
  std::string app = ProgramNextToTest("versioned_app.exe");
  TFWEventNotifyForm* p = Show({4, 1, 0, 0, app});
  EXPECT_EQ(p->OPLabel->Text(), "连接网络");
  EXPECT_EQ(p->ProtoLabel->Text(), "TCP");
  EXPECT_EQ(p->RemoteLabel->Text(), " 10.  0.  0.  1 端口: 25");
  EXPECT_EQ(p->DescLabel->Text(), "网页浏览器");
  EXPECT_EQ(p->VersionLabel->Text(), "2.5.0.1");
  EXPECT_EQ(p->CompanyLabel->Text(), "青石软件公司");
  EXPECT_EQ(p->PathLabel->Hint(), app);
  EXPECT_NE(p->IconImage->Icon(), nullptr) << "the shell's icon for a program";
  // The golden description with a path that is the same on every machine.
  delete prompt_;
  prompt_ = nullptr;
  p = Show({});
  EXPECT_TRUE(MatchesGolden(DescribeControls(p), VARDEEN_GOLDEN "\\eventnotifyform.txt"));
}

TEST_F(PromptTest, OperationAndProtocolDecideTheAddressLines) {
  TFWEventNotifyForm* p = Show({16, 1});
  EXPECT_EQ(p->OPLabel->Text(), "作为本地服务程序");
  EXPECT_EQ(p->LocalLabel->Text(), "192.168.  1.  5 端口: 1025");
  EXPECT_FALSE(p->DstLabel->Visible()) << "a listening service has no peer";
  EXPECT_FALSE(p->RemoteLabel->Visible());
  delete prompt_;
  p = Show({2, 0, kEventAuditFlag, 7});
  EXPECT_EQ(p->OPLabel->Text(), "发送");
  EXPECT_EQ(p->ProtoLabel->Text(), "IP");
  EXPECT_EQ(p->LocalLabel->Text(), "192.168.  1.  5");
  EXPECT_EQ(p->RemoteLabel->Text(), " 10.  0.  0.  1");
  EXPECT_TRUE(p->RemoteLabel->Visible());
  EXPECT_EQ(p->AuditCheckBox->Text(), "修改应用程序权限审核,以后都执行该操作");
  EXPECT_EQ(p->DescLabel->Text(), "") << "a missing file has no version strings";
  EXPECT_EQ(p->IconImage->Icon(), nullptr);
}

TEST_F(PromptTest, PermitOnceSendsOneVerdictAndChangesNoRule) {
  TFWEventNotifyForm* p = Show({});
  p->PermitBtn->Click();
  p->PermitBtn->Click();  // a second click while the prompt is going away
  p->BlockBtn->Click();
  EXPECT_EQ(g_verdicts, std::vector<uint32_t>({0}));
  EXPECT_EQ(AuditRuleCache.Length(), 0u);
  EXPECT_EQ(g_auditLoads, 0);
  EXPECT_EQ(host_.nextTaken, 1) << "the next queued event, once";
  EXPECT_EQ(host_.Freed(), std::vector<CEventPrompt*>({static_cast<CEventPrompt*>(p)}))
      << "WM_FREECHILD names the prompt as it was listed";
  EXPECT_TRUE(p->HoldsEvent()) << "busy until it is destroyed";
}

TEST_F(PromptTest, ForGoodTheRadioChoosesTheDecisionAndTheButton) {
  TFWEventNotifyForm* p = Show({});
  p->AuditCheckBox->Click();
  EXPECT_FALSE(p->PermitBtn->Visible());
  EXPECT_FALSE(p->BlockBtn->Visible());
  EXPECT_TRUE(p->OkBitBtn->Visible());
  EXPECT_TRUE(p->BlockRadioButton->Enabled());
  p->OkBitBtn->Click();  // still disabled: nothing chosen
  EXPECT_TRUE(g_verdicts.empty());
  p->BlockRadioButton->Click();
  EXPECT_EQ(p->OkBitBtn->Text(), "禁止");
  p->PermitRadioButton->Click();
  EXPECT_EQ(p->OkBitBtn->Text(), "许可");
  p->BlockRadioButton->Click();
  p->OkBitBtn->Click();
  ASSERT_EQ(AuditRuleCache.Length(), 1u);
  EXPECT_STREQ(AuditRuleCache[0].AppPath, "C:\\Apps\\mail.exe");
  EXPECT_EQ(AuditRuleCache[0].Access & 0x37u, 0u);
  EXPECT_EQ(g_auditLoads, 1) << "the whole set went to the driver";
  EXPECT_EQ(host_.refreshed, 1);
  EXPECT_EQ(g_verdicts, std::vector<uint32_t>({1}));
  // Unticking brings the two buttons back.
  delete prompt_;
  p = Show({});
  p->AuditCheckBox->Click();
  p->AuditCheckBox->Click();
  EXPECT_TRUE(p->PermitBtn->Visible());
  EXPECT_FALSE(p->OkBitBtn->Visible());
  EXPECT_FALSE(p->PermitRadioButton->Enabled());
}

TEST_F(PromptTest, ForGoodChangesTheRuleOfThePathOrTheRuleTheEventNames) {
  ASSERT_EQ(AddAuditRule("C:\\APPS\\MAIL.EXE", AUDIT_BLOCK), 0u);
  ASSERT_EQ(AddAuditRule("C:\\Apps\\mail.exe", AUDIT_BLOCK), 0u);
  AuditRuleCache[0].RuleId = 500;
  AuditRuleCache[1].RuleId = 501;
  // Notify answers "permit" for this one event and asks again next time.
  TickBoxAndChoose(Show({})->NotifyRadioButton);
  prompt_->OkBitBtn->Click();
  EXPECT_EQ(AuditRuleCache[0].Access & 0x37u, 0x27u) << "the first rule of the path, in any case";
  EXPECT_EQ(AuditRuleCache[1].Access & 0x37u, 0u);
  EXPECT_EQ(g_verdicts.back(), 0u);
  delete prompt_;
  // An event with the audit flag names its rule, whatever the path says.
  TickBoxAndChoose(Show({4, 1, kEventAuditFlag, 501})->PermitRadioButton);
  prompt_->OkBitBtn->Click();
  EXPECT_EQ(AuditRuleCache[1].Access & 0x37u, 0x07u);
  EXPECT_EQ(AuditRuleCache[0].Access & 0x37u, 0x27u);
  EXPECT_EQ(AuditRuleCache.Length(), 2u);
  EXPECT_EQ(g_verdicts.back(), 0u);
}

// A program without a full path is answered for this connection only.
TEST_F(PromptTest, NoRuleIsOfferedForAnUnknownPath) {
  for (const char* unknown : {"", "Unknown", "mystery.exe(4001d,fa1)"}) {
    delete prompt_;
    EXPECT_FALSE(Show({4, 1, 0, 0, unknown})->AuditCheckBox->Enabled()) << unknown;
  }
}

TEST_F(PromptTest, TickedWithoutAChoiceSaysSoAndStaysOpen) {
  TFWEventNotifyForm* p = Show({});
  p->AuditCheckBox->Click();
  p->OkBitBtn->SetEnabled(true);  // as Enter on the button would press it
  p->OkBitBtnClick(p->OkBitBtn);
  EXPECT_EQ(g_boxes, std::vector<std::string>({"未选择审核操作!|错误"}));
  EXPECT_TRUE(g_verdicts.empty());
  EXPECT_TRUE(host_.Freed().empty());
}

TEST_F(PromptTest, TheCloseBoxAndEscForbidThisOneEvent) {
  TFWEventNotifyForm* p = Show({});
  TickBoxAndChoose(p->PermitRadioButton);
  SendMessageA(p->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(g_verdicts, std::vector<uint32_t>({1}));
  EXPECT_EQ(AuditRuleCache.Length(), 0u) << "no rule from a closed prompt";
  EXPECT_EQ(host_.nextTaken, 1);
  EXPECT_EQ(host_.Freed().size(), 1u);
  EXPECT_TRUE(IsWindowVisible(p->Handle())) << "the window goes through WM_FREECHILD";
  delete prompt_;

  p = Show({});
  SetForegroundWindow(p->Handle());
  p->PermitBtn->SetFocus();
  MSG esc = {p->PermitBtn->Handle(), WM_KEYDOWN, VK_ESCAPE, 0};
  EXPECT_TRUE(Application.IsDialogKey(esc));
  EXPECT_EQ(g_verdicts, std::vector<uint32_t>({1, 1}));
}

TEST_F(PromptTest, ThePromptDoesNotTakeTheKeyboard) {
  HWND other = CreateWindowExA(0, "EDIT", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                               nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  SetFocus(other);
  ASSERT_EQ(GetForegroundWindow(), other);
  TFWEventNotifyForm* p = Show({});
  p->TopItTimerTimer(nullptr);
  EXPECT_EQ(GetForegroundWindow(), other);
  EXPECT_EQ(GetFocus(), other);
  EXPECT_TRUE(IsWindowVisible(p->Handle()));
  EXPECT_TRUE(GetWindowLongA(p->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  DestroyWindow(other);
}
// A dialog opened while a prompt waited disabled the prompt and lay hidden behind it, without
// the keyboard: the console looked dead.
struct CModalSeen {
  TFWEventNotifyForm* prompt;
  CForm* dialog;
  bool promptEnabled = false, dialogAbove = false, keyboardInDialog = false;
};
CModalSeen* g_seen = nullptr;

void CALLBACK LookFromInsideTheDialog(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  CModalSeen& s = *g_seen;
  s.promptEnabled = IsWindowEnabled(s.prompt->Handle()) != 0;
  for (HWND w = GetWindow(s.prompt->Handle(), GW_HWNDPREV); w != nullptr; w = GetWindow(w, GW_HWNDPREV))
    if (w == s.dialog->Handle()) s.dialogAbove = true;
  HWND focus = GetFocus();
  s.keyboardInDialog = focus != nullptr && IsChild(s.dialog->Handle(), focus);
  // The prompt answers while the dialog runs; Esc reaches the dialog.
  s.prompt->PermitBtn->Click();
  PostMessageA(focus != nullptr ? focus : s.dialog->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
}

void CALLBACK EndTheDialog(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (g_seen != nullptr) g_seen->dialog->SetModalResult(mrAbort);
}

TEST_F(PromptTest, ADialogOpenedWhileThePromptWaitsLiesAboveItWithTheKeyboardAndThePromptAnswers) {
  TFWEventNotifyForm* p = Show({});
  auto* dialog = new CForm(nullptr, "Dlg");
  dialog->SetBorderStyle(TBorderStyle::Dialog);
  dialog->SetPosition(TPosition::ScreenCenter);
  dialog->SetClientSize(300, 200);
  NewControl<CEdit>(dialog, dialog, "PortEdit", 10, 10, 100, 20);
  CModalSeen seen{p, dialog};
  g_seen = &seen;
  // Looked at from inside the dialog's loop, after the prompt's own timer has run.
  SetTimer(nullptr, 0, 600, LookFromInsideTheDialog);
  SetTimer(nullptr, 0, 5000, EndTheDialog);  // the test's own way out
  EXPECT_EQ(mrCancel, dialog->ShowModal());
  g_seen = nullptr;
  EXPECT_TRUE(seen.promptEnabled);
  EXPECT_TRUE(seen.dialogAbove);
  EXPECT_TRUE(seen.keyboardInDialog);
  EXPECT_EQ(g_verdicts, std::vector<uint32_t>({0}));
  FreeComponent(dialog);
}
}  // namespace
