#include "makernotes/text_fields.h"

namespace exif::detail {
namespace {

// The rest of the text after the first mark, or nothing; the mark is not empty.
std::string_view After(std::string_view text, std::string_view mark) {
  const size_t found = text.find(mark);
  return found == std::string_view::npos ? std::string_view() : text.substr(found + mark.size());
}

}  // namespace

std::string TextBefore(std::string_view text, std::string_view mark) {
  if (mark.empty()) return std::string(text);
  return std::string(text.substr(0, text.find(mark)));
}

std::string TextAfter(std::string_view text, std::string_view mark) {
  if (mark.empty()) return std::string(text);
  return std::string(After(text, mark));
}

std::string NthField(std::string_view text, std::string_view separator, int64_t n) {
  if (separator.empty()) return std::string(text);
  // Views instead of n - 1 copies: the decoders walk values of any length.
  for (int64_t i = 1; i < n && !text.empty(); ++i) text = After(text, separator);
  return TextBefore(text, separator);
}

int64_t CountSeparators(std::string_view text, std::string_view separator) {
  if (separator.empty()) return 0;
  int64_t count = 0;
  for (size_t at = text.find(separator); at != std::string_view::npos;
       at = text.find(separator, at + separator.size())) {
    ++count;
  }
  return count;
}

}  // namespace exif::detail
