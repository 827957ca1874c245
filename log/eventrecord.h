// Reading the driver's 220-byte event record field by field, and the one field the console
// writes for itself: the reference to the looked-up process path at offset 212.
// Every reader stays inside the 220 bytes; the offsets come from the record in driver/protocol.h.
#pragma once
#include <cstddef>
#include <cstdint>

#include "driver/protocol.h"

constexpr uint32_t kEventRecordSize = sizeof(_REPORT_EVENT_HEAD);

// Record kinds.
enum : uint32_t {
  EVENT_KIND_SYSTEM = RKFW_EVENT_SYSTEM,    // an IP rule matched
  EVENT_KIND_APP_ASK = RKFW_EVENT_APP_ASK,  // an application waits for a verdict
  EVENT_KIND_APP_LOG = RKFW_EVENT_APP_LOG,  // an application event to be logged
};
constexpr uint32_t kEventAuditFlag = RKFW_EVENT_FLAG_AUDIT;
constexpr uint32_t kProcessNameSize = RKFW_PROCESS_NAME_SIZE;  // the name need not be terminated

#define EVENT_OFFSET(field) static_cast<uint32_t>(offsetof(_REPORT_EVENT_HEAD, field))
// Offsets shared by both layouts, then per layout, taken from the packed record.
enum : uint32_t {
  EVENT_AT_TIME = EVENT_OFFSET(Time),
  EVENT_AT_KIND = EVENT_OFFSET(Kind),
  EVENT_AT_VERDICT = EVENT_OFFSET(Verdict),
  EVENT_AT_DATA_SIZE = EVENT_OFFSET(DataSize),
  EVENT_AT_FLAGS = EVENT_OFFSET(Body.System.Flags),  // the same place in kinds 2 and 3
  // kind 1
  SYS_AT_PROTOCOL = EVENT_OFFSET(Body.System.Protocol),
  SYS_AT_ACTION = EVENT_OFFSET(Body.System.Action),
  SYS_AT_OPERATION = EVENT_OFFSET(Body.System.Operation),
  SYS_AT_RULE_ID = EVENT_OFFSET(Body.System.RuleId),
  SYS_AT_LOCAL_ADDR = EVENT_OFFSET(Body.System.LocalAddress),
  SYS_AT_REMOTE_ADDR_IP = EVENT_OFFSET(Body.System.Endpoints),  // IP, ICMP, IGMP
  SYS_AT_LOCAL_PORT = EVENT_OFFSET(Body.System.Endpoints),      // TCP, UDP: port, address, port
  SYS_AT_REMOTE_ADDR = EVENT_OFFSET(Body.System.Endpoints) + 2,
  SYS_AT_REMOTE_PORT = EVENT_OFFSET(Body.System.Endpoints) + 6,
  // kinds 2 and 3
  APP_AT_RULE_ID = EVENT_OFFSET(Body.App.RuleId),
  APP_AT_OPERATION = EVENT_OFFSET(Body.App.Operation),
  APP_AT_ACTION = EVENT_OFFSET(Body.App.Action),
  APP_AT_PROCESS_BLOCK = EVENT_OFFSET(Body.App.ProcessName),
  APP_AT_PROCESS_NAME = EVENT_OFFSET(Body.App.ProcessName),
  APP_AT_NAME_SOURCE = EVENT_OFFSET(Body.App.NameSource),
  APP_AT_PROCESS_ID = EVENT_OFFSET(Body.App.ProcessId),
  APP_AT_LOCAL_ADDR = EVENT_OFFSET(Body.App.LocalAddress),
  APP_AT_REMOTE_ADDR = EVENT_OFFSET(Body.App.RemoteAddress),
  APP_AT_LOCAL_PORT = EVENT_OFFSET(Body.App.LocalPort),
  APP_AT_REMOTE_PORT = EVENT_OFFSET(Body.App.RemotePort),
  APP_AT_PROTOCOL = EVENT_OFFSET(Body.App.Protocol),
  APP_AT_DRIVER_KEY = EVENT_OFFSET(Body.App.DriverKey),
  APP_AT_PATH_REF = EVENT_OFFSET(Body.App.PathRef),
};
#undef EVENT_OFFSET
static_assert(EVENT_AT_FLAGS == offsetof(_REPORT_EVENT_HEAD, Body.App.Flags), "flags in both layouts");
static_assert(SYS_AT_REMOTE_PORT + 2 <= offsetof(_REPORT_EVENT_HEAD, Body.System.Reserved2), "endpoints");

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
