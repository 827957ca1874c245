// _bufferPtr<T>: a shared, reference-counted heap buffer without copy-on-write: every holder
// sees the same data. _bytePtr is its byte form; texts travel as _bufferPtr<char>.
#pragma once
#include <cstdint>
#include <new>
#include <type_traits>

#include "platform/heap.h"

template <class T>
class _bufferPtr {
  static_assert(std::is_trivially_copyable<T>::value, "_bufferPtr holds plain data");

 public:
  _bufferPtr() = default;
  // A fresh zero-filled buffer of `length` elements with its counter at 1.
  // Throws std::bad_alloc when out of memory.
  explicit _bufferPtr(uint32_t length) { Allocate(length); }
  ~_bufferPtr() { Release(); }

  _bufferPtr(const _bufferPtr& other) : counter_(other.counter_), data_(other.data_), length_(other.length_) {
    if (counter_ != nullptr) ++*counter_;
  }
  _bufferPtr& operator=(const _bufferPtr& other) {
    if (this != &other) {
      if (other.counter_ != nullptr) ++*other.counter_;  // before releasing: `other` may be ours
      Release();
      counter_ = other.counter_;
      data_ = other.data_;
      length_ = other.length_;
    }
    return *this;
  }
  _bufferPtr(_bufferPtr&& other) noexcept : counter_(other.counter_), data_(other.data_), length_(other.length_) {
    other.counter_ = nullptr;
    other.data_ = nullptr;
    other.length_ = 0;
  }
  _bufferPtr& operator=(_bufferPtr&& other) noexcept {
    if (this != &other) {
      Release();
      counter_ = other.counter_;
      data_ = other.data_;
      length_ = other.length_;
      other.counter_ = nullptr;
      other.data_ = nullptr;
      other.length_ = 0;
    }
    return *this;
  }

  // Releases the old buffer first, then holds a fresh one.
  void Reset(uint32_t length) {
    Release();
    Allocate(length);
  }

  // Drops this holder's share; the last holder frees counter and data.
  void Release() {
    if (counter_ != nullptr && --*counter_ == 0) {
      PlatformFree(data_);
      PlatformFree(counter_);
    }
    counter_ = nullptr;
    data_ = nullptr;
    length_ = 0;
  }

  T* Data() const { return data_; }
  uint32_t Length() const { return length_; }
  uint32_t RefCount() const { return counter_ ? *counter_ : 0; }
  bool Valid() const { return data_ != nullptr; }
  T& operator[](uint32_t i) const { return data_[i]; }

 private:
  void Allocate(uint32_t length) {
    if (length > UINT32_MAX / sizeof(T)) throw std::bad_alloc();
    auto* counter = static_cast<uint32_t*>(PlatformAlloc(sizeof(uint32_t)));
    T* data = static_cast<T*>(PlatformAlloc(static_cast<uint32_t>(sizeof(T) * length)));
    if (counter == nullptr || data == nullptr) {
      PlatformFree(counter);
      PlatformFree(data);
      throw std::bad_alloc();
    }
    *counter = 1;
    counter_ = counter;
    data_ = data;
    length_ = length;
  }

  // Field order is part of the record: counter, data, length.
  uint32_t* counter_ = nullptr;
  T* data_ = nullptr;
  uint32_t length_ = 0;
};

using _bytePtr = _bufferPtr<uint8_t>;
static_assert(sizeof(_bytePtr) == 12, "counter, data, length");
