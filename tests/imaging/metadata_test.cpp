#include "imaging/metadata.h"

#include "exif_builder.h"
#include "imaging/errors.h"
#include "imaging/jpeg_codec.h"
#include "jpeg_fixtures.h"
#include "samples.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using exiftest::Order;
using exiftest::Segment;
using exiftest::TiffBuilder;
using imaging::Bytes;
using imaging::JpegSegment;
using namespace std::string_literals;

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The TIFF block of an EXIF segment with the given IFD0 fields.
std::string Tiff(Order order, const std::function<std::vector<exiftest::Field>(TiffBuilder&)>& fields) {
  TiffBuilder tiff(order);
  tiff.SetFirstIfd(tiff.Ifd(fields(tiff)));
  return tiff.Bytes();
}

std::string ExifBody(const std::string& tiff) { return std::string("Exif\0\0", 6) + tiff; }

// A camera's EXIF block: make, model, orientation and a GPS pointer.
std::string CameraExif(int orientation) {
  return ExifBody(Tiff(Order::Intel, [&](TiffBuilder& t) {
    return std::vector<exiftest::Field>{t.Ascii(0x010F, "Maker"), t.Ascii(0x0110, "Model X"),
                                        t.Short(0x0112, {static_cast<uint16_t>(orientation)}),
                                        t.Long(0x8825, {0})};
  }));
}

std::string IccBody(int seq, int count, char fill) {
  return std::string("ICC_PROFILE\0", 12) + static_cast<char>(seq) + static_cast<char>(count) +
         std::string(100, fill);
}

const std::string kXmpBody = std::string("http://ns.adobe.com/xap/1.0/\0", 29) + "<x:xmpmeta/>";

// A real, decodable photo with the segments put right after SOI.
Bytes PhotoWith(const std::vector<std::string>& segments) {
  Bytes jpeg = imaging::EncodeJpeg(fixtures::MakeRaster(16, 8, [](int x, int y) { return imaging::MakeColour(x * 9, y * 20, 70); }), 90, false);
  std::string head;
  for (const std::string& s : segments) head += s;
  jpeg.insert(jpeg.begin() + 2, head.begin(), head.end());
  return jpeg;
}

JpegSegment Seg(int marker, const std::string& body) { return {marker, Bytes(body.begin(), body.end())}; }

TEST(ExifOrientation, ReadsIfd0AndRefusesWhatIsNotThere) {
  const auto withFields = [](Order order, auto make) { return ExifBody(Tiff(order, make)); };
  const std::string good = withFields(Order::Motorola, [](TiffBuilder& t) {
    return std::vector<exiftest::Field>{t.Ascii(0x010F, "M"), t.Short(0x0112, {6})};
  });
  struct Case {
    const char* what;
    std::string body;
    int expected;
  } cases[] = {
      {"big-endian short", good, 6},
      {"little-endian short", withFields(Order::Intel, [](TiffBuilder& t) {
         return std::vector<exiftest::Field>{t.Short(0x0112, {8})};
       }), 8},
      {"long", withFields(Order::Intel, [](TiffBuilder& t) {
         return std::vector<exiftest::Field>{t.Long(0x0112, {3})};
       }), 3},
      {"out of range", withFields(Order::Intel, [](TiffBuilder& t) {
         return std::vector<exiftest::Field>{t.Short(0x0112, {9})};
       }), 1},
      {"zero", withFields(Order::Intel, [](TiffBuilder& t) {
         return std::vector<exiftest::Field>{t.Short(0x0112, {0})};
       }), 1},
      {"count zero", withFields(Order::Intel, [](TiffBuilder& t) {
         return std::vector<exiftest::Field>{t.Raw(0x0112, 3, 0, std::string("\x06\x00", 2))};
       }), 1},
      {"ascii type", withFields(Order::Intel, [](TiffBuilder& t) {
         return std::vector<exiftest::Field>{t.Raw(0x0112, 2, 2, std::string("6\0", 2))};
       }), 1},
      {"absent", withFields(Order::Intel, [](TiffBuilder& t) {
         return std::vector<exiftest::Field>{t.Ascii(0x0110, "Model")};
       }), 1},
      {"not exif", "Exif\0x"s + good.substr(6), 1},
      {"bad byte order", "Exif" + std::string(2, '\0') + "XX" + good.substr(8), 1},
      {"bad magic", good.substr(0, 9) + '\x2B' + good.substr(10), 1},
      {"header only", good.substr(0, 13), 1},
      {"ifd past the end", good.substr(0, 10) + std::string("\xFF\xFF\xFF\xF0", 4) + good.substr(14), 1},
      {"entries cut off", good.substr(0, good.size() - 12), 1},
      {"count beyond the bytes", good.substr(0, 14) + "\xFF\xFF" + good.substr(16, 12), 1},
      {"empty", "", 1},
  };
  for (const Case& c : cases) {
    const Bytes body = ToBytes(c.body);
    EXPECT_EQ(imaging::ExifOrientation(body), c.expected) << c.what;
  }
  for (int o = 1; o <= 8; ++o) EXPECT_EQ(imaging::ExifOrientation(imaging::OrientationSegment(o).body), o);
}

