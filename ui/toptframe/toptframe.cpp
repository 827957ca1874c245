#include "ui/toptframe/toptframe.h"

#include <windows.h>

#include "app/qeltutil.h"
#include "ui/framework/canvas.h"
#include "ui/framework/looks.h"

namespace {

bool StartCommand(const char* commandLine) {
  // CreateProcess may write into the command line it is given.
  std::string line = commandLine;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

CommandStarter g_starter = StartCommand;

// Blanks around a path are never meant; GBK trail bytes are never blanks, so cutting bytes
// is safe.
std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// A floppy disk for the save button, on the glyph key colour.
HBITMAP MakeSaveGlyph() {
  CCanvas c(16, 16, kGlyphKeyColor);
  c.Fill(1, 1, 15, 15, RGB(30, 60, 120));      // the body
  c.Fill(4, 1, 12, 6, RGB(220, 225, 235));     // the shutter
  c.Fill(9, 2, 11, 5, RGB(30, 60, 120));       // its window
  c.Fill(3, 9, 13, 15, RGB(250, 250, 250));    // the label
  c.Fill(4, 11, 12, 12, RGB(150, 160, 175));   // a line on it
  return c.Take();
}

}  // namespace

void SetCommandStarter(CommandStarter starter) { g_starter = starter != nullptr ? starter : StartCommand; }

bool CColorEdit::HandleNotification(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  // A disabled or read-only edit asks for the static colour.
  if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORSTATIC) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetBkColor(dc, Color());
    SetTextColor(dc, Enabled() ? FontColor() : GetSysColor(COLOR_GRAYTEXT));
    *result = reinterpret_cast<LRESULT>(SharedSolidBrush(Color()));
    return true;
  }
  return CEdit::HandleNotification(msg, wParam, lParam, result);
}

TTOptionFrame::TTOptionFrame(CComponent* owner) : CPage(owner, "OptionFrame") {
  SetBounds(0, 0, kPageWidth, kPageHeight);
  SetColor(kConsoleColor);

  BtnPanel = NewControl<CPanel>(this, this, "BtnPanel", 0, 0, kPageWidth, 30);
  BtnPanel->SetAlign(TAlign::Top);
  BtnPanel->SetColor(kToolBarColor);
  SaveBitBtn = NewControl<CGlyphButton>(this, BtnPanel, "SaveBitBtn", 440, 3, 24, 24);
  SaveBitBtn->SetGlyph(MakeSaveGlyph());
  SaveBitBtn->SetHint("保存规则");
  SaveBitBtn->OnClick = Bind(this, &TTOptionFrame::SaveBitBtnClick);
  ApplyBitBtn = NewControl<CGlyphButton>(this, BtnPanel, "ApplyBitBtn", 470, 3, 56, 24, "应用");
  ApplyBitBtn->OnClick = Bind(this, &TTOptionFrame::ApplyBitBtnClick);

  LoadAtStartCheck = NewControl<CCheckBox>(this, this, "LoadAtStartCheck", 24, 42, 220, 17, "启动时自动加载Vardeen");
  LoadAtStartCheck->OnClick = Bind(this, &TTOptionFrame::LoadAtStartCheckClick);
  RecordLogCheck = NewControl<CCheckBox>(this, this, "RecordLogCheck", 24, 66, 120, 17, "记录日志");
  RecordLogCheck->OnClick = Bind(this, &TTOptionFrame::RecordLogCheckClick);

  LogGroup = NewControl<CGroupBox>(this, this, "LogGroup", 24, 86, 496, 120);
  Label1 = NewControl<CLabel>(this, LogGroup, "Label1", 16, 23, 80, 14, "日志文件目录");
  LogPath = NewControl<CColorEdit>(this, LogGroup, "LogPath", 100, 19, 300, 21);
  LogPath->OnChange = Bind(this, &TTOptionFrame::LogPathChange);
  Browse = NewControl<CButton>(this, LogGroup, "Browse", 408, 18, 72, 23, "浏览");
  Browse->OnClick = Bind(this, &TTOptionFrame::BrowseClick);
  SaveCheck = NewControl<CCheckBox>(this, LogGroup, "SaveCheck", 16, 53, 52, 17, "清除");
  SaveCheck->OnClick = Bind(this, &TTOptionFrame::SaveCheckClick);
  DaysCombo = NewControl<CComboBox>(this, LogGroup, "DaysCombo", 70, 51, 52, 20);
  DaysCombo->OnChange = Bind(this, &TTOptionFrame::DaysComboChange);
  Label2 = NewControl<CLabel>(this, LogGroup, "Label2", 128, 55, 110, 14, "天以外的日志文件");
  LookForLog = NewControl<CButton>(this, LogGroup, "LookForLog", 16, 84, 84, 23, "查看日志");
  LookForLog->OnClick = Bind(this, &TTOptionFrame::LookForLogClick);
  ClearLog = NewControl<CButton>(this, LogGroup, "ClearLog", 108, 84, 84, 23, "清除日志");
  ClearLog->OnClick = Bind(this, &TTOptionFrame::ClearLogClick);

  BeepAlert = NewControl<CCheckBox>(this, this, "BeepAlert", 24, 214, 120, 17, "声音报警");
  BeepAlert->OnClick = Bind(this, &TTOptionFrame::BeepAlertClick);
  // The sound file is kept and checked, but its controls stay out of sight: the alarm is the
  // system's sound.
  GroupBox1 = NewControl<CGroupBox>(this, this, "GroupBox1", 24, 236, 496, 52);
  GroupBox1->SetVisible(false);
  Label3 = NewControl<CLabel>(this, GroupBox1, "Label3", 16, 23, 60, 14, "声音文件");
  BeepFileEdit = NewControl<CColorEdit>(this, GroupBox1, "BeepFileEdit", 80, 19, 320, 21);
  BeepFileEdit->OnChange = Bind(this, &TTOptionFrame::BeepFileEditChange);
  BeepFileBrowse = NewControl<CButton>(this, GroupBox1, "BeepFileBrowse", 408, 18, 72, 23, "浏览");
  BeepFileBrowse->OnClick = Bind(this, &TTOptionFrame::BeepFileBrowseClick);

  OpenDialog = new CFileDialog(this, "OpenDialog", false);
  OpenDialog->Filter = "声音文件|*.wav";

  EditedSettings.LoadSettings();
  ApplyBitBtn->SetEnabled(false);
  SaveBitBtn->SetEnabled(false);
  for (int day = 1; day <= 60; ++day) DaysCombo->AddItem(std::to_string(day).c_str());
  ShowSettings();
}

