// JPEG and TIFF container reading: the kind told by the bytes, the segment scan, the EXIF
// header check and the status text.

#include "exif/container.h"
#include "prosvitek/exif/reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "reader_support.h"

namespace {

using exif::detail::TimgData;
using exiftest::CommentSegment;
using exiftest::ExifSegment;
using exiftest::Jpeg;
using exiftest::Order;
using exiftest::Segment;
using exiftest::TiffBuilder;

std::string SimpleTiff(Order order = Order::Intel) {
  TiffBuilder tiff(order);
  tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Short(0x0112, {1})});
  return tiff.Bytes();
}

const std::string kExif = ExifSegment(SimpleTiff());
const std::string kApp0 = Segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
const std::string kDqt = Segment(0xDB, std::string(65, '\x01'));
const std::string kComment = CommentSegment("note");
const std::string kIptc = Segment(0xED, "Photoshop 3.0");
const std::string kXmp = Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33));

// The first bytes decide how a file is read; its name never does.
TEST(Container, TheBytesDecideNotTheName) {
  const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
  const struct {
    const char* name;
    std::string bytes;
    bool read;
    const char* error;
  } cases[] = {
      {"a.jpg", Jpeg({kExif}), true, "<none>"},
      {"raw.nef", Jpeg({kExif}), true, "<none>"},
      {"noextension", Jpeg({kExif}), true, "<none>"},
      {"a.jpg", SimpleTiff(), true, "<none>"},
      {"picture.png", SimpleTiff(Order::Motorola), true, "<none>"},
      {"a.jpg", png, false, "Not a file with EXIF (PNG without EXIF)"},
      {"a.tif", "GIF89a and the rest", false, "Not a file with EXIF (GIF)"},
      {"a.jpg", "plain text", false, "Not a file with EXIF (unknown kind)"},
      {"a.jpg", Jpeg({kExif}).substr(1), false, "Not a file with EXIF (unknown kind)"},  // no start of image
      {"a.jpg", "", false, "Not a file with EXIF (empty file)"},
  };
  for (const auto& c : cases) {
    TimgData reader;
    EXPECT_EQ(reader.ProcessBytes(c.name, c.bytes), c.read) << c.name;
    EXPECT_EQ(reader.ErrorText, c.error) << c.name;
  }
}

struct ScanCase {
  const char* what;
  std::string file;
  bool read;
  bool hasExif;
  int sectionCount;
};

TEST(JpegScan, TakesMetadataSegmentsFromTheStartOfTheFile) {
  std::vector<std::string> many{kComment};
  for (int i = 0; i < 30; ++i) many.push_back(kDqt);
  many.push_back(kExif);
  const ScanCase cases[] = {
      {"EXIF as the second segment", Jpeg({kApp0, kExif}), true, true, 3},
      {"without metadata the scan gives up after the fifth segment",
       Jpeg({kApp0, kDqt, kDqt, kDqt, kDqt, kExif}), false, false, 5},
      {"the fifth segment is looked at", Jpeg({kApp0, kDqt, kDqt, kDqt, kExif}), true, true, 6},
      {"with metadata before it the fifth may be EXIF", Jpeg({kApp0, kComment, kDqt, kDqt, kExif}),
       true, true, 6},
      {"an EXIF segment after the fifth is taken too",
       Jpeg({kComment, kDqt, kDqt, kDqt, kDqt, kExif, kDqt}), true, true, 8},
      {"an APP1 without EXIF is dropped, its slot reused", Jpeg({kXmp, kApp0}), false, false, 2},
      {"a comment alone is metadata", Jpeg({kApp0, kComment}), true, false, 3},
      {"IPTC is metadata", Jpeg({kIptc}), true, false, 2},
      {"APP0 alone is not", Jpeg({kApp0}), false, false, 2},
      {"the image data is never read", Jpeg({kApp0}) + kExif, false, false, 2},
      {"at most twenty segments", Jpeg(many), true, false, 20},
      {"a stored length below two ends the read",
       "\xFF\xD8" + kComment + std::string("\xFF\xDB\x00\x01", 4), false, false, 1},
      {"a run of fill bytes up to the end", "\xFF\xD8" + std::string(5000, '\xFF'), false, false,
       0},
      {"any byte after fill bytes is a marker, no 0xFF needed",
       "\xFF\xD8" + kComment.substr(1) + "\xFF\xFF" + kExif, true, true, 2},
  };
  for (const ScanCase& c : cases) {
    TimgData reader;
    EXPECT_EQ(reader.ProcessBytes("a.jpg", c.file), c.read) << c.what;
    EXPECT_EQ(reader.HasExif(), c.hasExif) << c.what;
    EXPECT_EQ(reader.SectionCount, c.sectionCount) << c.what;
    EXPECT_EQ(reader.ErrorText, c.read ? "<none>" : "Not an EXIF file") << c.what;
  }
}

