#include "imaging/pixel_kernels.h"

#include "imaging/pixel_kernels_avx512.h"

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

std::int32_t SpreadFrom(std::int32_t sum, float energy) {
  if (static_cast<float>(sum) * static_cast<float>(sum) <= 256 * energy) return sum;
  // Float sums of up to 63 terms are within a few parts in a million.
  const float root = std::ceil(16 * std::sqrt(energy) * 1.00001f) + 1;
  return root < static_cast<float>(sum) ? static_cast<std::int32_t>(root) : sum;
}

void BlockSpreadsPlain(const std::int16_t* blocks, int count, const std::int16_t* weights, const float* quant,
                       std::int32_t* spreads) {
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
    spreads[i] = wild ? -1 : SpreadFrom(sum, energy);
  }
}

namespace {

struct Kernels {
  void (*analyse)(const std::uint8_t*, int, int, int, RowAnalysis&);
  void (*brighten)(const BrightenTable&, const std::uint8_t*, std::uint8_t*, int);
  void (*spreads)(const std::int16_t*, int, const std::int16_t*, const float*, std::int32_t*);
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
      return Kernels{avx512::AnalyseRow, avx512::BrightenRow, avx512::BlockSpreads, true};
    return Kernels{AnalyseRowPlain, BrightenRowPlain, BlockSpreadsPlain, false};
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

void BlockSpreads(const std::int16_t* blocks, int count, const std::int16_t* weights, const float* quant,
                  std::int32_t* spreads) {
  Chosen().spreads(blocks, count, weights, quant, spreads);
}

bool VectorKernelsActive() { return Chosen().vector; }

}  // namespace imaging
