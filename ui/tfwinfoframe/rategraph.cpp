#include "ui/tfwinfoframe/rategraph.h"

#include <cstdlib>

namespace {
class CCanvas {
 public:
  CCanvas(std::vector<uint32_t>& pixels, int width, int height) : p_(pixels), w_(width), h_(height) {}
  void Set(int x, int y, uint32_t colour) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) p_[static_cast<size_t>(y) * w_ + x] = colour;
  }
  // Every pixel from one end to the other, both ends included.
  void Line(int x0, int y0, int x1, int y1, uint32_t colour) {
    int dx = abs(x1 - x0), dy = -abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
      Set(x0, y0, colour);
      if (x0 == x1 && y0 == y1) return;
      int e2 = 2 * err;
      if (e2 >= dy) { err += dy; x0 += sx; }
      if (e2 <= dx) { err += dx; y0 += sy; }
    }
  }

 private:
  std::vector<uint32_t>& p_;
  int w_, h_;
};
}  // namespace

bool CRateGraph::Add(uint32_t sample, int width, uint32_t fullScale) {
  if (sample & kNoSample) return false;
  if (sample > fullScale) sample = fullScale;
  int most = width / 2 > 1 ? width / 2 : 1;
  if (History.Count >= most) {
    // Drop the oldest in one move rather than one at a time.
    int drop = History.Count - (most - 1);
    memmove(History.Items, History.Items + drop, sizeof(uint32_t) * static_cast<size_t>(History.Count - drop));
    History.Count -= drop;
  }
  History.Append(sample);
  if (--Phase < 0) Phase = 4;
  return true;
}

void CRateGraph::Draw(int width, int height, std::vector<uint32_t>& pixels, uint32_t fullScale) const {
  Render(History, width, height, (Phase + 1) % 5, fullScale, pixels);
}

void CRateGraph::Render(const _Array<uint32_t>& history, int width, int height, int phase, uint32_t fullScale,
                        std::vector<uint32_t>& pixels) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  pixels.assign(static_cast<size_t>(width) * height, kGraphBackPixel);
  if (width == 0 || height == 0) return;
  CCanvas canvas(pixels, width, height);
  int e = 10 - 2 * phase;
  for (int i = 0; i <= (width - e) / 10; ++i) canvas.Line(e + 10 * i, 0, e + 10 * i, height - 1, kGraphGridPixel);
  for (int i = 0; i <= height / 10; ++i) canvas.Line(0, 10 * i, width - 1, 10 * i, kGraphGridPixel);
  int px = 0, py = 0;
  for (int k = 0; k < history.Count; ++k) {
    uint32_t sample = history[history.Count - 1 - k];
    int x = 2 * k;
    int y = static_cast<int>(height - static_cast<double>(sample) / fullScale * height);
    if (k == 0) canvas.Set(x, y, kGraphTracePixel);
    else canvas.Line(px, py, x, y, kGraphTracePixel);
    px = x;
    py = y;
  }
}
