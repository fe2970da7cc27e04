#pragma once
// Row makers for the maker tables, which carry no format strings.

#include <cstdint>
#include <string_view>

#include "tag_entry.h"

namespace exif::detail::makernote_rows {

// A row whose Description is its Name.
constexpr TagDef Row(uint16_t tag, std::string_view name, std::string_view valueMap = {},
                     TagDecoder decoder = nullptr) {
  return TagDef(tag, name, name, valueMap, {}, decoder);
}

// A row whose decoder reads the value's own bytes (DecodeContext); Description is its Name.
constexpr TagDef NoteRow(uint16_t tag, std::string_view name, NoteDecoder decoder) {
  return TagDef(tag, name, name, {}, {}, nullptr, decoder);
}

// A row with a Description of its own.
constexpr TagDef Described(uint16_t tag, std::string_view name, std::string_view description,
                           std::string_view valueMap = {}, TagDecoder decoder = nullptr,
                           NoteDecoder contextDecoder = nullptr) {
  return TagDef(tag, name, description, valueMap, {}, decoder, contextDecoder);
}

// A row whose value points at a directory of its own, read with `table`.
constexpr TagDef SubDirectoryRow(uint16_t tag, std::string_view name, SubTable table) {
  TagDef def(tag, name, name);
  def.SubDirectory = table;
  return def;
}

}  // namespace exif::detail::makernote_rows
