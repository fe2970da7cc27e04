// The real photos beside the project: what the maker-note pass reads agrees with the maker-note
// values of the reference metadata dumps (FILE.exiftool-n.json numeric, FILE.exiftool.json
// printed), wherever both name the same thing.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "exif/ascii.h"
#include "exif/bytes.h"
#include "exif/container.h"
#include "exif/field_types.h"
#include "exif/printf_format.h"
#include "samples.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;
using exif::detail::TTagEntry;

// Dump group of each maker key.
const std::map<std::string, std::string> kGroups = {
    {"NIKON", "Nikon"},    {"CANON", "Canon"}, {"OLYMP", "Olympus"}, {"CASIO", "Casio"},
    {"FUJIF", "FujiFilm"}, {"SANYO", "Sanyo"}, {"MINOL", "Minolta"}};

// A stored maker entry (tag and name, which together pick the table) and the dump's name for
// the same thing; tag 0 marks a computed Canon field, compared with the dump's printed words.
struct Same {
  uint16_t tag;
  const char* ours;
  const char* theirs;
};

// clang-format off
const Same kSameThings[] = {
    // Canon
    {0x0006, "ImageType", "CanonImageType"}, {0x0007, "FirmwareVersion", "CanonFirmwareVersion"},
    {0x0008, "ImageNumber", "FileNumber"}, {0x0009, "OwnerName", "OwnerName"},
    {0x000C, "CameraSerialNumber", "SerialNumber"},
    // Nikon, older table
    {0x0003, "Quality", "Quality"}, {0x0004, "ColorMode", "ColorMode"},
    {0x0005, "ImageAdjustment", "ImageAdjustment"}, {0x0006, "ISOSpeed", "CCDSensitivity"},
    {0x0007, "WhiteBalance", "WhiteBalance"}, {0x000A, "DigitalZoom", "DigitalZoom"},
    {0x000B, "Converter", "Converter"},
    // Nikon, newer table
    {0x0001, "FamilyID", "MakerNoteVersion"}, {0x0002, "ISOSpeed", "ISO"},
    {0x0003, "ColorMode", "ColorMode"}, {0x0004, "Quality", "Quality"},
    {0x0005, "WhiteBalance", "WhiteBalance"}, {0x0006, "ImageSharpening", "Sharpness"},
    {0x0007, "FocusMode", "FocusMode"}, {0x0008, "FlashSetting", "FlashSetting"},
    {0x0009, "AutoFlashMode", "FlashType"}, {0x000B, "WhiteBiasValue", "WhiteBalanceFineTune"},
    {0x0080, "ImageAdjustment", "ImageAdjustment"}, {0x0082, "Adapter", "AuxiliaryLens"},
    {0x0086, "DigitalZoom", "DigitalZoom"}, {0x008D, "ColorMode", "ColorHue"},
    {0x0092, "HueAdjustment", "HueAdjustment"}, {0x0094, "Saturation", "SaturationAdj"},
    {0x0095, "NoiseReduction", "NoiseReduction"},
    // Olympus
    {0x0200, "SpecialMode", "SpecialMode"}, {0x0201, "JpegQual", "Quality"},
    {0x0202, "Macro", "Macro"}, {0x0204, "DigiZoom", "DigitalZoom"},
    {0x0209, "CameraID", "CameraID"}, {0x1004, "FlashMode", "FlashMode"},
    {0x100B, "FocusMode", "FocusMode"}, {0x100F, "Sharpness", "Sharpness"},
    {0x1012, "BlackLevel", "BlackLevel"}, {0x1015, "WhiteBalance", "WBMode"},
    {0x101A, "SerialNumber", "SerialNumber"}, {0x1029, "Contrast", "Contrast"},
    {0x102A, "SharpnessFactor", "SharpnessFactor"}, {0x102B, "ColorControl", "ColorControl"},
    {0x102C, "ValidBits", "ValidBits"}, {0x102D, "Coring", "CoringFilter"},
    {0x102E, "FinalWidth", "OlympusImageWidth"}, {0x102F, "FinalHeight", "OlympusImageHeight"},
    {0x1034, "CompressionRatio", "CompressionRatio"},
    // Casio
    {0x0001, "RecordingMode", "RecordingMode"}, {0x0002, "Quality", "Quality"},
    {0x0003, "FocusingMode", "FocusMode"}, {0x0004, "FlashMode", "FlashMode"},
    {0x0005, "FlashIntensity", "FlashIntensity"}, {0x0007, "WhiteBalance", "WhiteBalance"},
    {0x000A, "DigitalZoom", "DigitalZoom"}, {0x000B, "Sharpness", "Sharpness"},
    {0x000C, "Contrast", "Contrast"}, {0x000D, "Saturation", "Saturation"},
    {0x0014, "CCDSensitivity", "ISO"},
    // Fujifilm
    {0x1000, "Quality", "Quality"}, {0x1001, "Sharpness", "Sharpness"},
    {0x1002, "WhiteBalance", "WhiteBalance"}, {0x1003, "Color", "Saturation"},
    {0x1010, "FlashMode", "FujiFlashMode"}, {0x1011, "FlashStrength", "FlashExposureComp"},
    {0x1020, "Macro", "Macro"}, {0x1021, "Focusmode", "FocusMode"},
    {0x1030, "SlowSync", "SlowSync"}, {0x1031, "PictureMode", "PictureMode"},
    {0x1100, "ContTake/Bracket", "AutoBracketing"}, {0x1300, "BlurWarning", "BlurWarning"},
    {0x1301, "FocusWarning", "FocusWarning"}, {0x1302, "AEWarning", "ExposureWarning"},
    // Sanyo
    {0x0200, "Special Mode", "SpecialMode"}, {0x0201, "JpegQuality", "SanyoQuality"},
    {0x0202, "Macro", "Macro"}, {0x0204, "DigiZoom", "DigitalZoom"},
    // Canon fields
    {0, "Macro mode", "MacroMode"}, {0, "Drive Mode", "ContinuousDrive"},
    {0, "White balance", "WhiteBalance"},
};
// Entries numbered 0, which the store refuses: compared in the trace (group, ours, theirs).
const std::array<const char*, 3> kTracedOnly[] = {
    {"FujiFilm", "Version", "Version"}, {"Minolta", "ModelID", "MakerNoteVersion"}};
