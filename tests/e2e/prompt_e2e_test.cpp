// The prompt end to end: the real console asks about application events that RkFw.sys
// raises (injected with rkfwctl), and the user's answers reach the driver and "app.aud".
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/console_fixture.h"

namespace {
const char* const kAsk = "event ask proto=tcp local=192.168.1.5:1030 remote=10.0.0.9:80 ";

class PromptE2E : public ConsoleE2E {
 protected:
  // An application event; pid 300 and a connection unless `arguments` say otherwise.
  void Ask(std::string arguments) {
    if (!Contains(arguments, "pid=")) arguments += " pid=300";
    if (!Contains(arguments, "op=")) arguments += " op=connect";
    int status = 1;
    Rkfwctl(std::string(kAsk) + arguments, &status);
    ASSERT_EQ(kRkfwctlOk, status) << arguments;
  }
  // The console's visible prompt other than `other`, once it shows.
  HWND WaitPrompt(const CConsole& console, HWND other = nullptr) {
    HWND prompt = nullptr;
    WaitUntil([&] {
      for (HWND w : TopWindows(console.Pid(), "TFWEventNotifyForm"))
        if (w != other && IsWindowVisible(w)) prompt = w;
      return prompt != nullptr;
    });
    return prompt;
  }
  int VisiblePrompts(const CConsole& console) {
    int n = 0;
    for (HWND w : TopWindows(console.Pid(), "TFWEventNotifyForm")) n += IsWindowVisible(w) ? 1 : 0;
    return n;
  }
  static CControlInfo In(HWND prompt, const char* name) {
    CControlInfo info;
    EXPECT_TRUE(QueryControl(prompt, name, &info)) << name;
    return info;
  }
  static void Click(HWND prompt, const char* name) { ClickControl(In(prompt, name)); }
  static void ForGood(HWND prompt, const char* radio) {
    Click(prompt, "AuditCheckBox");
    Click(prompt, radio);
    Click(prompt, "OkBitBtn");
  }
  static bool VerdictsReach(uint32_t n) { return WaitUntil([n] { return DriverCounter("verdicts") >= n; }); }
};

TEST_F(PromptE2E, PermitOnceAnswersWithoutARuleAndLeavesTheForegroundAlone) {
  CProgramFolder folder("prompt-once");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {{"C:\\Apps\\mail.exe"}}));
  CConsole console;
  StartConsole(console, folder);
  const std::string rulesBefore = Rkfwctl("audit-rules");
  // The user types in another program when the question comes.
  HWND editor = CreateWindowExA(0, "EDIT", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 80, nullptr, nullptr,
                                nullptr, nullptr);
  SetForegroundWindow(editor);
  ASSERT_EQ(GetForegroundWindow(), editor);
  Ask("path=\"C:\\Apps\\browser.exe\"");
  HWND prompt = WaitPrompt(console);
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(In(prompt, "PathLabel").text, "C:\\Apps\\browser.exe");
  EXPECT_EQ(In(prompt, "RemoteLabel").text, " 10.  0.  0.  9 端口: 80");
  EXPECT_EQ(GetForegroundWindow(), editor) << "the prompt must not take the keyboard";
  DestroyWindow(editor);

  Click(prompt, "PermitBtn");
  ASSERT_TRUE(VerdictsReach(1));
  EXPECT_TRUE(Contains(Rkfwctl("verdicts"), "verdict 0 kind=2 verdict=permit pid=300 "));
  EXPECT_EQ(Rkfwctl("audit-rules"), rulesBefore) << "no rule from a one-time answer";
  EXPECT_TRUE(WaitUntil([&] { return VisiblePrompts(console) == 0; })) << "the prompt goes away";
  CloseConsole(console);
}

TEST_F(PromptE2E, BlockForGoodAddsARuleTheDriverGetsAndAppAudKeeps) {
  CProgramFolder folder("prompt-block");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {{"C:\\Apps\\mail.exe"}}));
  CConsole console;
  StartConsole(console, folder);
  Ask("path=\"C:\\Apps\\game.exe\"");
  HWND prompt = WaitPrompt(console);
  ASSERT_NE(prompt, nullptr);
  ForGood(prompt, "BlockRadioButton");
  ASSERT_TRUE(VerdictsReach(1));
  EXPECT_TRUE(Contains(Rkfwctl("verdicts"), "verdict=block pid=300 "));
  std::string rules = Rkfwctl("audit-rules");
  EXPECT_TRUE(Contains(rules, "game.exe\"")) << rules;
  EXPECT_TRUE(Contains(rules, "access=0x00 decision=block")) << rules;
  // The next event of the program is answered from the new rule.
  Ask("path=\"C:\\Apps\\GAME.exe\"");
  ASSERT_TRUE(VerdictsReach(2));
  EXPECT_TRUE(WaitUntil([&] { return VisiblePrompts(console) == 0; }));
  CloseConsole(console);
  EXPECT_EQ(AuditRulesOf(folder.File("app.aud")), rules) << "app.aud holds what the driver has";
}

