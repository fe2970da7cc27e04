// The directory walk: value texts, trace lines, plain fields, sub-directories and the store.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "exif/container.h"
#include "exif/image_info.h"
#include "reader_support.h"

namespace {

using exif::detail::TImageInfo;
using exif::detail::TTagEntry;
using exiftest::ByteText;
using exiftest::Info;
using exiftest::JpegPos;
using exiftest::Order;
using exiftest::ReadJpegExif;
using exiftest::TiffBuilder;

const TTagEntry& Stored(const TImageInfo& info, const std::string& name) {
  const int32_t index = info.FindStoredTag(name);
  if (index < 0) throw std::runtime_error("not stored: " + name);
  return info.Tags[static_cast<size_t>(index)];
}

struct TraceCase {
  const char* what;
  std::function<void(TiffBuilder&)> layout;  // sub-directories first, so the first lies at 8
  std::string trace;
};

TEST(IfdWalk, TracesOneLinePerEntryInBothByteOrders) {
  const TraceCase cases[] = {
      {"values by type, map and format",
       [](TiffBuilder& t) {
         t.Ifd({t.Ascii(0x010F, "Canon"), t.Ascii(0x0110, "EOS"), t.Short(0x0112, {3}),
                t.Rational(0x011A, {{72, 1}})});
       },
       "\r\nMake = Canon\r\nModel = EOS\r\nOrientation = Rotated 180°\r\nXResolution = 72.00"},
      {"four bytes inline, six at an offset",
       [](TiffBuilder& t) {
         t.Ifd({t.Short(0x0102, {8, 9}), t.Short(0x0212, {2, 1, 7})});
       },
       "\r\nBits Per Sample = 8, 9\r\nYCb Cr Sub Sampling = 2, 1, 7"},
      {"sub-directories depth first; GPS by its own dictionary",
       [](TiffBuilder& t) {
         const uint32_t exifIfd = t.Ifd({t.Rational(0x829A, {{1, 125}})});  // at 8, 26 bytes
         const uint32_t gps = t.Ifd({t.Byte(0x00, {2, 2, 0, 0}), t.Ascii(0x01, "N")});  // at 34
         t.SetFirstIfd(t.Ifd({t.Ascii(0x010F, "Nikon"), t.Long(0x8769, {exifIfd}),
                              t.Long(0x8825, {gps}), t.Ascii(0x8298, "me")}));
       },
       "\r\nMake = Nikon\r\nExif Offset = 8\r\nExposure Time = 1/125 sec\r\nGPSInfo = 34"
       "\r\nGPSVersion ID = 2, 2, 0, 0\r\nGPSLatitude Ref = North\r\nCopyright = me"},
      {"control characters as dots; ASCII and UNDEFINED up to their first zero",
       [](TiffBuilder& t) {
         t.Ifd({t.Ascii(0x010F, "Ca\tnon"), t.Undefined(0xA000, ByteText({'0', '1', 0, '9'})),
                t.Ascii(0x010E, std::string("two\0zeros", 9))});
       },
       "\r\nMake = Ca.non\r\nFlash Pix Version = \"01\"\r\nImage Description = two"},
      {"user comment without its code prefix and last byte",
       [](TiffBuilder& t) {
         t.Ifd({t.Undefined(0x9286, std::string("ASCII\0\0\0  Hello world \x01\0", 24))});
       },
       "\r\nUser Comment = Hello world"},
      {"unknown tag by its number; entries without bytes skipped",
       [](TiffBuilder& t) {
         t.Ifd({t.Short(0xC000, {5}), t.Raw(0x010F, 2, 0, ""), t.Raw(0x0110, 0, 4, "abcd"),
                t.Raw(0x0131, 14, 4, "abcd"), t.Short(0x0112, {1})});
       },
       "\r\nUnknown 0xC000 = 5\r\nOrientation = Normal"},
      {"a directory of no entries", [](TiffBuilder& t) { t.Ifd({}); }, ""},
  };
  for (Order order : {Order::Intel, Order::Motorola}) {
    for (const TraceCase& c : cases) {
      TiffBuilder tiff(order);
      c.layout(tiff);
      const auto reader = ReadJpegExif(tiff.Bytes());
      EXPECT_EQ(Info(reader).TraceText, c.trace) << c.what;
      EXPECT_EQ(reader->ErrorText, "<none>") << c.what;
    }
  }
}

TEST(IfdWalk, StoresKnownEntriesWithTheirRawBytesAndPositions) {
  TiffBuilder tiff(Order::Motorola);
  const uint32_t gps = tiff.Ifd({tiff.Byte(0x00, {2, 2, 0, 0}), tiff.Ascii(0x01, "N")});
  const uint32_t ifd = tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Short(0xC000, {5}),
                                 tiff.Long(0x8825, {gps}), tiff.Ascii(0x0110, "EOS")});
  tiff.SetFirstIfd(ifd);
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);

  std::vector<std::string> names;
  for (const TTagEntry& entry : info.StoredTags()) names.push_back(entry.Name);
  // Unknown tags and GPSVersionID (tag number 0) stay out; a pointer follows its directory.
  EXPECT_EQ(names, (std::vector<std::string>{"Make", "GPSLatitudeRef", "GPSInfo", "Model"}));
  const TTagEntry& make = Stored(info, "make");
  EXPECT_EQ(make.Raw, std::string("Canon\0", 6));
  EXPECT_EQ(make.RawSize, 6);
  EXPECT_EQ(make.DataType, 2);
  EXPECT_EQ(make.Tag, 0x010F);
  EXPECT_EQ(make.Text, "Canon");
  EXPECT_EQ(make.RawPos, JpegPos(ifd + 2 + 4 * 12 + 4));  // the first value after the table
  EXPECT_EQ(Stored(info, "MODEL").RawPos, JpegPos(TiffBuilder::ValueFieldOf(ifd, 3)));  // inline
  EXPECT_EQ(make.Raw, reader->ExifSection->Data.Copy(make.RawPos, 6));
}

