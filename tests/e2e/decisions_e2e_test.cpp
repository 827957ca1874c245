// A day of the user's decisions end to end: a prompt answered for good, a level change, the
// rule set page saved, an audit card changed, the console killed and started again; then the
// driver refusing a set, and a save cancelled. The driver, the pages and the files must agree.
#include "tests/e2e/console_fixture.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

constexpr const char* kAsk =
    "event ask proto=tcp local=192.168.1.5:1030 remote=10.0.0.9:80 pid=300 op=connect path=\"C:\\Apps\\game.exe\"";

int Slider(const CConsole& console) {
  return static_cast<int>(SendMessageA(console.Control("TrackBar1"), TBM_GETPOS, 0, 0));
}

// The file dialog titled `title`: `path` typed in and OK pressed, or (empty) cancelled.
bool AnswerFileDialog(const CConsole& console, const char* title, const std::string& path) {
  HWND dialog = WaitMessageBox(console, title);
  if (dialog == nullptr) return false;
  HWND name = GetDlgItem(dialog, 0x47C);
  if (name == nullptr) name = GetDlgItem(dialog, 0x480);
  if (!path.empty() && (name == nullptr || !SetWindowTextA(name, path.c_str()))) return false;
  const int button = path.empty() ? IDCANCEL : IDOK;
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
  return WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

// The box of that caption says `text`; answered with OK.
void ExpectBox(const CConsole& console, const char* caption, const std::string& text) {
  HWND box = WaitMessageBox(console, caption);
  ASSERT_NE(nullptr, box) << text;
  EXPECT_EQ(text, MessageBoxText(box));
  ASSERT_TRUE(AnswerMessageBox(box));
}

// "permit", "block", ... as the driver has the program's rule; "" when it has none.
std::string DecisionOf(const char* program) {
  const std::string rules = Rkfwctl("audit-rules");
  size_t at = rules.find(std::string(program) + "\"");
  if (at == std::string::npos) return "";
  at = rules.find("decision=", at) + 9;
  return rules.substr(at, rules.find(' ', at) - at);
}

void Fault(const char* code, const char* mode) {
  int status = 1;
  Rkfwctl(std::string("fault ") + code + " " + mode, &status);
  ASSERT_EQ(kRkfwctlOk, status);
}

bool AppAudIsInForce(const CProgramFolder& folder) {
  return WaitUntil([&] { return AuditRulesOf(folder.File("app.aud")) == Rkfwctl("audit-rules"); });
}

TEST_F(ConsoleE2E, EveryDecisionOfADaySurvivesLevelChangesAndAKill) {
  CProgramFolder folder("decisions");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {{"C:\\Apps\\mail.exe"}}));
  const std::string mine = folder.File("mine.rul");
  {
    CConsole console;
    StartConsole(console, folder);
    // A prompt answered for good: in the driver and in app.aud at once, not only at exit.
    int status = 1;
    Rkfwctl(kAsk, &status);
    ASSERT_EQ(kRkfwctlOk, status);
    HWND prompt = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return !TopWindows(console.Pid(), "TFWEventNotifyForm").empty(); }));
    prompt = TopWindows(console.Pid(), "TFWEventNotifyForm")[0];
    for (const char* name : {"AuditCheckBox", "BlockRadioButton", "OkBitBtn"}) {
      CControlInfo info;
      ASSERT_TRUE(QueryControl(prompt, name, &info)) << name;
      ClickControl(info);
    }
    ASSERT_TRUE(WaitUntil([] { return DecisionOf("game.exe") == "block"; }));
    EXPECT_TRUE(AppAudIsInForce(folder));

    // A level change keeps the decision in the driver; the rule set page shown follows it
    // (seven medium cards, then nine high ones, named on from 7).
    ClickControl(console.Control("RuleSetupBtn"));
    ASSERT_TRUE(WaitUntil([&] { return !console.Find("FWRuleItemFrame6").name.empty(); }));
    PressKey(console.Control("TrackBar1"), VK_HOME);
    ASSERT_TRUE(WaitUntil([&] { return Rkfwctl("ip-rules") == IpRulesOf(folder.File("hsec.rul")); }));
    EXPECT_EQ("block", DecisionOf("game.exe"));
    EXPECT_TRUE(WaitUntil([&] { return !console.Find("FWRuleItemFrame15").name.empty(); }));
    EXPECT_TRUE(console.Find("FWRuleItemFrame0").name.empty());

    // Its edit saved is the custom level everywhere.
    CControlInfo box;
    ASSERT_TRUE(WaitUntil([&] { return !(box = console.Find("FWRuleItemFrame7.EnableCheckBox")).name.empty(); }));
    ClickControl(box);
    HWND save = console.Control("SaveBitBtn");
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(save) != FALSE; }));
    ClickControl(save);
    ASSERT_TRUE(AnswerFileDialog(console, "保存规则文件", mine));
    ASSERT_TRUE(WaitUntil([&] { return Slider(console) == 3 && Rkfwctl("ip-rules") == IpRulesOf(mine); }));
    EXPECT_NE(IpRulesOf(mine), IpRulesOf(folder.File("hsec.rul")));
    DWORD level = 0;
    EXPECT_TRUE(ReadSettingDword("Level", &level) && level == 3);
    EXPECT_EQ("block", DecisionOf("game.exe"));

    // A card of the audit page changed.
    ClickControl(console.Control("AppAuditBtn"));
    ASSERT_TRUE(WaitUntil([&] { return console.Find("TFWAuditRuleItemFrame1").showing; }));
    EXPECT_EQ(console.TextOf("TFWAuditRuleItemFrame1.PathLabel"), "C:\\Apps\\game.exe");
    ClickControl(console.Find("TFWAuditRuleItemFrame0.BlockPaintBox"));
    ASSERT_TRUE(WaitUntil([] { return DecisionOf("mail.exe") == "block"; })) << Rkfwctl("audit-rules");
    EXPECT_TRUE(AppAudIsInForce(folder));
    console.Kill();
  }
  const std::string decided = AuditRulesOf(folder.File("app.aud"));
  CConsole console;
  StartConsole(console, folder);
  EXPECT_EQ(decided, Rkfwctl("audit-rules"));
  EXPECT_EQ(IpRulesOf(mine), Rkfwctl("ip-rules"));
  EXPECT_EQ(3, Slider(console));

  // The driver refuses: the page says so and shows, like the cache, what the driver runs.
  Fault("audit-rules", "fail");
  ClickControl(console.Control("AppAuditBtn"));
  ASSERT_TRUE(WaitUntil([&] { return console.Find("TFWAuditRuleItemFrame1").showing; }));
  ClickControl(console.Find("TFWAuditRuleItemFrame0.PermitPaintBox"));
  ExpectBox(console, "错误", "应用规则失败!");
  Fault("audit-rules", "none");
  EXPECT_EQ(decided, Rkfwctl("audit-rules"));
  EXPECT_EQ(decided, AuditRulesOf(folder.File("app.aud")));
  // Delete applies the cards, now rebuilt from the rules in force: one rule fewer, no other change.
  ASSERT_TRUE(WaitUntil([&] { return console.Find("TFWAuditRuleItemFrame3").showing; }));
  ClickControl(console.Find("TFWAuditRuleItemFrame3.DelBtn"));
  EXPECT_TRUE(WaitUntil([] { return DecisionOf("game.exe").empty(); }));
  EXPECT_EQ("block", DecisionOf("mail.exe"));
  EXPECT_TRUE(AppAudIsInForce(folder));

  // The rule set page: a refused apply is told; a cancelled save keeps the edits.
  ClickControl(console.Control("RuleSetupBtn"));
  CControlInfo box;
  ASSERT_TRUE(WaitUntil([&] { return !(box = console.Find("FWRuleItemFrame0.EnableCheckBox")).name.empty(); }));
  ClickControl(box);
  HWND save = console.Control("SaveBitBtn");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(save) != FALSE; }));
  PostMessageA(console.MainWindow(), kShowLogView, 0, 0);
  HWND question = WaitMessageBox(console, "保存");
  ASSERT_NE(nullptr, question);
  ClickControl(GetDlgItem(question, IDYES));
  ASSERT_TRUE(AnswerFileDialog(console, "保存规则文件", ""));
  SyncWith(console.MainWindow());
  EXPECT_FALSE(console.Find("SaveBitBtn").name.empty()) << "the page stays";
  EXPECT_TRUE(IsWindowEnabled(save)) << "with its edit";
  Fault("ip-rules", "fail");
  ClickControl(save);
  const std::string refused = folder.File("refused.rul");
  ASSERT_TRUE(AnswerFileDialog(console, "保存规则文件", refused));
  ExpectBox(console, "错误", "应用规则失败!");
  Fault("ip-rules", "none");
  EXPECT_EQ(IpRulesOf(mine), Rkfwctl("ip-rules")) << "the driver kept its set";
  EXPECT_NE(IpRulesOf(refused), Rkfwctl("ip-rules"));
  CloseConsole(console);
}

}  // namespace
