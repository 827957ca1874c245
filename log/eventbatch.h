// An event batch as the driver answers it: a dword with the byte length N of the records that
// follow, then N / 220 records (bytes beyond the last whole record are not a record).
#pragma once
#include <cstdint>

#include "log/eventrecord.h"

// Finds the records of the batch in `data` (`size` bytes). 0 with `records` pointing at the
// first record and `count` set (0 records is a valid batch); 1 when `size` cannot hold the
// length dword or the records it announces (nothing is set then).
uint32_t SplitEventBatch(const uint8_t* data, uint32_t size, const uint8_t** records, uint32_t* count);
// The record at `index` of the records SplitEventBatch found.
inline const _REPORT_EVENT_HEAD& EventRecordAt(const uint8_t* records, uint32_t index) {
  return *reinterpret_cast<const _REPORT_EVENT_HEAD*>(records + index * kEventRecordSize);
}
