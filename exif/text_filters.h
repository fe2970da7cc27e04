#pragma once
// Filters that make value texts fit for display.

#include <string>
#include <string_view>

namespace exif::detail {

// The text with each control character (code below 32) shown as "."; nothing is cut.
std::string MakePrintable(std::string_view text);

// An UNDEFINED value as text: its bytes up to the first zero, in double quotes, when they
// read as text (no control characters); otherwise "(binary data, N bytes)".
std::string UndefinedText(std::string_view raw);

// Two-byte characters (UTF-16, surrogate pairs included) as UTF-8, up to the first zero
// character; a lone surrogate becomes U+FFFD.
std::string Utf16Text(std::string_view bytes, bool bigEndian);

// An ASCII value's text: its bytes up to the first zero byte, or all of them when the count
// left the terminator out. What follows the terminator is padding and not shown.
std::string_view AsciiText(std::string_view raw);

// Control characters (codes below 32, and 127) as C escapes ("\r", "\n", "\t", "\x1B"), so
// that a value can neither send terminal commands nor start a line of its own.
std::string EscapeControls(std::string_view text);

// The first 16 bytes (at most) as upper-case hexadecimal pairs each followed by a blank,
// then "..." when there were more.
std::string HexDump(std::string_view bytes);

}  // namespace exif::detail
