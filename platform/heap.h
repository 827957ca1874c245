// Storage for the shared containers: fixed blocks from the global heap on Windows,
// the C heap elsewhere. Blocks come back zero-filled.
#pragma once
#include <cstdint>

void* PlatformAlloc(uint32_t bytes);  // nullptr when out of memory
void PlatformFree(void* block);       // accepts nullptr

// Blocks handed out and not yet freed: lets tests prove that ownership is exact.
int32_t PlatformLiveBlocks();

// Tests: `hook` sees the size asked for by every PlatformAlloc while it is installed.
using HeapAllocHook = void (*)(void* context, uint32_t bytes);
void SetHeapAllocHookForTests(HeapAllocHook hook, void* context);
