// The real photos beside the project: what the reader takes from each agrees with the
// reference metadata dumps stored next to it (FILE.exiftool-n.json with numeric values,
// FILE.exiftool.json with the values as printed).

#include "samples.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "exif/bytes.h"
#include "exif/container.h"
#include "exif/printf_format.h"
#include "exif/summary.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::vector<fs::path> SamplePhotos() {
  std::vector<fs::path> photos;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(testsupport::SamplesDir(), error)) {
    const std::string name = entry.path().string();
    const std::string suffix = ".exiftool-n.json";
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      photos.emplace_back(name.substr(0, name.size() - suffix.size()));
    }
  }
  std::sort(photos.begin(), photos.end());
  return photos;
}

std::optional<std::string> Value(const json& dump, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    if (dump.contains(key)) {
      const json& value = dump.at(key);
      return value.is_string() ? value.get<std::string>() : value.dump();
    }
  }
  return std::nullopt;
}

// The reader shows an ASCII value up to its first zero byte, blank padding included; the dump
// trims the blanks.
::testing::AssertionResult ShownAs(const std::string& shown,
                                   const std::optional<std::string>& value, int64_t cut) {
  const std::string expected = exif::detail::CopyBytes(value.value_or(""), 1, cut);
  if (static_cast<int64_t>(shown.size()) <= cut &&
      shown.compare(0, expected.size(), expected) == 0 &&
      shown.find_first_not_of(". ", expected.size()) == std::string::npos) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "shown [" << shown << "], expected [" << expected << "]";
}

// The summary's lines by label: "Flash: Yes" gives "Yes" under "Flash".
std::map<std::string, std::string> SummaryLines(const std::string& summary) {
  std::map<std::string, std::string> lines;
  for (size_t start = 0; start <= summary.size();) {
    const size_t end = std::min(summary.find("\r\n", start), summary.size());
    const std::string line = summary.substr(start, end - start);
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) lines[line.substr(0, colon)] = line.substr(colon + 2);
    start = end + 2;
  }
  return lines;
}

// The summary's make and model, exposure time, f-number, ISO and flash against the dumps':
// exposure times as printed, the ISO of the EXIF data or else of the maker note, and the
// same summary from a reader that reads only for it.
void CompareSummary(const fs::path& photo, const json& dump, const json& printed,
                    const exif::detail::TImageInfo& info) {
  const auto date = [](std::chrono::system_clock::time_point) { return std::string("d"); };
  const std::string text = exif::detail::SummaryText(info, date);
  auto lines = SummaryLines(text);
  const auto trimmed = [&](const char* key) {
    std::string value = Value(printed, {key}).value_or("");
    return value.erase(value.find_last_not_of(' ') + 1);
  };
  EXPECT_EQ(lines["Make (Model)"], trimmed("IFD0:Make") + " (" + trimmed("IFD0:Model") + ")");
  const std::string exposure = lines["Exposure Time"];
  if (const auto seconds = Value(printed, {"IFD0:ExposureTime", "ExifIFD:ExposureTime"})) {
    EXPECT_EQ(exposure, *seconds + " sec");
  } else if (const auto shutter = Value(dump, {"ExifIFD:ShutterSpeedValue"})) {
    EXPECT_NEAR(std::strtod(exposure.c_str(), nullptr), std::stod(*shutter), 0.00005 + 1e-9)
        << exposure;
  } else {
    EXPECT_EQ(exposure, "");
  }
  const auto fNumber = Value(dump, {"ExifIFD:FNumber", "Composite:Aperture"});
  EXPECT_EQ(lines["FNumber"], fNumber ? exif::detail::FormatText("F%0.1f", {std::stod(*fNumber)}) : "");
  std::string iso = lines["ISO"];
  std::erase(iso, ',');
  auto expectedIso = Value(dump, {"ExifIFD:ISO"});
  if (!expectedIso) expectedIso = Value(printed, {"Composite:ISO", "Nikon:ISO", "Casio:ISO"});
  EXPECT_EQ(iso, expectedIso.value_or(""));
  const int flash = std::stoi(Value(dump, {"ExifIFD:Flash"}).value_or("0"));
  EXPECT_EQ(lines["Flash"], (flash & 1) != 0 ? "Yes" : "No");

  exif::Reader brief(exif::SummaryOnly());
  ASSERT_TRUE(brief.ProcessFile(photo.string()));
  EXPECT_EQ(exif::SummaryText(*brief.GetSummary(), date), text);
}

// GPS positions against the dump's degrees: the degrees, minutes and seconds and the decimal
// degrees, negative to the south and west.
void CompareGpsPositions(const json& dump, const exif::detail::TImageInfo& info) {
  for (const char* name : {"GPSLatitude", "GPSLongitude"}) {
    const auto degrees = Value(dump, {(std::string("GPS:") + name).c_str()});
    if (!degrees || degrees->empty()) continue;
    int d = 0, m = 0;
    double s = 0, decimal = 0;
    const std::string shown = info.StoredTagText(name);
    ASSERT_EQ(std::sscanf(shown.c_str(), "%d Degrees %d Minutes %lf Seconds", &d, &m, &s), 3)
        << shown;
    EXPECT_NEAR(d + m / 60.0 + s / 3600.0, std::stod(*degrees), 0.006 / 3600) << name;
    ASSERT_NE(shown.find(" ("), std::string::npos) << shown;
    ASSERT_EQ(std::sscanf(shown.c_str() + shown.find(" (") + 2, "%lf", &decimal), 1) << shown;
    const std::string ref =
        Value(dump, {(std::string("GPS:") + name + "Ref").c_str()}).value_or("");
    EXPECT_NEAR(decimal, (ref == "S" || ref == "W" ? -1 : 1) * std::stod(*degrees), 1e-6) << shown;
  }
}

