#pragma once
// The record of one tag: a dictionary entry and, filled with a value, an entry of the tag store.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace exif::detail {

// Rewrites a value's display text for the tags that need more than the generic conversion.
using TagDecoder = std::string (*)(const std::string& text);

// A maker-note decoder also sees the value's bytes and the pass it runs in (maker_directory.h).
struct DecodeContext;
using NoteDecoder = std::string (*)(const std::string& text, DecodeContext& context);

// Another entry of the directory a value came from: its bytes and field type.
struct SiblingValue {
  std::string Raw;
  uint16_t Type = 0;
};

// The entries of one directory, looked up by tag number (GPS coordinates need their
// references, which are entries of their own).
class DirectoryValues {
 public:
  virtual ~DirectoryValues() = default;
  virtual std::optional<SiblingValue> Find(uint16_t tag) const = 0;
};

// What a value decoder of the directory walk sees beyond the text: the value's bytes in the
// block's byte order and the rest of its directory.
struct ValueContext {
  uint16_t Tag = 0;
  std::string_view Text;  // the generic value text
  std::string_view Raw;
  uint16_t Type = 0;
  bool BigEndian = false;
  const DirectoryValues* Directory = nullptr;  // may be null: no other entries to consult
};
using ValueDecoder = std::string (*)(const ValueContext& value);

struct TTagEntry;
// A maker table whose directory a record's value points at (Olympus' equipment, camera
// settings, ...).
using SubTable = std::span<const TTagEntry> (*)();

struct TTagEntry {
  int32_t Id = 0;            // 1 for entries added by name and text (AddComputedTag)
  uint16_t DataType = 0;     // TIFF field type of the stored value; 0 in dictionaries
  uint16_t RecordNo = 0;     // IPTC record number; 0 for EXIF, GPS and maker tags
  uint16_t Tag = 0;          // 0 means no tag (the sentinel)
  std::string Name;          // key of every lookup by name
  std::string Description;   // display name in the trace
  std::string ValueMap;      // "number:words,..." or empty
  std::string Text;          // decoded text of the value
  std::string Raw;           // the value's bytes as they stand in the file
  int64_t RawPos = 0;        // 1-based position of Raw in the EXIF block; 0 for computed entries
  std::string FormatString;  // "%s" template for the text or a floating template for the number
  int32_t RawSize = 0;       // length of Raw
  TagDecoder Decoder = nullptr;
  NoteDecoder ContextDecoder = nullptr;  // maker tables only; used instead of Decoder
  ValueDecoder RawDecoder = nullptr;     // the walk's dictionaries; used instead of Decoder
  SubTable SubDirectory = nullptr;       // maker tables only: the value points at a directory
};

// A dictionary row as constant data, so that tables can be checked at compile time.
struct TagDef {
  constexpr TagDef(uint16_t tag, std::string_view name, std::string_view description = {},
                   std::string_view valueMap = {}, std::string_view formatString = {},
                   TagDecoder decoder = nullptr, NoteDecoder contextDecoder = nullptr)
      : Tag(tag),
        Name(name),
        Description(description),
        ValueMap(valueMap),
        FormatString(formatString),
        Decoder(decoder),
        ContextDecoder(contextDecoder) {}
  // A row whose decoder reads the value's bytes.
  constexpr TagDef(uint16_t tag, std::string_view name, std::string_view description,
                   std::string_view valueMap, std::string_view formatString,
                   ValueDecoder rawDecoder)
      : Tag(tag),
        Name(name),
        Description(description),
        ValueMap(valueMap),
        FormatString(formatString),
        Decoder(nullptr),
        ContextDecoder(nullptr),
        RawDecoder(rawDecoder) {}

  uint16_t Tag;
  std::string_view Name;
  std::string_view Description;
  std::string_view ValueMap;
  std::string_view FormatString;
  TagDecoder Decoder;
  NoteDecoder ContextDecoder;
  ValueDecoder RawDecoder = nullptr;
  SubTable SubDirectory = nullptr;
};

// The dictionary entry for one row.
TTagEntry MakeTagEntry(const TagDef& def);

// A table of entries, one per row, in row order.
std::vector<TTagEntry> BuildTagTable(std::span<const TagDef> defs);

// For static_assert: no tag number occurs twice in the rows.
constexpr bool TagsUnique(std::span<const TagDef> defs) {
  for (size_t i = 0; i < defs.size(); ++i) {
    for (size_t j = i + 1; j < defs.size(); ++j) {
      if (defs[i].Tag == defs[j].Tag) return false;
    }
  }
  return true;
}

// For static_assert: tag numbers strictly ascend over the rows.
constexpr bool TagsAscending(std::span<const TagDef> defs) {
  for (size_t i = 1; i < defs.size(); ++i) {
    if (defs[i - 1].Tag >= defs[i].Tag) return false;
  }
  return true;
}

}  // namespace exif::detail
