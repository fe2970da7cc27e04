// The directory walk: value texts, trace lines, plain fields, sub-directories and the store.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exif/container.h"
#include "exif/image_info.h"
#include "exif/settings.h"
#include "reader_support.h"

namespace {

using exif::TImageInfo;
using exif::TTagEntry;
using exiftest::ByteText;
using exiftest::Field;
using exiftest::Info;
using exiftest::JpegPos;
using exiftest::Order;
using exiftest::ReadJpegExif;
using exiftest::ScopedSetting;
using exiftest::TiffBuilder;

const TTagEntry& Stored(const TImageInfo& info, const std::string& name) {
  const int32_t index = info.FindStoredTag(name);
  if (index < 0) throw std::runtime_error("not stored: " + name);
  return info.Tags[static_cast<size_t>(index)];
}

std::vector<std::string> StoredNames(const TImageInfo& info) {
  std::vector<std::string> names;
  for (const TTagEntry& entry : info.StoredTags()) names.push_back(entry.Name);
  return names;
}

class WalkInBothOrders : public ::testing::TestWithParam<Order> {};

INSTANTIATE_TEST_SUITE_P(ByteOrder, WalkInBothOrders,
                         ::testing::Values(Order::Intel, Order::Motorola), [](const auto& info) {
                           return info.param == Order::Intel ? "Intel" : "Motorola";
                         });

TEST_P(WalkInBothOrders, TracesAndStoresEachEntry) {
  TiffBuilder tiff(GetParam());
  const uint32_t ifd = tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Ascii(0x0110, "EOS"),
                                 tiff.Short(0x0112, {3}), tiff.Rational(0x011A, {{72, 1}})});
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);

  EXPECT_EQ(reader->ErrorText, "<none>");
  EXPECT_EQ(info.TraceText,
            "\r\nMake = Canon\r\nModel = EOS\r\nOrientation = Rotated 180°\r\nXResolution = 72.00");
  EXPECT_EQ(info.MakeText, "Canon");
  EXPECT_EQ(info.ModelText, "EOS");
  ASSERT_EQ(info.TagCount, 4);

  const TTagEntry& make = Stored(info, "make");
  EXPECT_EQ(make.Text, "Canon");
  EXPECT_EQ(make.Raw, std::string("Canon\0", 6));
  EXPECT_EQ(make.RawSize, 6);
  EXPECT_EQ(make.DataType, 2);
  EXPECT_EQ(make.Tag, 0x010F);
  EXPECT_EQ(make.RawPos, JpegPos(ifd + 2 + 4 * 12 + 4));  // first value after the table
  EXPECT_EQ(make.Id, 0);
  const TTagEntry& model = Stored(info, "Model");
  EXPECT_EQ(model.RawPos, JpegPos(TiffBuilder::ValueFieldOf(ifd, 1)));  // 4 bytes: inline
  EXPECT_EQ(Stored(info, "Orientation").Raw.size(), 2u);
}

TEST_P(WalkInBothOrders, ReadsUpToFourBytesInlineAndLongerValuesAtTheirOffset) {
  TiffBuilder tiff(GetParam());
  const uint32_t ifd = tiff.Ifd({tiff.Short(0x0102, {8, 9}), tiff.Short(0x0212, {2, 1, 7})});
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);

  const TTagEntry& inlineValue = Stored(info, "BitsPerSample");
  EXPECT_EQ(inlineValue.Text, "8, 9");
  EXPECT_EQ(inlineValue.RawPos, JpegPos(TiffBuilder::ValueFieldOf(ifd, 0)));
  const TTagEntry& offsetValue = Stored(info, "YCbCrSubSampling");
  EXPECT_EQ(offsetValue.Text, "2, 1, 7");
  EXPECT_EQ(offsetValue.RawPos, JpegPos(ifd + 2 + 2 * 12 + 4));
}

