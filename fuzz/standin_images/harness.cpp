// The stand-in's image checks on arbitrary bytes. Byte 0 picks the image kind (bit 0: audit)
// and whether the leading size dword is made to match (bit 1), so that the search reaches past
// the first check. An accepted image must be kept byte for byte and must decode: the decoder
// follows every count and offset without checks of its own, so ASan catches a check that lets
// a bad reference through.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

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
  return 0;
}
