#include "ui/tfweventnotifyform/tfweventnotifyform.h"

#include <cstdio>
#include <cstring>

#include "base/bytes.h"
#include "log/eventrecord.h"
#include "log/formatters.h"
#include "platform/msgbox.h"
#include "rules/auditrules.h"
#include "rules/caches.h"
#include "rules/decisions.h"
#include "rules/ruleport.h"
#include "ui/framework/artwork.h"
#include "ui/framework/messages.h"

namespace {
const char* OperationText(uint32_t operation) {
  switch (operation) {
    case 1: return "接收";
    case 2: return "发送";
    case 4: return "连接网络";
    case 8: return "网络连接本地服务请求";
    case 16: return "作为本地服务程序";
    default: return "";
  }
}

const char* ProtocolText(uint32_t protocol) {
  switch (protocol) {
    case 0: return "IP";
    case 1: return "TCP";
    case 2: return "UDP";
    default: return "";  // the driver sends no other
  }
}

constexpr uint32_t kOperationService = 16;

std::string AddressWithPort(const _REPORT_EVENT_HEAD& event, uint32_t addressAt, uint32_t portAt) {
  const uint16_t stored = EventPort(event, portAt);  // network byte order
  char text[96];
  snprintf(text, sizeof text, "%s 端口: %d", FormatAddress(EventU32(event, addressAt), true).Data(),
           NetToHost16(stored));
  return text;
}

// A string the file lacks stays empty: the prompt keeps to what the program says.
const CAppInfoLayout kAppInfoLayout = {
    &kAppInfoDialogCaptions, 12, 22,
    {{54, 22, 66, 122, 22, 222, 14}, {54, 40, 66, 122, 40, 222, 14}, {54, 58, 66, 122, 58, 222, 14},
     {12, 82, 66, 80, 82, 264, 72}},
    true, false};

// The glyphs the answer buttons carry.
enum : int { kGlyphOk, kGlyphCancel, kGlyphHelp };
}  // namespace

TFWEventNotifyForm::TFWEventNotifyForm(CComponent* owner, CPromptHost& host)
    : CForm(owner, nullptr), host_(host) {
  memset(&event_, 0, sizeof event_);
  SetText("Vardeen应用程序审核");
  SetBorderStyle(TBorderStyle::Single);
  SetMinimizeBox(false);
  SetClientSize(369, 441);
  SetTopMost(true);
  SetStaysAnswerable(true);
  SetPosition(TPosition::ScreenCenter);
  SetFormFont("宋体", 13);
  SetCloseOnEscape(true);
  OnCreate = Bind(this, &TFWEventNotifyForm::FormCreate);
  OnCloseQuery = Bind(this, &TFWEventNotifyForm::FormCloseQuery);

  Label1 = NewControl<CLabel>(this, this, "Label1", 0, 12, 369, 16, "是否允许该应用程序访问网络?");
  Label1->SetAlignment(DT_CENTER);
  boldFont_.Reset(CreatePixelFont("宋体", 13, true));
  Label1->SetFont(boldFont_.Get());

  GroupBox1 = NewControl<CGroupBox>(this, this, "GroupBox1", 8, 36, 353, 100, "网络信息");
  Label2 = NewControl<CLabel>(this, GroupBox1, "Label2", 12, 22, 66, 14, "操作:");
  OPLabel = NewControl<CLabel>(this, GroupBox1, "OPLabel", 80, 22, 264, 14);
  Label4 = NewControl<CLabel>(this, GroupBox1, "Label4", 12, 40, 66, 14, "协议:");
  ProtoLabel = NewControl<CLabel>(this, GroupBox1, "ProtoLabel", 80, 40, 264, 14);
  Label5 = NewControl<CLabel>(this, GroupBox1, "Label5", 12, 58, 66, 14, "本方地址:");
  LocalLabel = NewControl<CLabel>(this, GroupBox1, "LocalLabel", 80, 58, 264, 14);
  DstLabel = NewControl<CLabel>(this, GroupBox1, "DstLabel", 12, 76, 66, 14, "对方地址:");
  RemoteLabel = NewControl<CLabel>(this, GroupBox1, "RemoteLabel", 80, 76, 264, 14);

  GroupBox2 = NewControl<CGroupBox>(this, this, "GroupBox2", 8, 144, 353, 162, "应用程序信息");
  CreateAppInfoGroup(this, GroupBox2, kAppInfoLayout);

  AuditCheckBox = NewControl<CCheckBox>(this, this, "AuditCheckBox", 12, 314, 345, 18,
                                        "加入应用程序权限审核,以后都执行该操作");
  AuditCheckBox->OnClick = Bind(this, &TFWEventNotifyForm::AuditCheckBoxClick);
  PermitRadioButton = NewControl<CRadioButton>(this, this, "PermitRadioButton", 30, 336, 327, 18,
                                               "许可，我信任该应用程序,它是安全的。");
  BlockRadioButton = NewControl<CRadioButton>(this, this, "BlockRadioButton", 30, 356, 327, 18,
                                              "禁止，该应用程序非常危险。");
  NotifyRadioButton = NewControl<CRadioButton>(this, this, "NotifyRadioButton", 30, 376, 327, 18,
                                               "通知用户，我对该应用程序的安全性表示怀疑。");
  for (CRadioButton* radio : {PermitRadioButton, BlockRadioButton, NotifyRadioButton}) {
    radio->SetEnabled(false);
    radio->OnClick = Bind(this, &TFWEventNotifyForm::PermitRadioButtonClick);
  }
  NotifyRadioButton->SetVisible(false);

  PermitBtn = NewControl<CGlyphButton>(this, this, "PermitBtn", 96, 404, 80, 28, "许可");
  SetButtonGlyph(PermitBtn, kGlyphOk);
  PermitBtn->OnClick = Bind(this, &TFWEventNotifyForm::PermitBtnClick);
  BlockBtn = NewControl<CGlyphButton>(this, this, "BlockBtn", 193, 404, 80, 28, "禁止");
  SetButtonGlyph(BlockBtn, kGlyphCancel);
  BlockBtn->OnClick = Bind(this, &TFWEventNotifyForm::BlockBtnClick);
  OkBitBtn = NewControl<CGlyphButton>(this, this, "OkBitBtn", 140, 404, 90, 28, "通知用户");
  SetButtonGlyph(OkBitBtn, kGlyphHelp);
  OkBitBtn->SetEnabled(false);
  OkBitBtn->SetVisible(false);
  OkBitBtn->OnClick = Bind(this, &TFWEventNotifyForm::OkBitBtnClick);

  TopItTimer = new CTimer(this, "TopItTimer");
  TopItTimer->SetInterval(250);
  TopItTimer->OnTimer = Bind(this, &TFWEventNotifyForm::TopItTimerTimer);
  TopItTimer->SetEnabled(true);
}

