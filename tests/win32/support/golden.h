// Golden descriptions of windows: the text of DescribeControls (GBK) compared with a checked-in
// file in UTF-8. With VARDEEN_UPDATE_GOLDEN=1 in the environment the file is written instead,
// for a reviewed change of layout.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

inline std::string ConvertCodePage(const std::string& text, UINT from, UINT to) {
  if (text.empty()) return text;
  int wide = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &w[0], wide);
  int narrow = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(narrow), '\0');
  WideCharToMultiByte(to, 0, w.data(), wide, &out[0], narrow, nullptr, nullptr);
  return out;
}

// `path`: the golden file. The description is compared line by line, so a failure names the
// first control that differs.
inline ::testing::AssertionResult MatchesGolden(const std::string& gbkDescription, const std::string& path) {
  std::string actual = ConvertCodePage(gbkDescription, 936, CP_UTF8);
  const char* update = getenv("VARDEEN_UPDATE_GOLDEN");
  if (update != nullptr && update[0] == '1') {
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) return ::testing::AssertionFailure() << "cannot write " << path;
    fwrite(actual.data(), 1, actual.size(), f);
    fclose(f);
    return ::testing::AssertionSuccess();
  }
  std::string expected;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) expected.append(buffer, n);
    fclose(f);
  } else {
    return ::testing::AssertionFailure() << "no golden file " << path << "; the window is:\n" << actual;
  }
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t a = 0, e = 0;
  int line = 1;
  while (a < actual.size() && e < expected.size()) {
    size_t an = actual.find('\n', a), en = expected.find('\n', e);
    std::string al = actual.substr(a, an - a), el = expected.substr(e, en - e);
    if (al != el)
      return ::testing::AssertionFailure() << path << " line " << line << ":\n  expected: " << el
                                           << "\n  actual:   " << al;
    if (an == std::string::npos || en == std::string::npos) break;
    a = an + 1;
    e = en + 1;
    ++line;
  }
  return ::testing::AssertionFailure() << path << ": the descriptions differ in length; the window is:\n"
                                       << actual;
}