// clang-format on

// What the rules read differently (a whole note when no entry is named), and why.
const std::array<const char*, 3> kDifferences[] = {
    {"casio_ex_z3_tiny_mm.jpg", "", "a \"QVC\" note of the later layout, read as a directory"},
    {"casio_ex_z750_mm.jpg", "", "a \"QVC\" note of the later layout, read as a directory"},
    {"nikon_coolpix_p1_thumb_bad_previewifd.jpg", "FamilyID",
     "the version is the binary digits 00 02 00 00, shown as control characters; dump: 0200"},
    {"nikon_e775_coolpix_usercomment_ascii.jpg", "FamilyID",
     "the version is the binary digits 00 01 00 00; dump: 0100"},
};

bool ReadDifferently(const fs::path& photo, const std::string& ours) {
  for (const auto& [file, name, why] : kDifferences) {
    if (photo.filename() == file && ours == name) return true;
  }
  return false;
}

json Dump(const fs::path& photo, const char* suffix) {
  std::ifstream in(photo.string() + suffix);
  return json::parse(in).at(0);
}

// The value as the dump shows it without print conversion: text without its quotes (and,
// for UNDEFINED, cut at the first zero byte), numbers as a number, arrays of integers as
// numbers joined by blanks.
::testing::AssertionResult Agrees(const TTagEntry& entry, const json& theirs, bool bigEndian) {
  const bool text = entry.DataType == exif::detail::kAscii || entry.DataType == exif::detail::kUndefined;
  std::string ours = text ? entry.Text.substr(1, entry.Text.size() - 2) : std::string();
  if (entry.DataType == exif::detail::kUndefined) ours = ours.substr(0, ours.find('\0'));
  if (theirs.is_number()) {
    const double value =
        text ? std::stod(ours) : exif::detail::RawToNumber(entry.Raw, entry.DataType, bigEndian);
    const double expected = theirs.get<double>();
    if (std::fabs(value - expected) <= 1e-9 * std::max(1.0, std::fabs(expected))) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << value << " against " << expected;
  }
  if (!text) {
    const auto size = static_cast<size_t>(exif::detail::FieldTypeSize(entry.DataType));
    for (size_t at = 0; size > 0 && at + size <= entry.Raw.size(); at += size) {
      if (at > 0) ours += ' ';
      ours += std::to_string(exif::detail::RawToInteger(entry.Raw.substr(at, size), bigEndian));
    }
  }
  if (ours == theirs.get<std::string>()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "[" << ours << "] against " << theirs;
}

TEST(MakerNoteSamples, ReadValuesAgreeWithTheReferenceDumps) {
  REQUIRE_SAMPLE(testsupport::SamplesDir());
  std::map<std::string, int> compared;  // "group:dump name" -> times
  std::error_code error;
  for (const auto& item : fs::recursive_directory_iterator(testsupport::SamplesDir(), error)) {
    const std::string name = item.path().string();
    const std::string suffix = ".exiftool-n.json";
    if (!name.ends_with(suffix)) continue;
    const fs::path photo = name.substr(0, name.size() - suffix.size());
    exif::detail::TimgData reader;
    if (!reader.ProcessFile(photo.string()) || !reader.ExifInfo) continue;
    const exif::detail::TImageInfo& info = *reader.ExifInfo;
    const std::string key = exif::detail::UpperAscii(exif::detail::CopyBytes(info.MakeText, 1, 5));
    if (!kGroups.contains(key) || !info.MakerNoteRead || ReadDifferently(photo, "")) continue;

    const std::string group = kGroups.at(key) + ":";
    const json numeric = Dump(photo, suffix.c_str());
    const json printed = Dump(photo, ".exiftool.json");
    const bool noteBigEndian = key == "FUJIF" ? false : info.BigEndian;
    const std::string at = photo.filename().string() + " ";
    for (const TTagEntry& entry : info.StoredTags()) {
      if (entry.Id != 1) continue;
      for (const Same& same : kSameThings) {
        if (same.tag != entry.Tag || entry.Name != same.ours) continue;
        if (!numeric.contains(group + same.theirs) || ReadDifferently(photo, same.ours)) continue;
        if (same.tag == 0) {
          EXPECT_EQ(entry.Text, printed[group + same.theirs].get<std::string>()) << at << same.ours;
        } else {
          EXPECT_TRUE(Agrees(entry, numeric[group + same.theirs], noteBigEndian))
              << at << same.ours;
        }
        ++compared[group + same.theirs];
      }
      if (entry.Name == "LensInformation" && numeric.contains(group + "Lens")) {
        double range[4] = {};
        std::istringstream(numeric[group + "Lens"].get<std::string>()) >> range[0] >> range[1] >>
            range[2] >> range[3];
        const std::string shown = exif::detail::FormatText("%0.1f-%0.1f(mm)  F%0.1f-F%0.1f",
                                                   {range[0], range[1], range[2], range[3]});
        EXPECT_NE(info.MakerNoteTraceText.find("\r\nLens information = " + shown + "\r\n"),
                  std::string::npos)
            << at << shown;
        ++compared[group + "Lens"];
      }
    }
    for (const auto& [tracedGroup, ours, theirs] : kTracedOnly) {
      if (group != std::string(tracedGroup) + ":" || !numeric.contains(group + theirs)) continue;
      const std::string line =
          std::string("\r\n") + ours + " = \"" + numeric[group + theirs].get<std::string>() + "\"";
      EXPECT_NE(info.MakerNoteTraceText.find(line), std::string::npos) << at << ours;
      ++compared[group + theirs];
    }
  }
  int total = 0;
  std::string list;
  for (const auto& [what, times] : compared) {
    total += times;
    list += " " + what;
  }
  RecordProperty("compared", list);
  EXPECT_GE(total, 150) << list;
}

}  // namespace
