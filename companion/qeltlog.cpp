#include "companion/qeltlog.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/gbk.h"
#include "companion/qeltutilapi.h"
#include "platform/win32/handles.h"

namespace {

constexpr char kPrefix[] = "QELT-";
constexpr char kSuffix[] = ".log";
constexpr size_t kNameLength = 5 + 10 + 4;  // "QELT-" "YYYY-MM-DD" ".log"

// True when `path` ends in a "\" or "/" that is a character of its own (not a GBK trail byte).
bool EndsWithSeparator(const std::string& path) {
  bool ends = false;
  ForEachSingleByteChar(path.c_str(), path.size(), [&](size_t i) {
    ends = i + 1 == path.size() && (path[i] == '\\' || path[i] == '/');
  });
  return ends;
}

std::string JoinPath(const char* folder, const std::string& name) {
  std::string path = folder;
  if (!EndsWithSeparator(path)) path += '\\';
  return path + name;
}

// Creates `folder` and every missing parent. Failures surface when the file is opened.
void CreateFolderChain(const char* folder) {
  std::string path = folder;
  ForEachSingleByteChar(path.c_str(), path.size(), [&](size_t i) {
    if ((path[i] == '\\' || path[i] == '/') && i > 0 && path[i - 1] != ':') {
      std::string prefix = path.substr(0, i);
      CreateDirectoryA(prefix.c_str(), nullptr);
    }
  });
  CreateDirectoryA(path.c_str(), nullptr);
}

// Opens for appending; another writer holding the file is waited for, up to about a second.
HANDLE OpenForAppend(const std::string& path) {
  for (int attempt = 0;; ++attempt) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    if (GetLastError() != ERROR_SHARING_VIOLATION || attempt >= 100) return INVALID_HANDLE_VALUE;
    Sleep(10);
  }
}

bool EndsWithLineEnd(const char* text, size_t n) { return n > 0 && text[n - 1] == '\n'; }

bool DigitsAt(const char* s, size_t count, uint16_t* value) {
  uint16_t v = 0;
  for (size_t i = 0; i < count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = static_cast<uint16_t>(v * 10 + (s[i] - '0'));
  }
  *value = v;
  return true;
}

// ASCII-only comparison: the fixed parts of the name are ASCII, and a GBK byte never folds.
bool SameLettersIgnoringCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

LogDay LocalToday() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LogDay{now.wYear, now.wMonth, now.wDay};
}

int64_t DayNumber(const LogDay& day) {
  SYSTEMTIME st = {};
  st.wYear = day.Year;
  st.wMonth = day.Month;
  st.wDay = day.Day;
  FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return -1;
  // SystemTimeToFileTime does not reject every impossible day everywhere: check the round trip.
  SYSTEMTIME back;
  if (!FileTimeToSystemTime(&ft, &back) || back.wYear != day.Year || back.wMonth != day.Month ||
      back.wDay != day.Day)
    return -1;
  uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<int64_t>(ticks / 864000000000ULL);
}

std::string LogFileName(const LogDay& day) {
  char name[32];
  wsprintfA(name, "QELT-%04u-%02u-%02u.log", day.Year, day.Month, day.Day);
  return name;
}

bool ParseLogFileName(const char* name, LogDay* day) {
  if (name == nullptr || strlen(name) != kNameLength) return false;
  if (!SameLettersIgnoringCase(name, kPrefix, 5) || !SameLettersIgnoringCase(name + 15, kSuffix, 4))
    return false;
  const char* d = name + 5;
  LogDay parsed;
  if (!DigitsAt(d, 4, &parsed.Year) || d[4] != '-' || !DigitsAt(d + 5, 2, &parsed.Month) ||
      d[7] != '-' || !DigitsAt(d + 8, 2, &parsed.Day))
    return false;
  if (DayNumber(parsed) < 0) return false;
  *day = parsed;
  return true;
}

bool RecordLogOnDay(const char* folder, const char* text, const LogDay& day) {
  if (folder == nullptr || folder[0] == 0 || text == nullptr || text[0] == 0) return false;
  if (DayNumber(day) < 0) return false;
  std::string path = JoinPath(folder, LogFileName(day));
  if (path.size() >= MAX_PATH) return false;

  // One buffer, one write: the record reaches the file whole.
  size_t n = strlen(text);
  std::string record(text, n);
  if (!EndsWithLineEnd(text, n)) record += "\r\n";
  record += "\r\n";

  CreateFolderChain(folder);
  CFileHandle file(OpenForAppend(path));
  if (!file.Valid()) return false;
  bool ok = false;
  LONG high = 0;
  DWORD low = SetFilePointer(file.Get(), 0, &high, FILE_END);
  if (!(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)) {
    DWORD written = 0;
    ok = WriteFile(file.Get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
         written == record.size() && FlushFileBuffers(file.Get());
    if (!ok) {
      // Disk full or a failing device: take the partial record back out.
      LONG backHigh = high;
      SetFilePointer(file.Get(), static_cast<LONG>(low), &backHigh, FILE_BEGIN);
      SetEndOfFile(file.Get());
      FlushFileBuffers(file.Get());
    }
  }
  return ok;
}

int32_t CleanLogOnDay(const char* folder, int32_t days, const LogDay& today) {
  if (folder == nullptr || folder[0] == 0) return 0;
  int64_t todayNumber = DayNumber(today);
  if (todayNumber < 0 && days >= 0) return 0;
  std::string pattern = JoinPath(folder, "*");
  WIN32_FIND_DATAA found;
  std::vector<std::string> doomed;
  {
    CFindHandle search(FindFirstFileA(pattern.c_str(), &found));
    if (!search.Valid()) return 0;
    // Collect first: deleting while the search is open may make it skip or repeat entries.
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      LogDay day;
      // The search also matches short 8.3 names; only the long name decides.
      if (!ParseLogFileName(found.cFileName, &day)) continue;
      if (days < 0 || todayNumber - DayNumber(day) > days) doomed.push_back(found.cFileName);
    } while (FindNextFileA(search.Get(), &found));
  }
  int32_t deleted = 0;
  for (const std::string& name : doomed)
    if (DeleteFileA(JoinPath(folder, name).c_str())) ++deleted;
  return deleted;
}

int32_t GetFolderWith(char* buffer, void* owner, FolderBrowser browse, void* context) {
  if (buffer == nullptr) return 0;
  buffer[0] = 0;
  std::string path;
  if (browse == nullptr || !browse(context, owner, &path) || path.empty()) return 0;
  size_t n = strlen(path.c_str());  // up to an embedded zero, as the caller will read it
  if (n + 1 > kQeltFolderBufferSize) return 0;
  memcpy(buffer, path.c_str(), n + 1);
  return 1;
}
