#include "driver/port.h"

#include "driver/rkfw.h"

namespace {
class CRkfwPort final : public CDriverPort {
 public:
  uint32_t DetectPlatform() override { return ::DetectPlatform(); }
  uint32_t OpenDriver(uint8_t start) override { return ::OpenDriver(start); }
  bool IsOpen() override { return DriverIsOpen(); }
  uint32_t GetTrafficStats(_RKFW_STATISTICS* stats) override { return ::GetTrafficStats(stats); }
  uint32_t GetDriverVersion(uint32_t* version) override { return ::GetDriverVersion(version); }
  uint32_t GetConnections(_RKFW_NETWORKCONNECTION* rows, uint32_t* capacity, uint32_t* tcp,
                          uint32_t* udp) override {
    return ::GetConnections(rows, capacity, tcp, udp);
  }
  uint32_t GetProcessPath(const ProcessBlock* block, _textPtr* path) override {
    return ::GetProcessPath(block, path);
  }
  uint32_t GetFilterEnabled(uint8_t* enabled) override { return ::GetFilterEnabled(enabled); }
  uint32_t SetFilterEnabled(uint32_t enabled) override { return ::SetFilterEnabled(enabled); }
  uint32_t LoadIpRuleSet(const void* image, uint32_t size) override { return ::LoadIpRuleSet(image, size); }
  uint32_t LoadAuditRuleSet(const void* image, uint32_t size) override {
    return ::LoadAuditRuleSet(image, size);
  }
  uint32_t ReadEvents(_bytePtr* batch, uint32_t* count) override { return ::ReadEvents(batch, count); }
  uint32_t SendVerdict(const _REPORT_EVENT_HEAD* record) override { return ::SendVerdict(record); }
  uint32_t CloseConnection(uint32_t key) override { return ::CloseConnection(key); }
};
}  // namespace

CDriverPort& RkfwPort() {
  static CRkfwPort port;
  return port;
}
