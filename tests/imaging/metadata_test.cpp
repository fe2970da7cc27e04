#include "reference.h"
#include "prosvitek/imaging/metadata.h"

#include "exif_builder.h"
#include "prosvitek/imaging/errors.h"
#include "prosvitek/exif/reader.h"
#include "prosvitek/files/jpeg_segments.h"
#include "prosvitek/imaging/jpeg_codec.h"
#include "prosvitek/imaging/luminance.h"
#include "prosvitek/imaging/pipeline.h"
#include "jpeg_fixtures.h"
#include "samples.h"

#include <gtest/gtest.h>

#include <algorithm>
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
std::string ToString(const Bytes& b) { return std::string(b.begin(), b.end()); }
JpegSegment Seg(int marker, const std::string& body) { return {marker, ToBytes(body)}; }

// An APP1 body whose IFD0 holds a make and one orientation field as given.
std::string ExifBody(Order order, uint16_t type, uint32_t count, const std::string& value) {
  exiftest::TiffBuilder t(order);
  t.SetFirstIfd(t.Ifd({t.Ascii(0x010F, "Maker"), t.Raw(0x0112, type, count, value), t.Long(0x8825, {0})}));
  return "Exif\0\0"s + t.Bytes();
}
std::string Orientation(int o) { return ExifBody(Order::Intel, 3, 1, exiftest::U16(Order::Intel, uint16_t(o))); }

// The APP2 bodies of an ICC profile of `size` bytes (at least 20) whose
// header names `space`, `chunk` bytes of it in each.
std::vector<std::string> IccBodies(const std::string& space, std::size_t size, std::size_t chunk) {
  const std::string profile = exiftest::U32(Order::Motorola, uint32_t(size)) + std::string(12, 'p') + space +
                              std::string(size - 20, 'q');
  const std::size_t n = (size + chunk - 1) / chunk;
  std::vector<std::string> bodies;
  for (std::size_t i = 0; i < n; ++i)
    bodies.push_back("ICC_PROFILE\0"s + char(i + 1) + char(n) + profile.substr(i * chunk, chunk));
  return bodies;
}
std::string IccBody(int seq) { return IccBodies("RGB ", 200, 100).at(std::size_t(seq - 1)); }
const std::string kXmp = "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>"s;

// An IPTC block with a caption, a by-line and a credit, as Photoshop writes
// it, and `more` resources after it.
std::string IptcBody(const std::string& more = "") {
  std::string records;
  for (const auto& [dataset, text] : {std::pair{0x78, "A caption"s}, {0x50, "A. Photographer"s}, {0x6E, "Agency"s}})
    records += "\x1C\x02"s + char(dataset) + exiftest::U16(Order::Motorola, uint16_t(text.size())) + text;
  if (records.size() % 2) records += '\0';
  return "Photoshop 3.0\0"s + "8BIM\x04\x04\0\0"s + exiftest::U32(Order::Motorola, uint32_t(records.size())) + records +
         more;
}

