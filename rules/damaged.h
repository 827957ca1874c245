// Rule files that failed to load are never overwritten: the loaders note them, and the next
// save over such a file first moves it aside to "<file>.damaged" (".damaged.2", ... when that
// name is taken), so the user's rules can still be recovered by hand.
#pragma once
#include <cstdint>
#include <string>

// The loaders' report: a file that exists but could not be read or parsed is noted; a file
// that loaded (or no longer exists) is forgotten. A bare name means the file the readers
// open: next to the program when it is there, else in the current folder.
void NoteRuleFileLoad(const char* path, uint32_t result);
bool RuleFileLoadFailed(const char* path);

// The name the file would be kept under now: the first of "<path>.damaged",
// "<path>.damaged.2", ... that does not exist.
std::string DamagedFileName(const char* path);

// Before a save over `path`: a noted file is moved to DamagedFileName (never over an earlier
// one) and forgotten; `keptAs` gets that name. 0 when the save may go ahead, 1 when the file
// could not be moved aside (it must not be overwritten).
uint32_t KeepAsideFailedRuleFile(const char* path, std::string* keptAs = nullptr);

// Tests: forget every noted file.
void ForgetFailedRuleFiles();
