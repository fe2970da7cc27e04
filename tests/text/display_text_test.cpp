#include "prosvitek/text/display_text.h"

#include <gtest/gtest.h>

namespace text {
namespace {

TEST(ToDisplayUtf8, KeepsValidUtf8AndReadsEverythingElseAsLatin1) {
  struct Case { std::string in, out; };
  const Case cases[] = {
      {"Canon", "Canon"},
      {"Rotated 180\xC2\xB0", "Rotated 180\xC2\xB0"},        // valid UTF-8 stays
      {"Fo\xBBk", "Fo\xC2\xBBk"},                             // a lone Latin-1 byte
      {"\xC3", "\xC3\x83"},                                   // a cut sequence
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                       // overlong form is not UTF-8
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},           // surrogate
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToDisplayUtf8(c.in), c.out);
    EXPECT_TRUE(IsValidUtf8(ToDisplayUtf8(c.in)));
  }
}

TEST(DisplayLines, SplitsOnCrLfAndDropsEmptyPieces) {
  EXPECT_EQ(DisplayLines("\r\nMake = A\r\nModel = \xE9"), (std::vector<std::string>{"Make = A", "Model = \xC3\xA9"}));
  EXPECT_TRUE(DisplayLines("").empty());
  EXPECT_EQ(DisplayLines("one\r\n\r\ntwo\r\n"), (std::vector<std::string>{"one", "two"}));
}

}  // namespace
}  // namespace text
