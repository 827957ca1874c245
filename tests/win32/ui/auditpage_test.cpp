// The application audit page, its cards and the new application dialog under Wine, with a
// fake driver behind the rule store's seam: what the driver is sent is decoded again and
// compared, so the tests see the rules in force rather than the cards' own fields.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/heap.h"
#include "platform/msgbox.h"
#include "rules/auditrules.h"
#include "rules/caches.h"
#include "rules/decisions.h"
#include "rules/ruleport.h"
#include "rules/loader.h"
#include "tests/win32/support/consolehost.h"
#include "tests/win32/support/golden.h"
#include "ui/framework/application.h"
#include "ui/framework/describe.h"
#include "ui/framework/dialogs.h"
#include "ui/fwappruleadddlg/fwappruleadddlg.h"
#include "ui/tfwauditruleframe/tfwauditruleframe.h"

namespace {
struct Sent {
  std::string path;
  uint32_t access;
};
bool g_driverOpen = true;
std::vector<std::vector<Sent>> g_images;  // every audit image the driver got, decoded

struct CLink final : CAbsentDriverPort {
  bool IsOpen() override { return g_driverOpen; }
  uint32_t LoadIpRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t LoadAuditRuleSet(const void* image, uint32_t size) override {
    _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
    EXPECT_EQ(ParseAuditBody(static_cast<const uint8_t*>(image), size, rules), 0u);
    std::vector<Sent> decoded;
    for (const _RKFW_AUDIT_RULE& r : rules) decoded.push_back({r.AppPath ? r.AppPath : "", r.Access});
    ReleaseAuditRules(rules);
    g_images.push_back(decoded);
    return 0;
  }
  uint32_t SendVerdict(const _REPORT_EVENT_HEAD*) override { return 0; }
} g_link;

std::vector<std::string> g_boxes;
std::string g_chosenFile;  // what the open dialog answers; empty: cancelled
int g_dialogs = 0;
CRadioButton* (*g_choice)(TFWNewAppRuleDlg*) = nullptr;  // nullptr: the dialog is cancelled
void (*g_meanwhile)() = nullptr;  // what happens elsewhere while the dialog is open

// Puts `rules` (path, Access) in force as the console's start-up does.
void LoadRules(const std::vector<Sent>& rules) {
  _Array<_RKFW_AUDIT_RULE> array(kAuditRuleGrowStep);
  std::vector<std::string> paths;
  for (const Sent& s : rules) {
    _RKFW_AUDIT_RULE r = {};
    InitAuditRule(&r);
    r.AppPath = const_cast<char*>(s.path.c_str());
    r.Access = s.access;
    array.Append(r);
  }
  ASSERT_EQ(ApplyAuditRules(array), 0u);
  array.Clear();  // shallow: the texts are the strings above
  g_images.clear();
}

std::string ThisProgram() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

using ConditionsDialog = bool (*)(CControl* card, _RKFW_AUDIT_RULE* rule);

class CHostForm : public CForm, public CQuietConsoleHost {
 public:
  explicit CHostForm(CComponent* owner) : CForm(owner, "HostForm") {
    SetClientSize(kPageWidth, kPageHeight);
    SetFormFont(kConsoleFontFace, kConsoleFontPixels);
  }
  bool OpenAuditConditions(CControl* card, _RKFW_AUDIT_RULE* rule) override {
    return conditions != nullptr && conditions(card, rule);
  }
  ConditionsDialog conditions = nullptr;  // nullptr: "选项" does nothing
};

class AuditPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_driverOpen = true;
    g_images.clear();
    g_boxes.clear();
    g_chosenFile.clear();
    g_dialogs = 0;
    g_choice = nullptr;
    g_meanwhile = nullptr;
    page = nullptr;
    SetRulePort(&g_link);
    SetMessageBoxScript(
        [](void*, void*, const char* text, const char* caption, uint32_t) {
          g_boxes.push_back(std::string(text) + "|" + caption);
          if (page != nullptr && page->QueryClose()) g_boxes.push_back("(the page could go meanwhile)");
          return kIdOk;
        },
        nullptr);
    SetFileDialogScript(
        [](void*, CFileDialog* d) {
          EXPECT_EQ(d->Title, "选择需审核的应用程序");
          d->FileName = g_chosenFile;
          return !g_chosenFile.empty();
        },
        nullptr);
    SetModalScript(
        [](void*, CForm* form) {
          ++g_dialogs;
          auto* dlg = dynamic_cast<TFWNewAppRuleDlg*>(form);
          if (g_meanwhile != nullptr) g_meanwhile();
          if (dlg == nullptr || g_choice == nullptr) return mrCancel;
          g_choice(dlg)->Click();
          dlg->OkBtn->Click();
          return dlg->ModalResult();
        },
        nullptr);
    Application.Initialize();
    host = new CHostForm(&Application);
    host->EnsureCreated();
  }
  void TearDown() override {
    Application.Shutdown();
    SetModalScript(nullptr, nullptr);
    SetFileDialogScript(nullptr, nullptr);
    SetMessageBoxScript(nullptr, nullptr);
    SetRulePort(nullptr);
    ClearAuditRuleCache();
  }
  TFWAuditRuleFrame* Open() {
    page = new TFWAuditRuleFrame(host, *host);
    page->SetParent(host);
    page->SetAlign(TAlign::Client);
    page->Show();
    Application.ProcessMessages();
    return page;
  }
  std::vector<std::string> CardNames() {
    std::vector<std::string> names;
    for (int i = 0; i < page->CardCount(); ++i) names.push_back(page->Card(i)->Name());
    return names;
  }
  static std::string Lit(const TFWAuditRuleItemFrame* card) {
    const _RKFW_AUDIT_RULE* r = card->Rule();
    return std::string(PermitLit(r) ? "P" : "-") + (NotifyLit(r) ? "N" : "-") + (BlockLit(r) ? "B" : "-");
  }
  CHostForm* host = nullptr;
  static inline TFWAuditRuleFrame* page = nullptr;
};
}  // namespace

