// Helpers shared by the body and image codecs (not part of the rule store's interface).
#pragma once
#include <cstdint>
#include <cstring>
#include <new>

#include "base/array.h"
#include "base/bytes.h"
#include "platform/heap.h"
#include "rules/matchvalue.h"
#include "rules/records.h"

// A heap copy of `text` (PlatformAlloc); nullptr for nullptr. Throws std::bad_alloc.
char* CopyHeapText(const char* text);
// A heap text of `length` bytes from `data` plus a terminating zero. Throws std::bad_alloc.
char* MakeHeapText(const uint8_t* data, uint32_t length);
inline uint32_t HeapTextLength(const char* text) { return text ? static_cast<uint32_t>(strlen(text)) : 0; }

// Copies `n` bytes a word at a time. For a record or a short text this beats both the
// compiler's string instruction for a fixed size (slow to start) and a library call.
inline void CopyWords(uint8_t* to, const uint8_t* from, uint32_t n) {
  uint32_t i = 0;
#pragma GCC unroll 8
  for (; i + 4 <= n; i += 4) {
    uint32_t word;
    memcpy(&word, from + i, 4);
    memcpy(to + i, &word, 4);
  }
  for (; i < n; ++i) to[i] = from[i];
}

// A copy of a list or a text: word by word when short, else the library's.
inline void CopyFew(void* to, const void* from, uint32_t n) {
  if (n <= 64)
    CopyWords(static_cast<uint8_t*>(to), static_cast<const uint8_t*>(from), n);
  else
    memcpy(to, from, n);
}

// Appends lists and texts to an extra area sized in advance; offsets count from its start.
// Inline: a body or an image writes a few of them per rule, mostly a handful of bytes each,
// where a call and a library copy would cost more than the bytes.
class CExtraWriter {
 public:
  CExtraWriter(uint8_t* area, uint32_t size) : area_(area), size_(size) {}
  // Writes [start, end) of the area only; offsets still count from the area's start.
  CExtraWriter(uint8_t* area, uint32_t start, uint32_t end) : area_(area), size_(end), used_(start) {}
  // Kind 1 with elements: copies them and stores their offset in Value2; without: Value2 0.
  // The area may be a block in reuse: a list without its elements still writes its zeros.
  void PutList(_MATCH_VALUE* value) {
    if (value->Kind != MATCH_LIST) return;
    uint32_t count = value->Value1;
    const uint32_t* elements = MatchElements(*value);
    value->Value2 = 0;
    if (count == 0 || count > UINT32_MAX / 4) return;
    uint32_t offset = used_;
    uint8_t* p = Take(count * 4);
    if (p == nullptr) return;
    if (elements == nullptr)
      memset(p, 0, count * 4);
    else
      CopyFew(p, elements, count * 4);
    value->Value2 = offset;
  }
  // A 4-byte length (text length + 1), the text and its zero. Returns the entry's offset.
  uint32_t PutCountedText(const char* text) { return PutCountedText(text, HeapTextLength(text)); }
  // The same when the caller knows the text's length.
  uint32_t PutCountedText(const char* text, uint32_t length) {
    uint32_t offset = used_;
    uint8_t* p = Take(length + 5);
    if (p == nullptr) return 0;
    StoreLe32(p, length + 1);
    CopyFew(p + 4, text, length);
    p[4 + length] = 0;
    return offset;
  }
  // The text and its zero, no prefix. Returns the offset.
  uint32_t PutText(const char* text) {
    uint32_t length = HeapTextLength(text);
    uint32_t offset = used_;
    uint8_t* p = Take(length + 1);
    if (p == nullptr) return 0;
    CopyFew(p, text, length);
    p[length] = 0;
    return offset;
  }
  uint32_t used() const { return used_; }

 private:
  // The area was sized from the same records; running past it would be a codec bug.
  uint8_t* Take(uint32_t n) {
    if (n > size_ - used_) return nullptr;
    uint8_t* p = area_ + used_;
    used_ += n;
    return p;
  }
  uint8_t* area_;
  uint32_t size_;
  uint32_t used_ = 0;
};

