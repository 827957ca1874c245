#include "ui/framework/dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <cstring>

#include "ui/framework/control.h"

namespace {
FileDialogScript g_fileScript = nullptr;
void* g_fileContext = nullptr;
}  // namespace

int MessageDlg(CControl* owner, const char* text, const char* caption, uint32_t flags) {
  return ShowMessageBox(owner != nullptr ? owner->Handle() : nullptr, text, caption, flags);
}

void SetFileDialogScript(FileDialogScript script, void* context) {
  g_fileScript = script;
  g_fileContext = context;
}

CFileDialog::CFileDialog(CComponent* owner, const char* name, bool save)
    : CComponent(owner, name), save_(save) {}

bool CFileDialog::Execute(CControl* owner) {
  if (g_fileScript != nullptr) {
    bool chosen = g_fileScript(g_fileContext, this);
    if (FileName.size() >= MAX_PATH) FileName.resize(MAX_PATH - 1);
    return chosen;
  }
  // The filter's "|" separators become the zero bytes the dialog wants, ending in two.
  std::string filter = Filter;
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.append(2, '\0');
  char name[MAX_PATH] = {};
  lstrcpynA(name, FileName.c_str(), MAX_PATH);

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner != nullptr ? owner->Handle() : nullptr;
  ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
  ofn.lpstrFile = name;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
  ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (save_ && OverwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
  if (!save_ && FileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
  BOOL ok = save_ ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  if (!ok) return false;
  FileName = name;
  return true;
}
