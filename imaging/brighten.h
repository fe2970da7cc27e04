#pragma once
// The brightening transform: pixels darker than a threshold are lifted along
// a power curve (or shifted), then their one dominant channel may be boosted.

#include "imaging/luminance.h"
#include "imaging/raster.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace imaging {

struct BrightenSettings {
  int strength = 15;       // E, 1..150
  int threshold = 0;       // T: pixels with luminance below it change
  int colourBoost = 3;     // A, 0..20; 0 switches the colour adjustment off
  bool shiftMode = false;  // additive shift instead of the power curve
  double exponent = 1.25;  // q = E / 12, fixed when a pass starts
  int darkestLuminance = 0;  // Lmin of the last analysis, anchor of the shift

  bool operator==(const BrightenSettings&) const = default;
};

// q as a pass computes it from the strength at its start.
inline double ExponentFor(int strength) { return static_cast<double>(strength) / 12.0; }

struct Rgb {
  int red, green, blue;
  bool operator==(const Rgb&) const = default;
};

// x^e in extended precision: 1 for e = 0, 0 for x = 0 and e > 0, repeated
// squaring for whole exponents, exp(e ln x) otherwise.
long double PowerOf(long double base, long double exponent);

// The transform as defined, one pixel at a time.
Rgb BrightenPixel(Rgb in, const BrightenSettings& s);

// The same transform prepared once for fixed settings: the luminance test
// becomes an integer comparison and the curve a 256-entry table. Gives
// bit-identical results to BrightenPixel.
class BrightenTable {
 public:
  explicit BrightenTable(const BrightenSettings& s);
  const BrightenSettings& settings() const { return settings_; }

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
  std::int32_t thresholdKey_;
  int boost_;
  std::array<std::uint8_t, 256> curve_;
};

// Reads the settings at a point where the user may have changed them: every
// kRowsPerStep rows, with the next row; the window processes pending
// messages there, so settings read then are those of every following pixel.
using SettingsAt = std::function<BrightenSettings(int row, int rows)>;

// The pass shared by the preview and the full-resolution save: every pixel of
// `in` is transformed into the same position of `out` (which may be `in`).
// When histogram is given, it counts the luminance of every result pixel.
void BrightenPass(const Raster& in, Raster& out, const SettingsAt& settingsAt, Histogram* histogram = nullptr);

// Brightens rows [firstRow, firstRow + rowCount) of a raster in place; the
// table is rebuilt only when the settings differ from the ones it holds.
void BrightenRows(Raster& raster, int firstRow, int rowCount, const BrightenSettings& settings,
                  std::optional<BrightenTable>& table);

}  // namespace imaging
