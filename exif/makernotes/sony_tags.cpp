// The Sony maker note: "SONY DSC " or "SONY CAM " and three zero bytes before the directory,
// or the directory at the note's first byte; offsets from the EXIF data's TIFF header. Some of
// its blocks are enciphered by the camera; they are named, not deciphered.

#include <iterator>
#include <vector>

#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"

namespace exif::detail {
namespace {

using makernote_rows::Row;

std::string Enciphered(const std::string&) { return "(enciphered, not deciphered)"; }

// clang-format off
constexpr TagDef kSonyDefs[] = {
    Row(0x0102, "Quality", "0:RAW,1:Super Fine,2:Fine,3:Standard,4:Economy,5:Extra Fine,6:RAW + JPEG/HEIF,7:Compressed RAW,8:Compressed RAW + JPEG,9:Light"),
    Row(0x0104, "FlashExposureComp"),
    Row(0x0115, "WhiteBalance", "0:Auto,1:Color Temperature/Color Filter,16:Daylight,32:Cloudy,48:Shade,64:Tungsten,80:Flash,96:Fluorescent,112:Custom,128:Underwater"),
    Row(0x2010, "Tag2010", {}, Enciphered),
    Row(0x2031, "SerialNumber"),
    Row(0x9050, "Tag9050", {}, Enciphered),
    Row(0x9400, "Tag9400", {}, Enciphered),
    Row(0x9401, "Tag9401", {}, Enciphered),
    Row(0x9402, "Tag9402", {}, Enciphered),
    Row(0x9403, "Tag9403", {}, Enciphered),
    Row(0x9404, "Tag9404", {}, Enciphered),
    Row(0x9405, "Tag9405", {}, Enciphered),
    Row(0x9406, "Tag9406", {}, Enciphered),
    Row(0x940C, "Tag940c", {}, Enciphered),
    Row(0x940E, "Tag940e", {}, Enciphered),
    Row(0xB020, "CreativeStyle"),
    Row(0xB026, "ImageStabilization", "0:Off,1:On"),
    Row(0xB027, "LensType"),
    Row(0xB041, "ExposureMode", "0:Program AE,1:Portrait,2:Beach,3:Sports,4:Snow,5:Landscape,6:Auto,7:Aperture-priority AE,8:Shutter speed priority AE,9:Night Scene / Twilight,10:Hi-Speed Shutter,11:Twilight Portrait,12:Soft Snap/Portrait,13:Fireworks,14:Smile Shutter,15:Manual,18:High Sensitivity,19:Macro,20:Advanced Sports Shooting,29:Underwater,33:Food,34:Sweep Panorama,35:Handheld Night Shot,36:Anti Motion Blur,37:Pet,38:Backlight Correction HDR,39:Superior Auto,40:Background Defocus,41:Soft Skin,42:3D Image,65535:n/a"),
    Row(0xB042, "FocusMode", "1:AF-S,2:AF-C,4:Permanent-AF,65535:n/a"),
    Row(0xB047, "JPEGQuality", "0:Standard,1:Fine,2:Extra Fine,65535:n/a"),
    Row(0xB04B, "Anti-Blur", "0:Off,1:On (Continuous),2:On (Shooting),65535:n/a"),
    Row(0xB054, "WhiteBalance", "0:Auto,4:Custom,5:Daylight,6:Cloudy,7:Cool White Fluorescent,8:Day White Fluorescent,9:Daylight Fluorescent,10:Incandescent2,11:Warm White Fluorescent,14:Incandescent,15:Flash,17:Underwater 1 (Blue Water),18:Underwater 2 (Green Water),19:Underwater Auto"),
};
// clang-format on

static_assert(std::size(kSonyDefs) == kSonyTagCount);
static_assert(TagsUnique(kSonyDefs));

}  // namespace

std::span<const TTagEntry> SonyTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kSonyDefs);
  return table;
}

}  // namespace exif::detail
