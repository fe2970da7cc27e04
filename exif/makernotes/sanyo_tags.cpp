// The Sanyo maker note: an 8-byte identifier, then the directory.

#include <iterator>
#include <vector>

#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"

namespace exif::detail {
namespace {

using makernote_rows::Row;

// clang-format off
constexpr TagDef kSanyoDefs[] = {
    Row(0x0200, "Special Mode"),
    Row(0x0201, "JpegQuality"),
    Row(0x0202, "Macro"),
    Row(0x0203, "Skip"),
    Row(0x0204, "DigiZoom"),
    Row(0x0F00, "DataDump"),
};
// clang-format on

static_assert(std::size(kSanyoDefs) == kSanyoTagCount);
static_assert(TagsUnique(kSanyoDefs));

}  // namespace

std::span<const TTagEntry> SanyoTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kSanyoDefs);
  return table;
}

}  // namespace exif::detail
