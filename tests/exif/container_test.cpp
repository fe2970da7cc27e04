// JPEG and TIFF container reading: the extension choice, the segment scan, the EXIF header
// check and the status text.

#include "exif/container.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "exif/byte_stream.h"
#include "exif/settings.h"
#include "reader_support.h"

namespace {

using exif::TimgData;
using exiftest::ByteText;
using exiftest::CommentSegment;
using exiftest::ExifSegment;
using exiftest::Jpeg;
using exiftest::Order;
using exiftest::ScopedSetting;
using exiftest::Segment;
using exiftest::TiffBuilder;

std::string SimpleTiff(Order order = Order::Intel) {
  TiffBuilder tiff(order);
  tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Short(0x0112, {1})});
  return tiff.Bytes();
}

const std::string kApp0 = Segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
const std::string kDqt = Segment(0xDB, std::string(65, '\x01'));
const std::string kDht = Segment(0xC4, std::string(29, '\x02'));
const std::string kXmp = Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33));

// Scans `jpeg` directly, so ErrorText keeps what the scan itself set.
bool Scan(TimgData& reader, const std::string& jpeg) {
  exif::MemoryByteStream stream(jpeg);
  return reader.ScanJpegSections(stream);
}

struct ExtensionCase {
  const char* name;
  bool read;
};

TEST(Container, TheExtensionDecidesWhetherAndHowTheFileIsRead) {
  const std::string jpeg = Jpeg({ExifSegment(SimpleTiff())});
  const ExtensionCase cases[] = {
      {"a.jpg", true},
      {"A.JPG", true},
      {"photo.JpEg", true},
      {"x.jpe", true},
      {"dir.tif/a.jpg", true},
      {"dir\\a.JPG", true},
      {"a.jpeg2", false},
      {"noextension", false},
      {"a.jpg/", false},
      {"a.jpg.txt", false},
      {"", false},
      {"a.tif", false},  // JPEG bytes are no TIFF
  };
  for (const ExtensionCase& c : cases) {
    TimgData reader;
    EXPECT_EQ(reader.ProcessBytes(c.name, jpeg), c.read) << c.name;
    EXPECT_EQ(reader.ErrorText, c.read ? "<none>" : "Not an EXIF file") << c.name;
    EXPECT_EQ(reader.HasExif(), c.read) << c.name;
  }
}

TEST(Container, TiffExtensionsReadTiffFiles) {
  for (const char* name : {"a.tif", "b.TIFF", "c.nef", "d.NeF"}) {
    TimgData reader;
    EXPECT_TRUE(reader.ProcessBytes(name, SimpleTiff())) << name;
    EXPECT_EQ(reader.ExifInfo->MakeText, "Canon") << name;
  }
}

TEST(JpegScan, AFileNotStartingWithStartOfImageIsNotRead) {
  TimgData reader;
  const std::string jpeg = Jpeg({ExifSegment(SimpleTiff())});
  EXPECT_FALSE(reader.ProcessBytes("a.jpg", jpeg.substr(1)));
  EXPECT_EQ(reader.ErrorText, "Not an EXIF file");
  EXPECT_FALSE(reader.ProcessBytes("a.jpg", ""));
  EXPECT_EQ(reader.ErrorText, "Not an EXIF file");
}

TEST(JpegScan, ExifAsTheSecondSegmentIsRead) {
  TimgData reader;
  ASSERT_TRUE(
      reader.ProcessBytes("a.jpg", Jpeg({kApp0, ExifSegment(SimpleTiff(Order::Motorola))})));
  EXPECT_EQ(reader.ErrorText, "<none>");
  EXPECT_TRUE(reader.HasExif());
  EXPECT_EQ(reader.ExifSection, &reader.Section(2));
  EXPECT_EQ(reader.App0Section, &reader.Section(1));
  EXPECT_TRUE(reader.BigEndian);
  EXPECT_EQ(reader.ExifInfo->MakeText, "Canon");
  EXPECT_EQ(reader.SectionCount, 3);  // the start of scan is counted too
  EXPECT_EQ(reader.Section(3).Marker, 0xDA);
}

