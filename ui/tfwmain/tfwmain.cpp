#include "ui/tfwmain/tfwmain.h"

#include <new>
#include <string>

#include "app/qeltoption.h"
#include "base/result.h"
#include "platform/paths.h"
#include "rules/auditrules.h"
#include "rules/caches.h"
#include "rules/damaged.h"
#include "rules/loader.h"
#include "rules/rulefile.h"
#include "rules/ruleport.h"
#include "ui/framework/application.h"
#include "ui/framework/artwork.h"
#include "ui/framework/dialogs.h"
#include "ui/tfwauditruleoptdlg/tfwauditruleoptdlg.h"
#include "ui/tfwlogviewframe/tfwlogviewframe.h"
#include "ui/tfwmain/eventwiring.h"
#include "ui/tfwruleadddlg/tfwruleadddlg.h"

TFWMainForm* FWMainForm = nullptr;

namespace {
// The header: slider well on the left, six buttons with captions in a row on the right.
constexpr int kButtonSize = 44;
constexpr int kButtonLeft = 186;
constexpr int kButtonStep = 64;
constexpr int kButtonTop = 46;
constexpr int kHeaderHeight = 128;
// The four level labels and the slider's stops fit the well inside the header, which is
// all that shows while the window is collapsed.
constexpr int kLevelLabelTop = 42;
constexpr int kLevelLabelStep = 20;
constexpr int kLevelLabelHeight = 14;
constexpr int kSliderEnds = 27;  // the track bar's own space beyond its first and last stops

std::string ProgramFile(const char* name) {
  char path[kPathTextSize];
  GetProgramFilePath(name, path);
  return path;
}

// The slider's four levels, as its labels and the messages name them.
const char* const kLevelTitles[] = {"高安全级别", "中安全级别", "低安全级别", "自定义级别"};

// The slider position of a stored level: the level whose file LevelRuleFile loads for it.
int SliderLevel(int level) { return level >= 0 && level <= 3 ? level : 1; }

// The last part of a path, as the user knows the file.
std::string FileNameOf(const std::string& path) {
  size_t cut = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < path.size()) {
      ++i;  // a GBK pair never ends a name
    } else if (c == '\\' || c == '/') {
      cut = i + 1;
    }
  }
  return path.substr(cut);
}
}  // namespace

std::string LevelRuleFile(int level) {
  if (level == 3) return ReadCustomRuleFile();
  return LevelRuleFileName(level);
}

CGlyphButton* TFWMainForm::AddPageButton(const char* name, const char* labelName,
                                         const char* caption, int index, CLabel** label) {
  int x = kButtonLeft + index * kButtonStep;
  auto* button = NewControl<CGlyphButton>(this, this, name, x, kButtonTop, kButtonSize, kButtonSize);
  *label = NewControl<CLabel>(this, this, labelName, x + kButtonSize / 2 - kButtonStep / 2,
                              kButtonTop + kButtonSize + 6, kButtonStep, 14, caption);
  (*label)->SetAlignment(DT_CENTER);
  return button;
}

