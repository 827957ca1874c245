// What ships must load on Windows 98 SE and NT 4.0: every function a shipped binary imports is
// on the list of functions both systems export (win98_nt4_exports.txt, beside the test).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/win32/imports/pe_imports.h"
#include "tests/win32/support/files.h"

namespace {

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// "library function" per line; "#" starts a comment.
std::set<std::string> ExportList(std::vector<std::string>* order = nullptr) {
  std::set<std::string> list;
  std::ifstream in(TestProgramFolder() + "win98_nt4_exports.txt");
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string library, function, extra;
    if (!(words >> library >> function)) continue;
    EXPECT_FALSE(words >> extra) << "one function a line: " << line;
    std::string entry = library + " " + function;
    EXPECT_TRUE(list.insert(entry).second) << "listed twice: " << entry;
    if (order != nullptr) order->push_back(entry);
  }
  return list;
}

std::vector<std::string> Split(const char* joined) {
  std::vector<std::string> files;
  std::istringstream names(joined);
  for (std::string name; std::getline(names, name, '|');) files.push_back(name);
  return files;
}

std::vector<std::string> Shipped() { return Split(VARDEEN_SHIPPED); }

// Each file's imports that are neither on the list nor among `allowed`.
void ExpectOnlyListedImports(const std::vector<std::string>& files, const std::set<std::string>& allowed = {}) {
  std::set<std::string> list = ExportList();
  ASSERT_GT(list.size(), 100u) << "the list is missing";
  for (const std::string& file : files) {
    std::vector<CPeImport> imports;
    std::string error;
    ASSERT_TRUE(ReadPeImports(FileBytes(TestProgramFolder() + file), imports, error)) << file << ": " << error;
    EXPECT_GT(imports.size(), 20u) << file;
    std::string missing;
    for (const CPeImport& i : imports) {
      std::string entry = i.library + " " + i.function;
      if (list.count(entry) == 0 && allowed.count(entry) == 0) missing += "\n  " + entry;
    }
    EXPECT_EQ("", missing) << file << " imports what Windows 98 SE or NT 4.0 lacks";
  }
}

TEST(ShippedImports, EveryShippedBinaryImportsOnlyWhatWin98AndNt4Export) {
  std::vector<std::string> files = Shipped();
  ASSERT_EQ(2u, files.size()) << VARDEEN_SHIPPED;
  ExpectOnlyListedImports(files);
}

// The installer's stub and the plugins it unpacks load where the console loads. Only the stub
// may import MoveFileExA: Windows 98 SE exports it as a stub that fails, and the installer
// then schedules its replacements through WININIT.INI.
TEST(ShippedImports, TheInstallerAndItsPluginsImportOnlyWhatWin98AndNt4Export) {
  std::vector<std::string> files = Split(VARDEEN_SETUP_FILES);
  ASSERT_EQ(3u, files.size()) << VARDEEN_SETUP_FILES;
  ExpectOnlyListedImports({files[0]}, {"kernel32.dll MoveFileExA"});
  ExpectOnlyListedImports({files.begin() + 1, files.end()});
}

TEST(ShippedImports, TheListIsSortedAndLeavesOutWhatLaterSystemsAdded) {
  std::vector<std::string> order;
  std::set<std::string> list = ExportList(&order);
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << "keep the list sorted";
  // The posix thread model's runtime needs these; Windows XP and Vista brought them.
  for (const char* later : {"kernel32.dll GetTickCount64", "kernel32.dll AddVectoredExceptionHandler",
                            "kernel32.dll TryEnterCriticalSection", "kernel32.dll MoveFileExA",
                            "comctl32.dll InitCommonControlsEx"})
    EXPECT_EQ(0u, list.count(later)) << later;
}

std::string VersionText(const std::vector<char>& info, const char* name) {
  char* value = nullptr;
  UINT size = 0;
  std::string path = std::string("\\StringFileInfo\\080403A8\\") + name;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &size) || value == nullptr)
    return "";
  return std::string(value, strnlen(value, size));
}

// The tray, the task list and the file's properties show these.
TEST(ShippedResources, EveryShippedBinaryCarriesTheIconAndAVersion) {
  for (const std::string& file : Shipped()) {
    std::string path = TestProgramFolder() + file;
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module) << file;
    EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14))) << file << ": no icon 1";
    FreeLibrary(module);

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_NE(0u, size) << file << ": no version";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00060016u, fixed->dwFileVersionMS) << file;
    EXPECT_EQ("Harlune", VersionText(info, "CompanyName")) << file;
    EXPECT_EQ("6.22.0.0", VersionText(info, "FileVersion")) << file;
    EXPECT_EQ(file, VersionText(info, "OriginalFilename"));
    EXPECT_NE("", VersionText(info, "FileDescription")) << file;
  }
}

// Its properties show the version of the console it installs.
TEST(ShippedResources, TheInstallerCarriesTheConsolesVersion) {
  std::string path = TestProgramFolder() + "VardeenSetup.exe";
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_NE(0u, size) << "no version";
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
  EXPECT_EQ("6.22.0.0", VersionText(info, "FileVersion"));
  EXPECT_EQ("Harlune", VersionText(info, "CompanyName"));
  EXPECT_EQ("VardeenSetup.exe", VersionText(info, "OriginalFilename"));
  EXPECT_EQ("Vardeen 个人防火墙", VersionText(info, "FileDescription")) << "GBK, as the console's texts";
}

// The reader against the loader: every function it finds in this test program was found by
// the loader too, and the program's known imports are among them.
TEST(PeImportReader, FindsWhatTheLoaderResolvedForThisProgram) {
  char self[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameA(nullptr, self, MAX_PATH));
  std::vector<CPeImport> imports;
  std::string error;
  ASSERT_TRUE(ReadPeImports(FileBytes(self), imports, error)) << error;
  bool createFile = false;
  for (const CPeImport& i : imports) {
    createFile = createFile || (i.library == "kernel32.dll" && i.function == "CreateFileA");
    if (i.function[0] == '#') continue;
    HMODULE library = GetModuleHandleA(i.library.c_str());
    ASSERT_NE(nullptr, library) << i.library;
    EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(library, i.function.c_str())))
        << i.library << " " << i.function;
  }
  EXPECT_TRUE(createFile);
}

TEST(PeImportReader, RefusesCutAndForeignFiles) {
  char self[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameA(nullptr, self, MAX_PATH));
  std::vector<uint8_t> whole = FileBytes(self);
  std::vector<CPeImport> imports;
  std::string error;
  for (size_t size : {size_t(0), size_t(2), size_t(0x40), size_t(0x100), size_t(0x200), size_t(0x400)}) {
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + std::min(size, whole.size()));
    EXPECT_FALSE(ReadPeImports(cut, imports, error)) << size;
  }
  std::vector<uint8_t> text = {'#', '!', '/', 'b', 'i', 'n'};
  EXPECT_FALSE(ReadPeImports(text, imports, error));
  std::vector<uint8_t> pointsOut = whole;
  pointsOut[0x3C] = 0xF0;  // the PE header beyond the file's end
  pointsOut[0x3D] = 0xFF;
  pointsOut[0x3E] = 0xFF;
  pointsOut[0x3F] = 0x7F;
  EXPECT_FALSE(ReadPeImports(pointsOut, imports, error));
}

}  // namespace