TEST(JpegScan, SegmentsKeepTheirMarkerLengthAndBytes) {
  TimgData reader;
  ASSERT_TRUE(reader.ProcessBytes("a.jpg", Jpeg({CommentSegment("hello")})));
  const exif::tSection& comment = reader.Section(1);
  EXPECT_EQ(comment.Marker, 0xFE);
  EXPECT_EQ(comment.Size, 7);
  EXPECT_EQ(comment.Data.View(), ByteText({0, 7, 'h', 'e', 'l', 'l', 'o'}));
}

TEST(JpegScan, GivesUpAtTheFifthSegmentWithoutMetadata) {
  TimgData reader;
  EXPECT_FALSE(
      reader.ProcessBytes("a.jpg", Jpeg({kApp0, kDqt, kDht, kDqt, ExifSegment(SimpleTiff())})));
  EXPECT_FALSE(reader.HasExif());
  EXPECT_EQ(reader.SectionCount, 5);
  EXPECT_EQ(reader.ErrorText, "Not an EXIF file");
}

TEST(JpegScan, TakesExifAsTheFifthSegmentWhenMetadataCameEarlier) {
  TimgData reader;
  EXPECT_TRUE(reader.ProcessBytes(
      "a.jpg", Jpeg({kApp0, CommentSegment("c"), kDht, kDqt, ExifSegment(SimpleTiff())})));
  EXPECT_TRUE(reader.HasExif());
}

TEST(JpegScan, DropsAnExifSegmentAfterTheFifth) {
  TimgData reader;
  EXPECT_TRUE(reader.ProcessBytes("a.jpg", Jpeg({CommentSegment("c"), kDqt, kDht, kDqt, kDqt,
                                                 ExifSegment(SimpleTiff()), kDqt})));
  EXPECT_FALSE(reader.HasExif());
  EXPECT_EQ(reader.Section(6).Marker, 0xDB);  // the dropped slot was reused
}

TEST(JpegScan, ACommentAloneIsMetadataWithoutExif) {
  TimgData reader;
  EXPECT_TRUE(reader.ProcessBytes(
      "a.jpg", Jpeg({kApp0, CommentSegment("first"), CommentSegment("second")})));
  EXPECT_FALSE(reader.HasExif());
  EXPECT_EQ(reader.ErrorText, "<none>");
  EXPECT_EQ(reader.CommentSection, &reader.Section(3));  // the later comment wins
  EXPECT_EQ(reader.ExifInfo, nullptr);
}

TEST(JpegScan, OnlyTheFirstIptcSegmentIsNoted) {
  TimgData reader;
  const std::string iptc = Segment(0xED, "Photoshop 3.0");
  EXPECT_TRUE(reader.ProcessBytes("a.jpg", Jpeg({iptc, iptc})));
  EXPECT_EQ(reader.IptcSection, &reader.Section(1));
  EXPECT_TRUE(reader.HasMetadata());
  EXPECT_FALSE(reader.HasExif());
}

TEST(JpegScan, App0AloneIsNoMetadata) {
  TimgData reader;
  EXPECT_FALSE(reader.ProcessBytes("a.jpg", Jpeg({kApp0})));
  EXPECT_EQ(reader.App0Section, &reader.Section(1));
  EXPECT_FALSE(reader.HasMetadata());
}

TEST(JpegScan, OnlyTheFirstApp1IsExamined) {
  const std::string jpeg = Jpeg({kXmp, ExifSegment(SimpleTiff())});
  TimgData scanned;
  EXPECT_TRUE(Scan(scanned, jpeg));
  EXPECT_EQ(scanned.ErrorText, "Incorrect Exif header");

  TimgData reader;
  EXPECT_TRUE(reader.ProcessBytes("a.jpg", jpeg));
  EXPECT_EQ(reader.ErrorText, "<none>");
  EXPECT_TRUE(reader.HasExif());
  ASSERT_NE(reader.ExifInfo, nullptr);
  EXPECT_EQ(reader.ExifInfo->TagCount, 0);
  EXPECT_EQ(reader.ExifSection->Data.Copy(3, 4), "http");
  EXPECT_EQ(reader.SectionCount, 2);  // the XMP segment and the start of scan
}

