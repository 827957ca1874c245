// _Array<T>: a growable array of plain records, copied byte for byte. It owns only its item
// storage; whatever an item owns is released by the array's user.
#pragma once
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "platform/heap.h"

template <class T>
struct _Array {
  static_assert(std::is_trivially_copyable<T>::value, "_Array holds plain records");

  // Field order is part of the record: grow step, items, capacity, count.
  int32_t GrowStep;
  T* Items;
  int32_t Capacity;
  int32_t Count;

  explicit _Array(int32_t growStep = 0) : GrowStep(growStep), Items(nullptr), Capacity(0), Count(0) {}
  ~_Array() { Clear(); }
  _Array(const _Array&) = delete;
  _Array& operator=(const _Array&) = delete;
  _Array(_Array&& other) noexcept
      : GrowStep(other.GrowStep), Items(other.Items), Capacity(other.Capacity), Count(other.Count) {
    other.Items = nullptr;
    other.Capacity = other.Count = 0;
  }
  _Array& operator=(_Array&& other) noexcept {
    if (this != &other) {
      Clear();
      GrowStep = other.GrowStep;
      Items = other.Items;
      Capacity = other.Capacity;
      Count = other.Count;
      other.Items = nullptr;
      other.Capacity = other.Count = 0;
    }
    return *this;
  }

  T& operator[](int32_t i) { return Items[i]; }
  const T& operator[](int32_t i) const { return Items[i]; }
  T* begin() { return Items; }
  T* end() { return Items + Count; }
  const T* begin() const { return Items; }
  const T* end() const { return Items + Count; }
  bool Empty() const { return Count == 0; }

  // Appends a byte copy of `item`; returns its index. Throws std::bad_alloc when out of memory.
  int32_t Append(const T& item) {
    if (Count == Capacity) Grow();
    memcpy(static_cast<void*>(&Items[Count]), &item, sizeof(T));
    return Count++;
  }

  // Inserts before `index` (0..Count), moving the tail up by one. False for an index outside.
  bool Insert(int32_t index, const T& item) {
    if (index < 0 || index > Count) return false;
    if (Count == Capacity) {
      T copy;  // `item` may live inside the storage that Grow frees
      memcpy(static_cast<void*>(&copy), &item, sizeof(T));
      Grow();
      return InsertGrown(index, copy);
    }
    return InsertGrown(index, item);
  }

  // Removes the item at `index`, moving the tail down by one; an index outside does nothing.
  void Remove(int32_t index) {
    if (index < 0 || index >= Count) return;
    memmove(static_cast<void*>(&Items[index]), &Items[index + 1],
            sizeof(T) * static_cast<uint32_t>(Count - index - 1));
    --Count;
    memset(static_cast<void*>(&Items[Count]), 0, sizeof(T));
  }

  // Makes room for `capacity` items in all, never shrinking. Throws std::bad_alloc.
  void Reserve(int32_t capacity) {
    if (capacity <= Capacity) return;
    if (capacity > INT32_MAX / static_cast<int32_t>(sizeof(T))) throw std::bad_alloc();
    T* items = static_cast<T*>(PlatformAlloc(sizeof(T) * static_cast<uint32_t>(capacity)));
    if (items == nullptr) throw std::bad_alloc();
    if (Count != 0) memcpy(static_cast<void*>(items), Items, sizeof(T) * static_cast<uint32_t>(Count));
    PlatformFree(Items);
    Items = items;
    Capacity = capacity;
  }

  // Frees the storage and zeroes capacity and count.
  void Clear() {
    PlatformFree(Items);
    Items = nullptr;
    Capacity = 0;
    Count = 0;
  }

 private:
  void Grow() {
    int32_t step = GrowStep > 0 ? GrowStep : 1;
    if (Capacity > INT32_MAX / static_cast<int32_t>(sizeof(T)) - step) throw std::bad_alloc();
    Reserve(Capacity + step);
  }
  bool InsertGrown(int32_t index, const T& item) {
    memmove(static_cast<void*>(&Items[index + 1]), &Items[index],
            sizeof(T) * static_cast<uint32_t>(Count - index));
    memcpy(static_cast<void*>(&Items[index]), &item, sizeof(T));
    ++Count;
    return true;
  }
};

static_assert(sizeof(_Array<int>) == 16, "grow step, items, capacity, count");
