// The driver link: finding the platform, opening the filter driver once, and the twelve
// control-code wrappers. Every wrapper answers RESULT_DRIVER_NOT_OPEN (5) without a request
// when the device is not open. Result codes are those of base/result.h.
#pragma once
#include <cstdint>

#include "base/bufferptr.h"
#include "base/text.h"
#include "driver/protocol.h"

// Finds the Windows family and loads the service and process-status functions.
uint32_t DetectPlatform();
// Opens the device once per run; `start` = 1 starts a stopped NT service first.
uint32_t OpenDriver(uint8_t start);
bool DriverIsOpen();
bool IsNtPlatform();

uint32_t GetTrafficStats(_RKFW_STATISTICS* stats);
uint32_t GetDriverVersion(uint32_t* version);  // high word major, low word minor
// Counting call when `rows` is null (`capacity` receives the row count); otherwise offers the
// driver room for at most `capacity` rows (and never more than it counts), copies what came
// back and sets `capacity` to the rows copied. `tcp` and `udp` receive the counts either way.
// Never throws: out of memory is 1.
uint32_t GetConnections(_RKFW_NETWORKCONNECTION* rows, uint32_t* capacity, uint32_t* tcp,
                        uint32_t* udp);
// Far beyond any real table; the most rows one request takes (11 MB), whatever is counted.
constexpr uint32_t kMostConnectionRows = 0x10000;
// The full path of a process block's program, in a 1024-byte text: "Unknown" for an empty
// name; by process id or through the driver as the block says.
uint32_t GetProcessPath(const ProcessBlock* block, _textPtr* path);
uint32_t GetFilterEnabled(uint8_t* enabled);
uint32_t SetFilterEnabled(uint32_t enabled);  // any non-zero value is sent as 1
// `image` holds a rule set image whose first dword is its length; `size` is the buffer's.
uint32_t LoadIpRuleSet(const void* image, uint32_t size);
uint32_t LoadAuditRuleSet(const void* image, uint32_t size);
// `batch` receives a fresh copy of the records (empty when there are none).
uint32_t ReadEvents(_bytePtr* batch, uint32_t* count);
uint32_t SendVerdict(const _REPORT_EVENT_HEAD* record);
uint32_t CloseConnection(uint32_t key);

// Test seams: forget the platform and the device (as at process start), and use another
// service name than "RkFw_slot" (nullptr restores it).
void ResetDriverLinkForTests();
void SetDriverServiceNameForTests(const char* name);
// Host build only: the family DetectPlatform finds (NT unless a test asks for Win9x).
void SetHostPlatformForTests(bool nt);
