#include "prosvitek/files/atomic_file.h"
#include "reference.h"
#include "prosvitek/imaging/jpeg_codec.h"

#include "prosvitek/imaging/errors.h"
#include "jpeg_fixtures.h"
#include "samples.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
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

TEST(JpegCodec, ErrorsCarryLibjpegMessageCodesAndExplanations) {
  try {
    JpegImage jpeg;
    jpeg.LoadFromBytes(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0});
    FAIL() << "no SOI accepted";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.code(), 53);
    EXPECT_STREQ(e.what(), "JPEG error #53: Not a JPEG file: starts with 0x47 0x49");
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

TEST(JpegCodec, FourComponentFilesBecomeRgb) {
  const fs::path cmyk = testsupport::Sample("synthetic/cmyk_1136x852_exif_ii.jpg");
  REQUIRE_SAMPLE(cmyk);
  const Raster r = DecodeJpeg(files::ReadWholeFile(cmyk.string()));
  ASSERT_EQ(r.width(), 1136);
  // C,M,Y,K = 6,0,100,0 there: nearly white minus some yellow.
  const ColourValue c = r.pixel(500, 400);
  EXPECT_NEAR(RedOf(c), 249, 3);
  EXPECT_NEAR(GreenOf(c), 255, 3);
  EXPECT_NEAR(BlueOf(c), 155, 3);
}

TEST(JpegCodec, SegmentsFollowTheJfifHeaderInOrder) {
  const std::vector<JpegSegment> segments = {
      {0xE1, {'E', 'x', 'i', 'f', 0, 0, 1, 2, 3}}, {0xE2, Bytes(300, 7)}, {0xFE, {'h', 'i'}}};
  const Raster raster = RedOverBlue(24, 16);
  for (bool progressive : {false, true}) {
    const Bytes with = EncodeJpeg(raster, 80, progressive, segments);
    const auto markers = fixtures::MarkersBeforeScan(with);
    ASSERT_GE(markers.size(), 5u);
    EXPECT_EQ(std::vector<int>(markers.begin(), markers.begin() + 5), (std::vector<int>{0xE0, 0xE1, 0xE2, 0xFE, 0xDB}));
    // Inserted into a file encoded without them, they give the same bytes.
    Bytes spliced;
    BytesSink sink(spliced);
    WriteWithSegments(sink, EncodeJpeg(raster, 80, progressive), segments);
    EXPECT_EQ(spliced, with);
    EXPECT_EQ(DecodeJpeg(with).byteSize(), raster.byteSize());
  }
  const std::vector<JpegSegment> tooLong = {{0xE1, Bytes(65534, 0)}};
  Bytes ignored;
  BytesSink sink(ignored);
  EXPECT_THROW(WriteWithSegments(sink, EncodeJpeg(raster, 80, false), tooLong), EJPEG);
  EXPECT_THROW(EncodeJpeg(raster, 80, false, tooLong), EJPEG);
}

// The decoder's budget counts the samples and, for a progressive file, the
// coefficients libjpeg keeps for the whole image; beyond it the photo is
// refused before anything image-sized is allocated or read.
TEST(JpegReader, MemoryBudgetCountsSamplesAndProgressiveCoefficients) {
  const Bytes baseline = EncodeJpeg(RedOverBlue(1000, 1000), 80, false);
  const Bytes progressive = EncodeJpeg(RedOverBlue(1000, 1000), 80, true);
  EXPECT_EQ(JpegReader(baseline).NeededBytes(), 3'000'000u);
  // 125 x 125 luminance blocks kept in whole 2 x 2 units, 63 x 63 of each chroma, 128 bytes each.
  EXPECT_EQ(JpegReader(progressive).NeededBytes(), 3'000'000u + (126u * 126 + 2 * 63 * 63) * 128);
  struct Case {
    const char* what;
    Bytes file;
    std::uint64_t budget;
    bool refused;
  };
  const Case cases[] = {
      {"baseline within", baseline, 3'000'000, false},
      {"baseline beyond", baseline, 2'999'999, true},
      {"progressive beyond its coefficients", progressive, 5'000'000, true},
      {"progressive header of 20000 x 20000", fixtures::WithFrameSize(progressive, 20000, 20000), kDefaultMemoryBudget, true},
      {"baseline header of 60000 x 60000", fixtures::WithFrameSize(baseline, 60000, 60000), kDefaultMemoryBudget, true},
  };
  for (const Case& c : cases) {
    JpegReader reader(c.file, DecodeLimits{c.budget, kMaxScans});
    if (!c.refused) {
      EXPECT_NO_THROW(reader.Start()) << c.what;
      continue;
    }
    try {
      reader.Start();
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const PhotoTooLarge& e) {
      EXPECT_NE(std::string(e.what()).find("příliš velká"), std::string::npos) << c.what;
      EXPECT_NE(std::string(e.what()).find("MiB"), std::string::npos) << c.what;
    }
  }
}

TEST(JpegReader, ScanCountIsCapped) {
  const Raster raster = RedOverBlue(64, 48);
  const Bytes many = fixtures::ColourJpeg(raster, 2, 2, kMaxScans + 20), few = fixtures::ColourJpeg(raster, 2, 2, 40);
  ASSERT_TRUE(ReadJpegHeader(many).progressive);
  try {
    DecodeJpeg(many);
    FAIL() << "more scans than allowed were read";
  } catch (const PhotoTooLarge& e) {
    EXPECT_NE(std::string(e.what()).find(std::to_string(kMaxScans)), std::string::npos) << e.what();
  }
  EXPECT_EQ(DecodeJpeg(many, DecodeLimits{kDefaultMemoryBudget, kMaxScans + 20}).width(), 64);
  EXPECT_EQ(DecodeJpeg(few).width(), 64);
}

