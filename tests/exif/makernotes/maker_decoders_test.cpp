// The maker tables, the text operations and the maker decoders as text in, text out.

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <string>

#include "exif/ascii.h"
#include "exif/makernotes/maker_directory.h"
#include "exif/makernotes/maker_tables.h"
#include "exif/makernotes/text_fields.h"

namespace {

using exif::TTagEntry;

// Sizes and unique tag numbers are checked where the tables are defined.
TEST(MakerTables, MarkTheirSkipRecordsAndDescribeTheRest) {
  const std::pair<std::span<const TTagEntry> (*)(), int> tables[] = {
      {exif::NikonType1Tags, 2}, {exif::NikonType2Tags, 4}, {exif::OlympusTags, 4},
      {exif::CasioTags, 14},     {exif::FujiTags, 2},       {exif::CanonTags, 8},
      {exif::SeikoTags, 2},      {exif::SanyoTags, 1},      {exif::MinoltaTags, 0}};
  for (const auto& [table, skips] : tables) {
    int found = 0;
    for (const TTagEntry& entry : table()) {
      found += exif::UpperAscii(entry.Description) == "SKIP";
      EXPECT_FALSE(entry.Description.empty()) << entry.Name;
      EXPECT_TRUE(entry.Text.empty() && entry.Raw.empty() && entry.FormatString.empty());
    }
    EXPECT_EQ(found, skips) << table().front().Name;
  }
}

TEST(MakerText, OperationsFollowTheFirstMarkAndCountWithoutOverlap) {
  EXPECT_EQ(exif::TextBefore("a, b", ","), "a");
  EXPECT_EQ(exif::TextBefore("ab", ","), "ab");
  EXPECT_EQ(exif::TextBefore("ab", ""), "ab");
  EXPECT_EQ(exif::TextAfter("a, b, c", ","), " b, c");
  EXPECT_EQ(exif::TextAfter("ab", ","), "");
  EXPECT_EQ(exif::TextAfter("ab", ""), "ab");
  const std::pair<int64_t, const char*> fields[] = {
      {0, "1"}, {1, "1"}, {2, " 2"}, {3, " 3"}, {4, ""}};
  for (const auto& [n, field] : fields) EXPECT_EQ(exif::NthField("1, 2, 3", ",", n), field) << n;
  EXPECT_EQ(exif::NthField("a::b::c", "::", 2), "b");
  EXPECT_EQ(exif::NthField("x,y", "", 3), "x,y");
  EXPECT_EQ(exif::CountSeparators("1, 2, 3", ","), 2);
  EXPECT_EQ(exif::CountSeparators(",,", ","), 2);
  EXPECT_EQ(exif::CountSeparators("aaa", "aa"), 1);
  EXPECT_EQ(exif::CountSeparators("abc", ""), 0);
}

struct DecoderCase {
  std::string input;
  std::string output;
};

void ExpectDecodes(exif::TagDecoder decoder, std::initializer_list<DecoderCase> cases,
                   bool multiLine) {
  for (const DecoderCase& c : cases) {
    exif::DecoderMultiLine = false;  // as the pass leaves it before each decoder
    EXPECT_EQ(decoder(c.input), c.output) << "[" << c.input << "]";
    EXPECT_EQ(exif::DecoderMultiLine, multiLine) << "[" << c.input << "]";
  }
  exif::DecoderMultiLine = false;
}

TEST(MakerDecoders, NikonColourModeAndLens) {
  ExpectDecodes(exif::DecodeNikonColorMode,
                {{"\"MODE1\"", "Mode1 (sRGB)"},
                 {"\"MODE2   \"", "Mode 2 (Adobe RGB)"},
                 {"\"MODE3a\"", "Mode 3 (sRGB): higher saturation"},
                 {"\"mode1\"", "mode1"},  // case-sensitive
                 {"\"AB\"", "AB\""},
                 {"", ""}},
                false);
  ExpectDecodes(exif::DecodeNikonLens,
                {{"18/1, 70/1, 35/10, 45/10", "18.0-70.0(mm)  F3.5-F4.5"},
                 {"17/1, 35/1, 28/10, 28/10", "17.0-35.0(mm)  F2.8-F2.8"},
                 {"a/b, 70/1, x, 45/0", "0.0-70.0(mm)  F0.0-F0.0"},  // unreadable parts are 0
                 {"18/1", "0.0-0.0(mm)  F0.0-F18.0"}},  // no ", ": the rest is the last part
                false);
}

// Outside a pass the Canon decoders store nothing; their lines are the same.
TEST(MakerDecoders, CanonArraysNameTheirFields) {
  ExpectDecodes(exif::DecodeCanonSettings,
                {{"", ""},
                 {"16, 2", "\r\nMacro mode = Normal\r\nSelf Timer =  2"},
                 {"16, 7, 0, 5", "\r\nSelf Timer =  7\r\nCompression Rate = SuperFine"}},
                true);
  ExpectDecodes(
      exif::DecodeCanonShotInfo,
      {{"0, 0, 0, 0, 0, 0, 0, 6, 9, 3", "\r\nWhite balance = Custom\r\nSequence Number =  9"}},
      true);
  ExpectDecodes(exif::DecodeCanonCustomFunctions,
                {{"514, 0", "\r\nShutter AE Lock Button = AF/AF lock"},
                 {"514", ""},  // the last number is never looked at
                 {"255, 256, 1", "\r\nNoise Reduction =  Off"},
                 {"-514, x, 3841, 1", "\r\nShutter Release w/o CF Card = Disable"},
                 {"1793, 1538, 4096, 0", ""},  // no such settings; no function 16
                 {"1537, 1794, 0", "\r\nAV Shutter Speed =  1/200 (fixed)\r\nAEB Sequence =  -"}},
                true);
}

}  // namespace
