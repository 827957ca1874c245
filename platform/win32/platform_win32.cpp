// Win32 side of platform/: the real system calls, ANSI forms only.
#include <windows.h>

#include <cstring>

#include "platform/gbk.h"
#include "platform/clock.h"
#include "platform/device.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/heap_system.h"
#include "platform/machine.h"
#include "platform/msgbox.h"
#include "platform/msgbox_native.h"
#include "platform/paths.h"

void* HeapSystemAlloc(uint32_t bytes) { return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes); }

void HeapSystemFree(void* block) { GlobalFree(block); }

// Reserved and committed at once: the allocation granularity (64 KiB) gives the alignment, and
// the pages come zeroed. A system with a finer granularity gets no pool rather than a wrong one.
void* HeapSystemRegion() {
  void* region = VirtualAlloc(nullptr, kHeapRegionBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (region != nullptr && (reinterpret_cast<uintptr_t>(region) & (kHeapRegionBytes - 1)) != 0) {
    VirtualFree(region, 0, MEM_RELEASE);
    return nullptr;
  }
  return region;
}

uint32_t GetNativeProgramFolder(char* out, uint32_t size) {
  char name[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameA(nullptr, name, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 0;
  size_t cut = GbkCutAfterLast(name, n, '\\');
  if (cut == 0 || cut + 1 > size) return 0;
  memcpy(out, name, cut);
  out[cut] = 0;
  return static_cast<uint32_t>(cut);
}

namespace {
uint64_t FromFileTime(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
FILETIME ToFileTime(uint64_t t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(t);
  ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return ft;
}
}  // namespace

uint64_t GetUtcFileTime() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return FromFileTime(ft);
}

bool UtcToLocalFileTime(uint64_t utc, uint64_t* local) {
  FILETIME in = ToFileTime(utc), out;
  if (!FileTimeToLocalFileTime(&in, &out)) return false;
  *local = FromFileTime(out);
  return true;
}

bool FileTimeToCalendar(uint64_t fileTime, CalendarTime* out) {
  FILETIME in = ToFileTime(fileTime);
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&in, &st)) return false;
  memcpy(out, &st, sizeof *out);
  return true;
}

bool RunsWin9x() {
  static const bool win9x = [] {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
  }();
  return win9x;
}

bool GetComputerNameText(char* out, uint32_t size) {
  if (out == nullptr || size == 0) return false;
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD n = sizeof name;
  if (!GetComputerNameA(name, &n)) {
    out[0] = 0;
    return false;
  }
  lstrcpynA(out, name, static_cast<int>(size));
  return true;
}

int ShowNativeMessageBox(void* owner, const char* text, const char* caption, uint32_t flags) {
  return MessageBoxA(static_cast<HWND>(owner), text, caption, flags);
}

namespace {
HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle FromHandle(HANDLE h) {
  return h == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<FileHandle>(h);
}
}  // namespace

FileHandle FileOpenRead(const char* path) {
  if (FileFaultInjected(FileOp::OpenRead)) return kInvalidFile;
  return FromHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle FileCreate(const char* path) {
  if (FileFaultInjected(FileOp::Create)) return kInvalidFile;
  return FromHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool FileRead(FileHandle file, void* data, uint32_t size, uint32_t* done) {
  *done = 0;
  if (FileFaultInjected(FileOp::Read)) return false;
  auto* p = static_cast<char*>(data);
  while (*done < size) {
    DWORD n = 0;
    if (!ReadFile(AsHandle(file), p + *done, size - *done, &n, nullptr)) return false;
    if (n == 0) break;
    *done += n;
  }
  return true;
}

bool FileWrite(FileHandle file, const void* data, uint32_t size, uint32_t* done) {
  *done = 0;
  if (FileFaultInjected(FileOp::Write)) return false;
  DWORD n = 0;
  BOOL ok = WriteFile(AsHandle(file), data, size, &n, nullptr);
  *done = n;
  return ok && n == size;
}

bool FileFlush(FileHandle file) {
  if (FileFaultInjected(FileOp::Flush)) return false;
  return FlushFileBuffers(AsHandle(file)) != 0;
}

bool FileClose(FileHandle file) {
  bool injected = FileFaultInjected(FileOp::Close);
  bool closed = CloseHandle(AsHandle(file)) != 0;  // the handle never leaks
  return closed && !injected;
}

bool FileGetSize(FileHandle file, uint32_t* size) {
  DWORD high = 0;
  DWORD low = GetFileSize(AsHandle(file), &high);
  if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0) return false;
  *size = low;
  return true;
}

bool FileReplaceInOneStep() {
  static const bool nt = (GetVersion() & 0x80000000u) == 0;  // MoveFileExA fails on Win9x
  return FileReplaceInOneStepOr(nt);
}

bool FileReplace(const char* from, const char* to) {
  if (FileFaultInjected(FileOp::Replace)) return false;
  if (!FileReplaceInOneStep()) return false;
  // Looked up, not imported, so that the program loads on Win9x, which has no MoveFileEx.
  using MoveFileExFn = BOOL(WINAPI*)(const char*, const char*, DWORD);
  static const auto moveFileEx = reinterpret_cast<MoveFileExFn>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "MoveFileExA"));
  return moveFileEx != nullptr && moveFileEx(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool FileMove(const char* from, const char* to) {
  if (FileFaultInjected(FileOp::Move)) return false;
  return MoveFileA(from, to) != 0;
}

bool FileDelete(const char* path) {
  if (FileFaultInjected(FileOp::Delete)) return false;
  return DeleteFileA(path) != 0;
}

bool FileMoveNew(const char* from, const char* to) {
  if (FileFaultInjected(FileOp::Replace)) return false;
  return MoveFileA(from, to) != 0;  // refuses an existing target
}

bool FileExists(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

DeviceHandle DeviceOpen(const char* name, uint32_t access, uint32_t share, uint32_t flags) {
  HANDLE h = CreateFileA(name, access, share, nullptr, OPEN_EXISTING, flags, nullptr);
  return h == INVALID_HANDLE_VALUE ? kInvalidDevice : reinterpret_cast<DeviceHandle>(h);
}

bool DeviceControl(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                   uint32_t outSize, uint32_t* returned) {
  DWORD n = 0;
  BOOL ok = DeviceIoControl(reinterpret_cast<HANDLE>(device), code, const_cast<void*>(in), inSize,
                            out, outSize, &n, nullptr);
  *returned = ok ? (n <= outSize ? n : outSize) : 0;  // never trust a count beyond the buffer
  return ok != 0;
}

void SetHostDeviceBackend(const CHostDeviceBackend*) {}
