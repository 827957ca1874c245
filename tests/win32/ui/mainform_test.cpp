// The main window under Wine with a fake driver port, a scratch registry and a
// scratch program folder: start-up order, the switch and its companion message, the poll's
// indicator, pages, the slider and shut-down.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/qeltoption.h"
#include "platform/file.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "rules/auditrules.h"
#include "rules/ruleport.h"
#include "rules/iprules.h"
#include "rules/decisions.h"
#include "rules/loader.h"
#include "rules/rulefile.h"
#include "driver/protocol.h"
#include "log/eventlog.h"
#include "tests/win32/support/golden.h"
#include "ui/framework/describe.h"
#include "ui/framework/windowquery.h"
#include "tests/win32/settings/scratch_registry.h"
#include "ui/framework/application.h"
#include "ui/tfwauditruleframe/tfwauditruleframe.h"
#include "ui/tfwlogviewframe/tfwlogviewframe.h"
#include "ui/tfwmain/eventwiring.h"
#include "ui/tfwmain/tfwmain.h"

namespace {
std::vector<uint8_t> g_batch;  // the next poll's records
void QueueRecord(uint32_t kind) {
  size_t at = g_batch.size();
  g_batch.resize(at + 220);
  memcpy(&g_batch[at + 8], &kind, 4);
  memcpy(&g_batch[at + 36], "app.exe", 7);
}

struct FakeDriver {
  uint32_t detect = 0, open = 0, getResult = 0;
  uint8_t enabled = 1;
  std::vector<std::string> calls;
  std::vector<int> sets;
} g_fake;

struct FakeRules {
  std::vector<uint32_t> ipImages, auditImages;  // sizes, in order sent
  std::vector<uint32_t> verdicts;               // the kind of each event answered, in order
} g_rules;

// The console's port: the main window's requests land in g_fake, the rule store's images in
// g_rules.
struct CFakePort final : CAbsentDriverPort {
  uint32_t DetectPlatform() override {
    g_fake.calls.push_back("DetectPlatform");
    return g_fake.detect;
  }
  uint32_t OpenDriver(uint8_t start) override {
    g_fake.calls.push_back("OpenDriver" + std::to_string(start));
    return g_fake.open;
  }
  bool IsOpen() override { return g_fake.open == 0; }
  uint32_t GetFilterEnabled(uint8_t* e) override {
    *e = g_fake.enabled;
    return g_fake.getResult;
  }
  uint32_t SetFilterEnabled(uint32_t e) override {
    g_fake.calls.push_back("SetFilterEnabled" + std::to_string(e));
    g_fake.sets.push_back(static_cast<int>(e));
    g_fake.enabled = e ? 1 : 0;
    return 0;
  }
  uint32_t ReadEvents(_bytePtr* batch, uint32_t* count) override {
    *count = static_cast<uint32_t>(g_batch.size() / 220);
    if (*count != 0) {
      *batch = _bytePtr(static_cast<uint32_t>(g_batch.size()));
      memcpy(batch->Data(), g_batch.data(), g_batch.size());
    }
    g_batch.clear();
    return 0;
  }
  uint32_t GetProcessPath(const ProcessBlock*, _textPtr*) override { return 0; }
  uint32_t LoadIpRuleSet(const void*, uint32_t size) override {
    g_fake.calls.push_back("LoadIpRuleSet");
    g_rules.ipImages.push_back(size);
    return 0;
  }
  uint32_t LoadAuditRuleSet(const void*, uint32_t size) override {
    g_fake.calls.push_back("LoadAuditRuleSet");
    g_rules.auditImages.push_back(size);
    return 0;
  }
  uint32_t SendVerdict(const _REPORT_EVENT_HEAD* event) override {
    g_rules.verdicts.push_back(reinterpret_cast<const uint8_t*>(event)[8]);
    return 0;
  }
} g_port;

// The companion anti-virus console's window, which records WM_FWSTATE.
std::vector<WPARAM> g_fwstate;
LRESULT CALLBACK CompanionProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_FWSTATE) g_fwstate.push_back(w);
  return DefWindowProcA(h, m, w, l);
}

