// The Pentax maker note: "AOC", a zero and a byte-order mark before the directory, offsets
// from the EXIF data's TIFF header; or, in newer cameras, "PENTAX ", a zero and a byte-order
// mark, offsets from the note's first byte.

#include <iterator>
#include <vector>

#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"

namespace exif::detail {
namespace {

using makernote_rows::Row;

// clang-format off
constexpr TagDef kPentaxDefs[] = {
    Row(0x0000, "PentaxVersion"),
    Row(0x0005, "PentaxModelID"),
    Row(0x0008, "Quality", "0:Good,1:Better,2:Best,3:TIFF,4:RAW,5:Premium,7:RAW (pixel shift enabled),8:Dynamic Pixel Shift,65535:n/a"),
    Row(0x000B, "PictureMode", "0:Program,1:Shutter Speed Priority,2:Program AE,3:Manual,5:Portrait,6:Landscape,8:Sport,9:Night Scene,11:Soft,12:Surf & Snow,13:Candlelight,14:Autumn,15:Macro,17:Fireworks,18:Text,19:Panorama,30:Self Portrait,31:Illustrations,33:Digital Filter,35:Night Scene Portrait"),
    Row(0x000D, "FocusMode", "0:Normal,1:Macro,2:Infinity,3:Manual,4:Super Macro,5:Pan Focus,16:AF-S (Focus-priority),17:AF-C (Focus-priority),18:AF-A (Focus-priority),32:Contrast-detect (Focus-priority),33:Tracking Contrast-detect (Focus-priority),272:AF-S (Release-priority),273:AF-C (Release-priority),274:AF-A (Release-priority),288:Contrast-detect (Release-priority)"),
    Row(0x0019, "WhiteBalance", "0:Auto,1:Daylight,2:Shade,3:Fluorescent,4:Tungsten,5:Manual,6:Daylight Fluorescent,7:Day White Fluorescent,8:White Fluorescent,9:Flash,10:Cloudy,11:Warm White Fluorescent,14:Multi Auto,15:Color Temperature Enhancement,17:Kelvin,65534:Unknown,65535:User-Selected"),
    Row(0x003F, "LensRec"),
    Row(0x005C, "ShakeReductionInfo"),
    Row(0x0229, "SerialNumber"),
};
// clang-format on

static_assert(std::size(kPentaxDefs) == kPentaxTagCount);
static_assert(TagsUnique(kPentaxDefs));

}  // namespace

std::span<const TTagEntry> PentaxTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kPentaxDefs);
  return table;
}

}  // namespace exif::detail
