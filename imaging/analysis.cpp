#include "imaging/analysis.h"

#include "imaging/luminance.h"
#include "imaging/pixel_kernels.h"

#include <algorithm>
#include <cmath>

namespace imaging {

PreviewSize FitPreviewSize(int width, int height) {
  if (width > height) {
    const long double h = static_cast<long double>(height) * 320.0L / static_cast<long double>(width);
    return {320, static_cast<int>(std::nearbyint(h))};
  }
  if (height <= 0) return {0, 0};
  const long double w = static_cast<long double>(width) * 240.0L / static_cast<long double>(height);
  return {static_cast<int>(std::nearbyint(w)), 240};
}

namespace {

PixelSample SampleAt(const Raster& r, int x, int y) {
  const ColourValue c = r.pixel(x, y);
  return PixelSample{c, x, y, RedOf(c), GreenOf(c), BlueOf(c)};
}

}  // namespace

PhotoAnalysis AnalysePhoto(const Raster& raster, const RowHook& atRow) {
  RowAnalysis totals;
  for (int y = 0; y < raster.height(); ++y) {
    if (atRow && y % kRowsPerStep == 0) atRow(y, raster.height());
    AnalyseRow(raster.row(y), raster.width(), 0, y, totals);
  }
  return FinishAnalysis(totals, raster);
}

PhotoAnalysis FinishAnalysis(const RowAnalysis& totals, const Raster& raster) {
  PhotoAnalysis a;
  a.histogram = totals.histogram();
  a.MinLuminance = totals.minL;
  a.MaxLuminance = totals.maxL;
  if (totals.haveMin) a.MinPixel = SampleAt(raster, totals.minX, totals.minY);
  if (totals.haveMax) a.MaxPixel = SampleAt(raster, totals.maxX, totals.maxY);
  return a;
}

Raster StretchNearest(const Raster& source, int width, int height) {
  Raster out(width, height);
  if (out.empty() || source.empty()) return out;
  const auto sw = static_cast<std::int64_t>(source.width());
  const auto sh = static_cast<std::int64_t>(source.height());
  // Sample the source pixel under the centre of each preview pixel.
  std::vector<std::size_t> columns(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x)
    columns[static_cast<std::size_t>(x)] = 3 * static_cast<std::size_t>((2 * x + 1) * sw / (2 * width));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = source.row(static_cast<int>((2 * y + 1) * sh / (2 * height)));
    std::uint8_t* dst = out.row(y);
    for (int x = 0; x < width; ++x, dst += 3) {
      const std::uint8_t* p = src + columns[static_cast<std::size_t>(x)];
      dst[0] = p[0];
      dst[1] = p[1];
      dst[2] = p[2];
    }
  }
  return out;
}

int SpinClamp(int value, int minimum, int maximum) {
  if (minimum == maximum) return value;
  if (value < minimum) return minimum;
  if (value > maximum) return maximum;
  return value;
}

ThresholdRange PrimeThreshold(const PhotoAnalysis& a) {
  ThresholdRange r;
  r.minimum = a.MinLuminance + 1;
  r.maximum = a.MaxLuminance;
  r.value = SpinClamp(a.MaxLuminance - a.MaxLuminance / 3, r.minimum, r.maximum);
  return r;
}

}  // namespace imaging
