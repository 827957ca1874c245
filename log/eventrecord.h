// Reading the driver's 220-byte event record field by field, and the one field the console
// writes for itself: the reference to the looked-up process path at offset 212.
// Every reader stays inside the 220 bytes; the record's layout is in driver/protocol.h.
#pragma once
#include <cstdint>

struct _REPORT_EVENT_HEAD;

constexpr uint32_t kEventRecordSize = 220;

// Record kinds.
enum : uint32_t {
  EVENT_KIND_SYSTEM = 1,     // an IP rule matched
  EVENT_KIND_APP_ASK = 2,    // an application waits for a verdict
  EVENT_KIND_APP_LOG = 3,    // an application event to be logged
};
constexpr uint32_t kEventAuditFlag = 0x40;
constexpr uint32_t kProcessNameSize = 26;  // the name need not be terminated inside them

// Offsets shared by both layouts, then per layout.
enum : uint32_t {
  EVENT_AT_TIME = 0,
  EVENT_AT_KIND = 8,
  EVENT_AT_VERDICT = 12,
  EVENT_AT_DATA_SIZE = 16,
  EVENT_AT_FLAGS = 32,
  // kind 1
  SYS_AT_PROTOCOL = 20,
  SYS_AT_ACTION = 24,
  SYS_AT_OPERATION = 28,
  SYS_AT_RULE_ID = 36,
  SYS_AT_LOCAL_ADDR = 48,
  SYS_AT_REMOTE_ADDR_IP = 52,  // IP, ICMP, IGMP
  SYS_AT_LOCAL_PORT = 52,      // TCP, UDP
  SYS_AT_REMOTE_ADDR = 54,
  SYS_AT_REMOTE_PORT = 58,
  // kinds 2 and 3
  APP_AT_RULE_ID = 20,
  APP_AT_OPERATION = 24,
  APP_AT_ACTION = 28,
  APP_AT_PROCESS_BLOCK = 36,
  APP_AT_PROCESS_NAME = 36,
  APP_AT_NAME_SOURCE = 62,
  APP_AT_PROCESS_ID = 72,
  APP_AT_LOCAL_ADDR = 76,
  APP_AT_REMOTE_ADDR = 80,
  APP_AT_LOCAL_PORT = 84,
  APP_AT_REMOTE_PORT = 86,
  APP_AT_PROTOCOL = 96,
  APP_AT_DRIVER_KEY = 108,
  APP_AT_PATH_REF = 212,
};

// Little-endian fields; an offset whose field would not fit in the record reads 0.
uint8_t EventU8(const _REPORT_EVENT_HEAD& record, uint32_t offset);
uint16_t EventU16(const _REPORT_EVENT_HEAD& record, uint32_t offset);
uint32_t EventU32(const _REPORT_EVENT_HEAD& record, uint32_t offset);
uint64_t EventU64(const _REPORT_EVENT_HEAD& record, uint32_t offset);
// A port exactly as stored: network byte order.
inline uint16_t EventPort(const _REPORT_EVENT_HEAD& record, uint32_t offset) {
  return EventU16(record, offset);  // the two bytes as they lie; FormatPort swaps them
}
inline uint32_t EventKind(const _REPORT_EVENT_HEAD& record) { return EventU32(record, EVENT_AT_KIND); }
void SetEventVerdict(_REPORT_EVENT_HEAD& record, uint32_t verdict);

// The process name of an application event (or of any process block), zero-terminated in
// `out`; a name filling all 26 bytes has no terminator of its own, and half a GBK character
// at its end is dropped.
void GetEventProcessName(const _REPORT_EVENT_HEAD& record, char (&out)[kProcessNameSize + 1]);
void GetProcessBlockName(const uint8_t* block, char (&out)[kProcessNameSize + 1]);
// The process block of an application event (offset 36, 76 bytes to the driver key's end).
const uint8_t* EventProcessBlock(const _REPORT_EVENT_HEAD& record);

// The path text referenced at offset 212. A record holding a reference owns that text: exactly
// one holder (a queued record or a prompt's copy) releases it.
const char* EventPathText(const _REPORT_EVENT_HEAD& record);  // "" when none
bool EventHasPath(const _REPORT_EVENT_HEAD& record);
// A new heap text of exactly its length plus one, for AttachEventPath; nullptr when out of
// memory.
char* NewEventPathText(const char* text);
// Stores the reference; the record (or whoever holds its bytes) now owns `path`.
void AttachEventPath(_REPORT_EVENT_HEAD& record, char* path);
// Frees the referenced text, if any, and clears the reference.
void ReleaseEventPath(_REPORT_EVENT_HEAD& record);
