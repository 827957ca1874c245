// The application events that wait for a prompt, oldest first.
//
// Storage grows by one block of `growStep` records at a time and a record never moves once
// appended; the oldest is taken from a head index, and a block is freed once all its records
// are taken. Appending and taking are constant time however long the queue gets (a queue that
// copied itself on growth and moved its tail on every take froze the console at 40,000).
#pragma once
#include <cstdint>

#include "driver/protocol.h"

class CEventQueue {
 public:
  explicit CEventQueue(int32_t growStep);
  // Frees the storage only: what the records own is the owner's to release first.
  ~CEventQueue();
  CEventQueue(const CEventQueue&) = delete;
  CEventQueue& operator=(const CEventQueue&) = delete;

  // Appends a byte copy. Throws std::bad_alloc when out of memory (nothing is appended).
  void Append(const _REPORT_EVENT_HEAD& record);
  // Moves the oldest record out into `record`; false when the queue is empty.
  bool TakeFirst(_REPORT_EVENT_HEAD* record);

  int32_t Count() const { return count_; }
  bool Empty() const { return count_ == 0; }
  int32_t GrowStep() const { return step_; }
  int32_t Capacity() const { return blocks_ * step_; }  // records the blocks hold, taken ones too
  int32_t Blocks() const { return blocks_; }              // heap blocks held

  // Walks the records in order (for inspection; the queue is not changed).
  class const_iterator {
   public:
    const_iterator(const void* block, int32_t index, int32_t left, int32_t step)
        : block_(block), index_(index), left_(left), step_(step) {}
    const _REPORT_EVENT_HEAD& operator*() const;
    const_iterator& operator++();
    bool operator!=(const const_iterator& other) const { return left_ != other.left_; }

   private:
    const void* block_;
    int32_t index_;
    int32_t left_;  // records not yet visited, this one included
    int32_t step_;
  };
  const_iterator begin() const { return const_iterator(head_, first_, count_, step_); }
  const_iterator end() const { return const_iterator(nullptr, 0, 0, step_); }

 private:
  struct CBlock;
  static _REPORT_EVENT_HEAD* Records(CBlock* block);
  static const _REPORT_EVENT_HEAD* Records(const CBlock* block);
  void FreeFirstBlock();

  int32_t step_;
  CBlock* head_ = nullptr;  // oldest block, owned, and through it the chain
  CBlock* tail_ = nullptr;  // newest block
  int32_t first_ = 0;       // index of the oldest record in the head block
  int32_t used_ = 0;        // records written into the tail block
  int32_t count_ = 0;
  int32_t blocks_ = 0;
};
