#include "reference.h"
#include "prosvitek/imaging/analysis.h"

#include "prosvitek/imaging/luminance.h"
#include "jpeg_fixtures.h"

#include <gtest/gtest.h>

namespace imaging {
namespace {

using fixtures::MakeRaster;

TEST(FitPreviewSize, LandscapePortraitSquareAndHalves) {
  struct Case { int w, h; PreviewSize expect; };
  const Case cases[] = {
      {4000, 3000, {320, 240}}, {3000, 4000, {180, 240}}, {1000, 1000, {240, 240}},
      {1000, 563, {320, 180}},  // 180.16
      {640, 1, {320, 0}},       // exactly 0.5 rounds to the even 0
      {1280, 3, {320, 1}},      // exactly 0.75
      {64, 3, {320, 15}},       // exactly 15: not a half
      {128, 9, {320, 22}},      // exactly 22.5 rounds to the even 22
      {128, 11, {320, 28}},     // 27.5 rounds to the even 28
      {1, 480, {0, 240}},       // exactly 0.5 again
      {3, 32, {22, 240}},       // 22.5 -> 22
      {1, 1, {240, 240}},
  };
  for (const Case& c : cases) EXPECT_EQ(FitPreviewSize(c.w, c.h), c.expect) << c.w << "x" << c.h;
}

TEST(AnalysePhoto, UniformPhotoRecordsTheFirstPixelAndPrimesAnInvertedRange) {
  const Raster r = MakeRaster(7, 5, [](int, int) { return MakeColour(100, 100, 100); });
  const PhotoAnalysis a = AnalysePhoto(r);
  EXPECT_EQ(a.MinLuminance, 100);
  EXPECT_EQ(a.MaxLuminance, 100);
  EXPECT_EQ(a.MinPixel, (PixelSample{MakeColour(100, 100, 100), 0, 0, 100, 100, 100}));
  EXPECT_EQ(a.MaxPixel, a.MinPixel);
  EXPECT_EQ(a.histogram[100], 35);
  const ThresholdRange t = PrimeThreshold(a);
  EXPECT_EQ(t.minimum, 101);
  EXPECT_EQ(t.maximum, 100);
  EXPECT_EQ(t.value, 101);  // 67 clamped up to the minimum
}

TEST(AnalysePhoto, BlackAndWhitePhotosKeepTheUnseenExtremeEmpty) {
  const PhotoAnalysis black = AnalysePhoto(MakeRaster(4, 4, [](int, int) { return 0u; }));
  EXPECT_EQ(black.MaxLuminance, 0);
  EXPECT_EQ(black.MaxPixel, PixelSample{});
  EXPECT_EQ(black.MinLuminance, 0);
  const PhotoAnalysis white = AnalysePhoto(MakeRaster(4, 4, [](int, int) { return MakeColour(255, 255, 255); }));
  EXPECT_EQ(white.MinLuminance, 255);
  EXPECT_EQ(white.MinPixel, PixelSample{});
  EXPECT_EQ(white.MaxLuminance, 255);
  EXPECT_EQ(white.MaxPixel.X, 0);
}

TEST(AnalysePhoto, TiesGoToTheLeftmostColumnThenTheTopmostRow) {
  // Dark pixels at (5,1), (3,4), (3,6); bright at (6,0), (2,7), (2,3).
  auto f = [](int x, int y) -> ColourValue {
    if ((x == 5 && y == 1) || (x == 3 && y == 4) || (x == 3 && y == 6)) return MakeColour(1, 2, 3);
    if ((x == 6 && y == 0) || (x == 2 && y == 7) || (x == 2 && y == 3)) return MakeColour(250, 251, 252);
    return MakeColour(90, 90, 90);
  };
  // Rows are scanned in memory order, yet the leftmost column wins, then the topmost row.
  const PhotoAnalysis a = AnalysePhoto(MakeRaster(9, 8, f));
  EXPECT_EQ(a.MinPixel.X, 3);
  EXPECT_EQ(a.MinPixel.Y, 4);
  EXPECT_EQ(a.MaxPixel.X, 2);
  EXPECT_EQ(a.MaxPixel.Y, 3);
  EXPECT_EQ(a.MinPixel.Colour, MakeColour(1, 2, 3));
  EXPECT_EQ(a.MaxLuminance, Luminance(250, 251, 252));
}

TEST(AnalysePhoto, HistogramCountsEveryPixelAndHookSeesEveryStep) {
  const Raster r = MakeRaster(11, 37, [](int x, int y) { return MakeColour(x * 7 % 256, y * 23 % 256, (x ^ y) % 256); });
  std::vector<int> rows;
  const PhotoAnalysis a = AnalysePhoto(r, [&](int y, int) { rows.push_back(y); });
  EXPECT_EQ(rows, (std::vector<int>{0, 16, 32}));
  Histogram expect{};
  for (int y = 0; y < 37; ++y)
    for (int x = 0; x < 11; ++x) {
      const ColourValue c = r.pixel(x, y);
      ++expect[static_cast<std::size_t>(Luminance(RedOf(c), GreenOf(c), BlueOf(c)))];
    }
  EXPECT_EQ(a.histogram, expect);
}

TEST(SpinClamp, ClampsUnlessMinimumEqualsMaximum) {
  EXPECT_EQ(SpinClamp(500, 1, 150), 150);
  EXPECT_EQ(SpinClamp(0, 1, 150), 1);
  EXPECT_EQ(SpinClamp(67, 100, 100), 67);
  EXPECT_EQ(SpinClamp(5, 101, 100), 101);
  EXPECT_EQ(SpinClamp(200, 101, 100), 100);  // an inverted range: below min first, then above max
}

TEST(PrimeThreshold, DarkestAndBrightestSetTheRange) {
  PhotoAnalysis a;
  a.MinLuminance = 99;
  a.MaxLuminance = 100;
  const ThresholdRange t = PrimeThreshold(a);
  EXPECT_EQ(t.minimum, 100);
  EXPECT_EQ(t.maximum, 100);
  EXPECT_EQ(t.value, 67);  // 100 - 33, taken unclamped
  a.MinLuminance = 3;
  a.MaxLuminance = 250;
  EXPECT_EQ(PrimeThreshold(a).value, 167);
}

TEST(StretchNearest, SamplesWithoutAveraging) {
  const Raster r = MakeRaster(4, 2, [](int x, int y) { return MakeColour(x * 60, y * 200, 0); });
  const Raster up = StretchNearest(r, 8, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(up.pixel(x, y), r.pixel(x / 2, y / 2));
  const Raster down = StretchNearest(r, 2, 1);
  EXPECT_EQ(down.pixel(0, 0), r.pixel(1, 1));
  EXPECT_EQ(down.pixel(1, 0), r.pixel(3, 1));
  EXPECT_TRUE(StretchNearest(r, 0, 5).empty());
}

}  // namespace
}  // namespace imaging
