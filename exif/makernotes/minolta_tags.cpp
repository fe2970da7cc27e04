// The Minolta maker note: the directory at its first byte, and the camera settings array
// that the older DiMAGE cameras write into it.

#include <cmath>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "ascii.h"
#include "field_types.h"
#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"
#include "number_text.h"
#include "printf_format.h"
#include "text_filters.h"
#include "value_map.h"

namespace exif::detail {
namespace {

using makernote_rows::NoteRow;
using makernote_rows::Row;

// clang-format off
constexpr TagDef kMinoltaDefs[] = {
    Row(0x0000, "ModelID"),
    NoteRow(0x0001, "MinoltaCameraSettingsOld", DecodeMinoltaCameraSettings),
    NoteRow(0x0003, "MinoltaCameraSettings", DecodeMinoltaCameraSettings),
    Row(0x0004, "MinoltaCameraSettings7D"),
    Row(0x0010, "CameraInfoA100"),
    Row(0x0018, "ImageStabilization"),
    Row(0x0020, "WBInfoA100"),
    Row(0x0040, "CompressedImageSize"),
    Row(0x0081, "PreviewImage"),
    Row(0x0088, "PreviewImageStart"),
    Row(0x0089, "PreviewImageLength"),
    Row(0x0100, "SceneMode", "0:Standard,1:Portrait,2:Text,3:Night Scene,4:Sunset,5:Sports,6:Landscape,7:Night Portrait,8:Macro,9:Super Macro,16:Auto,17:Night View/Portrait,18:Sweep Panorama,19:Handheld Night Shot,20:Anti Motion Blur,21:Cont. Priority AE,22:Auto+,23:3D Sweep Panorama,24:Superior Auto,25:High Sensitivity,26:Fireworks,27:Food,28:Pet,33:HDR,65535:n/a"),
    Row(0x0101, "ColorMode", "0:Natural color,1:Black & White,2:Vivid color,3:Solarization,4:Adobe RGB,5:Sepia,9:Natural,12:Portrait,13:Natural sRGB,14:Natural+ sRGB,15:Landscape,16:Evening,17:Night Scene,18:Night Portrait,132:Embed Adobe RGB"),
    Row(0x0102, "MinoltaQuality", "0:Raw,1:Super Fine,2:Fine,3:Standard,4:Economy,5:Extra fine"),
    Row(0x0103, "MinoltaImageSize", "1:1600x1200,2:1280x960,3:640x480,5:2560x1920,6:2272x1704,7:2048x1536"),
    Row(0x0104, "FlashExposureComp"),
    Row(0x0105, "Teleconverter", "0:None,4:Minolta/Sony AF 1.4x APO (D) (0x04),5:Minolta/Sony AF 2x APO (D) (0x05),72:Minolta/Sony AF 2x APO (D),80:Minolta AF 2x APO II,96:Minolta AF 2x APO,136:Minolta/Sony AF 1.4x APO (D),144:Minolta AF 1.4x APO II,160:Minolta AF 1.4x APO"),
    Row(0x0107, "ImageStabilization", "1:Off,5:On"),
    Row(0x0109, "RawAndJpgRecording", "0:Off,1:On"),
    Row(0x010A, "ZoneMatching", "0:ISO Setting Used,1:High Key,2:Low Key"),
    Row(0x010B, "ColorTemperature"),
    Row(0x010C, "LensType"),
    Row(0x0111, "ColorCompensationFilter"),
    Row(0x0112, "WhiteBalanceFineTune"),
    Row(0x0113, "ImageStabilization", "0:Off,1:On"),
    Row(0x0114, "MinoltaCameraSettings5D"),
    Row(0x0115, "WhiteBalance", "0:Auto,1:Color Temperature/Color Filter,16:Daylight,32:Cloudy,48:Shade,64:Tungsten,80:Flash,96:Fluorescent,112:Custom"),
    Row(0x0E00, "PIMdata"),
    Row(0x0F00, "MinoltaCameraSettings2"),
};
// clang-format on

static_assert(std::size(kMinoltaDefs) == kMinoltaTagCount);
static_assert(TagsAscending(kMinoltaDefs));

// How a camera setting shows its number.
enum class Setting {
  Words,
  Number,
  Iso,
  Seconds,
  Aperture,
  ThirdsMinusTwo,
  Millimetres,
  Metres,
  MinusThree,
  Date,
  Time
};

struct SettingField {
  size_t Index;
  std::string_view Name;
  Setting How;
  std::string_view Words = {};
};

// The settings as the DiMAGE cameras number them; the array's numbers are big-endian.
constexpr SettingField kSettings[] = {
    {1, "Exposure Mode", Setting::Words,
     "0:Program,1:Aperture Priority,2:Shutter Priority,3:Manual"},
    {2, "Flash Mode", Setting::Words,
     "0:Fill flash,1:Red-eye reduction,2:Rear flash sync,3:Wireless,4:Off"},
    {4, "Image Size", Setting::Words,
     "0:Full,1:1600x1200,2:1280x960,3:640x480,6:2080x1560,7:2560x1920,8:3264x2176"},
    {5, "Quality", Setting::Words, "0:Raw,1:Super Fine,2:Fine,3:Standard,4:Economy,5:Extra Fine"},
    {6, "Drive Mode", Setting::Words,
     "0:Single,1:Continuous,2:Self-timer,4:Bracketing,5:Interval,6:UHS continuous,7:HS continuous"},
    {7, "Metering Mode", Setting::Words, "0:Multi-segment,1:Center-weighted average,2:Spot"},
    {8, "ISO", Setting::Iso},
    {9, "Exposure Time", Setting::Seconds},
    {10, "FNumber", Setting::Aperture},
    {11, "Macro Mode", Setting::Words, "0:Off,1:On"},
    {12, "Digital Zoom", Setting::Words, "0:Off,1:Electronic magnification,2:2x"},
    {13, "Exposure Compensation", Setting::ThirdsMinusTwo},
    {14, "Bracket Step", Setting::Words, "0:1/3 EV,1:2/3 EV,2:1 EV"},
    {18, "Focal Length", Setting::Millimetres},
    {19, "Focus Distance", Setting::Metres},
    {20, "Flash Fired", Setting::Words, "0:No,1:Yes"},
    {21, "Date", Setting::Date},
    {22, "Time", Setting::Time},
    {23, "Max Aperture", Setting::Aperture},
    {27, "Last File Number", Setting::Number},
    {31, "Saturation", Setting::MinusThree},
    {32, "Contrast", Setting::MinusThree},
    {33, "Sharpness", Setting::Words, "0:Hard,1:Normal,2:Soft"},
    {34, "Subject Program", Setting::Words,
     "0:None,1:Portrait,2:Text,3:Night portrait,4:Sunset,5:Sports action"},
    {36, "ISO Setting", Setting::Words, "0:100,1:200,2:400,3:800,4:Auto,5:64"},
    {40, "Color Mode", Setting::Words,
     "0:Natural color,1:Black & White,2:Vivid color,3:Solarization,4:Adobe RGB"},
    {48, "Focus Mode", Setting::Words, "0:AF,1:MF"},
    {49, "Focus Area", Setting::Words, "0:Wide Focus (normal),1:Spot Focus"},
};

std::string SettingText(const SettingField& field, uint32_t number) {
  const auto value = static_cast<long double>(number);
  switch (field.How) {
    case Setting::Words:
      return MappedText(field.Words, std::to_string(number));
    case Setting::Number:
      return std::to_string(number);
    case Setting::Iso:  // 48 is ISO 100, eight steps to the stop
      return DecimalText(std::exp2(value / 8 - 1) * 3.125L, 0);
    case Setting::Seconds: {
      const long double seconds = std::exp2((48 - value) / 8);
      return seconds < 0.25L ? "1/" + DecimalText(1 / seconds, 0) : DecimalText(seconds, 1);
    }
    case Setting::Aperture:
      return DecimalText(std::exp2(value / 16 - 0.5L), 1);
    case Setting::ThirdsMinusTwo:
      return DecimalText(value / 3 - 2, 2);
    case Setting::Millimetres:  // 256ths of a millimetre
      return DecimalText(value / 256, 1) + " mm";
    case Setting::Metres:  // millimetres
      return DecimalText(value / 1000, 3) + " m";
    case Setting::MinusThree:
      return std::to_string(static_cast<int64_t>(number) - 3);
    case Setting::Date:
      return FormatText("%04d:%02d:%02d", {static_cast<int32_t>(number >> 16),
                                           static_cast<int32_t>((number >> 8) & 0xFF),
                                           static_cast<int32_t>(number & 0xFF)});
    case Setting::Time:
      return FormatText("%02d:%02d:%02d", {static_cast<int32_t>((number >> 16) & 0xFF),
                                           static_cast<int32_t>((number >> 8) & 0xFF),
                                           static_cast<int32_t>(number & 0xFF)});
  }
  return std::to_string(number);
}

}  // namespace

std::span<const TTagEntry> MinoltaTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kMinoltaDefs);
  return table;
}

std::string DecodeMinoltaCameraSettings(const std::string&, DecodeContext& context) {
  context.MultiLine = true;
  std::string lines;
  // An array of 32-bit numbers, big-endian whatever the note's order.
  if (context.Type != kUndefined && context.Type != kLong) return lines;
  const size_t count = context.Raw.size() / 4;
  for (const SettingField& field : kSettings) {
    if (field.Index >= count) continue;
    const auto number =
        static_cast<uint32_t>(RawToInteger(context.Raw.substr(4 * field.Index, 4), true));
    const std::string text = SettingText(field, number);
    lines.append("\r\n").append(field.Name).append(" = ").append(text);
    if (!context.AddField(field.Name, text)) break;
  }
  return lines;
}

}  // namespace exif::detail