TEST_P(WalkInBothOrders, FollowsSubDirectoriesDepthFirstAndStoresThePointerAfterThem) {
  TiffBuilder tiff(GetParam());
  const uint32_t exifIfd = tiff.Ifd({tiff.Rational(0x829A, {{1, 125}})});
  const uint32_t gpsIfd = tiff.Ifd({tiff.Byte(0x0000, {2, 2, 0, 0}), tiff.Ascii(0x0001, "N")});
  const uint32_t ifd0 = tiff.Ifd({tiff.Ascii(0x010F, "Nikon"), tiff.Long(0x8769, {exifIfd}),
                                  tiff.Long(0x8825, {gpsIfd}), tiff.Ascii(0x8298, "me")});
  tiff.SetFirstIfd(ifd0);
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);

  EXPECT_EQ(info.TraceText,
            "\r\nMake = Nikon\r\nExif Offset = " + std::to_string(exifIfd) +
                "\r\nExposure Time = 1/125 sec\r\nGPSInfo = " + std::to_string(gpsIfd) +
                "\r\nGPSVersion ID = 2, 2, 0, 0\r\nGPSLatitude Ref = N"
                "\r\nCopyright = me");
  // GPSVersionID has tag number 0, which the store refuses.
  EXPECT_EQ(StoredNames(info),
            (std::vector<std::string>{"Make", "ExposureTime", "ExifOffset", "GPSLatitudeRef",
                                      "GPSInfo", "Copyright"}));
}

TEST(IfdWalk, LaterSpecialTagsReplaceEarlierOnes) {
  TiffBuilder tiff(Order::Motorola);
  const uint32_t exifIfd = tiff.Ifd({tiff.Ascii(0x9003, "2004:03:28 14:03:27"),
                                     tiff.Long(0xA002, {2048}), tiff.Short(0xA003, {1536})});
  const uint32_t ifd0 =
      tiff.Ifd({tiff.Long(0x0100, {640}), tiff.Short(0x0101, {480}),
                tiff.Ascii(0x0132, "1999:01:01 00:00:00"), tiff.Long(0x8769, {exifIfd})});
  tiff.SetFirstIfd(ifd0);
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);
  EXPECT_EQ(info.PixelWidth, 2048);
  EXPECT_EQ(info.PixelHeight, 1536);
  EXPECT_EQ(info.DateTimeText, "2004:03:28 14:03:27");
}

TEST(IfdWalk, FillsThePlainFieldsWithTheirCuts) {
  TiffBuilder tiff(Order::Intel);
  const std::string longMake(45, 'M');
  const std::string longModel(60, 'm');
  const std::string makerNote = ByteText({'N', 'i', 'k', 'o', 'n', 0, 1, 0, 0, 0});
  tiff.Ifd({tiff.Ascii(0x010F, longMake), tiff.Ascii(0x0110, longModel),
            tiff.Ascii(0x0132, "2001:02:03 04:05:06 and more"), tiff.Undefined(0x9000, "0220XYZW"),
            tiff.Short(0x9209, {25}), tiff.Rational(0x0100, {{5, 2}}),  // 2.5 rounds to the even 2
            tiff.Undefined(0x927C, makerNote)});
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);
  EXPECT_EQ(info.MakeText, std::string(32, 'M'));
  EXPECT_EQ(info.ModelText, std::string(40, 'm'));  // after the 50-byte printable cut
  EXPECT_EQ(info.DateTimeText, "2001:02:03 04:05:06 ");
  EXPECT_EQ(info.ExifVersionText, "0220XY");
  EXPECT_EQ(info.FlashValue, 25);
  EXPECT_EQ(info.PixelWidth, 2);
  EXPECT_EQ(info.MakerNoteData.View(), makerNote);
  EXPECT_EQ(info.MakerNotePos, Stored(info, "MakerNote").RawPos);
  EXPECT_EQ(
      info.MakerNoteData.View(),
      reader->ExifSection->Data.Copy(info.MakerNotePos, static_cast<int64_t>(makerNote.size())));
  EXPECT_FALSE(info.MakerNoteRead);  // no maker-note decoder is linked in
  EXPECT_EQ(Stored(info, "Model").Text, std::string(50, 'm'));
}

TEST(IfdWalk, ShowsValuesPrintably) {
  TiffBuilder tiff(Order::Intel);
  tiff.Ifd({tiff.Ascii(0x010F, "Ca\tnon"), tiff.Undefined(0xA000, ByteText({'0', '1', 0, '9'})),
            tiff.Ascii(0x010E, std::string("two\0zeros", 9))});
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);
  EXPECT_EQ(info.MakeText, "Ca.non");
  // UNDEFINED shows up to its first zero byte, quoted.
  EXPECT_EQ(Stored(info, "FlashPixVersion").Text, "\"01\"");
  EXPECT_EQ(Stored(info, "ImageDescription").Text, "two.zeros");
}

