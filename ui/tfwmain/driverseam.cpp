#include "ui/tfwmain/driverseam.h"

#include "driver/rkfw.h"

namespace {
uint32_t ReadBatch(_bytePtr& batch, uint32_t* count) { return ReadEvents(batch, count); }
_textPtr PathOf(const void* record) {
  return GetProcessPath(reinterpret_cast<const uint8_t*>(record) + 36);
}
const CMainDriver kWrappers = {DetectPlatform, OpenDriver, GetFilterEnabled, SetFilterEnabled,
                               ReadBatch, PathOf};
const CMainDriver* g_driver = &kWrappers;
}  // namespace

const CMainDriver& MainDriver() { return *g_driver; }
void SetMainDriver(const CMainDriver* driver) { g_driver = driver ? driver : &kWrappers; }
