#include "prosvitek/imaging/histogram_chart.h"

#include <gtest/gtest.h>

namespace imaging {
namespace {

constexpr ColourValue kFace = MakeColour(240, 240, 240);

int VisibleBar(const Raster& chart, int column) {
  int n = 0;
  for (int y = 0; y < kChartHeight; ++y) n += chart.pixel(column, y) == kBarColour;
  return n;
}

TEST(DrawHistogram, BarHeightsAndRounding) {
  Histogram h{};
  h[0] = 1000;  // largest: 256 -> d 128, 127 pixels up to row 1
  h[1] = 500;   // half: d 64, 63 pixels
  h[2] = 8;     // 2.048 -> 2 -> d 1, nothing visible
  h[3] = 12;    // 3.072 -> 3 -> d 1, nothing visible
  h[10] = 1;    // tiny
  Histogram halves{};
  halves[0] = 1024;
  halves[1] = 10;  // exactly 2.5: rounds to 2, d 1, nothing
  halves[2] = 14;  // exactly 3.5: rounds to 4, d 2, one pixel

  Raster chart;
  DrawHistogram(chart, h, kFace);
  ASSERT_EQ(chart.width(), 255);
  ASSERT_EQ(chart.height(), 128);
  EXPECT_EQ(VisibleBar(chart, 0), 127);
  EXPECT_EQ(chart.pixel(0, 0), kFace);
  EXPECT_EQ(chart.pixel(0, 1), kBarColour);
  EXPECT_EQ(VisibleBar(chart, 1), 63);
  EXPECT_EQ(chart.pixel(1, 127), kBarColour);
  EXPECT_EQ(VisibleBar(chart, 2), 0);
  EXPECT_EQ(VisibleBar(chart, 3), 0);
  EXPECT_EQ(VisibleBar(chart, 10), 0);

  DrawHistogram(chart, halves, kFace);
  EXPECT_EQ(BarHeight(halves, 1), 1);
  EXPECT_EQ(BarHeight(halves, 2), 2);
  EXPECT_EQ(VisibleBar(chart, 1), 0);
  EXPECT_EQ(VisibleBar(chart, 2), 1);
  EXPECT_EQ(chart.pixel(2, 127), kBarColour);
}

TEST(DrawHistogram, Bin255CountsForTheMaximumButIsNeverDrawn) {
  Histogram h{};
  h[255] = 5000;
  h[100] = 2500;
  Raster chart;
  DrawHistogram(chart, h, kFace);
  EXPECT_EQ(VisibleBar(chart, 100), 63);
  Histogram white{};
  white[255] = 77;
  DrawHistogram(chart, white, kFace);
  for (int x = 0; x < kChartWidth; ++x) ASSERT_EQ(VisibleBar(chart, x), 0);
}

TEST(DrawHistogram, RedrawReplacesTheOldPictureAndZerosDrawNothing) {
  Histogram full{};
  full.fill(100);
  Raster chart;
  DrawHistogram(chart, full, kFace);
  DrawHistogram(chart, Histogram{}, kFace);
  for (int x = 0; x < kChartWidth; ++x) ASSERT_EQ(VisibleBar(chart, x), 0);
  DrawHistogram(chart, full, kFace);
  Raster again;
  DrawHistogram(again, full, kFace);
  for (int y = 0; y < kChartHeight; ++y)
    for (int x = 0; x < kChartWidth; ++x) ASSERT_EQ(chart.pixel(x, y), again.pixel(x, y));
}

TEST(DrawHistogram, HugeBinsDoNotOverflow) {
  Histogram h{};
  h[7] = 400'000'000;  // beyond 2^31 / 256
  h[8] = 200'000'000;
  EXPECT_EQ(BarHeight(h, 7), 128);
  EXPECT_EQ(BarHeight(h, 8), 64);
}

}  // namespace
}  // namespace imaging
