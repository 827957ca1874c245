// The options page under Wine on a scratch registry: what it shows, what it refuses, what
// save, apply and the log buttons do, and the question before it is left.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/qeltoption.h"
#include "app/registry.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "tests/win32/settings/scratch_registry.h"
#include "tests/win32/support/golden.h"
#include "ui/framework/application.h"
#include "ui/framework/describe.h"
#include "ui/toptframe/toptframe.h"

namespace {

std::vector<std::string> g_boxes;  // "text|caption" of every box shown
int g_answer = kIdOk;
std::vector<std::string> g_commands;

class OptionFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    g_commands.clear();
    g_answer = kIdOk;
    QeltOption = CQELTOption();
    SetProgramFolderOverride("C:\\Vardeen\\");
    SetMessageBoxScript(
        [](void*, void*, const char* text, const char* caption, uint32_t) {
          g_boxes.push_back(std::string(text) + "|" + caption);
          return g_answer;
        },
        nullptr);
    SetCommandStarter([](const char* line) {
      g_commands.push_back(line);
      return true;
    });
  }
  void TearDown() override {
    Application.Shutdown();
    SetCommandStarter(nullptr);
    SetMessageBoxScript(nullptr, nullptr);
    SetProgramFolderOverride(nullptr);
  }
  // The page on a form of its own, with windows, as the main window's view panel holds it.
  TTOptionFrame* Open() {
    Application.Initialize();
    CForm* host = new CForm(&Application, "Host");
    host->SetClientSize(kPageWidth, kPageHeight);
    host->EnsureCreated();
    auto* page = new TTOptionFrame(host);
    page->SetParent(host);
    page->Show();
    return page;
  }
  static void Type(CEdit* edit, const std::string& text) { edit->SetText(text.c_str()); }
  static DWORD StoredDword(const char* name) { return ReadRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, 999); }
  static std::string StoredText(const char* name) {
    return ReadRegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, name, "<none>");
  }
  CScratchRegistry registry_;
};

TEST_F(OptionFrameTest, ThePageShowsTheStoredSettingsWithoutMarkingItModified) {
  TTOptionFrame* page = Open();
  EXPECT_TRUE(MatchesGolden(DescribeControls(page), VARDEEN_GOLDEN "\\optionframe.txt"));
  EXPECT_EQ(page->LogPath->Color(), GetSysColor(COLOR_3DLIGHT)) << "logging is off on a fresh machine";
  Application.Shutdown();

  WriteRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "RECORDLOG", 1);
  WriteRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "CLEANLOG", 1);
  WriteRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "LOGSAVEDAYS", 7);
  WriteRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "BEEPALERT", 1);
  WriteRegistryText(HKEY_LOCAL_MACHINE, kSettingsKey, "LOGPATH", "D:\\日志");
  page = Open();
  EXPECT_TRUE(MatchesGolden(DescribeControls(page), VARDEEN_GOLDEN "\\optionframe_logging.txt"));
  EXPECT_EQ(page->LogPath->Color(), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_FALSE(page->Modified) << "filling the controls is no edit";

  page->RecordLogCheck->Click();
  EXPECT_TRUE(page->Modified);
  EXPECT_TRUE(page->SaveBitBtn->Enabled() && page->ApplyBitBtn->Enabled());
  EXPECT_FALSE(page->LogPath->Enabled() || page->DaysCombo->Enabled() || page->ClearLog->Enabled());
  EXPECT_EQ(page->LogPath->Color(), GetSysColor(COLOR_3DLIGHT));
  EXPECT_EQ(page->LogPath->WindowText(), "D:\\日志") << "the folder survives the redisplay";
}

