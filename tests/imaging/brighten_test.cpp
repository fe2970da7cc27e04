#include "prosvitek/imaging/brighten.h"

#include "prosvitek/imaging/luminance.h"

#include <gtest/gtest.h>

#include <random>

namespace imaging {
namespace {

BrightenSettings Settings(int strength, int threshold, int boost, bool shift = false, int darkest = 0) {
  BrightenSettings s;
  s.strength = strength;
  s.threshold = threshold;
  s.colourBoost = boost;
  s.shiftMode = shift;
  s.darkestLuminance = darkest;
  return s;
}

struct PixelCase {
  const char* what;
  BrightenSettings settings;
  Rgb in, out;
};

TEST(BrightenPixel, CurveShiftAndRejections) {
  const PixelCase cases[] = {
      // Greys get no colour adjustment, so they show the curve alone.
      {"power q 1.25, 10", Settings(15, 170, 3), {10, 10, 10}, {17, 17, 17}},
      {"power q 1.25, 50", Settings(15, 170, 3), {50, 50, 50}, {63, 63, 63}},
      {"power q 1.25, 100", Settings(15, 170, 3), {100, 100, 100}, {111, 111, 111}},
      {"power q 1.25, 150", Settings(15, 170, 3), {150, 150, 150}, {153, 153, 153}},
      {"power q 2", Settings(24, 170, 0), {10, 50, 100}, {41, 92, 130}},
      {"power q 0.5 darkens below T, brightens above", Settings(6, 100, 0), {123, 55, 15}, {151, 30, 2}},
      {"power q 1 is the identity", Settings(12, 200, 0), {3, 99, 180}, {3, 99, 180}},
      {"power candidate of exactly 255 is rejected", Settings(6, 80, 0), {143, 0, 0}, {143, 0, 0}},
      {"power candidate above 255 is rejected", Settings(6, 100, 0), {200, 0, 0}, {200, 0, 0}},
      {"shift: up, from zero, and down above T", Settings(15, 170, 0, true, 5), {255, 0, 100}, {248, 15, 106}},
      {"shift candidate of exactly 255 is taken", Settings(15, 245, 3, true, 240), {240, 240, 240}, {255, 255, 255}},
      {"shift candidate below 0 becomes 0", Settings(150, 100, 0, true, 90), {255, 0, 0}, {0, 0, 0}},
      {"pixel at the threshold is unchanged", Settings(15, 100, 3), {100, 100, 100}, {100, 100, 100}},
      {"grey 27 has luminance 26, below 27", Settings(24, 27, 0), {27, 27, 27}, {27, 27, 27}},
      {"threshold at the darkest luminance changes nothing", Settings(15, 5, 3, true, 5), {0, 0, 0}, {0, 0, 0}},
      {"dominant channel boosted after the curve", Settings(12, 255, 3), {200, 100, 50}, {203, 100, 50}},
      {"tie for the largest channel: no boost", Settings(12, 255, 3), {120, 120, 50}, {120, 120, 50}},
      {"boost that would reach 255 is rejected", Settings(12, 255, 3), {90, 252, 10}, {90, 252, 10}},
      // A 20, E 150: boost Trunc(20 x 12.5) = 250; the curve takes 4 to 2 first.
      {"boost 250 taken by a small channel", Settings(150, 2, 20), {0, 0, 4}, {0, 0, 252}},
      {"boost 250 rejected for a channel of 58", Settings(150, 60, 20), {0, 0, 40}, {0, 0, 58}},
  };
  for (const PixelCase& c : cases) {
    const double q = ExponentFor(c.settings.strength);
    EXPECT_EQ(BrightenPixel(c.in, c.settings, q), c.out) << c.what;
    EXPECT_EQ(BrightenTable(c.settings, q).apply(c.in), c.out) << c.what << " (table)";
  }
}

TEST(BrightenPixel, BoostIsTruncatedProductOfBoostAndExponent) {
  Rgb p{100, 50, 40};
  BrightenTable::AdjustColour(p, static_cast<int>(3 * 1.25));
  EXPECT_EQ(p, (Rgb{103, 50, 40}));
}

TEST(PowerOf, SpecialCasesAndWholeExponents) {
  EXPECT_EQ(PowerOf(0.0L, 0.0L), 1.0L);
  EXPECT_EQ(PowerOf(0.0L, 2.5L), 0.0L);
  EXPECT_EQ(PowerOf(3.0L, 4.0L), 81.0L);
  EXPECT_EQ(PowerOf(2.0L, -2.0L), 0.25L);
  EXPECT_NEAR(static_cast<double>(PowerOf(2.0L, 0.5L)), 1.4142135623730951, 1e-15);
}

// The table must agree with the definition everywhere; the definition is
// slow (three powers per pixel), so every setting gets a large random sample
// plus every colour whose luminance sits next to the threshold.
TEST(BrightenTable, AgreesWithDefinition) {
  const BrightenSettings settings[] = {
      Settings(15, 170, 3),        Settings(1, 255, 20),          Settings(150, 200, 20),
      Settings(6, 100, 1),         Settings(12, 256, 3),          Settings(15, 170, 3, true, 5),
      Settings(150, 120, 5, true, 119), Settings(40, 60, 0, true, 0), Settings(15, 0, 3),
  };
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> channel(0, 255);
  for (const BrightenSettings& s : settings) {
    const double q = ExponentFor(s.strength);
    const BrightenTable table(s, q);
    int checked = 0;
    auto check = [&](Rgb p) {
      ++checked;
      const Rgb a = table.apply(p), b = BrightenPixel(p, s, q);
      ASSERT_EQ(a, b) << "E " << s.strength << " T " << s.threshold << " pixel " << p.red << "," << p.green << ","
                      << p.blue;
    };
    for (int i = 0; i < 200000; ++i) check({channel(rng), channel(rng), channel(rng)});
    for (int r = 0; r < 256; ++r)
      for (int g = 0; g < 256; ++g)
        for (int b = 0; b < 256; ++b) {
          const int l = Luminance(r, g, b);
          if (l == s.threshold || l + 1 == s.threshold) check({r, g, b});
        }
    EXPECT_GT(checked, 200000);
  }
}

Raster Gradient(int w, int h) {
  Raster r(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) r.setPixel(x, y, MakeColour((x * 7) & 255, (y * 5) & 255, (x + y) & 255));
  return r;
}

TEST(BrightenPass, InPlaceEqualsSeparateOutputAndCountsEveryPixel) {
  const Raster in = Gradient(97, 61);
  const BrightenSettings s = Settings(15, 170, 3);
  Raster out(97, 61), inPlace = Gradient(97, 61);
  Histogram hist{};
  BrightenPass(in, out, 1.25, [&](int, int) { return s; }, &hist);
  BrightenPass(inPlace, inPlace, 1.25, [&](int, int) { return s; });
  long total = 0;
  for (auto c : hist) total += c;
  EXPECT_EQ(total, 97 * 61);
  for (int y = 0; y < 61; ++y)
    for (int x = 0; x < 97; ++x) {
      ASSERT_EQ(out.pixel(x, y), inPlace.pixel(x, y));
      const ColourValue c = in.pixel(x, y);
      const Rgb expect = BrightenPixel({RedOf(c), GreenOf(c), BlueOf(c)}, s, 1.25);
      ASSERT_EQ(out.pixel(x, y), MakeColour(expect.red, expect.green, expect.blue));
    }
}

TEST(BrightenPass, SettingsChangedBetweenStepsApplyToTheRemainingRows) {
  const Raster in = Gradient(8, 64);
  Raster out(8, 64);
  std::vector<int> asked;
  BrightenPass(in, out, 1.25, [&](int y, int rows) {
    EXPECT_EQ(rows, 64);
    asked.push_back(y);
    return Settings(15, y < 32 ? 0 : 256, 0);  // nothing changes on top, everything below
  });
  EXPECT_EQ(asked, (std::vector<int>{0, 16, 32, 48}));
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(out.pixel(x, 5), in.pixel(x, 5));
    const ColourValue c = in.pixel(x, 40);
    const Rgb e = BrightenPixel({RedOf(c), GreenOf(c), BlueOf(c)}, Settings(15, 256, 0), 1.25);
    EXPECT_EQ(out.pixel(x, 40), MakeColour(e.red, e.green, e.blue));
  }
}

}  // namespace
}  // namespace imaging
