// Message boxes and the common file dialogs, each through one seam that tests can script.
#pragma once
#include <cstdint>
#include <string>

#include "platform/msgbox.h"
#include "ui/framework/component.h"

class CControl;

// A message box owned by `owner`'s window (or none). Goes through ShowMessageBox.
int MessageDlg(CControl* owner, const char* text, const char* caption, uint32_t flags = kMbOk);

// The open and save dialogs of the common dialog library.
class CFileDialog : public CComponent {
 public:
  CFileDialog(CComponent* owner, const char* name, bool save);
  const char* ClassName() const override { return save_ ? "TSaveDialog" : "TOpenDialog"; }

  // "Text|*.ext|All|*.*", as the forms write it.
  std::string Filter;
  std::string DefaultExt;
  std::string InitialDir;
  std::string Title;
  std::string FileName;  // in and out; at most 259 bytes
  bool OverwritePrompt = true;
  bool FileMustExist = true;

  bool Save() const { return save_; }
  // Shows the dialog owned by `owner`; true with FileName set when the user chose a file.
  bool Execute(CControl* owner = nullptr);

 private:
  bool save_;
};

// Test seam: the script answers every file dialog (it may set FileName); nullptr restores.
using FileDialogScript = bool (*)(void* context, CFileDialog* dialog);
void SetFileDialogScript(FileDialogScript script, void* context);
