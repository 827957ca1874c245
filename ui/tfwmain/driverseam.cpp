#include "ui/tfwmain/driverseam.h"

#include "dispatch/dispatch.h"
#include "driver/rkfw.h"

namespace {
uint32_t SetEnabled(uint8_t enabled) { return SetFilterEnabled(enabled); }
uint32_t ReadBatch(_bytePtr& batch, uint32_t* count) { return ReadEvents(&batch, count); }
_textPtr PathOf(const void* record) {
  static CDriverProcessPaths paths;
  return paths.ProcessPath(*static_cast<const _REPORT_EVENT_HEAD*>(record));
}
const CMainDriver kWrappers = {DetectPlatform, OpenDriver, GetFilterEnabled, SetEnabled,
                               ReadBatch, PathOf};
const CMainDriver* g_driver = &kWrappers;
}  // namespace

const CMainDriver& MainDriver() { return *g_driver; }
void SetMainDriver(const CMainDriver* driver) { g_driver = driver ? driver : &kWrappers; }
