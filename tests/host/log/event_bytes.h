// Event records for tests, built byte by byte at the driver's offsets.
#pragma once
#include <cstdint>
#include <cstring>

#include "log/eventrecord.h"

inline uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return a | (b << 8) | (c << 16) | (d << 24);
}

// 2002-07-05 09:03:07 as a file time.
constexpr uint64_t kSampleTime = 126703333870000000ULL;

class CEventBytes {
 public:
  explicit CEventBytes(uint32_t kind = 0) {
    memset(bytes_, 0, sizeof bytes_);
    Set64(EVENT_AT_TIME, kSampleTime);
    Set32(EVENT_AT_KIND, kind);
  }
  CEventBytes& Set32(uint32_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    return *this;
  }
  CEventBytes& Set64(uint32_t at, uint64_t v) {
    Set32(at, static_cast<uint32_t>(v));
    return Set32(at + 4, static_cast<uint32_t>(v >> 32));
  }
  // A port in host order, stored in network order (high byte first).
  CEventBytes& Port(uint32_t at, uint16_t port) {
    bytes_[at] = static_cast<uint8_t>(port >> 8);
    bytes_[at + 1] = static_cast<uint8_t>(port);
    return *this;
  }
  CEventBytes& Text(uint32_t at, const char* text, uint32_t n) {
    memcpy(bytes_ + at, text, n);
    return *this;
  }
  CEventBytes& Name(const char* name) { return Text(APP_AT_PROCESS_NAME, name, strlen(name) + 1); }

  _REPORT_EVENT_HEAD& Record() { return *reinterpret_cast<_REPORT_EVENT_HEAD*>(bytes_); }
  const uint8_t* Bytes() const { return bytes_; }
  uint8_t* Bytes() { return bytes_; }

 private:
  alignas(8) uint8_t bytes_[kEventRecordSize];
};