// ---- showing and reading ----

void TTOptionFrame::ShowSettings() {
  if (Updating) return;
  Updating = true;
  LoadAtStartCheck->SetChecked(EditedSettings.LOADATSTART != 0);
  RecordLogCheck->SetChecked(EditedSettings.RECORDLOG != 0);
  SaveCheck->SetChecked(EditedSettings.CLEANLOG != 0);
  BeepAlert->SetChecked(EditedSettings.BEEPALERT != 0);
  LogPath->SetText(EditedSettings.LOGPATH.c_str());
  BeepFileEdit->SetText(EditedSettings.BEEPALERT_PATH.c_str());
  // 0 (never chosen) and anything beyond the list leave no item selected.
  DaysCombo->SetItemIndex(EditedSettings.LOGSAVEDAYS - 1);
  bool beep = BeepAlert->Checked();
  BeepFileEdit->SetEnabled(beep);
  Label3->SetEnabled(beep);
  BeepFileBrowse->SetEnabled(beep);
  SetLogControlStates();
  Updating = false;
}

void TTOptionFrame::SetLogControlStates() {
  bool logging = RecordLogCheck->Checked();
  for (CControl* c : {static_cast<CControl*>(LogPath), static_cast<CControl*>(Browse),
                      static_cast<CControl*>(SaveCheck), static_cast<CControl*>(LookForLog),
                      static_cast<CControl*>(ClearLog), static_cast<CControl*>(Label1)})
    c->SetEnabled(logging);
  bool trimming = logging && SaveCheck->Checked();
  Label2->SetEnabled(trimming);
  DaysCombo->SetEnabled(trimming);
  LogPath->SetColor(GetSysColor(logging ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT));
  LogPath->Invalidate();
}

void TTOptionFrame::ReadControls() {
  EditedSettings.LOADATSTART = LoadAtStartCheck->Checked() ? 1 : 0;
  EditedSettings.RECORDLOG = RecordLogCheck->Checked() ? 1 : 0;
  EditedSettings.CLEANLOG = SaveCheck->Checked() ? 1 : 0;
  EditedSettings.BEEPALERT = BeepAlert->Checked() ? 1 : 0;
  EditedSettings.LOGPATH = LogPath->Text();
  EditedSettings.BEEPALERT_PATH = BeepFileEdit->Text();
  // The list cannot be emptied by the user: nothing chosen means the stored count is not in
  // the list (0, or more than 60 from elsewhere). It stays as it is; saved as 0 it would make
  // the trimming at exit delete every log but today's.
  if (DaysCombo->ItemIndex() >= 0) EditedSettings.LOGSAVEDAYS = DaysCombo->ItemIndex() + 1;
}