TEST(IfdWalk, FillsThePlainFieldsFromTheLastMatchingEntryWithTheirCuts) {
  TiffBuilder tiff(Order::Intel);
  const std::string makerNote = ByteText({'N', 'i', 'k', 'o', 'n', 0, 1, 0, 0, 0});
  const uint32_t exifIfd =
      tiff.Ifd({tiff.Ascii(0x9003, "2004:03:28 14:03:27 and more"), tiff.Long(0xA002, {2048}),
                tiff.Rational(0xA003, {{3, 2}}),  // 1.5 rounds to the even 2
                tiff.Undefined(0x9000, "0220XYZW"), tiff.Short(0x9209, {25}),
                tiff.Undefined(0x927C, makerNote)});
  tiff.SetFirstIfd(
      tiff.Ifd({tiff.Ascii(0x010F, std::string(45, 'M')), tiff.Ascii(0x0110, std::string(60, 'm')),
                tiff.Long(0x0100, {640}), tiff.Short(0x0101, {480}),
                tiff.Ascii(0x0132, "1999:01:01 00:00:00"), tiff.Long(0x8769, {exifIfd})}));
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);
  EXPECT_EQ(info.MakeText, std::string(32, 'M'));
  EXPECT_EQ(info.ModelText, std::string(40, 'm'));
  EXPECT_EQ(Stored(info, "Model").Text, std::string(60, 'm'));  // the trace's text is not cut
  EXPECT_EQ(info.DateTimeText, "2004:03:28 14:03:27 ");
  EXPECT_EQ(info.PixelWidth, 2048);
  EXPECT_EQ(info.PixelHeight, 2);
  EXPECT_EQ(info.ExifVersionText, "0220XY");
  EXPECT_EQ(info.FlashValue, 25);
  EXPECT_EQ(info.MakerNoteData.View(), makerNote);
  EXPECT_EQ(info.MakerNotePos, Stored(info, "MakerNote").RawPos);
  EXPECT_FALSE(info.MakerNoteRead);  // the make names no known maker
}

