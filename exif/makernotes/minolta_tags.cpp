// The Minolta maker note: the directory at its first byte.

#include <iterator>
#include <vector>

#include "exif/makernotes/maker_rows.h"
#include "exif/makernotes/maker_tables.h"

namespace exif::detail {
namespace {

using makernote_rows::Row;

// clang-format off
constexpr TagDef kMinoltaDefs[] = {
    Row(0x0000, "ModelID"),
    Row(0x0E00, "PIMdata"),
};
// clang-format on

static_assert(std::size(kMinoltaDefs) == kMinoltaTagCount);
static_assert(TagsUnique(kMinoltaDefs));

}  // namespace

std::span<const TTagEntry> MinoltaTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kMinoltaDefs);
  return table;
}

}  // namespace exif::detail
