#include "base/text.h"

#include <cstdio>
#include <cstring>

#include "platform/gbk.h"

namespace {
// Largest n <= limit such that text[0..n) does not end inside a double-byte character.
uint32_t SafeCut(const char* text, uint32_t limit) {
  uint32_t i = 0;
  while (i < limit && text[i] != 0) {
    bool lead = IsGbkLeadByte(static_cast<uint8_t>(text[i]));
    if (lead && text[i + 1] == 0) break;  // half a character: drop it
    uint32_t step = lead ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

uint8_t FoldAscii(uint8_t c) { return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + 32) : c; }
}  // namespace

_textPtr MakeText(uint32_t size) { return _textPtr(size); }

_textPtr MakeText(uint32_t size, const char* text) {
  _textPtr out(size);
  CopyText(out.Data(), size, text);
  return out;
}

uint32_t CopyText(char* dst, uint32_t size, const char* src) {
  if (dst == nullptr || size == 0) return 0;
  uint32_t n = src ? SafeCut(src, size - 1) : 0;
  if (n) memcpy(dst, src, n);
  dst[n] = 0;
  return n;
}

uint32_t BoundedLength(const char* text, uint32_t size) {
  const void* end = memchr(text, 0, size);
  return end ? static_cast<uint32_t>(static_cast<const char*>(end) - text) : size;
}

uint32_t FormatTextV(char* dst, uint32_t size, const char* format, va_list args) {
  if (dst == nullptr || size == 0) return 0;
  int n = vsnprintf(dst, size, format, args);
  if (n < 0) {
    dst[0] = 0;
    return 0;
  }
  if (static_cast<uint32_t>(n) < size) return static_cast<uint32_t>(n);
  uint32_t cut = SafeCut(dst, size - 1);  // vsnprintf may have split the last character
  dst[cut] = 0;
  return cut;
}

uint32_t FormatText(char* dst, uint32_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  uint32_t n = FormatTextV(dst, size, format, args);
  va_end(args);
  return n;
}

uint32_t AppendText(char* dst, uint32_t size, const char* format, ...) {
  if (dst == nullptr || size == 0) return 0;
  uint32_t used = BoundedLength(dst, size);
  if (used >= size) used = size - 1;
  va_list args;
  va_start(args, format);
  uint32_t n = FormatTextV(dst + used, size - used, format, args);
  va_end(args);
  return used + n;
}

int CompareTextIgnoringCase(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const uint8_t*>(a);
  const auto* y = reinterpret_cast<const uint8_t*>(b);
  for (;;) {
    bool doubleX = IsGbkLeadByte(*x) && x[1] != 0;
    bool doubleY = IsGbkLeadByte(*y) && y[1] != 0;
    if (doubleX || doubleY) {
      // Double-byte characters compare exactly, trail byte included.
      if (*x != *y) return *x < *y ? -1 : 1;
      if (x[1] != y[1]) return x[1] < y[1] ? -1 : 1;
      x += 2;
      y += 2;
      continue;
    }
    uint8_t cx = FoldAscii(*x), cy = FoldAscii(*y);
    if (cx != cy) return cx < cy ? -1 : 1;
    if (cx == 0) return 0;
    ++x;
    ++y;
  }
}

void AppendFormat(std::string& out, const char* format, ...) {
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  int n = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (n > 0) {
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    vsnprintf(&out[at], static_cast<size_t>(n) + 1, format, again);
    out.resize(at + static_cast<size_t>(n));
  }
  va_end(again);
}

bool ParseNumberText(const char* text, uint64_t max, uint64_t* value) {
  uint32_t base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
  }
  if (*text == 0) return false;
  uint64_t v = 0;
  for (; *text != 0; ++text) {
    char c = *text;
    uint32_t digit;
    if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
    else return false;
    if (v > (max - digit) / base) return false;  // v * base + digit would pass max
    v = v * base + digit;
  }
  *value = v;
  return true;
}
