// Field types and the conversions of raw values to integers, numbers and display text.

#include "exif/field_types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "exif/number_text.h"
#include "exif/printf_format.h"
#include "reader_support.h"

namespace {

using exif::detail::RawToInteger;
using exif::detail::RawToNumber;
using exif::detail::RawToText;
using exiftest::ByteText;

constexpr bool kMotorola = true;
constexpr bool kIntel = false;
const std::string kOrientation = "1:Normal,3:Rotated 180°,6:CounterClockwise 90°,8:Clockwise 90°";

TEST(ByteCountOf, WrapsLikeThirtyTwoBitArithmeticWithoutOverflowing) {
  EXPECT_EQ(exif::detail::ByteCountOf(3, 3), 6);
  EXPECT_EQ(exif::detail::ByteCountOf(13, 100), 400);              // IFD: a LONG per directory
  EXPECT_EQ(exif::detail::ByteCountOf(14, 100), 0);                // unknown type: no bytes
  EXPECT_EQ(exif::detail::ByteCountOf(3, -1), -2);                 // a negative count stays negative
  EXPECT_EQ(exif::detail::ByteCountOf(4, 0x20000000), INT32_MIN);  // 2^31 wraps negative
  EXPECT_EQ(exif::detail::ByteCountOf(12, 0x20000000), 0);         // 2^32 wraps to nothing
}

TEST(RawToInteger, TakesSignificanceFromTheConvertersByteOrder) {
  EXPECT_EQ(RawToInteger("", kMotorola), 0);
  EXPECT_EQ(RawToInteger(ByteText({0x12, 0x34}), kMotorola), 0x1234);
  EXPECT_EQ(RawToInteger(ByteText({0x12, 0x34}), kIntel), 0x3412);
  EXPECT_EQ(RawToInteger(ByteText({0xFF, 0xFF}), kIntel), 65535);  // short values never negative
  EXPECT_EQ(RawToInteger(ByteText({0xFF, 0xFF, 0xFF, 0xFE}), kMotorola), -2);
  EXPECT_EQ(RawToInteger(ByteText({1, 2, 0, 0, 0, 7}), kMotorola), 7);  // low four bytes only
}

TEST(RawToNumber, ByType) {
  EXPECT_DOUBLE_EQ(RawToNumber(ByteText({0, 0, 0, 28, 0, 0, 0, 10}), 5, kMotorola), 2.8);
  EXPECT_DOUBLE_EQ(RawToNumber(ByteText({255, 255, 255, 255, 0, 0, 0, 2}), 10, kMotorola), -0.5);
  EXPECT_EQ(RawToNumber(ByteText({0, 0, 0, 1, 0, 0, 0, 0}), 5, kMotorola), 0);  // 1/0
  EXPECT_EQ(RawToNumber(ByteText({0, 3, 0, 4}), 3, kMotorola), 0x00030004);     // all components
  // One component reads as its type says: LONG and IFD unsigned, SSHORT signed.
  EXPECT_EQ(RawToNumber(ByteText({0x80, 0, 0, 0}), 4, kMotorola), 2147483648.0);
  EXPECT_EQ(RawToNumber(ByteText({0, 0, 1, 0}), 13, kMotorola), 256);
  EXPECT_EQ(RawToNumber(ByteText({0xFF, 0xFF}), 8, kMotorola), -1);
  EXPECT_DOUBLE_EQ(RawToNumber(ByteText({0, 0, 0xC0, 0x3F}), 11, kIntel), 1.5);  // IEEE value
  EXPECT_EQ(RawToNumber(ByteText({0x7F, 0xC0, 0, 0}), 11, kMotorola), 0);       // NaN
  EXPECT_EQ(RawToNumber(ByteText({0x3F, 0xC0}), 11, kMotorola), 0);             // cut short
  for (uint32_t type : {0u, 2u, 7u, 14u}) EXPECT_EQ(RawToNumber("abcd", type, kMotorola), 0);
}

TEST(RawToText, BuildsDisplayTextByType) {
  struct Case {
    std::string raw;
    uint32_t type;
    std::string format, map, expected;
  };
  std::string twentyShorts;
  for (int i = 1; i <= 20; ++i) twentyShorts += ByteText({0, i});
  const std::string rational28over10 = ByteText({0, 0, 0, 28, 0, 0, 0, 10});
  const Case cases[] = {
      {"abc", 0, "", "", "0"},
      {"abc", 40, "", "", "0"},
      {ByteText({7, 200}), 1, "", "", "7, 200"},
      {ByteText({0xFF}), 6, "", "", "-1"},  // signed types signed, unsigned ones unsigned
      {ByteText({0xFF, 0xFF, 0xFF, 0xFE}), 9, "", "", "-2"},
      {ByteText({0xFF, 0xFF, 0, 2}), 8, "", "", "-1, 2"},
      {ByteText({0x80, 0, 0x04, 0x04}), 4, "", "", "2147484676"},
      {ByteText({0, 0, 0x12, 0x34}), 13, "", "", "4660"},
      {twentyShorts, 3, "", "", "1, 2, 3, 4, 5, 6, 7, 8"},  // at most 8 components
      {ByteText({0, 5, 0}), 3, "", "", "5"},                // a partial component is dropped
      {"ab", 2, "", "", "?, ?"},
      {ByteText({0x3F, 0xC0, 0, 0}), 11, "", "", "1.5"},
      {ByteText({0x80, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}), 5, "", "", "2147483648/4294967295"},
      {ByteText({0, 0, 0, 1, 0, 0, 0, 0}), 5, "", "", "1/0"},
      {ByteText({255, 255, 255, 255, 0, 0, 0, 3}), 10, "", "", "-1/3"},
      {ByteText({0, 3}), 3, "", kOrientation, "Rotated 180°"},
      {ByteText({0, 1, 0, 2, 0, 8}), 3, "", kOrientation, "Normal, Unknown (2), Clockwise 90°"},
      {rational28over10, 5, "%5.2f", "", " 2.80"},
      {rational28over10, 5, "%s sec", "", "28/10 sec"},
      {ByteText({0, 50}), 3, "%5.2f mm", "", "50.00 mm"},
      {ByteText({0, 0, 0, 1, 0, 0, 0, 2}), 5, "", "1/2:half", "1/2half"},  // map on the text so far
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RawToText(c.raw, c.type, c.format, c.map, kMotorola), c.expected)
        << c.type << " " << c.format;
  }
  EXPECT_THROW(RawToText(ByteText({0, 3}), 3, "%d", "", kMotorola), exif::detail::FormatError);
}

