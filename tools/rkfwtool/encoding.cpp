#include "tools/rkfwtool/encoding.h"

#include <cstdio>
#include <cstring>

#include "platform/gbk.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>
#include <clocale>
#endif

namespace {
constexpr unsigned kGbkCodePage = 936;

// The length of the UTF-8 sequence at `p` (1 to 4) and its code point; 0 when malformed.
uint32_t DecodeUtf8(const uint8_t* p, size_t left, uint32_t* code) {
  uint8_t b = p[0];
  uint32_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || n > left) return 0;
  uint32_t c = n == 1 ? b : b & (0x7F >> n);
  for (uint32_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (p[i] & 0x3F);
  }
  static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMin[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;  // overlong, surrogates
  *code = c;
  return n;
}

void EncodeUtf8(uint32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// One GBK pair to its code point, and back; false when the code page has none.
#ifdef _WIN32
bool PairToCode(const char pair[2], uint32_t* code) {
  wchar_t w[2];
  if (MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, pair, 2, w, 2) != 1) return false;
  *code = static_cast<uint16_t>(w[0]);
  return true;
}
bool CodeToGbk(uint32_t code, std::string& out) {
  if (code > 0xFFFF) return false;
  wchar_t w = static_cast<wchar_t>(code);
  char bytes[4];
  BOOL defaulted = FALSE;
  int n = WideCharToMultiByte(kGbkCodePage, 0, &w, 1, bytes, sizeof bytes, nullptr, &defaulted);
  if (n <= 0 || defaulted) return false;
  out.append(bytes, static_cast<size_t>(n));
  return true;
}
#else
// iconv between the code page and UTF-32 (host byte order); opened once per direction.
bool Convert(const char* to, const char* from, const char* in, size_t inSize, char* out, size_t* outSize) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* source = const_cast<char*>(in);
  char* target = out;
  size_t left = *outSize;
  bool ok = iconv(cd, &source, &inSize, &target, &left) != static_cast<size_t>(-1) && inSize == 0;
  iconv_close(cd);
  *outSize -= left;
  return ok;
}
bool PairToCode(const char pair[2], uint32_t* code) {
  uint32_t c[2];
  size_t size = sizeof c;
  if (!Convert("UTF-32LE", "CP936", pair, 2, reinterpret_cast<char*>(c), &size) || size != 4) return false;
  const auto* b = reinterpret_cast<const uint8_t*>(c);
  *code = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
  return true;
}
bool CodeToGbk(uint32_t code, std::string& out) {
  uint8_t in[4] = {static_cast<uint8_t>(code), static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code >> 16),
                   static_cast<uint8_t>(code >> 24)};
  char bytes[8];
  size_t size = sizeof bytes;
  if (!Convert("CP936", "UTF-32LE", reinterpret_cast<const char*>(in), 4, bytes, &size) || size == 0) return false;
  out.append(bytes, size);
  return true;
}
#endif
}  // namespace

bool LooksLikeUtf8(const char* text, uint32_t size) {
  const auto* p = reinterpret_cast<const uint8_t*>(text);
  bool beyondAscii = false;
  for (uint32_t i = 0; i < size;) {
    uint32_t code = 0;
    uint32_t n = DecodeUtf8(p + i, size - i, &code);
    if (n == 0) return false;
    beyondAscii = beyondAscii || n > 1;
    i += n;
  }
  return beyondAscii;
}

const char* EncodingName(TTextEncoding encoding) { return encoding == TTextEncoding::Utf8 ? "UTF-8" : "GBK"; }

bool ParseEncodingName(const std::string& name, TTextEncoding* encoding) {
  std::string upper;
  for (char c : name) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  if (upper == "GBK" || upper == "CP936") *encoding = TTextEncoding::Gbk;
  else if (upper == "UTF-8" || upper == "UTF8") *encoding = TTextEncoding::Utf8;
  else return false;
  return true;
}

