#include "pixel_kernels.h"

#include "pixel_kernels_avx512.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace imaging {

Histogram RowAnalysis::histogram() const {
  Histogram h{};
  for (const Histogram& part : parts)
    for (std::size_t i = 0; i < h.size(); ++i) h[i] += part[i];
  return h;
}

void AnalyseRowPlain(const std::uint8_t* p, int n, int x0, int y, RowAnalysis& acc) {
  for (int i = 0; i < n; ++i, p += 3) {
    const int l = Luminance(p[2], p[1], p[0]);
    ++acc.parts[static_cast<std::size_t>(i & 3)][static_cast<std::size_t>(l)];
    if (acc.extreme(l)) acc.see(l, x0 + i, y);
  }
}

void BrightenRowPlain(const BrightenTable& table, const std::uint8_t* in, std::uint8_t* out, int n) {
  for (int i = 0; i < n; ++i, in += 3, out += 3) {
    const Rgb r = table.apply(Rgb{in[2], in[1], in[0]});
    out[0] = static_cast<std::uint8_t>(r.blue);
    out[1] = static_cast<std::uint8_t>(r.green);
    out[2] = static_cast<std::uint8_t>(r.red);
  }
}

namespace {

// Sixteenths of a sample around the centre within which libjpeg's range
// limiting clamps like a plain clamp; beyond, a corrupt block's values may wrap.
constexpr std::int32_t kSafeSum = 300 * 16;

constexpr std::uint32_t ClampSample(std::int32_t v) { return v < 0 ? 0u : (v > 255 ? 255u : static_cast<std::uint32_t>(v)); }

// Floor division by 16 (an arithmetic shift), for sums that may be negative.
constexpr std::int32_t Sixteenths(std::int32_t v) { return v >= 0 ? v / 16 : -((15 - v) / 16); }

std::uint32_t RangeFrom(int dc, int dcQuant, std::int32_t sum, float energy, bool wild) {
  constexpr std::uint32_t kNothing = 0u | 255u << 8 | 0u << 16 | 255u << 24;
  if (wild) return kNothing;
  // Float sums of up to 63 terms are within a few parts in a million.
  const float root = std::ceil(16 * std::sqrt(energy) * 1.00001f) + 1;
  const std::int32_t spread = root < static_cast<float>(sum) ? static_cast<std::int32_t>(root) : sum;
  const std::int32_t mean = 2 * dc * dcQuant;  // sixteenths: DC x q / 8
  if (mean - spread < -kSafeSum || mean + spread > kSafeSum) return kNothing;
  // A sample is its value plus 128 rounded to the nearest whole number,
  // within a sample of float rounding inside libjpeg: so within
  // [v - 1.5, v + 1.5] + 128. The AC terms sum to zero over the block:
  // some sample is at or above the mean, some at or below it.
  return ClampSample(Sixteenths(mean - spread + 2039)) | ClampSample(Sixteenths(mean + spread + 2072)) << 8 |
         ClampSample(Sixteenths(mean + 2039)) << 16 | ClampSample(Sixteenths(mean + 2072)) << 24;
}

}  // namespace

void BlockRangesPlain(const std::int16_t* blocks, int count, const std::int16_t* weights, const float* quant,
                      int dcQuant, std::uint32_t* ranges) {
  for (int i = 0; i < count; ++i, blocks += 64) {
    std::int32_t sum = 0;
    float energy = 0;
    bool wild = false;
    for (int k = 1; k < 64; ++k) {
      const int a = blocks[k] < 0 ? -blocks[k] : blocks[k];
      wild = wild || a > 2047;
      if (wild) break;
      sum += a * weights[k];
      const float d = static_cast<float>(a) * quant[k];
      energy += d * d;
    }
    ranges[i] = RangeFrom(blocks[0], dcQuant, sum, energy, wild);
  }
}

namespace {

struct Kernels {
  void (*analyse)(const std::uint8_t*, int, int, int, RowAnalysis&);
  void (*brighten)(const BrightenTable&, const std::uint8_t*, std::uint8_t*, int);
  void (*ranges)(const std::int16_t*, int, const std::int16_t*, const float*, int, std::uint32_t*);
  bool vector;
};

// PROSVITEK_NO_SIMD=1 (any value but empty or 0) keeps the plain loops, for comparisons.
bool VectorsDisabled() {
  const char* v = std::getenv("PROSVITEK_NO_SIMD");
  return v != nullptr && *v != '\0' && std::strcmp(v, "0") != 0;
}

// Chosen once, on first use.
const Kernels& Chosen() {
  static const Kernels kernels = [] {
    if (!VectorsDisabled() && avx512::Available())
      return Kernels{avx512::AnalyseRow, avx512::BrightenRow, avx512::BlockRanges, true};
    return Kernels{AnalyseRowPlain, BrightenRowPlain, BlockRangesPlain, false};
  }();
  return kernels;
}

}  // namespace

void AnalyseRow(const std::uint8_t* pixels, int n, int x0, int y, RowAnalysis& acc) {
  Chosen().analyse(pixels, n, x0, y, acc);
}

void BrightenRow(const BrightenTable& table, const std::uint8_t* in, std::uint8_t* out, int n) {
  Chosen().brighten(table, in, out, n);
}

void BlockRanges(const std::int16_t* blocks, int count, const std::int16_t* weights, const float* quant, int dcQuant,
                 std::uint32_t* ranges) {
  Chosen().ranges(blocks, count, weights, quant, dcQuant, ranges);
}

bool VectorKernelsActive() { return Chosen().vector; }

}  // namespace imaging
