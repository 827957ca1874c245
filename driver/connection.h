// What the portable wrappers need from the side that knows the system (Win32 or host).
#pragma once
#include <cstdint>

#include "platform/device.h"

struct CDriverConnection {
  bool detected = false;
  bool nt = false;
  DeviceHandle* handleCell = nullptr;  // absent until the first OpenDriver
};
CDriverConnection& DriverConnection();

// Per side. Detect fills `nt` and loads what the platform needs; the branches open the device.
uint32_t DetectPlatformOnSystem(bool* nt);
uint32_t OpenDriverNt(uint8_t start, const char* serviceName, DeviceHandle* cell);
uint32_t OpenDriverWin9x(DeviceHandle* cell);
// The first ".exe" module path of a process (or its last module), in `path` of `size` bytes.
bool ProcessPathById(uint32_t processId, char* path, uint32_t size);
void ResetSystemForTests();
