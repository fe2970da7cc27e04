#pragma once
// ASCII-only text helpers: file texts are bytes, so case folding and trimming never look
// beyond the 7-bit range.

#include <cstdint>
#include <string>
#include <string_view>

namespace exif::detail {

// Upper-cases the letters a..z; every other byte stays.
std::string UpperAscii(std::string_view text);

// Lower-cases the letters A..Z; every other byte stays.
std::string LowerAscii(std::string_view text);

// Equal when both are upper-cased with UpperAscii.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Drops blanks (space) at both ends.
std::string_view TrimBlanks(std::string_view text);

// Drops blanks at the end only.
std::string_view TrimTrailingBlanks(std::string_view text);

// Drops blanks and control characters (codes 0..32) at both ends.
std::string_view TrimControls(std::string_view text);

// The platform's text-to-integer conversion: optional leading blanks, an optional sign and
// decimal digits, nothing after them, and a value that fits 32 bits. False otherwise.
bool ParseInt32(std::string_view text, int32_t& value);

}  // namespace exif::detail
