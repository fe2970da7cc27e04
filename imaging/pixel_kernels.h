#pragma once
// The per-row loops of the brightening and the analysis. Each has a plain
// version and, where the processor allows, a vector version chosen once at
// run time; both give identical results.

#include "imaging/brighten.h"
#include "imaging/luminance.h"

#include <array>
#include <cstdint>

namespace imaging {

// Running totals of an analysis over rows: histogram and extremes.
struct RowAnalysis {
  // Interleaved histograms keep runs of equal pixels from stalling on one counter.
  std::array<Histogram, 4> parts{};
  int minL = 255, maxL = 0;
  bool haveMin = false, haveMax = false;
  int minX = 0, minY = 0, maxX = 0, maxY = 0;

  // Columns may come in any order, but each column's rows top to bottom: a
  // tie is won by the smaller column, and within a column the first row stays.
  void see(int l, int x, int y) {
    if (l > maxL || (haveMax && l == maxL && x < maxX)) {
      maxL = l;
      maxX = x;
      maxY = y;
      haveMax = true;
    }
    if (l < minL || (haveMin && l == minL && x < minX)) {
      minL = l;
      minX = x;
      minY = y;
      haveMin = true;
    }
  }
  // Whether see() could change anything for luminance l.
  bool extreme(int l) const { return l <= minL || l >= maxL; }

  Histogram histogram() const;
};

// n pixels (blue, green, red bytes) of one row, starting at column x0 of row y.
void AnalyseRow(const std::uint8_t* pixels, int n, int x0, int y, RowAnalysis& acc);
void AnalyseRowPlain(const std::uint8_t* pixels, int n, int x0, int y, RowAnalysis& acc);

// Brightens n pixels from in to out; out may be in itself (not partly overlapping).
void BrightenRow(const BrightenTable& table, const std::uint8_t* in, std::uint8_t* out, int n);
void BrightenRowPlain(const BrightenTable& table, const std::uint8_t* in, std::uint8_t* out, int n);

// For `count` coefficient blocks (64 coefficients each, natural order, one
// after another): how far the AC terms can take a sample from the block's
// mean, in sixteenths, rounded up: the lesser of the sum of |coefficient| x
// weight and 16 x the square root of the sum of (coefficient x quant)^2
// (the DCT keeps energy, and one sample's deviation is part of it). -1 for
// a block with an AC coefficient beyond +-2047, which no valid 8-bit file has.
void BlockSpreads(const std::int16_t* blocks, int count, const std::int16_t* weights, const float* quant,
                  std::int32_t* spreads);
void BlockSpreadsPlain(const std::int16_t* blocks, int count, const std::int16_t* weights, const float* quant,
                       std::int32_t* spreads);
// The spread from the weighted sum and the energy (the float sum of the squares).
std::int32_t SpreadFrom(std::int32_t sum, float energy);

// Whether AnalyseRow and BrightenRow run a vector version on this processor.
bool VectorKernelsActive();

}  // namespace imaging
