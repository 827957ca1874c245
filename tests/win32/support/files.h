// Files for the win32 tests: the test program's folder, fresh folders under the system's
// temporary folder deleted with everything in them, whole-file reads and writes.
#pragma once
#include <windows.h>

#include <string>

#include "platform/paths.h"

// The folder of the running test program, ending in "\".
inline std::string TestProgramFolder() {
  char folder[kPathTextSize];
  return GetProgramFolder(folder, sizeof folder) != 0 ? folder : "";
}

// Deletes `folder` (with or without its final "\") and everything in it.
inline void DeleteTree(std::string folder) {
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

class CTempFolder {
 public:
  CTempFolder() {
    static int counter = 0;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    // Wine numbers processes alike in every session, and a tree an earlier run could not
    // delete (a GBK name) must not be found again: the clock tells runs apart.
    path_ = std::string(temp) + "vardeen-qelt-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount()) + "-" + std::to_string(++counter);
    DeleteTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~CTempFolder() { DeleteTree(path_); }
  CTempFolder(const CTempFolder&) = delete;
  CTempFolder& operator=(const CTempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline bool ReadWholeFile(const std::string& path, std::string* out) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  out->clear();
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0) out->append(buffer, n);
  CloseHandle(f);
  return true;
}

// True when every byte of `data` was written.
inline bool WriteWholeFile(const std::string& path, const std::string& data) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  bool done = WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &n, nullptr) && n == data.size();
  CloseHandle(f);
  return done;
}

// The file's bytes, "" when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
  std::string text;
  ReadWholeFile(path, &text);
  return text;
}

inline bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
