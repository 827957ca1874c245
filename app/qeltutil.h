// The console's side of the companion library QeltUtil.DLL: loads it at run time and calls its
// three entry points. The console works without it (no log file, no trimming, no folder
// browser). This header needs no <windows.h>; the implementation is Win32 only.
#pragma once
#include <cstdint>

#include "companion/qeltutilapi.h"

class CQELTUtil {
 public:
  CQELTUtil() = default;  // everything zero: not loaded, no library
  ~CQELTUtil() { Unload(); }
  CQELTUtil(const CQELTUtil&) = delete;
  CQELTUtil& operator=(const CQELTUtil&) = delete;

  // Loads the library from the program's folder by its full path, then looks up "QeltGetFolder",
  // "QeltRecordLog", "QLETCleanLog" in this order. 1 when all three were found; 0 when the
  // library is missing or a name is missing (the library then stays loaded, never called).
  // A library held from an earlier Load is released first. Tests may name another library.
  uint32_t Load(const char* libraryName = kQeltUtilLibraryName);
  // 1 only when all three entry points are held.
  uint32_t Loaded() const { return loaded_; }
  // Frees the library when one is held and forgets the entry points.
  void Unload();

  // The entry points. Callers test Loaded() first; called while not loaded they do nothing
  // (QeltGetFolder then returns 0 and leaves an empty text).
  int32_t QeltGetFolder(char (&buffer)[kQeltFolderBufferSize], void* owner) const;
  void QeltRecordLog(const char* folder, const char* text) const;
  void QLETCleanLog(const char* folder, int32_t days) const;

  // The library handle (an HMODULE), or nullptr.
  void* Library() const { return library_; }

 private:
  uint32_t loaded_ = 0;
  void* library_ = nullptr;
  QeltGetFolderProc getFolder_ = nullptr;
  QeltRecordLogProc recordLog_ = nullptr;
  QLETCleanLogProc cleanLog_ = nullptr;
};

// The process-wide wrapper, loaded by the entry point; destroyed (unloading the library) after
// the entry point returns.
extern CQELTUtil QeltUtil;