// A decodable photo with the segments right after SOI.
Bytes PhotoWith(const std::vector<std::string>& segments, bool grey = false) {
  Bytes jpeg = grey ? fixtures::GrayJpeg(16, 8)
                    : imaging::EncodeJpeg(
                          fixtures::MakeRaster(16, 8, [](int x, int) { return imaging::MakeColour(x, 9, 70); }), 90, false);
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
  const std::string exif = Orientation(6), iptc = IptcBody();
  const Bytes photo = PhotoWith({Segment(0xE1, exif), Segment(0xE2, IccBody(1)), Segment(0xFE, "comment"),
                                 Segment(0xE1, kXmp), Segment(0xED, iptc), Segment(0xED, "Photoshop 2.5"),
                                 Segment(0xE2, IccBody(2)), Segment(0xE2, "FPXR")});
  const std::vector<JpegSegment> byDefault = imaging::SegmentsToCarry(photo, false);
  ASSERT_EQ(byDefault.size(), 3u);
  EXPECT_EQ(imaging::ExifOrientation(byDefault[0].body), 6);
  EXPECT_EQ(byDefault[0].body.size(), 32u);  // IFD0 with the orientation alone: no make, no GPS
  EXPECT_EQ(byDefault[1], Seg(0xE2, IccBody(1)));
  EXPECT_EQ(byDefault[2], Seg(0xE2, IccBody(2)));
  EXPECT_EQ(imaging::SegmentsToCarry(photo, true),
            (std::vector<JpegSegment>{Seg(0xE1, exif), Seg(0xE2, IccBody(1)), Seg(0xFE, "comment"), Seg(0xE1, kXmp),
                                      Seg(0xED, iptc), Seg(0xE2, IccBody(2))}));
  // Upright or without EXIF: the profile alone. The first EXIF block decides.
  const std::vector<std::string> single = IccBodies("RGB ", 150, 200);
  const std::string icc = Segment(0xE2, single[0]);
  for (const Bytes& p : {PhotoWith({Segment(0xE1, Orientation(1)), icc, Segment(0xE1, Orientation(8))}), PhotoWith({icc})})
    EXPECT_EQ(imaging::SegmentsToCarry(p, false), std::vector<JpegSegment>{Seg(0xE2, single[0])});
  // More ICC segments than a profile can have: none of them.
  std::string stuffed;
  for (int i = 0; i < 300; ++i) stuffed += Segment(0xE2, "ICC_PROFILE\0"s + char(i % 256) + '\2' + "x");
  EXPECT_TRUE(imaging::SegmentsToCarry(PhotoWith({stuffed}), true).empty());
}

// A profile travels whole, in its order, and only in the saved photo's colour
// space; the encoder writes every photo, grey ones too, in three components.
TEST(SegmentsToCarry, ProfileTravelsWholeAndOnlyInTheSavedPhotosColourSpace) {
  const std::vector<std::string> rgb = IccBodies("RGB ", 3000, 1000);
  std::vector<std::string> longer = rgb;
  longer[0].replace(14, 4, exiftest::U32(Order::Motorola, 3001));
  std::vector<std::string> counts = rgb;
  counts[1][13] = 4;
  const struct {
    const char* what;
    std::vector<std::string> bodies;
    bool greySource;
    bool carried;
  } cases[] = {
      {"RGB in three segments", rgb, false, true},
      {"RGB on a grey source", rgb, true, true},
      {"grey on a grey source", IccBodies("GRAY", 500, 1000), true, false},
      {"CMYK", IccBodies("CMYK", 3000, 1000), false, false},
      {"a segment missing", {rgb[0], rgb[2]}, false, false},
      {"out of order", {rgb[1], rgb[0], rgb[2]}, false, false},
      {"one counting another number of segments", counts, false, false},
      {"shorter than its header says", longer, false, false},
      {"no whole header", IccBodies("RGB ", 100, 1000), false, false},
  };
  for (const auto& c : cases) {
    std::vector<std::string> segments;
    for (const std::string& body : c.bodies) segments.push_back(Segment(0xE2, body) + Segment(0xFE, "between"));
    std::vector<JpegSegment> expected;
    if (c.carried)
      for (const std::string& body : c.bodies) expected.push_back(Seg(0xE2, body));
    for (bool keep : {false, true}) {
      std::vector<JpegSegment> icc = imaging::SegmentsToCarry(PhotoWith(segments, c.greySource), keep);
      std::erase_if(icc, [](const JpegSegment& s) { return s.marker != 0xE2; });
      EXPECT_EQ(icc, expected) << c.what << ", keep " << keep;
    }
  }
}