TEST_F(OptionFrameTest, SaveChecksThePathsInOrderAndWritesNothingUntilTheyPass) {
  // The longest folder whose daily file "\\QELT-YYYY-MM-DD.log" still fits 259 bytes.
  const std::string kLongest = "C:\\" + std::string(236, 'a');
  struct Case {
    int recordLog, beep;
    std::string logPath, beepPath;
    const char* refusal;  // nullptr: saved
    std::string stored;   // the folder saved
  } cases[] = {
      {0, 0, "", "", nullptr, ""},  // an empty folder is fine while nothing is logged
      {1, 0, kLongest, "", nullptr, kLongest},
      {1, 0, kLongest + "b", "", kLogPathTooLongText, ""},
      {1, 0, kLongest + "\\", "", nullptr, kLongest + "\\"},  // the separator is its own
      {1, 0, "   ", "", kLogPathEmptyText, ""},
      {1, 1, "", "", kLogPathEmptyText, ""},  // the folder is checked before the sound
      {0, 1, "", " \t ", kBeepPathEmptyText, ""},
      {0, 1, "", std::string(261, 'w'), kBeepPathTooLongText, ""},
      {1, 1, "  D:\\logs  ", "C:\\a.wav", nullptr, "D:\\logs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.logPath.substr(0, 20) + "/" + c.beepPath.substr(0, 20));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    g_boxes.clear();
    TTOptionFrame* page = Open();
    if (page->RecordLogCheck->Checked() != (c.recordLog != 0)) page->RecordLogCheck->Click();
    if (page->BeepAlert->Checked() != (c.beep != 0)) page->BeepAlert->Click();
    Type(page->LogPath, c.logPath);
    Type(page->BeepFileEdit, c.beepPath);
    page->SaveBitBtn->Click();
    if (c.refusal != nullptr) {
      EXPECT_EQ(g_boxes, std::vector<std::string>{std::string(c.refusal) + "|注意"});
      EXPECT_FALSE(KeyExists(registry_.machine(), kSettingsKey)) << "nothing written";
      EXPECT_TRUE(page->Modified);
    } else {
      EXPECT_TRUE(g_boxes.empty());
      EXPECT_FALSE(page->Modified || page->SaveBitBtn->Enabled());
      EXPECT_TRUE(page->ApplyBitBtn->Enabled()) << "saving does not apply";
      EXPECT_EQ(StoredText("LOGPATH"), c.stored);
      // What was accepted reads back as it was saved.
      CQELTOption loaded;
      loaded.LoadSettings();
      if (!c.stored.empty()) EXPECT_EQ(loaded.LOGPATH, c.stored);
    }
    Application.Shutdown();
  }
}

TEST_F(OptionFrameTest, AStoredDayCountTheListLacksIsKeptAndAChosenDaySavedAsItsNumber) {
  WriteRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "CLEANLOG", 1);
  TTOptionFrame* page = Open();
  EXPECT_EQ(page->DaysCombo->ItemIndex(), -1);
  // Logging with "清除" and no day count would delete every log before today.
  page->RecordLogCheck->Click();
  page->SaveBitBtn->Click();
  EXPECT_EQ(g_boxes, std::vector<std::string>{std::string(kNoDaysChosenText) + "|注意"});
  EXPECT_FALSE(KeyExists(registry_.machine(), kSettingsKey) && StoredDword("RECORDLOG") == 1);
  page->RecordLogCheck->Click();
  page->LoadAtStartCheck->Click();
  page->SaveBitBtn->Click();
  EXPECT_EQ(StoredDword("LOGSAVEDAYS"), 0u);
  Application.Shutdown();
  WriteRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "LOGSAVEDAYS", 90);
  page = Open();
  EXPECT_EQ(page->DaysCombo->ItemIndex(), -1);
  page->LoadAtStartCheck->Click();
  page->SaveBitBtn->Click();
  EXPECT_EQ(StoredDword("LOGSAVEDAYS"), 90u) << "not 0, which would trim all but today's logs";
  page->DaysCombo->SetItemIndex(29);
  page->DaysComboChange(page->DaysCombo);
  page->SaveBitBtn->Click();
  EXPECT_EQ(StoredDword("LOGSAVEDAYS"), 30u);
}

TEST_F(OptionFrameTest, ApplyReachesTheRunningConsoleOnlyAndARefusedSaveKeepsThePage) {
  TTOptionFrame* page = Open();
  page->RecordLogCheck->Click();
  Type(page->LogPath, "  E:\\新日志 ");
  page->ApplyBitBtn->Click();
  EXPECT_EQ(QeltOption.RECORDLOG, 1);
  EXPECT_EQ(QeltOption.LOGPATH, "E:\\新日志");
  EXPECT_EQ(QeltOption.BEEPALERT_PATH, "C:\\Vardeen\\Alert.Wav");
  EXPECT_FALSE(page->ApplyBitBtn->Enabled());
  EXPECT_TRUE(page->SaveBitBtn->Enabled());
  EXPECT_FALSE(KeyExists(registry_.machine(), kSettingsKey)) << "apply writes nothing";

  // Yes to the question with a path that is refused: the edits would be lost if it left.
  Type(page->LogPath, "");
  page->ApplyBitBtn->Click();
  EXPECT_EQ(QeltOption.LOGPATH, "E:\\新日志") << "a refused apply changes nothing";
  g_boxes.clear();
  g_answer = kIdYes;
  EXPECT_FALSE(page->QueryClose());
  EXPECT_EQ(g_boxes, (std::vector<std::string>{std::string(kUnsavedQuestion) + "|保存",
                                               std::string(kLogPathEmptyText) + "|注意"}));
  Type(page->LogPath, "E:\\新日志");
  g_answer = 0;  // a box that failed: the page stays, nothing saved
  EXPECT_FALSE(page->QueryClose());
  EXPECT_FALSE(KeyExists(registry_.machine(), kSettingsKey));
  g_answer = kIdYes;
  EXPECT_TRUE(page->QueryClose());
  EXPECT_EQ(StoredText("LOGPATH"), "E:\\新日志");
  g_boxes.clear();
  EXPECT_TRUE(page->QueryClose()) << "saved: no question";
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(OptionFrameTest, ExplorerOpensOnlyAnExistingFolder) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "vardeen_opt_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string file = folder + "\\QELT-2026-12-01.log";
  CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  WriteRegistryDword(HKEY_LOCAL_MACHINE, kSettingsKey, "RECORDLOG", 1);
  TTOptionFrame* page = Open();
  for (const std::string& typed : {" " + folder + " ", file, folder + "\\missing"}) {
    Type(page->LogPath, typed);
    page->LookForLog->Click();
  }
  EXPECT_EQ(g_commands, std::vector<std::string>{"Explorer \"" + folder + "\""});

  DeleteFileA(file.c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
