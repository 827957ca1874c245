// The working parts of QeltUtil.DLL, with the day and the folder browser passed in so that
// tests can choose them. The exported entry points add today's local day and the real browser.
//
// Log files: one per local calendar day, named "QELT-YYYY-MM-DD.log" (for example
// "QELT-2026-12-08.log") directly in the log folder. Each recorded text is appended as given,
// followed by a line end when it lacks one, and then by one empty line.
#pragma once
#include <cstdint>
#include <string>

struct LogDay {
  uint16_t Year;
  uint16_t Month;
  uint16_t Day;
};

// Today in the machine's local time.
LogDay LocalToday();

// Days since 1 January 1601, or -1 for a day that does not exist (month 13, 30 February).
int64_t DayNumber(const LogDay& day);

// "QELT-YYYY-MM-DD.log" for `day`.
std::string LogFileName(const LogDay& day);
// True and the day when `name` (a bare file name) is exactly one of this library's log names
// for a real day; letter case is ignored as the file system ignores it.
bool ParseLogFileName(const char* name, LogDay* day);

// Appends `text` to the log file of `day` in `folder`, creating the folder (and its parents)
// when missing. Returns only after the data is on the disk; on a failed or short write the
// file is cut back to where it was, so a record is either whole or absent. False on failure.
bool RecordLogOnDay(const char* folder, const char* text, const LogDay& day);

// Deletes this library's log files in `folder` whose day is more than `days` days before
// `today`; a negative `days` deletes all of them. Returns the number of files deleted.
int32_t CleanLogOnDay(const char* folder, int32_t days, const LogDay& today);

// The folder browser: true and the chosen path, or false when the user cancelled.
using FolderBrowser = bool (*)(void* context, void* owner, std::string* path);

// Runs `browse` and puts the chosen path into `buffer` of exactly 300 bytes. A path that does
// not fit whole (with its terminator) is refused rather than cut: a cut path names another
// folder. Non-zero when a path was stored; otherwise `buffer` holds an empty text.
int32_t GetFolderWith(char* buffer, void* owner, FolderBrowser browse, void* context);
