// The older Nikon maker note: "Nikon", a version, then the directory at byte 8.

#include <iterator>
#include <vector>

#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"

namespace exif::detail {
namespace {

using makernote_rows::Row;

// clang-format off
constexpr TagDef kNikonType1Defs[] = {
    Row(0x0002, "FamilyID"),
    Row(0x0003, "Quality", "1:Vga Basic,2:Vga Normal,3:Vga Fine,4:SXGA Basic,5:SXGA Normal,6:SXGA Fine,10:2 Mpixel Basic,11:2 Mpixel Normal,12:2 Mpixel Fine"),
    Row(0x0004, "ColorMode", "1:Color,2:Monochrome"),
    Row(0x0005, "ImageAdjustment", "0:Normal,1:Bright+,2:Bright-,3:Contrast+,4:Contrast-"),
    Row(0x0006, "ISOSpeed", "0:ISO80,2:ISO160,4:ISO320,5:ISO100"),
    Row(0x0007, "WhiteBalance", "0:Auto,1:Preset,2:Daylight,3:Incandescense,4:Fluorescence,5:Cloudy,6:SpeedLight"),
    Row(0x0008, "Focus"),
    Row(0x0009, "Skip"),
    Row(0x000A, "DigitalZoom"),
    Row(0x000B, "Converter", "0:Not used,1:Used"),
    Row(0x0F00, "Skip"),
};
// clang-format on

static_assert(std::size(kNikonType1Defs) == kNikonType1TagCount);
static_assert(TagsUnique(kNikonType1Defs));

}  // namespace

std::span<const TTagEntry> NikonType1Tags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kNikonType1Defs);
  return table;
}

}  // namespace exif::detail
