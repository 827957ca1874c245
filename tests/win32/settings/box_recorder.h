// Records every message box instead of showing it, and answers OK.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/msgbox.h"

struct RecordedBox {
  void* owner;
  std::string text;
  std::string caption;
  uint32_t flags;
};

class CBoxRecorder {
 public:
  CBoxRecorder() { SetMessageBoxScript(&CBoxRecorder::Answer, this); }
  ~CBoxRecorder() { SetMessageBoxScript(nullptr, nullptr); }
  CBoxRecorder(const CBoxRecorder&) = delete;
  CBoxRecorder& operator=(const CBoxRecorder&) = delete;
  std::vector<RecordedBox> boxes;

 private:
  static int Answer(void* context, void* owner, const char* text, const char* caption,
                    uint32_t flags) {
    static_cast<CBoxRecorder*>(context)->boxes.push_back({owner, text, caption, flags});
    return kIdOk;
  }
};
