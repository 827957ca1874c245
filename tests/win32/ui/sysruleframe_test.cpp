// The rule set page and its cards under Wine: the order of the cards against their protocols,
// the end buttons, moves, deletion, the save/open/apply road with its files, registry value
// and slider, the questions asked, what one card shows, and a page of a thousand rules.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/qeltoption.h"
#include "base/result.h"
#include "platform/heap.h"
#include "platform/msgbox.h"
#include "rules/caches.h"
#include "rules/codec.h"
#include "rules/ruleport.h"
#include "rules/iprules.h"
#include "rules/loader.h"
#include "rules/rulefile.h"
#include "tests/win32/settings/scratch_registry.h"
#include "tests/win32/support/consolehost.h"
#include "tests/win32/support/golden.h"
#include "ui/framework/application.h"
#include "ui/framework/describe.h"
#include "ui/framework/dialogs.h"
#include "ui/tfwruleitemframe/ruleart.h"
#include "ui/tfwruleitemframe/tfwruleitemframe.h"
#include "ui/tfwsysruleframe/tfwsysruleframe.h"

namespace {
std::vector<std::string> g_boxes;  // "text|caption" of every message box
int g_boxAnswer = kIdOk;
std::vector<std::string> g_dialogs;  // titles of the file dialogs shown
std::string g_chosenFile;            // the file dialog's answer; "" cancels
std::vector<int> g_sliderChanges;

// The rule edit dialog's stand-in: a new rule of g_newProtocol, or an edit of the name.
bool g_editorOk = true;
int32_t g_newProtocol = RULE_PROTO_TCP;
int32_t g_editProtocol = -1;  // the protocol an edit gives, or -1 to keep it
bool ScriptedEditor(CComponent*, _RKFW_RULE* rule, _RKFW_RULE** created) {
  if (!g_editorOk) return false;
  if (rule != nullptr) {
    if (g_editProtocol >= 0) rule->Protocol = g_editProtocol;
    PlatformFree(rule->Name);
    rule->Name = CopyHeapText("edited");
    rule->Conditions = RULE_COND_SEND;
    return true;
  }
  auto* fresh = static_cast<_RKFW_RULE*>(PlatformAlloc(sizeof(_RKFW_RULE)));
  fresh->Protocol = g_newProtocol;
  fresh->Name = CopyHeapText("new");
  *created = fresh;
  return true;
}

struct COpenDriver final : CAbsentDriverPort {
  bool IsOpen() override { return true; }
  uint32_t LoadIpRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t LoadAuditRuleSet(const void*, uint32_t) override { return 0; }
  uint32_t SendVerdict(const _REPORT_EVENT_HEAD*) override { return 0; }
} g_openDriver;

_RKFW_RULE MakeRule(int32_t protocol, const char* name) {
  _RKFW_RULE rule = {};
  rule.Protocol = protocol;
  rule.Name = CopyHeapText(name);
  return rule;
}

// The main window's part the page needs: its owner, holding the level slider, and the rule
// edit dialog's stand-in.
class CHostForm : public CForm, public CQuietConsoleHost {
 public:
  explicit CHostForm(CComponent* owner) : CForm(owner, "FWMainForm") {
    SetBounds(0, 0, 560, 340);
    TrackBar1 = NewControl<CTrackBar>(this, this, "TrackBar1", 0, 0, 30, 10);
    TrackBar1->SetRange(0, 3);
    TrackBar1->SetPosition(1);
    TrackBar1->SetVisible(false);
    TrackBar1->OnChange = [this](CComponent*) { g_sliderChanges.push_back(TrackBar1->Position()); };
  }
  int SecurityLevel() const override { return TrackBar1->Position(); }
  void SelectSecurityLevel(int level) override {
    if (TrackBar1->Position() == level) return;
    TrackBar1->SetPosition(level);
    Fire(TrackBar1->OnChange, TrackBar1);
  }
  bool OpenRuleEditor(CComponent* owner, _RKFW_RULE* rule, _RKFW_RULE** created) override {
    return ScriptedEditor(owner, rule, created);
  }
  CTrackBar* TrackBar1;
};

class RulePage : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    g_boxAnswer = kIdOk;
    g_dialogs.clear();
    g_chosenFile.clear();
    g_sliderChanges.clear();
    g_editorOk = true;
    g_newProtocol = RULE_PROTO_TCP;
    g_editProtocol = -1;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "vardeen_rulepage_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    SetRulePort(&g_openDriver);
    SetMessageBoxScript(
        [](void*, void*, const char* text, const char* caption, uint32_t) {
          g_boxes.push_back(std::string(text) + "|" + caption);
          return g_boxAnswer;
        },
        nullptr);
    SetFileDialogScript(
        [](void*, CFileDialog* dialog) {
          g_dialogs.push_back(dialog->Title);
          dialog->FileName = g_chosenFile;
          return !g_chosenFile.empty();
        },
        nullptr);
    Application.Initialize();
  }
  void TearDown() override {
    Application.Shutdown();
    SetFileDialogScript(nullptr, nullptr);
    SetMessageBoxScript(nullptr, nullptr);
    SetRulePort(nullptr);
    ClearIpRuleCache();
  }
  // The rules in force, "P:name" for each (P the protocol number).
  void SetCache(const std::vector<std::string>& rules) {
    _Array<_RKFW_RULE> array(kIpRuleGrowStep);
    for (const std::string& r : rules) array.Append(MakeRule(r[0] - '0', r.c_str() + 2));
    ASSERT_EQ(ApplyIpRules(array), RESULT_OK);
    ReleaseRules(array);
  }
  TSysRuleFrame* Open() {
    host_ = new CHostForm(&Application);
    page_ = new TSysRuleFrame(host_, *host_);
    page_->SetParent(host_);
    page_->SetBounds(0, 20, kPageWidth, kPageHeight);
    page_->Show();
    host_->EnsureCreated();
    host_->Show();
    return page_;
  }
  static void Pump() { Application.ProcessMessages(); }
  // The names on the cards in order; checks that the stack shows them in the same order.
  std::string Names() {
    std::string names;
    int lastTop = -1;
    for (int32_t i = 0; i < page_->Cards.Count; ++i) {
      TFWRuleItemFrame* card = page_->Cards[i];
      int top = page_->RuleScrollBox->StackTop(card);
      EXPECT_GT(top, lastTop) << "card " << i << " stands out of order";
      lastTop = top;
      names += std::string(names.empty() ? "" : ",") + card->Rule->Name;
    }
    return names;
  }
  // "u" for an enabled Up button, "-" for a disabled one; the same for Down.
  std::string Arrows() {
    std::string arrows;
    for (int32_t i = 0; i < page_->Cards.Count; ++i) {
      arrows += page_->Cards[i]->UpBitBtn->Enabled() ? "u" : "-";
      arrows += page_->Cards[i]->DownBitBtn->Enabled() ? "d " : "- ";
    }
    return arrows;
  }
  std::string CacheNames() {
    std::string names;
    for (uint32_t i = 0; i < IpRuleCache.Length(); ++i)
      names += std::string(names.empty() ? "" : ",") + IpRuleCache.Data()[i].Name;
    return names;
  }
  std::string FileNames(const std::string& path, std::vector<uint32_t>* options = nullptr) {
    _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
    EXPECT_EQ(ReadRuleFile(path.c_str(), rules, RuleFileLookup::AsGiven), RESULT_OK) << path;
    std::string names;
    for (const _RKFW_RULE& r : rules) {
      names += std::string(names.empty() ? "" : ",") + r.Name;
      if (options != nullptr) options->push_back(r.Options);
    }
    ReleaseRules(rules);
    return names;
  }
  void WriteFile(const std::string& path, const std::vector<std::string>& rules) {
    _Array<_RKFW_RULE> array(kIpRuleGrowStep);
    for (const std::string& r : rules) array.Append(MakeRule(r[0] - '0', r.c_str() + 2));
    ASSERT_EQ(WriteRuleFile(path.c_str(), array), RESULT_OK);
    ReleaseRules(array);
  }
  CScratchRegistry registry_;
  std::string folder_;
  CHostForm* host_ = nullptr;
  TSysRuleFrame* page_ = nullptr;
};

