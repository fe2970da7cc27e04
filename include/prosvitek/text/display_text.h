#pragma once
// Bytes from files shown to people: kept when they are valid UTF-8,
// otherwise read as Latin-1.

#include <string>
#include <string_view>
#include <vector>

namespace text {

bool IsValidUtf8(std::string_view bytes);

// Appends a Unicode code point (at most 0x10FFFF) as UTF-8.
void AppendUtf8(std::string& out, char32_t code);

// UTF-8 for display: the bytes themselves when valid UTF-8, else each byte
// taken as a Latin-1 character.
std::string ToDisplayUtf8(std::string_view bytes);

// The non-empty lines of a text whose lines are separated by CR LF (the EXIF
// reader's trace and summary), each made displayable.
std::vector<std::string> DisplayLines(std::string_view crlfText);

// Appends a control character's code as a C escape ("\r", "\n", "\t", "\x1B"),
// so that a value from a file can neither send terminal commands nor start a
// line of its own.
void AppendEscape(std::string& out, unsigned code);

}  // namespace text
