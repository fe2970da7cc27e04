#include "reference.h"
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
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using exiftest::Order;
using exiftest::Segment;
using imaging::Bytes;
using imaging::JpegSegment;
using namespace std::string_literals;

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
JpegSegment Seg(int marker, const std::string& body) { return {marker, ToBytes(body)}; }

// An APP1 body whose IFD0 holds a make and one orientation field as given.
std::string ExifBody(Order order, uint16_t type, uint32_t count, const std::string& value) {
  exiftest::TiffBuilder t(order);
  t.SetFirstIfd(t.Ifd({t.Ascii(0x010F, "Maker"), t.Raw(0x0112, type, count, value), t.Long(0x8825, {0})}));
  return "Exif\0\0"s + t.Bytes();
}
std::string Orientation(int o) { return ExifBody(Order::Intel, 3, 1, exiftest::U16(Order::Intel, uint16_t(o))); }

std::string IccBody(int seq, char fill) { return "ICC_PROFILE\0"s + char(seq) + '\2' + std::string(100, fill); }
const std::string kXmp = "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>"s;

// A decodable photo with the segments right after SOI.
Bytes PhotoWith(const std::vector<std::string>& segments) {
  Bytes jpeg = imaging::EncodeJpeg(fixtures::MakeRaster(16, 8, [](int x, int) { return imaging::MakeColour(x, 9, 70); }),
                                   90, false);
  for (auto s = segments.rbegin(); s != segments.rend(); ++s) jpeg.insert(jpeg.begin() + 2, s->begin(), s->end());
  return jpeg;
}

TEST(ExifOrientation, ReadsIfd0AndRefusesWhatIsNotThere) {
  const std::string good = ExifBody(Order::Motorola, 3, 1, "\0\6"s);
  const struct {
    const char* what;
    std::string body;
    int expected;
  } cases[] = {
      {"big-endian short", good, 6},
      {"little-endian long", ExifBody(Order::Intel, 4, 1, "\3\0\0\0"s), 3},
      {"out of range", Orientation(9), 1},
      {"count zero", ExifBody(Order::Intel, 3, 0, "\6\0"s), 1},
      {"ascii", ExifBody(Order::Intel, 2, 2, "6\0"s), 1},
      {"not exif", "Exyf\0\0"s + good.substr(6), 1},
      {"second zero not asked for", "Exif\0x"s + good.substr(6), 6},
      {"bad byte order", good.substr(0, 6) + "XX" + good.substr(8), 1},
      {"bad magic", good.substr(0, 9) + '\x2B' + good.substr(10), 1},
      {"ifd past the end", good.substr(0, 10) + "\xFF\xFF\xFF\xF0" + good.substr(14), 1},
      {"count beyond the bytes", good.substr(0, 14) + "\xFF\xFF" + good.substr(16, 12), 1},
      {"header only", good.substr(0, 13), 1},
  };
  for (const auto& c : cases) EXPECT_EQ(imaging::ExifOrientation(ToBytes(c.body)), c.expected) << c.what;
  for (int o = 1; o <= 8; ++o) EXPECT_EQ(imaging::ExifOrientation(imaging::OrientationSegment(o).body), o);
}

TEST(ForEachHeaderSegment, WalksMarkersUntilTheFirstScan) {
  const struct {
    std::string file;
    bool jpeg;
    std::vector<int> markers;
  } cases[] = {
      {exiftest::Jpeg({Segment(0xE0, "JFIF"), Segment(0xFE, "hi")}) + Segment(0xE1, "late"), true, {0xE0, 0xFE}},
      {"\xFF\xD8\xFF\xFF\xFF\xE1\x00\x02\xFF\xD0\xFF\x01\xFF\xE2\x00\x03x"s, true, {0xE1, 0xE2}},  // fill, RST, TEM
      {"\xFF\xD8\xFF\xD9"s + Segment(0xE1, "late"), true, {}},
      {"\xFF\xD8"s + Segment(0xE1, "a") + "x" + Segment(0xE2, "b"), true, {0xE1}},   // garbage
      {"\xFF\xD8"s + Segment(0xE1, "a") + "\xFF\xE2\x00\x09"s + "abc", true, {0xE1}},  // cut body
      {"\xFF\xD8\xFF\xE1\x00\x01"s + Segment(0xE2, "b"), true, {}},                 // length below 2
      {Segment(0xE1, "a"), false, {}},
  };
  for (const auto& c : cases) {
    std::vector<int> seen;
    EXPECT_EQ(imaging::ForEachHeaderSegment(ToBytes(c.file), [&](int m, auto) { seen.push_back(m); }), c.jpeg);
    EXPECT_EQ(seen, c.markers) << c.file.size();
  }
}

