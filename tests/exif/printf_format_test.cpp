// Printf-style templates: C's output where the template fits, FormatError where it does not.

#include "exif/printf_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using exif::FormatArg;
using exif::FormatError;
using exif::FormatText;

struct FormatCase {
  const char* templ;
  FormatArg arg;
  std::string expected;
};

TEST(FormatText, GivesPrintfOutputForTheReadersTemplates) {
  const FormatCase cases[] = {
      {"%5.2f", 2.8, " 2.80"},
      {"%5.2f", 123.456, "123.46"},
      {"F%0.1f", 7.1, "F7.1"},
      {"F%0.1f", 0.640234375, "F0.6"},
      {"%5.2f mm", 7.3, " 7.30 mm"},
      {"%4.4f sec", 0.00390625, "0.0039 sec"},
      {"%0.0f", 2.5, "2"},  // printf rounds halves to even
      {"%0.0f", 3.5, "4"},
      {"%s sec", std::string_view("1/125"), "1/125 sec"},
      {"%-6s|", std::string_view("ab"), "ab    |"},
      {"%6s|", std::string_view("ab"), "    ab|"},
      {"%.2s", std::string_view("abc"), "ab"},
      {"%d", int32_t{-42}, "-42"},
      {"%+05d", int32_t{42}, "+0042"},
      {"%u", int32_t{-1}, "4294967295"},
      {"%04X", int32_t{0x927C}, "927C"},
      {"100%% %d", int32_t{1}, "100% 1"},
      {"no conversion", 1.5, "no conversion"},
      {"%4.4f", 0.5L, "0.5000"},  // an extended argument
  };
  for (const FormatCase& c : cases) EXPECT_EQ(FormatText(c.templ, {c.arg}), c.expected) << c.templ;
}

TEST(FormatText, TakesArgumentsInOrder) {
  EXPECT_EQ(FormatText("%d/%d", {int32_t{1}, int32_t{250}}), "1/250");
  EXPECT_EQ(FormatText("%d/%d", {int32_t{-1}, int32_t{0}}), "-1/0");
  EXPECT_EQ(FormatText("%d", {int32_t{7}, int32_t{8}}), "7");  // left-over arguments are ignored
}

TEST(FormatText, TextMayHoldZeroBytes) {
  const std::string text("a\0b", 3);
  EXPECT_EQ(FormatText("[%s]", {std::string_view(text)}), std::string("[a\0b]", 5));
}

TEST(FormatText, RaisesWhenTheTemplateDoesNotFitItsArgument) {
  const FormatCase cases[] = {
      {"%d", 2.5, ""},            // integer conversion, floating value
      {"%5.2f", int32_t{3}, ""},  // floating conversion, integer value
      {"%s", 2.5, ""},
      {"%d", std::string_view("1"), ""},
      {"%d %d", int32_t{1}, ""},  // more conversions than arguments
      {"50%", int32_t{1}, ""},    // a lone '%' at the end
      {"%ld", int32_t{1}, ""},    // length modifiers are not supported
      {"%*d", int32_t{1}, ""},    // '*' would read another argument
      {"%n", int32_t{1}, ""},     // would write through a pointer
      {"%c", int32_t{65}, ""},
      {"%05s", std::string_view("a"), ""},  // undefined in C
      {"%#d", int32_t{1}, ""},              // undefined in C
      {"%2000d", int32_t{1}, ""},           // width beyond the limit
      {"%.99999999999f", 1.0, ""},          // precision that would overflow
  };
  for (const FormatCase& c : cases)
    EXPECT_THROW(FormatText(c.templ, {c.arg}), FormatError) << c.templ;
}

}  // namespace
