#pragma once
// The brightening transform: pixels darker than a threshold are lifted along
// a power curve (or shifted), then their one dominant channel may be boosted.

#include "prosvitek/imaging/luminance.h"
#include "prosvitek/imaging/raster.h"

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>

namespace imaging {

// Defaults of the controls, for the window and the command line alike.
constexpr int kDefaultStrength = 15;
constexpr int kDefaultColourBoost = 3;
constexpr int kDefaultQuality = 85;

// The settings a pass reads every kRowsPerStep rows. The exponent q is not
// among them: a pass fixes it from the strength at its start and is given it
// on its own.
struct BrightenSettings {
  int strength = kDefaultStrength;        // E, 1..150
  int threshold = 0;                      // T: pixels with luminance below it change
  int colourBoost = kDefaultColourBoost;  // A, 0..20; 0 switches the colour adjustment off
  bool shiftMode = false;                 // additive shift instead of the power curve
  int darkestLuminance = 0;               // Lmin of the last analysis, anchor of the shift

  bool operator==(const BrightenSettings&) const = default;
};

// q as a pass computes it from the strength at its start.
inline double ExponentFor(int strength) { return static_cast<double>(strength) / 12.0; }

// The controls' values (or the command line's options) and the analysis of
// the open photo, as the transform takes them. The threshold is taken as the
// control holds it.
struct ControlValues {
  int strength = kDefaultStrength;
  int threshold = 0;
  int colourBoost = kDefaultColourBoost;
  bool shiftMode = false;
};
BrightenSettings SettingsFor(const ControlValues& controls, int darkestLuminance);

struct Rgb {
  int red, green, blue;
  bool operator==(const Rgb&) const = default;
};

// x^e in extended precision: 1 for e = 0, 0 for x = 0 and e > 0, repeated
// squaring for whole exponents, exp(e ln x) otherwise.
long double PowerOf(long double base, long double exponent);

// The transform as defined, one pixel at a time, with q the pass's exponent.
Rgb BrightenPixel(Rgb in, const BrightenSettings& s, double exponent);

// The same transform prepared once for fixed settings: the luminance test
// becomes an integer comparison and the curve a 256-entry table. Gives
// bit-identical results to BrightenPixel.
class BrightenTable {
 public:
  BrightenTable(const BrightenSettings& s, double exponent);
  const BrightenSettings& settings() const { return settings_; }
  double exponent() const { return exponent_; }

  // 10000 x T (T clamped to 0..256): pixels whose luminance key lies below
  // change, above it nothing does, and on it the exact luminance decides.
  std::int32_t thresholdKey() const { return thresholdKey_; }
  // Trunc(A x q), 0 when the colour adjustment is off.
  int boost() const { return boost_; }
  // New channel value for every old one, before the colour adjustment.
  const std::array<std::uint8_t, 256>& curve() const { return curve_; }
  // Whether a pixel whose key equals thresholdKey() lies below the threshold.
  bool belowOnBoundary(Rgb in) const;

  Rgb apply(Rgb in) const {
    const std::int32_t key = 2989 * in.red + 5866 * in.green + 1145 * in.blue;
    if (key >= thresholdKey_ && (key != thresholdKey_ || !belowOnBoundary(in))) return in;
    Rgb out{curve_[static_cast<std::size_t>(in.red)], curve_[static_cast<std::size_t>(in.green)],
            curve_[static_cast<std::size_t>(in.blue)]};
    if (boost_ > 0) AdjustColour(out, boost_);
    return out;
  }

  // Colour adjustment: the one strictly largest channel grows by boost
  // while it stays below 255.
  static void AdjustColour(Rgb& p, int boost) {
    if (p.red > p.green && p.red > p.blue) {
      if (p.red + boost < 255) p.red += boost;
    } else if (p.green > p.red && p.green > p.blue) {
      if (p.green + boost < 255) p.green += boost;
    } else if (p.blue > p.red && p.blue > p.green) {
      if (p.blue + boost < 255) p.blue += boost;
    }
  }

 private:
  BrightenSettings settings_;
  double exponent_;
  std::int32_t thresholdKey_;
  int boost_;
  std::array<std::uint8_t, 256> curve_;
};

// The settings of the step of rows that starts at `row`, asked for every
// kRowsPerStep rows in order; settings read then are those of every pixel of
// the step.
using SettingsAt = std::function<BrightenSettings(int row, int rows)>;

// The pass over a whole raster, as the preview uses it: every pixel of `in`
// is transformed into the same position of `out` (which may be `in`). When
// histogram is given, it counts the luminance of every result pixel of the
// first `histogramRows` rows (a preview's rows below them may show the grey
// filler of a photo that ended early).
void BrightenPass(const Raster& in, Raster& out, double exponent, const SettingsAt& settingsAt,
                  Histogram* histogram = nullptr, int histogramRows = INT_MAX);

// The table for the settings, rebuilt only when they differ from the ones it holds.
const BrightenTable& TableFor(const BrightenSettings& s, double exponent, std::optional<BrightenTable>& table);

}  // namespace imaging
