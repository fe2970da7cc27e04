#pragma once
// Filters that make value texts fit for display.

#include <string>
#include <string_view>

namespace exif {

inline constexpr size_t kPrintableLength = 50;

// At most the first 50 bytes, each control character (code below 32) shown as ".".
std::string MakePrintable(std::string_view text);

// The first 16 bytes (at most) as upper-case hexadecimal pairs each followed by a blank,
// then "..." when there were more.
std::string HexDump(std::string_view bytes);

}  // namespace exif
