// The summary text: its lines, labels and order, which lines may be missing, the short forms.

#include "exif/summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <ctime>
#include <string>
#include <vector>

#include "reader_support.h"

namespace {

using exiftest::Field;
using exiftest::TiffBuilder;

std::string FixedDate(std::chrono::system_clock::time_point) { return "28.03.2004"; }

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r\n") + line;
  return text;
}

const std::vector<std::string> kFixedLines = {
    "File Name: dsc001.jpg", "File Size: 1220k", "File Date: 28.03.2004",
    "Photo Date: 2004:03:28 14:03:27", "Make (Model): NIKON (E990)", "Dimensions: 2048 x 1536"};

TEST(SummaryText, ShowsTheStoredLinesThatHaveText) {
  struct Case {
    const char* what;
    std::vector<uint16_t> without;  // EXIF tags left out of the camera file
    uint16_t flash;
    std::vector<std::string> lines;  // from position 6 on
  };
  const Case cases[] = {
      {"all eleven lines; no 35 mm line, though the value was derived", {}, 0,
       {"Exposure Time: 1/250 sec", "Focal Length: 10.70 mm", "FNumber: F4.0", "ISO: 100",
        "Flash: No"}},
      {"the shutter speed for a missing exposure time", {0x829A}, 25,
       {"Exposure Time: 0.0040 sec (1/250)", "Focal Length: 10.70 mm", "FNumber: F4.0",
        "ISO: 100", "Flash: Yes"}},
      {"neither exposure time nor shutter speed", {0x829A, 0x9201}, 16,
       {"Focal Length: 10.70 mm", "FNumber: F4.0", "ISO: 100", "Flash: No"}},
      {"no focal length, f-number or ISO", {0x920A, 0x829D, 0x8827}, 89,
       {"Exposure Time: 1/250 sec", "Flash: Yes"}},
  };
  for (const Case& c : cases) {
    TiffBuilder t(exiftest::Order::Intel);
    std::vector<Field> exifFields = {
        t.Rational(0x829A, {{1, 250}}),  t.Rational(0x829D, {{40, 10}}),
        t.Short(0x8827, {100}),          t.Ascii(0x9003, "2004:03:28 14:03:27"),
        t.Rational(0x9201, {{7965, 1000}}, 10), t.Short(0x9209, {c.flash}),
        t.Rational(0x920A, {{107, 10}}), t.Short(0xA002, {2048}),
        t.Short(0xA003, {1536}),         t.Rational(0xA20E, {{3086, 1}}),
        t.Rational(0xA20F, {{3086, 1}}), t.Short(0xA210, {2})};
    std::erase_if(exifFields, [&](const Field& f) {
      return std::find(c.without.begin(), c.without.end(), f.tag) != c.without.end();
    });
    const uint32_t exifIfd = t.Ifd(exifFields);
    t.SetFirstIfd(t.Ifd(
        {t.Ascii(0x010F, "NIKON"), t.Ascii(0x0110, "E990"), t.Long(0x8769, {exifIfd})}));
    const auto reader = exiftest::ReadJpegExif(t.Bytes());
    reader->FilePath = "/photos/2004/dsc001.jpg";
    reader->FileLength = 1220 * 1024 + 1023;
    std::vector<std::string> lines = kFixedLines;
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(exif::detail::SummaryText(exiftest::Info(reader), FixedDate), JoinLines(lines)) << c.what;
  }
}

