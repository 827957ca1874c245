#include "rules/damaged.h"

#include <vector>

#include "base/result.h"
#include "base/text.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace {
// Files noted this run; a handful at most (the four levels, app.aud, a saved set).
std::vector<std::string> g_failed;

bool IsBareName(const char* path) {
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') return false;
  return *path != 0;
}

// The file the readers open for `path` (see OpenForReading in rulefile.cpp).
std::string ResolvedPath(const char* path) {
  if (IsBareName(path)) {
    char beside[kPathTextSize];
    if (GetProgramFilePath(path, beside) && FileExists(beside)) return beside;
  }
  return path;
}

std::vector<std::string>::iterator Find(const std::string& path) {
  for (auto it = g_failed.begin(); it != g_failed.end(); ++it)
    if (CompareTextIgnoringCase(it->c_str(), path.c_str()) == 0) return it;
  return g_failed.end();
}
}  // namespace

void NoteRuleFileLoad(const char* path, uint32_t result) {
  if (path == nullptr || *path == 0) return;
  std::string file = ResolvedPath(path);
  auto it = Find(file);
  bool failed = result != RESULT_OK && FileExists(file.c_str());
  if (failed && it == g_failed.end()) g_failed.push_back(file);
  if (!failed && it != g_failed.end()) g_failed.erase(it);
}

bool RuleFileLoadFailed(const char* path) {
  return path != nullptr && *path != 0 && Find(ResolvedPath(path)) != g_failed.end();
}

std::string DamagedFileName(const char* path) {
  std::string base = ResolvedPath(path) + ".damaged";
  if (!FileExists(base.c_str())) return base;
  for (int n = 2;; ++n) {
    std::string name = base + "." + std::to_string(n);
    if (!FileExists(name.c_str())) return name;
  }
}

uint32_t KeepAsideFailedRuleFile(const char* path, std::string* keptAs) {
  if (keptAs != nullptr) keptAs->clear();
  if (path == nullptr || *path == 0) return RESULT_OK;
  std::string file = ResolvedPath(path);
  auto it = Find(file);
  if (it == g_failed.end()) return RESULT_OK;
  if (!FileExists(file.c_str())) {
    g_failed.erase(it);  // gone already: nothing left to overwrite
    return RESULT_OK;
  }
  // Another program may take the chosen name between the look and the move: try the next.
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string target = DamagedFileName(file.c_str());
    if (FileMoveNew(file.c_str(), target.c_str())) {
      g_failed.erase(Find(file));
      if (keptAs != nullptr) *keptAs = target;
      return RESULT_OK;
    }
    if (!FileExists(target.c_str())) break;  // the move itself failed
  }
  return RESULT_FAILED;
}

void ForgetFailedRuleFiles() { g_failed.clear(); }
