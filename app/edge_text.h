#pragma once
// What the windows show of the EXIF reader.

#include <string>

// "Čtení exif pomocí knihovny " and the reader's name and version.
std::string ReaderCredit();

// The reader's trace, one line per entry, as UTF-8 without blank ends.
std::string TrimmedTraceText(const std::string& trace);
