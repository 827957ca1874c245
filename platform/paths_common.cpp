#include "platform/paths.h"

#include <cstring>

#include "platform/gbk.h"

uint32_t GetNativeProgramFolder(char* out, uint32_t size);  // per side

namespace {
char g_override[kPathTextSize];
bool g_overridden = false;

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif
}  // namespace

void SetProgramFolderOverride(const char* folder) {
  g_overridden = false;
  g_override[0] = 0;
  if (folder == nullptr) return;
  size_t n = strlen(folder);
  if (n + 2 > sizeof g_override) return;
  memcpy(g_override, folder, n + 1);
  if (n == 0 || g_override[n - 1] != kSeparator) {
    g_override[n] = kSeparator;
    g_override[n + 1] = 0;
  }
  g_overridden = true;
}

uint32_t GetProgramFolder(char* out, uint32_t size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = 0;
  if (!g_overridden) return GetNativeProgramFolder(out, size);
  size_t n = strlen(g_override);
  if (n + 1 > size) return 0;
  memcpy(out, g_override, n + 1);
  return static_cast<uint32_t>(n);
}

bool GetProgramFilePath(const char* name, char (&out)[kPathTextSize]) {
  uint32_t folder = GetProgramFolder(out, kPathTextSize);
  size_t n = strlen(name);
  if (folder == 0 || folder + n + 1 > kPathTextSize) {
    out[0] = 0;
    return false;
  }
  memcpy(out + folder, name, n + 1);
#ifndef _WIN32
  char* added = out + folder;  // only separators of their own, never a GBK trail byte
  ForEachSingleByteChar(added, n, [&](size_t i) {
    if (added[i] == '\\') added[i] = '/';
  });
#endif
  return true;
}