TEST(JpegScan, AnUnknownByteOrderMarkIsReported) {
  TimgData scanned;
  const std::string tiff = "XX" + SimpleTiff().substr(2);
  EXPECT_TRUE(Scan(scanned, Jpeg({ExifSegment(tiff)})));
  EXPECT_EQ(scanned.ErrorText, "Invalid Exif alignment marker");
  EXPECT_EQ(scanned.ExifInfo->TagCount, 0);
}

TEST(JpegScan, AFirstDirectoryOffsetOfZeroMeansDirectlyAfterTheHeader) {
  TiffBuilder tiff(Order::Intel, 0);
  tiff.Ifd({tiff.Short(0x0112, {1})});
  TimgData reader;
  ASSERT_TRUE(reader.ProcessBytes("a.jpg", Jpeg({ExifSegment(tiff.Bytes())})));
  EXPECT_EQ(reader.ExifInfo->StoredTagText("Orientation"), "Normal");
}

TEST(JpegScan, StopsAtTheStartOfScanAndNeverReadsTheImageData) {
  // An EXIF-looking segment inside the entropy-coded data must not be taken.
  const std::string jpeg = Jpeg({kApp0}) + ExifSegment(SimpleTiff());
  TimgData reader;
  EXPECT_FALSE(reader.ProcessBytes("a.jpg", jpeg));
  EXPECT_FALSE(reader.HasExif());
}

TEST(JpegScan, AStoredLengthBelowTwoEndsTheReadUnsuccessfully) {
  TimgData reader;
  const std::string jpeg = "\xFF\xD8" + CommentSegment("c") + std::string("\xFF\xDB\x00\x01", 4);
  EXPECT_FALSE(reader.ProcessBytes("a.jpg", jpeg));
  EXPECT_EQ(reader.ErrorText, "Not an EXIF file");
}

TEST(JpegScan, ASegmentCutByTheEndOfTheFileKeepsTheBytesRead) {
  // The stored length promises 1000 more bytes than the file holds.
  std::string segment = ExifSegment(SimpleTiff());
  const size_t length = segment.size() - 2 + 1000;
  segment[2] = static_cast<char>(length >> 8);
  segment[3] = static_cast<char>(length & 0xFF);
  TimgData reader;
  ASSERT_TRUE(reader.ProcessBytes("a.jpg", "\xFF\xD8" + segment));
  EXPECT_EQ(reader.ExifSection->Size, static_cast<int32_t>(length));
  EXPECT_EQ(reader.ExifSection->Data.Length(), static_cast<int64_t>(segment.size() - 2));
  EXPECT_EQ(reader.ExifInfo->MakeText, "Canon");
}

TEST(JpegScan, TheEndOfTheFileEndsTheScanAnywhere) {
  const std::string full = Jpeg({kApp0, CommentSegment("note"), ExifSegment(SimpleTiff())});
  for (size_t length = 0; length <= full.size(); ++length) {
    TimgData reader;
    reader.ProcessBytes("a.jpg", full.substr(0, length));
    EXPECT_LE(reader.SectionCount, exif::kMaxScannedSections);
  }
  TimgData padding;
  EXPECT_FALSE(padding.ProcessBytes("a.jpg", "\xFF\xD8" + std::string(5000, '\xFF')));
}