TEST_F(PromptE2E, AnAuditFlaggedEventChangesTheRuleItNames) {
  CProgramFolder folder("prompt-flag");
  // Two rules for one path; the driver names the second (ids count up from 0x5001).
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {{"C:\\Apps\\mail.exe", 0x27}, {"C:\\Apps\\mail.exe", 0x27}}));
  CConsole console;
  StartConsole(console, folder);
  Ask("path=\"C:\\Apps\\mail.exe\" audit rule=0x5002");
  HWND prompt = WaitPrompt(console);
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(In(prompt, "AuditCheckBox").text, "修改应用程序权限审核,以后都执行该操作");
  ForGood(prompt, "PermitRadioButton");
  ASSERT_TRUE(VerdictsReach(1));
  std::string rules = Rkfwctl("audit-rules");
  EXPECT_TRUE(Contains(rules, "audit id=20481 ")) << rules;
  EXPECT_TRUE(Contains(rules.substr(0, rules.find("audit id=20482")), "decision=notify")) << rules;
  EXPECT_TRUE(Contains(rules.substr(rules.find("audit id=20482")), "access=0x07 decision=permit")) << rules;
  CloseConsole(console);
}

TEST_F(PromptE2E, AListeningServiceShowsNoPeer) {
  CProgramFolder folder("prompt-service");
  CConsole console;
  StartConsole(console, folder);
  Ask("path=\"C:\\Apps\\server.exe\" op=listen");
  HWND prompt = WaitPrompt(console);
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(In(prompt, "OPLabel").text, "作为本地服务程序");
  EXPECT_FALSE(In(prompt, "DstLabel").showing);
  EXPECT_FALSE(In(prompt, "RemoteLabel").showing);
  EXPECT_TRUE(In(prompt, "LocalLabel").showing);
  Click(prompt, "BlockBtn");
  ASSERT_TRUE(VerdictsReach(1));
  CloseConsole(console);
}

TEST_F(PromptE2E, QueuedEventsAreAnsweredByTheFirstAnswerOrShownInTurn) {
  CProgramFolder folder("prompt-queue");
  CConsole console;
  StartConsole(console, folder);
  Ask("path=\"C:\\Apps\\chat.exe\"");
  Ask("path=\"C:\\Apps\\chat.exe\" pid=301");
  Ask("path=\"C:\\Apps\\ftp.exe\" pid=302");
  HWND first = WaitPrompt(console);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(VisiblePrompts(console), 1) << "one question at a time";
  // Permitted for good: the second chat event is answered without a window.
  ForGood(first, "PermitRadioButton");
  ASSERT_TRUE(VerdictsReach(2));
  EXPECT_TRUE(Contains(Rkfwctl("verdicts"), "verdict 1 kind=2 verdict=permit pid=301 "));
  HWND second = WaitPrompt(console, first);
  ASSERT_NE(second, nullptr) << "ftp.exe is asked about next";
  EXPECT_EQ(In(second, "PathLabel").text, "C:\\Apps\\ftp.exe");
  // The close box forbids this one event and changes no rule.
  const std::string rules = Rkfwctl("audit-rules");
  PostMessageA(second, WM_CLOSE, 0, 0);
  ASSERT_TRUE(VerdictsReach(3));
  EXPECT_TRUE(Contains(Rkfwctl("verdicts"), "verdict 2 kind=2 verdict=block pid=302 "));
  EXPECT_EQ(Rkfwctl("audit-rules"), rules);
  EXPECT_TRUE(WaitUntil([&] { return VisiblePrompts(console) == 0; }));
  // And the queue moves on after a closed prompt.
  Ask("path=\"C:\\Apps\\ftp.exe\" pid=303");
  HWND third = WaitPrompt(console);
  ASSERT_NE(third, nullptr);
  PressKey(In(third, "PermitBtn").window, VK_ESCAPE);
  ASSERT_TRUE(VerdictsReach(4));
  EXPECT_TRUE(Contains(Rkfwctl("verdicts"), "verdict 3 kind=2 verdict=block pid=303 "));
  CloseConsole(console);
}

TEST_F(PromptE2E, ADecidedProgramIsAnsweredWhileAnotherIsAskedAbout) {
  CProgramFolder folder("prompt-beside");
  ASSERT_TRUE(WriteAuditRules(folder.File("app.aud"), {{"C:\\Apps\\mail.exe", 0x07}}));
  CConsole console;
  StartConsole(console, folder);
  Ask("path=\"C:\\Apps\\unknown.exe\"");
  ASSERT_NE(WaitPrompt(console), nullptr);
  Ask("path=\"C:\\Apps\\mail.exe\" pid=310");
  ASSERT_TRUE(VerdictsReach(1)) << "the permitted program does not wait for the user";
  EXPECT_TRUE(Contains(Rkfwctl("verdicts"), "verdict 0 kind=2 verdict=permit pid=310 "));
  EXPECT_EQ(VisiblePrompts(console), 1);
  CloseConsole(console);
}
}  // namespace
