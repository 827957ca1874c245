// The queue of application events waiting for a prompt: order, storage, and that a record stays
// where it is (the queue once copied itself on growth and moved its tail on every take).
#include "dispatch/eventqueue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/bytes.h"
#include "platform/heap.h"

namespace {

_REPORT_EVENT_HEAD Numbered(uint32_t n) {
  _REPORT_EVENT_HEAD record;
  memset(&record, 0, sizeof record);
  StoreLe32(reinterpret_cast<uint8_t*>(&record) + 20, n);
  return record;
}
uint32_t NumberOf(const _REPORT_EVENT_HEAD& record) { return LoadLe32(reinterpret_cast<const uint8_t*>(&record) + 20); }

TEST(EventQueue, KeepsTheOrderAcrossBlocksWhileAppendsAndTakesInterleave) {
  CEventQueue queue(9);
  uint32_t next = 0, expected = 0;
  _REPORT_EVENT_HEAD out;
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < round % 13 + 1; ++i) queue.Append(Numbered(next++));
    for (int i = 0; i < round % 7 && queue.TakeFirst(&out); ++i) ASSERT_EQ(NumberOf(out), expected++);
    std::vector<uint32_t> walked;
    for (const _REPORT_EVENT_HEAD& r : queue) walked.push_back(NumberOf(r));
    ASSERT_EQ(walked.size(), static_cast<size_t>(queue.Count()));
    for (size_t i = 0; i < walked.size(); ++i) ASSERT_EQ(walked[i], expected + i) << round;
  }
  while (queue.TakeFirst(&out)) ASSERT_EQ(NumberOf(out), expected++);
  EXPECT_EQ(expected, next);
  EXPECT_TRUE(queue.Empty());
  EXPECT_FALSE(queue.TakeFirst(&out));
}

TEST(EventQueue, GrowsByItsStepAndFreesEachBlockOnceTaken) {
  int32_t before = PlatformLiveBlocks();
  {
    CEventQueue queue(9);
    for (uint32_t i = 0; i < 36; ++i) queue.Append(Numbered(i));
    EXPECT_EQ(queue.Capacity(), 36);  // four steps of nine, nothing more
    EXPECT_EQ(queue.Blocks(), 4);
    queue.Append(Numbered(36));
    EXPECT_EQ(queue.Capacity(), 45);
    _REPORT_EVENT_HEAD out;
    for (int i = 0; i < 9; ++i) queue.TakeFirst(&out);
    EXPECT_EQ(queue.Blocks(), 4);  // the first block went with its ninth record
    while (queue.TakeFirst(&out)) {
    }
    EXPECT_EQ(queue.Blocks(), 0);
    EXPECT_EQ(PlatformLiveBlocks(), before);
    queue.Append(Numbered(1));  // usable again once empty
    queue.Append(Numbered(2));
  }
  EXPECT_EQ(PlatformLiveBlocks(), before);  // what is left goes with the queue
}

TEST(EventQueue, QueuedRecordsNeverMoveWhileTheQueueGrowsOrIsTaken) {
  CEventQueue queue(9);
  for (uint32_t i = 0; i < 40000; ++i) queue.Append(Numbered(i));
  _REPORT_EVENT_HEAD out;
  queue.TakeFirst(&out);
  const _REPORT_EVENT_HEAD* second = &*queue.begin();
  ASSERT_EQ(NumberOf(*second), 1u);
  for (uint32_t i = 0; i < 1000; ++i) queue.Append(Numbered(40000 + i));  // growing copies nothing
  EXPECT_EQ(&*queue.begin(), second);
  auto it = queue.begin();
  ++it;
  const _REPORT_EVENT_HEAD* third = &*it;
  queue.TakeFirst(&out);  // taking moves no tail
  EXPECT_EQ(&*queue.begin(), third);
  EXPECT_EQ(NumberOf(*third), 2u);
  EXPECT_EQ(queue.Count(), 40998);
}

}  // namespace
