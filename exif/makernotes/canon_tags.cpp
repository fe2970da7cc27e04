// The Canon maker note: the directory at its first byte; with the decoders that split the
// camera-settings, shot-information and custom-function arrays into named fields.

#include <iterator>
#include <span>
#include <string_view>
#include <vector>

#include "exif/ascii.h"
#include "exif/makernotes/maker_directory.h"
#include "exif/makernotes/maker_rows.h"
#include "exif/makernotes/maker_tables.h"
#include "exif/makernotes/text_fields.h"
#include "exif/number_text.h"
#include "exif/value_map.h"

namespace exif {
namespace {

using makernote_rows::Row;

// clang-format off
constexpr TagDef kCanonDefs[] = {
    Row(0x0000, "Skip"),
    Row(0x0001, "ExposureInfo1", {}, DecodeCanonSettings),
    Row(0x0002, "Skip"),
    Row(0x0003, "Skip"),
    Row(0x0004, "ExposureInfo2", {}, DecodeCanonShotInfo),
    Row(0x0006, "ImageType"),
    Row(0x0007, "FirmwareVersion"),
    Row(0x0008, "ImageNumber"),
    Row(0x0009, "OwnerName"),
    Row(0x000A, "Skip"),
    Row(0x000B, "Skip"),
    Row(0x000C, "CameraSerialNumber"),
    Row(0x000D, "Skip"),
    Row(0x000E, "Skip"),
    Row(0x000F, "CustomFunctions", {}, DecodeCanonCustomFunctions),
    Row(0x0010, "Skip"),
};
// clang-format on

static_assert(std::size(kCanonDefs) == kCanonTagCount);
static_assert(TagsUnique(kCanonDefs));

// One field of an array value: a plain field shows number n of the value text as it stands,
// a mapped field the map's words for number n + 1.
struct CanonField {
  int Number;
  std::string_view Name;
  std::string_view ValueMap;  // empty for a plain field
};

constexpr CanonField Plain(int number, std::string_view name) { return {number, name, {}}; }
constexpr CanonField Mapped(int number, std::string_view name, std::string_view map) {
  return {number, name, map};
}

constexpr std::string_view kLowNormalHigh = "65535:Low,0:Normal,1:High";

// clang-format off
constexpr CanonField kSettingsFields[] = {
    Mapped(1, "Macro mode", "1:Macro,2:Normal"),
    Plain(2, "Self Timer"),
    Mapped(3, "Compression Rate", "0:SuperFine,1:Fine,2:Normal,3:Basic,5:SuperFine"),
    Mapped(4, "Flash Mode", "0:Not fired,1:Auto,2:On,3:Red-eye,4:Slow sync,5:Auto+red-eye,6:On+red eye,16:External flash"),
    Mapped(5, "Drive Mode", "0:Single,1:Continuous"),
    Mapped(7, "Focus Mode", "0:One-Shot,1:AI Servo,2:AI Focus,3:MF,4:Single,5:Continuous,6:MF"),
    Mapped(10, "Image Size", "0:Large,1:Medium,2:Small,4:5MPixel,5:2 MPixel,6:1.5 MPixel"),
    Mapped(11, "Easy Shoot", "0:Full Auto,1:Manual,2:Landscape,3:Fast Shutter,4:Slow Shutter,5:Night,6:B&W,7:Sepia,8:Portrait,9:Sports,10:Macro/Close-Up,11:Pan Focus"),
    Mapped(13, "Contrast", kLowNormalHigh),
    Mapped(14, "Saturation", kLowNormalHigh),
    Mapped(15, "Sharpness", kLowNormalHigh),
    Mapped(16, "CCD ISO", "0:Not used,15:auto,16:50,17:100,18:200,19:400"),
    Mapped(17, "Metering Mode", kLowNormalHigh),
    Mapped(19, "AF Point", kLowNormalHigh),
    Mapped(20, "Exposure Mode", kLowNormalHigh),
    Plain(24, "Long focal"),
    Plain(25, "Short focal"),
    Plain(26, "Focal Units"),
    Plain(29, "Flash Details"),
    Mapped(32, "Focus Mode", kLowNormalHigh),
};

constexpr CanonField kShotInfoFields[] = {
    Mapped(7, "White balance", "0:Auto,1:Sunny,2:Cloudy,3:Tungsten,4:Flourescent,5:Flash,6:Custom"),
    Plain(9, "Sequence Number"),
    Plain(11, "OpticalZoom Step"),
    Plain(14, "AF point"),
    Mapped(15, "Flash bias", "65472:-2 EV,65484:-1.67 EV,65488:-1.50 EV,65492:-1.33 EV,65504:-1 EV,65516:-0.67 EV,65520:-0.50 EV,65524:-0.33 EV,0:0 EV,12:0.33 EV,16:0.50 EV,20:0.67 EV,32:1 EV,44:1.33 EV,48:1.50 EV,52:1.67 EV,64:2 EV"),
    Plain(19, "Distance"),
};

// Custom function f (1..15) is row f - 1. The texts are kept as the cameras' manuals had
// them; function 7's texts hold commas, so a lookup gives only the part before the next one.
constexpr CanonField kCustomFunctions[] = {
    Mapped(1, "Noise Reduction", "0: Off,1: On"),
    Mapped(2, "Shutter AE Lock Button", "0:AF/AE lock,1:AE lock/AF,2:AF/AF lock,3:AE+release/AE+AF"),
    Mapped(3, "Mirror Lockup", "0:Disable,1:Enable"),
    Mapped(4, "Exposure Level", "0:1/2 stop,1:1/3 stop"),
    Mapped(5, "AF Assist", "0:On (auto),1:Off"),
    Mapped(6, "AV Shutter Speed", "0:Automatic,1: 1/200 (fixed)"),
    Mapped(7, "AEB Sequence", "0:0, -, + / Enabled1: 0, -, + / Disabled,2: -, 0, + / Enabled,3: -, 0, + / Disabled"),
    Mapped(8, "Shutter Sync", "0:1st-curtain sync,1: 2nd-curtain sync"),
    Mapped(9, "Lens AF Button", "0:AF stop,1:Operate AF,2:Lock AE and start timer"),
    Mapped(10, "Fill Flash Reduction", "0:Enable,1:Disable"),
    Mapped(11, "Menu Return", "0:Top,1:Previous (volatile),2:Previous"),
    Mapped(12, "Set Button", "0:Not assigned,1:Change quality,2:Change ISO speed,3:Select parameters"),
    Mapped(13, "Sensor Cleaning", "0:Disable,1:Enable"),
    Mapped(14, "Superimposed Display", "0: On,1: Off"),
    Mapped(15, "Shutter Release w/o CF Card", "0:Enable,1:Disable"),
};
// clang-format on

static_assert(std::size(kCustomFunctions) == 15);

constexpr std::string_view kNumberSeparator = ",";

// Appends CR LF, name, " = ", text unless the text is blank, and stores the field. False once
// the pass's limits are spent.
bool AppendFieldLine(std::string& lines, std::string_view name, std::string_view text) {
  if (TrimControls(text).empty()) return true;
  lines.append("\r\n").append(name).append(" = ").append(text);
  return AddComputedMakerTag(name, text);
}

std::string DecodeFields(const std::string& text, std::span<const CanonField> fields) {
  DecoderMultiLine = true;
  std::string lines;
  for (const CanonField& field : fields) {
    const std::string fieldText =
        field.ValueMap.empty()
            ? NthField(text, kNumberSeparator, field.Number)
            : DecodeValueMap(field.ValueMap,
                             TrimControls(NthField(text, kNumberSeparator, field.Number + 1)));
    if (!AppendFieldLine(lines, field.Name, fieldText)) break;
  }
  return lines;
}

}  // namespace

std::span<const TTagEntry> CanonTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kCanonDefs);
  return table;
}

