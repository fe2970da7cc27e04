// Damaged input of every kind ends quietly: each truncation and a few thousand seeded byte
// mutations of well-formed files. Run under the sanitizers, any read outside a block fails.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "exif/container.h"
#include "exif/ifd_walk.h"
#include "exif/settings.h"
#include "reader_support.h"
#include "samples.h"

namespace {

using exiftest::ExifSegment;
using exiftest::Jpeg;
using exiftest::Order;
using exiftest::ScopedSetting;
using exiftest::TiffBuilder;

// A well-formed structure touching every path of the walk.
std::string RichTiff(Order order) {
  TiffBuilder tiff(order);
  const uint32_t interop = tiff.Ifd({tiff.Ascii(0x0001, "R98")});
  const uint32_t gps = tiff.Ifd({tiff.Byte(0x00, {2, 2, 0, 0}), tiff.Ascii(0x01, "N"),
                                 tiff.Rational(0x02, {{50, 1}, {5, 1}, {1234, 100}})});
  const uint32_t sub = tiff.Ifd({tiff.Long(0x0100, {4000}), tiff.Long(0x0101, {3000})});
  const uint32_t exifIfd = tiff.Ifd(
      {tiff.Rational(0x829A, {{1, 125}}), tiff.Rational(0x829D, {{28, 10}}),
       tiff.Short(0x8827, {100, 200}), tiff.Undefined(0x9000, "0221"),
       tiff.Ascii(0x9003, "2004:03:28 14:03:27"), tiff.Rational(0x9201, {{8, 1}}, 10),
       tiff.Short(0x9209, {25}), tiff.Rational(0x920A, {{73, 10}}),
       tiff.Undefined(0x927C, std::string("Nikon\0\x02\x10\0\0MM\0*\0\0\0\x08", 18)),
       tiff.Undefined(0x9286, std::string("ASCII\0\0\0comment\0", 16)), tiff.Long(0xA002, {2048}),
       tiff.Long(0xA003, {1536}), tiff.Long(0xA005, {interop})});
  tiff.SetFirstIfd(
      tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Ascii(0x0110, "EOS"), tiff.Short(0x0112, {6}),
                tiff.Rational(0x011A, {{72, 1}}), tiff.Long(0x014A, {sub}),
                tiff.Long(0x8769, {exifIfd}), tiff.Long(0x8825, {gps})}));
  return tiff.Bytes();
}

// A small, seeded generator, so that a failing mutation can be replayed.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<uint32_t>(state_ >> 11);
  }
  uint32_t Below(uint32_t bound) { return bound == 0 ? 0 : Next() % bound; }

 private:
  uint64_t state_;
};

const uint8_t kInteresting[] = {0x00, 0x01, 0x02, 0x07, 0x08, 0x0C, 0x7F, 0x80, 0xFE, 0xFF};

std::string Mutate(std::string bytes, Random& random, size_t from) {
  if (bytes.size() <= from) return bytes;
  const uint32_t edits = 1 + random.Below(4);
  for (uint32_t i = 0; i < edits; ++i) {
    const size_t at = from + random.Below(static_cast<uint32_t>(bytes.size() - from));
    bytes[at] = static_cast<char>(random.Below(2) == 0 ? kInteresting[random.Below(10)]
                                                       : random.Below(256));
  }
  return bytes;
}

void ExpectBounded(const exif::TimgData& reader) {
  EXPECT_LE(reader.SectionCount, exif::kMaxScannedSections);
  if (reader.ExifInfo) {
    EXPECT_LE(reader.ExifInfo->TagCount, exif::kMaxEntriesPerWalk);
    EXPECT_LE(reader.ExifInfo->TagCount, reader.ExifInfo->TagCapacity);
  }
}

TEST(Robustness, EveryTruncationOfAJpegEndsQuietly) {
  for (Order order : {Order::Intel, Order::Motorola}) {
    const std::string jpeg = Jpeg({ExifSegment(RichTiff(order))});
    for (size_t length = 0; length <= jpeg.size(); ++length) {
      exif::TimgData reader;
      reader.ProcessBytes("cut.jpg", jpeg.substr(0, length));
      ExpectBounded(reader);
    }
  }
}

TEST(Robustness, EveryTruncationOfATiffEndsQuietly) {
  const std::string tiff = RichTiff(Order::Motorola);
  for (size_t length = 0; length <= tiff.size(); ++length) {
    exif::TimgData reader;
    reader.ProcessBytes("cut.tif", tiff.substr(0, length));
    ExpectBounded(reader);
  }
}

TEST(Robustness, MutatedBuiltFilesEndQuietlyInEveryMode) {
  const ScopedSetting<int32_t> detailed(exif::TraceDetailLevel, 1);
  Random random(0x5EEDu);
  for (Order order : {Order::Intel, Order::Motorola}) {
    const std::string jpeg = Jpeg({ExifSegment(RichTiff(order))});
    const std::string tiff = RichTiff(order);
    for (int round = 0; round < 1500; ++round) {
      const int32_t mode = round % 3 == 0   ? exif::kBuildAll
                           : round % 3 == 1 ? exif::kBuildTextOnly
                                            : exif::kBuildStoreOnly;
      exif::TimgData jpegReader(mode);
      jpegReader.ProcessBytes("m.jpg", Mutate(jpeg, random, 2));
      ExpectBounded(jpegReader);
      exif::TimgData tiffReader(mode);
      tiffReader.ProcessBytes("m.tif", Mutate(tiff, random, 0));
      ExpectBounded(tiffReader);
    }
  }
}

TEST(Robustness, MutatedRealPhotosEndQuietly) {
  const char* photos[] = {"canon_eos_40d_small.jpg", "nikon_d70_usercomment_mm_tiny.jpg",
                          "canon_eos_digital_rebel_mm.tif", "broken_ifd_offset_loop.jpg"};
  Random random(0xC0FFEEu);
  int read = 0;
  for (const char* name : photos) {
    std::ifstream in(testsupport::Sample(name), std::ios::binary);
    if (!in) continue;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // Mutations aimed at the metadata, which comes first in these files.
    const std::string head = bytes.substr(0, std::min<size_t>(bytes.size(), 16384));
    for (int round = 0; round < 300; ++round) {
      exif::TimgData reader;
      reader.ProcessBytes(name, Mutate(head, random, 2));
      ExpectBounded(reader);
    }
    ++read;
  }
  if (read == 0) GTEST_SKIP() << "no sample photos";
}

}  // namespace
