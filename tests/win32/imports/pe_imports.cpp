#include "tests/win32/imports/pe_imports.h"

#include <cctype>

namespace {
// Reads little-endian fields inside the file; an out-of-range read clears ok and gives 0.
struct CReader {
  const std::vector<uint8_t>& bytes;
  bool ok = true;
  uint32_t U32(uint32_t at) {
    if (at > bytes.size() || bytes.size() - at < 4) return Fail();
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
  }
  uint16_t U16(uint32_t at) {
    if (at > bytes.size() || bytes.size() - at < 2) return static_cast<uint16_t>(Fail());
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
  }
  // A zero-terminated text that ends inside the file.
  std::string Text(uint32_t at) {
    std::string text;
    for (uint32_t i = at; i < bytes.size(); ++i) {
      if (bytes[i] == 0) return text;
      text += static_cast<char>(bytes[i]);
    }
    Fail();
    return std::string();
  }
  uint32_t Fail() {
    ok = false;
    return 0;
  }
};

struct CSection {
  uint32_t address, size, offset, rawSize;
};
}  // namespace

bool ReadPeImports(const std::vector<uint8_t>& file, std::vector<CPeImport>& imports, std::string& error) {
  imports.clear();
  CReader r{file};
  if (r.U16(0) != 0x5A4D) return error = "no MZ header", false;
  uint32_t pe = r.U32(0x3C);
  if (!r.ok || r.U32(pe) != 0x00004550) return error = "no PE signature", false;
  uint32_t coff = pe + 4;
  if (r.U16(coff) != 0x014C) return error = "not an i386 image", false;
  uint16_t sectionCount = r.U16(coff + 2);
  uint16_t optionalSize = r.U16(coff + 16);
  uint32_t optional = coff + 20;
  if (r.U16(optional) != 0x10B) return error = "not a PE32 image", false;
  if (r.U32(optional + 92) < 2) return error = "", true;  // no import directory entry
  uint32_t importRva = r.U32(optional + 104);
  if (!r.ok) return error = "short headers", false;
  if (importRva == 0) return error = "", true;

  std::vector<CSection> sections;
  uint32_t table = optional + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    uint32_t s = table + 40u * i;
    sections.push_back({r.U32(s + 12), r.U32(s + 8), r.U32(s + 20), r.U32(s + 16)});
  }
  if (!r.ok) return error = "short section table", false;
  auto offsetOf = [&](uint32_t rva) -> uint32_t {
    for (const CSection& s : sections) {
      uint32_t span = s.size > s.rawSize ? s.rawSize : s.size;
      if (rva >= s.address && rva - s.address < span) return s.offset + (rva - s.address);
    }
    return r.Fail();
  };

  for (uint32_t d = offsetOf(importRva); r.ok; d += 20) {
    uint32_t lookup = r.U32(d), nameRva = r.U32(d + 12), thunks = r.U32(d + 16);
    if (!r.ok) break;
    if (nameRva == 0 && thunks == 0) return error = "", true;  // the closing descriptor
    std::string library = r.Text(offsetOf(nameRva));
    for (char& c : library) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (uint32_t t = offsetOf(lookup != 0 ? lookup : thunks); r.ok; t += 4) {
      uint32_t entry = r.U32(t);
      if (!r.ok || entry == 0) break;
      std::string function = (entry & 0x80000000u) ? "#" + std::to_string(entry & 0xFFFF)
                                                   : r.Text(offsetOf(entry) + 2);  // after the hint
      imports.push_back({library, function});
    }
  }
  return error = "import table outside the file", false;
}
