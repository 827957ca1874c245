// The one way from the console to the filter driver: the requests the console makes, as an
// interface. RkfwPort() sends them through the control-code wrappers of driver/rkfw.h; tests
// and benchmarks hand the console a fake instead. The main window takes its port when it is
// made and passes it down to the rule store, the event poll and its pages.
#pragma once
#include <cstdint>

#include "base/bufferptr.h"
#include "base/result.h"
#include "base/text.h"
#include "driver/protocol.h"

class CDriverPort {
 public:
  // Results and buffers as the wrappers of the same names in driver/rkfw.h.
  virtual uint32_t DetectPlatform() = 0;
  virtual uint32_t OpenDriver(uint8_t start) = 0;
  virtual bool IsOpen() = 0;
  virtual uint32_t GetTrafficStats(_RKFW_STATISTICS* stats) = 0;
  virtual uint32_t GetDriverVersion(uint32_t* version) = 0;
  virtual uint32_t GetConnections(_RKFW_NETWORKCONNECTION* rows, uint32_t* capacity, uint32_t* tcp,
                                  uint32_t* udp) = 0;
  virtual uint32_t GetProcessPath(const ProcessBlock* block, _textPtr* path) = 0;
  virtual uint32_t GetFilterEnabled(uint8_t* enabled) = 0;
  virtual uint32_t SetFilterEnabled(uint32_t enabled) = 0;
  virtual uint32_t LoadIpRuleSet(const void* image, uint32_t size) = 0;
  virtual uint32_t LoadAuditRuleSet(const void* image, uint32_t size) = 0;
  virtual uint32_t ReadEvents(_bytePtr* batch, uint32_t* count) = 0;
  virtual uint32_t SendVerdict(const _REPORT_EVENT_HEAD* record) = 0;
  virtual uint32_t CloseConnection(uint32_t key) = 0;

 protected:
  ~CDriverPort() = default;
};

// The port to the real driver (one per process).
CDriverPort& RkfwPort();

// A port to a driver that is not there: every request answers RESULT_DRIVER_NOT_OPEN. Fakes
// derive from it and answer the requests they are about.
class CAbsentDriverPort : public CDriverPort {
 public:
  uint32_t DetectPlatform() override { return RESULT_DRIVER_NOT_OPEN; }
  uint32_t OpenDriver(uint8_t) override { return RESULT_DRIVER_NOT_OPEN; }
  bool IsOpen() override { return false; }
  uint32_t GetTrafficStats(_RKFW_STATISTICS*) override { return RESULT_DRIVER_NOT_OPEN; }
  uint32_t GetDriverVersion(uint32_t*) override { return RESULT_DRIVER_NOT_OPEN; }
  uint32_t GetConnections(_RKFW_NETWORKCONNECTION*, uint32_t*, uint32_t*, uint32_t*) override {
    return RESULT_DRIVER_NOT_OPEN;
  }
  uint32_t GetProcessPath(const ProcessBlock*, _textPtr*) override { return RESULT_DRIVER_NOT_OPEN; }
  uint32_t GetFilterEnabled(uint8_t*) override { return RESULT_DRIVER_NOT_OPEN; }
  uint32_t SetFilterEnabled(uint32_t) override { return RESULT_DRIVER_NOT_OPEN; }
  uint32_t LoadIpRuleSet(const void*, uint32_t) override { return RESULT_DRIVER_NOT_OPEN; }
  uint32_t LoadAuditRuleSet(const void*, uint32_t) override { return RESULT_DRIVER_NOT_OPEN; }
  uint32_t ReadEvents(_bytePtr*, uint32_t*) override { return RESULT_DRIVER_NOT_OPEN; }
  uint32_t SendVerdict(const _REPORT_EVENT_HEAD*) override { return RESULT_DRIVER_NOT_OPEN; }
  uint32_t CloseConnection(uint32_t) override { return RESULT_DRIVER_NOT_OPEN; }

 protected:
  ~CAbsentDriverPort() = default;
};