TFWMainForm::TFWMainForm(CComponent* owner, CDriverPort& driver)
    : CForm(owner, "FWMainForm"), driver_(driver) {
  FWMainForm = this;
  SetRulePort(&driver_);
  SetText("Vardeen");
  SetBorderStyle(TBorderStyle::None);
  SetPosition(TPosition::ScreenCenter);
  SetBounds(0, 0, kMainWidth, kExpandedHeight);
  SetColor(kConsoleColor);
  SetFormFont("宋体", 12);

  Image1 = NewControl<CImage>(this, this, "Image1", 0, 0, kMainWidth, kExpandedHeight);
  Image1->SetPicture(MakeMainBackground(kMainWidth, kExpandedHeight, kHeaderHeight));

  CLabel** levelLabels[] = {&Label2, &Label3, &Label4, &Label5};
  static const char* const kLevelNames[] = {"Label2", "Label3", "Label4", "Label5"};
  for (int i = 0; i < 4; ++i)
    *levelLabels[i] = NewControl<CLabel>(this, this, kLevelNames[i], 76, kLevelLabelTop + i * kLevelLabelStep,
                                         84, kLevelLabelHeight, kLevelTitles[i]);
  // The thumb's four stops line up with the four labels.
  TrackBar1 = NewControl<CTrackBar>(this, this, "TrackBar1", 26,
                                    kLevelLabelTop + kLevelLabelHeight / 2 - kSliderEnds / 2, 42,
                                    3 * kLevelLabelStep + kSliderEnds);
  TrackBar1->SetVertical(true);
  TrackBar1->SetRange(0, 3);
  TrackBar1->SetPosition(1);
  TrackBar1->OnChange = Bind(this, &TFWMainForm::TrackBar1Change);

  SysInfoBtn = AddPageButton("SysInfoBtn", "Label6", "系统信息", 0, &Label6);
  SysInfoBtn->SetGlyph(MakeGlyph(TGlyphPicture::SysInfo, 32));
  SysInfoBtn->OnClick = Bind(this, &TFWMainForm::SysInfoBtnClick);
  ProcInfoBtn = AddPageButton("ProcInfoBtn", "Label7", "当前连接", 1, &Label7);
  ProcInfoBtn->SetGlyph(MakeGlyph(TGlyphPicture::Connections, 32));
  ProcInfoBtn->OnClick = Bind(this, &TFWMainForm::ProcInfoBtnClick);
  EnableBtn = AddPageButton("EnableBtn", "Label8", kStateEnabledText, 2, &Label8);
  EnableBtn->OnClick = Bind(this, &TFWMainForm::EnableBtnClick);
  SetupBitBtn = AddPageButton("SetupBitBtn", "Label9", "设 置", 3, &Label9);
  SetupBitBtn->SetGlyph(MakeGlyph(TGlyphPicture::Settings, 32));
  SetupBitBtn->OnClick = Bind(this, &TFWMainForm::SetupBitBtnClick);
  RuleSetupBtn = AddPageButton("RuleSetupBtn", "Label10", "规则设置", 4, &Label10);
  RuleSetupBtn->SetGlyph(MakeGlyph(TGlyphPicture::Rules, 32));
  RuleSetupBtn->OnClick = Bind(this, &TFWMainForm::RuleSetupBtnClick);
  AppAuditBtn = AddPageButton("AppAuditBtn", "Label11", "程序审核", 5, &Label11);
  AppAuditBtn->SetGlyph(MakeGlyph(TGlyphPicture::Audit, 32));
  AppAuditBtn->OnClick = Bind(this, &TFWMainForm::AppAuditBtnClick);

  ViewPanel = NewControl<CPanel>(this, this, "ViewPanel", (kMainWidth - 544) / 2, kCollapsedHeight + 1, 544, 298);
  ViewPanel->SetColor(kConsoleColor);
  ViewPanel->SetBevel(TBevel::Lowered);

  Image2 = NewControl<CImage>(this, this, "Image2", 0, kHeaderHeight, kMainWidth, 25);
  Image2->SetVisible(false);
  Image2->SetPicture(MakeStrip(kMainWidth, 25));

  Panel1 = NewControl<CPanel>(this, this, "Panel1", kMainWidth - 34, kHeaderHeight + 3, 20, 20);
  Panel1->SetTransparent(true);
  close = NewControl<CImage>(this, Panel1, "close", 0, 0, 20, 20);
  close->SetPicture(MakeGlyph(TGlyphPicture::Collapse, 20));
  close->SetTransparentColor(kGlyphKeyColor);
  close->SetHint("收起");
  close->OnClick = Bind(this, &TFWMainForm::closeClick);
  open = NewControl<CImage>(this, Panel1, "open", 0, 0, 20, 20);
  open->SetPicture(MakeGlyph(TGlyphPicture::Expand, 20));
  open->SetTransparentColor(kGlyphKeyColor);
  open->SetHint("展开");
  open->OnClick = Bind(this, &TFWMainForm::openClick);

  Panel2 = NewControl<CPanel>(this, this, "Panel2", kMainWidth - 62, 4, 56, 20);
  Panel2->SetTransparent(true);
  Image4 = NewControl<CImage>(this, Panel2, "Image4", 0, 2, 16, 16);
  Image4->SetPicture(MakeGlyph(TGlyphPicture::Rules, 16));
  Image4->SetTransparentColor(kGlyphKeyColor);
  Label12 = NewControl<CLabel>(this, Panel2, "Label12", 20, 2, 16, 16, "－");
  Label12->SetAlignment(DT_CENTER);
  Label12->SetFontColor(RGB(255, 255, 255));
  Label12->SetHint("隐藏到托盘");
  Label12->OnClick = Bind(this, &TFWMainForm::Label12Click);
  Label13 = NewControl<CLabel>(this, Panel2, "Label13", 38, 2, 16, 16, "×");
  Label13->SetAlignment(DT_CENTER);
  Label13->SetFontColor(RGB(255, 255, 255));
  Label13->SetHint("退出");
  Label13->OnClick = Bind(this, &TFWMainForm::Label13Click);

  Label1 = NewControl<CLabel>(this, this, "Label1", kMainWidth - 62 - 49, 0, 47, 9);
  Label1->OnClick = Bind(this, &TFWMainForm::Label1Click);

  NotifyTimer = new CTimer(this, "NotifyTimer");
  NotifyTimer->SetInterval(200);
  NotifyTimer->OnTimer = Bind(this, &TFWMainForm::NotifyTimerTimer);

  PopupMenu1 = new CPopupMenu(this, "PopupMenu1");
  N1 = PopupMenu1->AddItem("N1", "Vardeen");
  N1->OnClick = Bind(this, &TFWMainForm::N1Click);
  N2 = PopupMenu1->AddItem("N2", "退出");
  N2->OnClick = Bind(this, &TFWMainForm::N2Click);
  TrayIcon1 = new CTrayIcon(this, "TrayIcon1");
  TrayIcon1->SetHint("Vardeen");
  TrayIcon1->SetIcon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1)));
  TrayIcon1->SetPopupMenu(PopupMenu1);
  TrayIcon1->OnDblClick = Bind(this, &TFWMainForm::TrayIcon1DblClick);

  OnCreate = Bind(this, &TFWMainForm::FormCreate);
  OnClose = Bind(this, &TFWMainForm::FormClose);
  OnCloseQuery = Bind(this, &TFWMainForm::FormCloseQuery);
  OnDestroy = Bind(this, &TFWMainForm::FormDestroy);
  OnActivate = Bind(this, &TFWMainForm::FormActivate);
  SetVisible(true);
}