TEST_F(RulePage, EmptyCacheGivesAnEmptyPageAndTheFirstNewCardStandsAlone) {
  TSysRuleFrame* page = Open();
  EXPECT_EQ(page->Cards.Count, 0);
  EXPECT_FALSE(page->Modified);
  EXPECT_FALSE(page->SaveBitBtn->Enabled());
  page->NewRuleBtn->Click();
  ASSERT_EQ(page->Cards.Count, 1);
  EXPECT_STREQ(page->Cards[0]->Name(), "FWRuleItemFrame0");
  EXPECT_EQ(page->RuleScrollBox->StackTop(page->Cards[0]), 0);
  EXPECT_EQ(Arrows(), "-- ");
  EXPECT_TRUE(page->Modified);
  EXPECT_TRUE(page->SaveBitBtn->Enabled());
}

TEST_F(RulePage, ANewRuleLandsAfterTheLastCardOfItsProtocol) {
  SetCache({"0:ip", "3:tcp1", "3:tcp2", "4:udp"});
  TSysRuleFrame* page = Open();
  EXPECT_EQ(Names(), "ip,tcp1,tcp2,udp");
  EXPECT_FALSE(page->Modified);
  g_editorOk = false;
  page->NewRuleBtn->Click();
  EXPECT_EQ(Names(), "ip,tcp1,tcp2,udp");
  EXPECT_FALSE(page->Modified) << "a cancelled dialog changes nothing";
  g_editorOk = true;
  g_newProtocol = RULE_PROTO_TCP;
  page->NewRuleBtn->Click();
  EXPECT_EQ(Names(), "ip,tcp1,tcp2,new,udp");
  EXPECT_EQ(Arrows(), "-d ud ud ud u- ");
  g_newProtocol = RULE_PROTO_UDP;
  page->NewRuleBtn->Click();
  EXPECT_EQ(Names(), "ip,tcp1,tcp2,new,udp,new");
  EXPECT_EQ(Arrows(), "-d ud ud ud ud u- ");
}

