#include "rules/matchvalue.h"

#include <cstring>
#include <new>

#include "platform/heap.h"

void CopyMatchValue(_MATCH_VALUE* destination, const _MATCH_VALUE* source) {
  if (destination == nullptr || source == nullptr || destination == source) return;
  if (source->Kind != MATCH_LIST) {
    memcpy(destination, source, sizeof *destination);
    return;
  }
  uint32_t count = source->Value1;
  destination->Kind = MATCH_LIST;
  destination->Value1 = count;
  destination->Value2 = 0;
  if (count == 0) return;
  if (count > UINT32_MAX / 4) throw std::bad_alloc();
  auto* elements = static_cast<uint32_t*>(PlatformAlloc(count * 4));
  if (elements == nullptr) throw std::bad_alloc();
  if (const uint32_t* from = MatchElements(*source)) memcpy(elements, from, count * 4);
  destination->Value2 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(elements));
}

void ReleaseMatchValue(_MATCH_VALUE* value) {
  if (value == nullptr) return;
  if (value->Kind == MATCH_LIST) PlatformFree(MatchElements(*value));
  memset(value, 0, sizeof *value);
}
