// The driver requests of the main window, behind one seam so that window tests can run
// without the driver. By default they go to the driver wrappers.
#pragma once
#include <cstdint>

#include "base/bufferptr.h"
#include "base/text.h"

struct CMainDriver {
  uint32_t (*DetectPlatform)();
  uint32_t (*OpenDriver)(uint8_t start);
  uint32_t (*GetFilterEnabled)(uint8_t* enabled);
  uint32_t (*SetFilterEnabled)(uint8_t enabled);
  // One batch of 220-byte records; 0 with `count` records (possibly none).
  uint32_t (*ReadEvents)(_bytePtr& batch, uint32_t* count);
  // The full path of the process of a 220-byte event record.
  _textPtr (*ProcessPath)(const void* record);
};

const CMainDriver& MainDriver();
// Tests: use `driver` instead of the wrappers (nullptr restores them).
void SetMainDriver(const CMainDriver* driver);
