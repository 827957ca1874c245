// A reader of a 32-bit PE file's import table: which functions of which libraries it needs
// the loader to find. Every offset is checked against the file before it is read.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct CPeImport {
  std::string library;   // lower case, as the file names it ("kernel32.dll")
  std::string function;  // the name, or "#N" for an import by ordinal
};

// false (with `error` saying why) when the bytes are not a 32-bit PE file with a readable
// import table; a file without imports gives an empty list.
bool ReadPeImports(const std::vector<uint8_t>& file, std::vector<CPeImport>& imports, std::string& error);