TEST(ForEachHeaderSegment, WalksMarkersUntilTheFirstScan) {
  struct Case {
    const char* what;
    std::string file;
    bool jpeg;
    std::vector<int> markers;
  } cases[] = {
      {"plain", exiftest::Jpeg({Segment(0xE0, "JFIF"), Segment(0xFE, "hi")}), true, {0xE0, 0xFE}},
      {"fill bytes and RST", "\xFF\xD8\xFF\xFF\xFF\xE1\x00\x02\xFF\xD0\xFF\x01\xFF\xE2\x00\x03x\xFF\xDA"s, true,
       {0xE1, 0xE2}},
      {"stops at EOI", "\xFF\xD8\xFF\xD9" + Segment(0xE1, "late"), true, {}},
      {"stops at garbage", "\xFF\xD8" + Segment(0xE1, "a") + "x" + Segment(0xE2, "b"), true, {0xE1}},
      {"truncated body", "\xFF\xD8" + Segment(0xE1, "a") + "\xFF\xE2\x00\x09"s + "abc", true, {0xE1}},
      {"length below two", "\xFF\xD8\xFF\xE1\x00\x01"s + Segment(0xE2, "b"), true, {}},
      {"ends after the marker", "\xFF\xD8\xFF\xE1\x00"s, true, {}},
      {"no SOI", Segment(0xE1, "a"), false, {}},
      {"empty", "", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<int> seen;
    const bool jpeg = imaging::ForEachHeaderSegment(ToBytes(c.file), [&](int m, auto) { seen.push_back(m); });
    EXPECT_EQ(jpeg, c.jpeg) << c.what;
    EXPECT_EQ(seen, c.markers) << c.what;
  }
}

TEST(SegmentsToCarry, ProfileAndOrientationByDefaultEverythingWhenKept) {
  const std::string exif = CameraExif(6);
  const Bytes photo = PhotoWith({Segment(0xE1, exif), Segment(0xE2, IccBody(1, 2, 'a')), Segment(0xFE, "comment"),
                                 Segment(0xE1, kXmpBody), Segment(0xED, "Photoshop 3.0"),
                                 Segment(0xE2, IccBody(2, 2, 'b')), Segment(0xE2, "FPXR")});
  const std::vector<JpegSegment> byDefault = imaging::SegmentsToCarry(photo, false);
  ASSERT_EQ(byDefault.size(), 3u);
  EXPECT_EQ(imaging::ExifOrientation(byDefault[0].body), 6);
  // Only the orientation: one entry in IFD0, nothing else of the camera's block.
  EXPECT_LT(byDefault[0].body.size(), 40u);
  EXPECT_EQ(byDefault[0].body.end(), std::search(byDefault[0].body.begin(), byDefault[0].body.end(), exif.begin() + 20, exif.end()));
  EXPECT_EQ(byDefault[1], Seg(0xE2, IccBody(1, 2, 'a')));
  EXPECT_EQ(byDefault[2], Seg(0xE2, IccBody(2, 2, 'b')));

  const std::vector<JpegSegment> kept = imaging::SegmentsToCarry(photo, true);
  const std::vector<JpegSegment> expected = {Seg(0xE1, exif), Seg(0xE2, IccBody(1, 2, 'a')), Seg(0xE1, kXmpBody),
                                             Seg(0xE2, IccBody(2, 2, 'b'))};
  EXPECT_EQ(kept, expected);

  // Upright photos and photos without EXIF carry their profile alone.
  for (const Bytes& p : {PhotoWith({Segment(0xE1, CameraExif(1)), Segment(0xE2, IccBody(1, 1, 'c'))}),
                         PhotoWith({Segment(0xE2, IccBody(1, 1, 'c'))})})
    EXPECT_EQ(imaging::SegmentsToCarry(p, false), std::vector<JpegSegment>{Seg(0xE2, IccBody(1, 1, 'c'))});
  // The first EXIF block decides, as readers take it.
  EXPECT_TRUE(imaging::SegmentsToCarry(PhotoWith({Segment(0xE1, CameraExif(1)), Segment(0xE1, CameraExif(8))}), false)
                  .empty());
  EXPECT_TRUE(imaging::SegmentsToCarry(Bytes{}, true).empty());
}

TEST(SegmentsToCarry, StuffedFilesAreBounded) {
  std::string manyIcc;
  for (int i = 0; i < 300; ++i) manyIcc += Segment(0xE2, IccBody(i % 256, 255, 'x'));
  EXPECT_TRUE(imaging::SegmentsToCarry(PhotoWith({manyIcc}), false).empty());

  const std::string extension = std::string("http://ns.adobe.com/xmp/extension/\0", 35) + std::string(65000, 'x');
  std::string huge;
  for (int i = 0; i < 1100; ++i) huge += Segment(0xE1, extension);
  const std::vector<JpegSegment> kept = imaging::SegmentsToCarry(PhotoWith({huge}), true);
  std::size_t total = 0;
  for (const JpegSegment& s : kept) total += s.body.size();
  EXPECT_LE(total, imaging::kMaxKeptBytes);
  EXPECT_GT(total, imaging::kMaxKeptBytes - 70000);
}

class SegmentsFromFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("prosvitek-meta-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const Bytes& bytes) {
    fixtures::WriteFile((dir_ / name).string(), bytes);
    return (dir_ / name).string();
  }
  fs::path dir_;
};

