// Host (Linux i386) side of platform/: POSIX calls standing in for the Win32 ones.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

void* HeapSystemAlloc(uint32_t bytes) { return calloc(1, bytes); }

void HeapSystemFree(void* block) { free(block); }

void* HeapSystemRegion() {
  // mmap aligns to a page only: twice the size, then the ends outside the aligned part go.
  void* mapped = mmap(nullptr, 2 * kHeapRegionBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  uintptr_t aligned = (start + kHeapRegionBytes - 1) & ~uintptr_t{kHeapRegionBytes - 1};
  if (aligned != start) munmap(mapped, aligned - start);
  uintptr_t tail = start + 2 * kHeapRegionBytes - (aligned + kHeapRegionBytes);
  if (tail != 0) munmap(reinterpret_cast<void*>(aligned + kHeapRegionBytes), tail);
  return reinterpret_cast<void*>(aligned);
}

uint32_t GetNativeProgramFolder(char* out, uint32_t size) {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return 0;
  buffer[n] = 0;
  size_t cut = GbkCutAfterLast(buffer, static_cast<size_t>(n), '/');
  if (cut == 0 || cut + 1 > size) return 0;
  memcpy(out, buffer, cut);
  out[cut] = 0;
  return static_cast<uint32_t>(cut);
}

namespace {
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;  // 1970-01-01 in 1601 ticks

// Windows-style paths from callers: "\" separators become "/" (never inside a GBK character).
std::string HostPath(const char* path) {
  std::string p(path ? path : "");
  ForEachSingleByteChar(p.data(), p.size(), [&](size_t i) {
    if (p[i] == '\\') p[i] = '/';
  });
  return p;
}
}  // namespace

uint64_t GetUtcFileTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return kUnixEpochAsFileTime + static_cast<uint64_t>(ts.tv_sec) * 10000000ULL +
         static_cast<uint64_t>(ts.tv_nsec) / 100;
}

bool UtcToLocalFileTime(uint64_t utc, uint64_t* local) {
  if (utc < kUnixEpochAsFileTime) return false;
  time_t seconds = static_cast<time_t>((utc - kUnixEpochAsFileTime) / 10000000ULL);
  tm parts{};
  if (localtime_r(&seconds, &parts) == nullptr) return false;
  *local = utc + static_cast<int64_t>(parts.tm_gmtoff) * 10000000LL;
  return true;
}

bool FileTimeToCalendar(uint64_t fileTime, CalendarTime* out) {
  // Days from 1601-01-01 by the proleptic Gregorian calendar (the civil-from-days method).
  uint64_t ticksPerDay = 864000000000ULL;
  int64_t days = static_cast<int64_t>(fileTime / ticksPerDay);
  uint64_t rest = fileTime % ticksPerDay;
  int64_t z = days - 134774 + 719468;  // shift to days since 0000-03-01
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  if (year > 30827) return false;
  out->Year = static_cast<uint16_t>(year);
  out->Month = static_cast<uint16_t>(month);
  out->Day = static_cast<uint16_t>(day);
  out->DayOfWeek = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
  out->Hour = static_cast<uint16_t>(rest / 36000000000ULL);
  out->Minute = static_cast<uint16_t>(rest / 600000000ULL % 60);
  out->Second = static_cast<uint16_t>(rest / 10000000ULL % 60);
  out->Milliseconds = static_cast<uint16_t>(rest / 10000ULL % 1000);
  return true;
}

namespace {
bool g_hostWin9x = false;
}  // namespace

bool RunsWin9x() { return g_hostWin9x; }
void SetHostWin9xForTests(bool win9x) { g_hostWin9x = win9x; }

bool GetComputerNameText(char* out, uint32_t size) {
  if (out == nullptr || size == 0) return false;
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) {
    out[0] = 0;
    return false;
  }
  snprintf(out, size, "%s", name);
  return true;
}

int ShowNativeMessageBox(void*, const char* text, const char* caption, uint32_t) {
  fprintf(stderr, "[%s] %s\n", caption, text);
  return kIdOk;
}

