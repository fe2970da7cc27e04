#include "tag_entry.h"

namespace exif::detail {

TTagEntry MakeTagEntry(const TagDef& def) {
  TTagEntry entry;
  entry.Tag = def.Tag;
  entry.Name = def.Name;
  entry.Description = def.Description;
  entry.ValueMap = def.ValueMap;
  entry.FormatString = def.FormatString;
  entry.Decoder = def.Decoder;
  entry.ContextDecoder = def.ContextDecoder;
  entry.RawDecoder = def.RawDecoder;
  entry.SubDirectory = def.SubDirectory;
  return entry;
}

std::vector<TTagEntry> BuildTagTable(std::span<const TagDef> defs) {
  std::vector<TTagEntry> table;
  table.reserve(defs.size());
  for (const TagDef& def : defs) table.push_back(MakeTagEntry(def));
  return table;
}

}  // namespace exif::detail