// Kept segments are capped in all; a profile is counted whole against the
// cap, so that the cap leaves it out rather than cutting it.
TEST(SegmentsToCarry, CapLeavesAProfileOutRatherThanCutIt) {
  const std::string extension = "http://ns.adobe.com/xmp/extension/\0"s;
  const std::string filler = Segment(0xE1, extension + std::string(imaging::kMaxSegmentBody - extension.size(), 'x'));
  const std::vector<std::string> icc = IccBodies("RGB ", 4000, 2000);  // 4028 bytes in two segments
  const std::size_t fits = imaging::kMaxKeptBytes / imaging::kMaxSegmentBody;  // leaves 3072 bytes free
  for (const std::size_t fillers : {fits, fits - 1}) {
    std::string middle;
    middle.reserve(fillers * filler.size());
    for (std::size_t i = 0; i < fillers; ++i) middle += filler;
    const std::vector<JpegSegment> kept =
        imaging::SegmentsToCarry(PhotoWith({Segment(0xE2, icc[0]), middle, Segment(0xE2, icc[1])}), true);
    const auto profileSegments = std::count_if(kept.begin(), kept.end(), [](const JpegSegment& s) { return s.marker == 0xE2; });
    EXPECT_EQ(profileSegments, fillers == fits ? 0 : 2) << fillers;
    EXPECT_EQ(kept.size() - static_cast<std::size_t>(profileSegments), fillers);
  }
}

// An EXIF body: IFD0 with a make and `ifd0Extra`, IFD1 pointing at
// `thumbnail` (offset and length of `type`), then `after`.
std::string ExifWithThumbnail(Order order, const std::string& thumbnail, const std::string& after = "",
                              uint16_t type = 4, std::vector<exiftest::Field> ifd0Extra = {}) {
  exiftest::TiffBuilder t(order);
  ifd0Extra.insert(ifd0Extra.begin(), t.Ascii(0x010F, "Maker"));
  const uint32_t ifd0 = t.Ifd(ifd0Extra);
  const uint32_t ifd1 = t.Here(), at = ifd1 + 30, length = uint32_t(thumbnail.size());
  t.Ifd(type == 3 ? std::vector{t.Short(0x0201, {uint16_t(at)}), t.Short(0x0202, {uint16_t(length)})}
                  : std::vector{t.Long(0x0201, {at}), t.Long(0x0202, {length})});
  t.Append(thumbnail + after);
  t.PatchU32(ifd0 + 2 + 12 * uint32_t(ifd0Extra.size()), ifd1);
  return "Exif\0\0"s + t.Bytes();
}