// Reads lists and texts from an extra area inside a body; every read is bounds-checked.
// What the reads hand out, in all, may not exceed the area: entries that several records
// reference would otherwise let a small body ask for gigabytes (each record its own copy of
// one large text). Each read is charged before anything is allocated or searched.
// The list and counted-text takes are inline: a parse makes several per rule, of a few bytes.
// They throw std::bad_alloc when out of memory.
class CExtraReader {
 public:
  CExtraReader(const uint8_t* body, uint32_t bodySize, uint32_t offset, uint32_t size);
  bool ok() const { return ok_; }
  uint32_t unspent() const { return budget_; }
  // `stored` is the serialised value; `out` gets a new element block (none for 0 elements).
  bool TakeList(const _MATCH_VALUE& stored, _MATCH_VALUE* out) {
    out->Kind = MATCH_LIST;
    out->Value1 = stored.Value1;
    return TakeList(stored.Value2, out);
  }
  // `value` holds a list's kind and count; its Value2 becomes its new element block, the
  // elements read from `offset` (Value2 0 when it has none, or when the read fails).
  bool TakeList(uint32_t offset, _MATCH_VALUE* value) {
    value->Value2 = 0;
    uint32_t count = value->Value1;
    if (count == 0) return true;
    if (count > size_ / 4 || !RangeInside(offset, count * 4, size_) || !Charge(count * 4)) return false;
    void* elements = PlatformAlloc(count * 4);
    if (elements == nullptr) throw std::bad_alloc();
    CopyFew(elements, area_ + offset, count * 4);
    value->Value2 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(elements));
    return true;
  }
  // `out` is the address of a text field (a char* inside a packed record, maybe unaligned).
  // The stored length counts the stored zero; the block has one zero more.
  bool TakeCountedText(uint32_t offset, void* out) {
    if (!RangeInside(offset, 4, size_)) return false;
    uint32_t length = LoadLe32(area_ + offset);
    if (!RangeInside(offset + 4, length, size_) || !Charge(4 + length)) return false;
    auto* text = static_cast<char*>(PlatformAlloc(length + 1));  // zero-filled: the zero is there
    if (text == nullptr) throw std::bad_alloc();
    CopyFew(text, area_ + offset + 4, length);
    memcpy(out, &text, sizeof text);
    return true;
  }
  bool TakeText(uint32_t offset, void* out);  // up to its zero, which must lie in the area

 private:
  bool Charge(uint32_t bytes) {
    if (bytes > budget_) return false;
    budget_ -= bytes;
    return true;
  }
  const uint8_t* area_ = nullptr;
  uint32_t size_ = 0;
  uint32_t budget_ = 0;
  bool ok_ = false;
};

// Releases what the records of an array own unless the parse that filled it succeeded.
template <class T, void (*ReleaseOne)(T*)>
class CParsedGuard {
 public:
  explicit CParsedGuard(_Array<T>& items) : items_(&items) {}
  ~CParsedGuard() {
    if (items_ == nullptr) return;
    for (T& item : *items_) ReleaseOne(&item);
    items_->Clear();
  }
  CParsedGuard(const CParsedGuard&) = delete;
  CParsedGuard& operator=(const CParsedGuard&) = delete;
  void Keep() { items_ = nullptr; }

 private:
  _Array<T>* items_;
};

// Hands the records of a successful parse to the caller's array: the whole block when the
// caller's array is empty, else one by one. Nothing is left owned by `parsed`.
template <class T>
void AppendParsed(_Array<T>& rules, _Array<T>& parsed) {
  if (rules.Count == 0) {
    int32_t step = rules.GrowStep;
    rules = static_cast<_Array<T>&&>(parsed);
    rules.GrowStep = step;
    return;
  }
  if (parsed.Count > INT32_MAX - rules.Count) throw std::bad_alloc();
  rules.Reserve(rules.Count + parsed.Count);  // once, not a grow step at a time
  for (const T& item : parsed) rules.Append(item);
  parsed.Clear();
}
