// Values the reader once showed wrongly, each with a block built to show it: ASCII terminators
// and padding, unsigned rationals, APEX apertures, mirrored orientations and a flash value of
// two components.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "exif/container.h"
#include "exif/image_info.h"
#include "exif/summary.h"
#include "reader_support.h"

namespace {

using exiftest::Order;
using exiftest::ReadJpegExif;
using exiftest::TiffBuilder;

struct TextCase {
  const char* what;
  std::function<exiftest::Field(const TiffBuilder&)> field;  // in the builder's byte order
  const char* name;                                           // the stored tag
  std::string text;
};

TEST(Mends, ValuesShowWhatTheCameraWrote) {
  using F = exiftest::Field;
  using B = const TiffBuilder&;
  const TextCase cases[] = {
      {"a count without the terminator keeps the last letter",
       [](B t) -> F { return t.Raw(0x010F, 2, 21, "EASTMAN KODAK COMPANY"); }, "Make", "EASTMAN KODAK COMPANY"},
      {"padding after the terminator is not shown",
       [](B t) -> F { return t.Raw(0x0110, 2, 22, std::string("Canon DIGITAL IXUS\0\0\0\0", 22)); }, "Model",
       "Canon DIGITAL IXUS"},
      {"a date without its terminator", [](B t) -> F { return t.Raw(0x9003, 2, 19, "2005:08:13 09:47:23"); },
       "DateTimeOriginal", "2005:08:13 09:47:23"},
      {"RATIONAL is unsigned", [](B t) -> F { return t.Rational(0x829A, {{-1294967296, 1000000000}}); },
       "ExposureTime", "3 sec"},
      {"RATIONAL is unsigned as a number too", [](B t) -> F { return t.Rational(0x920A, {{-1, 100000000}}); },
       "FocalLength", "42.95 mm"},
      {"SRATIONAL stays signed", [](B t) -> F { return t.Rational(0x9204, {{-1, 3}}, 10); }, "ExposureBiasValue",
       "-1/3"},
      {"an APEX aperture as its f-number", [](B t) -> F { return t.Rational(0x9202, {{44, 10}}); },
       "ApertureValue", "F4.6"},
      {"an APEX maximum aperture", [](B t) -> F { return t.Rational(0x9205, {{3, 1}}); }, "MaxApertureValue",
       "F2.8"},
      {"aperture 0 is f/1", [](B t) -> F { return t.Rational(0x9202, {{0, 1}}); }, "ApertureValue", "F1.0"},
      {"a flash of two components by its first", [](B t) -> F { return t.Short(0x9209, {1, 0}); }, "Flash", "On"},
  };
  for (Order order : {Order::Intel, Order::Motorola}) {
    for (const TextCase& c : cases) {
      TiffBuilder tiff(order);
      tiff.Ifd({c.field(tiff), tiff.Short(0x0112, {1})});
      const auto reader = ReadJpegExif(tiff.Bytes());
      const exif::detail::TImageInfo& info = exiftest::Info(reader);
      EXPECT_EQ(info.StoredTagText(c.name), c.text) << c.what;
      EXPECT_EQ(info.StoredTagText("Orientation"), "Normal") << c.what << ": the walk went on";
    }
  }
}

TEST(Mends, PlainFieldsAndTheSummaryShowTheMendedValues) {
  TiffBuilder t(Order::Motorola);
  t.Ifd({t.Raw(0x010F, 2, 21, "EASTMAN KODAK COMPANY"), t.Raw(0x0110, 2, 8, std::string("DC240\0\0\0", 8)),
         t.Raw(0x0132, 2, 19, "2005:08:13 09:47:23"), t.Short(0x9209, {25, 7}), t.Short(0xA002, {640, 1}),
         t.Rational(0x829D, {{28, 10}})});
  const auto reader = ReadJpegExif(t.Bytes());
  const exif::detail::TImageInfo& info = exiftest::Info(reader);
  EXPECT_EQ(info.MakeText, "EASTMAN KODAK COMPANY");
  EXPECT_EQ(info.ModelText, "DC240");
  EXPECT_EQ(info.FlashValue, 25);
  EXPECT_EQ(info.PixelWidth, 640);
  const std::string summary = exif::detail::SummaryText(info, [](auto) { return std::string("d"); });
  for (const char* line : {"\r\nPhoto Date: 2005:08:13 09:47:23\r\n", "\r\nMake (Model): EASTMAN KODAK COMPANY (DC240)\r\n",
                           "\r\nFNumber: F2.8\r\n", "\r\nFlash: Yes"}) {
    EXPECT_NE(summary.find(line), std::string::npos) << line << "\n" << summary;
  }
}

TEST(Mends, OrientationsHaveWordsForAllEightCodes) {
  const char* const words[] = {"Normal",
                               "Mirror horizontal",
                               "Rotated 180°",
                               "Mirror vertical",
                               "Mirror horizontal and rotate 270 CW",
                               "CounterClockwise 90°",
                               "Mirror horizontal and rotate 90 CW",
                               "Clockwise 90°"};
  for (uint16_t code = 1; code <= 8; ++code) {
    TiffBuilder t(Order::Intel);
    t.Ifd({t.Short(0x0112, {code})});
    const auto reader = ReadJpegExif(t.Bytes());
    EXPECT_EQ(exiftest::Info(reader).StoredTagText("Orientation"), words[code - 1]) << code;
  }
}

}  // namespace
