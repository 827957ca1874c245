#include <gtest/gtest.h>

#include <cstring>

#include "base/bufferptr.h"
#include "base/text.h"

namespace {

TEST(BufferPtr, FreshBufferIsZeroedAndCountsOne) {
  _bytePtr b(64);
  ASSERT_TRUE(b.Valid());
  EXPECT_EQ(b.Length(), 64u);
  EXPECT_EQ(b.RefCount(), 1u);
  for (uint32_t i = 0; i < b.Length(); ++i) EXPECT_EQ(b[i], 0);
}

TEST(BufferPtr, CopiesShareTheSameDataWithoutCopyOnWrite) {
  int32_t before = PlatformLiveBlocks();
  {
    _bufferPtr<uint32_t> a(4);
    EXPECT_EQ(PlatformLiveBlocks(), before + 2);  // counter and data, allocated apart
    _bufferPtr<uint32_t> b = a;
    _bufferPtr<uint32_t> c;
    c = b;
    EXPECT_EQ(a.RefCount(), 3u);
    EXPECT_EQ(c.Data(), a.Data());
    c[2] = 0xDEADBEEF;
    EXPECT_EQ(a[2], 0xDEADBEEFu);  // every holder sees the write
    b.Release();
    EXPECT_FALSE(b.Valid());
    EXPECT_EQ(a.RefCount(), 2u);
    EXPECT_EQ(PlatformLiveBlocks(), before + 2);
  }
  EXPECT_EQ(PlatformLiveBlocks(), before);  // the last holder freed both blocks
}

TEST(BufferPtr, AssignmentReleasesTheOldBufferFirst) {
  int32_t before = PlatformLiveBlocks();
  _bytePtr a(8), b(16);
  _bytePtr keep = a;
  a = b;
  EXPECT_EQ(keep.RefCount(), 1u);
  EXPECT_EQ(b.RefCount(), 2u);
  keep = keep;  // self-assignment keeps the buffer
  EXPECT_EQ(keep.RefCount(), 1u);
  EXPECT_EQ(keep.Length(), 8u);
  a = _bytePtr();
  EXPECT_EQ(b.RefCount(), 1u);
  keep.Release();
  b.Release();
  EXPECT_EQ(PlatformLiveBlocks(), before);
}

TEST(BufferPtr, MoveTransfersTheShareAndResetStartsAFreshOne) {
  _bytePtr a(8);
  _bytePtr shared = a;
  _bytePtr moved(std::move(a));
  EXPECT_FALSE(a.Valid());
  EXPECT_EQ(moved.RefCount(), 2u);
  moved.Reset(4);
  EXPECT_EQ(moved.RefCount(), 1u);
  EXPECT_EQ(shared.RefCount(), 1u);
  EXPECT_EQ(moved.Length(), 4u);
}

TEST(BufferPtr, FieldOrderIsCounterDataLength) {
  _bytePtr b(5);
  const auto* raw = reinterpret_cast<const uint32_t*>(&b);
  EXPECT_EQ(*reinterpret_cast<const uint32_t*>(raw[0]), 1u);
  EXPECT_EQ(raw[1], reinterpret_cast<uintptr_t>(b.Data()));
  EXPECT_EQ(raw[2], 5u);
}

TEST(TextBuffers, HaveTheFixedSizes) {
  _textPtr value = MakeText(kValueTextSize, "abc");
  _textPtr log = MakeText(kLogTextSize);
  EXPECT_EQ(value.Length(), 1024u);
  EXPECT_EQ(log.Length(), 4096u);
  EXPECT_STREQ(value.Data(), "abc");
  EXPECT_STREQ(log.Data(), "");
}

}  // namespace