TEST(JpegScan, ReadsAtMostTwentySegments) {
  std::vector<std::string> segments{CommentSegment("c")};
  for (int i = 0; i < 30; ++i) segments.push_back(kDqt);
  segments.push_back(ExifSegment(SimpleTiff()));
  TimgData reader;
  EXPECT_TRUE(reader.ProcessBytes("a.jpg", Jpeg(segments)));
  EXPECT_EQ(reader.SectionCount, 20);
  EXPECT_FALSE(reader.HasExif());
}

TEST(JpegScan, AnyByteAfterFillBytesIsAMarker) {
  // No 0xFF before the marker, and fill bytes before another.
  const std::string jpeg = "\xFF\xD8" + std::string("\xFE\x00\x03x", 4) +
                           std::string("\xFF\xFF\xFF") + ExifSegment(SimpleTiff()).substr(1);
  TimgData reader;
  EXPECT_TRUE(reader.ProcessBytes("a.jpg", jpeg));
  EXPECT_EQ(reader.Section(1).Marker, 0xFE);
  EXPECT_TRUE(reader.HasExif());
}

TEST(Container, ResetForgetsTheLastFile) {
  TimgData reader;
  ASSERT_TRUE(reader.ProcessBytes("a.jpg", Jpeg({ExifSegment(SimpleTiff(Order::Motorola))})));
  EXPECT_TRUE(reader.BigEndian);
  EXPECT_FALSE(reader.ProcessBytes("b.jpg", Jpeg({kApp0})));
  EXPECT_FALSE(reader.HasExif());
  EXPECT_EQ(reader.ExifInfo, nullptr);
  EXPECT_FALSE(reader.BigEndian);
  EXPECT_EQ(reader.App0Section, &reader.Section(1));
}

TEST(Container, ParsedObjectsGetTheContainersSettings) {
  TimgData reader(exif::kBuildTextOnly);
  reader.TraceRequest = 1;
  ASSERT_TRUE(reader.ProcessBytes("a.jpg", Jpeg({ExifSegment(SimpleTiff())})));
  EXPECT_EQ(reader.ExifInfo->BuildMode, exif::kBuildTextOnly);
  EXPECT_EQ(reader.ExifInfo->TraceRequest, 1);
  EXPECT_EQ(reader.ExifInfo->Owner, &reader);
  EXPECT_FALSE(reader.ExifInfo->FromTiff);
  EXPECT_EQ(reader.ExifInfo->DataBlock.View().data(), reader.ExifSection->Data.View().data());
}

TEST(TiffScan, ReadsTheFirstDirectoryAfterTheHeaderWhateverTheHeaderSays) {
  TiffBuilder tiff(Order::Motorola, 500);  // the header points elsewhere
  const uint32_t ifd = tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Ascii(0x0110, "EOS D30")});
  ASSERT_EQ(ifd, 8u);
  TimgData reader;
  ASSERT_TRUE(reader.ProcessBytes("scan.tif", tiff.Bytes()));
  EXPECT_EQ(reader.ErrorText, "<none>");
  const exif::TImageInfo& info = *reader.ExifInfo;
  EXPECT_EQ(info.ModelText, "EOS D30");
  EXPECT_TRUE(info.BigEndian);
  EXPECT_FALSE(reader.BigEndian);  // the container's own order is left alone
  EXPECT_TRUE(info.FromTiff);
  EXPECT_FALSE(reader.ReadingTiff);
  // File offset x lies at block position x - 7.
  EXPECT_EQ(info.Tags[0].RawPos, (8 + 2 + 2 * 12 + 4) - 7);
  EXPECT_EQ(reader.ExifSection, &reader.Section(1));
  EXPECT_EQ(reader.Section(1).Data.Length(), static_cast<int64_t>(tiff.Bytes().size() - 8));
}

TEST(TiffScan, ADirectoryElsewhereIsNotFound) {
  TiffBuilder tiff(Order::Intel);
  tiff.Append(
      std::string(2, '\0'));  // the first directory would be at 10: offset 8 holds 0 entries
  const uint32_t ifd = tiff.Ifd({tiff.Ascii(0x010F, "Canon")});
  tiff.SetFirstIfd(ifd);
  TimgData reader;
  EXPECT_TRUE(reader.ProcessBytes("scan.tif", tiff.Bytes()));
  EXPECT_EQ(reader.ExifInfo->TagCount, 0);
}

