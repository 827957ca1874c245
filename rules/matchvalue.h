// Address and port conditions (_MATCH_VALUE): the elements a list owns, copied and released.
#pragma once
#include <cstdint>

#include "rules/records.h"

// Elements of a Kind 1 match value in memory form.
inline uint32_t* MatchElements(const _MATCH_VALUE& value) {
  return reinterpret_cast<uint32_t*>(static_cast<uintptr_t>(value.Value2));
}

// Kind 1: a new element block with a copy of the elements; other kinds: the 9 bytes.
// Throws std::bad_alloc when out of memory.
void CopyMatchValue(_MATCH_VALUE* destination, const _MATCH_VALUE* source);
// Frees a Kind 1 value's elements, then zeroes the 9 bytes.
void ReleaseMatchValue(_MATCH_VALUE* value);
