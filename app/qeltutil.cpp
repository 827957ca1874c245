#include "app/qeltutil.h"

#include <windows.h>

#include <cstring>

namespace {
// The library beside the program, by its full path: the console runs as an administrator, and
// the search would go on to the current folder and the PATH, where anyone may put a file of
// that name. A name with a folder is taken as it is.
HMODULE LoadBesideProgram(const char* name) {
  if (name == nullptr) return nullptr;
  if (strchr(name, '\\') != nullptr || strchr(name, '/') != nullptr || strchr(name, ':') != nullptr)
    return LoadLibraryA(name);
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  char* slash = strrchr(path, '\\');
  if (slash == nullptr) return nullptr;
  size_t folder = static_cast<size_t>(slash + 1 - path);
  size_t size = strlen(name) + 1;
  if (folder + size > MAX_PATH) return nullptr;
  memcpy(path + folder, name, size);
  return LoadLibraryA(path);
}
}  // namespace

uint32_t CQELTUtil::Load(const char* libraryName) {
  Unload();
  HMODULE library = LoadBesideProgram(libraryName);
  if (library == nullptr) return 0;
  library_ = library;
  // Looked up in this order; the first missing name leaves the library unusable.
  auto getFolder = reinterpret_cast<QeltGetFolderProc>(
      reinterpret_cast<void*>(GetProcAddress(library, kQeltGetFolderName)));
  if (getFolder == nullptr) return 0;
  auto recordLog = reinterpret_cast<QeltRecordLogProc>(
      reinterpret_cast<void*>(GetProcAddress(library, kQeltRecordLogName)));
  if (recordLog == nullptr) return 0;
  auto cleanLog = reinterpret_cast<QLETCleanLogProc>(
      reinterpret_cast<void*>(GetProcAddress(library, kQeltCleanLogName)));
  if (cleanLog == nullptr) return 0;
  getFolder_ = getFolder;
  recordLog_ = recordLog;
  cleanLog_ = cleanLog;
  loaded_ = 1;
  return 1;
}

void CQELTUtil::Unload() {
  // Forget the entry points before the code behind them goes away.
  loaded_ = 0;
  getFolder_ = nullptr;
  recordLog_ = nullptr;
  cleanLog_ = nullptr;
  if (library_ != nullptr) {
    FreeLibrary(static_cast<HMODULE>(library_));
    library_ = nullptr;
  }
}

int32_t CQELTUtil::QeltGetFolder(char (&buffer)[kQeltFolderBufferSize], void* owner) const {
  if (!loaded_) {
    buffer[0] = 0;
    return 0;
  }
  return getFolder_(buffer, owner);
}

void CQELTUtil::QeltRecordLog(const char* folder, const char* text) const {
  if (loaded_) recordLog_(folder, text);
}

void CQELTUtil::QLETCleanLog(const char* folder, int32_t days) const {
  if (loaded_) cleanLog_(folder, days);
}
