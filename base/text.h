// Fixed-size text buffers and GBK-safe text helpers.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <string>

#include "base/bufferptr.h"

constexpr uint32_t kValueTextSize = 1024;  // one formatted value
constexpr uint32_t kLogTextSize = 4096;    // one event's log text

using _textPtr = _bufferPtr<char>;

// A fresh zeroed text buffer of `size` bytes (an empty text).
_textPtr MakeText(uint32_t size);
// A fresh buffer of `size` bytes holding `text`, cut (never inside a GBK character) to fit.
_textPtr MakeText(uint32_t size, const char* text);

// Copies `src` into `dst` of `size` bytes, zero-terminated, never splitting a GBK character.
// Returns the bytes copied (without the terminator).
uint32_t CopyText(char* dst, uint32_t size, const char* src);
// Length of a text that may lack its terminator within `size` bytes.
uint32_t BoundedLength(const char* text, uint32_t size);

// printf into `dst` of `size` bytes; the result is cut, never inside a GBK character.
uint32_t FormatText(char* dst, uint32_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
uint32_t FormatTextV(char* dst, uint32_t size, const char* format, va_list args);
// Appends to the zero-terminated text in `dst`, same rules.
uint32_t AppendText(char* dst, uint32_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// printf at the end of `out`, however long the result.
void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Compares ignoring ASCII letter case; bytes of double-byte GBK characters compare exactly.
// (Windows compares ANSI paths with lstrcmpiA; this is the host's portable equivalent.)
int CompareTextIgnoringCase(const char* a, const char* b);

// A whole text that is one number: decimal digits, or hexadecimal digits after "0x" or "0X".
// False for anything else (signs, blanks, other characters, no digits) and above `max`.
bool ParseNumberText(const char* text, uint64_t max, uint64_t* value);
