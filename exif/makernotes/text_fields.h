#pragma once
// Text operations on byte strings with which the maker-note decoders pick values out of a
// value text such as "16, 1, 0, 3".

#include <cstdint>
#include <string>
#include <string_view>

namespace exif::detail {

// The text before the first occurrence of `mark`, or the whole text when it does not occur
// (an empty mark never occurs).
std::string TextBefore(std::string_view text, std::string_view mark);

// The text after the first occurrence of `mark`, or an empty text when it does not occur;
// the whole text when the mark is empty.
std::string TextAfter(std::string_view text, std::string_view mark);

// Field `n` of the text split at `separator`, counted from 1: TextAfter applied n - 1 times,
// then TextBefore. Fields past the last give an empty text.
std::string NthField(std::string_view text, std::string_view separator, int64_t n);

// How many times the separator occurs, counted left to right without overlap; 0 when empty.
int64_t CountSeparators(std::string_view text, std::string_view separator);

}  // namespace exif::detail
