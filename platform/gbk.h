// GBK (code page 936) byte classes. A lead byte 0x81..0xFE starts a two-byte character whose
// trail byte (0x40..0xFE) may look like ASCII "\" or a letter, so byte-wise scans must step
// over whole characters.
// It lives under platform/ because the system side cuts paths with it; base/ builds on it.
#pragma once
#include <cstddef>
#include <cstdint>

inline bool IsGbkLeadByte(uint8_t b) { return b >= 0x81 && b <= 0xFE; }

// Calls `visit(offset)` for the offset of every single-byte character in `text`
// (zero-terminated, or up to `size` bytes); double-byte characters are skipped whole.
template <class Visit>
void ForEachSingleByteChar(const char* text, size_t size, Visit visit) {
  for (size_t i = 0; i < size && text[i] != 0;) {
    if (IsGbkLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < size && text[i + 1] != 0) {
      i += 2;
      continue;
    }
    visit(i);
    ++i;
  }
}

// Offset just past the last `separator` that is a character of its own, or 0 when none.
inline size_t GbkCutAfterLast(const char* text, size_t size, char separator) {
  size_t cut = 0;
  ForEachSingleByteChar(text, size, [&](size_t i) {
    if (text[i] == separator) cut = i + 1;
  });
  return cut;
}