TEST_F(RulePage, CardsMoveOnlyWithinTheirProtocolAndThePointerFollows) {
  SetCache({"1:icmp", "3:t1", "3:t2", "4:udp"});
  TSysRuleFrame* page = Open();
  TFWRuleItemFrame* t1 = page->Cards[1];
  TFWRuleItemFrame* t2 = page->Cards[2];
  page->MoveCardUp(page->Cards[0]);
  t1->UpBitBtn->Click();  // would leave the TCP group
  t2->DownBitBtn->Click();
  EXPECT_EQ(Names(), "icmp,t1,t2,udp");
  EXPECT_FALSE(page->Modified);
  t2->UpBitBtn->Click();
  EXPECT_EQ(Names(), "icmp,t2,t1,udp");
  EXPECT_TRUE(page->Modified);
  RECT r;
  GetWindowRect(t2->UpBitBtn->Handle(), &r);
  POINT at;
  GetCursorPos(&at);
  EXPECT_EQ(at.x, (r.left + r.right) / 2);
  EXPECT_EQ(at.y, (r.top + r.bottom) / 2);
  t2->DownBitBtn->Click();
  EXPECT_EQ(Names(), "icmp,t1,t2,udp");
  EXPECT_EQ(Arrows(), "-d ud ud u- ");

  // An edit that changes the protocol takes the card to the end of its new protocol's cards.
  g_editProtocol = RULE_PROTO_UDP;
  t1->ModifyBtn->Click();
  EXPECT_EQ(Names(), "icmp,t2,udp,edited");
  EXPECT_EQ(page->Cards[3], t1);
  g_editProtocol = RULE_PROTO_IP;
  t2->ModifyBtn->Click();
  EXPECT_EQ(Names(), "edited,icmp,udp,edited");
  EXPECT_EQ(Arrows(), "-d ud ud u- ");
}

TEST_F(RulePage, DeletingAsksFirstAndKeepsTheEndButtonsRight) {
  SetCache({"0:a", "0:b", "0:c"});
  TSysRuleFrame* page = Open();
  TFWRuleItemFrame* first = page->Cards[0];
  g_boxAnswer = kIdCancel;
  first->DeleteBtn->Click();
  Pump();
  EXPECT_EQ(g_boxes, std::vector<std::string>{"真的要删除该条规则吗？|删除"});
  EXPECT_EQ(Names(), "a,b,c");
  EXPECT_FALSE(page->Modified);
  g_boxAnswer = kIdOk;
  first->DeleteBtn->Click();
  EXPECT_EQ(page->Cards.Count, 3) << "the card outlives its own click";
  Pump();
  EXPECT_EQ(Names(), "b,c");
  EXPECT_EQ(Arrows(), "-d u- ");
  EXPECT_TRUE(page->Modified);
  // A request for a card that is already gone, or for none, does nothing.
  SendMessageA(page->Handle(), WM_DELETERULECARD, 0, reinterpret_cast<LPARAM>(first));
  SendMessageA(page->Handle(), WM_DELETERULECARD, 0, 0);
  EXPECT_EQ(Names(), "b,c");
}