// Pages of the test: one that refuses to be left.
bool g_mayLeave = true;
class CFakePage : public CPage {
 public:
  CFakePage(CComponent* owner, const char* cls) : CPage(owner, cls), cls_(cls) {}
  const char* ClassName() const override { return cls_; }
  bool QueryClose() override { return g_mayLeave; }

 private:
  const char* cls_;
};
const CPageClass kTestPages[] = {
    {"TFWInfoFrame", [](CComponent* o, CConsoleHost&) -> CPage* { return new CFakePage(o, "TFWInfoFrame"); }},
    {"TSysRuleFrame", [](CComponent* o, CConsoleHost&) -> CPage* { return new CFakePage(o, "TSysRuleFrame"); }},
    {"TFWAuditRuleFrame",
     [](CComponent* o, CConsoleHost&) -> CPage* { return new CFakePage(o, "TFWAuditRuleFrame"); }},
    {"TProcFrame", nullptr},
    {nullptr, nullptr},
};

std::vector<std::string> g_boxes;
std::vector<void*> g_boxOwners;

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = FakeDriver();
    g_rules = FakeRules();
    g_fwstate.clear();
    g_boxes.clear();
    g_boxOwners.clear();
    g_mayLeave = true;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "vardeen_main_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    // Wine reuses process ids: an audit file left by an earlier run must not be loaded.
    DeleteFileA((folder_ + "app.aud").c_str());
    CreateDirectoryA((folder_ + "res").c_str(), nullptr);
    for (const char* name : {"enable.bmp", "disable.bmp"})
      CopyFileA((std::string(VARDEEN_RES) + "\\" + name).c_str(),
                (folder_ + "res\\" + name).c_str(), FALSE);
    // Each level file holds one rule more than the one before, so that the image the driver
    // gets tells which file was loaded.
    const char* const files[] = {"hsec.rul", "msec.rul", "lsec.rul", "csec.rul", "mine.rul"};
    for (int i = 0; i < 5; ++i) {
      _Array<_RKFW_RULE> rules(18);
      for (int n = 0; n <= i; ++n) {
        _RKFW_RULE rule = {};
        rule.Protocol = 3;
        rule.RuleId = static_cast<uint32_t>(100 * i + n);
        rules.Append(rule);
      }
      WriteRuleFile((folder_ + files[i]).c_str(), rules);
    }
    SetProgramFolderOverride(folder_.c_str());
    SetRulePort(&g_port);
    SetPageTable(kTestPages);
    SetMessageBoxScript(
        [](void*, void* owner, const char* text, const char* caption, uint32_t) {
          g_boxes.push_back(std::string(text) + "|" + caption);
          g_boxOwners.push_back(owner);
          return kIdOk;
        },
        nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CompanionProc;
    wc.lpszClassName = kCompanionWindowClass;
    RegisterClassA(&wc);
    companion_ = CreateWindowA(kCompanionWindowClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               nullptr, nullptr);
  }
  void TearDown() override {
    Application.Shutdown();
    DestroyWindow(companion_);
    SetMessageBoxScript(nullptr, nullptr);
    SetPageTable(nullptr);
    SetRulePort(nullptr);
    SetProgramFolderOverride(nullptr);
    ClearAuditRuleCache();
    ClearIpRuleCache();
  }
  TFWMainForm* Start() {
    Application.Initialize();
    return Application.CreateForm<TFWMainForm>(g_port);
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  // The size of the IP image each level file gives, learnt by loading it once.
  uint32_t ImageSizeOf(const char* file) {
    size_t before = g_rules.ipImages.size();
    LoadLevelRules(file);
    EXPECT_EQ(g_rules.ipImages.size(), before + 1);
    uint32_t size = g_rules.ipImages.back();
    g_rules.ipImages.pop_back();
    return size;
  }
  CScratchRegistry registry_;
  std::string folder_;
  HWND companion_ = nullptr;
};
}  // namespace