TFWMainForm::~TFWMainForm() {
  SetAuditRulesChangedHook(nullptr, nullptr);
  delete events_;
  events_ = nullptr;
  if (&RulePort() == &driver_) SetRulePort(nullptr);
  if (FWMainForm == this) FWMainForm = nullptr;
}

void TFWMainForm::FormCreate(CComponent*) {
  for (CGlyphButton* b : {SysInfoBtn, ProcInfoBtn, RuleSetupBtn, SetupBitBtn, EnableBtn, AppAuditBtn})
    b->ApplyFlatLook(kGlyphKeyColor);
  if (driver_.DetectPlatform() != 0 || driver_.OpenDriver(1) != 0) {
    FailInitialisation();
    return;
  }
  driverReady_ = true;
  uint8_t enabled = 0;
  ReadEnable(&enabled);
  driver_.SetFilterEnabled(enabled);
  LoadEnableGlyph(enabled != 0);
  int level = ReadLevel();
  PostFilterState(enabled);

  LogFrame = new TFWLogViewFrame(this);
  LogFrame->SetParent(ViewPanel);
  LogFrame->SetAlign(TAlign::Client);
  events_ = new CMainEventWiring(*this);

  std::string auditPath = ProgramFile("app.aud");
  CheckAuditLoad(LoadAuditRules(auditPath.c_str()), auditPath, false);
  // From now on every change of the audit rules reaches app.aud at once: a kill or a power
  // cut loses none of the user's decisions.
  SetAuditRulesChangedHook(&TFWMainForm::AuditRulesChanged, this);
  SysInfoBtnClick(SysInfoBtn);
  // The slider shows the level whose file is loaded; a stored value outside 0..3 loads the
  // medium set and so shows medium.
  levelInForce_ = SliderLevel(level);
  TrackBar1->SetPosition(levelInForce_);
  std::string levelFile = LevelRuleFile(level);
  if (LoadLevelRules(levelFile.c_str()) != RESULT_OK) {
    // Nothing else is in force: the stored level stays the user's choice for the next start.
    TellLoadProblem("无法载入" + std::string(kLevelTitles[levelInForce_]) + "的规则文件“" + FileNameOf(levelFile) +
                        "”，防火墙现在没有使用任何IP规则。",
                    false);
  }
  Collapse();

  TrayIcon1->SetVisible(true);
  NotifyTimer->SetEnabled(true);
  if (!pendingProblems_.empty()) PostMessageA(Handle(), kMsgShowLoadProblems, 0, 0);
}