TEST(JpegScan, KeepsSegmentsAndTheirRoles) {
  TimgData reader;
  const std::string jpeg = Jpeg({kApp0, kIptc, kComment, kIptc, CommentSegment("hello"), kApp0});
  ASSERT_TRUE(reader.ProcessBytes("a.jpg", jpeg));
  EXPECT_EQ(reader.IptcSection, &reader.Section(2));     // the first IPTC segment
  EXPECT_EQ(reader.CommentSection, &reader.Section(5));  // the last comment
  EXPECT_EQ(reader.App0Section, &reader.Section(6));     // the last APP0
  const exif::detail::tSection& comment = reader.Section(5);
  EXPECT_EQ(comment.Marker, 0xFE);
  EXPECT_EQ(comment.Size, 7);
  EXPECT_EQ(comment.Data.View(), std::string("\x00\x07hello", 7));
}

// The first APP1 that starts with "Exif" and a zero byte is the EXIF segment, wherever it
// stands; XMP before it is passed over.
TEST(JpegScan, TakesTheFirstApp1ThatHoldsExif) {
  struct Case {
    std::string jpeg;
    const char* error;  // what the scan alone leaves
    int32_t tags;
  };
  const Case cases[] = {
      {Jpeg({kXmp, kExif}), "", 2},
      {Jpeg({kApp0, kXmp, kXmp, kComment, kExif}), "", 2},
      {Jpeg({kExif, ExifSegment(SimpleTiff(Order::Motorola))}), "", 2},
      {Jpeg({ExifSegment("XX" + SimpleTiff().substr(2))}), "Invalid Exif alignment marker", 0},
  };
  for (const Case& c : cases) {
    TimgData scanned;
    EXPECT_TRUE(scanned.ScanJpegSections(exiftest::InMemory(c.jpeg)));
    EXPECT_EQ(scanned.ErrorText, c.error);
    TimgData reader;  // a read that succeeds as a whole overwrites the error
    EXPECT_TRUE(reader.ProcessBytes("a.jpg", c.jpeg));
    EXPECT_EQ(reader.ErrorText, "<none>");
    EXPECT_TRUE(reader.HasExif());
    EXPECT_EQ(reader.ExifInfo->TagCount, c.tags);
    EXPECT_FALSE(reader.ExifInfo->BigEndian);  // the first EXIF segment, not the second
  }
}

TEST(JpegScan, ASegmentCutByTheEndOfTheFileKeepsTheBytesRead) {
  std::string segment = kExif;
  const size_t length = segment.size() - 2 + 1000;  // promises 1000 bytes the file lacks
  segment[2] = static_cast<char>(length >> 8);
  segment[3] = static_cast<char>(length & 0xFF);
  TimgData reader;
  ASSERT_TRUE(reader.ProcessBytes("a.jpg", "\xFF\xD8" + segment));
  EXPECT_EQ(reader.ExifSection->Size, static_cast<int32_t>(length));
  EXPECT_EQ(reader.ExifSection->Data.Length(), static_cast<int64_t>(segment.size() - 2));
  EXPECT_EQ(reader.ExifInfo->MakeText, "Canon");
}

