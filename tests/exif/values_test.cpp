// What the walk shows for the values photographers read: tables for UNDEFINED bytes and
// numbers they lack, two-byte texts, character-coded comments, GPS, unsigned rationals,
// pointers stored as IFD and the main image's size.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "exif/image_info.h"
#include "exif/summary.h"
#include "reader_support.h"

namespace {

using exiftest::ByteText;
using exiftest::Field;
using exiftest::Order;
using exiftest::ReadJpegExif;
using exiftest::TiffBuilder;

struct ValueCase {
  const char* what;
  std::function<Field(const TiffBuilder&)> field;  // written in the builder's byte order
  const char* name;                                // the stored tag
  std::string text;
};

// Two-byte little-endian text with its closing zero, as Windows writes the XP tags.
std::string Utf16Le(std::string_view text) {
  std::string bytes;
  for (char c : text) bytes += std::string{c, '\0'};
  return bytes + std::string(2, '\0');
}

TEST(Values, ShowWhatThePhotographerReadsInBothByteOrders) {
  using B = const TiffBuilder&;
  const auto code = [](const char* name) { return std::string(name, 8); };
  const ValueCase cases[] = {
      {"FileSource through its table", [](B t) { return t.Undefined(0xA300, ByteText({3})); },
       "FileSource", "Digital Still Camera"},
      {"SceneType through its table", [](B t) { return t.Undefined(0xA301, ByteText({1})); },
       "SceneType", "Directly Photographed"},
      {"a byte the table lacks", [](B t) { return t.Undefined(0xA300, ByteText({9})); },
       "FileSource", "Unknown (9)"},
      {"components",
       [](B t) {
         return t.Undefined(0x9101, ByteText({1, 2, 3, 0}));
       },
       "ComponentsConfiguration", "YCbCr"},
      {"no components",
       [](B t) {
         return t.Undefined(0x9101, ByteText({0, 0, 0, 0}));
       },
       "ComponentsConfiguration", "-"},
      {"CFA pattern",
       [](B t) {
         return t.Undefined(0xA302, exiftest::U16(t.order(), 2) + exiftest::U16(t.order(), 2) +
                                        ByteText({0, 1, 1, 2}));
       },
       "CFAPattern", "[Red,Green][Green,Blue]"},
      {"binary bytes", [](B t) { return t.Undefined(0xEA1C, std::string(30, '\0')); }, "Padding",
       "(binary data, 30 bytes)"},
      {"light source 10 is cloudy", [](B t) { return t.Short(0x9208, {10}); }, "LightSource",
       "Cloudy"},
      {"light source 4 is flash", [](B t) { return t.Short(0x9208, {4}); }, "LightSource", "Flash"},
      {"light source 255", [](B t) { return t.Short(0x9208, {255}); }, "LightSource", "Other"},
      {"a number the table lacks", [](B t) { return t.Short(0x9208, {13 + 100}); }, "LightSource",
       "Unknown (113)"},
      {"metering 255", [](B t) { return t.Short(0x9207, {255}); }, "MeteringMode", "Other"},
      {"uncalibrated", [](B t) { return t.Short(0xA001, {65535}); }, "ColorSpace", "Uncalibrated"},
      {"a phone's HDR", [](B t) { return t.Short(0xA401, {3}); }, "CustomRendered",
       "HDR (original saved)"},
      {"XP text", [](B t) { return t.Raw(0x9C9B, 1, 40, Utf16Le("Squirrel at berkely")); }, "Title",
       "Squirrel at berkely"},
      {"comment in ASCII",
       [&](B t) { return t.Undefined(0x9286, code("ASCII\0\0\0") + " Hello world \0"); },
       "UserComment", "Hello world"},
      {"comment in UNICODE, the block's order",
       [&](B t) {
         return t.Undefined(0x9286, code("UNICODE\0") + exiftest::U16(t.order(), 0xE6) +
                                        exiftest::U16(t.order(), 'x'));
       },
       "UserComment", "\xC3\xA6x"},
      {"comment in UNICODE with a mark of the other order",
       [&](B t) {
         return t.Undefined(0x9286, code("UNICODE\0") + ByteText({0xFF, 0xFE, 'h', 0, 'i', 0}));
       },
       "UserComment", "hi"},
      {"comment of an undefined code",
       [&](B t) { return t.Undefined(0x9286, code("\0\0\0\0\0\0\0\0") + "text\0junk"); },
       "UserComment", "text"},
      {"comment too short for a code", [](B t) { return t.Undefined(0x9286, "ASCI"); },
       "UserComment", "ASCI"},
      {"an APEX aperture of 2^31 and more",
       [](B t) {
         return t.Rational(0x9202, {{static_cast<int32_t>(0x80000000u), 1000000000}});
       },
       "ApertureValue", "F2.1"},
      {"a LONG of 2^31 and more", [](B t) { return t.Long(0xA211, {0x80000000u}); }, "ImageNumber",
       "2147483648"},
      {"a distance",
       [](B t) {
         return t.Rational(0x9206, {{3750, 1000}});
       },
       "SubjectDistance", "3.75 m"},
      {"infinity",
       [](B t) {
         return t.Rational(0x9206, {{-1, 1}});
       },
       "SubjectDistance", "infinity"},
      {"a lens",
       [](B t) {
         return t.Rational(0xA432, {{15, 1}, {85, 1}, {0, 0}, {0, 0}});
       },
       "LensSpecification", "15-85mm f/?"},
      {"a fixed aperture",
       [](B t) {
         return t.Rational(0xA432, {{24, 1}, {70, 1}, {28, 10}, {28, 10}});
       },
       "LensSpecification", "24-70mm f/2.8"},
      {"a text of more than 50 bytes", [](B t) { return t.Ascii(0x010E, std::string(80, 'd')); },
       "ImageDescription", std::string(80, 'd')},
  };
  for (Order order : {Order::Intel, Order::Motorola}) {
    for (const ValueCase& c : cases) {
      TiffBuilder tiff(order);
      tiff.Ifd({c.field(tiff)});
      const auto reader = ReadJpegExif(tiff.Bytes());
      EXPECT_EQ(exiftest::Info(reader).StoredTagText(c.name), c.text) << c.what;
    }
  }
}

// The summary's f-number from an APEX aperture whose numerator has the top bit set.
TEST(Values, TheSummaryReadsRationalsUnsigned) {
  TiffBuilder t(Order::Motorola);
  t.Ifd({t.Rational(0x9202, {{static_cast<int32_t>(0x80000000u), 1000000000}})});
  const auto reader = ReadJpegExif(t.Bytes());
  const std::string summary =
      exif::detail::SummaryText(exiftest::Info(reader), [](auto) { return std::string(); });
  EXPECT_NE(summary.find("\r\nFNumber: F2.1\r\n"), std::string::npos) << summary;
}

TEST(Values, GpsReadsAsPositionAltitudeTimeSpeedAndDirection) {
  const std::pair<const char*, std::string> expected[] = {
      {"GPSLatitude", "37 Degrees 52 Minutes 15.94 Seconds N (37.871094\u00B0)"},
      {"GPSLongitude", "122 Degrees 15 Minutes 24.41 Seconds W (-122.256781\u00B0)"},
      {"GPSAltitudeRef", "Below sea level"},
      {"GPSAltitude", "12.5 m below sea level"},
      {"GPSTimeStamp", "14:27:07.24"},
      {"GPSSpeed", "1.1 mph"},
      {"GPSImageDirection", "46.5\u00B0 (Magnetic North)"},
      {"GPSDestLatitude",
       "0 Degrees 30 Minutes 30 Seconds (0.508333\u00B0)"},  // decimal minutes, no reference
  };
  for (Order order : {Order::Intel, Order::Motorola}) {
    TiffBuilder t(order);
    // The longitude's reference comes after it: a reference is looked up, not remembered.
    const uint32_t gps = t.Ifd(
        {t.Ascii(0x01, "N"), t.Rational(0x02, {{37, 1}, {52, 1}, {1594, 100}}),
         t.Rational(0x04, {{122, 1}, {15, 1}, {2441, 100}}), t.Ascii(0x03, "W"), t.Byte(0x05, {1}),
         t.Rational(0x06, {{125, 10}}), t.Rational(0x07, {{14, 1}, {27, 1}, {724, 100}}),
         t.Ascii(0x0C, "M"), t.Rational(0x0D, {{11, 10}}), t.Ascii(0x10, "M"),
         t.Rational(0x11, {{4650, 100}}), t.Rational(0x14, {{0, 1}, {3050, 100}, {0, 1}})});
    t.SetFirstIfd(t.Ifd({t.Long(0x8825, {gps})}));
    const auto reader = ReadJpegExif(t.Bytes());
    for (const auto& [name, text] : expected)
      EXPECT_EQ(exiftest::Info(reader).StoredTagText(name), text) << name;
  }
}

// Pointers stored with the IFD type are followed like LONG; the size is the main image's, not
// a thumbnail's that comes first, never from an ASCII value, and the frame's when EXIF has none.
TEST(IfdWalk, FollowsIfdTypedPointersAndTakesTheMainImagesSize) {
  for (Order order : {Order::Intel, Order::Motorola}) {
    TiffBuilder t(order);
    const uint32_t thumb =
        t.Ifd({t.Long(0x00FE, {1}), t.Short(0x0100, {160}), t.Short(0x0101, {224})});
    const uint32_t main =
        t.Ifd({t.Long(0x00FE, {0}), t.Short(0x0100, {2338}), t.Short(0x0101, {1656})});
    const uint32_t gps = t.Ifd({t.Ascii(0x1D, "2024:05:06")});
    const uint32_t exif = t.Ifd({t.Rational(0x829D, {{28, 10}}), t.Ascii(0xA002, "0")});
    t.SetFirstIfd(t.Ifd({t.Long(0x00FE, {1}), t.Short(0x0100, {80}), t.Short(0x0101, {60}),
                         t.Long(0x014A, {thumb, main}), t.Long(0x8769, {exif}, 13),
                         t.Long(0x8825, {gps}, 13)}));
    const auto reader = ReadJpegExif(t.Bytes());
    const exif::detail::TImageInfo& info = exiftest::Info(reader);
    EXPECT_EQ(info.StoredTagText("FNumber"), "F2.8");
    EXPECT_EQ(info.StoredTagText("GPSDateStamp"), "2024:05:06");
    EXPECT_EQ(std::to_string(info.PixelWidth) + " x " + std::to_string(info.PixelHeight),
              "2338 x 1656");
  }
  // EXIF data without the size: a JPEG's frame header gives it (height, then width).
  TiffBuilder t(Order::Intel);
  t.SetFirstIfd(t.Ifd({t.Ascii(0x010F, "Canon")}));
  exif::detail::TimgData reader;
  reader.ProcessBytes(
      "photo.jpg",
      exiftest::Jpeg({exiftest::ExifSegment(t.Bytes()),
                      exiftest::Segment(0xC2, exiftest::ByteText({8, 3, 0xA2, 5, 0x72, 3}))}));
  ASSERT_TRUE(reader.ExifInfo);
  EXPECT_EQ(std::to_string(reader.ExifInfo->PixelWidth) + " x " +
                std::to_string(reader.ExifInfo->PixelHeight),
            "1394 x 930");
}

}  // namespace