TFWEventNotifyForm::~TFWEventNotifyForm() { ReleaseEvent(); }

void TFWEventNotifyForm::ReleaseEvent() {
  if (!held_) return;
  ReleaseEventPath(event_);
  held_ = false;
}

void TFWEventNotifyForm::SetEvent(const _REPORT_EVENT_HEAD* record) {
  ReleaseEvent();
  if (record == nullptr) return;
  memcpy(&event_, record, sizeof event_);
  held_ = true;
  answered_ = false;
  ShowEvent();
}

void TFWEventNotifyForm::SetButtonGlyph(CGlyphButton* button, int picture) {
  static const TGlyphPicture kPictures[] = {TGlyphPicture::Ok, TGlyphPicture::Cancel, TGlyphPicture::Help};
  button->SetGlyph(MakeGlyph(kPictures[picture], 16));
  if (button->Handle() != nullptr) button->ApplyFlatLook();
}

void TFWEventNotifyForm::FormCreate(CComponent*) {
  for (CGlyphButton* button : {PermitBtn, BlockBtn, OkBitBtn}) button->ApplyFlatLook();
}

void TFWEventNotifyForm::ShowEvent() {
  const uint32_t operation = EventU32(event_, APP_AT_OPERATION);
  const uint32_t protocol = EventU32(event_, APP_AT_PROTOCOL);
  OPLabel->SetText(OperationText(operation));
  ProtoLabel->SetText(ProtocolText(protocol));
  if (protocol == 1 || protocol == 2) {
    LocalLabel->SetText(AddressWithPort(event_, APP_AT_LOCAL_ADDR, APP_AT_LOCAL_PORT).c_str());
    const bool service = operation == kOperationService;
    DstLabel->SetVisible(!service);
    RemoteLabel->SetVisible(!service);
    if (!service) RemoteLabel->SetText(AddressWithPort(event_, APP_AT_REMOTE_ADDR, APP_AT_REMOTE_PORT).c_str());
  } else {
    LocalLabel->SetText(FormatAddress(EventU32(event_, APP_AT_LOCAL_ADDR), true).Data());
    RemoteLabel->SetText(FormatAddress(EventU32(event_, APP_AT_REMOTE_ADDR), true).Data());
  }

  const char* path = EventPathText(event_);
  ShowProgramInfo(path);

  if (EventU32(event_, EVENT_AT_FLAGS) & kEventAuditFlag)
    AuditCheckBox->SetText("修改应用程序权限审核,以后都执行该操作");
  // Without the program's full path a rule would decide for every program whose path is
  // unknown: such a prompt answers this connection only.
  AuditCheckBox->SetEnabled(IsFullProgramPath(path));
}

