// The readable text form of rule files and audit files that rkfwtool dumps and compiles.
//
//   rule-file                    or  audit-file
//   encoding GBK                     (or UTF-8: how the texts are written)
//   magic "RKFA"
//   version 256
//   rule                         or  audit-rule
//     name "..."                     path "..."
//     protocol TCP                   rule-id 0x...
//     local-addr any | 10.0.0.1 | range 10.0.0.0 10.0.0.255 | list 10.0.0.1 10.0.0.2
//     remote-port 80 | range 1024 65535 | list 80 443
//     ...
//   end
//
// Texts are quoted and kept in GBK as stored (rkfwtool dump shows them in UTF-8 on a UTF-8
// terminal); "\\", "\"" and "\xHH" are the only escapes.
// "#" starts a comment outside quotes. Every stored byte has a field, so dump then compile
// gives back the same file for any file the console wrote.
#pragma once
#include <cstdint>
#include <string>

#include "base/bufferptr.h"
#include "tools/rkfwtool/encoding.h"

// A whole file (header and body) as text. `audit` picks the audit body. 0, or the code of the
// read that failed (1) with `error` saying why.
uint32_t DumpRuleFileBytes(const uint8_t* data, uint32_t size, bool audit, std::string& text, std::string& error);
// Text back to the bytes of a whole file. 0, or 1 with `error` naming the line. `audit` tells
// which kind of file the text described. The text is in the encoding its "encoding" line
// names (dump writes one); without it, UTF-8 when it starts with a byte order mark, else
// `unmarked`. UTF-8 is turned into GBK first.
uint32_t CompileRuleText(const char* text, uint32_t size, _bytePtr& file, std::string& error,
                         bool* audit = nullptr, TTextEncoding unmarked = TTextEncoding::Gbk);
// True when the dumped text of the file compiles back to the same bytes.
bool TextReproducesFile(const uint8_t* data, uint32_t size, const std::string& text);