uint32_t FindEncodingLine(const char* text, uint32_t size, std::string& name) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  uint32_t line = 0;
  for (uint32_t at = 0; at < size;) {
    uint32_t end = at;
    while (end < size && text[end] != '\n') ++end;
    ++line;
    uint32_t p = at;
    at = end + 1;
    if (line == 1 && end - p >= 3 && memcmp(text + p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    while (p < end && blank(text[p])) ++p;
    uint32_t word = p;
    while (p < end && !blank(text[p]) && text[p] != '#') ++p;
    std::string first(text + word, p - word);
    if (first == "rule" || first == "audit-rule") return 0;
    if (first != "encoding") continue;
    while (p < end && blank(text[p])) ++p;
    uint32_t value = p;
    while (p < end && !blank(text[p]) && text[p] != '#') ++p;
    name.assign(text + value, p - value);
    return line;
  }
  return 0;
}

TTextEncoding SystemTextEncoding() {
#ifdef _WIN32
  return GetACP() == CP_UTF8 ? TTextEncoding::Utf8 : TTextEncoding::Gbk;
#else
  return OutputLocaleIsUtf8() ? TTextEncoding::Utf8 : TTextEncoding::Gbk;
#endif
}

std::string GbkTextToUtf8(const std::string& dumped) {
  // The dump's encoding line is its second: it now names UTF-8.
  std::string gbk = dumped;
  const std::string declared = "\nencoding GBK\n";
  size_t first = gbk.find('\n');
  if (first != std::string::npos && gbk.compare(first, declared.size(), declared) == 0)
    gbk.replace(first, declared.size(), "\nencoding UTF-8\n");
  std::string out;
  for (size_t i = 0; i < gbk.size(); ++i) {
    auto b = static_cast<uint8_t>(gbk[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      continue;
    }
    // The dump writes high bytes only as whole pairs inside quotes.
    uint32_t code = 0;
    std::string back;
    if (IsGbkLeadByte(b) && i + 1 < gbk.size() && PairToCode(&gbk[i], &code) && CodeToGbk(code, back) &&
        back == gbk.substr(i, 2)) {
      EncodeUtf8(code, out);
      ++i;
      continue;
    }
    // The whole pair, or its trail byte would pair with whatever follows (a "\\" among them).
    bool pair = IsGbkLeadByte(b) && i + 1 < gbk.size() && static_cast<uint8_t>(gbk[i + 1]) >= 0x40 &&
                static_cast<uint8_t>(gbk[i + 1]) != 0x7F && static_cast<uint8_t>(gbk[i + 1]) != 0xFF;
    for (size_t n = 0; n < (pair ? 2u : 1u); ++n) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\x%02x", static_cast<uint8_t>(gbk[i + n]));
      out += escape;
    }
    if (pair) ++i;
  }
  return out;
}

bool Utf8TextToGbk(const std::string& utf8, std::string& gbk, uint32_t* badLine) {
  gbk.clear();
  uint32_t line = 1;
  const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
  for (size_t i = 0; i < utf8.size();) {
    uint32_t code = 0;
    uint32_t n = DecodeUtf8(p + i, utf8.size() - i, &code);
    if (n == 0 || (n > 1 && !CodeToGbk(code, gbk))) {
      *badLine = line;
      return false;
    }
    if (n == 1) gbk += static_cast<char>(code);
    if (code == '\n') ++line;
    i += n;
  }
  return true;
}

bool OutputLocaleIsUtf8() {
#ifdef _WIN32
  return GetConsoleOutputCP() == CP_UTF8;
#else
  const char* old = setlocale(LC_CTYPE, nullptr);
  std::string saved = old != nullptr ? old : "C";
  bool utf8 = false;
  if (setlocale(LC_CTYPE, "") != nullptr) {
    const char* set = nl_langinfo(CODESET);
    utf8 = set != nullptr && (strcmp(set, "UTF-8") == 0 || strcmp(set, "utf8") == 0);
  }
  setlocale(LC_CTYPE, saved.c_str());
  return utf8;
#endif
}
