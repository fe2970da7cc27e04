#include "prosvitek/imaging/view_render.h"

#include "prosvitek/imaging/errors.h"
#include "prosvitek/imaging/orientation.h"
#include "jpeg_fixtures.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace imaging {
namespace {

// One letter per pixel, row by row: how a raster of distinct pixels looks.
std::string Letters(const Raster& r) {
  std::string s;
  for (int y = 0; y < r.height(); ++y) {
    if (y) s += '/';
    for (int x = 0; x < r.width(); ++x) s += static_cast<char>('a' + RedOf(r.pixel(x, y)));
  }
  return s;
}

TEST(Orientation, TurnsAndMirrorsAsEachOrientationSays) {
  const Raster stored = fixtures::MakeRaster(3, 2, [](int x, int y) { return MakeColour(3 * y + x, 0, 0); });
  ASSERT_EQ(Letters(stored), "abc/def");
  const char* const shown[] = {"abc/def",  "cba/fed",  "fed/cba",  "def/abc",
                               "ad/be/cf", "da/eb/fc", "fc/eb/da", "cf/be/ad"};
  for (int o = 1; o <= 8; ++o) {
    const Raster turned = Oriented(stored, o);
    EXPECT_EQ(Letters(turned), shown[o - 1]) << "orientation " << o;
    // Every part of what is shown comes from the stored rectangle named for it.
    const PixelRect part{turned.width() - 2, 1, 2, turned.height() - 1};
    const PixelRect from = StoredRect(o, 3, 2, part);
    Raster piece(from.width, from.height);
    for (int y = 0; y < from.height; ++y)
      for (int x = 0; x < from.width; ++x) piece.setPixel(x, y, stored.pixel(from.x + x, from.y + y));
    const Raster pieceShown = Oriented(piece, o);
    ASSERT_EQ(pieceShown.width(), part.width) << o;
    for (int y = 0; y < part.height; ++y)
      for (int x = 0; x < part.width; ++x) EXPECT_EQ(pieceShown.pixel(x, y), turned.pixel(part.x + x, part.y + y)) << o;
  }
  EXPECT_EQ(Letters(Oriented(stored, 0)), "abc/def");  // not an orientation: as stored
  EXPECT_EQ(Letters(Oriented(stored, 9)), "abc/def");
}

// Average of each scale x scale block (fewer at the right and bottom edges).
Raster BoxDown(const Raster& full, int scale) {
  Raster out((full.width() + scale - 1) / scale, (full.height() + scale - 1) / scale);
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x) {
      int sum[3] = {}, n = 0;
      for (int v = y * scale; v < std::min((y + 1) * scale, full.height()); ++v)
        for (int u = x * scale; u < std::min((x + 1) * scale, full.width()); ++u, ++n)
          for (int c = 0; c < 3; ++c) sum[c] += full.row(v)[3 * u + c];
      for (int c = 0; c < 3; ++c) out.row(y)[3 * x + c] = static_cast<std::uint8_t>((sum[c] + n / 2) / n);
    }
  return out;
}

double MeanDifference(const Raster& a, const Raster& b) {
  long long sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (std::size_t i = 0; i < a.stride(); ++i) sum += std::abs(a.row(y)[i] - b.row(y)[i]);
  return static_cast<double>(sum) / static_cast<double>(a.byteSize());
}

bool SamePixels(const Raster& a, const Raster& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y)
    if (std::memcmp(a.row(y), b.row(y), a.stride()) != 0) return false;
  return true;
}

Raster Crop(const Raster& r, const PixelRect& rect) {
  Raster out(rect.width, rect.height);
  for (int y = 0; y < rect.height; ++y) std::memcpy(out.row(y), r.row(rect.y + y) + 3 * rect.x, out.stride());
  return out;
}

