#include "terminal_text.h"

#include "prosvitek/text/display_text.h"

namespace cli {

std::string TerminalText(std::string_view bytes) {
  const std::string display = text::ToDisplayUtf8(bytes);
  std::string shown;
  shown.reserve(display.size());
  for (std::size_t i = 0; i < display.size(); ++i) {
    const auto c = static_cast<unsigned char>(display[i]);
    unsigned code = c;
    if (c == 0xC2 && i + 1 < display.size() && static_cast<unsigned char>(display[i + 1]) < 0xA0) {
      code = static_cast<unsigned char>(display[++i]);  // U+0080..U+009F
    } else if (c >= 0x20 && c != 0x7F) {
      shown += display[i];
      continue;
    }
    text::AppendEscape(shown, code);
  }
  return shown;
}

std::string TerminalLines(std::string_view text) {
  std::string shown;
  for (std::size_t from = 0;;) {
    const std::size_t end = text.find('\n', from);
    shown += TerminalText(text.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
    if (end == std::string_view::npos) return shown;
    shown += "\n  ";
    from = end + 1;
  }
}

}  // namespace cli
