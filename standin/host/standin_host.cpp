#include "standin/host/standin_host.h"

#include <cstring>
#include <mutex>

#include "platform/device.h"

namespace {

RKFW_STATE g_state;
// One request at a time, as the kernel shell's spin lock keeps them (a test may answer a held
// packet from a second thread while rkfwctl polls for it).
std::mutex g_lock;
bool g_serveNt = true;
bool g_serveVxd = true;
uint32_t g_requests = 0;
uint32_t g_lastCode = 0;

bool Open(const char* name) {
  if (name == nullptr) return false;
  return (g_serveNt && strcmp(name, RKFW_NT_DEVICE_NAME) == 0) ||
         (g_serveVxd && strcmp(name, RKFW_9X_DEVICE_NAME) == 0);
}

bool Control(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
             uint32_t* returned) {
  std::lock_guard<std::mutex> hold(g_lock);
  ++g_requests;
  g_lastCode = code;
  uint32_t written = 0;
  int status = RkfwDeviceControl(&g_state, code, in, inSize, out, outSize, &written);
  if (returned != nullptr) *returned = written;
  return status == RKFW_STATUS_OK;
}

const CHostDeviceBackend kBackend = {Open, Control};

}  // namespace

void StandinHostInstall() {
  RkfwInit(&g_state);
  g_serveNt = g_serveVxd = true;
  g_requests = 0;
  g_lastCode = 0;
  SetHostDeviceBackend(&kBackend);
}

void StandinHostRemove() { SetHostDeviceBackend(nullptr); }

RKFW_STATE* StandinHostState() { return &g_state; }

void StandinHostServeNames(bool nt, bool vxd) {
  g_serveNt = nt;
  g_serveVxd = vxd;
}

uint32_t StandinHostRequestCount() { return g_requests; }
uint32_t StandinHostLastCode() { return g_lastCode; }

int StandinHostControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                       uint32_t* returned) {
  std::lock_guard<std::mutex> hold(g_lock);
  uint32_t written = 0;
  int status = RkfwDeviceControl(&g_state, code, in, inSize, out, outSize, &written);
  if (returned != nullptr) *returned = written;
  return status;
}
