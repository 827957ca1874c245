#include "ui/fwappruleadddlg/fwappruleadddlg.h"

#include <cstring>

#include "platform/heap.h"
#include "rules/auditrules.h"
#include "ui/framework/looks.h"

std::string FullLongPath(const char* path) {
  if (path == nullptr || path[0] == 0) return path != nullptr ? path : "";
  char full[MAX_PATH];
  char* name = nullptr;
  DWORD length = GetFullPathNameA(path, sizeof full, full, &name);
  if (length == 0 || length >= sizeof full) return path;
  using LongPathName = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
  static const auto getLong = reinterpret_cast<LongPathName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetLongPathNameA")));
  if (getLong == nullptr) return full;
  char longer[MAX_PATH];
  length = getLong(full, longer, sizeof longer);
  return length != 0 && length < sizeof longer ? longer : full;
}

namespace {
const CAppInfoLayout kAppInfoLayout = {
    &kAppInfoDialogCaptions, 12, 24,
    {{56, 22, 60, 120, 22, 262, 14}, {56, 42, 60, 120, 42, 262, 14}, {56, 62, 60, 120, 62, 262, 14},
     {56, 82, 60, 120, 82, 262, 42}},
    true, true};
}  // namespace

TFWNewAppRuleDlg::TFWNewAppRuleDlg(CComponent* owner) : CForm(owner, "FWNewAppRuleDlg") {
  SetText("Vardeen应用程序许可通知");
  SetBorderStyle(TBorderStyle::Dialog);
  SetPosition(TPosition::ScreenCenter);
  SetClientSize(408, 284);
  SetColor(kConsoleColor);
  SetFormFont(kConsoleFontFace, kConsoleFontPixels);
  OnCreate = Bind(this, &TFWNewAppRuleDlg::FormCreate);

  GroupBox2 = NewControl<CGroupBox>(this, this, "GroupBox2", 8, 6, 392, 132, "应用程序信息");
  CreateAppInfoGroup(this, GroupBox2, kAppInfoLayout);

  Label1 = NewControl<CLabel>(this, this, "Label1", 12, 148, 200, 14, "如何审核该应用程序:");
  PermitRadioButton = NewControl<CRadioButton>(this, this, "PermitRadioButton", 28, 168, 360, 18,
                                               "许可，我信任该应用程序,它是安全的。");
  NotifyRadioButton = NewControl<CRadioButton>(this, this, "NotifyRadioButton", 28, 190, 360, 18,
                                               "通知用户，我对该应用程序的安全性表示怀疑。");
  BlockRadioButton = NewControl<CRadioButton>(this, this, "BlockRadioButton", 28, 212, 360, 18,
                                              "禁止，该应用程序非常危险。");
  for (CRadioButton* radio : {PermitRadioButton, NotifyRadioButton, BlockRadioButton})
    radio->OnClick = Bind(this, &TFWNewAppRuleDlg::PermitRadioButtonClick);

  OkBtn = NewControl<CGlyphButton>(this, this, "OkBtn", 236, 246, 76, 26, "确定");
  OkBtn->SetModalResult(mrOk);
  OkBtn->SetDefault(true);
  OkBtn->SetEnabled(false);
  OkBtn->OnClick = Bind(this, &TFWNewAppRuleDlg::OkBtnClick);
  CancelBtn = NewControl<CGlyphButton>(this, this, "CancelBtn", 320, 246, 76, 26, "取消");
  CancelBtn->SetModalResult(mrCancel);
  CancelBtn->SetCancel(true);
}

TFWNewAppRuleDlg::~TFWNewAppRuleDlg() { ReleaseNewRule(); }

void TFWNewAppRuleDlg::ReleaseNewRule() {
  ReleaseAuditRule(newRule_);
  delete newRule_;
  newRule_ = nullptr;
}

void TFWNewAppRuleDlg::FormCreate(CComponent*) {
  OkBtn->ApplyFlatLook(kGlyphKeyColor);
  CancelBtn->ApplyFlatLook(kGlyphKeyColor);
}

void TFWNewAppRuleDlg::SetAppPath(const char* path) {
  if (path == nullptr) return;
  path_ = FullLongPath(path);
  ShowAppInfo();
}

void TFWNewAppRuleDlg::ShowAppInfo() { ShowProgramInfo(path_.c_str()); }

void TFWNewAppRuleDlg::PermitRadioButtonClick(CComponent*) {
  OkBtn->SetEnabled(PermitRadioButton->Checked() || NotifyRadioButton->Checked() ||
                    BlockRadioButton->Checked());
}

void TFWNewAppRuleDlg::OkBtnClick(CComponent*) {
  ReleaseNewRule();
  auto* rule = new _RKFW_AUDIT_RULE();
  rule->Packed = 0;
  InitAuditRule(rule);
  // The path exactly as chosen, letter case included, in a block ReleaseAuditRule frees.
  rule->AppPath = static_cast<char*>(PlatformAlloc(static_cast<uint32_t>(path_.size() + 1)));
  if (rule->AppPath != nullptr) memcpy(rule->AppPath, path_.c_str(), path_.size() + 1);
  if (PermitRadioButton->Checked()) rule->Access = AUDIT_DECISION_PERMIT;
  else if (NotifyRadioButton->Checked()) rule->Access = AUDIT_DECISION_NOTIFY;
  else if (BlockRadioButton->Checked()) rule->Access = AUDIT_DECISION_BLOCK;
  newRule_ = rule;
}
