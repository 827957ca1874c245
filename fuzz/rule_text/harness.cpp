// rkfwtool's text parser: a text it compiles must dump to a text that compiles to the very
// same bytes, as dumped (GBK) and as shown in UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/rules_shared/roundtrip.h"
#include "tools/rkfwtool/encoding.h"
#include "tools/rkfwtool/ruletext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  _bytePtr file;
  std::string error;
  bool audit = false;
  if (CompileRuleText(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), file, error, &audit) != 0)
    return 0;
  std::string text;
  fuzzcheck::Require(DumpRuleFileBytes(file.Data(), file.Length(), audit, text, error) == 0,
                     "a compiled file does not dump");
  fuzzcheck::Require(TextReproducesFile(file.Data(), file.Length(), text), "dump and compile changed the bytes");
  fuzzcheck::Require(TextReproducesFile(file.Data(), file.Length(), GbkTextToUtf8(text)),
                     "a UTF-8 dump and compile changed the bytes");
  return 0;
}
