#include "imaging/jpeg_codec.h"

#include "imaging/errors.h"
#include "jpeg_fixtures.h"
#include "samples.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {
namespace {

namespace fs = std::filesystem;
using fixtures::MakeRaster;

// Red top half, blue bottom half.
Raster RedOverBlue(int w, int h) {
  return MakeRaster(w, h, [h](int, int y) { return y < h / 2 ? MakeColour(255, 0, 0) : MakeColour(0, 0, 255); });
}

TEST(JpegCodec, RoundTripKeepsColoursAndOrientation) {
  const Bytes file = EncodeJpeg(RedOverBlue(64, 64), 95, false);
  const Raster r = DecodeJpeg(file);
  ASSERT_EQ(r.width(), 64);
  ASSERT_EQ(r.height(), 64);
  const ColourValue top = r.pixel(10, 5), bottom = r.pixel(10, 60);
  EXPECT_GT(RedOf(top), 240);  // no red/blue swap either way
  EXPECT_LT(BlueOf(top), 15);
  EXPECT_GT(BlueOf(bottom), 240);  // top row stays on top
  EXPECT_LT(RedOf(bottom), 15);
}

TEST(JpegCodec, ProgressiveModeTravelsFromSourceToSavedFile) {
  for (bool progressive : {false, true}) {
    JpegImage jpeg;
    jpeg.LoadFromBytes(EncodeJpeg(RedOverBlue(32, 16), 80, progressive));
    EXPECT_EQ(jpeg.ProgressiveEncoding(), progressive);
    Raster r = jpeg.ReleaseRaster();
    jpeg.TakeRaster(std::move(r));
    jpeg.SetCompressionQuality(70);
    const Bytes saved = jpeg.FileBytes();
    EXPECT_EQ(ReadJpegHeader(saved).progressive, progressive);
    const auto markers = fixtures::MarkersBeforeScan(saved);
    EXPECT_EQ(std::count(markers.begin(), markers.end(), progressive ? 0xC2 : 0xC0), 1);
  }
}

TEST(JpegCodec, QualitySetsStandardTables) {
  const std::array<int, 64> annexKLuma = {
      16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,  14, 13, 16, 24, 40,  57,
      69, 56, 14, 17, 22,  29,  51,  87,  80, 62, 18, 22, 37,  56,  68,  109, 103, 77, 24, 35, 55, 64,
      81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
  std::array<int, 64> annexKChroma{};
  annexKChroma.fill(99);
  const int chromaTop[4][4] = {{17, 18, 24, 47}, {18, 21, 26, 66}, {24, 26, 56, 99}, {47, 66, 99, 99}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) annexKChroma[static_cast<std::size_t>(r * 8 + c)] = chromaTop[r][c];

  const auto q50 = fixtures::QuantTables(EncodeJpeg(RedOverBlue(16, 16), 50, false));
  EXPECT_EQ(q50[0], annexKLuma);
  EXPECT_EQ(q50[1], annexKChroma);
  const auto q100 = fixtures::QuantTables(EncodeJpeg(RedOverBlue(16, 16), 100, false));
  for (int t = 0; t < 2; ++t)
    for (int v : q100[static_cast<std::size_t>(t)]) ASSERT_EQ(v, 1);
}

TEST(JpegCodec, SavedFileIsPlainJfifWithoutMetadata) {
  const Bytes file = EncodeJpeg(RedOverBlue(16, 16), 85, false);
  ASSERT_GE(file.size(), 20u);
  EXPECT_EQ(file[0], 0xFF);
  EXPECT_EQ(file[1], 0xD8);
  EXPECT_EQ(std::string(file.begin() + 6, file.begin() + 11), std::string("JFIF\0", 5));
  EXPECT_EQ(file[11], 1);  // version 1.01
  EXPECT_EQ(file[12], 1);
  EXPECT_EQ(file[13], 0);  // density unit 0, density 1 x 1
  const std::vector<int> expected = {0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA};
  EXPECT_EQ(fixtures::MarkersBeforeScan(file), expected);
  EXPECT_EQ(file[file.size() - 2], 0xFF);
  EXPECT_EQ(file[file.size() - 1], 0xD9);
}

TEST(JpegCodec, GrayscaleDecodesToAtMost236DitheredGreyLevels) {
  const Raster r = DecodeJpeg(fixtures::GrayJpeg(512, 16));
  std::set<ColourValue> levels;
  for (int y = 0; y < r.height(); ++y)
    for (int x = 0; x < r.width(); ++x) {
      const ColourValue c = r.pixel(x, y);
      ASSERT_EQ(RedOf(c), GreenOf(c));
      ASSERT_EQ(GreenOf(c), BlueOf(c));
      levels.insert(c);
    }
  EXPECT_LE(levels.size(), 236u);
  EXPECT_GT(levels.size(), 200u);  // a full ramp uses nearly all of them
  // Not every value of 0..255 exists in the palette: 236 levels spread evenly.
  EXPECT_EQ(levels.count(MakeColour(0, 0, 0)), 1u);
  EXPECT_EQ(levels.count(MakeColour(255, 255, 255)), 1u);
}

TEST(JpegCodec, ErrorsCarryLibjpegMessageCodes) {
  try {
    JpegImage jpeg;
    jpeg.LoadFromBytes(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0});
    FAIL() << "no SOI accepted";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.code(), 53);
    EXPECT_STREQ(e.what(), "JPEG error #53");
  }
  JpegImage empty;
  empty.LoadFromBytes({});  // a zero-byte file loads...
  try {
    empty.GetRaster();  // ...and fails when decoded
    FAIL() << "empty file decoded";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.code(), 42);
  }
}

