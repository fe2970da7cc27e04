#include "prosvitek/imaging/controls.h"

#include "prosvitek/imaging/analysis.h"

namespace imaging {

int ThresholdAfterOpen(std::optional<int> typed, int darkest, int brightest) {
  PhotoAnalysis a;
  a.MinLuminance = darkest;
  a.MaxLuminance = brightest;
  const ThresholdRange range = PrimeThreshold(a);
  return typed ? SpinClamp(*typed, range.minimum, range.maximum) : range.value;
}

bool SettingsSettled(const CommandControls& c, int darkest, int brightest) {
  // The brightest can still rise unless it is white.
  if (brightest < 255) return false;
  // The shift's anchor is the darkest luminance itself.
  if (c.shiftMode && darkest > 0) return false;
  const int threshold = ThresholdAfterOpen(c.threshold, darkest, 255);
  for (int d = 0; d < darkest; ++d)
    if (ThresholdAfterOpen(c.threshold, d, 255) != threshold) return false;
  return true;
}

}  // namespace imaging
