#include "prosvitek/imaging/analysis.h"

#include "prosvitek/imaging/luminance.h"
#include "pixel_kernels.h"

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
