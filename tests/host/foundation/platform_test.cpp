#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/heap.h"
#include "platform/machine.h"
#include "platform/msgbox.h"
#include "platform/paths.h"

namespace {

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

TEST(ProgramFolder, IsTheModulePathCutAfterItsLastSeparator) {
  char folder[kPathTextSize];
  uint32_t n = GetProgramFolder(folder, sizeof folder);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(folder[n - 1], kSep);
  EXPECT_EQ(strlen(folder), n);
  char small[3];
  EXPECT_EQ(GetProgramFolder(small, sizeof small), 0u);

  char path[kPathTextSize];
  ASSERT_TRUE(GetProgramFilePath("res\\enable.bmp", path));
  std::string expected = std::string(folder) + "res" + kSep + "enable.bmp";
  EXPECT_EQ(path, expected);
}

TEST(ProgramFolder, AFileThatDoesNotFitGivesAnEmptyText) {
  char path[kPathTextSize];
  std::string longName(kPathTextSize, 'x');
  EXPECT_FALSE(GetProgramFilePath(longName.c_str(), path));
  EXPECT_STREQ(path, "");
}

TEST(ProgramFolder, OverrideServesTests) {
  SetProgramFolderOverride("/tmp/vardeen");
  char path[kPathTextSize];
  ASSERT_TRUE(GetProgramFilePath("app.aud", path));
  EXPECT_EQ(std::string(path), std::string("/tmp/vardeen") + kSep + "app.aud");
  SetProgramFolderOverride(nullptr);
  ASSERT_TRUE(GetProgramFilePath("app.aud", path));
  EXPECT_NE(std::string(path).find("app.aud"), std::string::npos);
}

TEST(FileTime, SplitsKnownInstants) {
  CalendarTime t{};
  ASSERT_TRUE(FileTimeToCalendar(0, &t));
  EXPECT_EQ(t.Year, 1601);
  EXPECT_EQ(t.Month, 1);
  EXPECT_EQ(t.Day, 1);
  EXPECT_EQ(t.DayOfWeek, 1);  // a Monday
  ASSERT_TRUE(FileTimeToCalendar(116444736000000000ULL, &t));
  EXPECT_EQ(t.Year, 1970);
  EXPECT_EQ(t.DayOfWeek, 4);  // a Thursday
  // 2000-02-29 13:14:15.678
  ASSERT_TRUE(FileTimeToCalendar(125963036556780000ULL, &t));
  EXPECT_EQ(t.Year, 2000);
  EXPECT_EQ(t.Month, 2);
  EXPECT_EQ(t.Day, 29);
  EXPECT_EQ(t.Hour, 13);
  EXPECT_EQ(t.Minute, 14);
  EXPECT_EQ(t.Second, 15);
  EXPECT_EQ(t.Milliseconds, 678);
  EXPECT_EQ(t.DayOfWeek, 2);  // a Tuesday
}

TEST(FileTime, NowIsRecentAndLocalIsWithinADay) {
  uint64_t now = GetUtcFileTime();
  CalendarTime t{};
  ASSERT_TRUE(FileTimeToCalendar(now, &t));
  EXPECT_GE(t.Year, 2024);
  uint64_t local = 0;
  ASSERT_TRUE(UtcToLocalFileTime(now, &local));
  uint64_t day = 864000000000ULL;
  EXPECT_LT(local > now ? local - now : now - local, day);
}

TEST(Machine, HasAComputerName) {
  char name[64];
  ASSERT_TRUE(GetComputerNameText(name, sizeof name));
  EXPECT_GT(strlen(name), 0u);
  char tiny[2];
  EXPECT_TRUE(GetComputerNameText(tiny, sizeof tiny));
  EXPECT_EQ(strlen(tiny), 1u);
}

struct Recorded {
  int calls = 0;
  std::string text, caption;
  uint32_t flags = 0;
  void* owner = nullptr;
};

int Script(void* context, void* owner, const char* text, const char* caption, uint32_t flags) {
  auto* r = static_cast<Recorded*>(context);
  ++r->calls;
  r->owner = owner;
  r->text = text;
  r->caption = caption;
  r->flags = flags;
  return kIdNo;
}

TEST(MessageBox, AScriptSeesEveryBoxAndAnswers) {
  Recorded r;
  SetMessageBoxScript(Script, &r);
  int dummy;
  EXPECT_EQ(ShowMessageBox(&dummy, "初始化防火墙组件失败!", "错误", kMbOk | kMbIconError), kIdNo);
  SetMessageBoxScript(nullptr, nullptr);
  EXPECT_EQ(r.calls, 1);
  EXPECT_EQ(r.owner, &dummy);
  EXPECT_EQ(r.text, "初始化防火墙组件失败!");
  EXPECT_EQ(r.caption, "错误");
  EXPECT_EQ(r.flags, kMbIconError);
}

std::string TempPath(const char* name) {
#ifdef _WIN32
  char folder[kPathTextSize];
  GetProgramFolder(folder, sizeof folder);
  return std::string(folder) + name;
#else
  return std::string("/tmp/vardeen_platform_") + name;
#endif
}

TEST(Files, WriteReadReplaceAndDelete) {
  std::string a = TempPath("a.tmp"), b = TempPath("b.tmp");
  FileDelete(a.c_str());
  FileDelete(b.c_str());
  EXPECT_EQ(FileOpenRead(a.c_str()), kInvalidFile);

  FileHandle f = FileCreate(a.c_str());
  ASSERT_NE(f, kInvalidFile);
  uint32_t done = 0;
  EXPECT_TRUE(FileWrite(f, "hello", 5, &done));
  EXPECT_EQ(done, 5u);
  EXPECT_TRUE(FileFlush(f));
  EXPECT_TRUE(FileClose(f));

  EXPECT_FALSE(FileExists(b.c_str()));
  EXPECT_TRUE(FileReplace(a.c_str(), b.c_str()));  // the target does not exist yet
  EXPECT_FALSE(FileExists(a.c_str()));

  f = FileCreate(a.c_str());
  ASSERT_NE(f, kInvalidFile);
  EXPECT_TRUE(FileWrite(f, "xy", 2, &done));
  EXPECT_TRUE(FileClose(f));
  EXPECT_TRUE(FileReplace(a.c_str(), b.c_str()));  // the target exists

  f = FileOpenRead(b.c_str());
  ASSERT_NE(f, kInvalidFile);
  uint32_t size = 0;
  EXPECT_TRUE(FileGetSize(f, &size));
  EXPECT_EQ(size, 2u);
  char buffer[8] = {};
  EXPECT_TRUE(FileRead(f, buffer, sizeof buffer, &done));
  EXPECT_EQ(done, 2u);  // a short read is not a failure
  EXPECT_STREQ(buffer, "xy");
  EXPECT_TRUE(FileClose(f));
  EXPECT_TRUE(FileDelete(b.c_str()));
  EXPECT_FALSE(FileExists(b.c_str()));
}

TEST(Files, TheFaultHookFailsTheChosenCall) {
  std::vector<FileOp> seen;
  struct Context {
    std::vector<FileOp>* seen;
    FileOp fail;
  } context{&seen, FileOp::Write};
  SetFileFaultHook(
      [](void* c, FileOp op) {
        auto* ctx = static_cast<Context*>(c);
        ctx->seen->push_back(op);
        return op == ctx->fail;
      },
      &context);
  std::string a = TempPath("fault.tmp");
  FileHandle f = FileCreate(a.c_str());
  ASSERT_NE(f, kInvalidFile);
  uint32_t done = 1;
  EXPECT_FALSE(FileWrite(f, "abc", 3, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(FileClose(f));
  EXPECT_TRUE(FileDelete(a.c_str()));
  SetFileFaultHook(nullptr, nullptr);
  EXPECT_EQ(seen, (std::vector<FileOp>{FileOp::Create, FileOp::Write, FileOp::Close, FileOp::Delete}));
}

// Small blocks come from the pool (none in sanitizer builds, where every size goes to the
// system), the rest from the system: each size, at the edges of the classes, gets a block
// that holds all its bytes apart from its neighbour's, aligned as GlobalAlloc aligns, zeroed
// when it comes back, and never handed to a larger size.
TEST(Heap, BlocksHoldTheirSizeComeBackZeroedAndAreCountedExactly) {
  const uint32_t largest = PlatformPooledLargest();
  const uint32_t edge = largest != 0 ? largest : 256;
  const uint32_t sizes[] = {0, 1, 7, 8, 9, 16, 17, edge - 1, edge, edge + 1, 4096, 1u << 20};
  const int32_t before = PlatformLiveBlocks();
  for (uint32_t size : sizes) {
    SCOPED_TRACE(size);
    const uint32_t room = size != 0 ? size : 1;
    auto* a = static_cast<uint8_t*>(PlatformAlloc(size));
    auto* b = static_cast<uint8_t*>(PlatformAlloc(size));
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(PlatformLiveBlocks(), before + 2);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 8, 0u);
    memset(a, 0x11, room);
    memset(b, 0x22, room);
    EXPECT_EQ(std::count(a, a + room, 0x11), static_cast<std::ptrdiff_t>(room)) << "overlaps its neighbour";
    PlatformFree(a);
    auto* larger = static_cast<uint8_t*>(PlatformAlloc(room + 8));
    auto* again = static_cast<uint8_t*>(PlatformAlloc(size));
    ASSERT_NE(again, nullptr);
    if (largest != 0 && size <= largest) {
      EXPECT_NE(larger, a) << "a freed block went to a larger size";
      EXPECT_EQ(again, a) << "the freed block is its class's next";
    }
    EXPECT_EQ(std::count(again, again + room, 0), static_cast<std::ptrdiff_t>(room)) << "not zeroed";
    PlatformFree(larger);
    PlatformFree(again);
    PlatformFree(b);
    EXPECT_EQ(PlatformLiveBlocks(), before);
  }
  PlatformFree(nullptr);
  EXPECT_EQ(PlatformLiveBlocks(), before);
}

}  // namespace
