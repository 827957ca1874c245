// Plain binary files by path (GBK paths, "\" or "/" separators on the host).
#pragma once
#include <cstdint>

using FileHandle = intptr_t;
constexpr FileHandle kInvalidFile = -1;

FileHandle FileOpenRead(const char* path);  // existing file, read only, shared for reading
FileHandle FileCreate(const char* path);    // create or truncate, write only
bool FileRead(FileHandle file, void* data, uint32_t size, uint32_t* done);
bool FileWrite(FileHandle file, const void* data, uint32_t size, uint32_t* done);
bool FileFlush(FileHandle file);  // down to the disk
bool FileClose(FileHandle file);
bool FileGetSize(FileHandle file, uint32_t* size);
// Put `from` in place of `to` in one step, written through, whether `to` exists or not. Only
// where the system has such a step (FileReplaceInOneStep); false elsewhere.
bool FileReplace(const char* from, const char* to);
// True on the NT family and the host; Win9x has no replacing move.
bool FileReplaceInOneStep();
// Renames `from` to `to`; fails when `to` exists.
bool FileMove(const char* from, const char* to);
bool FileDelete(const char* path);
// Moves `from` to `to` only when nothing is at `to`: an earlier file there is never replaced.
bool FileMoveNew(const char* from, const char* to);
bool FileExists(const char* path);

// Fault injection for tests: the hook sees each call before it is made and can fail it.
enum class FileOp { OpenRead, Create, Read, Write, Flush, Close, Replace, Delete, Move };
using FileFaultHook = bool (*)(void* context, FileOp op);  // true: fail this call
void SetFileFaultHook(FileFaultHook hook, void* context);
// Tests: 0 makes FileReplaceInOneStep false (the Win9x road), 1 true, -1 the system's answer.
void SetFileReplaceInOneStepForTests(int state);
