// Little-endian fields and network byte order, and bounds-checked readers and writers for
// bytes that come from files or the driver.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

inline uint16_t LoadLe16(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint32_t LoadLe32(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}
inline uint64_t LoadLe64(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return LoadLe32(b) | (static_cast<uint64_t>(LoadLe32(b + 4)) << 32);
}
inline void StoreLe16(void* p, uint16_t v) {
  auto* b = static_cast<uint8_t*>(p);
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLe32(void* p, uint32_t v) {
  auto* b = static_cast<uint8_t*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreLe64(void* p, uint64_t v) {
  StoreLe32(p, static_cast<uint32_t>(v));
  StoreLe32(static_cast<uint8_t*>(p) + 4, static_cast<uint32_t>(v >> 32));
}

inline uint16_t Swap16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
inline uint32_t Swap32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
// The machine is little-endian (i386), so network order is a swap.
inline uint16_t NetToHost16(uint16_t v) { return Swap16(v); }
inline uint16_t HostToNet16(uint16_t v) { return Swap16(v); }
inline uint32_t NetToHost32(uint32_t v) { return Swap32(v); }
inline uint32_t HostToNet32(uint32_t v) { return Swap32(v); }

// True when [offset, offset + length) lies inside a buffer of `size` bytes; never wraps.
inline bool RangeInside(uint32_t offset, uint32_t length, uint32_t size) {
  return length <= size && offset <= size - length;
}

// Reads fields in order from a buffer of known size. A read past the end returns zeros and
// clears ok() for good, so a parser checks once at the end.
class CByteReader {
 public:
  CByteReader(const void* data, uint32_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}

  bool ok() const { return ok_; }
  uint32_t offset() const { return offset_; }
  uint32_t size() const { return size_; }
  uint32_t remaining() const { return size_ - offset_; }

  uint8_t U8() { return Take(1) ? data_[offset_ - 1] : 0; }
  uint16_t U16() { return Take(2) ? LoadLe16(data_ + offset_ - 2) : 0; }
  uint32_t U32() { return Take(4) ? LoadLe32(data_ + offset_ - 4) : 0; }
  uint64_t U64() { return Take(8) ? LoadLe64(data_ + offset_ - 8) : 0; }
  bool Bytes(void* out, uint32_t n) {
    if (!Take(n)) {
      memset(out, 0, n);
      return false;
    }
    memcpy(out, data_ + offset_ - n, n);
    return true;
  }
  bool Skip(uint32_t n) { return Take(n); }
  bool Seek(uint32_t offset) {
    if (!ok_ || offset > size_) return ok_ = false;
    offset_ = offset;
    return true;
  }

 private:
  bool Take(uint32_t n) {
    if (!ok_ || n > size_ - offset_) return ok_ = false;
    offset_ += n;
    return true;
  }
  const uint8_t* data_;
  uint32_t size_;
  uint32_t offset_ = 0;
  bool ok_ = true;
};

// Writes fields in order into a buffer of known size, with the same sticky ok().
class CByteWriter {
 public:
  CByteWriter(void* data, uint32_t size) : data_(static_cast<uint8_t*>(data)), size_(data ? size : 0) {}

  bool ok() const { return ok_; }
  uint32_t offset() const { return offset_; }

  void U8(uint8_t v) {
    if (Take(1)) data_[offset_ - 1] = v;
  }
  void U16(uint16_t v) {
    if (Take(2)) StoreLe16(data_ + offset_ - 2, v);
  }
  void U32(uint32_t v) {
    if (Take(4)) StoreLe32(data_ + offset_ - 4, v);
  }
  void U64(uint64_t v) {
    if (Take(8)) StoreLe64(data_ + offset_ - 8, v);
  }
  void Bytes(const void* p, uint32_t n) {
    if (n != 0 && Take(n)) memcpy(data_ + offset_ - n, p, n);
  }
  void Zeros(uint32_t n) {
    if (n != 0 && Take(n)) memset(data_ + offset_ - n, 0, n);
  }

 private:
  bool Take(uint32_t n) {
    if (!ok_ || n > size_ - offset_) return ok_ = false;
    offset_ += n;
    return true;
  }
  uint8_t* data_;
  uint32_t size_;
  uint32_t offset_ = 0;
  bool ok_ = true;
};