TEST(JpegCodec, TruncatedFileDecodesAsFarAsItGoes) {
  // Noise makes the entropy-coded data most of the file, so the cut lands there.
  Bytes file = EncodeJpeg(MakeRaster(256, 256, [](int x, int y) {
                            const unsigned h = static_cast<unsigned>(x * 7919 + y * 104729) * 2654435761u;
                            return y < 64 ? MakeColour(255, 0, 0) : MakeColour(h & 255, (h >> 8) & 255, (h >> 16) & 255);
                          }), 90, false);
  file.resize(file.size() * 2 / 3);
  const Raster r = DecodeJpeg(file);
  EXPECT_EQ(r.width(), 256);
  EXPECT_GT(RedOf(r.pixel(0, 0)), 240);
}

TEST(JpegCodec, HugeDeclaredSizeIsRefusedBeforeAllocating) {
  const Bytes file = fixtures::WithFrameSize(EncodeJpeg(RedOverBlue(16, 16), 90, false), 60000, 60000);
  EXPECT_THROW(DecodeJpeg(file), RasterTooLarge);
  EXPECT_EQ(ReadJpegHeader(file).width, 60000);
}

TEST(JpegCodec, FourComponentFilesBecomeRgb) {
  const fs::path cmyk = testsupport::Sample("synthetic/cmyk_1136x852_exif_ii.jpg");
  REQUIRE_SAMPLE(cmyk);
  const Raster r = DecodeJpeg(ReadWholeFile(cmyk.string()));
  ASSERT_EQ(r.width(), 1136);
  // C,M,Y,K = 6,0,100,0 there: nearly white minus some yellow.
  const ColourValue c = r.pixel(500, 400);
  EXPECT_NEAR(RedOf(c), 249, 3);
  EXPECT_NEAR(GreenOf(c), 255, 3);
  EXPECT_NEAR(BlueOf(c), 155, 3);
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("prosvitek-codec-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

using AtomicWrite = TempDir;

TEST_F(AtomicWrite, ReplacesTargetAndLeavesNoTemporaryFile) {
  const std::string target = (dir_ / "out.jpg").string();
  fixtures::WriteFile(target, Bytes{1, 2, 3});
  WriteFileAtomically(target, Bytes{9, 8, 7, 6});
  EXPECT_EQ(ReadWholeFile(target), (Bytes{9, 8, 7, 6}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

// A write that fails half-way (a full disk, met as a file-size limit, which
// stops root too) or at the start (a folder refusing new files, which root
// ignores) leaves the target as it was and nothing beside it.
TEST_F(AtomicWrite, FailureKeepsTheExistingTargetByteForByte) {
  const std::string target = (dir_ / "keep.jpg").string();
  fixtures::WriteFile(target, Bytes{1, 2, 3});
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 2;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW(WriteFileAtomically(target, Bytes{9, 9, 9, 9}), FileError);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(ReadWholeFile(target), (Bytes{1, 2, 3}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

  if (::geteuid() == 0) return;
  fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_THROW(WriteFileAtomically(target, Bytes{9, 9}), FileError);
  fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(ReadWholeFile(target), (Bytes{1, 2, 3}));
}

TEST_F(AtomicWrite, FailedRenameLeavesNoTemporaryFileBehind) {
  // Renaming onto a folder fails even for root.
  fs::create_directories(dir_ / "photo.jpg");
  fixtures::WriteFile((dir_ / "photo.jpg" / "inside").string(), Bytes{5});
  EXPECT_THROW(WriteFileAtomically((dir_ / "photo.jpg").string(), Bytes{9, 9}), FileError);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  EXPECT_EQ(ReadWholeFile((dir_ / "photo.jpg" / "inside").string()), Bytes{5});
}

TEST_F(AtomicWrite, MissingFolderGivesReadableError) {
  try {
    WriteFileAtomically((dir_ / "no" / "such" / "x.jpg").string(), Bytes{1});
    FAIL();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("x.jpg"), std::string::npos);
  }
}

}  // namespace
}  // namespace imaging