TEST_F(AuditPageTest, EmptyListGivesAnEmptyPageBuiltOnce) {
  Open();
  EXPECT_TRUE(page->Loaded());
  EXPECT_EQ(page->CardCount(), 0);
  EXPECT_TRUE(MatchesGolden(DescribeControls(page), VARDEEN_GOLDEN "\\auditruleframe.txt"));
  // Later resizes do not build again, even when the rules in force changed meanwhile.
  LoadRules({{"C:\\A.exe", 0x07}});
  page->SetBounds(0, 0, kPageWidth, kPageHeight - 10);
  host->SetClientSize(kPageWidth, kPageHeight + 20);
  Application.ProcessMessages();
  EXPECT_EQ(page->CardCount(), 0);
}

TEST_F(AuditPageTest, CardsShowTheRulesInForceInOrderWithWhatTheirFilesSay) {
  const std::string self = ThisProgram();
  LoadRules({{"C:\\Apps\\Mail.exe", 0x07}, {self, 0x27}, {"C:\\Apps\\Game.exe", 0x00}});
  Open();
  ASSERT_EQ(page->CardCount(), 3);
  EXPECT_EQ(CardNames(), (std::vector<std::string>{"TFWAuditRuleItemFrame0", "TFWAuditRuleItemFrame1",
                                                   "TFWAuditRuleItemFrame2"}));
  EXPECT_EQ(Lit(page->Card(0)) + Lit(page->Card(1)) + Lit(page->Card(2)), "P---N---B");
  // A file without a version resource (here: no file at all).
  EXPECT_TRUE(MatchesGolden(DescribeControls(page->Card(0)), VARDEEN_GOLDEN "\\auditruleitemframe.txt"));
  // A real program with a version record, and the shell's icon for it.
  TFWAuditRuleItemFrame* card = page->Card(1);
  EXPECT_EQ(card->DescLabel->Text(), "Audited test program");
  EXPECT_EQ(card->VersionLabel->Text(), "6.22.0.0");
  EXPECT_EQ(card->CompanyLabel->Text(), "Harlune");
  EXPECT_EQ(card->PathLabel->Text(), self);
  EXPECT_EQ(card->PathLabel->Hint(), self);
  EXPECT_NE(card->IconImage->Icon(), nullptr);
  // The cards own deep copies: the rules in force may go without the cards noticing.
  ClearAuditRuleCache();
  EXPECT_STREQ(page->Card(0)->Rule()->AppPath, "C:\\Apps\\Mail.exe");
}

