// A fresh folder under the system's temporary folder, deleted with everything in it.
#pragma once
#include <windows.h>

#include <string>

inline void DeleteTree(const std::string& folder) {
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
    path_ = std::string(temp) + "vardeen-qelt-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
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

inline void WriteWholeFile(const std::string& path, const std::string& data) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  if (f == INVALID_HANDLE_VALUE) return;
  WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &n, nullptr);
  CloseHandle(f);
}

inline bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
