// The three entry points of QeltUtil.DLL, shared by the library and the console that loads it.
//
// Calling convention: __stdcall (the callee pops its arguments), exported under the bare names
// below with no decoration. Texts are zero-terminated ANSI (GBK) strings. The console looks
// the names up at run time; it never links against the library.
#pragma once
#include <cstdint>

#ifdef _WIN32
#define QELTUTIL_CALL __stdcall
#else
#define QELTUTIL_CALL __attribute__((stdcall))  // i386 host: the same convention
#endif

constexpr const char* kQeltUtilLibraryName = "QeltUtil.DLL";
constexpr const char* kQeltGetFolderName = "QeltGetFolder";
constexpr const char* kQeltRecordLogName = "QeltRecordLog";
constexpr const char* kQeltCleanLogName = "QLETCleanLog";  // this spelling, letters swapped

// The caller's folder buffer is exactly this many bytes; the library never writes past it.
constexpr uint32_t kQeltFolderBufferSize = 300;

// QeltGetFolder(buffer, owner): the folder browser, owned by `owner` (an HWND or nullptr).
// Non-zero when the user chose a folder: `buffer` then holds its path, zero-terminated.
// Zero when the user cancelled or the path does not fit; `buffer` then holds an empty text.
typedef int32_t(QELTUTIL_CALL* QeltGetFolderProc)(char* buffer, void* owner);

// QeltRecordLog(folder, text): appends `text` (one event's block of lines) to the log file of
// the current local day in `folder`, creating the folder when missing. The text is on the disk
// when the call returns.
typedef void(QELTUTIL_CALL* QeltRecordLogProc)(const char* folder, const char* text);

// QLETCleanLog(folder, days): deletes this library's log files in `folder` whose day is more
// than `days` days before today; a negative `days` (-1) deletes all of them. Other files stay.
typedef void(QELTUTIL_CALL* QLETCleanLogProc)(const char* folder, int32_t days);
