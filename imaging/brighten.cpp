#include "prosvitek/imaging/brighten.h"

#include "prosvitek/imaging/luminance.h"
#include "prosvitek/imaging/analysis.h"
#include "pixel_kernels.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace imaging {

long double PowerOf(long double base, long double exponent) {
  if (exponent == 0.0L) return 1.0L;
  if (base == 0.0L && exponent > 0.0L) return 0.0L;
  if (std::trunc(exponent) == exponent && std::fabs(exponent) <= 2147483647.0L) {
    // Repeated squaring, multiplying in the order the classic integer power does.
    const long n = static_cast<long>(exponent);
    unsigned long y = static_cast<unsigned long>(n < 0 ? -n : n);
    long double b = base;
    long double result = 1.0L;
    while (y > 0) {
      while ((y & 1u) == 0) {
        y >>= 1;
        b = b * b;
      }
      --y;
      result = result * b;
    }
    return n < 0 ? 1.0L / result : result;
  }
  return std::exp(exponent * std::log(base));
}

namespace {

// New value of one channel value c of a pixel below the threshold, before
// the colour adjustment. P is T^(q-1), used by the power curve only.
int BrightenChannel(int c, const BrightenSettings& s, double exponent, long double powerFactor) {
  const int t = s.threshold;
  if (s.shiftMode) {
    if (t == s.darkestLuminance) return c;  // cannot arise with the true darkest luminance
    const long double quotient = static_cast<long double>(t - c) / static_cast<long double>(t - s.darkestLuminance);
    const long double shift = std::trunc(quotient * static_cast<long double>(s.strength));
    const long double k = static_cast<long double>(c) + shift;
    if (k < 0.0L) return 0;  // a large negative shift darkens to black, never wraps
    return k < 256.0L ? static_cast<int>(k) : c;
  }
  const long double q = exponent;
  const long double k = std::trunc(PowerOf(static_cast<long double>(c) * powerFactor, 1.0L / q));
  return k < 255.0L ? static_cast<int>(k) : c;
}

long double PowerFactor(const BrightenSettings& s, double exponent) {
  const long double q = exponent;
  return PowerOf(static_cast<long double>(s.threshold), q - 1.0L);
}

int BoostOf(const BrightenSettings& s, double exponent) {
  if (s.colourBoost <= 0) return 0;
  return static_cast<int>(std::trunc(static_cast<long double>(s.colourBoost) * static_cast<long double>(exponent)));
}

}  // namespace

BrightenSettings SettingsFor(const ControlValues& c, int darkestLuminance) {
  BrightenSettings s;
  s.strength = c.strength;
  s.threshold = c.threshold;
  s.colourBoost = c.colourBoost;
  s.shiftMode = c.shiftMode;
  s.darkestLuminance = darkestLuminance;
  return s;
}

Rgb BrightenPixel(Rgb in, const BrightenSettings& s, double q) {
  if (Luminance(in.red, in.green, in.blue) >= s.threshold) return in;
  const long double p = s.shiftMode ? 0.0L : PowerFactor(s, q);
  Rgb out{BrightenChannel(in.red, s, q, p), BrightenChannel(in.green, s, q, p), BrightenChannel(in.blue, s, q, p)};
  if (s.colourBoost > 0) BrightenTable::AdjustColour(out, BoostOf(s, q));
  return out;
}

BrightenTable::BrightenTable(const BrightenSettings& s, double q)
    : settings_(s), exponent_(q), thresholdKey_(0), boost_(BoostOf(s, q)), curve_{} {
  // Luminance is at most 255, so thresholds beyond 256 behave as 256; the
  // clamp keeps the scaled key inside 32 bits for any control value.
  const int t = s.threshold < 0 ? 0 : (s.threshold > 256 ? 256 : s.threshold);
  thresholdKey_ = 10000 * t;
  const long double p = s.shiftMode ? 0.0L : PowerFactor(s, q);
  for (int c = 0; c < 256; ++c)
    curve_[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(BrightenChannel(c, s, q, p));
}

bool BrightenTable::belowOnBoundary(Rgb in) const {
  return LuminanceOnBoundary(in.red, in.green, in.blue) < settings_.threshold;
}

const BrightenTable& TableFor(const BrightenSettings& s, double exponent, std::optional<BrightenTable>& table) {
  if (!table || table->settings() != s || table->exponent() != exponent) table.emplace(s, exponent);
  return *table;
}

void BrightenPass(const Raster& in, Raster& out, double exponent, const SettingsAt& settingsAt, Histogram* histogram,
                  int histogramRows) {
  std::optional<BrightenTable> table;
  RowAnalysis counts;
  const BrightenTable* current = nullptr;
  for (int y = 0; y < in.height(); ++y) {
    if (y % kRowsPerStep == 0) current = &TableFor(settingsAt(y, in.height()), exponent, table);
    BrightenRow(*current, in.row(y), out.row(y), in.width());
    if (histogram && y < histogramRows) AnalyseRow(out.row(y), out.width(), 0, y, counts);
  }
  if (histogram) *histogram = counts.histogram();
}

}  // namespace imaging
