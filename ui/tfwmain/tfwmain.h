// The console's main window: level slider, enable switch, six page buttons, the view panel
// that hosts one page at a time, the tray icon and the 200 ms event poll.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "driver/port.h"
#include "ui/consolehost/consolehost.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"
#include "ui/framework/looks.h"
#include "ui/framework/menu.h"
#include "ui/framework/messages.h"
#include "ui/framework/timer.h"

class TFWLogViewFrame;
class CMainEventWiring;

constexpr int kMainWidth = 580;
constexpr int kExpandedHeight = 468;
constexpr int kCollapsedHeight = 153;

constexpr const char* kStateEnabledText = "启用中";
constexpr const char* kStateDisabledText = "禁用中";
constexpr const char* kInitFailedText = "初始化防火墙组件失败!";
constexpr const char* kAuditSaveFailedText =
    "无法保存程序规则文件“app.aud”，新的程序规则只在本次运行中生效。每次修改程序规则时都会再次保存。";

// Pages are created by class name from one table (ui/tfwmain/pages.cpp); each is handed the
// main window as its host.
struct CPageClass {
  const char* className;
  CPage* (*create)(CComponent* owner, CConsoleHost& host);
};
// The table entry for `className`, or nullptr while that page does not exist yet.
const CPageClass* FindPageClass(const char* className);
// Tests: use `table` (ended by an entry with a null class name) instead (nullptr restores).
void SetPageTable(const CPageClass* table);

// The rule file of a level: 0 "hsec.rul", 1 "msec.rul", 2 "lsec.rul", 3 the value "Crul"
// (default "csec.rul"), anything else "msec.rul".
std::string LevelRuleFile(int level);

class TFWMainForm : public CForm, public CConsoleHost {
 public:
  // Every request to the driver goes through `driver`, which must outlive the window; the
  // window hands it to the rule store, the event poll and the pages.
  explicit TFWMainForm(CComponent* owner, CDriverPort& driver = RkfwPort());
  ~TFWMainForm() override;
  const char* ClassName() const override { return "TFWMainForm"; }

  void FormCreate(CComponent* Sender);
  void FormClose(CComponent* Sender, TCloseAction& Action);
  // A page with unsaved edits may keep the console open.
  void FormCloseQuery(CComponent* Sender, bool& CanClose);
  void FormDestroy(CComponent* Sender);

  void SysInfoBtnClick(CComponent* Sender);
  void ProcInfoBtnClick(CComponent* Sender);
  void RuleSetupBtnClick(CComponent* Sender);
  void SetupBitBtnClick(CComponent* Sender);
  void AppAuditBtnClick(CComponent* Sender);
  void EnableBtnClick(CComponent* Sender);
  void TrackBar1Change(CComponent* Sender);
  void closeClick(CComponent* Sender);
  void openClick(CComponent* Sender);
  void Label1Click(CComponent* Sender);
  void Label12Click(CComponent* Sender);
  void Label13Click(CComponent* Sender);
  void FormActivate(CComponent* Sender);
  void N1Click(CComponent* Sender);
  void N2Click(CComponent* Sender);
  void TrayIcon1DblClick(CComponent* Sender);
  void NotifyTimerTimer(CComponent* Sender);

  // Expands the window and shows the page of `className` (or keeps it when it is shown).
  void ShowPage(const char* className);
  bool ClosePage();
  void ShowLogPage();
  void RefreshAuditPage();
  void Collapse();
  void Expand();
  bool Expanded() const { return ViewPanel->Visible(); }

  // Tells the companion anti-virus window the filter state, when that window exists.
  void PostFilterState(uint8_t enabled);
  // Writes the cached audit rules to "app.aud" next to the program; the first failure since
  // the last good save is told, in the log page and a box (at once, or once the message loop
  // is free). 0, or 1.
  uint32_t SaveAuditRules(bool tellNow);
  // A line in the log page now, and a box once the message loop is free: for callers deep in
  // a click whose window must not see a modal loop under it.
  void TellProblemLater(const std::string& text);

  // The pages' host: the driver, the slider, the log page and the editors.
  CDriverPort& Driver() const override { return driver_; }
  int SecurityLevel() const override { return TrackBar1->Position(); }
  void SelectSecurityLevel(int level) override;
  void RequestLogPage() override;
  bool OpenRuleEditor(CComponent* owner, _RKFW_RULE* rule, _RKFW_RULE** created) override;
  bool OpenAuditConditions(CControl* card, _RKFW_AUDIT_RULE* rule) override;

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  CImage* Image1;
  CLabel *Label2, *Label3, *Label4, *Label5;
  CTrackBar* TrackBar1;
  CGlyphButton *SysInfoBtn, *ProcInfoBtn, *EnableBtn, *SetupBitBtn, *RuleSetupBtn, *AppAuditBtn;
  CLabel *Label6, *Label7, *Label8, *Label9, *Label10, *Label11;
  CPanel* ViewPanel;
  CImage* Image2;
  CPanel* Panel1;
  CImage *close, *open;
  CPanel* Panel2;
  CImage* Image4;
  CLabel *Label12, *Label13;
  CLabel* Label1;
  CTimer* NotifyTimer;
  CPopupMenu* PopupMenu1;
  CMenuItem *N1, *N2;
  CTrayIcon* TrayIcon1;

  CPage* CurrentPage = nullptr;
  TFWLogViewFrame* LogFrame = nullptr;

  CMainEventWiring* Events() const { return events_; }

 private:
  void LoadEnableGlyph(bool enabled);
  // Rule files that did not load: each is told once, in a box owned by this window and in a
  // line of the log page; at start-up the box waits until the message loop runs.
  void TellLoadProblem(const std::string& text, bool now);
  void ShowPendingLoadProblems();
  void CheckAuditLoad(uint32_t result, const std::string& path, bool now);
  std::vector<std::string> pendingProblems_;
  std::vector<std::string> toldFiles_;
  int levelInForce_ = 1;  // the slider's position whose rule file the driver holds
  // Tells the user the firewall could not be set up and ends the console.
  void FailInitialisation();
  CGlyphButton* AddPageButton(const char* name, const char* labelName, const char* caption,
                              int index, CLabel** label);
  static void AuditRulesChanged(void* form);
  CMainEventWiring* events_ = nullptr;
  CDriverPort& driver_;  // not owned
  bool driverReady_ = false;
  bool auditSaveFailureTold_ = false;
};

extern TFWMainForm* FWMainForm;
