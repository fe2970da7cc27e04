// Value decoders, text filters, stored-tag reads and the derived 35 mm focal length.

#include "exif/decoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "exif/text_filters.h"
#include "reader_support.h"

namespace {

using exif::detail::TImageInfo;
using exiftest::Field;
using exiftest::Order;
using exiftest::ReadJpegExif;
using exiftest::TiffBuilder;

TEST(TextFilters, MarkWhatTheyShow) {
  std::string seventeen;
  for (int i = 0; i < 17; ++i) seventeen += static_cast<char>(i);
  const std::pair<std::string, std::string> cases[] = {
      {exif::detail::MakePrintable(std::string(60, 'a')), std::string(60, 'a')},  // not cut
      {exif::detail::MakePrintable("a\tb\x1F\xC3\xA9"), "a.b.\xC3\xA9"},  // bytes above 127 stay
      {exif::detail::HexDump("\x01\xAB"), "01 AB "},
      {exif::detail::HexDump(seventeen), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ..."},
      // UNDEFINED bytes: text up to the first zero when they read as text, else their size.
      {exif::detail::UndefinedText(std::string("0230")), "\"0230\""},
      {exif::detail::UndefinedText(std::string("Nikon\0\x02\x10", 8)), "\"Nikon\""},
      {exif::detail::UndefinedText(std::string("\x1A\0\x01\0", 4)), "(binary data, 4 bytes)"},
      {exif::detail::UndefinedText(std::string(2060, '\0')), "(binary data, 2060 bytes)"},
      // Two-byte characters in either order, a pair for the characters beyond, a zero ends.
      {exif::detail::Utf16Text(std::string("S\0q\0\0\0x\0", 8), false), "Sq"},
      {exif::detail::Utf16Text(std::string("\0S\0q", 4), true), "Sq"},
      {exif::detail::Utf16Text(std::string("\xE6\0\x3D\xD8\x00\xDE", 6), false),
       "\xC3\xA6\xF0\x9F\x98\x80"},
      {exif::detail::Utf16Text(std::string("\x00\xD8!\0", 4), false), "\xEF\xBF\xBD!"},
  };
  for (const auto& [shown, expected] : cases) EXPECT_EQ(shown, expected);
}

TEST(Decoders, RewriteTheValueTexts) {
  using Examples = std::vector<std::pair<std::string, std::string>>;  // input, shown
  const std::pair<exif::detail::TagDecoder, Examples> groups[] = {
      {exif::detail::DecodeExposureTime,  // 1/N up to a quarter second, halves to even; seconds
                                          // above
       {{"10/4699 sec", "1/470 sec"},
        {"5/300 sec", "1/60 sec"},
        {"10000/600240 sec", "1/60 sec"},
        {"125/10000 sec", "1/80 sec"},
        {"1/345 sec", "1/345 sec"},
        {"25/100 sec", "1/4 sec"},
        {"2/9 sec", "1/4 sec"},
        {"2/11 sec", "1/6 sec"},
        {"8/10 sec", "0.8 sec"},
        {"7/20 sec", "0.4 sec"},
        {"13/20 sec", "0.6 sec"},
        {"20/10 sec", "2 sec"},
        {"1/1 sec", "1 sec"},
        {"4294967295/143165576 sec", "30 sec"},
        {"0/1 sec", "0/1 sec"},
        {"1/0 sec", "1/0 sec"},
        {"-1/60 sec", "-1/60 sec"},
        {"1/60, 1/80 sec", "1/60, 1/80 sec"},
        {"3 sec", "3 sec"}}},
      {exif::detail::DecodeShutterSpeed,
       {{"8/1", "0.0039 sec (1/256)"},
        {"0/1", "1.0000 sec"},
        {"1/1", "0.5000 sec (1/2)"},
        {"-1/1", "2.0000 sec"},
        {"7965/1000", "0.0040 sec (1/250)"},
        {"junk", "1.0000 sec"},
        {"99999/1", "0.0000 sec (1/2147483647)"}}},
      {exif::detail::DecodeFlash,
       {{"0", "Off"},
        {"24", "Off, auto mode"},
        {"25", "On, auto mode"},
        {"7", "On, strobe return"},
        {"89", "On, auto mode, red-eye reduction"},
        {"65", "On, red-eye reduction"},
        {"16", "Off, surpressed"},
        {"5", "On, no strobe return"},
        {"42", "Off, UNKNOWN, forced, no flash function"},
        {"1, 0", "On"},
        {"24, 1", "Off, auto mode"}}},
  };
  for (const auto& [decode, examples] : groups) {
    for (const auto& [input, shown] : examples) EXPECT_EQ(decode(input), shown) << input;
  }
  for (const char* notOneInteger : {"", "1/1", " 2x", "x, 1"}) {
    EXPECT_THROW(exif::detail::DecodeFlash(notOneInteger), exif::detail::ConversionError) << notOneInteger;
  }
}

// A flash value given as a fraction is a failing decoder: in the first directory it ends the
// read, in the EXIF directory only that directory's later entries.
TEST(Decoders, AFailingDecoderEndsItsDirectory) {
  TiffBuilder first(Order::Intel);
  first.Ifd({first.Ascii(0x010F, "Canon"), first.Rational(0x9209, {{72, 1}, {0, 1}}),
             first.Ascii(0x0110, "EOS")});
  for (const std::string name : {"photo.jpg", "photo.tif"}) {
    exif::detail::TimgData reader;
    EXPECT_FALSE(reader.ProcessBytes(
        name, name.ends_with("jpg") ? exiftest::Jpeg({exiftest::ExifSegment(first.Bytes())})
                                    : first.Bytes()));
    EXPECT_EQ(reader.ErrorText, "Illegal Exif construction") << name;
    ASSERT_TRUE(reader.HasExif());
    EXPECT_EQ(reader.ExifInfo->MakeText + "|" + reader.ExifInfo->ModelText, "Canon|");
  }
  TiffBuilder t(Order::Motorola);
  const uint32_t exifIfd =
      t.Ifd({t.Rational(0x829A, {{1, 60}}), t.Rational(0x9209, {{72, 1}, {0, 1}}),
             t.Rational(0x920A, {{50, 1}})});
  t.SetFirstIfd(t.Ifd({t.Long(0x8769, {exifIfd}), t.Ascii(0x0110, "EOS")}));
  const auto reader = ReadJpegExif(t.Bytes());
  const TImageInfo& info = exiftest::Info(reader);
  EXPECT_EQ(reader->ErrorText, "<none>");
  EXPECT_EQ(info.StoredTagText("ExposureTime") + "|" + info.StoredTagText("FocalLength"),
            "1/60 sec|");
  EXPECT_EQ(info.ModelText, "EOS");
}

TEST(DeriveFocalLength35, DerivesFromTheSensorUnlessTheCameraGaveIt) {
  struct Case {
    const char* what;
    int32_t focalLength;                                // in 1/10000 mm
    std::vector<std::pair<uint16_t, uint16_t>> shorts;  // SHORT tags after the camera's
    std::string stored;  // the text of the one FocalLengthin35mmFilm entry; empty for none
  };
  const Case cases[] = {
      {"inch on the focal plane, before the image's centimetre",
       71000,
       {{0xA210, 2}, {0x0128, 3}},
       "14.58"},
      {"focal-plane unit 0: the image's, centimetre", 71000, {{0x9210, 0}, {0x0128, 3}}, "37.03"},
      {"no unit", 71000, {}, ""},
      {"padded to five characters", 36525, {{0xA210, 2}}, " 7.50"},
      {"no focal length", 0, {{0xA210, 2}}, ""},
      {"no image height", 71000, {{0xA210, 2}, {0xA003, 0}}, ""},
      {"the camera's own value stands", 71000, {{0xA210, 2}, {0xA405, 50}}, "50.00 mm"},
      {"a resized photo kept the camera's resolution",
       71000,
       {{0xA210, 2}, {0xA002, 100}, {0xA003, 75}},
       ""},
  };
  for (Order order : {Order::Intel, Order::Motorola}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      // The example camera: 2048 x 1536 pixels, 3085.7 and 3086 pixels per unit.
      TiffBuilder t(order);
      std::vector<Field> fields = {
          t.Rational(0x920A, {{c.focalLength, 10000}}), t.Short(0xA002, {2048}),
          t.Short(0xA003, {1536}), t.Rational(0xA20E, {{30857, 10}}),
          t.Rational(0xA20F, {{3086, 1}})};
      for (const auto& [tag, value] : c.shorts) fields.push_back(t.Short(tag, {value}));
      t.Ifd(fields);
      const auto reader = ReadJpegExif(t.Bytes());
      TImageInfo& info = exiftest::Info(reader);
      const int32_t count = info.TagCount;
      exif::detail::DeriveFocalLength35(info);  // a second run adds nothing
      EXPECT_EQ(info.TagCount, count);
      EXPECT_EQ(std::count_if(info.StoredTags().begin(), info.StoredTags().end(),
                              [](const auto& e) { return e.Name == "FocalLengthin35mmFilm"; }),
                c.stored.empty() ? 0 : 1);
      EXPECT_EQ(exif::detail::StoredTagEntry(info, "FOCALLENGTHIN35MMFILM").Text, c.stored);
      if (!c.stored.empty()) {
        EXPECT_TRUE(info.TraceText.ends_with("\r\nFocal Length in 35mm Film = " + c.stored));
      }
    }
  }
}

TEST(DeriveFocalLength35, StoresAComputedEntryReadByName) {
  TiffBuilder t(Order::Intel);
  t.Ifd({t.Rational(0x920A, {{71, 10}}), t.Short(0xA002, {2048}), t.Short(0xA003, {1536}),
         t.Rational(0xA20E, {{30857, 10}}), t.Rational(0xA20F, {{30865, 10}}),
         t.Short(0xA210, {2})});
  const auto reader = ReadJpegExif(t.Bytes(), exif::detail::kBuildAll, exiftest::Detailed());
  TImageInfo& info = exiftest::Info(reader);
  const exif::detail::TTagEntry derived = exif::detail::StoredTagEntry(info, "FocalLengthin35mmFilm");
  EXPECT_EQ(std::tie(derived.Tag, derived.DataType, derived.FormatString, derived.Raw),
            std::make_tuple(0xA405, 10, "%s mm", ""));
  EXPECT_EQ(derived.RawPos + derived.RawSize + derived.Id, 0);
  EXPECT_TRUE(info.TraceText.ends_with(
      "\r\ntag[$A405]: Focal Length in 35mm Film = " + derived.Text + " [size: 0] [start: 0]"));
  // Case ignored; resolutions rounded halves to even.
  EXPECT_DOUBLE_EQ(exif::detail::StoredTagNumber(info, "focalplanexresolution"), 3085.7);
  EXPECT_EQ(exif::detail::StoredTagInteger(info, "FocalPlaneXResolution"), 3086);
  EXPECT_EQ(exif::detail::StoredTagInteger(info, "FocalPlaneYResolution"), 3086);
  EXPECT_EQ(exif::detail::StoredTagEntry(info, "Missing").Name, "");
  info.AddComputedTag("Computed", "12", 3);
  EXPECT_EQ(exif::detail::StoredTagNumber(info, "Computed"), 0);  // a text, not a value
}

}  // namespace
