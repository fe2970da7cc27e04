#include "exif/value_map.h"

#include "exif/ascii.h"

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

}  // namespace exif::detail