TEST_F(AuditPageTest, ACardOutOfViewReadsItsFileWhenItFirstShows) {
  std::vector<Sent> rules(12, Sent{"C:\\Apps\\Mail.exe", 0x07});
  rules.back().path = ThisProgram();
  LoadRules(rules);
  Open();
  TFWAuditRuleItemFrame* last = page->Card(11);
  EXPECT_EQ(last->DescLabel->Text(), "");
  page->RuleScrollBox->ScrollInView(last);
  Application.ProcessMessages();
  EXPECT_EQ(last->DescLabel->Text(), "Audited test program");
}

// {Access before, icon clicked, Access after (or unchanged), what is lit after}
struct ClickCase {
  uint32_t before;
  char icon;
  uint32_t after;
  bool applied;
  const char* litBefore;
  const char* litAfter;
};

TEST_F(AuditPageTest, StateIconsFollowAndChangeAccess) {
  const ClickCase cases[] = {
      {0x07, 'P', 0x07, false, "P--", "P--"},  // lit: nothing happens, nothing is applied
      {0x27, 'N', 0x27, false, "-N-", "-N-"},
      {0x00, 'B', 0x00, false, "--B", "--B"},
      {0x27, 'P', 0x07, true, "-N-", "P--"},   // permit drops the ask-user bit
      {0x20, 'B', 0x00, true, "--B", "--B"},   // 0x20 alone lights block; a click clears it
      {0x17, 'P', 0x07, true, "---", "P--"},   // own conditions light nothing
      {0x37, 'N', 0x27, true, "---", "-N-"},
      {0x06, 'B', 0x00, true, "---", "--B"},   // TCP and UDP only
      {0x1C7, 'B', 0x1C0, true, "P--", "--B"},  // bits outside 0x37 stay
  };
  std::vector<Sent> rules;
  for (const ClickCase& c : cases) rules.push_back({"C:\\p" + std::to_string(rules.size()) + ".exe", c.before});
  LoadRules(rules);
  Open();
  ASSERT_EQ(page->CardCount(), static_cast<int>(std::size(cases)));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const ClickCase& c = cases[i];
    TFWAuditRuleItemFrame* card = page->Card(static_cast<int>(i));
    SCOPED_TRACE("Access " + std::to_string(c.before) + " click " + c.icon);
    EXPECT_EQ(Lit(card), c.litBefore);
    g_images.clear();
    CPaintBox* box = c.icon == 'P' ? card->PermitPaintBox : c.icon == 'N' ? card->NotifyPaintBox : card->BlockPaintBox;
    box->Click();
    EXPECT_EQ(card->Rule()->Access, c.after);
    EXPECT_EQ(Lit(card), c.litAfter);
    ASSERT_EQ(g_images.size(), c.applied ? 1u : 0u);
    if (c.applied) {
      // The whole list goes, in card order, with only this rule changed.
      ASSERT_EQ(g_images[0].size(), std::size(cases));
      EXPECT_EQ(g_images[0][i].access, c.after);
      EXPECT_EQ(g_images[0][i].path, rules[i].path);
      EXPECT_EQ(FindCachedAuditPath(rules[i].path.c_str())->Access, c.after);
    }
  }
  // Every card's hand pointer and hint.
  EXPECT_EQ(page->Card(0)->BlockPaintBox->Hint(), "禁止该应用程序访问网络");
  EXPECT_EQ(page->Card(0)->NotifyPaintBox->Hint(), "该应用程序访问网络时通知用户");
}

