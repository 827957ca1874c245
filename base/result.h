// Result codes of the driver wrappers and the rule store: 0 is success, callers test for zero.
#pragma once
#include <cstdint>

static_assert(sizeof(void*) == 4, "records shared with the driver and the files hold 32-bit pointers");

enum : uint32_t {
  RESULT_OK = 0,
  RESULT_FAILED = 1,                  // short answer, bad or short file, checksum, refused
  RESULT_UNSUPPORTED_PLATFORM = 3,
  RESULT_SERVICE_LIBRARY_MISSING = 4,
  RESULT_DRIVER_NOT_OPEN = 5,         // driver not detected or not open
  RESULT_DEVICE_OPEN_FAILED = 6,
  RESULT_SERVICE_NOT_RUNNING = 7,
  RESULT_SERVICE_NOT_ACCESSIBLE = 8,
  RESULT_SERVICE_NOT_INSTALLED = 9,
  RESULT_FILE_OPEN_FAILED = 10,
  RESULT_IP_RULE_NOT_FOUND = 11,
  RESULT_AUDIT_RULE_NOT_FOUND = 12,
  RESULT_NO_AUTO_VERDICT = 13,
};
