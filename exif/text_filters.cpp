#include "text_filters.h"

#include <algorithm>
#include <cstdint>

#include "bytes.h"
#include "prosvitek/text/display_text.h"

namespace exif::detail {

namespace {

bool IsControl(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code < 32 || code == 127;
}

constexpr uint32_t kReplacement = 0xFFFD;

}  // namespace

std::string MakePrintable(std::string_view text) {
  std::string printable(text);
  for (char& c : printable) {
    if (static_cast<unsigned char>(c) < 32) c = '.';
  }
  return printable;
}

std::string UndefinedText(std::string_view raw) {
  const std::string_view text = raw.substr(0, raw.find('\0'));
  if (!text.empty() && std::none_of(text.begin(), text.end(), IsControl)) {
    std::string quoted(1, '"');
    return quoted.append(text).append(1, '"');
  }
  return "(binary data, " + std::to_string(raw.size()) + " bytes)";
}

std::string Utf16Text(std::string_view bytes, bool bigEndian) {
  std::string out;
  const auto unit = [&](size_t at) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<uint32_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  };
  for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
    const uint32_t code = unit(at);
    if (code == 0) break;
    if (code >= 0xD800 && code <= 0xDBFF && at + 3 < bytes.size()) {
      const uint32_t low = unit(at + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        text::AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
        at += 2;
        continue;
      }
    }
    text::AppendUtf8(out, code >= 0xD800 && code <= 0xDFFF ? kReplacement : code);
  }
  return out;
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
