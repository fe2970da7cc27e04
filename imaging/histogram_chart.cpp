#include "prosvitek/imaging/histogram_chart.h"

#include <algorithm>
#include <cmath>

namespace imaging {

namespace {

std::int32_t LargestCount(const Histogram& histogram) {
  return *std::max_element(histogram.begin(), histogram.end());
}

int BarHeightFor(std::int32_t count, std::int32_t largest) {
  if (largest <= 0) return 0;
  // The product in 64 bits: a bin of millions of pixels must not overflow.
  const std::int64_t scaled = static_cast<std::int64_t>(count) * 256;
  const long double quotient = static_cast<long double>(scaled) / static_cast<long double>(largest);
  return static_cast<int>(std::nearbyint(quotient)) / 2;
}

}  // namespace

int BarHeight(const Histogram& histogram, int bin) {
  return BarHeightFor(histogram[static_cast<std::size_t>(bin)], LargestCount(histogram));
}

void DrawHistogram(Raster& chart, const Histogram& histogram, ColourValue background) {
  if (chart.width() != kChartWidth || chart.height() != kChartHeight) chart = Raster(kChartWidth, kChartHeight);
  for (int y = 0; y < kChartHeight; ++y)
    for (int x = 0; x < kChartWidth; ++x) chart.setPixel(x, y, background);
  const std::int32_t largest = LargestCount(histogram);
  for (int i = 0; i < kChartWidth; ++i) {
    const int d = BarHeightFor(histogram[static_cast<std::size_t>(i)], largest);
    for (int y = kChartHeight - 1; y >= kChartHeight + 1 - d; --y) chart.setPixel(i, y, kBarColour);
  }
}

}  // namespace imaging
