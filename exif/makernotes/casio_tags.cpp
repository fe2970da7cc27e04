// The Casio maker note: the directory at its first byte.

#include <iterator>
#include <vector>

#include "exif/makernotes/maker_rows.h"
#include "exif/makernotes/maker_tables.h"

namespace exif {
namespace {

using makernote_rows::Row;

// clang-format off
constexpr TagDef kCasioDefs[] = {
    Row(0x0001, "RecordingMode", "1:Single Shutter,2:Panorama,3:Night Scene,4:Portrait,5:Landscape"),
    Row(0x0002, "Quality", "1:Economy,2:Normal,3:Fine"),
    Row(0x0003, "FocusingMode", "2:Macro,3:Auto Focus,4:Manual Focus,5:Infinity"),
    Row(0x0004, "FlashMode", "1:Auto,2:On,3:Off,4:Red Eye Reduction"),
    Row(0x0005, "FlashIntensity", "11:Weak,13:Normal,15:Strong"),
    Row(0x0006, "ObjectDistance"),
    Row(0x0007, "WhiteBalance", "1:Auto,2:Tungsten,3:Daylight,4:Fluorescent,5:Shade,129:Manual"),
    Row(0x0008, "Skip"),
    Row(0x0009, "Skip"),
    Row(0x000A, "DigitalZoom", "65536:Off,65537:2X Digital Zoom"),
    Row(0x000B, "Sharpness", "0:Normal,1:Soft,2:Hard"),
    Row(0x000C, "Contrast", "0:Normal,1:Low,2:High"),
    Row(0x000D, "Saturation", "0:Normal,1:Low,2:High"),
    Row(0x000E, "Skip"),
    Row(0x000F, "Skip"),
    Row(0x0010, "Skip"),
    Row(0x0011, "Skip"),
    Row(0x0012, "Skip"),
    Row(0x0013, "Skip"),
    Row(0x0014, "CCDSensitivity", "64:Normal,125:+1.0,250:+2.0,244:+3.0,80:Normal,100:High"),
    Row(0x0015, "Skip"),
    Row(0x0016, "Skip"),
    Row(0x0017, "Skip"),
    Row(0x0018, "Skip"),
    Row(0x0019, "Skip"),
    Row(0x001A, "Skip"),
};
// clang-format on

static_assert(std::size(kCasioDefs) == kCasioTagCount);
static_assert(TagsUnique(kCasioDefs));

}  // namespace

std::span<const TTagEntry> CasioTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kCasioDefs);
  return table;
}

}  // namespace exif
