#pragma once
// Value maps: "number:words" entries separated by commas, e.g. "1:None Specified,2:Inch",
// that turn a numeric value into words.

#include <string>
#include <string_view>

namespace exif::detail {

// The words that `valueMap` gives for `value` (trimmed of blanks), or an empty text when the
// map has no such entry. Words run to the next comma and are not trimmed.
std::string DecodeValueMap(std::string_view valueMap, std::string_view value);

// The words for `value`, or "Unknown (value)" when the map lacks it, so that a number no
// table knows is still shown rather than left empty.
std::string MappedText(std::string_view valueMap, std::string_view value);

// "Unknown (value)": how a value a table lacks is shown.
std::string UnknownValueText(std::string_view value);

}  // namespace exif::detail