TEST(IfdWalk, UserCommentDropsItsCodePrefixAndLastByte) {
  TiffBuilder tiff(Order::Motorola);
  tiff.Ifd({tiff.Undefined(0x9286, std::string("ASCII\0\0\0  Hello world \x01\0", 24))});
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);
  EXPECT_EQ(info.UserCommentText, "Hello world");
  EXPECT_EQ(Stored(info, "UserComment").Text, "Hello world");
  EXPECT_EQ(info.TraceText, "\r\nUser Comment = Hello world");
}

TEST(IfdWalk, UnknownTagsAreTracedButNotStored) {
  TiffBuilder tiff(Order::Intel);
  tiff.Ifd({tiff.Short(0xC000, {5}), tiff.Short(0x0112, {1})});
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);
  EXPECT_EQ(info.TraceText, "\r\nUnknown = 5\r\nOrientation = Normal");
  EXPECT_EQ(StoredNames(info), std::vector<std::string>{"Orientation"});
}

TEST(IfdWalk, GpsTagsAreStoredAndFoundByTheirNameInAnyCase) {
  TiffBuilder tiff(Order::Motorola);
  const uint32_t gps = tiff.Ifd(
      {tiff.Byte(0x00, {2, 2, 0, 0}), tiff.Rational(0x02, {{50, 1}, {5, 1}, {1234, 100}})});
  tiff.SetFirstIfd(tiff.Ifd({tiff.Long(0x8825, {gps})}));
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);
  EXPECT_EQ(info.FindStoredTag("gpslatitude"), 0);
  EXPECT_EQ(info.FindStoredTag("GPSVersionID"), -1);
  EXPECT_EQ(Stored(info, "GPSLatitude").Raw.size(), 24u);
}

TEST(IfdWalk, SkipsEntriesWithoutBytes) {
  TiffBuilder tiff(Order::Intel);
  tiff.Ifd({tiff.Raw(0x010F, 2, 0, ""),       // count 0
            tiff.Raw(0x0110, 0, 4, "abcd"),   // type of size 0
            tiff.Raw(0x0131, 13, 4, "abcd"),  // unknown type
            tiff.Short(0x0112, {1})});
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);
  EXPECT_EQ(info.TraceText, "\r\nOrientation = Normal");
  EXPECT_EQ(info.TagCount, 1);
}

TEST(IfdWalk, ADirectoryOfNoEntriesAddsNothing) {
  TiffBuilder tiff(Order::Intel);
  tiff.Ifd({});
  const auto reader = ReadJpegExif(tiff.Bytes());
  EXPECT_EQ(reader->ErrorText, "<none>");
  EXPECT_EQ(Info(reader).TagCount, 0);
  EXPECT_EQ(Info(reader).TraceText, "");
}

TEST(IfdWalk, DefaultTraceLevelShowsOnlyDescriptionsAndValues) {
  TiffBuilder tiff(Order::Intel);
  const uint32_t exifIfd = tiff.Ifd({tiff.Rational(0x829A, {{1, 125}})});
  tiff.SetFirstIfd(tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Long(0x8769, {exifIfd})}));
  const auto reader = ReadJpegExif(tiff.Bytes());
  const std::string trace = Info(reader).TraceText;
  EXPECT_NE(trace.find("\r\nExposure Time = 1/125 sec"), std::string::npos);
  for (const char* detail : {"tag[$", " [size: ", " [start: ", "\r\nDirectory"}) {
    EXPECT_EQ(trace.find(detail), std::string::npos) << detail;
  }
}

TEST(IfdWalk, DetailedTraceAddsDirectoriesTagNumbersSizesAndPositions) {
  const ScopedSetting<int32_t> detailed(exif::TraceDetailLevel, 1);
  TiffBuilder tiff(Order::Intel);
  const uint32_t ifd = tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Short(0x927C, {1})});
  const auto reader = ReadJpegExif(tiff.Bytes());
  const std::string trace = Info(reader).TraceText;
  const int64_t makePos = JpegPos(ifd + 2 + 2 * 12 + 4);
  const int64_t notePos = JpegPos(TiffBuilder::ValueFieldOf(ifd, 1));
  EXPECT_EQ(trace, "\r\nDirectory: Start, entries = " + std::to_string(JpegPos(ifd)) + ", 2" +
                       "\r\ntag[$010F]: Make = Canon [size: 6] [start: " + std::to_string(makePos) +
                       "]" + "\r\ntag[$927C]: Maker Note = 1 [size: 2] [start: " +
                       std::to_string(notePos) + "]");
}

