// Printf-style templates: C's output where the template fits, FormatError where it does not.

#include "exif/printf_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using exif::detail::FormatArg;
using exif::detail::FormatText;

struct Case {
  const char* templ;
  FormatArg arg;
  std::string expected;
};

TEST(FormatText, GivesPrintfOutputForTheReadersTemplates) {
  const std::string zeroed("a\0b", 3);  // %s keeps zero bytes
  const Case cases[] = {
      {"%5.2f", 2.8, " 2.80"},
      {"F%0.1f", 0.640234375, "F0.6"},
      {"%5.2f mm", 7.3, " 7.30 mm"},
      {"%4.4f sec", 0.00390625, "0.0039 sec"},
      {"%0.0f", 2.5, "2"},
      {"%0.0f", 3.5, "4"},  // halves to even, as printf
      {"%s sec", std::string_view("1/125"), "1/125 sec"},
      {"%-4s|%%", std::string_view("ab"), "ab  |%"},
      {"%.2s", std::string_view(zeroed), std::string("a\0", 2)},
      {"%+05d", int32_t{42}, "+0042"},
      {"%u", int32_t{-1}, "4294967295"},
      {"%04X", int32_t{0x927C}, "927C"},
      {"none", 1.5, "none"},
      {"%4.4f", 0.5L, "0.5000"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatText(c.templ, {c.arg}), c.expected) << c.templ;
  EXPECT_EQ(FormatText("%d/%d", {int32_t{-1}, int32_t{0}}), "-1/0");
}

TEST(FormatText, RaisesWhenTheTemplateDoesNotFitItsArgument) {
  const Case cases[] = {
      {"%d", 2.5, ""},
      {"%5.2f", int32_t{3}, ""},
      {"%s", 2.5, ""},
      {"%d %d", int32_t{1}, ""},  // more conversions than arguments
      {"50%", int32_t{1}, ""},
      {"%ld", int32_t{1}, ""},
      {"%*d", int32_t{1}, ""},
      {"%n", int32_t{1}, ""},
      {"%c", int32_t{65}, ""},
      {"%#d", int32_t{1}, ""},
      {"%05s", std::string_view("a"), ""},  // undefined behaviour in C
      {"%2000d", int32_t{1}, ""},
      {"%.99999999999f", 1.0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_THROW(FormatText(c.templ, {c.arg}), exif::detail::FormatError) << c.templ;
  }
}

}  // namespace
