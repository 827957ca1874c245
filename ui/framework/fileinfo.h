// What the shell and a program's version resource say about another program's file: its icon
// and display name, and the named strings of its version information. Used wherever the
// console shows a program (the prompt, the process tree, the audit cards and dialogs).
#pragma once
#include <windows.h>

#include <string>

// One of "FileDescription", "FileVersion", "CompanyName" (or any other string name) from the
// file's version resource, tried under every language and code page of its translation table;
// the last entry that has the name wins. Empty when the file has no version information or
// not that string. The text is the resource's own bytes (GBK for a Chinese program).
std::string ReadVersionString(const char* path, const char* name);

// The file's icon (32 x 32, or 16 x 16 with `small`) and display name from the shell. The
// object owns the icon and destroys it; Icon() is null when the shell did not answer.
class CShellFileInfo {
 public:
  explicit CShellFileInfo(const char* path, bool small = false);
  ~CShellFileInfo();
  CShellFileInfo(const CShellFileInfo&) = delete;
  CShellFileInfo& operator=(const CShellFileInfo&) = delete;
  bool Answered() const { return answered_; }
  HICON Icon() const { return icon_; }
  const std::string& DisplayName() const { return displayName_; }

 private:
  bool answered_ = false;
  HICON icon_ = nullptr;
  std::string displayName_;
};