TEST_F(MainFormTest, StartUpRunsInOrderAndEndsCollapsedOnTheStoredLevel) {
  WriteEnable(0);
  WriteLevel(2);
  g_fake.enabled = 1;
  TFWMainForm* form = Start();
  Pump();
  EXPECT_EQ(g_fake.calls,
            (std::vector<std::string>{"DetectPlatform", "OpenDriver1", "SetFilterEnabled0",
                                      "LoadIpRuleSet"}))
      << "no app.aud yet: no audit image; then the level's file";
  EXPECT_EQ(g_fwstate, (std::vector<WPARAM>{0}));
  EXPECT_EQ(form->TrackBar1->Position(), 2);
  EXPECT_EQ(form->Height(), kCollapsedHeight);
  EXPECT_TRUE(form->Image2->Visible());
  EXPECT_TRUE(form->open->Visible());
  EXPECT_FALSE(form->close->Visible());
  ASSERT_NE(form->LogFrame, nullptr);
  EXPECT_FALSE(form->LogFrame->Visible());
  ASSERT_NE(form->CurrentPage, nullptr);
  EXPECT_TRUE(form->CurrentPage->IsClass("TFWInfoFrame"));
  EXPECT_TRUE(form->SysInfoBtn->Flat());
  EXPECT_EQ(form->SysInfoBtn->TransparentColor(), 0x8080u);
  EXPECT_NE(form->EnableBtn->Glyph(), nullptr) << "the glyph from res\\disable.bmp";
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(MainFormTest, AFailedDriverShowsTheMessageAndEnds) {
  g_fake.open = 9;  // the service is not installed
  TFWMainForm* form = Start();
  EXPECT_EQ(g_boxes, (std::vector<std::string>{"初始化防火墙组件失败!|错误"}));
  EXPECT_EQ(g_boxOwners, (std::vector<void*>{form->Handle()})) << "owned by the main window";
  EXPECT_TRUE(Application.Terminated());
  EXPECT_EQ(g_fake.calls, (std::vector<std::string>{"DetectPlatform", "OpenDriver1"}));
  Application.Run();  // ends at once
}

TEST_F(MainFormTest, TheSwitchTellsTheCompanionTheStateJustSet) {
  WriteEnable(1);
  TFWMainForm* form = Start();
  Pump();
  g_fwstate.clear();
  form->EnableBtn->Click();
  Pump();
  EXPECT_EQ(g_fake.sets.back(), 0);
  EXPECT_EQ(g_fwstate, (std::vector<WPARAM>{0})) << "not the state read before the toggle";
  uint8_t stored = 9;
  ReadEnable(&stored);
  EXPECT_EQ(stored, 0);
  form->EnableBtn->Click();
  Pump();
  EXPECT_EQ(g_fwstate, (std::vector<WPARAM>{0, 1}));

  // A driver that cannot say its state makes the switch do nothing.
  g_fake.getResult = 5;
  size_t sets = g_fake.sets.size();
  form->EnableBtn->Click();
  Pump();
  EXPECT_EQ(g_fake.sets.size(), sets);
  EXPECT_EQ(g_fwstate.size(), 2u);
}

TEST_F(MainFormTest, TheTickFollowsTheDriverAndReloadsTheGlyphOnlyOnAChange) {
  WriteEnable(1);
  TFWMainForm* form = Start();
  form->NotifyTimerTimer(nullptr);
  EXPECT_EQ(form->Label8->Text(), kStateEnabledText);
  HBITMAP enabledGlyph = form->EnableBtn->Glyph();
  form->NotifyTimerTimer(nullptr);
  EXPECT_EQ(form->EnableBtn->Glyph(), enabledGlyph) << "no reload on every tick";

  g_fake.enabled = 0;  // switched off from outside
  form->NotifyTimerTimer(nullptr);
  EXPECT_EQ(form->Label8->Text(), kStateDisabledText);
  EXPECT_NE(form->EnableBtn->Glyph(), enabledGlyph);
  CControlInfo state;
  ASSERT_TRUE(QueryControl(form->Handle(), "Label8", &state)) << "found from outside too";
  EXPECT_EQ(state.text, kStateDisabledText);
  EXPECT_EQ(state.window, nullptr) << "a label has no window of its own";

  g_fake.getResult = 1;  // a failing request keeps the last state
  g_fake.enabled = 1;
  form->NotifyTimerTimer(nullptr);
  EXPECT_EQ(form->Label8->Text(), kStateDisabledText);
}

TEST_F(MainFormTest, PagesSwitchKeepTheLogPageAndRespectARefusal) {
  TFWMainForm* form = Start();
  CPage* info = form->CurrentPage;
  form->SysInfoBtn->Click();
  EXPECT_EQ(form->CurrentPage, info) << "the page shown stays as it is";
  EXPECT_EQ(form->Height(), kExpandedHeight);

  form->ProcInfoBtn->Click();  // a page not built yet: only expands
  EXPECT_EQ(form->CurrentPage, info);

  SendMessageA(form->Handle(), WM_SHOWLOGVIEW, 0, 0);
  EXPECT_EQ(form->CurrentPage, form->LogFrame);
  EXPECT_TRUE(form->LogFrame->Visible());
  form->LogFrame->AppendLog("一条日志");

  form->RuleSetupBtn->Click();
  ASSERT_TRUE(form->CurrentPage->IsClass("TSysRuleFrame"));
  EXPECT_FALSE(form->LogFrame->Visible());
  EXPECT_EQ(form->LogFrame->LogMemo->AllText(), "一条日志\r\n") << "kept while hidden";

  g_mayLeave = false;
  CPage* rules = form->CurrentPage;
  form->AppAuditBtn->Click();
  EXPECT_EQ(form->CurrentPage, rules);
  SendMessageA(form->Handle(), WM_SHOWLOGVIEW, 0, 0);
  EXPECT_EQ(form->CurrentPage, rules);
  g_mayLeave = true;
  form->AppAuditBtn->Click();
  ASSERT_TRUE(form->CurrentPage->IsClass("TFWAuditRuleFrame"));
  int components = form->ComponentCount();
  form->RefreshAuditPage();
  EXPECT_TRUE(form->CurrentPage->IsClass("TFWAuditRuleFrame"));
  EXPECT_EQ(form->ComponentCount(), components) << "the old audit page went with the refresh";
  EXPECT_EQ(form->ViewPanel->ChildCount(), 2) << "the log page and the audit page only";

  form->closeClick(form->close);
  EXPECT_EQ(form->Height(), kCollapsedHeight);
  EXPECT_FALSE(form->ViewPanel->Visible());
  form->openClick(form->open);
  EXPECT_EQ(form->Height(), kExpandedHeight);
}

TEST_F(MainFormTest, TheSliderStoresTheLevelAndLoadsItsFile) {
  TFWMainForm* form = Start();
  EXPECT_EQ(LevelRuleFile(0), "hsec.rul");
  EXPECT_EQ(LevelRuleFile(3), "csec.rul");
  EXPECT_EQ(LevelRuleFile(7), "msec.rul");
  WriteCustomRuleFile("mine.rul");
  EXPECT_EQ(LevelRuleFile(3), "mine.rul");

  uint32_t high = ImageSizeOf("hsec.rul"), medium = ImageSizeOf("msec.rul"), mine = ImageSizeOf("mine.rul");
  ASSERT_LT(high, medium);
  ASSERT_LT(medium, mine);
  EXPECT_EQ(g_rules.ipImages.back(), medium) << "the start loads the stored level, medium";
  SendMessageA(form->TrackBar1->Handle(), WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(ReadLevel(), 3);
  EXPECT_EQ(g_rules.ipImages.back(), mine) << "the custom level loads the file named by Crul";
  SendMessageA(form->TrackBar1->Handle(), WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(ReadLevel(), 0);
  EXPECT_EQ(g_rules.ipImages.back(), high);
  EXPECT_TRUE(g_boxes.empty());
}

// app.aud holds every decision the moment it is in force, across level changes; a save that
// fails is told once (log page and box), until a save succeeds again.
TEST_F(MainFormTest, EveryAuditChangeIsSavedAtOnceAndAFailedSaveIsToldOnce) {
  TFWMainForm* form = Start();
  const std::string audit = folder_ + "app.aud";
  ASSERT_EQ(AddAuditRule("C:\\Program\\a.exe", AUDIT_PERMIT), 0u);
  SendMessageA(form->TrackBar1->Handle(), WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(AuditRuleCache.Length(), 1u) << "the level's change keeps the rules in force";
  ASSERT_TRUE(DeleteFileA(audit.c_str()) && CreateDirectoryA(audit.c_str(), nullptr));  // cannot be replaced
  ASSERT_EQ(AddAuditRule("C:\\Program\\b.exe", AUDIT_BLOCK), 0u);
  ASSERT_EQ(AddAuditRule("C:\\Program\\c.exe", AUDIT_BLOCK), 0u);
  Pump();
  EXPECT_EQ(g_boxes, (std::vector<std::string>{std::string(kAuditSaveFailedText) + "|错误"}));
  RemoveDirectoryA(audit.c_str());
  ASSERT_EQ(SetAuditDecision(AuditRuleCache[0].RuleId, AUDIT_BLOCK), 0u);
  _Array<_RKFW_AUDIT_RULE> saved(12);
  ASSERT_EQ(ReadAuditFile(audit.c_str(), saved), 0u);
  EXPECT_EQ(saved.Count, 3) << "the next change saves them all";
  ReleaseAuditRules(saved);
}

TEST_F(MainFormTest, ClosingSavesTheAuditRulesAndDestroyingSwitchesFilteringOff) {
  WriteEnable(1);
  TFWMainForm* form = Start();
  AddAuditRule("C:\\Program\\app.exe", 0x07);
  std::string audit = folder_ + "app.aud";
  DeleteFileA(audit.c_str());
  form->N2Click(form->N2);  // "退出"
  EXPECT_TRUE(Application.Terminated());
  _Array<_RKFW_AUDIT_RULE> saved(12);
  ASSERT_EQ(ReadAuditFile(audit.c_str(), saved), 0u);
  EXPECT_EQ(saved.Count, 1);
  for (auto& r : saved) ReleaseAuditRule(&r);

  // The end of the logon saves too, and consumes the message.
  DeleteFileA(audit.c_str());
  EXPECT_EQ(SendMessageA(form->Handle(), WM_ENDSESSION, TRUE, 0), 0);
  EXPECT_NE(GetFileAttributesA(audit.c_str()), INVALID_FILE_ATTRIBUTES);

  g_fake.sets.clear();
  Application.Shutdown();
  EXPECT_EQ(g_fake.sets, (std::vector<int>{0}));
  ReadEnable(nullptr == nullptr ? &g_fake.enabled : nullptr);
  EXPECT_EQ(g_fake.enabled, 1) << "the stored choice is kept for the next start";
}

TEST_F(MainFormTest, DraggingWorksEverywhereButTheHiddenHotArea) {
  TFWMainForm* form = Start();
  RECT r;
  GetWindowRect(form->Handle(), &r);
  LPARAM free = MAKELPARAM(r.left + 5, r.top + 100);
  LPARAM hot = MAKELPARAM(r.left + form->Label1->Left() + 3, r.top + form->Label1->Top() + 3);
  EXPECT_EQ(SendMessageA(form->Handle(), WM_NCHITTEST, 0, free), HTCAPTION);
  EXPECT_EQ(SendMessageA(form->Handle(), WM_NCHITTEST, 0, hot), HTCLIENT);
  // A double click on the surface does not blow the window up to the whole screen.
  SendMessageA(form->Handle(), WM_NCLBUTTONDBLCLK, HTCAPTION, free);
  EXPECT_FALSE(IsZoomed(form->Handle()));
  EXPECT_EQ(form->Width(), 580);
  form->Label1->Click();
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
}

TEST_F(MainFormTest, PrivateMessagesFromOutsideCannotFreeWhatTheWindowDoesNotHold) {
  // The private messages can be posted by any program: an unknown lParam is not destroyed.
  TFWMainForm* form = Start();
  g_batch.clear();
  QueueRecord(2);
  QueueRecord(2);
  form->NotifyTimerTimer(nullptr);
  ASSERT_EQ(form->Events()->PendingCount(), 1u);
  int32_t bogus = 0x12345678;
  SendMessageA(form->Handle(), WM_FREECHILD, 0, reinterpret_cast<LPARAM>(&bogus));
  SendMessageA(form->Handle(), WM_FREECHILD, 0, 0);
  SendMessageA(form->Handle(), WM_NEXTEVENT, 0, 0);
  Pump();
  EXPECT_EQ(bogus, 0x12345678);
  EXPECT_EQ(form->Events()->PendingCount(), 1u) << "the held event still holds the queue";
}

TEST_F(MainFormTest, ThePollLogsRuleHitsWhileHiddenAndAsksAboutOneApplicationEventAtATime) {
  TFWMainForm* form = Start();
  g_batch.clear();
  QueueRecord(1);
  QueueRecord(2);
  QueueRecord(2);
  QueueRecord(3);
  form->NotifyTimerTimer(nullptr);
  EXPECT_FALSE(form->LogFrame->Visible());
  // Each logged record is its own text and an empty line, in the order the driver gave them:
  // the rule hit (kind 1) and the application log event (kind 3), not the two prompts.
  std::string expected;
  for (uint32_t kind : {1u, 3u}) {
    uint8_t raw[220] = {};  // as QueueRecord lays it out
    memcpy(raw + 8, &kind, 4);
    memcpy(raw + 36, "app.exe", 7);
    _REPORT_EVENT_HEAD record;
    memcpy(&record, raw, sizeof raw);
    expected += std::string(BuildEventLogText(record).Data()) + "\r\n";
  }
  std::string log = form->LogFrame->LogMemo->AllText();
  EXPECT_EQ(log.substr(0, expected.size()), expected);
  // A prompt asks about the first application event; the next one waits behind it.
  HWND prompt = FindWindowA("TFWEventNotifyForm", nullptr);
  ASSERT_NE(prompt, nullptr);
  EXPECT_TRUE(IsWindowVisible(prompt));
  EXPECT_EQ(form->Events()->PendingCount(), 1u);
  SendMessageA(form->Handle(), WM_NEXTEVENT, 0, 0);
  EXPECT_EQ(form->Events()->PendingCount(), 1u) << "the queue waits while the prompt asks";
  // Answered, the prompt takes up the queued event and is gone after its WM_FREECHILD.
  SendMessageA(prompt, WM_CLOSE, 0, 0);
  EXPECT_EQ(form->Events()->PendingCount(), 0u);
  Pump();
  EXPECT_FALSE(IsWindow(prompt));
  EXPECT_NE(FindWindowA("TFWEventNotifyForm", nullptr), nullptr) << "the second event's prompt";
}

// A prompt whose window could not be made was left behind holding the path (freed twice at
// exit), and the rest of the batch got no verdict and no log line.
TEST_F(MainFormTest, EveryEventOfABatchIsAnsweredWhenNoPromptCanBeMade) {
  TFWMainForm* form = Start();
  g_batch.clear();
  for (uint32_t kind : {2u, 1u, 2u, 3u}) QueueRecord(kind);
  FailWindowsOfClassForTests("TFWEventNotifyForm");
  form->NotifyTimerTimer(nullptr);
  Pump();
  FailWindowsOfClassForTests(nullptr);
  EXPECT_EQ(nullptr, FindWindowA("TFWEventNotifyForm", nullptr));
  EXPECT_EQ(std::vector<uint32_t>({2u, 2u}), g_rules.verdicts) << "both asked events forbidden";
  EXPECT_EQ(0u, form->Events()->PendingCount());
  std::string expected;
  for (uint32_t kind : {1u, 3u}) {
    uint8_t raw[220] = {};  // as QueueRecord lays it out
    memcpy(raw + 8, &kind, 4);
    memcpy(raw + 36, "app.exe", 7);
    _REPORT_EVENT_HEAD record;
    memcpy(&record, raw, sizeof raw);
    expected += std::string(BuildEventLogText(record).Data()) + "\r\n";
  }
  EXPECT_EQ(expected, form->LogFrame->LogMemo->AllText().substr(0, expected.size()));
  EXPECT_TRUE(g_boxes.empty()) << g_boxes.front();
}

TEST_F(MainFormTest, AnUnsupportedPlatformEndsBeforeTheDriverIsOpened) {
  g_fake.detect = 3;
  TFWMainForm* form = Start();
  EXPECT_EQ(g_fake.calls, (std::vector<std::string>{"DetectPlatform"}));
  EXPECT_EQ(g_boxes, (std::vector<std::string>{"初始化防火墙组件失败!|错误"}));
  EXPECT_TRUE(Application.Terminated());
  EXPECT_EQ(form->LogFrame, nullptr);
  EXPECT_FALSE(form->NotifyTimer->Enabled()) << "no poll without a driver";
  // Closing does not write the empty cache over the user's audit file, nor talks to the driver.
  std::string audit = folder_ + "app.aud";
  _Array<_RKFW_AUDIT_RULE> kept(12);
  _RKFW_AUDIT_RULE rule = {};
  char path[] = "C:\\Program\\mail.exe";
  rule.AppPath = path;
  rule.Access = 0x07;
  kept.Append(rule);
  ASSERT_EQ(WriteAuditFile(audit.c_str(), kept), 0u);
  form->Close();
  _Array<_RKFW_AUDIT_RULE> read(12);
  ASSERT_EQ(ReadAuditFile(audit.c_str(), read), 0u);
  EXPECT_EQ(read.Count, 1);
  for (auto& r : read) ReleaseAuditRule(&r);
  Application.Shutdown();
  EXPECT_TRUE(g_fake.sets.empty());
}

TEST_F(MainFormTest, TheWindowMatchesItsDescription) {
  TFWMainForm* form = Start();
  Pump();
  // Every control with its class, name, bounds, caption and state, collapsed at start-up.
  EXPECT_TRUE(MatchesGolden(DescribeControls(form), VARDEEN_GOLDEN "\\mainform.txt"));
  LOGFONTA font = {};
  GetObjectA(form->Font(), sizeof font, &font);
  EXPECT_STREQ(font.lfFaceName, "宋体");
  EXPECT_EQ(font.lfHeight, -12);
  for (CGlyphButton* b : {form->SysInfoBtn, form->ProcInfoBtn, form->EnableBtn, form->SetupBitBtn,
                          form->RuleSetupBtn, form->AppAuditBtn, form->LogFrame->ClearBitBtn}) {
    EXPECT_TRUE(b->Flat()) << b->Name() << " styled once its window exists";
    EXPECT_EQ(b->TransparentColor(), 0x8080u) << b->Name();
  }

  // The slider's four stops each stand beside their label, all inside the header.
  CLabel* levels[] = {form->Label2, form->Label3, form->Label4, form->Label5};
  int level = form->TrackBar1->Position();
  for (int i = 0; i < 4; ++i) {
    form->TrackBar1->SetPosition(i);
    RECT thumb;
    SendMessageA(form->TrackBar1->Handle(), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    int thumbMiddle = form->TrackBar1->Top() + (thumb.top + thumb.bottom) / 2;
    int labelMiddle = levels[i]->Top() + levels[i]->Height() / 2;
    EXPECT_NEAR(thumbMiddle, labelMiddle, 3) << levels[i]->Text();
  }
  form->TrackBar1->SetPosition(level);

  // The log page, shown: its memo fills what its tool bar leaves.
  SendMessageA(form->Handle(), WM_SHOWLOGVIEW, 0, 0);
  TFWLogViewFrame* log = form->LogFrame;
  EXPECT_TRUE(MatchesGolden(DescribeControls(log), VARDEEN_GOLDEN "\\logviewframe.txt"));
  EXPECT_EQ(log->LogMemo->Top() + log->LogMemo->Height(), log->Height());
}

TEST_F(MainFormTest, TheConsoleLivesInTheTrayWithoutATaskbarButton) {
  TFWMainForm* form = Start();
  form->Show();
  Pump();
  HWND owner = GetWindow(form->Handle(), GW_OWNER);
  EXPECT_EQ(owner, Application.Handle()) << "an owned window gets no taskbar button";
  EXPECT_NE(GetWindowLongA(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  ShowWindow(owner, SW_SHOWNA);
  SendMessageA(form->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_FALSE(IsWindowVisible(owner)) << "every activation hides the owner window";

  form->Label12->Click();  // hides to the tray
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  form->N1->Click();  // "Vardeen" in the tray menu
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_FALSE(IsWindowVisible(form->Handle())) << "minimised, only the tray icon stays";
  Fire(form->TrayIcon1->OnDblClick, form->TrayIcon1);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  form->Label1->Click();
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  EXPECT_FALSE(Application.Terminated());

  form->Label13->Click();  // closes, which ends the program
  EXPECT_TRUE(Application.Terminated());
}

TEST_F(MainFormTest, TheLogPageKeepsWhatArrivedWhileHiddenAndClearsOnItsButton) {
  TFWMainForm* form = Start();
  g_batch.clear();
  QueueRecord(1);
  QueueRecord(7);  // an unknown kind: an empty line
  form->NotifyTimerTimer(nullptr);
  CLogMemo* memo = form->LogFrame->LogMemo;
  int lines = memo->LineCount();
  EXPECT_GE(lines, 3);
  EXPECT_EQ(memo->Line(lines - 1), "") << "the unknown record's empty text";
  std::string before = memo->AllText();

  form->openClick(form->open);
  SendMessageA(form->Handle(), WM_SHOWLOGVIEW, 0, 0);
  EXPECT_TRUE(IsWindowVisible(memo->Handle()));
  EXPECT_EQ(memo->AllText(), before);
  QueueRecord(3);
  form->NotifyTimerTimer(nullptr);
  EXPECT_GT(memo->LineCount(), lines);
  EXPECT_EQ(memo->AllText().compare(0, before.size(), before), 0) << "appended at the end";

  form->LogFrame->ClearBitBtn->Click();
  EXPECT_EQ(memo->LineCount(), 0);
  form->LogFrame->ClearBitBtn->Click();  // clearing an empty log does nothing visible
  EXPECT_EQ(memo->TextLength(), 0u);
  EXPECT_EQ(form->CurrentPage, form->LogFrame);
}

TEST_F(MainFormTest, APageThatMayNotBeLeftKeepsTheConsoleFromClosing) {
  TFWMainForm* form = Start();
  form->RuleSetupBtn->Click();
  g_mayLeave = false;
  form->Label13->Click();
  EXPECT_FALSE(Application.Terminated());
  EXPECT_TRUE(form->CurrentPage->IsClass("TSysRuleFrame"));
  g_mayLeave = true;
  form->Label13->Click();
  EXPECT_TRUE(Application.Terminated());
}

TEST_F(MainFormTest, ARecordedDecisionRebuildsTheAuditPageOnlyWhileItIsShown) {
  SetPageTable(nullptr);  // the console's own pages
  TFWMainForm* form = Start();
  Pump();
  ASSERT_EQ(AddAuditRule("C:\\Apps\\mail.exe", AUDIT_PERMIT), 0u);
  form->AppAuditBtnClick(nullptr);
  Pump();
  auto* page = dynamic_cast<TFWAuditRuleFrame*>(form->CurrentPage);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->CardCount(), 1);
  // What the prompt does after the user's answer: the new rule shows on a new page.
  ASSERT_EQ(AddAuditRule("C:\\Apps\\news.exe", AUDIT_BLOCK), 0u);
  form->RefreshAuditPage();
  Pump();
  page = dynamic_cast<TFWAuditRuleFrame*>(form->CurrentPage);
  ASSERT_NE(page, nullptr);
  ASSERT_EQ(page->CardCount(), 2);
  EXPECT_STREQ(page->Card(1)->Rule()->AppPath, "C:\\Apps\\news.exe");
  // Another page stays as it is.
  form->ShowLogPage();
  form->RefreshAuditPage();
  EXPECT_EQ(form->CurrentPage, form->LogFrame);
}