void TFWMainForm::CheckAuditLoad(uint32_t result, const std::string& path, bool now) {
  if (result == RESULT_OK || !RuleFileLoadFailed(path.c_str())) return;  // loaded, or no file
  for (const std::string& told : toldFiles_)
    if (told == path) return;
  toldFiles_.push_back(path);
  TellLoadProblem("程序规则文件“" + FileNameOf(path) + "”已损坏，无法载入。本次运行的程序规则退出时照常保存，损坏的文件另存为“" +
                      FileNameOf(DamagedFileName(path.c_str())) + "”。",
                  now);
}

void TFWMainForm::TellLoadProblem(const std::string& text, bool now) {
  if (LogFrame != nullptr) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char stamp[32];
    wsprintfA(stamp, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    LogFrame->AppendLog(("[时间]:     " + std::string(stamp) + "\r\n[错误]:     " + text + "\r\n").c_str());
  }
  if (now) {
    MessageDlg(this, text.c_str(), "错误", kMbOk | kMbIconWarning);
  } else {
    pendingProblems_.push_back(text);
  }
}

void TFWMainForm::TellProblemLater(const std::string& text) {
  TellLoadProblem(text, false);
  if (Handle() != nullptr) PostMessageA(Handle(), kMsgShowLoadProblems, 0, 0);
}

void TFWMainForm::ShowPendingLoadProblems() {
  std::vector<std::string> problems;
  problems.swap(pendingProblems_);
  for (const std::string& text : problems) MessageDlg(this, text.c_str(), "错误", kMbOk | kMbIconWarning);
}

void TFWMainForm::FailInitialisation() {
  MessageDlg(this, kInitFailedText, "错误", kMbOk);
  Application.Terminate();
}

void TFWMainForm::LoadEnableGlyph(bool enabled) {
  std::string path = ProgramFile(enabled ? "res\\enable.bmp" : "res\\disable.bmp");
  // Without its picture file the state is drawn by code, never left as the other state's.
  if (!EnableBtn->LoadGlyphFromFile(path.c_str()))
    EnableBtn->SetGlyph(MakeGlyph(enabled ? TGlyphPicture::SwitchOn : TGlyphPicture::SwitchOff, 32));
}

void TFWMainForm::PostFilterState(uint8_t enabled) {
  HWND companion = FindWindowA(kCompanionWindowClass, nullptr);
  if (companion != nullptr) PostMessageA(companion, WM_FWSTATE, enabled ? 1 : 0, 0);
}

uint32_t TFWMainForm::SaveAuditRules(bool tellNow) {
  uint32_t result;
  {
    _Array<_RKFW_AUDIT_RULE> rules(kAuditRuleGrowStep);
    CopyAuditRulesFromCache(rules, false);  // shares the cache's texts: nothing to release
    result = WriteAuditFile(ProgramFile("app.aud").c_str(), rules);
    rules.Clear();
  }
  if (result == RESULT_OK) {
    auditSaveFailureTold_ = false;
    return result;
  }
  if (auditSaveFailureTold_) return result;  // once, not at every decision
  auditSaveFailureTold_ = true;
  const std::string text = kAuditSaveFailedText;
  if (tellNow) {
    TellLoadProblem(text, true);
  } else {
    TellProblemLater(text);
  }
  return result;
}

void TFWMainForm::AuditRulesChanged(void* form) {
  // Called from inside the change (a prompt's answer, a card's click): the box waits.
  static_cast<TFWMainForm*>(form)->SaveAuditRules(false);
}

