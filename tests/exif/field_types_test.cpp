// Field types and the conversions of raw values to integers, numbers and display text.

#include "exif/field_types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "exif/number_text.h"
#include "exif/printf_format.h"
#include "exif/settings.h"
#include "reader_support.h"

namespace {

using exif::RawToInteger;
using exif::RawToNumber;
using exif::RawToText;
using exiftest::ByteText;
using exiftest::ScopedSetting;

constexpr bool kMotorola = true;
constexpr bool kIntel = false;

const std::string kOrientationMap =
    "1:Normal,3:Rotated 180°,6:CounterClockwise 90°,8:Clockwise 90°";

TEST(FieldTypes, SizesByCodeAndZeroBeyondTwelve) {
  const int32_t expected[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  for (uint32_t type = 0; type <= 12; ++type) EXPECT_EQ(exif::FieldTypeSize(type), expected[type]);
  EXPECT_EQ(exif::FieldTypeSize(13), 0);
  EXPECT_EQ(exif::FieldTypeSize(0xFFFF), 0);
}

TEST(FieldTypes, ByteCountWrapsLikeThirtyTwoBitArithmetic) {
  EXPECT_EQ(exif::ByteCountOf(3, 3), 6);
  EXPECT_EQ(exif::ByteCountOf(5, 1), 8);
  EXPECT_EQ(exif::ByteCountOf(20, 100), 0);                // unknown type
  EXPECT_EQ(exif::ByteCountOf(3, -1), -2);                 // negative count stays negative
  EXPECT_EQ(exif::ByteCountOf(4, 0x20000000), INT32_MIN);  // 2^31 wraps negative
  EXPECT_EQ(exif::ByteCountOf(4, 0x40000000), 0);          // 2^32 wraps to nothing
  EXPECT_EQ(exif::ByteCountOf(1, INT32_MAX), INT32_MAX);
}

TEST(RawToInteger, TakesSignificanceFromTheConvertersByteOrder) {
  EXPECT_EQ(RawToInteger("", kMotorola), 0);
  EXPECT_EQ(RawToInteger(ByteText({0x12, 0x34}), kMotorola), 0x1234);
  EXPECT_EQ(RawToInteger(ByteText({0x12, 0x34}), kIntel), 0x3412);
  EXPECT_EQ(RawToInteger(ByteText({0xFF, 0xFF}), kIntel), 65535);  // short values never negative
  EXPECT_EQ(RawToInteger(ByteText({0xFF}), kIntel), 255);
  EXPECT_EQ(RawToInteger(ByteText({0xFF, 0xFF, 0xFF, 0xFE}), kMotorola), -2);
  // Only the four least significant bytes count.
  EXPECT_EQ(RawToInteger(ByteText({0x01, 0x02, 0x00, 0x00, 0x00, 0x07}), kMotorola), 7);
  EXPECT_EQ(RawToInteger(ByteText({0x07, 0x00, 0x00, 0x00, 0x02, 0x01}), kIntel), 7);
}

TEST(RawToNumber, ByType) {
  const std::string rational = ByteText({0, 0, 0, 28, 0, 0, 0, 10});
  EXPECT_DOUBLE_EQ(RawToNumber(rational, 5, kMotorola), 2.8);
  EXPECT_DOUBLE_EQ(RawToNumber(ByteText({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 2}), 10, kMotorola),
                   -0.5);
  EXPECT_EQ(RawToNumber(ByteText({0, 0, 0, 1, 0, 0, 0, 0}), 5, kMotorola), 0);  // 1/0
  EXPECT_EQ(RawToNumber(ByteText({0, 0, 0, 1}), 5, kMotorola), 0);              // no denominator
  EXPECT_EQ(RawToNumber(ByteText({0, 3, 0, 4}), 3, kMotorola), 0x00030004);     // all components
  EXPECT_EQ(RawToNumber("text", 2, kMotorola), 0);
  EXPECT_EQ(RawToNumber("text", 7, kMotorola), 0);
  EXPECT_EQ(RawToNumber(ByteText({1, 2}), 0, kMotorola), 0);
  EXPECT_EQ(RawToNumber(ByteText({1, 2}), 13, kMotorola), 0);
}

TEST(RawToNumber, FloatAndDoubleGiveTheirIeeeValueAndZeroWhenNotFinite) {
  EXPECT_FLOAT_EQ(RawToNumber(ByteText({0x3F, 0xC0, 0x00, 0x00}), 11, kMotorola), 1.5);
  EXPECT_FLOAT_EQ(RawToNumber(ByteText({0x00, 0x00, 0xC0, 0x3F}), 11, kIntel), 1.5);
  EXPECT_DOUBLE_EQ(
      RawToNumber(ByteText({0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18}), 12, kMotorola),
      3.141592653589793);
  EXPECT_EQ(RawToNumber(ByteText({0x7F, 0xC0, 0x00, 0x00}), 11, kMotorola), 0);  // NaN
  EXPECT_EQ(RawToNumber(ByteText({0x7F, 0x80, 0x00, 0x00}), 11, kMotorola), 0);  // infinity
  EXPECT_EQ(RawToNumber(ByteText({0x3F, 0xC0}), 11, kMotorola), 0);              // cut short
}

struct TextCase {
  const char* what;
  std::string raw;
  uint32_t type;
  std::string format;
  std::string map;
  std::string expected;
};

TEST(RawToText, BuildsDisplayTextByType) {
  std::string twentyShorts;
  for (int i = 1; i <= 20; ++i) twentyShorts += ByteText({0, i});
  const TextCase cases[] = {
      {"size 0 type", "abc", 0, "", "", "0"},
      {"type above 12", "abc", 40, "", "", "0"},
      {"BYTE", ByteText({7, 200}), 1, "", "", "7, 200"},
      {"SBYTE shows its byte", ByteText({0xFF}), 6, "", "", "255"},
      {"SSHORT FF FF", ByteText({0xFF, 0xFF}), 8, "", "", "65535"},
      {"SLONG", ByteText({0xFF, 0xFF, 0xFF, 0xFE}), 9, "", "", "-2"},
      {"SHORT cut at 8 components", twentyShorts, 3, "", "", "1, 2, 3, 4, 5, 6, 7, 8"},
      {"partial component dropped", ByteText({0, 5, 0}), 3, "", "", "5"},
      {"no whole component", ByteText({1}), 3, "", "", ""},
      {"ASCII", "ab", 2, "", "", "?, ?"},
      {"UNDEFINED", "a", 7, "", "", "?"},
      {"FLOAT", ByteText({0x3F, 0xC0, 0, 0}), 11, "", "", "-9999.99"},
      {"DOUBLE", std::string(16, '\0'), 12, "", "", "-9999.99, -9999.99"},
      {"RATIONAL 1/0", ByteText({0, 0, 0, 1, 0, 0, 0, 0}), 5, "", "", "1/0"},
      {"SRATIONAL", ByteText({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 3}), 10, "", "", "-1/3"},
      {"two rationals", ByteText({0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4}), 5, "", "",
       "1/2, 3/4"},
      {"value map", ByteText({0, 3}), 3, "", kOrientationMap, "Rotated 180°"},
      {"value missing from the map", ByteText({0, 2}), 3, "", kOrientationMap, ""},
      {"map per component", ByteText({0, 1, 0, 2, 0, 8}), 3, "", kOrientationMap,
       "Normal, , Clockwise 90°"},
      {"%5.2f applies to the number", ByteText({0, 0, 0, 28, 0, 0, 0, 10}), 5, "%5.2f", "",
       " 2.80"},
      {"%s applies to the text", ByteText({0, 0, 0, 1, 0, 0, 0, 125}), 5, "%s sec", "",
       "1/125 sec"},
      {"F%0.1f", ByteText({0, 0, 0, 71, 0, 0, 0, 10}), 5, "F%0.1f", "", "F7.1"},
      {"floating template on an integer type", ByteText({0, 50}), 3, "%5.2f mm", "", "50.00 mm"},
      {"map keyed by a rational text", ByteText({0, 0, 0, 1, 0, 0, 0, 2}), 5, "", "1/2:half",
       "1/2half"},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(RawToText(c.raw, c.type, c.format, c.map, kMotorola), c.expected) << c.what;
  }
}

TEST(RawToText, WithoutDecodersShowsNumbersInsteadOfMapWords) {
  const ScopedSetting<bool> noDecoders(exif::UseTagDecoders, false);
  EXPECT_EQ(RawToText(ByteText({0, 3}), 3, "", kOrientationMap, kMotorola), "3");
  EXPECT_EQ(RawToText(ByteText({0, 0, 0, 1, 0, 0, 0, 2}), 5, "", "", kMotorola), "1/2");
}

TEST(RawToText, RaisesWhenTheFormatDoesNotFitTheValue) {
  EXPECT_THROW(RawToText(ByteText({0, 3}), 3, "%d", "", kMotorola), exif::FormatError);
}

TEST(NumberText, RationalIntegerAndPick) {
  EXPECT_EQ(exif::RationalText(1, 250), "1/250");
  EXPECT_EQ(exif::RationalText(INT32_MIN, -1), "-2147483648/-1");
  EXPECT_EQ(exif::IntegerText(-17), "-17");
  EXPECT_EQ(exif::PickText(true, "Yes", "No"), "Yes");
  EXPECT_EQ(exif::PickText(false, "Yes", "No"), "No");
}

struct FractionCase {
  const char* text;
  long double expected;
};

TEST(FractionTextToNumber, ReadsFractionsAndGivesZeroForAnythingElse) {
  const FractionCase cases[] = {
      {"1/250", 0.004L}, {"1 1/2", 1.5L}, {" 7965/1000 ", 7.965L},
      {"-1/1", -1.0L},   {"10", 0},       {"", 0},
      {"1/0", 0},        {"a/2", 0},      {"1/b", 0},
      {"x 1/2", 0},      {"1/2/3", 0},    {"99999999999/1", 0},
  };
  for (const FractionCase& c : cases) {
    EXPECT_NEAR(static_cast<double>(exif::FractionTextToNumber(c.text)),
                static_cast<double>(c.expected), 1e-15)
        << c.text;
  }
}

TEST(RoundToInt32, HalvesGoToTheEvenNeighbourAndTheRangeIsClamped) {
  EXPECT_EQ(exif::RoundToInt32(2.5L), 2);
  EXPECT_EQ(exif::RoundToInt32(3.5L), 4);
  EXPECT_EQ(exif::RoundToInt32(-2.5L), -2);
  EXPECT_EQ(exif::RoundToInt32(2.4999L), 2);
  EXPECT_EQ(exif::RoundToInt32(1e300L), INT32_MAX);
  EXPECT_EQ(exif::RoundToInt32(-1e300L), INT32_MIN);
  EXPECT_EQ(exif::RoundToInt32(std::nanl("")), 0);
}

}  // namespace
