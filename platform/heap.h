// Storage for the shared containers. Blocks come back zero-filled. Small ones are carved from
// 64 KiB regions by size class and reused per class once freed (a parse makes tens of
// thousands of short texts and lists, which the system heap makes one call each; the pool's
// pages stay with it for the next blocks of their class, never given back); larger ones
// are fixed blocks from the global heap on Windows, the C heap elsewhere. Sanitizer and fuzz
// builds send every block to the system, so that each one is checked on its own.
//
// One thread only: the console allocates from its window thread alone, and neither the
// pool's free lists nor the live counter are guarded.
#pragma once
#include <cstdint>

void* PlatformAlloc(uint32_t bytes);  // nullptr when out of memory
void PlatformFree(void* block);       // accepts nullptr

// Blocks handed out and not yet freed, from the pool or not: lets tests prove that ownership
// is exact.
int32_t PlatformLiveBlocks();
// The largest block the pool serves; 0 when every block goes to the system.
uint32_t PlatformPooledLargest();

// Tests: `hook` sees the size asked for by every PlatformAlloc while it is installed.
using HeapAllocHook = void (*)(void* context, uint32_t bytes);
void SetHeapAllocHookForTests(HeapAllocHook hook, void* context);