bool Contains(const Bytes& bytes, const std::string& part) {
  return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

// A thumbnail is replaced where IFD1 points, its offset and length patched in
// either byte order and field size; the old bytes never stay. Without a new
// one, or when it does not fit, IFD1 is dropped.
TEST(WithThumbnail, ReplacesTheOldOneOrLeavesTheThumbnailOut) {
  const std::string old = "OLD THUMBNAIL", fresh = "a new, longer thumbnail";
  exiftest::TiffBuilder noThumbnail(Order::Intel);
  const uint32_t ifd0 = noThumbnail.Ifd({noThumbnail.Ascii(0x010F, "Maker")});
  const uint32_t ifd1 = noThumbnail.Ifd({noThumbnail.Short(0x0100, {80})});
  noThumbnail.PatchU32(ifd0 + 14, ifd1);
  const struct {
    const char* what;
    std::string body;
    bool usable;
  } cases[] = {
      {"at the end, long fields", ExifWithThumbnail(Order::Intel, old), true},
      {"in the middle, short fields", ExifWithThumbnail(Order::Motorola, old, "after it", 3), true},
      {"IFD1 without a JPEG thumbnail", "Exif\0\0"s + noThumbnail.Bytes(), false},
  };
  for (const auto& c : cases) {
    const Bytes body = ToBytes(c.body);
    ASSERT_TRUE(imaging::FindExifThumbnail(body).present) << c.what;
    EXPECT_EQ(imaging::FindExifThumbnail(body).usable, c.usable) << c.what;
    const Bytes renewed = imaging::WithThumbnail(body, ToBytes(fresh));
    const imaging::ExifThumbnail t = imaging::FindExifThumbnail(renewed);
    EXPECT_EQ(t.present, c.usable) << c.what;
    if (c.usable) {
      ASSERT_TRUE(t.usable) << c.what;
      EXPECT_EQ(std::string(renewed.begin() + 6 + long(t.offset), renewed.begin() + 6 + long(t.offset + t.length)), fresh);
      EXPECT_EQ(t.offset % 2, 0u) << c.what;
      EXPECT_FALSE(Contains(renewed, old)) << c.what;
    }
    for (const Bytes& none : {Bytes{}, Bytes(imaging::kMaxSegmentBody, 7)}) {
      const Bytes dropped = imaging::WithThumbnail(body, none);
      EXPECT_FALSE(imaging::FindExifThumbnail(dropped).present) << c.what << " " << none.size();
      EXPECT_FALSE(Contains(dropped, old)) << c.what;
      EXPECT_EQ(imaging::ExifOrientation(dropped), 1);
    }
    EXPECT_TRUE(Contains(renewed, "Maker")) << c.what;
  }
  // A block without IFD1 stays as it is.
  const Bytes plain = ToBytes(Orientation(6));
  EXPECT_EQ(imaging::WithThumbnail(plain, ToBytes(fresh)), plain);
}

// The mean luminance of a photo.
double MeanLuminance(const imaging::Raster& r) {
  double sum = 0;
  for (int y = 0; y < r.height(); ++y)
    for (int x = 0; x < r.width(); ++x) {
      const imaging::ColourValue c = r.pixel(x, y);
      sum += imaging::Luminance(imaging::RedOf(c), imaging::GreenOf(c), imaging::BlueOf(c));
    }
  return sum / (double(r.width()) * r.height());
}

// Keeping metadata keeps IPTC and the comment as they are and renews the EXIF
// thumbnail from the brightened photo, as the saved file shows to any reader;
// a thumbnail that no longer fits is left out, never kept old, and so is
// Photoshop's beside the IPTC data.
TEST(SegmentsToCarry, KeptFileCarriesIptcCommentAndARenewedThumbnail) {
  const auto dark = [](int x, int y) { return imaging::MakeColour(20 + x % 40, 15 + y % 30, 10 + (x + y) % 20); };
  const std::string oldThumbnail = ToString(imaging::EncodeJpeg(fixtures::MakeRaster(160, 120, dark), 80, false));
  const std::string iptc = IptcBody(), comment = "A comment";
  const std::string photoshopThumbnail = "8BIM\x04\x0C\x03" "abc\0\0\0\x05" "dark\0\0"s;
  const Bytes dim = imaging::EncodeJpeg(fixtures::MakeRaster(480, 360, dark), 90, false);
  imaging::RenderRequest request;
  request.exponent = imaging::ExponentFor(40);
  request.settingsAt = [](int, int) {
    imaging::BrightenSettings s;
    s.strength = 40;
    s.threshold = 200;
    return s;
  };
  for (const bool fits : {true, false}) {
    exiftest::TiffBuilder t(Order::Motorola);
    // A maker note big enough that only the old thumbnail fits beside it.
    const std::vector<exiftest::Field> note = {t.Undefined(0x927C, std::string(fits ? 100 : 65000 - oldThumbnail.size(), 'n'))};
    const std::string exif = ExifWithThumbnail(Order::Motorola, oldThumbnail, "", 4, note);
    Bytes source = dim;
    const std::string segments =
        Segment(0xE1, exif) + Segment(0xED, IptcBody(photoshopThumbnail)) + Segment(0xFE, comment);
    source.insert(source.begin() + 2, segments.begin(), segments.end());
    const files::InputFile input = files::InputFile::FromMemory(source, "dark.jpg");

    const std::vector<JpegSegment> carried =
        imaging::SegmentsToCarry(input, {true, request.exponent, request.settingsAt, {}, {}});
    request.segments = carried;
    Bytes saved;
    imaging::BytesSink sink(saved);
    imaging::RenderPhoto(input, request, sink, {});

    const files::InputFile file = files::InputFile::FromMemory(saved);
    files::JpegSegmentWalker walker(file);
    std::vector<std::pair<files::SegmentKind, Bytes>> found;
    while (const auto s = walker.Next()) {
      if (s->marker == files::kMarkerSos) break;
      if (s->marker >= 0xE0 && s->marker != 0xEE) found.emplace_back(walker.Kind(*s), walker.Body(*s));
    }
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0].first, files::SegmentKind::Jfif);
    EXPECT_EQ(found[1].first, files::SegmentKind::Exif);
    EXPECT_EQ(found[2].second, ToBytes(iptc));
    EXPECT_EQ(found[3].second, ToBytes(comment));
    EXPECT_FALSE(Contains(saved, oldThumbnail));

    exif::Reader reader;
    ASSERT_TRUE(reader.ProcessBytes("saved.jpg", std::string_view(reinterpret_cast<const char*>(saved.data()), saved.size())))
        << reader.ErrorText();
    EXPECT_EQ(reader.Exif()->Make(), "Maker");
    const imaging::ExifThumbnail renewed = imaging::FindExifThumbnail(found[1].second);
    EXPECT_EQ(renewed.present, fits);
    if (!fits) continue;
    ASSERT_EQ(std::pair(renewed.width, renewed.height), std::pair(160, 120));
    const auto bytes = std::span<const std::uint8_t>(found[1].second).subspan(6 + renewed.offset, renewed.length);
    const double thumbnail = MeanLuminance(imaging::DecodeJpeg(bytes));
    EXPECT_GT(thumbnail, MeanLuminance(imaging::DecodeJpeg(ToBytes(oldThumbnail))) + 20);
    EXPECT_NEAR(thumbnail, MeanLuminance(imaging::DecodeJpeg(saved)), 3);
  }
}

