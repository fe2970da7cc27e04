// The Apple maker note: "Apple iOS", a zero, a version and a TIFF byte-order mark of its own
// before the directory; offsets from the note's first byte.

#include <iterator>
#include <vector>

#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"

namespace exif::detail {
namespace {

using makernote_rows::Row;

// clang-format off
constexpr TagDef kAppleDefs[] = {
    Row(0x0001, "MakerNoteVersion"),
    Row(0x0004, "AEStable", "0:No,1:Yes"),
    Row(0x0007, "AFStable", "0:No,1:Yes"),
    Row(0x0008, "AccelerationVector"),
    Row(0x000A, "HDRImageType", "3:HDR Image,4:Original Image"),
    Row(0x000B, "BurstUUID"),
    Row(0x000C, "FocusDistanceRange"),
    Row(0x000F, "OISMode"),
    Row(0x0011, "MediaGroupUUID"),
    Row(0x0015, "ImageUniqueID"),
    Row(0x002F, "FocusPosition"),
};
// clang-format on

static_assert(std::size(kAppleDefs) == kAppleTagCount);
static_assert(TagsUnique(kAppleDefs));

}  // namespace

std::span<const TTagEntry> AppleTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kAppleDefs);
  return table;
}

}  // namespace exif::detail