// Whatever was called before, JpegImage never leaves an empty file.
TEST(JpegImage, NeverWritesAnEmptyFile) {
  const Bytes photo = EncodeJpeg(RedOverBlue(16, 16), 80, false);
  struct Case {
    const char* what;
    std::function<void(JpegImage&)> calls;
    bool writes;
  };
  const Case cases[] = {
      {"nothing loaded", [](JpegImage&) {}, false},
      {"a zero-byte file loaded", [](JpegImage& j) { j.LoadFromBytes({}); }, false},
      {"an empty raster taken", [](JpegImage& j) { j.TakeRaster(Raster()); }, false},
      {"the raster handed out after it was taken", [&](JpegImage& j) {
         j.LoadFromBytes(photo);
         j.TakeRaster(j.ReleaseRaster());
         Raster gone = j.ReleaseRaster();
       }, false},
      {"loaded", [&](JpegImage& j) { j.LoadFromBytes(photo); }, true},
      {"decoded and taken back", [&](JpegImage& j) {
         j.LoadFromBytes(photo);
         j.TakeRaster(j.ReleaseRaster());
       }, true},
  };
  const fs::path target = fs::temp_directory_path() / ("prosvitek-empty-" + std::to_string(::getpid()) + ".jpg");
  for (const Case& c : cases) {
    JpegImage jpeg;
    c.calls(jpeg);
    if (c.writes) {
      jpeg.SaveToFile(target.string());
      EXPECT_GT(fs::file_size(target), 0u) << c.what;
    } else {
      EXPECT_THROW(jpeg.SaveToFile(target.string()), FileError) << c.what;
      EXPECT_FALSE(fs::exists(target)) << c.what;
    }
    fs::remove(target);
  }
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = fixtures::FreshTestFolder("prosvitek-codec"); }
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
  files::WriteFileAtomically(target, Bytes{9, 8, 7, 6});
  EXPECT_EQ(files::ReadWholeFile(target), (Bytes{9, 8, 7, 6}));
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
  EXPECT_THROW(files::WriteFileAtomically(target, Bytes{9, 9, 9, 9}), FileError);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(files::ReadWholeFile(target), (Bytes{1, 2, 3}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

  if (::geteuid() == 0) return;
  fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_THROW(files::WriteFileAtomically(target, Bytes{9, 9}), FileError);
  fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(files::ReadWholeFile(target), (Bytes{1, 2, 3}));
}

TEST_F(AtomicWrite, FailedRenameLeavesNoTemporaryFileBehind) {
  // Renaming onto a folder fails even for root.
  fs::create_directories(dir_ / "photo.jpg");
  fixtures::WriteFile((dir_ / "photo.jpg" / "inside").string(), Bytes{5});
  EXPECT_THROW(files::WriteFileAtomically((dir_ / "photo.jpg").string(), Bytes{9, 9}), FileError);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  EXPECT_EQ(files::ReadWholeFile((dir_ / "photo.jpg" / "inside").string()), Bytes{5});
}

using InputFiles = TempDir;

// Only regular files are read; anything else is refused at once with its
// kind named, a FIFO without waiting for a writer.
TEST_F(InputFiles, OnlyRegularFilesAreOpened) {
  ASSERT_EQ(::mkfifo((dir_ / "fifo.jpg").c_str(), 0600), 0);
  fs::create_directories(dir_ / "folder.jpg");
  fixtures::WriteFile((dir_ / "photo.jpg").string(), Bytes{1, 2, 3});
  const std::pair<std::string, const char*> refused[] = {
      {(dir_ / "fifo.jpg").string(), "FIFO"},
      {(dir_ / "folder.jpg").string(), "složka"},
      {"/dev/null", "zařízení"},
      {(dir_ / "missing.jpg").string(), "missing.jpg"},
  };
  for (const auto& [path, reason] : refused) {
    try {
      files::OpenInputFile(path);
      ADD_FAILURE() << path << " opened";
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_THROW(files::ReadWholeFile(path), FileError) << path;
  }
  const files::InputFile file = files::OpenInputFile((dir_ / "photo.jpg").string());
  EXPECT_EQ(file.size(), 3u);
  std::uint8_t buffer[8] = {};
  EXPECT_EQ(file.ReadAt(1, buffer, sizeof buffer), 2u);
  EXPECT_EQ(buffer[0], 2);
  EXPECT_EQ(file.ReadAt(3, buffer, sizeof buffer), 0u);
}

// A photo followed by 64 GiB of nothing (a sparse file): the decoder reads
// only up to the end of the image.
TEST_F(InputFiles, OnlyWhatTheDecoderNeedsIsRead) {
  const fs::path path = dir_ / "padded.jpg";
  fixtures::WriteFile(path.string(), EncodeJpeg(RedOverBlue(64, 32), 80, false));
  fs::resize_file(path, std::uint64_t{64} << 30);
  const files::InputFile file = files::OpenInputFile(path.string());
  JpegReader reader(file);
  reader.Start();
  std::vector<std::uint8_t> row(3 * 64);
  std::uint8_t* rows[] = {row.data()};
  for (int y = 0; y < 32; ++y) ASSERT_EQ(reader.ReadRows(rows, 1), 1);
  reader.Finish();
  EXPECT_TRUE(reader.Warning().empty());
}

TEST_F(AtomicWrite, MissingFolderGivesReadableError) {
  try {
    files::WriteFileAtomically((dir_ / "no" / "such" / "x.jpg").string(), Bytes{1});
    FAIL();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("x.jpg"), std::string::npos);
  }
}

}  // namespace
}  // namespace imaging