TEST(Container, HandsItsSettingsOnAndResetForgetsTheLastFile) {
  TimgData reader(exif::detail::kBuildTextOnly);
  reader.TraceRequest = 1;
  ASSERT_TRUE(
      reader.ProcessBytes("a.jpg", Jpeg({kApp0, ExifSegment(SimpleTiff(Order::Motorola))})));
  const exif::detail::TImageInfo& info = *reader.ExifInfo;
  EXPECT_EQ(info.BuildMode, exif::detail::kBuildTextOnly);
  EXPECT_EQ(info.TraceRequest, 1);
  EXPECT_EQ(info.Owner, &reader);
  EXPECT_TRUE(info.BigEndian);
  EXPECT_TRUE(reader.BigEndian);
  EXPECT_FALSE(info.FromTiff);
  EXPECT_EQ(info.DataBlock.View().data(), reader.ExifSection->Data.View().data());  // shared

  EXPECT_FALSE(reader.ProcessBytes("b.jpg", Jpeg({kApp0})));
  EXPECT_EQ(reader.ExifInfo, nullptr);
  EXPECT_FALSE(reader.HasExif());
  EXPECT_FALSE(reader.BigEndian);
}

// The first directory is read where the header says, near or far (beyond 256,000 bytes), in
// both byte orders; an offset outside the file, or into the header, is refused.
TEST(TiffScan, ReadsTheDirectoryWhereTheHeaderSays) {
  for (Order order : {Order::Intel, Order::Motorola}) {
    for (uint32_t at : {8u, 500u, 300000u}) {
      TiffBuilder tiff(order);
      tiff.PadTo(at);
      tiff.SetFirstIfd(tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Ascii(0x0110, "EOS D30")}));
      TimgData reader;
      ASSERT_TRUE(reader.ProcessBytes("scan.tif", tiff.Bytes())) << at;
      const exif::detail::TImageInfo& info = *reader.ExifInfo;
      EXPECT_EQ(info.ModelText, "EOS D30") << at;
      EXPECT_EQ(info.BigEndian, order == Order::Motorola);
      EXPECT_FALSE(reader.BigEndian);  // the container's own order is left alone
      EXPECT_TRUE(info.FromTiff);
      EXPECT_FALSE(reader.ReadingTiff);
      EXPECT_EQ(info.Tags[0].RawPos, (at + 2 + 2 * 12 + 4) - 7);  // file offset x at position x - 7
    }
    for (uint32_t bad : {0u, 4u, 7u, 100000u, 0xFFFFFFFFu}) {
      TiffBuilder tiff(order, bad);
      tiff.Ifd({tiff.Ascii(0x010F, "Canon")});
      TimgData reader;
      EXPECT_FALSE(reader.ProcessBytes("scan.tif", tiff.Bytes())) << bad;
      EXPECT_EQ(reader.ErrorText, "Invalid TIFF directory offset") << bad;
    }
  }
}

TEST(TiffScan, RefusesFilesWithoutAWholeHeaderAndReadsUpToTheLimit) {
  TimgData reader;
  EXPECT_FALSE(reader.ProcessBytes("a.tif", "XX" + SimpleTiff().substr(2)));
  EXPECT_EQ(reader.ErrorText, "Not a file with EXIF (unknown kind)");
  EXPECT_FALSE(reader.ProcessBytes("a.tif", std::string("II*\0", 4)));
  EXPECT_EQ(reader.ErrorText, "Not an EXIF file");
  // A header whose directory lies past the file's end.
  EXPECT_FALSE(reader.ProcessBytes("a.tif", SimpleTiff().substr(0, 8)));
  EXPECT_EQ(reader.ErrorText, "Invalid TIFF directory offset");

  EXPECT_TRUE(reader.ProcessBytes("a.tif", SimpleTiff() + std::string(300000, '\0')));
  EXPECT_EQ(reader.Section(1).Data.Length(), static_cast<int64_t>(SimpleTiff().size()) + 300000 - 8);
  exif::ReaderOptions options;
  options.tiffReadLimit = 41;
  TimgData limited(exif::detail::kBuildAll, options);
  EXPECT_TRUE(limited.ProcessBytes("a.tif", SimpleTiff()));
  EXPECT_EQ(limited.ExifInfo->MakeText, "Can");  // the block ends inside the value
}