FileHandle FileOpenRead(const char* path) {
  if (FileFaultInjected(FileOp::OpenRead)) return kInvalidFile;
  int fd = open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  return fd < 0 ? kInvalidFile : fd;
}

FileHandle FileCreate(const char* path) {
  if (FileFaultInjected(FileOp::Create)) return kInvalidFile;
  int fd = open(HostPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd < 0 ? kInvalidFile : fd;
}

bool FileRead(FileHandle file, void* data, uint32_t size, uint32_t* done) {
  *done = 0;
  if (FileFaultInjected(FileOp::Read)) return false;
  auto* p = static_cast<char*>(data);
  while (*done < size) {
    ssize_t n = read(static_cast<int>(file), p + *done, size - *done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    *done += static_cast<uint32_t>(n);
  }
  return true;
}

bool FileWrite(FileHandle file, const void* data, uint32_t size, uint32_t* done) {
  *done = 0;
  if (FileFaultInjected(FileOp::Write)) return false;
  auto* p = static_cast<const char*>(data);
  while (*done < size) {
    ssize_t n = write(static_cast<int>(file), p + *done, size - *done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    *done += static_cast<uint32_t>(n);
  }
  return true;
}

bool FileFlush(FileHandle file) {
  if (FileFaultInjected(FileOp::Flush)) return false;
  return fsync(static_cast<int>(file)) == 0;
}

bool FileClose(FileHandle file) {
  bool injected = FileFaultInjected(FileOp::Close);
  bool closed = close(static_cast<int>(file)) == 0;  // the handle never leaks
  return closed && !injected;
}

bool FileGetSize(FileHandle file, uint32_t* size) {
  struct stat st{};
  if (fstat(static_cast<int>(file), &st) != 0 || st.st_size > 0xFFFFFFFFLL) return false;
  *size = static_cast<uint32_t>(st.st_size);
  return true;
}

bool FileReplaceInOneStep() { return FileReplaceInOneStepOr(true); }

bool FileReplace(const char* from, const char* to) {
  if (FileFaultInjected(FileOp::Replace)) return false;
  if (!FileReplaceInOneStep()) return false;
  return rename(HostPath(from).c_str(), HostPath(to).c_str()) == 0;
}

bool FileMove(const char* from, const char* to) {
  if (FileFaultInjected(FileOp::Move)) return false;
  // A link fails when the target exists, as MoveFileA does; then the old name goes.
  std::string source = HostPath(from), target = HostPath(to);
  if (link(source.c_str(), target.c_str()) != 0) return false;
  unlink(source.c_str());
  return true;
}

bool FileDelete(const char* path) {
  if (FileFaultInjected(FileOp::Delete)) return false;
  return unlink(HostPath(path).c_str()) == 0;
}

bool FileMoveNew(const char* from, const char* to) {
  if (FileFaultInjected(FileOp::Replace)) return false;
  // link() refuses an existing target, so an earlier file there is never replaced.
  std::string source = HostPath(from), target = HostPath(to);
  if (link(source.c_str(), target.c_str()) != 0) return false;
  if (unlink(source.c_str()) == 0) return true;
  unlink(target.c_str());
  return false;
}

bool FileExists(const char* path) {
  struct stat st{};
  return stat(HostPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {
const CHostDeviceBackend* g_device = nullptr;
constexpr DeviceHandle kHostDevice = 0x5D;  // any value but the invalid one
}  // namespace

void SetHostDeviceBackend(const CHostDeviceBackend* backend) { g_device = backend; }

DeviceHandle DeviceOpen(const char* name, uint32_t, uint32_t, uint32_t) {
  return g_device != nullptr && g_device->Open(name) ? kHostDevice : kInvalidDevice;
}

bool DeviceControl(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                   uint32_t outSize, uint32_t* returned) {
  *returned = 0;
  if (device != kHostDevice || g_device == nullptr) return false;
  bool ok = g_device->Control(code, in, inSize, out, outSize, returned);
  if (*returned > outSize) *returned = outSize;  // never trust a count beyond the buffer
  return ok;
}
