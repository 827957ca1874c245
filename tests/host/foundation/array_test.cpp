#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/array.h"

namespace {

struct Record {  // odd size, like the packed records the arrays hold
  uint8_t bytes[9];
};

Record Make(uint8_t v) {
  Record r;
  memset(r.bytes, v, sizeof r.bytes);
  return r;
}

std::vector<int> Values(const _Array<Record>& a) {
  std::vector<int> out;
  for (const Record& r : a) out.push_back(r.bytes[0]);
  return out;
}

class ArrayGrowth : public ::testing::TestWithParam<int32_t> {};

TEST_P(ArrayGrowth, GrowsByStepAndZeroFillsNewCapacity) {
  int32_t step = GetParam();
  int32_t effective = step > 0 ? step : 1;
  _Array<Record> a(step);
  EXPECT_EQ(a.Capacity, 0);
  for (int i = 0; i < 3 * effective + 1; ++i) {
    a.Append(Make(static_cast<uint8_t>(i + 1)));
    int32_t expected = ((i / effective) + 1) * effective;
    ASSERT_EQ(a.Capacity, expected) << "after " << i + 1 << " appends";
    ASSERT_EQ(a.Count, i + 1);
    // Every slot past the count is zero: new capacity comes zero-filled.
    for (int32_t k = a.Count; k < a.Capacity; ++k)
      for (uint8_t b : a.Items[k].bytes) ASSERT_EQ(b, 0);
  }
  for (int i = 0; i < a.Count; ++i) EXPECT_EQ(a[i].bytes[8], static_cast<uint8_t>(i + 1));
  a.Clear();
  EXPECT_EQ(a.Items, nullptr);
  EXPECT_EQ(a.Capacity, 0);
  EXPECT_EQ(a.Count, 0);
}

// The grow steps the console uses: IP rules, audit rules, pending events, windows and cards.
INSTANTIATE_TEST_SUITE_P(SystemSteps, ArrayGrowth, ::testing::Values(18, 12, 9, 512, 0, -3));

TEST(Array, FieldOrderIsGrowStepItemsCapacityCount) {
  _Array<Record> a(9);
  a.Append(Make(1));
  const auto* raw = reinterpret_cast<const uint32_t*>(&a);
  EXPECT_EQ(raw[0], 9u);
  EXPECT_EQ(raw[1], reinterpret_cast<uintptr_t>(a.Items));
  EXPECT_EQ(raw[2], 9u);
  EXPECT_EQ(raw[3], 1u);
}

TEST(Array, InsertMovesTheTailUp) {
  _Array<Record> a(2);
  a.Append(Make(2));
  a.Append(Make(4));
  EXPECT_TRUE(a.Insert(0, Make(1)));          // front, at full capacity
  EXPECT_TRUE(a.Insert(2, Make(3)));          // middle
  EXPECT_TRUE(a.Insert(a.Count, Make(5)));    // end
  EXPECT_FALSE(a.Insert(a.Count + 1, Make(9)));
  EXPECT_FALSE(a.Insert(-1, Make(9)));
  EXPECT_EQ(Values(a), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(Array, InsertOfAnItemFromItsOwnStorageSurvivesGrowth) {
  _Array<Record> a(1);
  a.Append(Make(7));
  ASSERT_EQ(a.Count, a.Capacity);
  a.Insert(0, a[0]);
  EXPECT_EQ(Values(a), (std::vector<int>{7, 7}));
}

TEST(Array, RemoveMovesTheTailDownAndIgnoresIndexesOutside) {
  _Array<Record> a(512);
  for (uint8_t v = 1; v <= 5; ++v) a.Append(Make(v));
  a.Remove(0);
  a.Remove(a.Count - 1);
  a.Remove(1);
  EXPECT_EQ(Values(a), (std::vector<int>{2, 4}));
  a.Remove(2);
  a.Remove(-1);
  a.Remove(1000);
  EXPECT_EQ(Values(a), (std::vector<int>{2, 4}));
  EXPECT_EQ(a.Capacity, 512);
  for (int32_t k = a.Count; k < a.Capacity; ++k) EXPECT_EQ(a.Items[k].bytes[0], 0);
  a.Remove(0);
  a.Remove(0);
  EXPECT_EQ(a.Count, 0);
  a.Remove(0);
  EXPECT_EQ(a.Count, 0);
}

TEST(Array, StorageComesFromThePlatformHeapAndIsFreedOnce) {
  int32_t before = PlatformLiveBlocks();
  {
    _Array<Record> a(3);
    for (uint8_t v = 0; v < 10; ++v) a.Append(Make(v));
    EXPECT_EQ(PlatformLiveBlocks(), before + 1);  // old storage freed at every growth
    _Array<Record> b(std::move(a));
    EXPECT_EQ(a.Items, nullptr);
    EXPECT_EQ(b.Count, 10);
    EXPECT_EQ(PlatformLiveBlocks(), before + 1);
  }
  EXPECT_EQ(PlatformLiveBlocks(), before);
}

}  // namespace
