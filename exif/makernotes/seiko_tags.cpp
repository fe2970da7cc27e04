// The Seiko maker note: an 8-byte identifier, then the directory.

#include <iterator>
#include <vector>

#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"

namespace exif::detail {
namespace {

using makernote_rows::Row;

// clang-format off
constexpr TagDef kSeikoDefs[] = {
    Row(0x0200, "Special Mode"),
    Row(0x0201, "JpegQuality"),
    Row(0x0202, "Macro"),
    Row(0x0203, "Skip"),
    Row(0x0204, "DigiZoom"),
    Row(0x0209, "CameraID"),
    Row(0x020A, "Comments"),
    Row(0x020B, "Width"),
    Row(0x020C, "Height"),
    Row(0x020D, "SoftRelease"),
    Row(0x0300, "??"),
    Row(0x0F00, "skip"),  // lower case, passed over like "Skip"
};
// clang-format on

static_assert(std::size(kSeikoDefs) == kSeikoTagCount);
static_assert(TagsUnique(kSeikoDefs));

}  // namespace

std::span<const TTagEntry> SeikoTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kSeikoDefs);
  return table;
}

}  // namespace exif::detail