// Every cut and many corruptions of a header: the file reader agrees with the
// in-memory one (which sanitizer builds check for reads outside the bytes).
TEST_F(SegmentsFromFile, AgreesWithTheBytesOnCutAndDamagedHeaders) {
  const Bytes photo = PhotoWith({Segment(0xE1, CameraExif(3)), Segment(0xE2, IccBody(1, 1, 'a')),
                                 Segment(0xE1, kXmpBody)});
  std::size_t head = 2;
  imaging::ForEachHeaderSegment(photo, [&](int, std::span<const std::uint8_t> body) { head += body.size() + 4; });
  std::mt19937 random(7);
  for (std::size_t cut = 0; cut <= head + 2; ++cut) {
    Bytes damaged(photo.begin(), photo.begin() + static_cast<std::ptrdiff_t>(cut));
    for (int round = 0; round < 2; ++round) {
      const std::string path = Write("cut.jpg", damaged);
      for (bool keep : {false, true}) EXPECT_EQ(imaging::SegmentsToCarry(path, keep), imaging::SegmentsToCarry(damaged, keep)) << cut;
      if (damaged.empty()) break;
      damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
    }
  }
  EXPECT_EQ(imaging::SegmentsToCarry(Write("whole.jpg", photo), false).size(), 2u);
}

TEST_F(SegmentsFromFile, RefusesWhatIsNoRegularFileWithoutWaiting) {
  const std::string fifo = (dir_ / "fifo.jpg").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, dir_.string(), (dir_ / "missing.jpg").string()}) {
    try {
      imaging::SegmentsToCarry(path, false);
      ADD_FAILURE() << path;
    } catch (const imaging::FileError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
  }
}

// The orientation of every sample agrees with exiftool's reading beside it, and
// a photo with a colour profile carries one.
TEST(SegmentsToCarry, SamplesAgreeWithTheReferenceReadings) {
  int checked = 0;
  for (const fs::path& file : testsupport::InputFilesUnder(testsupport::SamplesDir())) {
    const fs::path reference = file.string() + ".exiftool-n.json";
    if (file.extension() != ".jpg" || !fs::exists(reference)) continue;
    std::stringstream json;
    json << std::ifstream(reference).rdbuf();
    std::smatch m;
    const std::string text = json.str();
    const int orientation = std::regex_search(text, m, std::regex("\"IFD0:Orientation\": (\\d+)")) ? std::stoi(m[1]) : 1;
    const bool hasProfile = text.find("\"ICC_Profile:") != std::string::npos;
    const std::vector<JpegSegment> carried = imaging::SegmentsToCarry(file.string(), false);
    int carriedOrientation = 1;
    bool carriedProfile = false;
    for (const JpegSegment& s : carried) {
      if (s.marker == imaging::kMarkerApp1) carriedOrientation = imaging::ExifOrientation(s.body);
      if (s.marker == imaging::kMarkerApp2) carriedProfile = true;
    }
    EXPECT_EQ(carriedOrientation, orientation >= 1 && orientation <= 8 ? orientation : 1) << file;
    EXPECT_EQ(carriedProfile, hasProfile) << file;
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "samples not available";
}

}  // namespace
