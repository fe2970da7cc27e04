// The Panasonic maker note: "Panasonic" and three zero bytes before the directory; offsets
// from the EXIF data's TIFF header, in its byte order.

#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"
#include "text_filters.h"
#include "value_map.h"

namespace exif::detail {
namespace {

using makernote_rows::Row;

// Words with commas, which a value map cannot hold.
std::string FocusModeWords(const std::string& text) {
  if (text == "4") return "Auto, Focus button";
  if (text == "5") return "Auto, Continuous";
  static constexpr std::string_view kMap = "1:Auto,2:Manual,6:AF-S,7:AF-C,8:AF-F";
  const std::string words = DecodeValueMap(kMap, text);
  return words.empty() ? MakePrintable(text) : words;
}

std::string StabilizationWords(const std::string& text) {
  static constexpr std::pair<std::string_view, std::string_view> kWords[] = {
      {"2", "On, Optical"},         {"3", "Off"},
      {"4", "On, Mode 2"},          {"5", "On, Optical Panning"},
      {"6", "On, Body-only"},       {"7", "On, Body-only Panning"},
      {"9", "Dual IS"},             {"10", "Dual IS Panning"},
      {"11", "Dual2 IS"},           {"12", "Dual2 IS Panning"},
  };
  for (const auto& [number, words] : kWords)
    if (text == number) return std::string(words);
  return MakePrintable(text);
}

// clang-format off
constexpr TagDef kPanasonicDefs[] = {
    Row(0x0001, "ImageQuality", "1:TIFF,2:High,3:Normal,6:Very High,7:RAW,9:Motion Picture,11:Full HD Movie,12:4k Movie"),
    Row(0x0002, "FirmwareVersion"),
    Row(0x0003, "WhiteBalance", "1:Auto,2:Daylight,3:Cloudy,4:Incandescent,5:Manual,8:Flash,10:Black & White,11:Manual 2,12:Shade,13:Kelvin,14:Manual 3,15:Manual 4,19:Auto (cool)"),
    Row(0x0007, "FocusMode", {}, FocusModeWords),
    Row(0x001A, "ImageStabilization", {}, StabilizationWords),
    Row(0x001C, "MacroMode", "1:On,2:Off,257:Tele-Macro,513:Macro Zoom"),
    Row(0x001F, "ShootingMode", "1:Normal,2:Portrait,3:Scenery,4:Sports,5:Night Portrait,6:Program,7:Aperture Priority,8:Shutter Priority,9:Macro,10:Spot,11:Manual,12:Movie Preview,13:Panning,14:Simple,15:Color Effects,16:Self Portrait,17:Economy,18:Fireworks,19:Party,20:Snow,21:Night Scenery,22:Food,23:Baby,24:Soft Skin,25:Candlelight,26:Starry Night,27:High Sensitivity,28:Panorama Assist,29:Underwater,30:Beach,31:Aerial Photo,32:Sunset,33:Pet,34:Intelligent ISO,35:Clipboard,36:High Speed Continuous Shooting,37:Intelligent Auto,39:Multi-aspect,41:Transform,42:Flash Burst,43:Pin Hole,44:Film Grain,45:My Color,46:Photo Frame,48:Movie,51:HDR,52:Peripheral Defocus,55:Handheld Night Shot,57:3D,59:Creative Control,60:Intelligent Auto Plus,62:Panorama,63:Glass Through,64:HDR,66:Digital Filter,67:Clear Portrait,68:Silky Skin,69:Backlit Softness,70:Clear in Backlight,71:Relaxing Tone,72:Sweet Child's Face,73:Distinct Scenery,74:Bright Blue Sky,75:Romantic Sunset Glow,76:Vivid Sunset Glow,77:Glistening Water,78:Clear Nightscape,79:Cool Night Sky,80:Warm Glowing Nightscape,81:Artistic Nightscape,82:Glittering Illuminations,83:Clear Night Portrait,84:Soft Image of a Flower,85:Appetizing Food,86:Cute Dessert,87:Freeze Animal Motion,88:Clear Sports Shot,89:Monochrome,90:Creative Control,92:Handheld Night Shot"),
    Row(0x0025, "InternalSerialNumber"),
    Row(0x003C, "ProgramISO"),
    Row(0x0051, "LensType"),
    Row(0x0052, "LensSerialNumber"),
};
// clang-format on

static_assert(std::size(kPanasonicDefs) == kPanasonicTagCount);
static_assert(TagsUnique(kPanasonicDefs));

}  // namespace

std::span<const TTagEntry> PanasonicTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kPanasonicDefs);
  return table;
}

}  // namespace exif::detail
