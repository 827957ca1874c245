// The stand-in's image checks on arbitrary bytes. Byte 0 picks the image kind (bit 0: audit)
// and whether the leading size dword is made to match (bit 1), so that the search reaches past
// the first check. An accepted image must be kept byte for byte and must decode: the decoder
// follows every count and offset without checks of its own, so ASan catches a check that lets
// a bad reference through. So does the packet filter, which is run over every accepted image
// with packets of each protocol, of a process whose path is the first audit rule's.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/bytes.h"
#include "rules/records.h"
#include "standin/core/standin.h"
#include "standin/rkfwctl/rkfwctl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RKFW_STATE* state = new RKFW_STATE;
  if (size < 1 || size > STANDIN_MAX_IMAGE) return 0;
  const bool audit = data[0] & 1;
  std::vector<uint8_t> image(data + 1, data + size);  // exact size: any overread is reported
  const uint32_t n = static_cast<uint32_t>(image.size());
  if ((data[0] & 2) && n >= 4) memcpy(image.data(), &n, 4);
  RkfwInit(state);
  const bool valid = audit ? RkfwAuditImageValid(image.data(), n) : RkfwIpImageValid(image.data(), n);
  uint32_t returned = 0;
  int status = RkfwDeviceControl(state, audit ? IOCTL_RKFW_LOAD_AUDIT_RULES : IOCTL_RKFW_LOAD_IP_RULES,
                                 image.data(), n, nullptr, 0, &returned);
  if ((status == RKFW_STATUS_OK) != valid) abort();
  if (!valid) return 0;
  std::vector<uint8_t> back(n);
  RkfwDeviceControl(state, audit ? IOCTL_STANDIN_GET_AUDIT_IMAGE : IOCTL_STANDIN_GET_IP_IMAGE, nullptr, 0,
                    back.data(), n, &returned);
  if (returned != n || back != image) abort();
  std::string text = audit ? DescribeAuditImage(image.data(), n) : DescribeIpImage(image.data(), n);
  if (text.rfind(audit ? "audit-image malformed " : "ip-image malformed ", 0) == 0) abort();

  uint32_t on = 1;
  RkfwDeviceControl(state, IOCTL_RKFW_SET_ENABLED, &on, 4, nullptr, 0, &returned);
  if (audit && LoadLe32(image.data() + AUDIT_BODY_COUNT_AT) != 0) {
    const uint8_t* extra = image.data() + AUDIT_BODY_HEADER_SIZE + LoadLe32(image.data() + AUDIT_BODY_EXTRA_AT);
    const char* path = reinterpret_cast<const char*>(extra + LoadLe32(image.data() + AUDIT_BODY_HEADER_SIZE +
                                                                       LoadLe32(image.data() + AUDIT_BODY_RECORDS_AT) + AUDIT_BODY_RECORD_AT(AppPath)));
    std::string in("\x01\0\0\0", 4);
    in += std::string(path).substr(0, RKFW_PROCESS_PATH_SIZE - 1);
    RkfwDeviceControl(state, IOCTL_STANDIN_SET_PATH, in.data(), static_cast<uint32_t>(in.size()), nullptr, 0, &returned);
  }
  static const uint32_t kOperations[5][4] = {{1, 2, 0, 0}, {1, 2, 0, 0}, {1, 2, 0, 0}, {1, 2, 4, 8}, {1, 2, 16, 0}};
  const uint8_t* tail = image.data() + n - (n < 16 ? n : 16);  // addresses and ports that may hit
  for (uint32_t protocol = 0; protocol < 5; ++protocol)
    for (uint32_t op : kOperations[protocol]) {
      if (op == 0) continue;
      STANDIN_PACKET p;
      memset(&p, 0, sizeof p);
      p.Protocol = protocol;
      p.Operation = op;
      if (n >= 16) {
        memcpy(&p.LocalAddress, tail, 4);
        memcpy(&p.RemoteAddress, tail + 4, 4);
        memcpy(&p.LocalPort, tail + 8, 2);
        memcpy(&p.RemotePort, tail + 10, 2);
        p.IcmpType = tail[12];
        p.IcmpCode = tail[13];
      }
      p.Flags = STANDIN_PACKET_OF_PROCESS;
      p.DriverKey = 1;
      memcpy(p.ProcessName, "a.exe", 5);
      STANDIN_PACKET_RESULT r;
      if (!RkfwFilterPacket(state, &p, &r) || r.Verdict > STANDIN_PACKET_HELD) abort();
    }
  return 0;
}