TEST_F(AuditPageTest, OptionsDoNothingUntilTheConditionsDialogIsPluggedIn) {
  LoadRules({{"C:\\a.exe", 0x07}});
  Open();
  page->Card(0)->OptBtn->Click();
  EXPECT_TRUE(g_images.empty());
  // A confirmed dialog that set conditions: the card lights nothing and the rule is applied.
  host->conditions = [](CControl*, _RKFW_AUDIT_RULE* rule) {
    rule->Access |= AUDIT_ACCESS_DETAILED;
    return true;
  };
  page->Card(0)->OptBtn->Click();
  host->conditions = nullptr;
  EXPECT_EQ(Lit(page->Card(0)), "---");
  ASSERT_EQ(g_images.size(), 1u);
  EXPECT_EQ(g_images[0][0].access, 0x17u);
}

TEST_F(AuditPageTest, AddingAProgramAppliesItLastAndRefusesAPathAlreadyAudited) {
  LoadRules({{"C:\\Apps\\Mail.exe", 0x07}});
  Open();
  // Cancelled open dialog, then a cancelled new application dialog: nothing changes.
  page->NewAppBtn->Click();
  g_chosenFile = ThisProgram();
  page->NewAppBtn->Click();
  EXPECT_EQ(g_dialogs, 1);
  EXPECT_EQ(page->CardCount(), 1);
  EXPECT_TRUE(g_images.empty());
  // The same path in other letter case is refused before the dialog opens.
  g_chosenFile = "c:\\APPS\\mail.EXE";
  page->NewAppBtn->Click();
  EXPECT_EQ(g_boxes, (std::vector<std::string>{"已经对该应用程序进行审核了!|错误"}));
  EXPECT_EQ(g_dialogs, 1);
  EXPECT_EQ(page->CardCount(), 1);
  Application.ProcessMessages();  // the box's probe asked for a rebuild
  // Notify: the card shows it lit and the driver gets it after the others.
  g_chosenFile = ThisProgram();
  g_choice = [](TFWNewAppRuleDlg* d) { return d->NotifyRadioButton; };
  page->NewAppBtn->Click();
  ASSERT_EQ(page->CardCount(), 2);
  EXPECT_EQ(Lit(page->Card(1)), "-N-");
  EXPECT_EQ(page->Card(1)->DescLabel->Text(), "Audited test program");
  ASSERT_EQ(g_images.size(), 1u);
  ASSERT_EQ(g_images[0].size(), 2u);
  EXPECT_EQ(g_images[0][1].path, ThisProgram());
  EXPECT_EQ(g_images[0][1].access, 0x27u);
  EXPECT_TRUE(page->IsAudited(CharUpperA(&ThisProgram()[0])));
  EXPECT_FALSE(page->IsAudited("C:\\Apps\\Mail"));

  // Other spellings of the same program, its short (8.3) name and a path through ".", are the
  // program already audited: the rule keeps the full long path.
  char shortPath[MAX_PATH] = {};
  ASSERT_NE(GetShortPathNameA(ThisProgram().c_str(), shortPath, MAX_PATH), 0u);
  EXPECT_NE(std::string(shortPath), ThisProgram());
  const size_t cut = ThisProgram().rfind('\\');
  for (const std::string& other : {std::string(shortPath), ThisProgram().substr(0, cut) + "\\.\\" + ThisProgram().substr(cut + 1)}) {
    g_boxes.clear();
    g_chosenFile = other;
    page->NewAppBtn->Click();
    EXPECT_EQ(g_boxes, (std::vector<std::string>{"已经对该应用程序进行审核了!|错误"})) << other;
    Application.ProcessMessages();
  }
  EXPECT_EQ(page->CardCount(), 2);
  EXPECT_EQ(FullLongPath(shortPath), ThisProgram());
}

