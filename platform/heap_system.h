// What each side of platform/ gives the common heap (platform/heap.cpp).
#pragma once
#include <cstdint>

constexpr uint32_t kHeapRegionBytes = 64u << 10;

void* HeapSystemAlloc(uint32_t bytes);  // zero-filled; nullptr when out of memory
void HeapSystemFree(void* block);
// kHeapRegionBytes, zero-filled, aligned to its size and never given back; nullptr when none.
void* HeapSystemRegion();
