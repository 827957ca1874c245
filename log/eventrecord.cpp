#include "log/eventrecord.h"

#include <cstring>

#include "base/bytes.h"
#include "base/text.h"
#include "platform/heap.h"

namespace {
const uint8_t* Bytes(const _REPORT_EVENT_HEAD& record) {
  return reinterpret_cast<const uint8_t*>(&record);
}
uint8_t* Bytes(_REPORT_EVENT_HEAD& record) { return reinterpret_cast<uint8_t*>(&record); }
}  // namespace

uint8_t EventU8(const _REPORT_EVENT_HEAD& record, uint32_t offset) {
  return RangeInside(offset, 1, kEventRecordSize) ? Bytes(record)[offset] : 0;
}
uint16_t EventU16(const _REPORT_EVENT_HEAD& record, uint32_t offset) {
  return RangeInside(offset, 2, kEventRecordSize) ? LoadLe16(Bytes(record) + offset) : 0;
}
uint32_t EventU32(const _REPORT_EVENT_HEAD& record, uint32_t offset) {
  return RangeInside(offset, 4, kEventRecordSize) ? LoadLe32(Bytes(record) + offset) : 0;
}
uint64_t EventU64(const _REPORT_EVENT_HEAD& record, uint32_t offset) {
  return RangeInside(offset, 8, kEventRecordSize) ? LoadLe64(Bytes(record) + offset) : 0;
}

void SetEventVerdict(_REPORT_EVENT_HEAD& record, uint32_t verdict) {
  StoreLe32(Bytes(record) + EVENT_AT_VERDICT, verdict);
}

void GetProcessBlockName(const uint8_t* block, char (&out)[kProcessNameSize + 1]) {
  char raw[kProcessNameSize + 1] = {};
  if (block != nullptr) memcpy(raw, block, kProcessNameSize);
  CopyText(out, sizeof out, raw);
}

void GetEventProcessName(const _REPORT_EVENT_HEAD& record, char (&out)[kProcessNameSize + 1]) {
  GetProcessBlockName(EventProcessBlock(record), out);
}

const uint8_t* EventProcessBlock(const _REPORT_EVENT_HEAD& record) {
  return Bytes(record) + APP_AT_PROCESS_BLOCK;
}

namespace {
char* PathRef(const _REPORT_EVENT_HEAD& record) {
  uintptr_t ref = LoadLe32(Bytes(record) + APP_AT_PATH_REF);
  return reinterpret_cast<char*>(ref);
}
}  // namespace

const char* EventPathText(const _REPORT_EVENT_HEAD& record) {
  const char* path = PathRef(record);
  return path != nullptr ? path : "";
}

bool EventHasPath(const _REPORT_EVENT_HEAD& record) { return PathRef(record) != nullptr; }

char* NewEventPathText(const char* text) {
  if (text == nullptr) text = "";
  uint32_t length = static_cast<uint32_t>(strlen(text));
  auto* copy = static_cast<char*>(PlatformAlloc(length + 1));
  if (copy != nullptr) memcpy(copy, text, length + 1);
  return copy;
}

void AttachEventPath(_REPORT_EVENT_HEAD& record, char* path) {
  StoreLe32(Bytes(record) + APP_AT_PATH_REF, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(path)));
}

void ReleaseEventPath(_REPORT_EVENT_HEAD& record) {
  PlatformFree(PathRef(record));
  AttachEventPath(record, nullptr);
}
