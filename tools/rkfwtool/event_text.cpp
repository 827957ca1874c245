// rkfwtool event-text [--rules FILE.rul] [--computer NAME] [--9x] BATCH: the log text of every
// record of a saved event batch, in batch order, exactly as the console logs it (GBK, "\r\n").
#include <cstdio>
#include <cstring>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "base/result.h"
#include "log/eventbatch.h"
#include "log/eventlog.h"
#include "log/formatters.h"
#include "rules/caches.h"
#include "rules/loader.h"
#include "rules/rulefile.h"
#include "tools/rkfwtool/commands.h"
#include "tools/rkfwtool/toolio.h"

namespace {
// The rules of a file stand in for the rules in force; the cache owns them until the end.
uint32_t CacheRulesOf(const char* path) {
  _Array<_RKFW_RULE> rules(kIpRuleGrowStep);
  uint32_t result = ReadRuleFile(path, rules, RuleFileLookup::AsGiven);
  if (result != RESULT_OK) return result;
  IpRuleCache = _bufferPtr<_RKFW_RULE>(static_cast<uint32_t>(rules.Count));
  for (int32_t i = 0; i < rules.Count; ++i) IpRuleCache[i] = rules[i];  // names move along
  rules.Clear();
  return RESULT_OK;
}

uint32_t Usage() {
  fprintf(stderr, "usage: rkfwtool event-text [--rules FILE.rul] [--computer NAME] [--9x] BATCH\n");
  return RESULT_FAILED;
}
}  // namespace

uint32_t RunEventText(int argc, char** argv) {
  const char* rulesPath = nullptr;
  const char* batchPath = nullptr;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "--rules") == 0 && i + 1 < argc) {
      rulesPath = argv[++i];
    } else if (strcmp(argv[i], "--computer") == 0 && i + 1 < argc) {
      SetComputerNameOverride(argv[++i]);
    } else if (strcmp(argv[i], "--9x") == 0) {
      SetEventClock(EventClock::Utc);
    } else if (argv[i][0] == '-' || batchPath != nullptr) {
      return Usage();
    } else {
      batchPath = argv[i];
    }
  }
  if (batchPath == nullptr) return Usage();

  _bytePtr batch;
  uint32_t result = ReadWholeFile(batchPath, batch);
  if (result != RESULT_OK) return Report(result, "cannot read", batchPath);
  const uint8_t* records = nullptr;
  uint32_t count = 0;
  if (SplitEventBatch(batch.Data(), batch.Length(), &records, &count) != RESULT_OK)
    return Report(RESULT_FAILED, "not an event batch (shorter than its length says)", batchPath);
  if (rulesPath != nullptr) {
    result = CacheRulesOf(rulesPath);
    if (result != RESULT_OK) return Report(result, "cannot read the rules", rulesPath);
  }

#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);  // the texts carry their own "\r\n"
#endif
  bool written = true;
  for (uint32_t i = 0; i < count && written; ++i) {
    _textPtr text = BuildEventLogText(EventRecordAt(records, i));
    size_t length = strlen(text.Data());
    written = fwrite(text.Data(), 1, length, stdout) == length;
  }
  ClearIpRuleCache();
  return written && fflush(stdout) == 0 ? RESULT_OK : RESULT_FAILED;
}