// Esc clicked the first card's delete button, out of sight, and Enter confirmed it.
TEST_F(RulePage, EscAndEnterOnTheWindowNeverDeleteOrChangeARule) {
  SetCache({"0:a", "0:b", "0:c"});
  TSysRuleFrame* page = Open();
  for (WPARAM key : {VK_ESCAPE, VK_RETURN, VK_ESCAPE}) {
    MSG msg = {host_->Handle(), WM_KEYDOWN, key, 0, 0, {0, 0}};
    Application.IsDialogKey(msg);
    Pump();
  }
  EXPECT_TRUE(g_boxes.empty()) << g_boxes.front();
  EXPECT_EQ(Names(), "a,b,c");
  EXPECT_FALSE(page->Modified);
}

TEST_F(RulePage, SaveAsksForAFileOnceBindsItAndAppliesTheCustomLevel) {
  SetCache({"0:ip", "3:tcp", "4:udp"});
  TSysRuleFrame* page = Open();
  TFWRuleItemFrame* tcp = page->Cards[1];
  tcp->EnableCheckBox->Click();
  EXPECT_NE(tcp->Rule->Options & RULE_OPT_DISABLED, 0u);
  EXPECT_EQ(tcp->RulePanel->Color(), static_cast<COLORREF>(kCardDisabledColor));
  EXPECT_TRUE(page->SaveBitBtn->Enabled());
  page->MoveCardUp(page->Cards[2]);  // refused: UDP under TCP
  std::string path = folder_ + "mine.rul";
  g_chosenFile = path;
  page->SaveBitBtn->Click();
  EXPECT_EQ(g_dialogs, std::vector<std::string>{"保存规则文件"});
  std::vector<uint32_t> options;
  EXPECT_EQ(FileNames(path, &options), "ip,tcp,udp");
  EXPECT_EQ(options, (std::vector<uint32_t>{0, RULE_OPT_DISABLED, 0}));
  EXPECT_EQ(ReadCustomRuleFile(), path);
  EXPECT_STREQ(page->CurrentRuleFile.Data(), path.c_str());
  EXPECT_FALSE(page->Modified);
  EXPECT_EQ(host_->TrackBar1->Position(), 3);
  EXPECT_EQ(g_sliderChanges, std::vector<int>{3});
  EXPECT_NE(IpRuleCache.Data()[1].Options & RULE_OPT_DISABLED, 0u) << "the page's rules are applied";
  // The second save goes to the bound file without a question; the slider is left alone.
  tcp->EnableCheckBox->Click();
  page->SaveBitBtn->Click();
  EXPECT_EQ(g_dialogs.size(), 1u);
  options.clear();
  FileNames(path, &options);
  EXPECT_EQ(options[1], 0u);
  EXPECT_EQ(g_sliderChanges.size(), 1u);
}

TEST_F(RulePage, ACancelledSaveKeepsTheEditsAndAppliesNothing) {
  SetCache({"3:old"});
  TSysRuleFrame* page = Open();
  page->NewRuleBtn->Click();
  page->SaveBitBtn->Click();
  EXPECT_EQ(g_dialogs.size(), 1u);
  EXPECT_TRUE(page->Modified);
  EXPECT_EQ(page->CurrentRuleFile.Data()[0], '\0');
  EXPECT_EQ(host_->TrackBar1->Position(), 1);
  EXPECT_EQ(CacheNames(), "old");
  EXPECT_EQ(Names(), "old,new");
}

TEST_F(RulePage, AFailedSaveIsToldAndTheRulesStayUnsaved) {
  SetCache({"0:a"});
  TSysRuleFrame* page = Open();
  page->Cards[0]->EnableCheckBox->Click();
  g_chosenFile = folder_ + "no such folder\\x.rul";
  EXPECT_EQ(page->SaveRuleFile(), TSaveResult::Failed);
  EXPECT_EQ(g_boxes, std::vector<std::string>{"保存规则文件失败!|错误"});
  EXPECT_TRUE(page->Modified);
  EXPECT_EQ(page->CurrentRuleFile.Data()[0], '\0');
  EXPECT_EQ(ReadCustomRuleFile(), kDefaultCustomRuleFile) << "no level names a file that is not there";
  g_boxAnswer = kIdYes;
  EXPECT_FALSE(page->QueryClose()) << "leaving now would lose the rules";
}

