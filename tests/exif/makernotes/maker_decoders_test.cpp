// The maker tables, the text operations and the maker decoders.

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <string>

#include "exif/ascii.h"
#include "exif/image_info.h"
#include "exif/makernotes/maker_directory.h"
#include "exif/makernotes/maker_tables.h"
#include "exif/makernotes/text_fields.h"

namespace {

using exif::detail::TTagEntry;

// Sizes and unique tag numbers are checked where the tables are defined.
TEST(MakerTables, MarkTheirSkipRecordsAndDescribeTheRest) {
  const std::pair<std::span<const TTagEntry> (*)(), int> tables[] = {
      {exif::detail::NikonType1Tags, 2}, {exif::detail::NikonType2Tags, 4}, {exif::detail::OlympusTags, 4},
      {exif::detail::CasioTags, 14},     {exif::detail::FujiTags, 2},       {exif::detail::CanonTags, 8},
      {exif::detail::SeikoTags, 2},      {exif::detail::SanyoTags, 1},      {exif::detail::MinoltaTags, 0}};
  for (const auto& [table, skips] : tables) {
    int found = 0;
    for (const TTagEntry& entry : table()) {
      found += exif::detail::UpperAscii(entry.Description) == "SKIP";
      EXPECT_FALSE(entry.Description.empty()) << entry.Name;
      EXPECT_TRUE(entry.Text.empty() && entry.Raw.empty() && entry.FormatString.empty());
    }
    EXPECT_EQ(found, skips) << table().front().Name;
  }
}

TEST(MakerText, OperationsFollowTheFirstMarkAndCountWithoutOverlap) {
  EXPECT_EQ(exif::detail::TextBefore("a, b", ","), "a");
  EXPECT_EQ(exif::detail::TextBefore("ab", ","), "ab");
  EXPECT_EQ(exif::detail::TextBefore("ab", ""), "ab");
  EXPECT_EQ(exif::detail::TextAfter("a, b, c", ","), " b, c");
  EXPECT_EQ(exif::detail::TextAfter("ab", ","), "");
  EXPECT_EQ(exif::detail::TextAfter("ab", ""), "ab");
  const std::pair<int64_t, const char*> fields[] = {
      {0, "1"}, {1, "1"}, {2, " 2"}, {3, " 3"}, {4, ""}};
  for (const auto& [n, field] : fields) EXPECT_EQ(exif::detail::NthField("1, 2, 3", ",", n), field) << n;
  EXPECT_EQ(exif::detail::NthField("a::b::c", "::", 2), "b");
  EXPECT_EQ(exif::detail::NthField("x,y", "", 3), "x,y");
  EXPECT_EQ(exif::detail::CountSeparators("1, 2, 3", ","), 2);
  EXPECT_EQ(exif::detail::CountSeparators(",,", ","), 2);
  EXPECT_EQ(exif::detail::CountSeparators("aaa", "aa"), 1);
  EXPECT_EQ(exif::detail::CountSeparators("abc", ""), 0);
}

struct DecoderCase {
  std::string input;
  std::string output;
};

void ExpectDecodes(exif::detail::TagDecoder decoder, std::initializer_list<DecoderCase> cases) {
  for (const DecoderCase& c : cases) EXPECT_EQ(decoder(c.input), c.output) << "[" << c.input << "]";
}

TEST(MakerDecoders, NikonColourModeAndLens) {
  ExpectDecodes(exif::detail::DecodeNikonColorMode,
                {{"\"MODE1\"", "Mode1 (sRGB)"},
                 {"\"MODE2   \"", "Mode 2 (Adobe RGB)"},
                 {"\"MODE3a\"", "Mode 3 (sRGB): higher saturation"},
                 {"\"mode1\"", "mode1"},  // case-sensitive
                 {"\"AB\"", "AB\""},
                 {"", ""}});
  ExpectDecodes(exif::detail::DecodeNikonLens,
                {{"18/1, 70/1, 35/10, 45/10", "18.0-70.0(mm)  F3.5-F4.5"},
                 {"17/1, 35/1, 28/10, 28/10", "17.0-35.0(mm)  F2.8-F2.8"},
                 {"a/b, 70/1, x, 45/0", "0.0-70.0(mm)  F0.0-F0.0"},  // unreadable parts are 0
                 {"18/1", "0.0-0.0(mm)  F0.0-F18.0"}});  // no ", ": the rest is the last part
}

// A Canon decoder run on 16-bit numbers in either byte order: its lines, and the fields it
// stored in the pass's object.
struct CanonRun {
  std::string lines;
  std::vector<std::pair<std::string, std::string>> stored;
};

CanonRun RunCanon(exif::detail::NoteDecoder decoder, const std::vector<int>& numbers, bool bigEndian,
                  uint16_t type = 3) {
  std::string raw;
  for (int n : numbers) {
    const auto v = static_cast<uint16_t>(n);
    const char high = static_cast<char>(v >> 8), low = static_cast<char>(v & 0xFF);
    raw += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  exif::detail::TImageInfo owner(nullptr, exif::detail::kBuildAll);
  exif::detail::MakerNoteBudget budget;
  exif::detail::DecodeContext context(owner, budget);
  context.Raw = raw;
  context.Type = type;
  context.BigEndian = bigEndian;
  CanonRun run{decoder("the value text", context), {}};
  EXPECT_TRUE(context.MultiLine);
  for (const auto& entry : owner.StoredTags()) run.stored.emplace_back(entry.Name, entry.Text);
  return run;
}

// Every field reads the number at its own index, however many the camera wrote; the words
// are the documented meanings.
TEST(MakerDecoders, CanonArraysReadEachFieldFromItsOwnNumber) {
  std::vector<int> settings(33, 0);
  settings[1] = 2;        // macro mode: normal
  settings[2] = 100;      // self timer: its own number, not the macro mode's
  settings[3] = 4;        // compression rate
  settings[5] = 3;        // drive mode
  settings[13] = 0xFFFF;  // contrast low
  settings[16] = 0x4000 | 250;  // ISO: newer cameras write the speed itself
  settings[17] = 3;       // metering mode
  settings[19] = 0x3003;  // AF point
  settings[20] = 2;       // exposure mode
  settings[23] = 682;     // long focal, in
  settings[25] = 32;      // focal units per millimetre
  settings[32] = 1;       // focus (continuous)
  const std::string expected =
      "\r\nMacro mode = Normal\r\nSelf Timer = 100\r\nCompression Rate = RAW\r\nFlash Mode = Not fired"
      "\r\nDrive Mode = Continuous, Speed Priority\r\nFocus Mode = One-Shot\r\nImage Size = Large"
      "\r\nEasy Shoot = Full Auto\r\nContrast = Low\r\nSaturation = Normal\r\nSharpness = Normal"
      "\r\nCCD ISO = 250\r\nMetering Mode = Evaluative\r\nAF Point = Center"
      "\r\nExposure Mode = Shutter speed priority AE\r\nLong focal = 21.31 mm\r\nShort focal = 0.00 mm"
      "\r\nFocal Units = 32\r\nFlash Details = 0\r\nFocus Mode = Continuous";
  for (bool bigEndian : {false, true}) {
    const CanonRun run = RunCanon(exif::detail::DecodeCanonSettings, settings, bigEndian);
    EXPECT_EQ(run.lines, expected) << bigEndian;
    ASSERT_EQ(run.stored.size(), 20u);
    EXPECT_EQ(run.stored[1], std::make_pair(std::string("Self Timer"), std::string("100")));
  }
  settings[16] = 0x7FFF;  // no ISO: no line
  EXPECT_EQ(RunCanon(exif::detail::DecodeCanonSettings, settings, false).stored.size(), 19u);
  // Fields past the camera's last number are absent; a number without a word shows as itself.
  EXPECT_EQ(RunCanon(exif::detail::DecodeCanonSettings, {0, 9, 7}, false).lines,
            "\r\nMacro mode = Unknown (9)\r\nSelf Timer = 7");
  EXPECT_EQ(RunCanon(exif::detail::DecodeCanonSettings, {0, 2, 0}, false, 4).lines, "");  // not 16-bit
  std::vector<int> shot(20, 0);
  shot[7] = 1, shot[9] = 4, shot[10] = 6, shot[14] = 0x3002, shot[15] = 0xFFF4, shot[19] = 782;
  shot[1] = 0xFFE0, shot[2] = 140;  // ISO in 32nds of a stop: 50 % of base 64.84
  EXPECT_EQ(RunCanon(exif::detail::DecodeCanonShotInfo, shot, true).lines,
            "\r\nAuto ISO = 50\r\nBase ISO = 65"
            "\r\nWhite balance = Sunny\r\nSequence Number = 4\r\nOpticalZoom Step = 6"
            "\r\nAF point = 12290\r\nFlash bias = -0.33 EV\r\nDistance = 7.82 m");
}

// The custom functions are read from the value text; the last number never is.
TEST(MakerDecoders, CanonCustomFunctionsNameTheirSettings) {
  exif::detail::TImageInfo owner(nullptr, exif::detail::kBuildAll);
  exif::detail::MakerNoteBudget budget;
  const DecoderCase cases[] = {
      {"514, 0", "\r\nShutter AE Lock Button = AF/AF lock"},
      {"514", ""},
      {"255, 256, 1", "\r\nNoise Reduction =  Off"},
      {"-514, x, 3841, 1", "\r\nShutter Release w/o CF Card = Disable"},
      {"1793, 1538, 4096, 0",  // a setting without words by its number; no function 16
       "\r\nAEB Sequence = 0 - + / Disabled\r\nAV Shutter Speed = Unknown (2)"},
      {"1537, 1794, 0", "\r\nAV Shutter Speed =  1/200 (fixed)\r\nAEB Sequence = - 0 + / Enabled"}};
  for (const DecoderCase& c : cases) {
    exif::detail::DecodeContext context(owner, budget);
    EXPECT_EQ(exif::detail::DecodeCanonCustomFunctions(c.input, context), c.output) << c.input;
    EXPECT_TRUE(context.MultiLine);
  }
}

}  // namespace
