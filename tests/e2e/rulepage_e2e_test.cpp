// The rule set page end to end: the real console against RkFw.sys, its file dialogs answered
// from outside as a user would, the saved file and the driver's image read back.
#include "tests/e2e/console_fixture.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string CustomRuleFileSetting() {
  char text[MAX_PATH] = {};
  DWORD size = sizeof text - 1;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Harlune\\Qelt", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return "";
  RegQueryValueExA(key, "Crul", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return text;
}

std::vector<std::string> RuleNames(const std::string& path, std::vector<uint32_t>* options = nullptr) {
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  std::vector<std::string> names;
  if (ReadRuleFile(path.c_str(), rules, RuleFileLookup::AsGiven) != 0) return names;
  for (const _RKFW_RULE& r : rules) {
    names.push_back(r.Name != nullptr ? r.Name : "");
    if (options != nullptr) options->push_back(r.Options);
  }
  ReleaseRules(rules);
  return names;
}

std::string CardName(int index, const char* control) {
  return "FWRuleItemFrame" + std::to_string(index) + "." + control;
}

TEST_F(ConsoleE2E, TheRulePageSavesTheLevelsRulesAsShownAndAppliesThem) {
  CProgramFolder folder("rulepage");
  const std::vector<std::string> level = RuleNames(folder.File("msec.rul"));
  ASSERT_GE(level.size(), 2u);
  CConsole console;
  StartConsole(console, folder);
  ClickControl(console.Control("RuleSetupBtn"));
  ASSERT_TRUE(WaitUntil([&] { return console.TextOf(CardName(0, "RuleDescLabel").c_str()) == level[0]; }))
      << console.TextOf(CardName(0, "RuleDescLabel").c_str());
  for (size_t i = 0; i < level.size(); ++i)
    EXPECT_EQ(level[i], console.TextOf(CardName(static_cast<int>(i), "RuleDescLabel").c_str())) << i;

  // The second rule switched off, then saved under a new name: the file, "Crul", the slider
  // and the driver all follow the page.
  CControlInfo box1 = console.Find(CardName(1, "EnableCheckBox").c_str());
  ASSERT_FALSE(box1.name.empty());
  ClickControl(box1);
  HWND save = console.Control("SaveBitBtn");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(save) != FALSE; }));
  uint32_t loads = DriverCounter("ip-loads");
  ClickControl(save);
  std::string mine = folder.File("mine.rul");
  ASSERT_TRUE(AnswerFileDialog(console, "保存规则文件", mine));
  EXPECT_TRUE(WaitUntil([&] { return DriverCounter("ip-loads") == loads + 2; })) << "the custom level, then the page";
  std::vector<uint32_t> options;
  EXPECT_EQ(level, RuleNames(mine, &options));
  ASSERT_EQ(options.size(), level.size());
  EXPECT_NE(0u, options[1] & RULE_OPT_DISABLED);
  EXPECT_EQ(0u, options[0] & RULE_OPT_DISABLED);
  EXPECT_EQ(mine, CustomRuleFileSetting());
  EXPECT_EQ(3, SendMessageA(console.Control("TrackBar1"), TBM_GETPOS, 0, 0));
  EXPECT_EQ(IpRulesOf(mine), Rkfwctl("ip-rules"));
  EXPECT_FALSE(IsWindowEnabled(save));

  // Leaving the page with a change asks first: Cancel stays, No leaves without saving.
  ClickControl(console.Find(CardName(0, "EnableCheckBox").c_str()));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(save) != FALSE; }));
  for (int answer : {IDCANCEL, IDNO}) {
    PostMessageA(console.MainWindow(), kShowLogView, 0, 0);
    HWND question = WaitMessageBox(console, "保存");
    ASSERT_NE(nullptr, question) << answer;
    EXPECT_EQ("规则已被修改，还未被保存，是否保存?", MessageBoxText(question));
    ClickControl(GetDlgItem(question, answer));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(question) || !IsWindowVisible(question); }));
    SyncWith(console.MainWindow());
    EXPECT_EQ(answer == IDCANCEL, !console.Find("SaveBitBtn").name.empty()) << answer;
  }
  // Back on the page: the rules in force, as saved (the change was dropped).
  ClickControl(console.Control("RuleSetupBtn"));
  auto checkBox = [&](int card) { return console.Find(CardName(card, "EnableCheckBox").c_str()).window; };
  ASSERT_TRUE(WaitUntil([&] { return checkBox(0) != nullptr; }));
  EXPECT_EQ(BST_CHECKED, SendMessageA(checkBox(0), BM_GETCHECK, 0, 0));
  EXPECT_EQ(BST_UNCHECKED, SendMessageA(checkBox(1), BM_GETCHECK, 0, 0));

  // A damaged file: the user is told, and the page is left empty.
  std::string damaged = folder.File("damaged.rul");
  ASSERT_TRUE(CopyFileA(mine.c_str(), damaged.c_str(), FALSE));
  ASSERT_TRUE(TruncateFile(damaged, 20));
  ClickControl(console.Control("OpenBtn"));
  ASSERT_TRUE(AnswerFileDialog(console, "打开规则文件", damaged));
  HWND box = WaitMessageBox(console, "错误");
  ASSERT_NE(nullptr, box);
  EXPECT_EQ("打开规则库时出错!", MessageBoxText(box));
  ASSERT_TRUE(AnswerMessageBox(box));
  EXPECT_TRUE(WaitUntil([&] { return console.Find(CardName(0, "RuleDescLabel").c_str()).name.empty(); }));
  EXPECT_EQ(IpRulesOf(mine), Rkfwctl("ip-rules")) << "opening alone changes nothing in the driver";

  CloseConsole(console);
}

}  // namespace