TEST_F(RulePage, QueryCloseAsksOnlyWhenModified) {
  SetCache({"0:a"});
  TSysRuleFrame* page = Open();
  EXPECT_TRUE(page->QueryClose());
  EXPECT_TRUE(g_boxes.empty());
  page->Cards[0]->EnableCheckBox->Click();
  g_boxAnswer = kIdCancel;
  EXPECT_FALSE(page->QueryClose());
  g_boxAnswer = kIdNo;
  EXPECT_TRUE(page->QueryClose());
  EXPECT_TRUE(g_dialogs.empty());
  g_boxAnswer = kIdYes;  // then the file dialog is cancelled: the page stays with its edits
  EXPECT_FALSE(page->QueryClose());
  EXPECT_EQ(g_dialogs.size(), 1u);
  EXPECT_EQ(g_boxes[0], "规则已被修改，还未被保存，是否保存?|保存");
  g_boxAnswer = 0;  // a box that could not be shown answers nothing
  EXPECT_FALSE(page->QueryClose());
  EXPECT_TRUE(page->Modified);
}

TEST_F(RulePage, OpeningAFileSavesTheModifiedSetFirstAndNamesKeepCounting) {
  SetCache({"0:a", "0:b", "0:c", "0:d", "0:e"});
  TSysRuleFrame* page = Open();
  std::string bound = folder_ + "bound.rul", other = folder_ + "other.rul";
  WriteFile(bound, {"0:x"});
  WriteFile(other, {"1:p", "3:q", "4:r"});
  page->OpenRuleFile(bound.c_str());
  EXPECT_EQ(Names(), "x");
  page->NewRuleBtn->Click();
  page->OpenRuleFile(other.c_str());
  EXPECT_TRUE(g_dialogs.empty());
  EXPECT_EQ(FileNames(bound), "x,new") << "the modified set went to its file first";
  EXPECT_EQ(Names(), "p,q,r");
  EXPECT_STREQ(page->Cards[0]->Name(), "FWRuleItemFrame7");
  EXPECT_STREQ(page->Cards[2]->Name(), "FWRuleItemFrame9");
  EXPECT_STREQ(page->CurrentRuleFile.Data(), other.c_str());
  EXPECT_TRUE(page->Modified) << "a set other than the one in force can be saved and applied";
  EXPECT_EQ(Arrows(), "-d ud u- ");
  WriteFile(bound, {"0:a", "0:b", "0:c", "0:d", "0:e"});  // the set in force: nothing to save
  page->OpenRuleFile(bound.c_str());
  EXPECT_FALSE(page->Modified) << CacheNames();
}

// A rule of a protocol the driver has no group for would vanish on save: the user is asked.
TEST_F(RulePage, RulesOfAnUnknownProtocolAreToldBeforeTheSave) {
  SetCache({"0:a"});
  TSysRuleFrame* page = Open();
  g_newProtocol = 7;  // as a file of another tool may hold
  page->NewRuleBtn->Click();
  g_chosenFile = folder_ + "kept.rul";
  g_boxAnswer = kIdNo;
  EXPECT_EQ(page->SaveRuleFile(), TSaveResult::Cancelled);
  EXPECT_EQ(g_boxes.back(), "有1条规则的协议无法识别，保存和应用时这些规则将被丢弃。是否继续保存?|保存");
  g_boxAnswer = kIdYes;
  EXPECT_EQ(page->SaveRuleFile(), TSaveResult::Saved);
  EXPECT_EQ(FileNames(g_chosenFile), "a");
}

