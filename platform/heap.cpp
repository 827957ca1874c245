#include "platform/heap.h"

#include <cstring>

#include "platform/heap_system.h"

#if defined(VARDEEN_FUZZING) || defined(__SANITIZE_ADDRESS__)
#define VARDEEN_HEAP_UNPOOLED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARDEEN_HEAP_UNPOOLED 1
#endif
#endif

namespace {
int32_t g_liveBlocks = 0;
HeapAllocHook g_allocHook = nullptr;
void* g_allocContext = nullptr;

#ifndef VARDEEN_HEAP_UNPOOLED
// A region is split into pages as classes need them; each page serves one class, which its
// first word names, so a free finds the class from the address alone. Which regions are the
// pool's is one bit each over the 4 GiB address space (8 KiB), so a block from the system
// is never taken for a pooled one.
static_assert(sizeof(void*) == 4, "the region map covers a 32-bit address space");
constexpr uint32_t kGrain = 8;  // the size step and the alignment, as GlobalAlloc's
constexpr uint32_t kLargest = 256;
constexpr uint32_t kClasses = kLargest / kGrain;
constexpr uint32_t kPageBytes = 4096;
constexpr uint32_t kPageHead = kGrain;
constexpr uint32_t kRegionShift = 16;
static_assert(kHeapRegionBytes == 1u << kRegionShift, "region size");

struct CSizeClass {
  void* free = nullptr;  // freed blocks, linked through their first word
  uint8_t* next = nullptr;
  uint8_t* end = nullptr;  // never carved yet: [next, end) of the class's newest page
};
CSizeClass g_classes[kClasses];
uint8_t* g_pagesNext = nullptr;
uint8_t* g_pagesEnd = nullptr;
uint32_t g_regionMap[(1u << (32 - kRegionShift)) / 32];

bool InRegion(const void* block) {
  uint32_t region = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block)) >> kRegionShift;
  return (g_regionMap[region / 32] >> (region % 32) & 1u) != 0;
}

bool NewPage(CSizeClass& sizeClass, uint32_t index) {
  if (g_pagesNext == g_pagesEnd) {
    auto* region = static_cast<uint8_t*>(HeapSystemRegion());
    if (region == nullptr) return false;
    uint32_t at = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(region)) >> kRegionShift;
    g_regionMap[at / 32] |= 1u << (at % 32);
    g_pagesNext = region;
    g_pagesEnd = region + kHeapRegionBytes;
  }
  uint8_t* page = g_pagesNext;
  g_pagesNext += kPageBytes;
  memcpy(page, &index, sizeof index);
  sizeClass.next = page + kPageHead;
  sizeClass.end = page + kPageBytes;
  return true;
}

void* PoolAlloc(uint32_t bytes) {
  uint32_t index = (bytes - 1) / kGrain;
  uint32_t size = (index + 1) * kGrain;
  CSizeClass& sizeClass = g_classes[index];
  if (void* block = sizeClass.free) {
    memcpy(&sizeClass.free, block, sizeof(void*));
    // Plain stores: a library call or a string instruction costs more than the few bytes.
    auto* bytesOfBlock = static_cast<uint8_t*>(block);
    for (uint32_t i = 0; i < size; i += 8) {
      uint64_t zero = 0;
      memcpy(bytesOfBlock + i, &zero, sizeof zero);
    }
    return block;
  }
  if (static_cast<uint32_t>(sizeClass.end - sizeClass.next) < size && !NewPage(sizeClass, index)) return nullptr;
  void* block = sizeClass.next;  // never used: still zero from the system
  sizeClass.next += size;
  return block;
}

void PoolFree(void* block) {
  auto* page = reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(block) & ~uintptr_t{kPageBytes - 1});
  uint32_t index;
  memcpy(&index, page, sizeof index);
  CSizeClass& sizeClass = g_classes[index];
  memcpy(block, &sizeClass.free, sizeof(void*));
  sizeClass.free = block;
}
#endif
}  // namespace

void SetHeapAllocHookForTests(HeapAllocHook hook, void* context) {
  g_allocHook = hook;
  g_allocContext = context;
}

void* PlatformAlloc(uint32_t bytes) {
  if (g_allocHook != nullptr) g_allocHook(g_allocContext, bytes);
  if (bytes == 0) bytes = 1;
  void* block = nullptr;
#ifndef VARDEEN_HEAP_UNPOOLED
  if (bytes <= kLargest) block = PoolAlloc(bytes);
#endif
  // Also when the system has no region to spare: a block of its own may still fit.
  if (block == nullptr) block = HeapSystemAlloc(bytes);
  if (block != nullptr) ++g_liveBlocks;
  return block;
}

void PlatformFree(void* block) {
  if (block == nullptr) return;
  --g_liveBlocks;
#ifndef VARDEEN_HEAP_UNPOOLED
  if (InRegion(block)) {
    PoolFree(block);
    return;
  }
#endif
  HeapSystemFree(block);
}

int32_t PlatformLiveBlocks() { return g_liveBlocks; }

uint32_t PlatformPooledLargest() {
#ifndef VARDEEN_HEAP_UNPOOLED
  return kLargest;
#else
  return 0;
#endif
}
