// The driver's image of an IP rule set (the input of its IP rule load request).
#pragma once
#include <cstdint>

#include "base/array.h"
#include "base/bufferptr.h"
#include "base/bytebuffer.h"
#include "rules/records.h"

// Builds the image in one allocation: 0; 1 (and no image) when a record is in serialised form.
// Throws std::bad_alloc when out of memory.
uint32_t BuildIpRuleImage(const _Array<_RKFW_RULE>& rules, _bytePtr& image);
// The same bytes into a block the caller keeps between builds (nothing in it on failure).
uint32_t BuildIpRuleImage(const _Array<_RKFW_RULE>& rules, CByteBuffer& image);
