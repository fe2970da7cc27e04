#include "edge_text.h"

#include <algorithm>

#include "prosvitek/text/display_text.h"

std::string ReaderCredit() { return "Čtení exif pomocí knihovny pvexif 1.0"; }

std::string TrimmedTraceText(const std::string& trace) {
  // Line by line, so that one line of odd bytes does not change how the others read;
  // joining the non-empty lines also trims the text's ends.
  std::string text;
  for (const std::string& line : text::DisplayLines(trace)) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  const auto notBlank = [](char c) { return static_cast<unsigned char>(c) > 32; };
  const auto first = std::find_if(text.begin(), text.end(), notBlank);
  const auto last = std::find_if(text.rbegin(), text.rend(), notBlank).base();
  return first < last ? std::string(first, last) : std::string();
}
