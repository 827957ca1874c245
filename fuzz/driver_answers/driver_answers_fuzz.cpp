// The console's readers of driver answers (event batch, connection table, process path) fed
// with arbitrary answers: first byte picks the request, the rest is what the device writes,
// with a claimed byte count taken from the next four bytes.
#include <cstdint>
#include <cstring>

#include "base/bytes.h"
#include "driver/rkfw.h"
#include "platform/device.h"

namespace {
const uint8_t* g_data;
size_t g_size;
uint32_t g_claim;

bool Open(const char*) { return true; }
bool Control(uint32_t code, const void*, uint32_t, void* out, uint32_t outSize, uint32_t* returned) {
  if (code == IOCTL_RKFW_GET_CONNECTION_COUNTS) {  // a row count from the input too
    uint8_t counts[12] = {};
    StoreLe32(counts, g_claim % 64);
    memcpy(out, counts, outSize < 12 ? outSize : 12);
    *returned = 12;
    return true;
  }
  uint32_t n = g_size < outSize ? static_cast<uint32_t>(g_size) : outSize;
  if (n) memcpy(out, g_data, n);
  *returned = g_claim;
  return true;
}
const CHostDeviceBackend kBackend = {Open, Control};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  static bool opened = [] {
    SetHostDeviceBackend(&kBackend);
    DetectPlatform();
    OpenDriver(1);
    return true;
  }();
  (void)opened;
  uint8_t which = data[0];
  g_claim = LoadLe32(data + 1);
  g_data = data + 5;
  g_size = size - 5;
  switch (which % 3) {
    case 0: {
      _bytePtr batch;
      uint32_t count = 0;
      ReadEvents(&batch, &count);
      if (count * RKFW_EVENT_SIZE != batch.Length()) __builtin_trap();
      for (uint32_t i = 0; i < batch.Length(); ++i) (void)batch[i];
      break;
    }
    case 1: {
      _RKFW_NETWORKCONNECTION rows[8];
      uint32_t capacity = which / 3 % 9, tcp, udp;
      GetConnections(rows, &capacity, &tcp, &udp);
      break;
    }
    default: {
      ProcessBlock block = {};
      memset(block.Name, 'x', sizeof block.Name);
      _textPtr path;
      GetProcessPath(&block, &path);
      if (strlen(path.Data()) >= path.Length()) __builtin_trap();
      break;
    }
  }
  return 0;
}