TEST(TiffScan, RejectsFilesWithoutByteOrderMarkOrShorterThanTheHeader) {
  TimgData reader;
  EXPECT_FALSE(reader.ProcessBytes("a.tif", "XX" + SimpleTiff().substr(2)));
  EXPECT_EQ(reader.ErrorText, "Not an EXIF file");
  EXPECT_FALSE(reader.ProcessBytes("a.tif", "II*\0"));
  EXPECT_FALSE(reader.ProcessBytes("a.tif", ""));
  EXPECT_TRUE(reader.ProcessBytes("a.tif", std::string("MM\0*\0\0\0\x08", 8)));  // header only
  EXPECT_EQ(reader.ExifInfo->TagCount, 0);
}

TEST(TiffScan, ReadsNoMoreThanTheReadLimit) {
  TiffBuilder tiff(Order::Intel);
  tiff.Ifd({tiff.Short(0x0112, {1}), tiff.Ascii(0x010F, "Canon")});
  {
    // The block ends three bytes into the Make value, which keeps what was read.
    const ScopedSetting<int32_t> limit(exif::TiffReadLimit, 33);
    TimgData reader;
    ASSERT_TRUE(reader.ProcessBytes("a.tif", tiff.Bytes()));
    EXPECT_EQ(reader.Section(1).Data.Length(), 33);
    EXPECT_EQ(reader.ExifInfo->MakeText, "Can");
  }
  TimgData reader;
  ASSERT_TRUE(reader.ProcessBytes("a.tif", tiff.Bytes() + std::string(300000, '\0')));
  EXPECT_EQ(reader.Section(1).Data.Length(), 256000);
}

class TemporaryFile {
 public:
  TemporaryFile(const std::string& name, const std::string& bytes)
      : path_(std::filesystem::temp_directory_path() /
              ("prosvitek_exif_" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" + name)) {
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~TemporaryFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

TEST(ProcessFile, RecordsTheFilesNameSizeAndDate) {
  const std::string jpeg = Jpeg({ExifSegment(SimpleTiff())});
  const TemporaryFile file("photo.JPG", jpeg);
  TimgData reader;
  ASSERT_TRUE(reader.ProcessFile(file.Path()));
  EXPECT_EQ(reader.ErrorText, "<none>");
  EXPECT_EQ(reader.FilePath, file.Path());
  EXPECT_EQ(reader.FileLength, static_cast<int64_t>(jpeg.size()));
  const auto age = std::chrono::system_clock::now() - reader.FileModified;
  EXPECT_LT(std::chrono::abs(age), std::chrono::hours(1));
  EXPECT_EQ(reader.ExifInfo->MakeText, "Canon");
}

TEST(ProcessFile, AMissingFileLeavesTheStatusEmpty) {
  TimgData reader;
  EXPECT_FALSE(reader.ProcessFile("/nonexistent/prosvitek/photo.jpg"));
  EXPECT_EQ(reader.ErrorText, "");
  EXPECT_EQ(reader.FilePath, "");
}

TEST(ProcessFile, ReadsTiffFilesAndRefusesOtherExtensions) {
  const TemporaryFile tiff("scan.tif", SimpleTiff(Order::Motorola));
  TimgData reader;
  EXPECT_TRUE(reader.ProcessFile(tiff.Path()));
  EXPECT_EQ(reader.ExifInfo->MakeText, "Canon");
  const TemporaryFile other("photo.png", Jpeg({ExifSegment(SimpleTiff())}));
  EXPECT_FALSE(reader.ProcessFile(other.Path()));
  EXPECT_EQ(reader.ErrorText, "Not an EXIF file");
  EXPECT_EQ(reader.FilePath, other.Path());
}

}  // namespace
