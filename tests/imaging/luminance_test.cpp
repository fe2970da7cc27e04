#include "prosvitek/imaging/luminance.h"

#include <gtest/gtest.h>

#include <set>

namespace imaging {
namespace {

// The fast path must equal the extended-precision definition for every
// colour; this also runs in the Release build, where the optimiser could
// otherwise have changed the floating-point evaluation.
TEST(Luminance, EqualsDefinitionForEveryColour) {
  long mismatches = 0;
  for (int r = 0; r < 256; ++r)
    for (int g = 0; g < 256; ++g)
      for (int b = 0; b < 256; ++b)
        if (Luminance(r, g, b) != LuminancePlain(r, g, b) && ++mismatches < 10)
          ADD_FAILURE() << r << "," << g << "," << b << ": " << Luminance(r, g, b) << " vs "
                        << LuminancePlain(r, g, b);
  EXPECT_EQ(mismatches, 0);
}

TEST(Luminance, SomeGreysComeOutOneLevelLow) {
  const std::set<int> low = {27, 54, 63, 108, 111, 117, 123, 126, 216, 219, 222, 234, 237, 246, 249, 252};
  for (int v = 0; v < 256; ++v) {
    const int expected = low.count(v) ? v - 1 : v;
    EXPECT_EQ(LuminancePlain(v, v, v), expected) << v;
    EXPECT_EQ(Luminance(v, v, v), expected) << v;
  }
}

TEST(Luminance, KnownColours) {
  struct Case { int r, g, b, l; };
  for (const Case& c : {Case{255, 0, 0, 76}, Case{0, 255, 0, 149}, Case{0, 0, 255, 29}, Case{255, 255, 255, 255},
                        Case{0, 0, 0, 0}, Case{12, 30, 7, 21}})
    EXPECT_EQ(Luminance(c.r, c.g, c.b), c.l) << c.r << "," << c.g << "," << c.b;
}

}  // namespace
}  // namespace imaging
