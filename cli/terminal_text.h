#pragma once
// Text from outside the program (file names, values read from files) made
// safe to print on a terminal.

#include <string>
#include <string_view>

namespace cli {

// UTF-8 for a terminal: the bytes made displayable, and every control
// character, C1 controls included (they arrive as Latin-1 bytes 0x80..0x9F),
// shown as an escape, so that a name can neither send terminal commands
// (retitle it, ring it) nor start or overwrite a line of its own.
std::string TerminalText(std::string_view bytes);

// A message of several lines for a terminal: each line made safe as above,
// the lines after the first indented, so that they read as one message.
std::string TerminalLines(std::string_view text);

}  // namespace cli