TEST_F(AuditPageTest, DeletingKeepsTheOthersInOrderAndNamesNeverComeBack) {
  LoadRules({{"C:\\a.exe", 0x07}, {"C:\\b.exe", 0x27}, {"C:\\c.exe", 0x00}});
  Open();
  TFWAuditRuleItemFrame* second = page->Card(1);
  second->DelBtn->Click();
  EXPECT_EQ(page->CardCount(), 3);  // posted: the card outlives its own click
  second->DelBtn->Click();          // a second quick click posts it again
  Application.ProcessMessages();
  EXPECT_EQ(CardNames(), (std::vector<std::string>{"TFWAuditRuleItemFrame0", "TFWAuditRuleItemFrame2"}));
  ASSERT_EQ(g_images.size(), 1u);  // the stale second post destroyed and applied nothing
  ASSERT_EQ(g_images[0].size(), 2u);
  EXPECT_EQ(g_images[0][0].path, "C:\\a.exe");
  EXPECT_EQ(g_images[0][1].path, "C:\\c.exe");
  EXPECT_EQ(page->FindComponent("TFWAuditRuleItemFrame1"), nullptr);

  g_chosenFile = "C:\\d.exe";
  g_choice = [](TFWNewAppRuleDlg* d) { return d->BlockRadioButton; };
  page->NewAppBtn->Click();
  EXPECT_EQ(CardNames(), (std::vector<std::string>{"TFWAuditRuleItemFrame0", "TFWAuditRuleItemFrame2",
                                                   "TFWAuditRuleItemFrame3"}));
  EXPECT_EQ(Lit(page->Card(2)), "--B");
}

TEST_F(AuditPageTest, ADecisionRecordedWhileTheDialogIsOpenKeepsThePageAndIsKept) {
  LoadRules({{"C:\\a.exe", 0x07}, {"C:\\b.exe", 0x00}});
  Open();
  // The prompt records a decision and the main window asks to rebuild the page.
  g_meanwhile = [] {
    ASSERT_EQ(AddAuditRule("C:\\x.exe", AUDIT_BLOCK), 0u);
    EXPECT_FALSE(page->QueryClose()) << "the page must outlive its open dialog";
  };
  g_chosenFile = "C:\\new.exe";
  g_choice = [](TFWNewAppRuleDlg* d) { return d->PermitRadioButton; };
  page->NewAppBtn->Click();
  ASSERT_FALSE(g_images.empty());
  std::vector<std::string> sent;
  for (const Sent& r : g_images.back()) sent.push_back(r.path);
  EXPECT_EQ(sent, (std::vector<std::string>{"C:\\a.exe", "C:\\b.exe", "C:\\x.exe", "C:\\new.exe"}));
  Application.ProcessMessages();
  ASSERT_EQ(page->CardCount(), 4);
  EXPECT_STREQ(page->Card(2)->Rule()->AppPath, "C:\\x.exe");
  EXPECT_TRUE(page->QueryClose());
}

// The prompt records a decision under a card's options dialog that is then cancelled, or for
// the very program the new application dialog is adding: the page shows it, the next delete
// keeps it, and the program has one rule, the dialog's.
TEST_F(AuditPageTest, ADecisionRecordedUnderAnyDialogIsShownAfterItAndKeptOnce) {
  LoadRules({{"C:\\a.exe", 0x07}});
  Open();
  static const char* g_recorded = "C:\\x.exe";
  g_meanwhile = [] {
    ASSERT_EQ(AddAuditRule(g_recorded, AUDIT_BLOCK), 0u);
    EXPECT_FALSE(page->QueryClose());
  };
  host->conditions = [](CControl*, _RKFW_AUDIT_RULE*) { return g_meanwhile(), false; };  // cancelled
  page->Card(0)->OptBtn->Click();
  Application.ProcessMessages();
  ASSERT_EQ(page->CardCount(), 2) << "rebuilt once the dialog closed";
  page->Card(0)->DelBtn->Click();
  Application.ProcessMessages();
  ASSERT_EQ(g_images.back().size(), 1u);
  EXPECT_EQ(g_images.back()[0].path, "C:\\x.exe");

  g_recorded = "C:\\NEW.exe";
  g_chosenFile = "C:\\new.exe";
  g_choice = [](TFWNewAppRuleDlg* d) { return d->PermitRadioButton; };
  page->NewAppBtn->Click();
  Application.ProcessMessages();
  ASSERT_EQ(g_images.back().size(), 2u);
  EXPECT_EQ(g_images.back()[1].path, "C:\\new.exe");
  EXPECT_EQ(g_images.back()[1].access, 0x07u);
  EXPECT_EQ(page->CardCount(), 2);
}