// The view at each scale against the pipeline's full-size rows, averaged
// down by the same factor (the scaled inverse DCT averages in its own way,
// so they agree closely, not exactly); the brightened view against the
// full-size rows brightened, then averaged. Regions at full size are the
// full-size rows exactly, also passed over from the top and turned.
TEST(ViewRender, EachScaleShowsThePhotoAsItsFullSizeRowsDo) {
  const Raster scene =
      fixtures::MakeRaster(203, 130, [](int x, int y) { return MakeColour(x + y / 3, 40 + (x * y) / 300, 200 - y); });
  BrightenSettings settings;
  settings.threshold = 180;
  settings.darkestLuminance = 20;
  const double exponent = ExponentFor(40);
  for (const bool progressive : {false, true}) {
    const Bytes jpeg = EncodeJpeg(scene, 95, progressive);
    const files::InputFile file = files::InputFile::FromMemory(jpeg);
    const Raster full = DecodeJpeg(jpeg);
    const Raster fullAfter = BrightenView(full, settings, exponent);
    for (const int orientation : {1, 6, 7}) {
      for (const int scale : kViewScales) {
        SCOPED_TRACE("progressive " + std::to_string(progressive) + " orientation " + std::to_string(orientation) +
                     " scale 1/" + std::to_string(scale));
        const ViewPixels view = DecodeView(file, {scale, orientation, {}});
        const Raster expected = Oriented(BoxDown(full, scale), orientation);
        ASSERT_EQ(view.pixels.width(), expected.width());
        ASSERT_EQ(view.pixels.height(), expected.height());
        EXPECT_EQ(view.shownWidth, expected.width());
        EXPECT_EQ(view.region, (PixelRect{0, 0, expected.width(), expected.height()}));
        EXPECT_LT(MeanDifference(view.pixels, expected), scale == 1 ? 0.01 : 1.0);
        EXPECT_LT(MeanDifference(BrightenView(view.pixels, settings, exponent),
                                 Oriented(BoxDown(fullAfter, scale), orientation)),
                  scale == 1 ? 0.01 : 1.0);

        // A region is that part of the whole view, clipped to the photo.
        const PixelRect wanted{view.shownWidth / 3, view.shownHeight / 2, view.shownWidth, 9};
        const ViewPixels part = DecodeView(file, {scale, orientation, wanted});
        const PixelRect clipped{wanted.x, wanted.y, view.shownWidth - wanted.x, 9};
        EXPECT_EQ(part.region, clipped);
        EXPECT_TRUE(SamePixels(part.pixels, Crop(view.pixels, clipped)));
      }
    }
  }
}

TEST(ViewRender, ScaleIsTheSmallestPictureThatStillFillsTheView) {
  struct Case {
    int orientation, width, height, wantWidth, wantHeight, scale;
  };
  const Case cases[] = {
      {1, 6000, 4000, 1200, 800, 4}, {1, 6000, 4000, 750, 500, 8},   {1, 6000, 4000, 751, 500, 4},
      {6, 6000, 4000, 600, 900, 4},  {6, 6000, 4000, 1200, 1600, 2}, {1, 300, 200, 320, 240, 1},
      {1, 6001, 4001, 751, 501, 8},  // 6001 / 8 rounds up to 751
  };
  for (const Case& c : cases)
    EXPECT_EQ(ViewScaleFor(c.orientation, c.width, c.height, c.wantWidth, c.wantHeight), c.scale)
        << c.width << "x" << c.height << " into " << c.wantWidth << "x" << c.wantHeight;
}

TEST(ViewRender, RefusesWhatTheReaderRefuses) {
  const Bytes notJpeg = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  EXPECT_THROW(DecodeView(files::InputFile::FromMemory(notJpeg), {8, 1, {}}), EJPEG);
  const Bytes jpeg = EncodeJpeg(fixtures::MakeRaster(64, 64, [](int, int) { return 0u; }), 90, false);
  DecodeLimits tight;
  tight.memoryBudget = 1000;
  EXPECT_THROW(DecodeView(files::InputFile::FromMemory(jpeg), {8, 1, {}}, tight), PhotoTooLarge);
}

}  // namespace
}  // namespace imaging