TEST_F(RulePage, ACardShowsItsRuleAndOwnsItsRecord) {
  int32_t blocks = PlatformLiveBlocks();
  {
    TSysRuleFrame* page = Open();
    page->NewRuleBtn->Click();
    TFWRuleItemFrame* card = page->Cards[0];
    _RKFW_RULE rule = MakeRule(RULE_PROTO_UDP, "允许DNS");
    rule.Description = CopyHeapText("域名解析");
    rule.Action = RULE_ACTION_NOTIFY;
    rule.Conditions = RULE_COND_RECEIVE | RULE_COND_SEND | RULE_COND_CONNECT;
    rule.Options = RULE_OPT_APPLICATION | RULE_OPT_DISABLED;
    card->SetRule(&rule, true);
    ReleaseRule(&rule);  // the card holds its own copy
    EXPECT_EQ(card->RuleDescLabel->Text(), "允许DNS");
    EXPECT_EQ(card->RuleDescLabel->Hint(), "域名解析");
    EXPECT_EQ(card->ProtoLabel->Text(), "UDP");
    EXPECT_EQ(card->ConLabel->Text(), "接收,发送,连接");
    EXPECT_EQ(card->ObjectLabel->Text(), "所有应用程序");
    EXPECT_EQ(card->OPPaintBox->Hint(), "通知用户");
    EXPECT_FALSE(card->EnableCheckBox->Checked());
    EXPECT_EQ(card->RulePanel->Color(), static_cast<COLORREF>(kCardDisabledColor));
    EXPECT_TRUE(MatchesGolden(DescribeControls(card), VARDEEN_GOLDEN "\\ruleitemframe.txt"));
    // An edit changes the card's own record; a cancelled one changes nothing.
    page->SetModified(false);
    g_editorOk = false;
    card->ModifyBtn->Click();
    EXPECT_FALSE(page->Modified);
    g_editorOk = true;
    card->ModifyBtn->Click();
    EXPECT_TRUE(page->Modified);
    EXPECT_EQ(card->RuleDescLabel->Text(), "edited");
    EXPECT_EQ(card->ConLabel->Text(), "发送");
    card->SetRule(nullptr, true);
    EXPECT_EQ(card->ProtoLabel->Text(), "UDP") << "no rule, no change";
    Application.Shutdown();
  }
  EXPECT_EQ(PlatformLiveBlocks(), blocks) << "every card released its record once";
}

TEST_F(RulePage, PageDescription) {
  SetCache({"0:ip", "3:tcp"});
  TSysRuleFrame* page = Open();
  EXPECT_TRUE(MatchesGolden(DescribeControls(page), VARDEEN_GOLDEN "\\sysruleframe.txt"));
}

// A user with a thousand rules: the page opens with the windows of the cards in view only, and
// the last card moved up ten places stays in view, in the order of Cards.
TEST_F(RulePage, AThousandRulesCostTheWindowsOfTheCardsInView) {
  std::vector<std::string> rules;
  for (int i = 0; i < 1000; ++i) rules.push_back("3:r" + std::to_string(i));
  SetCache(rules);
  TSysRuleFrame* page = Open();
  ASSERT_EQ(page->Cards.Count, 1000);
  CScrollBox* box = page->RuleScrollBox;
  auto withWindows = [&] {
    int n = 0;
    for (int32_t i = 0; i < page->Cards.Count; ++i) n += page->Cards[i]->Handle() != nullptr;
    return n;
  };
  int view = box->ClientRect().bottom, screen = view / kRuleCardHeight + 2;
  EXPECT_LE(withWindows(), screen);
  // Paged through to the end and back, with the wheel and the scroll bar's thumb: never more
  // than the windows of one screen of cards and one spare card.
  int most = 0;
  for (int pos = 0; pos < box->ContentHeight(); pos += view) {
    SendMessageA(box->Handle(), WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
    most = std::max(most, withWindows());
  }
  for (int i = 0; i < 40; ++i) {
    SendMessageA(box->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    most = std::max(most, withWindows());
  }
  for (int pos : {31000, 20, 59990, 12345}) {
    box->SetScrollPos(pos);
    most = std::max(most, withWindows());
  }
  EXPECT_LE(most, screen + 1);
  TFWRuleItemFrame* last = page->Cards[999];
  box->ScrollInView(last);
  for (int i = 0; i < 10; ++i) {
    page->MoveCardUp(last);
    int top = box->StackTop(last);
    ASSERT_GE(top, box->ScrollPos()) << i;
    ASSERT_LE(top + last->Height(), box->ScrollPos() + view) << i;
  }
  EXPECT_EQ(page->Cards[989], last);
  EXPECT_LE(withWindows(), screen + 1);
  Names();
  EXPECT_EQ(Arrows().substr(0, 3), "-d ");
  EXPECT_EQ(Arrows().substr(999 * 3), "u- ");
  // The card that becomes the last while out of view shows its greyed arrow once in view.
  box->SetScrollPos(0);
  TFWRuleItemFrame* end = page->Cards[998];
  SendMessageA(page->Handle(), WM_DELETERULECARD, 0, reinterpret_cast<LPARAM>(page->Cards[999]));
  ASSERT_EQ(end->Handle(), nullptr);
  box->ScrollInView(end);
  ASSERT_NE(end->Handle(), nullptr);
  EXPECT_EQ(end->DownBitBtn->SkinGlyph(), SharedRuleGlyph(TRuleGlyph::Down, true));
}

}  // namespace