void TFWMainForm::FormCloseQuery(CComponent*, bool& CanClose) {
  if (CurrentPage != nullptr && !CurrentPage->QueryClose()) CanClose = false;
}

void TFWMainForm::FormClose(CComponent*, TCloseAction&) {
  if (driverReady_) SaveAuditRules(true);
}

void TFWMainForm::FormDestroy(CComponent*) {
  NotifyTimer->SetEnabled(false);
  if (driverReady_) driver_.SetFilterEnabled(0);
}

// ---- pages ----

void TFWMainForm::Expand() {
  Image2->Hide();
  ViewPanel->Show();
  SetHeight(kExpandedHeight);
  open->Hide();
  close->Show();
}

void TFWMainForm::Collapse() {
  Image2->Show();
  ViewPanel->Hide();
  SetHeight(kCollapsedHeight);
  open->Show();
  close->Hide();
}

void TFWMainForm::closeClick(CComponent*) { Collapse(); }
void TFWMainForm::openClick(CComponent*) { Expand(); }

void TFWMainForm::ShowPage(const char* className) {
  Expand();
  if (CurrentPage != nullptr && CurrentPage->IsClass(className)) return;
  const CPageClass* page = FindPageClass(className);
  if (page == nullptr) return;  // that page is not built yet: the old one stays
  if (!ClosePage()) return;
  CPage* frame = page->create(this, *this);
  frame->SetParent(ViewPanel);
  frame->SetAlign(TAlign::Client);
  frame->Show();
  CurrentPage = frame;
}

bool TFWMainForm::ClosePage() {
  if (CurrentPage == nullptr) return true;
  // Pages with unsaved edits ask first.
  if (!CurrentPage->QueryClose()) return false;
  if (CurrentPage == LogFrame) {
    LogFrame->Hide();
    CurrentPage = nullptr;
    return true;
  }
  CPage* page = CurrentPage;
  CurrentPage = nullptr;
  FreeComponent(page);
  return true;
}

void TFWMainForm::ShowLogPage() {
  Expand();  // asked for by the user: a page on a collapsed window would stay out of sight
  if (LogFrame == nullptr || CurrentPage == LogFrame) return;
  if (!ClosePage()) return;
  LogFrame->Show();
  CurrentPage = LogFrame;
}

void TFWMainForm::RequestLogPage() {
  // Posted: the page that asks is destroyed when the log page takes its place.
  if (Handle() != nullptr) PostMessageA(Handle(), WM_SHOWLOGVIEW, 0, 0);
}

bool TFWMainForm::OpenRuleEditor(CComponent* owner, _RKFW_RULE* rule, _RKFW_RULE** created) {
  return EditRuleInDialog(owner, rule, created);
}

bool TFWMainForm::OpenAuditConditions(CControl* card, _RKFW_AUDIT_RULE* rule) {
  return EditAuditConditions(card, rule);
}

void TFWMainForm::RefreshAuditPage() {
  if (CurrentPage == nullptr || !CurrentPage->IsClass("TFWAuditRuleFrame")) return;
  if (ClosePage()) ShowPage("TFWAuditRuleFrame");
}

void TFWMainForm::SysInfoBtnClick(CComponent*) { ShowPage("TFWInfoFrame"); }
void TFWMainForm::ProcInfoBtnClick(CComponent*) { ShowPage("TProcFrame"); }
void TFWMainForm::RuleSetupBtnClick(CComponent*) { ShowPage("TSysRuleFrame"); }
void TFWMainForm::SetupBitBtnClick(CComponent*) { ShowPage("TTOptionFrame"); }
void TFWMainForm::AppAuditBtnClick(CComponent*) { ShowPage("TFWAuditRuleFrame"); }

// ---- switch and slider ----

void TFWMainForm::EnableBtnClick(CComponent*) {
  uint8_t enabled = 0;
  if (driver_.GetFilterEnabled(&enabled) != 0) return;
  uint8_t wanted = enabled ? 0 : 1;
  driver_.SetFilterEnabled(wanted);
  WriteEnable(wanted);
  // The companion window hears the state just set, as it does at start-up.
  PostFilterState(wanted);
}

