// Stands in for the driver wrappers while they are not part of the build: the driver is
// never open (5), so start-up reports the failed firewall component.
#include "ui/tfwmain/driverseam.h"

namespace {
uint32_t NotOpen() { return 5; }
uint32_t NotOpen1(uint8_t) { return 5; }
uint32_t NotOpenGet(uint8_t*) { return 5; }
uint32_t NoEvents(_bytePtr&, uint32_t* count) {
  *count = 0;
  return 5;
}
_textPtr NoPath(const void*) { return _textPtr(); }
const CMainDriver kNone = {NotOpen, NotOpen1, NotOpenGet, NotOpen1, NoEvents, NoPath};
const CMainDriver* g_driver = &kNone;
}  // namespace

const CMainDriver& MainDriver() { return *g_driver; }
void SetMainDriver(const CMainDriver* driver) { g_driver = driver ? driver : &kNone; }