namespace {
TEST_F(ConsoleE2E, ARuleAddedInTheDialogReachesTheFileAndTheDriver) {
  CProgramFolder folder("ruledialog");
  const size_t levelRules = RuleNames(folder.File("msec.rul")).size();
  CConsole console;
  StartConsole(console, folder);
  ClickControl(console.Control("RuleSetupBtn"));
  ASSERT_TRUE(WaitUntil([&] { return !console.Find(CardName(0, "RuleDescLabel").c_str()).name.empty(); }));

  // "增加规则": the dialog, a name, "连接时", the defaults (TCP, any address and port), OK.
  ClickControl(console.Control("NewRuleBtn"));
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND w : TopWindows(console.Pid(), "TFWNewRuleDlg")) dialog = IsWindowVisible(w) ? w : dialog;
    return dialog != nullptr;
  })) << "no rule dialog";
  HWND name = FindControl(dialog, "RuleEdit");
  ASSERT_NE(name, nullptr);
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("端到端规则"));
  ClickControl(FindControl(dialog, "ConnectCheckBox"));
  ClickControl(FindControl(dialog, "OKBtn"));
  if (!WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); })) {
    HWND box = WaitMessageBox(console, "错误", 1000);
    FAIL() << "OK refused: " << (box != nullptr ? MessageBoxText(box) : "no message");
  }
  const std::string card = CardName(static_cast<int>(levelRules), "RuleDescLabel");
  ASSERT_TRUE(WaitUntil([&] { return !console.Find(card.c_str()).name.empty(); })) << "no new card";

  // Saved and applied: the file and the driver hold the new rule.
  HWND save = console.Control("SaveBitBtn");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(save) != FALSE; }));
  ClickControl(save);
  const std::string mine = folder.File("added.rul");
  ASSERT_TRUE(AnswerFileDialog(console, "保存规则文件", mine));
  ASSERT_TRUE(WaitUntil([&] { return RuleNames(mine).size() == levelRules + 1; }));
  const std::vector<std::string> names = RuleNames(mine);
  EXPECT_NE(std::find(names.begin(), names.end(), "端到端规则"), names.end());
  EXPECT_TRUE(WaitUntil([&] { return IpRulesOf(mine) == Rkfwctl("ip-rules"); })) << Rkfwctl("ip-rules");
  CloseConsole(console);
}
}  // namespace