bool TTOptionFrame::ValidateSettings() {
  EditedSettings.LOGPATH = Trimmed(EditedSettings.LOGPATH);
  EditedSettings.BEEPALERT_PATH = Trimmed(EditedSettings.BEEPALERT_PATH);
  const char* problem = nullptr;
  if (EditedSettings.RECORDLOG != 0) {
    // The daily file's whole name must fit, or the library writes nothing.
    if (!LogFolderFits(EditedSettings.LOGPATH)) problem = kLogPathTooLongText;
    else if (EditedSettings.LOGPATH.empty()) problem = kLogPathEmptyText;
    // Trimming without a day count would delete every log before today.
    else if (EditedSettings.CLEANLOG != 0 && !TrimDaysChosen(EditedSettings.LOGSAVEDAYS)) problem = kNoDaysChosenText;
  }
  if (problem == nullptr && EditedSettings.BEEPALERT != 0) {
    if (EditedSettings.BEEPALERT_PATH.size() > kMaxSettingPath) problem = kBeepPathTooLongText;
    else if (EditedSettings.BEEPALERT_PATH.empty()) problem = kBeepPathEmptyText;
  }
  if (problem == nullptr) return true;
  MessageDlg(this, problem, "注意", kMbOk | kMbIconWarning);
  return false;
}

std::string TTOptionFrame::LogFolder() const { return Trimmed(LogPath->Text()); }

// ---- edits ----

void TTOptionFrame::CheckBoxClicked() {
  if (Updating) return;
  ReadControls();
  ShowSettings();  // the enabled states follow the boxes
  Changed();
}

void TTOptionFrame::Changed() {
  Modified = true;
  SaveBitBtn->SetEnabled(true);
  ApplyBitBtn->SetEnabled(true);
}

void TTOptionFrame::LoadAtStartCheckClick(CComponent*) { CheckBoxClicked(); }
void TTOptionFrame::RecordLogCheckClick(CComponent*) { CheckBoxClicked(); }
void TTOptionFrame::SaveCheckClick(CComponent*) { CheckBoxClicked(); }
void TTOptionFrame::BeepAlertClick(CComponent*) { CheckBoxClicked(); }

void TTOptionFrame::LogPathChange(CComponent*) {
  if (!Updating) Changed();
}
void TTOptionFrame::BeepFileEditChange(CComponent*) {
  if (!Updating) Changed();
}
void TTOptionFrame::DaysComboChange(CComponent*) {
  if (!Updating) Changed();
}

// ---- the buttons ----

void TTOptionFrame::SaveBitBtnClick(CComponent*) {
  ReadControls();
  if (!ValidateSettings()) return;
  if (EditedSettings.SaveSettings() == 0) {
    MessageDlg(this, kSaveFailedText, "注意", kMbOk | kMbIconWarning);
    return;
  }
  Modified = false;
  SaveBitBtn->SetEnabled(false);  // apply keeps its state: saving does not apply
}

void TTOptionFrame::ApplyBitBtnClick(CComponent*) {
  ReadControls();
  if (!ValidateSettings()) return;
  // The running console reads the global settings at every use.
  static_cast<QELT_OPTION_STRUCT&>(QeltOption) = EditedSettings;
  ApplyBitBtn->SetEnabled(false);
}

void TTOptionFrame::BrowseClick(CComponent*) {
  if (!QeltUtil.Loaded()) return;
  char folder[kQeltFolderBufferSize] = {};
  if (QeltUtil.QeltGetFolder(folder, Handle()) == 0) return;
  EditedSettings.LOGPATH = folder;
  LogPath->SetText(folder);  // marks the page modified through LogPathChange
}

void TTOptionFrame::BeepFileBrowseClick(CComponent*) {
  OpenDialog->FileName = EditedSettings.BEEPALERT_PATH;
  if (!OpenDialog->Execute(this)) return;
  EditedSettings.BEEPALERT_PATH = OpenDialog->FileName;
  BeepFileEdit->SetText(OpenDialog->FileName.c_str());
}

void TTOptionFrame::LookForLogClick(CComponent*) {
  ReadControls();
  std::string folder = LogFolder();
  if (folder.empty()) return;
  DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return;
  // Quoted, so that a comma or a blank in the folder's name does not split it.
  g_starter(("Explorer \"" + folder + "\"").c_str());
}

void TTOptionFrame::ClearLogClick(CComponent*) {
  ReadControls();
  if (MessageDlg(this, kClearLogQuestion, "提示", kMbYesNo | kMbIconQuestion) != kIdYes) return;
  if (QeltUtil.Loaded()) QeltUtil.QLETCleanLog(LogFolder().c_str(), -1);
}

bool TTOptionFrame::QueryClose() {
  if (!Modified) return true;
  int answer = MessageDlg(this, kUnsavedQuestion, "保存", kMbYesNoCancel | kMbIconQuestion);
  if (answer == kIdNo) return true;
  if (answer != kIdYes) return false;  // Cancel, or a box that could not be shown: keep the page
  SaveBitBtnClick(SaveBitBtn);
  // A save that failed has told the user why; leaving now would lose the edits silently.
  return !Modified;
}