TEST_F(AuditPageTest, WithoutADriverTheChangeIsToldAndTheCardsShowTheRulesInForce) {
  LoadRules({{"C:\\a.exe", 0x27}, {"C:\\b.exe", 0x07}});
  Open();
  g_driverOpen = false;
  page->Card(0)->PermitPaintBox->Click();
  EXPECT_EQ(g_boxes, (std::vector<std::string>{"应用规则失败!|错误"}));
  Application.ProcessMessages();
  ASSERT_EQ(page->CardCount(), 2);
  EXPECT_EQ(Lit(page->Card(0)), "-N-");
  // A delete comes back too, and the names go on counting.
  page->Card(1)->DelBtn->Click();
  Application.ProcessMessages();
  EXPECT_EQ(g_boxes.size(), 2u);
  EXPECT_EQ(CardNames(), (std::vector<std::string>{"TFWAuditRuleItemFrame4", "TFWAuditRuleItemFrame5"}));
  EXPECT_STREQ(page->Card(1)->Rule()->AppPath, "C:\\b.exe");
  EXPECT_TRUE(g_images.empty());
}

TEST_F(AuditPageTest, CardsAndThePageGiveBackEveryBlockTheyTook) {
  LoadRules({{"C:\\a.exe", 0x27}, {"C:\\b.exe", 0x07}});
  int32_t before = PlatformLiveBlocks();
  Open();
  page->Card(0)->BlockPaintBox->Click();  // the cache is replaced by fresh copies
  page->Card(1)->SetRule(page->Card(0)->Rule());
  page->Card(1)->SetRule(nullptr);
  int32_t withPage = PlatformLiveBlocks();
  FreeComponent(page);
  // What is left is the cache of two rules (paths only), as before the page.
  EXPECT_EQ(PlatformLiveBlocks(), before);
  EXPECT_GT(withPage, before);
}

TEST_F(AuditPageTest, NewApplicationDialogNeedsAChoiceAndBuildsADefaultRule) {
  auto* dlg = new TFWNewAppRuleDlg(host);
  dlg->SetAppPath("C:\\Program Files\\Mixed Case\\Tool.EXE");
  dlg->EnsureCreated();
  EXPECT_TRUE(MatchesGolden(DescribeControls(dlg), VARDEEN_GOLDEN "\\fwappruleadddlg.txt"));
  EXPECT_FALSE(dlg->OkBtn->Enabled());
  dlg->OkBtn->Click();
  EXPECT_EQ(dlg->NewRule(), nullptr);
  dlg->NotifyRadioButton->Click();
  EXPECT_TRUE(dlg->OkBtn->Enabled());
  dlg->PermitRadioButton->Click();
  dlg->NotifyRadioButton->Click();
  EXPECT_TRUE(dlg->OkBtn->Enabled());
  dlg->OkBtn->Click();
  EXPECT_EQ(dlg->ModalResult(), mrOk);
  const _RKFW_AUDIT_RULE* rule = dlg->NewRule();
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->Access, 0x27u);
  EXPECT_STREQ(rule->AppPath, "C:\\Program Files\\Mixed Case\\Tool.EXE");
  // Everything else as a new rule has it.
  _RKFW_AUDIT_RULE fresh = {};
  InitAuditRule(&fresh);
  _RKFW_AUDIT_RULE made;
  memcpy(&made, rule, sizeof made);
  made.RuleId = fresh.RuleId;
  made.AppPath = nullptr;
  made.Access = fresh.Access;
  EXPECT_EQ(memcmp(&made, &fresh, sizeof made), 0);
  // A second OK replaces the first rule (block keeps the operation masks).
  dlg->BlockRadioButton->Click();
  dlg->OkBtn->Click();
  EXPECT_EQ(dlg->NewRule()->Access, 0u);
  EXPECT_EQ(dlg->NewRule()->TcpOps, 0xFu);
  FreeComponent(dlg);
}