TEST(IfdWalk, DetailedTraceAddsDirectoriesTagNumbersSizesAndPositions) {
  TiffBuilder tiff(Order::Intel);
  const uint32_t ifd = tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Short(0x927C, {1})});
  const auto plain = ReadJpegExif(tiff.Bytes());
  for (const char* detail : {"tag[$", " [size: ", " [start: ", "Directory"}) {
    EXPECT_EQ(Info(plain).TraceText.find(detail), std::string::npos) << detail;
  }
  const auto reader = ReadJpegExif(tiff.Bytes(), exif::detail::kBuildAll, exiftest::Detailed());
  EXPECT_EQ(
      Info(reader).TraceText,
      "\r\nDirectory: Start, entries = " + std::to_string(JpegPos(ifd)) + ", 2" +
          "\r\ntag[$010F]: Make = Canon [size: 6] [start: " + std::to_string(JpegPos(ifd + 30)) +
          "]" + "\r\ntag[$927C]: Maker Note = 1 [size: 2] [start: " +
          std::to_string(JpegPos(TiffBuilder::ValueFieldOf(ifd, 1))) + "]");
}

TEST(IfdWalk, ModeTwoTracesWithoutStoringAndModeFourStoresWithoutText) {
  TiffBuilder tiff(Order::Intel);
  tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Long(0x0100, {640})});
  const auto textOnly = ReadJpegExif(tiff.Bytes(), exif::detail::kBuildTextOnly);
  EXPECT_EQ(Info(textOnly).TraceText, "\r\nMake = Canon\r\nImage Width = 640");
  EXPECT_EQ(Info(textOnly).TagCount, 0);

  const auto storeOnly = ReadJpegExif(tiff.Bytes(), exif::detail::kBuildStoreOnly);
  const TImageInfo& stored = Info(storeOnly);
  EXPECT_EQ(stored.TraceText, "");
  EXPECT_EQ(stored.MakeText, "");  // the value text is empty in this mode
  EXPECT_EQ(stored.PixelWidth, 640);
  EXPECT_EQ(Stored(stored, "Make").Raw, std::string("Canon\0", 6));
}

TEST(TagStore, GrowsInStepsOfTwentyFiveOneEntryEarlyAndRefusesTagZero) {
  TImageInfo info(nullptr, exif::detail::kBuildAll);
  TTagEntry none;
  EXPECT_EQ(info.AddTag(none), -1);
  EXPECT_EQ(info.TagCapacity, 0);
  TTagEntry make;
  make.Tag = 0x010F;
  std::vector<int32_t> capacities;
  for (int i = 1; i <= 26; ++i) {
    EXPECT_EQ(info.AddTag(make), i - 1);
    capacities.push_back(info.TagCapacity);
  }
  EXPECT_EQ(capacities[0], 25);   // the first entry
  EXPECT_EQ(capacities[23], 25);  // the 24th
  EXPECT_EQ(capacities[24], 50);  // the 25th
  EXPECT_EQ(info.AddTag(none), 25);
}

TEST(TagStore, ComputedEntriesAreStoredInStoringModesAndFoundByNameInAnyCase) {
  TImageInfo info(nullptr, exif::detail::kBuildAll);
  info.AddComputedTag("Macro mode", "Normal", 2);
  info.AddComputedTag("MACRO MODE", "second", 2);
  ASSERT_EQ(info.TagCount, 2);
  const TTagEntry& entry = info.Tags[0];
  EXPECT_EQ(entry.Id, 1);
  EXPECT_EQ(entry.Tag, 0);
  EXPECT_EQ(entry.Description, "Macro mode");
  EXPECT_EQ(entry.Raw, "Normal");
  EXPECT_EQ(entry.RawSize, 6);
  EXPECT_EQ(info.StoredTagText("macro MODE"), "Normal");  // the first of equal names
  EXPECT_EQ(info.FindStoredTag("Macro"), -1);
  EXPECT_EQ(info.StoredTagText("missing"), "");

  TImageInfo textOnly(nullptr, exif::detail::kBuildTextOnly);
  textOnly.AddComputedTag("Macro mode", "Normal", 2);
  EXPECT_EQ(textOnly.TagCount, 0);
}

}  // namespace
