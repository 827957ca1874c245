#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "platform/clock.h"
#include "platform/machine.h"
#include "platform/paths.h"

namespace {

TEST(Windows, AnsiCodePageIsGbk) {
  EXPECT_EQ(GetACP(), 936u);
  const char* text = "初始化防火墙组件失败!";
  wchar_t wide[32] = {};
  int n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, text, -1, wide, 32);
  ASSERT_EQ(n, 12);  // 11 characters and the terminator
  const wchar_t expected[] = L"\u521d\u59cb\u5316\u9632\u706b\u5899\u7ec4\u4ef6\u5931\u8d25!";
  EXPECT_EQ(wcscmp(wide, expected), 0);
}

TEST(Windows, ProgramFolderMatchesTheModuleName) {
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  char folder[kPathTextSize];
  uint32_t n = GetProgramFolder(folder, sizeof folder);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(strncmp(module, folder, n), 0);
  EXPECT_EQ(strchr(module + n, '\\'), nullptr);
}

TEST(Windows, FileTimeMatchesTheSystemClockAndZone) {
  SYSTEMTIME st;
  GetSystemTime(&st);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  uint64_t system = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  uint64_t ours = GetUtcFileTime();
  EXPECT_LT(ours - system, 50000000ULL);  // within 5 s
  FILETIME local;
  FileTimeToLocalFileTime(&ft, &local);
  uint64_t expected = (static_cast<uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
  uint64_t converted = 0;
  ASSERT_TRUE(UtcToLocalFileTime(system, &converted));
  EXPECT_EQ(converted, expected);
}

TEST(Windows, ComputerNameIsTheSystemOne) {
  char expected[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = sizeof expected;
  ASSERT_TRUE(GetComputerNameA(expected, &n));
  char name[64];
  ASSERT_TRUE(GetComputerNameText(name, sizeof name));
  EXPECT_STREQ(name, expected);
}

}  // namespace
