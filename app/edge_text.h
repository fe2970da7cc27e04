#pragma once
// What the windows show of the EXIF reader.

#include <string>

// "Čtení exif pomocí knihovny " and the reader's name and version.
std::string ReaderCredit();

// The reader's trace of the file, trimmed, as UTF-8; empty when the file has
// no EXIF data or the reader refuses it.
std::string DetailsTraceText(const std::string& path);
