// The dialog that follows the choice of a program to audit: what the file says about itself,
// and whether the program is to be permitted, reported or blocked. OK builds the new rule.
#pragma once
#include <string>

#include "rules/records.h"
#include "ui/appinfo/appinfo.h"
#include "ui/framework/controls.h"
#include "ui/framework/form.h"

class TFWNewAppRuleDlg : public CForm, public CAppInfoGroup {
 public:
  explicit TFWNewAppRuleDlg(CComponent* owner);
  ~TFWNewAppRuleDlg() override;
  const char* ClassName() const override { return "TFWNewAppRuleDlg"; }

  // Keeps the full long form of `path` and shows the program's information (nullptr: nothing
  // happens).
  void SetAppPath(const char* path);
  void ShowAppInfo();
  // The rule OK built (the dialog keeps it; the reader copies it), or nullptr.
  const _RKFW_AUDIT_RULE* NewRule() const { return newRule_; }

  void FormCreate(CComponent* Sender);
  void PermitRadioButtonClick(CComponent* Sender);
  void OkBtnClick(CComponent* Sender);

  CGroupBox* GroupBox2;
  CLabel* Label1;
  CRadioButton *PermitRadioButton, *NotifyRadioButton, *BlockRadioButton;
  CGlyphButton *OkBtn, *CancelBtn;

 private:
  void ReleaseNewRule();
  std::string path_;
  _RKFW_AUDIT_RULE* newRule_ = nullptr;  // owned, with its path
};

// `path` made absolute, its short (8.3) names written out where the system can
// (GetLongPathNameA, which Windows 95 and NT 4.0 lack), so that one program has one spelling
// in its audit rule; `path` itself when the system cannot say.
std::string FullLongPath(const char* path);
