#include "value_map.h"

#include "ascii.h"

namespace exif::detail {

std::string DecodeValueMap(std::string_view valueMap, std::string_view value) {
  std::string key(1, ',');
  key.append(TrimBlanks(value)).append(1, ':');
  std::string search(1, ',');
  search.append(valueMap).append(1, ',');
  const size_t found = search.find(key);
  if (found == std::string::npos) return {};
  const size_t start = found + key.size();
  const size_t end = search.find(',', start);  // always found: the search text ends with ','
  return search.substr(start, end - start);
}

std::string MappedText(std::string_view valueMap, std::string_view value) {
  std::string words = DecodeValueMap(valueMap, value);
  // An entry with no words is as good as a missing one.
  return words.empty() ? UnknownValueText(TrimBlanks(value)) : words;
}

std::string UnknownValueText(std::string_view value) {
  std::string text = "Unknown (";
  return text.append(value).append(1, ')');
}

}  // namespace exif::detail
