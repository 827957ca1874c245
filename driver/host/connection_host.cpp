// Host side of the driver link: the NT family without a service manager; the device is the
// in-process stand-in reached through platform/device.h.
#include "base/result.h"
#include "driver/connection.h"
#include "driver/protocol.h"
#include "driver/rkfw.h"
#include "platform/machine.h"

// The family is the platform's, which the event times follow too.
void SetHostPlatformForTests(bool nt) { SetHostWin9xForTests(!nt); }

uint32_t DetectPlatformOnSystem(bool* nt) {
  *nt = !RunsWin9x();
  return RESULT_OK;
}

uint32_t OpenDriverNt(uint8_t, const char*, DeviceHandle* cell) {
  *cell = DeviceOpen(RKFW_NT_DEVICE_NAME, kDeviceRead | kDeviceWrite, kDeviceShareRead, 0);
  return *cell == kInvalidDevice ? RESULT_DEVICE_OPEN_FAILED : RESULT_OK;
}

uint32_t OpenDriverWin9x(DeviceHandle* cell) {
  *cell = DeviceOpen(RKFW_9X_DEVICE_NAME, kDeviceRead, kDeviceShareRead, kDeviceDeleteOnClose);
  return *cell == kInvalidDevice ? RESULT_DEVICE_OPEN_FAILED : RESULT_OK;
}

bool ProcessPathById(uint32_t, char*, uint32_t) { return false; }
void ResetSystemForTests() {}