class TemporaryFile {
 public:
  TemporaryFile(const std::string& name, const std::string& bytes)
      : path_(std::filesystem::temp_directory_path() / ("prosvitek_exif_test_" + name)) {
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
  const std::string jpeg = Jpeg({kExif});
  const TemporaryFile file("photo.JPG", jpeg);
  TimgData reader;
  ASSERT_TRUE(reader.ProcessFile(file.Path()));
  EXPECT_EQ(reader.ErrorText, "<none>");
  EXPECT_EQ(reader.FilePath, file.Path());
  EXPECT_EQ(reader.FileLength, static_cast<int64_t>(jpeg.size()));
  EXPECT_LT(std::chrono::abs(std::chrono::system_clock::now() - reader.FileModified),
            std::chrono::hours(1));
  EXPECT_EQ(reader.ExifInfo->MakeText, "Canon");

  const TemporaryFile other("photo.png", jpeg);  // JPEG bytes under another name
  EXPECT_TRUE(reader.ProcessFile(other.Path()));
  EXPECT_EQ(reader.ErrorText, "<none>");
  EXPECT_FALSE(reader.ProcessFile("/nonexistent/prosvitek/photo.jpg"));
  EXPECT_EQ(reader.ErrorText, "");  // a missing file leaves the status empty
  EXPECT_EQ(reader.FilePath, "");
}

}  // namespace

// A reader for the summary alone writes no traces and, when the EXIF data has the ISO speed,
// reads no maker note, and gives the same summary as a full reader.
TEST(Container, ASummaryOnlyReaderGivesTheSameSummary) {
  TiffBuilder t(Order::Motorola);
  const uint32_t exifIfd = t.Ifd({t.Rational(0x829A, {{1, 60}}), t.Short(0x8827, {200}),
                                  t.Undefined(0x927C, std::string(40, '\0'))});
  t.SetFirstIfd(t.Ifd({t.Ascii(0x010F, "Canon"), t.Ascii(0x0110, "EOS"), t.Long(0x8769, {exifIfd})}));
  const std::string jpeg = Jpeg({ExifSegment(t.Bytes())});
  exif::Reader full;
  exif::Reader brief(exif::SummaryOnly());
  ASSERT_TRUE(full.ProcessBytes("a.jpg", jpeg));
  ASSERT_TRUE(brief.ProcessBytes("a.jpg", jpeg));
  const auto date = [](std::chrono::system_clock::time_point) { return std::string("d"); };
  EXPECT_EQ(exif::SummaryText(*brief.GetSummary(), date), exif::SummaryText(*full.GetSummary(), date));
  EXPECT_EQ(brief.GetSummary()->iso, "200");
  EXPECT_EQ(brief.Exif()->Trace(), "");
  EXPECT_NE(full.Exif()->Trace(), "");
  // Whether the note was read at all is the container's own business.
  exif::detail::TimgData briefData(exif::detail::kBuildAll, exif::SummaryOnly());
  exif::detail::TimgData fullData;
  ASSERT_TRUE(briefData.ProcessBytes("a.jpg", jpeg) && fullData.ProcessBytes("a.jpg", jpeg));
  EXPECT_FALSE(briefData.ExifInfo->MakerNoteRead);
  EXPECT_TRUE(fullData.ExifInfo->MakerNoteRead);
}
