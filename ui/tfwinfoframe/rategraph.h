// One scrolling rate graph of the information page: its samples and its picture. The picture
// is a pure function of the history, the size and the grid's phase, so it is computed here,
// without windows, into a pixel buffer that the page copies to the screen in one step.
#pragma once
#include <cstdint>
#include <vector>

#include "base/array.h"

// A sample with bit 31 set is no sample: the graph is only redrawn.
constexpr uint32_t kNoSample = 0x80000000u;
// Bytes per interval that reach the top edge.
constexpr uint32_t kGraphFullScale = 10240;
// Colours as 32-bit DIB pixels (0x00RRGGBB).
constexpr uint32_t kGraphBackPixel = 0x000000;
constexpr uint32_t kGraphGridPixel = 0x005000;   // RGB(0, 80, 0)
constexpr uint32_t kGraphTracePixel = 0x00C000;  // RGB(0, 192, 0)

// The sample of one interval: the difference of the low 32 bits of two running totals. A
// total that went backwards (wrapped or reset) gives a value with bit 31 set: no sample.
inline uint32_t IntervalSample(uint64_t previousTotal, uint64_t total) {
  return static_cast<uint32_t>(total) - static_cast<uint32_t>(previousTotal);
}

class CRateGraph {
 public:
  CRateGraph() : History(64) {}

  // Adds a sample for a graph `width` pixels wide: clamped to the full scale, the oldest
  // samples dropped so that at most width / 2 are kept, and the grid moved one step with the
  // trace. False (nothing changed) for kNoSample.
  bool Add(uint32_t sample, int width, uint32_t fullScale = kGraphFullScale);

  // Draws the graph with the grid phase the last Add drew it at, into `pixels` (width ×
  // height, top row first), so that a repaint shows what the timer showed.
  void Draw(int width, int height, std::vector<uint32_t>& pixels, uint32_t fullScale = kGraphFullScale) const;

  // The picture for a given grid phase: black, the grid RGB(0, 80, 0) with vertical lines at
  // x = 10 - 2 * phase + 10 * i and horizontal ones every 10 rows, then the trace
  // RGB(0, 192, 0) from the newest sample at x = 0 to older ones 2 pixels apart.
  static void Render(const _Array<uint32_t>& history, int width, int height, int phase, uint32_t fullScale,
                     std::vector<uint32_t>& pixels);

  _Array<uint32_t> History;  // samples, oldest first
  int Phase = 0;             // 0 to 4: where the vertical grid lines are
};
