// GBK (as the files store texts) and UTF-8 (as most terminals and editors of today show them)
// for rkfwtool's text form. Only quoted texts hold anything but ASCII.
#pragma once
#include <cstdint>
#include <string>

// True when `text` is well-formed UTF-8 with at least one character beyond ASCII. GBK text can
// be too ("小" is D0 A1, a UTF-8 pair): never a reason to read a text as UTF-8.
bool LooksLikeUtf8(const char* text, uint32_t size);

// The encodings of rkfwtool's text, named by the text's "encoding" line.
enum class TTextEncoding { Gbk, Utf8 };
const char* EncodingName(TTextEncoding encoding);  // "GBK", "UTF-8"
// "GBK" (or "CP936"), "UTF-8" (or "UTF8"), in any case.
bool ParseEncodingName(const std::string& name, TTextEncoding* encoding);
// The "encoding NAME" line among the lines before the first rule, found by its ASCII bytes
// alone (so in either encoding): 0 when there is none, else its line number (from 1) with the
// name in `name`.
uint32_t FindEncodingLine(const char* text, uint32_t size, std::string& name);
// What a text without an encoding line or byte order mark is taken to be here: the ANSI code
// page on Windows, the locale's character set elsewhere (UTF-8 or, otherwise, GBK).
TTextEncoding SystemTextEncoding();

// Dumped GBK text to UTF-8, its encoding line saying so. A pair that has no Unicode character,
// or does not come back to the same pair, is written as "\xHH\xHH" (the text form's escape),
// so compiling the UTF-8 text gives the same bytes.
std::string GbkTextToUtf8(const std::string& gbk);

// UTF-8 text to GBK. False, with `badLine` (from 1), at a character GBK cannot hold or a
// malformed sequence.
bool Utf8TextToGbk(const std::string& utf8, std::string& gbk, uint32_t* badLine);

// True when standard output is a UTF-8 terminal or file by the locale (LC_ALL, LC_CTYPE, LANG).
bool OutputLocaleIsUtf8();