void TFWMainForm::SelectSecurityLevel(int level) {
  if (TrackBar1->Position() == level) return;
  TrackBar1->SetPosition(level);
  TrackBar1Change(TrackBar1);
}

void TFWMainForm::TrackBar1Change(CComponent*) {
  int level = TrackBar1->Position();
  // The rule set page shows the set in force: unsaved edits on it are asked about first, and
  // kept edits keep the level too.
  const bool rulePageShown = CurrentPage != nullptr && CurrentPage->IsClass("TSysRuleFrame");
  if (rulePageShown && !CurrentPage->QueryClose()) {
    TrackBar1->SetPosition(levelInForce_);
    return;
  }
  try {
    std::string file = LevelRuleFile(level);
    if (LoadLevelRules(file.c_str()) == RESULT_OK) {
      WriteLevel(level);
      levelInForce_ = level;
      // The audit rules in force go with the new set as they are: app.aud holds the same
      // rules (it is saved at every change), and reading it again would drop any decision
      // whose save failed.
      ReloadAuditRules();
      if (CurrentPage != nullptr) CurrentPage->RulesInForceChanged();
      return;
    }
    // The driver keeps the old set: so do the slider and the stored level.
    TrackBar1->SetPosition(levelInForce_);
    TellLoadProblem("无法载入" + std::string(kLevelTitles[SliderLevel(level)]) + "的规则文件“" + FileNameOf(file) +
                        "”，仍使用" + kLevelTitles[levelInForce_] + "的规则。",
                    true);
  } catch (const std::exception&) {  // no memory, or a framework error
    FailInitialisation();
  }
}

// ---- chrome and tray ----

void TFWMainForm::Label1Click(CComponent*) { Hide(); }

void TFWMainForm::Label12Click(CComponent*) {
  // The click hides the window to the tray; the owner window never shows a taskbar button.
  Application.Minimize();
}

void TFWMainForm::FormActivate(CComponent*) { Application.HideOwnerWindow(); }

void TFWMainForm::Label13Click(CComponent*) { Close(); }
void TFWMainForm::N1Click(CComponent*) { Application.Restore(); }
void TFWMainForm::N2Click(CComponent*) { Close(); }
void TFWMainForm::TrayIcon1DblClick(CComponent*) { Application.Restore(); }

// ---- the poll ----

void TFWMainForm::NotifyTimerTimer(CComponent*) {
  uint8_t enabled = 0;
  if (driver_.GetFilterEnabled(&enabled) == 0) {
    if (enabled && Label8->Text() != kStateEnabledText) {
      Label8->SetText(kStateEnabledText);
      LoadEnableGlyph(true);
    } else if (!enabled && Label8->Text() != kStateDisabledText) {
      Label8->SetText(kStateDisabledText);
      LoadEnableGlyph(false);
    }
  }
  if (events_ != nullptr) events_->Poll();
}

LRESULT TFWMainForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCHITTEST: {
      LRESULT hit = CForm::WndProc(msg, wParam, lParam);
      if (hit != HTCLIENT) return hit;
      POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      RECT hot = Label1->BoundsRect();
      MapWindowPoints(Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&hot), 2);
      return PtInRect(&hot, pt) ? hit : HTCAPTION;  // drag by any free spot
    }
    case WM_SHOWLOGVIEW:
      ShowLogPage();
      return 0;
    case kMsgShowLoadProblems:
      ShowPendingLoadProblems();
      return 0;
    case WM_FREECHILD:
      if (events_ != nullptr) events_->FreeChild(reinterpret_cast<void*>(lParam));
      return 0;
    case WM_NEXTEVENT:
      if (events_ != nullptr) events_->NextEvent();
      return 0;
    case WM_ENDSESSION:
      if (driverReady_) SaveAuditRules(false);
      return 0;  // consumed by the save
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_MINIMIZE) {
        Application.Minimize();  // minimised, the console lives in the tray
        return 0;
      }
      if ((wParam & 0xFFF0) == SC_RESTORE) {
        // Also how a second start brings this console back from the tray.
        Application.Restore();
        SetForegroundWindow(Handle());
        return 0;
      }
      break;
    default:
      break;
  }
  return CForm::WndProc(msg, wParam, lParam);
}
