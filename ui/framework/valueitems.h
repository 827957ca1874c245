// The items of a list box or a drop-down list: a display text with a 32-bit value attached
// (an address, a port, an action), kept by the control too, so that items may be added
// before its window exists.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CValueItems {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& ItemText(int index) const { return items_[static_cast<size_t>(index)].text; }
  uint32_t ItemValue(int index) const { return items_[static_cast<size_t>(index)].value; }
  // The first item with this value, or -1.
  int IndexOfValue(uint32_t value) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i].value == value) return static_cast<int>(i);
    return -1;
  }

 protected:
  struct CItem {
    std::string text;
    uint32_t value;
  };
  std::vector<CItem> items_;
};
