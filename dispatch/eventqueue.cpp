#include "dispatch/eventqueue.h"

#include <cstring>
#include <new>

#include "platform/heap.h"

// A block is its link followed by `step` records (byte-packed, so no padding between them).
struct CEventQueue::CBlock {
  CBlock* Next;
};

_REPORT_EVENT_HEAD* CEventQueue::Records(CBlock* block) {
  return reinterpret_cast<_REPORT_EVENT_HEAD*>(reinterpret_cast<uint8_t*>(block) + sizeof(CBlock));
}

const _REPORT_EVENT_HEAD* CEventQueue::Records(const CBlock* block) {
  return reinterpret_cast<const _REPORT_EVENT_HEAD*>(reinterpret_cast<const uint8_t*>(block) + sizeof(CBlock));
}

CEventQueue::CEventQueue(int32_t growStep) : step_(growStep > 0 ? growStep : 1) {}

CEventQueue::~CEventQueue() {
  while (head_ != nullptr) FreeFirstBlock();
}

void CEventQueue::Append(const _REPORT_EVENT_HEAD& record) {
  if (tail_ == nullptr || used_ == step_) {
    auto* block = static_cast<CBlock*>(
        PlatformAlloc(static_cast<uint32_t>(sizeof(CBlock) + sizeof(_REPORT_EVENT_HEAD) * static_cast<uint32_t>(step_))));
    if (block == nullptr) throw std::bad_alloc();
    block->Next = nullptr;
    if (tail_ != nullptr) {
      tail_->Next = block;
    } else {
      head_ = block;
      first_ = 0;
    }
    tail_ = block;
    used_ = 0;
    ++blocks_;
  }
  memcpy(&Records(tail_)[used_++], &record, sizeof record);
  ++count_;
}

bool CEventQueue::TakeFirst(_REPORT_EVENT_HEAD* record) {
  if (count_ == 0) return false;
  memcpy(record, &Records(head_)[first_++], sizeof *record);
  --count_;
  // The head block goes once every record it will ever hold has been taken.
  if (first_ == (head_ == tail_ ? used_ : step_)) FreeFirstBlock();
  return true;
}

void CEventQueue::FreeFirstBlock() {
  CBlock* next = head_->Next;
  if (head_ == tail_) {
    tail_ = nullptr;
    used_ = 0;
  }
  PlatformFree(head_);
  head_ = next;
  first_ = 0;
  --blocks_;
}

const _REPORT_EVENT_HEAD& CEventQueue::const_iterator::operator*() const {
  return Records(static_cast<const CBlock*>(block_))[index_];
}

CEventQueue::const_iterator& CEventQueue::const_iterator::operator++() {
  if (--left_ == 0) return *this;
  if (++index_ == step_) {
    block_ = static_cast<const CBlock*>(block_)->Next;
    index_ = 0;
  }
  return *this;
}
