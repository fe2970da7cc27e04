#include "imaging/render.h"

#include "jpeg_fixtures.h"
#include "samples.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include <unistd.h>

namespace imaging {
namespace {

namespace fs = std::filesystem;

// The fused passes (work done on each batch of rows as it is decoded) must
// give what the plain passes over a decoded raster give, for every decoder
// path: colour, grey palette, and four components.
class FusedPasses : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    path_ = (fs::temp_directory_path() / ("prosvitek-render-" + std::to_string(::getpid()) + ".jpg")).string();
    if (GetParam() == "colour") {
      fixtures::WriteFile(path_, EncodeJpeg(fixtures::MakeRaster(70, 45, [](int x, int y) {
                                              return MakeColour(x * 3, y * 5, (x * y) & 255);
                                            }), 90, true));
    } else if (GetParam() == "grey") {
      fixtures::WriteFile(path_, fixtures::GrayJpeg(90, 37));
    } else {
      const fs::path sample = testsupport::Sample("cmyk_multiple_icc_segments_mm.jpg");
      if (!fs::exists(sample)) GTEST_SKIP() << "samples not available";
      fs::copy_file(sample, path_, fs::copy_options::overwrite_existing);
    }
  }
  void TearDown() override { fs::remove(path_); }
  std::string path_;
};

TEST_P(FusedPasses, MatchThePlainPasses) {
  const Raster plain = DecodePhotoFile(path_);
  const PhotoAnalysis expect = AnalysePhoto(plain);
  std::vector<int> steps;
  const MeasuredPhoto measured = DecodeAndAnalyse(path_, [&](int y, int rows) {
    EXPECT_EQ(rows, plain.height());
    steps.push_back(y);
  });
  EXPECT_EQ(measured.analysis.histogram, expect.histogram);
  EXPECT_EQ(measured.analysis.MinPixel, expect.MinPixel);
  EXPECT_EQ(measured.analysis.MaxPixel, expect.MaxPixel);
  EXPECT_EQ(steps.size(), static_cast<std::size_t>((plain.height() + kRowsPerStep - 1) / kRowsPerStep));

  // Settings that change between steps, as a user's would during a save.
  auto settingsAt = [&](int y, int) {
    BrightenSettings s;
    s.strength = 10 + y;
    s.threshold = 200 - y;
    s.shiftMode = (y / kRowsPerStep) % 2 == 1;
    s.exponent = ExponentFor(10);
    s.darkestLuminance = expect.MinLuminance;
    return s;
  };
  Raster brightened = DecodePhotoFile(path_);
  BrightenPass(brightened, brightened, settingsAt);
  JpegImage rendered = RenderFullResolution(path_, settingsAt);
  const Raster& r = rendered.GetRaster();
  ASSERT_EQ(r.width(), brightened.width());
  for (int y = 0; y < r.height(); ++y)
    ASSERT_EQ(0, std::memcmp(r.row(y), brightened.row(y), r.stride())) << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(DecoderPaths, FusedPasses, ::testing::Values("colour", "grey", "cmyk"));

}  // namespace
}  // namespace imaging