TEST(SegmentsToCarry, ProfileAndOrientationByDefaultEverythingWhenKept) {
  const std::string exif = Orientation(6);
  const Bytes photo = PhotoWith({Segment(0xE1, exif), Segment(0xE2, IccBody(1, 'a')), Segment(0xFE, "comment"),
                                 Segment(0xE1, kXmp), Segment(0xED, "Photoshop 3.0"), Segment(0xE2, IccBody(2, 'b')),
                                 Segment(0xE2, "FPXR")});
  const std::vector<JpegSegment> byDefault = imaging::SegmentsToCarry(photo, false);
  ASSERT_EQ(byDefault.size(), 3u);
  EXPECT_EQ(imaging::ExifOrientation(byDefault[0].body), 6);
  EXPECT_EQ(byDefault[0].body.size(), 32u);  // IFD0 with the orientation alone: no make, no GPS
  EXPECT_EQ(byDefault[1], Seg(0xE2, IccBody(1, 'a')));
  EXPECT_EQ(byDefault[2], Seg(0xE2, IccBody(2, 'b')));
  EXPECT_EQ(imaging::SegmentsToCarry(photo, true),
            (std::vector<JpegSegment>{Seg(0xE1, exif), Seg(0xE2, IccBody(1, 'a')), Seg(0xE1, kXmp),
                                      Seg(0xE2, IccBody(2, 'b'))}));
  // Upright or without EXIF: the profile alone. The first EXIF block decides.
  const std::string icc = Segment(0xE2, IccBody(1, 'c'));
  for (const Bytes& p : {PhotoWith({Segment(0xE1, Orientation(1)), icc, Segment(0xE1, Orientation(8))}), PhotoWith({icc})})
    EXPECT_EQ(imaging::SegmentsToCarry(p, false), std::vector<JpegSegment>{Seg(0xE2, IccBody(1, 'c'))});
  // More ICC segments than a profile can have: none of them.
  std::string stuffed;
  for (int i = 0; i < 300; ++i) stuffed += Segment(0xE2, IccBody(i % 256, 'x'));
  EXPECT_TRUE(imaging::SegmentsToCarry(PhotoWith({stuffed}), true).empty());
}

// Every cut and many corruptions of a header: the file reader agrees with the
// in-memory one (and sanitizer builds check both for reads outside the bytes).
TEST(SegmentsToCarry, FromAFileAgreesOnCutAndDamagedHeadersAndRefusesNonRegularFiles) {
  const fs::path dir = fs::temp_directory_path() / ("prosvitek-meta-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "cut.jpg").string();
  const Bytes photo = PhotoWith({Segment(0xE1, Orientation(3)), Segment(0xE2, IccBody(1, 'a')), Segment(0xE1, kXmp)});
  std::mt19937 random(7);
  for (std::size_t cut = 0; cut <= 400; ++cut) {
    Bytes damaged(photo.begin(), photo.begin() + static_cast<std::ptrdiff_t>(cut));
    if (cut % 2 && !damaged.empty()) damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
    fixtures::WriteFile(path, damaged);
    for (bool keep : {false, true})
      EXPECT_EQ(imaging::SegmentsToCarry(path, keep), imaging::SegmentsToCarry(damaged, keep)) << cut;
  }
  const std::string fifo = (dir / "fifo.jpg").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& refused : {fifo, dir.string(), (dir / "missing.jpg").string()})
    EXPECT_THROW(imaging::SegmentsToCarry(refused, false), imaging::FileError) << refused;
  fs::remove_all(dir);
}

// Each sample's orientation and colour profile agree with exiftool's reading beside it.
TEST(SegmentsToCarry, SamplesAgreeWithTheReferenceReadings) {
  int checked = 0;
  for (const fs::path& file : testsupport::InputFilesUnder(testsupport::SamplesDir())) {
    const fs::path reference = file.string() + ".exiftool-n.json";
    if (file.extension() != ".jpg" || !fs::exists(reference)) continue;
    std::stringstream json;
    json << std::ifstream(reference).rdbuf();
    const std::string text = json.str();
    // The numeric dump writes e.g. "IFD0:Orientation": 6,
    constexpr std::string_view kKey = "\"IFD0:Orientation\": ";
    const std::size_t at = text.find(kKey);
    const char digit = at == std::string::npos ? '1' : text[at + kKey.size()];
    const int expected = digit >= '1' && digit <= '8' ? digit - '0' : 1;
    int orientation = 1;
    bool profile = false;
    for (const JpegSegment& s : imaging::SegmentsToCarry(file.string(), false)) {
      if (s.marker == imaging::kMarkerApp1) orientation = imaging::ExifOrientation(s.body);
      profile |= s.marker == imaging::kMarkerApp2;
    }
    EXPECT_EQ(orientation, expected) << file;
    EXPECT_EQ(profile, text.find("\"ICC_Profile:") != std::string::npos) << file;
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "samples not available";
}

}  // namespace
