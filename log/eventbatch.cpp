#include "log/eventbatch.h"

#include "base/bytes.h"
#include "base/result.h"

uint32_t SplitEventBatch(const uint8_t* data, uint32_t size, const uint8_t** records, uint32_t* count) {
  if (data == nullptr || size < 4) return RESULT_FAILED;
  uint32_t n = LoadLe32(data) / kEventRecordSize;
  if (!RangeInside(4, n * kEventRecordSize, size)) return RESULT_FAILED;
  *records = data + 4;
  *count = n;
  return RESULT_OK;
}
