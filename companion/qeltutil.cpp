// QeltUtil.DLL: the console's log files, their trimming and the folder browser.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <type_traits>

#include "companion/qeltlog.h"
#include "companion/qeltutilapi.h"

namespace {

bool BrowseForFolder(void*, void* owner, std::string* path) {
  // The shell's browser needs COM on this thread; balance only an initialisation we made.
  HRESULT com = CoInitialize(nullptr);
  char display[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = static_cast<HWND>(owner);
  info.pszDisplayName = display;
  info.lpszTitle = "请选择保存日志文件的文件夹";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  bool ok = false;
  if (chosen != nullptr) {
    char folder[MAX_PATH + 1] = {};
    ok = SHGetPathFromIDListA(chosen, folder) != FALSE && folder[0] != 0;
    if (ok) *path = folder;
    CoTaskMemFree(chosen);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return ok;
}

}  // namespace

extern "C" {

int32_t QELTUTIL_CALL QeltGetFolder(char* buffer, void* owner) {
  return GetFolderWith(buffer, owner, BrowseForFolder, nullptr);
}

void QELTUTIL_CALL QeltRecordLog(const char* folder, const char* text) {
  RecordLogOnDay(folder, text, LocalToday());
}

void QELTUTIL_CALL QLETCleanLog(const char* folder, int32_t days) {
  CleanLogOnDay(folder, days, LocalToday());
}

}  // extern "C"

// The entry points must have the types the console calls them through; the .def file exports
// them under their bare names.
static_assert(std::is_same<decltype(&QeltGetFolder), QeltGetFolderProc>::value, "QeltGetFolder");
static_assert(std::is_same<decltype(&QeltRecordLog), QeltRecordLogProc>::value, "QeltRecordLog");
static_assert(std::is_same<decltype(&QLETCleanLog), QLETCleanLogProc>::value, "QLETCleanLog");
