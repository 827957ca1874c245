// GBK (as the files store texts) and UTF-8 (as most terminals and editors of today show them)
// for rkfwtool's text form. Only quoted texts hold anything but ASCII.
#pragma once
#include <cstdint>
#include <string>

// True when `text` is well-formed UTF-8 with at least one character beyond ASCII. Chinese GBK
// text practically never is: its pairs are not UTF-8 sequences.
bool LooksLikeUtf8(const char* text, uint32_t size);

// Dumped GBK text to UTF-8. A pair that has no Unicode character, or does not come back to the
// same pair, is written as "\xHH\xHH" (the text form's escape), so compiling the UTF-8 text
// gives the same bytes.
std::string GbkTextToUtf8(const std::string& gbk);

// UTF-8 text to GBK. False, with `badLine` (from 1), at a character GBK cannot hold or a
// malformed sequence.
bool Utf8TextToGbk(const std::string& utf8, std::string& gbk, uint32_t* badLine);

// True when standard output is a UTF-8 terminal or file by the locale (LC_ALL, LC_CTYPE, LANG).
bool OutputLocaleIsUtf8();
