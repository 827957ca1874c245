// Event batches as the driver might answer them, through the batch splitter, the record
// readers and the log text. Every block stays inside its buffer and keeps its line shape.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "log/eventbatch.h"
#include "log/eventlog.h"
#include "log/formatters.h"
#include "rules/caches.h"

namespace {
char kShort[] = "规则";
char kLong[1500];

void CacheRules() {
  static bool done = false;
  if (done) return;
  done = true;
  memset(kLong, 'r', sizeof kLong - 1);
  SetComputerNameOverride("FUZZ");
  IpRuleCache = _bufferPtr<_RKFW_RULE>(3);
  IpRuleCache[0].RuleId = 1;
  IpRuleCache[0].Name = kShort;
  IpRuleCache[1].RuleId = 2;
  IpRuleCache[1].Name = kLong;
  IpRuleCache[2].RuleId = 3;  // no name
}

uint32_t CountLines(const char* text) {
  uint32_t lines = 0;
  for (const char* p = text; (p = strstr(p, "\r\n")) != nullptr; p += 2) ++lines;
  return lines;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CacheRules();
  if (size > 1u << 20) return 0;
  const uint8_t* records = nullptr;
  uint32_t count = 0;
  if (SplitEventBatch(data, static_cast<uint32_t>(size), &records, &count) != 0) return 0;
  if (4 + static_cast<size_t>(count) * kEventRecordSize > size) abort();
  for (uint32_t i = 0; i < count; ++i) {
    const _REPORT_EVENT_HEAD& record = EventRecordAt(records, i);
    SetEventClock(EventU8(record, 7) & 1 ? EventClock::Utc : EventClock::Local);
    _textPtr text = BuildEventLogText(record);
    size_t length = strnlen(text.Data(), text.Length());
    if (length >= kLogTextSize) abort();
    uint32_t kind = EventKind(record);
    bool logged = kind == EVENT_KIND_SYSTEM || kind == EVENT_KIND_APP_LOG;
    if (logged != (length != 0)) abort();
    if (logged && (CountLines(text.Data()) != 9 || memcmp(text.Data() + length - 2, "\r\n", 2) != 0)) abort();
    char name[kProcessNameSize + 1];
    GetEventProcessName(record, name);
    if (strlen(name) > kProcessNameSize) abort();
  }
  return 0;
}
