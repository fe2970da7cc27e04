#pragma once
// Row makers for the maker tables, which carry no format strings.

#include <cstdint>
#include <string_view>

#include "exif/tag_entry.h"

namespace exif::makernote_rows {

// A row whose Description is its Name.
constexpr TagDef Row(uint16_t tag, std::string_view name, std::string_view valueMap = {},
                     TagDecoder decoder = nullptr) {
  return TagDef(tag, name, name, valueMap, {}, decoder);
}

// A row with a Description of its own.
constexpr TagDef Described(uint16_t tag, std::string_view name, std::string_view description,
                           std::string_view valueMap = {}, TagDecoder decoder = nullptr) {
  return TagDef(tag, name, description, valueMap, {}, decoder);
}

}  // namespace exif::makernote_rows
