// CByteBuffer: a block kept from one build of a body or an image to the next. A new block of a
// megabyte comes as fresh pages that the system zeroes on first touch, which costs far more
// than writing the bytes; a kept block is written over in place. Nothing is cleared between
// uses, so a writer sets every byte of the size it prepares.
#pragma once
#include <cstdint>
#include <new>

class CByteBuffer {
 public:
  CByteBuffer() = default;
  ~CByteBuffer() { delete[] data_; }
  CByteBuffer(const CByteBuffer&) = delete;
  CByteBuffer& operator=(const CByteBuffer&) = delete;

  // Room for `size` bytes, their old contents left as they were; the block grows with some
  // slack, so that a set growing by a rule at a time does not take a new block for each.
  // Throws std::bad_alloc (then the buffer holds nothing).
  uint8_t* Prepare(uint32_t size) {
    size_ = 0;
    if (size > capacity_) {
      uint32_t capacity = size <= UINT32_MAX - size / 4 ? size + size / 4 : size;
      delete[] data_;
      data_ = nullptr;
      capacity_ = 0;
      data_ = new uint8_t[capacity == 0 ? 1 : capacity];
      capacity_ = capacity;
    }
    size_ = size;
    return data_;
  }
  // Holds nothing, keeping the block.
  void Clear() { size_ = 0; }
  // Gives the block back.
  void Release() {
    delete[] data_;
    data_ = nullptr;
    capacity_ = size_ = 0;
  }

  const uint8_t* Data() const { return data_; }
  uint32_t Size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;  // owned
  uint32_t capacity_ = 0;
  uint32_t size_ = 0;
};