TEST(IfdWalk, BuildModeTwoTracesWithoutStoringAndModeFourStoresWithoutText) {
  TiffBuilder tiff(Order::Intel);
  tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Long(0x0100, {640})});

  const auto textOnly = ReadJpegExif(tiff.Bytes(), exif::kBuildTextOnly);
  EXPECT_EQ(Info(textOnly).TraceText, "\r\nMake = Canon\r\nImage Width = 640");
  EXPECT_EQ(Info(textOnly).TagCount, 0);

  const auto storeOnly = ReadJpegExif(tiff.Bytes(), exif::kBuildStoreOnly);
  const TImageInfo& stored = Info(storeOnly);
  EXPECT_EQ(stored.TraceText, "");
  EXPECT_EQ(stored.MakeText, "");  // the value text is empty in this mode
  EXPECT_EQ(stored.PixelWidth, 640);
  ASSERT_EQ(stored.TagCount, 2);
  EXPECT_EQ(Stored(stored, "Make").Text, "");
  EXPECT_EQ(Stored(stored, "Make").Raw, std::string("Canon\0", 6));
}

TEST(TagStore, GrowsInStepsOfTwentyFiveOneEntryEarly) {
  TImageInfo info(nullptr, exif::kBuildAll);
  TTagEntry entry;
  entry.Tag = 0x010F;
  entry.Name = "Make";
  EXPECT_EQ(info.TagCapacity, 0);
  EXPECT_EQ(info.AddTag(entry), 0);
  EXPECT_EQ(info.TagCapacity, 25);
  for (int i = 2; i <= 24; ++i) info.AddTag(entry);
  EXPECT_EQ(info.TagCapacity, 25);
  EXPECT_EQ(info.AddTag(entry), 24);  // the 25th entry
  EXPECT_EQ(info.TagCapacity, 50);
  EXPECT_EQ(info.TagCount, 25);
}

TEST(TagStore, RefusesTagZeroButReturnsTheLastIndex) {
  TImageInfo info(nullptr, exif::kBuildAll);
  TTagEntry none;
  EXPECT_EQ(info.AddTag(none), -1);
  EXPECT_EQ(info.TagCapacity, 0);
  TTagEntry make;
  make.Tag = 0x010F;
  info.AddTag(make);
  EXPECT_EQ(info.AddTag(none), 0);
  EXPECT_EQ(info.TagCount, 1);
}

TEST(TagStore, ComputedEntriesAreStoredInStoringModesOnly) {
  TImageInfo info(nullptr, exif::kBuildAll);
  info.AddComputedTag("Macro mode", "Normal", 2);
  ASSERT_EQ(info.TagCount, 1);
  const TTagEntry& entry = info.Tags[0];
  EXPECT_EQ(entry.Id, 1);
  EXPECT_EQ(entry.Tag, 0);
  EXPECT_EQ(entry.DataType, 2);
  EXPECT_EQ(entry.Description, "Macro mode");
  EXPECT_EQ(entry.Raw, "Normal");
  EXPECT_EQ(entry.RawSize, 6);
  EXPECT_EQ(entry.RawPos, 0);
  EXPECT_EQ(info.StoredTagText("MACRO MODE"), "Normal");

  TImageInfo textOnly(nullptr, exif::kBuildTextOnly);
  textOnly.AddComputedTag("Macro mode", "Normal", 2);
  EXPECT_EQ(textOnly.TagCount, 0);
}

TEST(TagStore, FindsTheFirstOfTwoEqualNamesInAnyCase) {
  TImageInfo info(nullptr, exif::kBuildAll);
  info.AddComputedTag("Quality", "first", 2);
  info.AddComputedTag("QUALITY", "second", 2);
  EXPECT_EQ(info.FindStoredTag("quality"), 0);
  EXPECT_EQ(info.StoredTagText("qUaLiTy"), "first");
  EXPECT_EQ(info.FindStoredTag("Quality2"), -1);
  EXPECT_EQ(info.StoredTagText("missing"), "");
}

TEST(TagStore, FillsFromAWalkAcrossTheGrowthStep) {
  TiffBuilder tiff(Order::Intel);
  std::vector<Field> fields;
  for (uint16_t tag = 0x5001; tag <= 0x5019; ++tag) fields.push_back(tiff.Short(tag, {1}));
  tiff.Ifd(fields);
  const auto reader = ReadJpegExif(tiff.Bytes());
  const TImageInfo& info = Info(reader);
  EXPECT_EQ(info.TagCount, 25);
  EXPECT_EQ(info.TagCapacity, 50);
}

}  // namespace
