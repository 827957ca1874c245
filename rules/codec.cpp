#include "rules/codec.h"

#include <new>

#include "platform/heap.h"
#include "rules/matchvalue.h"

char* MakeHeapText(const uint8_t* data, uint32_t length) {
  if (length == UINT32_MAX) throw std::bad_alloc();
  auto* text = static_cast<char*>(PlatformAlloc(length + 1));
  if (text == nullptr) throw std::bad_alloc();
  if (length != 0) memcpy(text, data, length);
  text[length] = 0;
  return text;
}

char* CopyHeapText(const char* text) {
  if (text == nullptr) return nullptr;
  return MakeHeapText(reinterpret_cast<const uint8_t*>(text), HeapTextLength(text));
}

CExtraReader::CExtraReader(const uint8_t* body, uint32_t bodySize, uint32_t offset, uint32_t size) {
  if (body == nullptr || !RangeInside(offset, size, bodySize)) return;
  area_ = body + offset;
  size_ = size;
  budget_ = size;
  ok_ = true;
}

bool CExtraReader::TakeText(uint32_t offset, void* out) {
  if (offset >= size_) return false;
  // The search for the zero goes no further than the budget, so shared texts cost no time either.
  uint32_t reach = size_ - offset < budget_ ? size_ - offset : budget_;
  const void* end = memchr(area_ + offset, 0, reach);
  if (end == nullptr) return false;
  uint32_t length = static_cast<uint32_t>(static_cast<const uint8_t*>(end) - (area_ + offset));
  if (!Charge(length + 1)) return false;
  char* text = MakeHeapText(area_ + offset, length);
  memcpy(out, &text, sizeof text);
  return true;
}