void TFWEventNotifyForm::Present() {
  ShowInactive();
  TopItTimerTimer(this);  // a prompt raised while a dialog is open goes below it at once
  if (Handle() != nullptr) FlashWindow(Handle(), TRUE);
}

void TFWEventNotifyForm::AuditCheckBoxClick(CComponent*) {
  const bool forGood = AuditCheckBox->Checked();
  PermitBtn->SetVisible(!forGood);
  BlockBtn->SetVisible(!forGood);
  OkBitBtn->SetVisible(forGood);
  for (CRadioButton* radio : {PermitRadioButton, BlockRadioButton, NotifyRadioButton}) {
    radio->SetEnabled(forGood);
    radio->Invalidate();
  }
}

void TFWEventNotifyForm::PermitRadioButtonClick(CComponent*) {
  if (PermitRadioButton->Checked()) {
    SetButtonGlyph(OkBitBtn, kGlyphOk);
    OkBitBtn->SetText("许可");
  } else if (BlockRadioButton->Checked()) {
    SetButtonGlyph(OkBitBtn, kGlyphCancel);
    OkBitBtn->SetText("禁止");
  } else {
    SetButtonGlyph(OkBitBtn, kGlyphHelp);
    OkBitBtn->SetText("通知用户");
  }
  OkBitBtn->SetEnabled(true);
}

void TFWEventNotifyForm::PermitBtnClick(CComponent*) { Answer(RKFW_VERDICT_PERMIT); }

void TFWEventNotifyForm::BlockBtnClick(CComponent*) { Answer(RKFW_VERDICT_BLOCK); }

void TFWEventNotifyForm::OkBitBtnClick(CComponent*) {
  if (answered_ || !held_) return;
  uint32_t decision;
  if (PermitRadioButton->Checked()) decision = AUDIT_PERMIT;
  else if (NotifyRadioButton->Checked()) decision = AUDIT_NOTIFY;
  else if (BlockRadioButton->Checked()) decision = AUDIT_BLOCK;
  else {
    ShowMessageBox(Handle(), "未选择审核操作!", "错误", MB_OK);
    return;
  }
  // The event's rule may have been deleted meanwhile: then the program's rule, or a new one.
  const uint32_t ruleId = EventU32(event_, APP_AT_RULE_ID);
  const bool named = (EventU32(event_, EVENT_AT_FLAGS) & kEventAuditFlag) != 0;
  const uint32_t recorded = RecordAuditDecision(EventPathText(event_), decision, named ? &ruleId : nullptr);
  host_.RefreshAuditPage();
  Answer(decision & 1);
  // This connection has its answer; the rule did not reach the driver, and the user must know.
  if (recorded != 0) host_.TellProblem(kDecisionNotKeptText);
}

void TFWEventNotifyForm::Answer(uint32_t verdict) {
  // A second click before the prompt is gone must not answer again (nor take up another
  // queued event): the driver would get two verdicts and two prompts would wait at once.
  if (answered_ || !held_) return;
  answered_ = true;
  SetEventVerdict(event_, verdict);
  RulePort().SendVerdict(&event_);
  Finish();
}

void TFWEventNotifyForm::Finish() {
  for (CControl* button : {PermitBtn, BlockBtn, OkBitBtn}) button->SetEnabled(false);
  if (held_) host_.TakeNextPendingEvent();
  PostMessageA(host_.PromptOwnerWindow(), WM_FREECHILD, 0,
               reinterpret_cast<LPARAM>(static_cast<CEventPrompt*>(this)));
}

void TFWEventNotifyForm::TopItTimerTimer(CComponent*) {
  if (Handle() == nullptr) return;
  // On top of everything but a dialog the user has open, which would be hidden behind it.
  CForm* modal = CForm::TopModal();
  HWND after = modal != nullptr && modal->Handle() != nullptr ? modal->Handle() : HWND_TOPMOST;
  SetWindowPos(Handle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TFWEventNotifyForm::FormCloseQuery(CComponent*, bool& CanClose) {
  // The close box, Alt+F4 and Esc forbid this one event: an unanswered prompt would hold
  // every later application event back for good. The window goes through WM_FREECHILD.
  CanClose = false;
  Answer(RKFW_VERDICT_BLOCK);
}
