// The rate graph without windows: its picture against golden pixel rows, and how samples come
// and go.
#include "ui/tfwinfoframe/rategraph.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// The picture as rows of characters: '.' background, '+' grid, '#' trace.
std::string Rows(const std::vector<uint32_t>& history, int width, int height, int phase) {
  _Array<uint32_t> samples(8);
  for (uint32_t s : history) samples.Append(s);
  std::vector<uint32_t> pixels;
  CRateGraph::Render(samples, width, height, phase, kGraphFullScale, pixels);
  std::string out;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      out += p == kGraphBackPixel ? '.' : p == kGraphGridPixel ? '+' : p == kGraphTracePixel ? '#' : '?';
    }
    out += '\n';
  }
  return out;
}
}  // namespace

TEST(RateGraph, PictureIsGridThenTraceNewestAtTheLeft) {
  // Newest sample 0 sits on the bottom edge (y = height, outside); 10240 reaches the top;
  // 2560 of 10240 in 10 rows is y = 7.5, truncated to 7. Phase 0 puts the grid at 10 and 20.
  EXPECT_EQ(
      "++#+++++++++++++++++++++\n"
      "..#.......+.........+...\n"
      "..##......+.........+...\n"
      ".#.#......+.........+...\n"
      ".#.#......+.........+...\n"
      ".#.#......+.........+...\n"
      ".#..#.....+.........+...\n"
      ".#..#.....+.........+...\n"
      "#.........+.........+...\n"
      "#.........+.........+...\n",
      Rows({2560, 10240, 0}, 24, 10, 0));
  // Each phase step moves the vertical lines 2 pixels left; phase 4 starts them at x = 2.
  EXPECT_EQ(
      "++++++++++++++++++++++++\n"
      "..+.........+.........+.\n",
      Rows({}, 24, 2, 4));
  EXPECT_EQ("", Rows({5000}, 0, 0, 0));
}

TEST(RateGraph, KeepsHalfTheWidthClampsAndMovesTheGridWithEachSample) {
  CRateGraph graph;
  for (uint32_t i = 1; i <= 50; ++i) ASSERT_TRUE(graph.Add(i, 100));
  EXPECT_EQ(50, graph.History.Count);
  EXPECT_EQ(0, graph.Phase) << "fifty steps of five phases";
  EXPECT_TRUE(graph.Add(20000, 100));
  EXPECT_EQ(50, graph.History.Count) << "the 51st sample drops the oldest";
  EXPECT_EQ(2u, graph.History[0]);
  EXPECT_EQ(kGraphFullScale, graph.History[49]);
  EXPECT_EQ(4, graph.Phase) << "below 0 the phase wraps to 4";

  // A narrower box (the history is cut to fit at the next sample).
  EXPECT_TRUE(graph.Add(7, 10));
  EXPECT_EQ(5, graph.History.Count);
  EXPECT_EQ(7u, graph.History[4]);
}

TEST(RateGraph, ACounterThatWentBackAddsNoSampleAndLeavesTheGrid) {
  CRateGraph graph;
  ASSERT_TRUE(graph.Add(IntervalSample(1000, 1500), 100));
  EXPECT_EQ(500u, graph.History[0]);
  uint32_t back = IntervalSample(1500, 200);  // the driver's counters were reset
  EXPECT_NE(0u, back & kNoSample);
  EXPECT_FALSE(graph.Add(back, 100));
  EXPECT_EQ(1, graph.History.Count);
  EXPECT_EQ(4, graph.Phase);
  // The low 32 bits wrapping forward is an ordinary sample.
  EXPECT_EQ(0x200u, IntervalSample(0xFFFFFF00ull, 0x100000100ull));
  // A repaint shows the grid the last sample drew: the phase before that sample's step.
  std::vector<uint32_t> drawn, expected;
  graph.Draw(30, 10, drawn);
  CRateGraph::Render(graph.History, 30, 10, 0, kGraphFullScale, expected);
  EXPECT_EQ(expected, drawn);
}
