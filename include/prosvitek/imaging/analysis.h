#pragma once
// Measuring a photo: the luminance histogram and its darkest and brightest
// pixels; fitting the photo into the 320 x 240 previews.

#include "prosvitek/imaging/luminance.h"
#include "prosvitek/imaging/raster.h"

#include <array>
#include <cstdint>
#include <functional>

namespace imaging {

struct PixelSample {
  ColourValue Colour = 0;
  int X = 0;
  int Y = 0;
  int Red = 0;
  int Green = 0;
  int Blue = 0;
  bool operator==(const PixelSample&) const = default;
};

struct PhotoAnalysis {
  Histogram histogram{};
  int MinLuminance = 255;  // 255 until a darker pixel is seen
  int MaxLuminance = 0;    // 0 until a brighter pixel is seen
  PixelSample MinPixel;
  PixelSample MaxPixel;
};

struct PreviewSize {
  int width = 0;
  int height = 0;
  bool operator==(const PreviewSize&) const = default;
};

// The preview for a W x H photo: 320 wide for landscape, 240 high otherwise,
// the other side rounded to nearest with halves to even.
PreviewSize FitPreviewSize(int width, int height);

// Passes go row by row and stop every kRowsPerStep rows to call a hook with
// the next row and the number of rows (progress, fresh settings).
constexpr int kRowsPerStep = 16;
using RowHook = std::function<void(int row, int rows)>;

// A spin control's clamp: into [min, max] unless min equals max, when any
// value is taken unchanged (below min gives min, else above max gives max).
int SpinClamp(int value, int minimum, int maximum);

// The threshold control after an open: its range and its primed value.
struct ThresholdRange {
  int minimum = 0;
  int maximum = 0;
  int value = 0;
};
ThresholdRange PrimeThreshold(const PhotoAnalysis& analysis);

}  // namespace imaging
