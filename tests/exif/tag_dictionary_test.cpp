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

using exif::detail::DictionaryIndexOf;
using exif::detail::LookupTag;

TEST(TagDictionary, KeepsTheTraditionalSpellingsAndRepeatedNames) {
  const std::pair<uint16_t, const char*> spelled[] = {
      {0x0122, "GrayReponseUnit"}, {0x0123, "GrayReponseCurve"},  {0x0152, "ExtraSample"},
      {0x80E3, "Matteing"},        {0x923F, "StoNits"},           {0xA405, "FocalLengthin35mmFilm"},
      {0x83BB, "IPTC/NAA"},        {0x9216, "TIFF/EPStandardID"}, {0xA420, "ImageUniqueID"},
  };
  for (const auto& [tag, name] : spelled) EXPECT_EQ(LookupTag(tag, 1).Name, name);
  // Eleven names repeat under the A2xx numbers, CFAPattern under 828E and A302, Gamma under
  // 0301 and A500.
  constexpr size_t kTags = exif::detail::kExifTagCount;
  std::multiset<std::string> names;
  for (const auto& entry : exif::detail::ExifTagTable().first(kTags)) names.insert(entry.Name);
  EXPECT_EQ(names.size() - std::set<std::string>(names.begin(), names.end()).size(), 13u);
  EXPECT_EQ(names.count("SensingMethod"), 2u);
  EXPECT_EQ(exif::detail::ExifTagTable()[kTags].Name, "Unknown");
}

TEST(LookupTag, SearchesTheDictionaryOfTheDirectoryKind) {
  struct Case {
    uint16_t tag;
    int kind;
    const char* name;
  };
  const Case cases[] = {
      {0x1E, 2, "GPSDifferential"}, {0x00, 2, "GPSVersionID"},   {0x00, 1, "Unknown"},
      {0x20, 2, "Unknown"},         {0x829A, 4, "ExposureTime"}, {0x829A, 2, "Unknown"},
      {0x0001, 3, "Unknown"},       {0xFFFF, 1, "Unknown"},
  };
  for (const Case& c : cases) EXPECT_EQ(LookupTag(c.tag, c.kind).Name, c.name) << c.tag;
  EXPECT_EQ(LookupTag(0x0001, 3).Tag, 0);
  EXPECT_EQ(LookupTag(0x829A, 1).FormatString, "%s sec");
  EXPECT_EQ(LookupTag(0x9209, 1).Decoder, &exif::detail::DecodeFlash);
  EXPECT_EQ(LookupTag(0x04, 2).RawDecoder, &exif::detail::DecodeGpsCoordinate);
}

TEST(DictionaryIndexOf, IgnoresAsciiCaseAndNeverFindsTheSentinel) {
  EXPECT_EQ(exif::detail::ExifTagTable()[DictionaryIndexOf("focallengthIN35MMFILM")].Tag, 0xA405);
  EXPECT_EQ(exif::detail::ExifTagTable()[DictionaryIndexOf("FlashEnergy")].Tag, 0x920B);  // the first
  EXPECT_EQ(DictionaryIndexOf("Unknown"), -1);
  EXPECT_EQ(DictionaryIndexOf(""), -1);
}

TEST(FindTagIndex, TakesTheFirstIndexAndTheLastMapOfAnyTable) {
  std::vector<exif::detail::TTagEntry> table(3);
  table[0].Tag = table[2].Tag = 0x0081;
  table[0].ValueMap = "0:first";
  table[2].ValueMap = "0:last";
  table[1].Tag = 0x0002;
  EXPECT_EQ(exif::detail::FindTagIndex(0x0081, table), 0);
  EXPECT_EQ(exif::detail::FindTagIndex(0x0003, table), -1);
  EXPECT_EQ(exif::detail::FindValueMap(0x0081, table), "0:last");
  EXPECT_EQ(exif::detail::FindValueMap(0x0003, table), "");
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
      {"aB", "aB"},
      {"", ""},
  };
  for (const auto& [name, spaced] : cases) EXPECT_EQ(exif::detail::SpaceWords(name), spaced);
}

TEST(TagDescriptions, AreDerivedFromTheNameUnlessGiven) {
  EXPECT_EQ(LookupTag(0x9201, 1).Description, "Shutter Speed Value");
  EXPECT_EQ(LookupTag(0x0B, 2).Description, "GPSDOP");
  EXPECT_EQ(LookupTag(0x9216, 1).Description, "TIFF/ EPStandard ID");
  EXPECT_EQ(LookupTag(0xA216, 1).Description, "TIFF/EPStandardID");
  EXPECT_EQ(LookupTag(0xA405, 1).Description, "Focal Length in 35mm Film");
  EXPECT_EQ(LookupTag(0, 1).Description, "Unknown");
}

TEST(DecodeValueMap, FindsTheWordsOfAValue) {
  const std::string units = "1:None Specified,2:Inch,3:Centimeter";
  const std::string orientation = LookupTag(0x0112, 1).ValueMap;
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {units, "2", "Inch"},
      {units, " 3 ", "Centimeter"},
      {units, "4", ""},
      {units, "", ""},
      {units, "12", ""},  // "2" must not match inside "12"
      {"12:twelve,2:two", "2", "two"},
      {"1: Off", "1", " Off"},  // words are not trimmed
      {orientation, "3", "Rotated 180°"},
      {orientation, "2", "Mirror horizontal"},
      {orientation, "9", ""},
      {LookupTag(0x0106, 1).ValueMap, "2", "RGB"},
  };
  for (const auto& [map, value, words] : cases) {
    EXPECT_EQ(exif::detail::DecodeValueMap(map, value), words) << map << " / " << value;
  }
}

}  // namespace
