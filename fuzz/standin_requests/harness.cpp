// Sequences of arbitrary requests against one stand-in state: no request may read past its
// input, write past its output or report more bytes than it wrote. Each request is: a code
// selector byte, input size (2 bytes), output size (2 bytes), a mode byte (bit 0: input and
// output share one buffer, as in the kernel), then the input bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "standin/core/standin.h"

namespace {
const uint32_t kCodes[] = {
    IOCTL_RKFW_GET_TRAFFIC_STATS,  IOCTL_RKFW_GET_VERSION,        IOCTL_RKFW_GET_CONNECTION_COUNTS,
    IOCTL_RKFW_GET_CONNECTIONS,    IOCTL_RKFW_GET_PROCESS_PATH,   IOCTL_RKFW_GET_ENABLED,
    IOCTL_RKFW_SET_ENABLED,        IOCTL_RKFW_LOAD_IP_RULES,      IOCTL_RKFW_LOAD_AUDIT_RULES,
    IOCTL_RKFW_READ_EVENTS,        IOCTL_RKFW_SEND_VERDICT,       IOCTL_RKFW_CLOSE_CONNECTION,
    IOCTL_STANDIN_RESET,           IOCTL_STANDIN_INJECT_EVENT,    IOCTL_STANDIN_ADD_CONNECTION,
    IOCTL_STANDIN_REMOVE_CONNECTION, IOCTL_STANDIN_ADD_TRAFFIC,   IOCTL_STANDIN_SET_PATH,
    IOCTL_STANDIN_GET_IP_IMAGE,    IOCTL_STANDIN_GET_AUDIT_IMAGE, IOCTL_STANDIN_GET_STATUS,
    IOCTL_STANDIN_GET_VERDICTS,    IOCTL_STANDIN_SET_FAULT,       IOCTL_STANDIN_SET_VERSION,
    IOCTL_STANDIN_PACKET,          IOCTL_STANDIN_PACKET_RESULT};
constexpr size_t kCodeCount = sizeof(kCodes) / sizeof(kCodes[0]);
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RKFW_STATE* state = new RKFW_STATE;
  RkfwInit(state);
  size_t at = 0;
  while (size - at >= 6) {
    uint8_t selector = data[at];
    uint32_t code = selector < kCodeCount ? kCodes[selector] : RKFW_CTL_CODE(0x800 + selector);
    uint32_t inSize = data[at + 1] | (data[at + 2] << 8);
    uint32_t outSize = data[at + 3] | (data[at + 4] << 8);
    bool shared = data[at + 5] & 1;
    at += 6;
    if (inSize > size - at) inSize = static_cast<uint32_t>(size - at);
    uint32_t returned = 0xFFFFFFFFu;
    if (shared) {
      std::vector<uint8_t> buffer(inSize > outSize ? inSize : outSize);
      if (inSize) memcpy(buffer.data(), data + at, inSize);
      RkfwDeviceControl(state, code, buffer.empty() ? nullptr : buffer.data(), inSize,
                        buffer.empty() ? nullptr : buffer.data(), outSize, &returned);
    } else {
      std::vector<uint8_t> in(data + at, data + at + inSize);
      std::vector<uint8_t> out(outSize);
      RkfwDeviceControl(state, code, in.empty() ? nullptr : in.data(), inSize,
                        out.empty() ? nullptr : out.data(), outSize, &returned);
    }
    if (returned > outSize) abort();
    at += inSize;
  }
  return 0;
}
