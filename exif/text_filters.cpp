#include "exif/text_filters.h"

#include "exif/bytes.h"
#include "text/display_text.h"

namespace exif::detail {

std::string MakePrintable(std::string_view text) {
  std::string printable = CopyBytes(text, 1, kPrintableLength);
  for (char& c : printable) {
    if (static_cast<unsigned char>(c) < 32) c = '.';
  }
  return printable;
}

std::string_view AsciiText(std::string_view raw) { return raw.substr(0, raw.find('\0')); }

std::string EscapeControls(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (code >= 32 && code != 127) {
      escaped += c;
    } else {
      text::AppendEscape(escaped, code);
    }
  }
  return escaped;
}

std::string HexDump(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  constexpr size_t kShown = 16;
  std::string dump;
  for (size_t i = 0; i < bytes.size() && i < kShown; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    dump += kDigits[byte >> 4];
    dump += kDigits[byte & 0x0F];
    dump += ' ';
  }
  if (bytes.size() > kShown) dump += "...";
  return dump;
}

}  // namespace exif::detail
