// The options page: start with Windows, the event log (folder, trimming, view, delete) and
// the sound alarm. It edits its own copy of the settings; "save" writes the copy to the
// registry, "apply" hands it to the running console.
#pragma once
#include <string>

#include "app/qeltoption.h"
#include "ui/framework/controls.h"
#include "ui/framework/dialogs.h"
#include "ui/framework/form.h"

constexpr const char* kLogPathTooLongText = "输入的日志文件路径长度太长!";
constexpr const char* kLogPathEmptyText = "输入的日志文件路径不能为空!";
constexpr const char* kBeepPathTooLongText = "输入的声音文件路径长度太长!";
constexpr const char* kBeepPathEmptyText = "输入的声音文件路径不能为空!";
constexpr const char* kSaveFailedText = "保存设置失败!";
constexpr const char* kNoDaysChosenText = "请选择日志保存的天数!";
constexpr const char* kClearLogQuestion = "确定要删除所有的日志文件吗?";
constexpr const char* kUnsavedQuestion = "设置已被修改，还未被保存，是否保存?";
// The longest path the page accepts, in bytes of GBK text.
constexpr size_t kMaxSettingPath = 260;

// Starts a program by its command line, shown normally; true when it started. Tests replace
// it (nullptr restores the real one) so that no file browser opens.
using CommandStarter = bool (*)(const char* commandLine);
void SetCommandStarter(CommandStarter starter);

// An edit whose background is its colour, enabled or not (the system paints a disabled edit
// grey whatever the colour).
class CColorEdit : public CEdit {
 public:
  using CEdit::CEdit;
  bool HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class TTOptionFrame : public CPage {
 public:
  explicit TTOptionFrame(CComponent* owner);
  const char* ClassName() const override { return "TTOptionFrame"; }

  // Yes when nothing is unsaved; otherwise asks whether to save (Cancel keeps the page).
  bool QueryClose() override;

  void LoadAtStartCheckClick(CComponent* Sender);
  void RecordLogCheckClick(CComponent* Sender);
  void SaveCheckClick(CComponent* Sender);
  void BeepAlertClick(CComponent* Sender);
  void LogPathChange(CComponent* Sender);
  void BeepFileEditChange(CComponent* Sender);
  void DaysComboChange(CComponent* Sender);
  void BrowseClick(CComponent* Sender);
  void BeepFileBrowseClick(CComponent* Sender);
  void LookForLogClick(CComponent* Sender);
  void ClearLogClick(CComponent* Sender);
  void SaveBitBtnClick(CComponent* Sender);
  void ApplyBitBtnClick(CComponent* Sender);

  // Fills the controls from EditedSettings (change handlers stay quiet meanwhile).
  void ShowSettings();
  // Check boxes, the two paths and the day count into EditedSettings.
  void ReadControls();
  // Trims the two paths of EditedSettings and checks them; false after telling the user.
  bool ValidateSettings();

  CQELTOption EditedSettings;
  bool Modified = false;
  bool Updating = false;

  CPanel* BtnPanel;
  CGlyphButton *SaveBitBtn, *ApplyBitBtn;
  CCheckBox *LoadAtStartCheck, *RecordLogCheck;
  CGroupBox* LogGroup;
  CLabel* Label1;
  CColorEdit* LogPath;
  CButton* Browse;
  CCheckBox* SaveCheck;
  CComboBox* DaysCombo;
  CLabel* Label2;
  CButton *LookForLog, *ClearLog;
  CCheckBox* BeepAlert;
  CGroupBox* GroupBox1;
  CLabel* Label3;
  CColorEdit* BeepFileEdit;
  CButton* BeepFileBrowse;
  CFileDialog* OpenDialog;

 private:
  void CheckBoxClicked();
  void Changed();
  void SetLogControlStates();
  // The log folder as typed, without the blanks around it.
  std::string LogFolder() const;
};