void CompareWithDump(const fs::path& photo) {
  std::ifstream in(photo.string() + ".exiftool-n.json");
  const json dump = json::parse(in).at(0);
  std::ifstream printedIn(photo.string() + ".exiftool.json");
  const json printed = json::parse(printedIn).at(0);
  exif::detail::TimgData reader;
  const bool read = reader.ProcessFile(photo.string());
  if (dump.value("File:ExifByteOrder", "").empty()) {
    // Other metadata may be found (a comment, IPTC, or an XMP segment taken as the EXIF
    // segment), but never a tag.
    if (reader.ExifInfo) {
      EXPECT_EQ(reader.ExifInfo->TagCount, 0);
    }
    return;
  }
  ASSERT_TRUE(read) << reader.ErrorText;
  EXPECT_EQ(reader.ErrorText, "<none>");
  const exif::detail::TImageInfo& info = *reader.ExifInfo;
  EXPECT_TRUE(ShownAs(info.MakeText, Value(dump, {"IFD0:Make"}), 32));
  EXPECT_TRUE(ShownAs(info.ModelText, Value(dump, {"IFD0:Model"}), 40));
  EXPECT_TRUE(
      ShownAs(info.DateTimeText, Value(dump, {"ExifIFD:DateTimeOriginal", "IFD0:ModifyDate"}), 20));
  // A file whose EXIF data leaves out the size shows the size its own header states.
  EXPECT_EQ(
      std::to_string(info.PixelWidth),
      Value(dump, {"ExifIFD:ExifImageWidth", "IFD0:ImageWidth", "File:ImageWidth"}).value_or("0"));
  EXPECT_EQ(std::to_string(info.PixelHeight),
            Value(dump, {"ExifIFD:ExifImageHeight", "IFD0:ImageHeight", "File:ImageHeight"})
                .value_or("0"));

  const auto seconds = Value(printed, {"IFD0:ExposureTime", "ExifIFD:ExposureTime"});
  EXPECT_EQ(info.StoredTagText("ExposureTime"), seconds ? *seconds + " sec" : "");
  const auto fNumber = Value(dump, {"IFD0:FNumber", "ExifIFD:FNumber"});
  EXPECT_EQ(info.StoredTagText("FNumber"),
            fNumber ? exif::detail::FormatText("F%0.1f", {std::stod(*fNumber)}) : "");
  std::string iso;  // the reader joins components with ", ", the dump with " "
  for (char c : info.StoredTagText("ISOSpeedRatings")) {
    if (c != ',') iso += c;
  }
  EXPECT_EQ(iso, Value(dump, {"ExifIFD:ISO"}).value_or(""));
  CompareSummary(photo, dump, printed, info);
  CompareGpsPositions(dump, info);
}

TEST(Samples, AgreeWithTheReferenceDumps) {
  const std::vector<fs::path> photos = SamplePhotos();
  if (photos.empty()) GTEST_SKIP() << "no sample photos in " << testsupport::SamplesDir();
  for (const fs::path& photo : photos) {
    SCOPED_TRACE(photo.filename().string());
    CompareWithDump(photo);
  }
}

TEST(Samples, FilesWithoutAnExifBlockEndAsTheRulesSay) {
  struct Outcome {
    const char* file;
    bool read, hasExif;
    const char* errorText;
    const char* why;
  };
  const Outcome outcomes[] = {
      {"noexif_jfif_only.jpg", false, false, "Not an EXIF file", "no metadata segment"},
      {"noexif_photoshop_iptc_icc.jpg", true, false, "<none>", "IPTC is metadata"},
      {"noexif_xmp_only.jpg", false, false, "Not an EXIF file", "an XMP segment holds no EXIF"},
      {"fuzzed_bad_markers_cmyk.jpg", true, false, "<none>",
       "the damaged byte after the start of image reads as a comment running to the end"},
      {"nikon_d70s_jpeg_data_nef_extension_mm.nef", true, true, "<none>",
       "JPEG data under a raw file's name is read as JPEG"},
      {"synthetic/empty.jpg", false, false, "Not a file with EXIF (empty file)", "no bytes at all"},
      {"synthetic/notajpeg.jpg", false, false, "Not a file with EXIF (PNG without EXIF)", "PNG bytes"},
  };
  for (const Outcome& o : outcomes) {
    const fs::path photo = testsupport::Sample(o.file);
    if (!fs::exists(photo)) continue;
    exif::detail::TimgData reader;
    EXPECT_EQ(reader.ProcessFile(photo.string()), o.read) << o.file << ": " << o.why;
    EXPECT_EQ(reader.HasExif(), o.hasExif) << o.file << ": " << o.why;
    EXPECT_EQ(reader.ErrorText, o.errorText) << o.file << ": " << o.why;
  }
}

TEST(Samples, TheTraceOfARealPhotoHasOneLinePerEntry) {
  const fs::path photo = testsupport::Sample("canon_eos_40d_small.jpg");
  REQUIRE_SAMPLE(photo);
  exif::detail::TimgData reader;
  ASSERT_TRUE(reader.ProcessFile(photo.string()));
  const std::string& trace = reader.ExifInfo->TraceText;
  for (const char* line :
       {"\r\nMake = Canon\r\n", "\r\nExposure Time = 1/160 sec\r\n", "\r\nFNumber = F7.1\r\n",
        "\r\nISOSpeed Ratings = 100\r\n", "\r\nExposure Program = Manual\r\n",
        "\r\nFocal Length = 135.00 mm\r\n", "\r\nInteroperability Index = R98\r\n"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line;
  }
}

}  // namespace