std::string DecodeCanonSettings(const std::string& text) {
  return DecodeFields(text, kSettingsFields);
}

std::string DecodeCanonShotInfo(const std::string& text) {
  return DecodeFields(text, kShotInfoFields);
}

std::string DecodeCanonCustomFunctions(const std::string& text) {
  DecoderMultiLine = true;
  std::string lines;
  // Each number holds a function in its high byte and the setting in its low byte. Only
  // the numbers followed by a separator are looked at, so the last one never is.
  const std::string_view all(text);
  size_t fieldStart = 0;
  for (size_t end = all.find(kNumberSeparator); end != std::string_view::npos;
       end = all.find(kNumberSeparator, fieldStart)) {
    const std::string_view field = all.substr(fieldStart, end - fieldStart);
    fieldStart = end + kNumberSeparator.size();
    int32_t number = 0;
    if (!ParseInt32(field, number)) continue;
    const int32_t function = number / 256;  // both truncate toward zero
    const int32_t setting = number % 256;
    if (function < 1 || function > static_cast<int32_t>(std::size(kCustomFunctions))) continue;
    const CanonField& row = kCustomFunctions[static_cast<size_t>(function - 1)];
    if (!AppendFieldLine(lines, row.Name, DecodeValueMap(row.ValueMap, IntegerText(setting)))) {
      break;
    }
  }
  return lines;
}

}  // namespace exif
