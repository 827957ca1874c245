#include "ui/framework/fileinfo.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <vector>

std::string ReadVersionString(const char* path, const char* name) {
  if (path == nullptr || *path == '\0' || name == nullptr) return {};
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return {};
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path, 0, size, block.data())) return {};

  struct Translation {
    WORD language;
    WORD codePage;
  };
  void* table = nullptr;
  UINT tableBytes = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &table, &tableBytes) || table == nullptr)
    return {};
  std::string value;
  const Translation* entries = static_cast<const Translation*>(table);
  for (UINT i = 0; i < tableBytes / sizeof(Translation); ++i) {
    char query[96];
    snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", entries[i].language, entries[i].codePage,
             name);
    void* text = nullptr;
    UINT chars = 0;
    if (VerQueryValueA(block.data(), query, &text, &chars) && text != nullptr && chars != 0)
      value.assign(static_cast<const char*>(text), strnlen(static_cast<const char*>(text), chars));
  }
  return value;
}

CShellFileInfo::CShellFileInfo(const char* path, bool small) {
  if (path == nullptr || *path == '\0') return;
  SHFILEINFOA info;
  static_assert(sizeof info == 352, "the shell's file information record");
  memset(&info, 0, sizeof info);
  const UINT flags = SHGFI_ICON | SHGFI_DISPLAYNAME | (small ? SHGFI_SMALLICON : 0);
  if (SHGetFileInfoA(path, 0, &info, sizeof info, flags) == 0) return;
  answered_ = true;
  icon_ = info.hIcon;
  displayName_ = info.szDisplayName;
}

CShellFileInfo::~CShellFileInfo() {
  if (icon_ != nullptr) DestroyIcon(icon_);
}
