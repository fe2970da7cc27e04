// The EXIF and GPS dictionaries, the lookups, derived descriptions and value maps.

#include "exif/tag_dictionary.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "exif/decoders.h"
#include "exif/image_info.h"
#include "exif/value_map.h"

namespace {

using exif::DictionaryIndexOf;
using exif::ExifTagTable;
using exif::GpsTagTable;
using exif::LookupTag;

TEST(TagDictionary, HoldsTwoHundredFiftyTagsInAscendingOrderThenTheSentinel) {
  const auto table = ExifTagTable();
  ASSERT_EQ(table.size(), 251u);
  for (size_t i = 1; i < 250; ++i) EXPECT_LT(table[i - 1].Tag, table[i].Tag) << i;
  EXPECT_EQ(table.front().Name, "InteroperabilityIndex");
  EXPECT_EQ(table[249].Name, "ImageUniqueID");
  EXPECT_EQ(table[250].Tag, 0);
  EXPECT_EQ(table[250].Name, "Unknown");
  EXPECT_TRUE(table[250].ValueMap.empty());
  EXPECT_EQ(table[250].Decoder, nullptr);
}

TEST(TagDictionary, KeepsTheTraditionalSpellings) {
  const std::vector<std::pair<uint16_t, std::string>> spelled = {
      {0x0122, "GrayReponseUnit"},
      {0x0123, "GrayReponseCurve"},
      {0x0152, "ExtraSample"},
      {0x80E3, "Matteing"},
      {0x923F, "StoNits"},
      {0xA405, "FocalLengthin35mmFilm"},
      {0x83BB, "IPTC/NAA"},
      {0x9216, "TIFF/EPStandardID"},
      {0x5024, "ThumbnailPhotometricInterp"},
      {0x502C, "ThumbnailStripBytesCount"},
  };
  for (const auto& [tag, name] : spelled) EXPECT_EQ(LookupTag(tag, 1).Name, name);
  EXPECT_EQ(LookupTag(0x17, 2).Name, "GPSDestBearingkRef");
}

TEST(TagDictionary, TwelveNamesRepeatUnderTheA2Numbers) {
  std::multiset<std::string> names;
  for (const auto& entry : ExifTagTable().first(250)) names.insert(entry.Name);
  const char* twice[] = {"FlashEnergy",
                         "SpatialFrequencyResponse",
                         "FocalPlaneXResolution",
                         "FocalPlaneYResolution",
                         "FocalPlaneResolutionUnit",
                         "ImageNumber",
                         "SecurityClassification",
                         "ImageHistory",
                         "SubjectLocation",
                         "ExposureIndex",
                         "SensingMethod",
                         "TIFF/EPStandardID",
                         "CFAPattern"};
  for (const char* name : twice) EXPECT_EQ(names.count(name), 2u) << name;
  EXPECT_EQ(names.size() - std::set<std::string>(names.begin(), names.end()).size(), 13u);
}

TEST(TagDictionary, GpsTableHoldsTagsZeroToThirty) {
  const auto gps = GpsTagTable();
  ASSERT_EQ(gps.size(), 31u);
  for (size_t i = 0; i < gps.size(); ++i) EXPECT_EQ(gps[i].Tag, i);
  EXPECT_EQ(gps[2].Decoder, &exif::DecodeGpsPosition);
  EXPECT_EQ(gps[7].Decoder, &exif::DecodeGpsTime);
  EXPECT_EQ(gps[5].ValueMap, "0:Sealevel");
}

TEST(TagDictionary, RowsCarryTheirFormatsMapsAndDecoders) {
  EXPECT_EQ(LookupTag(0x829A, 1).FormatString, "%s sec");
  EXPECT_EQ(LookupTag(0x829D, 1).FormatString, "F%0.1f");
  EXPECT_EQ(LookupTag(0x920A, 1).FormatString, "%5.2f mm");
  EXPECT_EQ(LookupTag(0x011A, 1).FormatString, "%5.2f");
  EXPECT_EQ(LookupTag(0xA405, 1).FormatString, "%5.2f mm");
  EXPECT_EQ(LookupTag(0x9209, 1).Decoder, &exif::DecodeFlash);
  EXPECT_EQ(LookupTag(0x9101, 1).Decoder, &exif::DecodeComponents);
  EXPECT_EQ(LookupTag(0x9201, 1).Decoder, &exif::DecodeShutterSpeed);
  EXPECT_EQ(LookupTag(0x9286, 1).Decoder, &exif::DecodeUserComment);
  for (uint16_t tag = 0x9C9B; tag <= 0x9C9F; ++tag) {
    EXPECT_EQ(LookupTag(tag, 1).Decoder, &exif::DecodeTwoByteText);
  }
  EXPECT_EQ(LookupTag(0x0112, 1).ValueMap,
            "1:Normal,3:Rotated 180°,6:CounterClockwise 90°,8:Clockwise 90°");
  EXPECT_EQ(
      LookupTag(0x9208, 1).ValueMap,
      "0:Unidentified,1:Daylight,2:Fluorescent,3:Tungsten,10:Flash,17:Std A,18:Std B,19:Std C");
  EXPECT_EQ(LookupTag(0x9216, 1).ValueMap, "");
  EXPECT_EQ(LookupTag(0xA217, 1).ValueMap.substr(0, 23), "0:Unknown,1:MonochromeA");
}

struct LookupCase {
  uint16_t tag;
  int kind;
  const char* name;
};

TEST(LookupTag, SearchesTheDictionaryOfTheDirectoryKind) {
  const LookupCase cases[] = {
      {0x1E, 2, "GPSDifferential"},
      {0x00, 2, "GPSVersionID"},
      {0x00, 1, "Unknown"},
      {0x1F, 2, "Unknown"},
      {0x829A, 1, "ExposureTime"},
      {0x829A, 4, "ExposureTime"},
      {0x829A, 2, "Unknown"},
      {0x0001, 3, "Unknown"},
      {0x0002, 0, "Unknown"},
      {0xFFFF, 1, "Unknown"},
      {0x0001, 1, "InteroperabilityIndex"},
  };
  for (const LookupCase& c : cases) {
    EXPECT_EQ(LookupTag(c.tag, c.kind).Name, c.name) << std::hex << c.tag << " kind " << c.kind;
  }
  EXPECT_EQ(LookupTag(0x0001, 3).Tag, 0);
}

TEST(DictionaryIndexOf, IgnoresAsciiCaseAndNeverFindsTheSentinel) {
  EXPECT_EQ(DictionaryIndexOf("focallengthIN35MMFILM"), 241);
  EXPECT_EQ(ExifTagTable()[241].Tag, 0xA405);
  EXPECT_EQ(DictionaryIndexOf("FocalLengthIn35mmFilm"), 241);
  EXPECT_EQ(DictionaryIndexOf("InteroperabilityIndex"), 0);
  EXPECT_EQ(DictionaryIndexOf("FlashEnergy"), DictionaryIndexOf("flashenergy"));
  EXPECT_EQ(ExifTagTable()[static_cast<size_t>(DictionaryIndexOf("FlashEnergy"))].Tag, 0x920B);
  EXPECT_EQ(DictionaryIndexOf("Unknown"), -1);
  EXPECT_EQ(DictionaryIndexOf(""), -1);
}

TEST(FindTagIndex, FirstIndexAndLastMapInAnyTable) {
  // Maker tables may repeat a tag number; the index takes the first, the map the last.
  std::vector<exif::TTagEntry> table(3);
  table[0].Tag = 0x0081;
  table[0].ValueMap = "0:first";
  table[1].Tag = 0x0002;
  table[2].Tag = 0x0081;
  table[2].ValueMap = "0:last";
  EXPECT_EQ(exif::FindTagIndex(0x0081, table), 0);
  EXPECT_EQ(exif::FindTagIndex(0x0002, table), 1);
  EXPECT_EQ(exif::FindTagIndex(0x0003, table), -1);
  EXPECT_EQ(exif::FindValueMap(0x0081, table), "0:last");
  EXPECT_EQ(exif::FindValueMap(0x0003, table), "");
  EXPECT_EQ(exif::FindTagIndex(0x829A, ExifTagTable()), DictionaryIndexOf("ExposureTime"));
}

TEST(SpaceWords, PutsABlankBeforeACapitalThatFollowsANonCapital) {
  const std::pair<const char*, const char*> cases[] = {
      {"ExposureTime", "Exposure Time"},
      {"ISOSpeedRatings", "ISOSpeed Ratings"},
      {"FNumber", "FNumber"},
      {"T4Options", "T4 Options"},
      {"GPSTimeStamp", "GPSTime Stamp"},
      {"XResolution", "XResolution"},
      {"TIFF/EPStandardID", "TIFF/ EPStandard ID"},
      {"a", "a"},
      {"", ""},
      {"aB", "aB"},
      {"abC", "ab C"},
  };
  for (const auto& [name, spaced] : cases) EXPECT_EQ(exif::SpaceWords(name), spaced) << name;
}

TEST(FillDescriptions, DerivesEmptyDescriptionsOnceAndKeepsGivenOnes) {
  const exif::TImageInfo first(nullptr, exif::kBuildAll);  // fills the descriptions
  EXPECT_EQ(LookupTag(0x9201, 1).Description, "Shutter Speed Value");
  EXPECT_EQ(LookupTag(0x0B, 2).Description, "GPSDOP");
  EXPECT_EQ(LookupTag(0x9216, 1).Description, "TIFF/ EPStandard ID");
  EXPECT_EQ(LookupTag(0xA216, 1).Description, "TIFF/EPStandardID");
  EXPECT_EQ(LookupTag(0xA405, 1).Description, "Focal Length in 35mm Film");
  EXPECT_EQ(LookupTag(0x83BB, 1).Description, "IPTC/NAA");
  EXPECT_EQ(LookupTag(0, 1).Description, "Unknown");
  exif::FillDescriptions();  // a second pass changes nothing
  EXPECT_EQ(LookupTag(0x9201, 1).Description, "Shutter Speed Value");
}

struct MapCase {
  std::string map;
  std::string value;
  std::string expected;
};

TEST(DecodeValueMap, FindsTheWordsOfAValue) {
  const std::string units = "1:None Specified,2:Inch,3:Centimeter";
  const MapCase cases[] = {
      {units, "2", "Inch"},
      {units, " 3 ", "Centimeter"},
      {units, "1", "None Specified"},
      {units, "4", ""},
      {units, "", ""},
      {units, "12", ""},  // "2" must not match inside "12"
      {"12:twelve,2:two", "2", "two"},
      {"1:Normal,3:Rotated 180°", "3", "Rotated 180°"},
      {"1: Off", "1", " Off"},  // words are not trimmed
      {"", "1", ""},
  };
  for (const MapCase& c : cases) {
    EXPECT_EQ(exif::DecodeValueMap(c.map, c.value), c.expected) << c.map << " / " << c.value;
  }
}

TEST(DecodeValueMap, DictionaryMapsGiveTheirWords) {
  EXPECT_EQ(exif::DecodeValueMap(LookupTag(0x0106, 1).ValueMap, "2"), "RGB");
  EXPECT_EQ(exif::DecodeValueMap(LookupTag(0x0112, 1).ValueMap, "3"), "Rotated 180°");
  EXPECT_EQ(exif::DecodeValueMap(LookupTag(0x0112, 1).ValueMap, "2"), "");
  EXPECT_EQ(exif::DecodeValueMap(LookupTag(0xA300, 1).ValueMap, "3"), "Digital Still Camera");
}

}  // namespace