// Every cut and many corruptions of a header: the file reader agrees with the
// in-memory one (and sanitizer builds check both for reads outside the bytes).
TEST(SegmentsToCarry, FromAFileAgreesOnCutAndDamagedHeadersAndRefusesNonRegularFiles) {
  const fs::path dir = fs::temp_directory_path() / ("prosvitek-meta-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "cut.jpg").string();
  const Bytes photo = PhotoWith({Segment(0xE1, Orientation(3)), Segment(0xE2, IccBody(1)), Segment(0xE1, kXmp)});
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

// The body of a file's first EXIF segment; empty when it has none.
Bytes FirstExifBody(const std::string& path) {
  const files::InputFile file = files::OpenInputFile(path);
  files::JpegSegmentWalker walker(file);
  while (const auto segment = walker.Next()) {
    if (segment->marker == files::kMarkerSos) break;
    if (walker.Kind(*segment) == files::SegmentKind::Exif) return walker.Body(*segment);
  }
  return {};
}

// Each sample's orientation, colour profile (carried when it is an RGB one)
// and thumbnail agree with exiftool's reading beside it.
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
    EXPECT_EQ(profile, text.find("\"ICC-header:ColorSpaceData\": \"RGB \"") != std::string::npos) << file;
    const imaging::ExifThumbnail thumbnail = imaging::FindExifThumbnail(FirstExifBody(file.string()));
    EXPECT_EQ(thumbnail.present, text.find("\"IFD1:") != std::string::npos) << file;
    const std::size_t length = text.find("\"IFD1:ThumbnailLength\": ");
    EXPECT_EQ(thumbnail.length, length == std::string::npos ? 0 : std::stoull(text.substr(length + 24))) << file;
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "samples not available";
}

}  // namespace
