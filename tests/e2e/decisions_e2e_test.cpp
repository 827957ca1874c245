// A day of the user's decisions end to end: a prompt answered for good, a level change, the
// rule set page saved, an audit card changed, the console killed and started again; then the
// driver refusing a set, and a save cancelled. The driver, the pages and the files must agree.
#include "tests/e2e/console_fixture.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

// "permit", "block", ... as the driver has the program's rule; "" when it has none.
std::string DecisionOf(const char* program) {
  const std::string rules = Rkfwctl("audit-rules");
  size_t at = rules.find(std::string(program) + "\"");
  if (at == std::string::npos) return "";
  at = rules.find("decision=", at) + 9;
  return rules.substr(at, rules.find(' ', at) - at);
}

TEST_F(ConsoleE2E, EveryDecisionOfADaySurvivesLevelChangesAndAKill) {
  CProgramFolder folder("decisions");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {{"C:\\Apps\\mail.exe"}}));
  const std::string mine = folder.File("mine.rul"), hsec = IpRulesOf(folder.File("hsec.rul"));
  auto slider = [](const CConsole& c) { return SendMessageA(c.Control("TrackBar1"), TBM_GETPOS, 0, 0); };
  auto appAudInForce = [&] { return WaitUntil([&] { return AuditRulesOf(folder.File("app.aud")) == Rkfwctl("audit-rules"); }); };
  auto answer = [](const CConsole& c, const char* text) {
    HWND box = WaitMessageBox(c, "错误");
    ASSERT_NE(nullptr, box) << text;
    EXPECT_EQ(text, MessageBoxText(box));
    ASSERT_TRUE(AnswerMessageBox(box));
  };
  {
    CConsole console;
    StartConsole(console, folder);
    // A prompt answered for good: in the driver and in app.aud at once.
    Rkfwctl("event ask proto=tcp local=192.168.1.5:1030 remote=10.0.0.9:80 pid=300 op=connect "
            "path=\"C:\\Apps\\game.exe\"");
    std::vector<HWND> prompt;
    ASSERT_TRUE(WaitUntil([&] { return !(prompt = TopWindows(console.Pid(), "TFWEventNotifyForm")).empty(); }));
    for (const char* name : {"AuditCheckBox", "BlockRadioButton", "OkBitBtn"}) {
      CControlInfo info;
      ASSERT_TRUE(QueryControl(prompt[0], name, &info)) << name;
      ClickControl(info);
    }
    ASSERT_TRUE(WaitUntil([] { return DecisionOf("game.exe") == "block"; }));
    EXPECT_TRUE(appAudInForce());

    // A level change keeps the decision; the rule set page shown follows it (seven medium
    // cards, then nine high ones, named on from 7).
    ClickControl(console.Control("RuleSetupBtn"));
    ASSERT_TRUE(WaitUntil([&] { return !console.Find("FWRuleItemFrame6").name.empty(); }));
    PressKey(console.Control("TrackBar1"), VK_HOME);
    ASSERT_TRUE(WaitUntil([&] { return Rkfwctl("ip-rules") == hsec; }));
    EXPECT_EQ("block", DecisionOf("game.exe"));
    EXPECT_TRUE(WaitUntil([&] { return !console.Find("FWRuleItemFrame15").name.empty(); }));

    // Its edit saved is the custom level for the driver, the slider and the stored level.
    ClickControl(console.Find("FWRuleItemFrame7.EnableCheckBox"));
    HWND save = console.Control("SaveBitBtn");
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(save) != FALSE; }));
    ClickControl(save);
    ASSERT_TRUE(AnswerFileDialog(console, "保存规则文件", mine));
    ASSERT_TRUE(WaitUntil([&] { return slider(console) == 3 && Rkfwctl("ip-rules") == IpRulesOf(mine); }));

    // A card of the audit page, then the console killed.
    ClickControl(console.Control("AppAuditBtn"));
    ASSERT_TRUE(WaitUntil([&] { return console.TextOf("TFWAuditRuleItemFrame1.PathLabel") == "C:\\Apps\\game.exe"; }));
    ClickControl(console.Find("TFWAuditRuleItemFrame0.BlockPaintBox"));
    ASSERT_TRUE(WaitUntil([] { return DecisionOf("mail.exe") == "block"; })) << Rkfwctl("audit-rules");
    EXPECT_TRUE(appAudInForce());
    console.Kill();
  }
  const std::string decided = AuditRulesOf(folder.File("app.aud"));
  CConsole console;
  StartConsole(console, folder);
  EXPECT_EQ(decided, Rkfwctl("audit-rules"));
  EXPECT_EQ(IpRulesOf(mine), Rkfwctl("ip-rules"));
  EXPECT_EQ(3, slider(console)) << "the stored level";

  // The driver refuses: the page says so, and the cache, app.aud and the cards keep what the
  // driver runs.
  Rkfwctl("fault audit-rules fail");
  ClickControl(console.Control("AppAuditBtn"));
  ASSERT_TRUE(WaitUntil([&] { return console.Find("TFWAuditRuleItemFrame1").showing; }));
  ClickControl(console.Find("TFWAuditRuleItemFrame0.PermitPaintBox"));
  answer(console, "应用规则失败!");
  Rkfwctl("fault audit-rules none");
  EXPECT_EQ(decided, Rkfwctl("audit-rules"));

  // The rule set page: "是" then a cancelled file dialog keeps the page and its edit; a
  // refused apply is told and the driver keeps its set.
  ClickControl(console.Control("RuleSetupBtn"));
  ASSERT_TRUE(WaitUntil([&] { return console.Find("FWRuleItemFrame0").showing; }));
  ClickControl(console.Find("FWRuleItemFrame0.EnableCheckBox"));
  HWND save = console.Control("SaveBitBtn");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(save) != FALSE; }));
  PostMessageA(console.MainWindow(), kShowLogView, 0, 0);
  HWND question = WaitMessageBox(console, "保存");
  ASSERT_NE(nullptr, question);
  ClickControl(GetDlgItem(question, IDYES));
  ASSERT_TRUE(AnswerFileDialog(console, "保存规则文件", ""));
  SyncWith(console.MainWindow());
  EXPECT_TRUE(IsWindow(save) && IsWindowEnabled(save)) << "the page stays, with its edit";
  Rkfwctl("fault ip-rules fail");
  ClickControl(save);
  ASSERT_TRUE(AnswerFileDialog(console, "保存规则文件", folder.File("refused.rul")));
  answer(console, "应用规则失败!");
  Rkfwctl("fault ip-rules none");
  EXPECT_EQ(IpRulesOf(mine), Rkfwctl("ip-rules"));
  CloseConsole(console);
}

}  // namespace