// Values as a photographer reads them: make and model without the blanks that pad them, the
// f-number of the APEX aperture when there is no usable FNumber.
TEST(SummaryText, ShowsValuesAsAPhotographerReadsThem) {
  using Fields = std::vector<std::pair<uint16_t, std::pair<int32_t, int32_t>>>;  // rationals
  struct Case {
    const char* what;
    const char* make;
    const char* model;
    Fields exif;
    std::string line;
  };
  const Case cases[] = {
      {"padded make and model", "OLYMPUS CORPORATION     ", "E-1             ", {},
       "Make (Model): OLYMPUS CORPORATION (E-1)"},
      {"leading blanks stay", " RICOH ", "RDC ", {}, "Make (Model):  RICOH (RDC)"},
      {"the aperture without FNumber", "M", "m", {{0x9202, {25, 10}}}, "FNumber: F2.4"},
      {"the aperture for an FNumber of 0/0", "M", "m", {{0x829D, {0, 0}}, {0x9202, {4, 1}}}, "FNumber: F4.0"},
      {"FNumber first", "M", "m", {{0x829D, {28, 10}}, {0x9202, {4, 1}}}, "FNumber: F2.8"},
  };
  for (const Case& c : cases) {
    TiffBuilder t(exiftest::Order::Motorola);
    std::vector<Field> exifFields;
    for (const auto& [tag, value] : c.exif) exifFields.push_back(t.Rational(tag, {value}));
    const uint32_t exifIfd = t.Ifd(exifFields);
    t.SetFirstIfd(t.Ifd({t.Ascii(0x010F, c.make), t.Ascii(0x0110, c.model), t.Long(0x8769, {exifIfd})}));
    const auto reader = exiftest::ReadJpegExif(t.Bytes());
    const std::string summary = exif::detail::SummaryText(exiftest::Info(reader), FixedDate);
    EXPECT_NE(summary.find("\r\n" + c.line + "\r\n"), std::string::npos) << c.what << "\n" << summary;
    // The trace shows the bytes as the camera wrote them.
    EXPECT_NE(exiftest::Info(reader).TraceText.find(std::string("\r\nModel = ") + c.model + "\r\n"),
              std::string::npos) << c.what;
  }
}

TEST(SummaryText, ShowsEmptyValuesTheErrorOrNothing) {
  TiffBuilder t(exiftest::Order::Motorola);
  t.Ifd({t.Short(0x0112, {1})});
  const auto reader = exiftest::ReadJpegExif(t.Bytes());
  reader->FilePath = "C:\\photos\\dsc002.jpg";
  reader->FileLength = 1023;
  EXPECT_EQ(exif::detail::SummaryText(exiftest::Info(reader), FixedDate),
            "File Name: dsc002.jpg\r\nFile Size: 0k\r\nFile Date: 28.03.2004\r\nPhoto Date: "
            "\r\nMake (Model):  ()\r\nDimensions: 0 x 0\r\nFlash: No");
  reader->ErrorText = "Illegally sized directory";
  reader->Status = exif::ReadStatus::Damaged;
  EXPECT_EQ(exif::detail::SummaryText(exiftest::Info(reader)),
            "File Name: dsc002.jpg\r\nExif Error: Illegally sized directory");

  exif::detail::TimgData commentOnly;
  ASSERT_TRUE(commentOnly.ProcessBytes("c.jpg", exiftest::Jpeg({exiftest::CommentSegment("x")})));
  EXPECT_EQ(exif::detail::SummaryText(exif::detail::TImageInfo(&commentOnly, exif::detail::kBuildAll)), "");
  EXPECT_EQ(exif::detail::SummaryText(exif::detail::TImageInfo(nullptr, exif::detail::kBuildAll)), "");
}

TEST(SummaryText, FileDateIsTheLocalDateInTheLocaleShortForm) {
  const std::string saved = std::setlocale(LC_TIME, nullptr);
  std::setlocale(LC_TIME, "C");
  std::tm noon{};
  noon.tm_year = 2004 - 1900;
  noon.tm_mon = 2;
  noon.tm_mday = 28;
  noon.tm_hour = 12;
  noon.tm_isdst = -1;
  EXPECT_EQ(exif::ShortDateText(std::chrono::system_clock::from_time_t(std::mktime(&noon))),
            "03/28/04");
  std::setlocale(LC_TIME, saved.c_str());
}

}  // namespace