TEST(RawToText, WithoutDecodersShowsNumbersInsteadOfMapWords) {
  EXPECT_EQ(RawToText(ByteText({0, 3}), 3, "", kOrientation, kMotorola, false), "3");
}

TEST(FractionTextToNumber, ReadsFractionsAndGivesZeroForAnythingElse) {
  const std::pair<const char*, double> cases[] = {
      {"1/250", 0.004},
      {"1 1/2", 1.5},
      {" 7965/1000 ", 7.965},
      {"-1/1", -1.0},
      {"10", 0},
      {"", 0},
      {"1/0", 0},
      {"a/2", 0},
      {"x 1/2", 0},
      {"1/2/3", 0},
      {"99999999999/1", 0},
      {"4294967295/1000000000", 4.294967295},  // RATIONAL parts are unsigned 32-bit
      {"3000000000/1000000000", 3.0},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_NEAR(static_cast<double>(exif::detail::FractionTextToNumber(text)), expected, 1e-15) << text;
  }
}

TEST(RoundToInt32, HalvesGoToTheEvenNeighbourAndTheRangeIsClamped) {
  EXPECT_EQ(exif::detail::RoundToInt32(2.5L), 2);
  EXPECT_EQ(exif::detail::RoundToInt32(3.5L), 4);
  EXPECT_EQ(exif::detail::RoundToInt32(-2.5L), -2);
  EXPECT_EQ(exif::detail::RoundToInt32(1e300L), INT32_MAX);
  EXPECT_EQ(exif::detail::RoundToInt32(std::nanl("")), 0);
}

}  // namespace
