// Damaged input of every kind ends quietly: each truncation and a few thousand seeded byte
// mutations of a structure that reaches every path of the walk. Under the sanitizers any read
// outside a block fails these.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "exif/container.h"
#include "exif/ifd_walk.h"
#include "reader_support.h"

namespace {

using exiftest::Order;
using exiftest::TiffBuilder;

std::string RichTiff(Order order) {
  TiffBuilder t(order);
  const uint32_t interop = t.Ifd({t.Ascii(0x0001, "R98")});
  const uint32_t gps = t.Ifd({t.Byte(0x00, {2, 2, 0, 0}), t.Rational(0x02, {{50, 1}, {5, 1}})});
  const uint32_t sub = t.Ifd({t.Long(0x0100, {4000}), t.Long(0x0101, {3000})});
  const uint32_t exifIfd = t.Ifd(
      {t.Rational(0x829A, {{1, 125}}), t.Short(0x8827, {100, 200}), t.Undefined(0x9000, "0221"),
       t.Ascii(0x9003, "2004:03:28 14:03:27"), t.Rational(0x9201, {{8, 1}}, 10),
       t.Short(0x9209, {25}), t.Rational(0x920A, {{73, 10}}),
       t.Undefined(0x927C, std::string("Nikon\0\x02\x10\0\0MM\0*\0\0\0\x08", 18)),
       t.Undefined(0x9286, std::string("ASCII\0\0\0comment\0", 16)), t.Long(0xA005, {interop})});
  t.SetFirstIfd(
      t.Ifd({t.Ascii(0x010F, "Canon"), t.Short(0x0112, {6}), t.Rational(0x011A, {{72, 1}}),
             t.Long(0x014A, {sub}), t.Long(0x8769, {exifIfd}), t.Long(0x8825, {gps})}));
  return t.Bytes();
}

void ReadBounded(const std::string& name, const std::string& bytes, int32_t mode,
                 const exif::ReaderOptions& options = {}) {
  exif::detail::TimgData reader(mode, options);
  reader.ProcessBytes(name, bytes);
  EXPECT_LE(reader.SectionCount, exif::detail::kMaxScannedSections);
  if (reader.ExifInfo) {
    EXPECT_LE(reader.ExifInfo->TagCount, exif::detail::kMaxEntriesPerWalk);
  }
}

TEST(Robustness, EveryTruncationEndsQuietly) {
  for (Order order : {Order::Intel, Order::Motorola}) {
    const std::string tiff = RichTiff(order);
    const std::string jpeg = exiftest::Jpeg({exiftest::ExifSegment(tiff)});
    for (size_t n = 0; n <= jpeg.size(); ++n) ReadBounded("cut.jpg", jpeg.substr(0, n), 255);
    for (size_t n = 0; n <= tiff.size(); ++n) ReadBounded("cut.tif", tiff.substr(0, n), 255);
  }
}

TEST(Robustness, SeededMutationsEndQuietlyInEveryMode) {
  const uint8_t interesting[] = {0x00, 0x01, 0x02, 0x07, 0x08, 0x0C, 0x7F, 0x80, 0xFE, 0xFF};
  uint64_t state = 0x5EED;  // xorshift: a failing round can be replayed
  const auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint32_t>(state >> 11);
  };
  for (Order order : {Order::Intel, Order::Motorola}) {
    const std::string tiff = RichTiff(order);
    const std::string jpeg = exiftest::Jpeg({exiftest::ExifSegment(tiff)});
    for (int round = 0; round < 3000; ++round) {
      std::string bytes = round % 2 == 0 ? jpeg : tiff;
      for (uint32_t edits = 1 + next() % 4; edits > 0; --edits) {
        const size_t at = 2 + next() % (bytes.size() - 2);
        bytes[at] = static_cast<char>(next() % 2 ? interesting[next() % 10] : next());
      }
      const int32_t mode = round % 3 == 0 ? 255 : round % 3 == 1 ? 2 : 4;
      ReadBounded(round % 2 == 0 ? "m.jpg" : "m.tif", bytes, mode, exiftest::Detailed());
    }
  }
}

}  // namespace
