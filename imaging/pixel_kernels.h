#pragma once
// The per-row loops of the brightening and the analysis. Each has a plain
// version and, where the processor allows, a vector version chosen once at
// run time; both give identical results.

#include "prosvitek/imaging/brighten.h"
#include "prosvitek/imaging/luminance.h"

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

// What the coefficients of `count` blocks (64 each, natural order, one
// after another) say of their samples, packed as lo | hi << 8 | proofHigh << 16
// | proofLow << 24: every sample lies within [lo, hi], some sample is at
// least proofHigh and some at most proofLow. From the block's mean (DC x
// dcQuant / 8 around 128) and how far the AC terms can take a sample from it:
// the lesser of the sum of |coefficient| x weight (sixteenths of a sample,
// rounded up) and the square root of the sum of (coefficient x quant)^2 (the
// DCT keeps energy, and one sample's deviation is part of it); widened by a
// sample and a half for libjpeg's rounding. A block with an AC coefficient
// beyond +-2047 (no valid 8-bit file has one) or whose values could wrap
// around in libjpeg's range limiting gets 0, 255, 0, 255: nothing known.
void BlockRanges(const std::int16_t* blocks, int count, const std::int16_t* weights, const float* quant, int dcQuant,
                 std::uint32_t* ranges);
void BlockRangesPlain(const std::int16_t* blocks, int count, const std::int16_t* weights, const float* quant,
                      int dcQuant, std::uint32_t* ranges);

// Whether AnalyseRow and BrightenRow run a vector version on this processor.
bool VectorKernelsActive();

}  // namespace imaging
