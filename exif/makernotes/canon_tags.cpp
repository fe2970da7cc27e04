// The Canon maker note: the directory at its first byte; with the decoders that split the
// camera-settings, shot-information and custom-function arrays into named fields.

#include <cmath>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "ascii.h"
#include "field_types.h"
#include "image_info.h"
#include "makernotes/maker_directory.h"
#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"
#include "makernotes/text_fields.h"
#include "number_text.h"
#include "printf_format.h"
#include "text_filters.h"
#include "value_map.h"

namespace exif::detail {
namespace {

using makernote_rows::NoteRow;
using makernote_rows::Row;

// clang-format off
constexpr TagDef kCanonDefs[] = {
    Row(0x0000, "Skip"),
    NoteRow(0x0001, "ExposureInfo1", DecodeCanonSettings),
    Row(0x0002, "Skip"),
    Row(0x0003, "Skip"),
    NoteRow(0x0004, "ExposureInfo2", DecodeCanonShotInfo),
    Row(0x0005, "Panorama"),
    Row(0x0006, "ImageType"),
    Row(0x0007, "FirmwareVersion"),
    Row(0x0008, "ImageNumber"),
    Row(0x0009, "OwnerName"),
    Row(0x000A, "Skip"),
    Row(0x000B, "Skip"),
    Row(0x000C, "SerialNumber"),
    Row(0x000D, "Skip"),
    Row(0x000E, "Skip"),
    NoteRow(0x000F, "CustomFunctions", DecodeCanonCustomFunctions),
    Row(0x0010, "Skip"),
    Row(0x0011, "MovieInfo"),
    Row(0x0012, "AFInfo"),
    Row(0x0013, "ThumbnailImageValidArea"),
    Row(0x0015, "SerialNumberFormat", "2415919104:Format 1,2684354560:Format 2"),
    Row(0x001A, "SuperMacro", "0:Off,1:On (1),2:On (2)"),
    Row(0x001C, "DateStampMode", "0:Off,1:Date,2:Date & Time"),
    Row(0x001D, "MyColors"),
    Row(0x001E, "FirmwareRevision"),
    Row(0x0023, "Categories"),
    Row(0x0024, "FaceDetect1"),
    Row(0x0025, "FaceDetect2"),
    Row(0x0026, "AFInfo2"),
    Row(0x0027, "ContrastInfo"),
    Row(0x0028, "ImageUniqueID"),
    Row(0x0029, "WBInfo"),
    Row(0x002F, "FaceDetect3"),
    Row(0x0035, "TimeInfo"),
    Row(0x0038, "BatteryType"),
    Row(0x003C, "AFInfo3"),
    Row(0x0081, "RawDataOffset"),
    Row(0x0083, "OriginalDecisionDataOffset"),
    Row(0x0090, "CustomFunctions1D"),
    Row(0x0091, "PersonalFunctions"),
    Row(0x0092, "PersonalFunctionValues"),
    Row(0x0093, "FileInfo"),
    Row(0x0094, "AFPointsInFocus1D"),
    Row(0x0095, "LensModel"),
    Row(0x0096, "InternalSerialNumber"),
    Row(0x0097, "DustRemovalData"),
    Row(0x0098, "CropInfo"),
    Row(0x0099, "CustomFunctions2"),
    Row(0x009A, "AspectInfo"),
    Row(0x00A0, "ProcessingInfo"),
    Row(0x00A1, "ToneCurveTable"),
    Row(0x00A2, "SharpnessTable"),
    Row(0x00A3, "SharpnessFreqTable"),
    Row(0x00A4, "WhiteBalanceTable"),
    Row(0x00A9, "ColorBalance"),
    Row(0x00AA, "MeasuredColor"),
    Row(0x00AE, "ColorTemperature"),
    Row(0x00B0, "CanonFlags"),
    Row(0x00B1, "ModifiedInfo"),
    Row(0x00B2, "ToneCurveMatching"),
    Row(0x00B3, "WhiteBalanceMatching"),
    Row(0x00B4, "ColorSpace", "1:sRGB,2:Adobe RGB,65535:n/a"),
    Row(0x00B6, "PreviewImageInfo"),
    Row(0x00D0, "VRDOffset"),
    Row(0x00E0, "SensorInfo"),
    Row(0x4001, "ColorData"),
    Row(0x4002, "CRWParam"),
    Row(0x4003, "ColorInfo"),
    Row(0x4005, "Flavor"),
    Row(0x4008, "PictureStyleUserDef"),
    Row(0x4009, "PictureStylePC"),
    Row(0x4010, "CustomPictureStyleFileName"),
    Row(0x4013, "AFMicroAdj"),
    Row(0x4015, "VignettingCorr"),
    Row(0x4016, "VignettingCorr2"),
    Row(0x4018, "LightingOpt"),
    Row(0x4019, "LensInfo"),
    Row(0x4020, "Ambience"),
    Row(0x4021, "MultiExp"),
    Row(0x4024, "FilterInfo"),
    Row(0x4025, "HDRInfo"),
    Row(0x4028, "AFConfig"),
};
// clang-format on

static_assert(std::size(kCanonDefs) == kCanonTagCount);
static_assert(TagsAscending(kCanonDefs));

// A word for one number of a field.
struct Word {
  int32_t Value;
  std::string_view Text;
};

// How a field shows its number.
enum class Shown { Number, Words, FocalLength, Distance, CameraIso, AutoIso, BaseIso };

// One field of an array value: the 16-bit number at its index, shown as its word when the
// field has words (the number when it lacks one), as a length in focal units, as a distance
// in centimetres, as an ISO speed, or as the number.
struct CanonField {
  int Index;
  std::string_view Name;
  Shown How = Shown::Number;
  std::span<const Word> Words = {};
};

constexpr CanonField Plain(int index, std::string_view name, Shown how = Shown::Number) {
  return {index, name, how, {}};
}
constexpr CanonField Mapped(int index, std::string_view name, std::span<const Word> words,
                            Shown how = Shown::Words) {
  return {index, name, how, words};
}

// Indexes of the ISO fields: the camera settings' ISO, the shot information's automatic
// adjustment and base ISO.
constexpr size_t kCameraIsoIndex = 16;
constexpr size_t kAutoIsoIndex = 1;
constexpr size_t kBaseIsoIndex = 2;

// The camera settings' ISO is a code (16 to 20 for ISO 50 to 800, others for the automatic
// modes), or on newer cameras the speed itself with bit 14 set; 0x7FFF stands for none, here
// as in the other fields.
constexpr uint16_t kNoCameraIso = 0x7FFF;
std::optional<long double> CameraIsoSpeed(uint16_t number) {
  if (number >= 16 && number <= 20) return 50.0L * (1 << (number - 16));
  const auto speed = static_cast<uint16_t>(number & 0x3FFF);
  if ((number & 0xC000) == 0x4000 && number != kNoCameraIso && speed != 0) return speed;
  return std::nullopt;
}

// The shot information counts ISO in 32nds of a stop: the automatic adjustment from 100 %,
// the base ISO from 100 / 32.
long double AutoIsoPercent(int16_t number) { return 100 * std::exp2(number / 32.0L); }
long double BaseIsoSpeed(int16_t number) { return 100.0L / 32 * std::exp2(number / 32.0L); }

// The camera settings' index of the focal units (per millimetre) that its lengths count in.
constexpr size_t kFocalUnitsIndex = 25;

// Meanings as Canon documents them; the words the reader has always shown are kept where the
// meaning agrees.
constexpr Word kMacroMode[] = {{1, "Macro"}, {2, "Normal"}};
constexpr Word kCompressionRate[] = {{1, "Economy"}, {2, "Normal"}, {3, "Fine"}, {4, "RAW"}, {5, "SuperFine"}};
constexpr Word kFlashMode[] = {{0, "Not fired"}, {1, "Auto"}, {2, "On"}, {3, "Red-eye"}, {4, "Slow sync"},
                               {5, "Auto+red-eye"}, {6, "On+red eye"}, {16, "External flash"}};
constexpr Word kDriveMode[] = {{0, "Single"},
                               {1, "Continuous"},
                               {2, "Movie"},
                               {3, "Continuous, Speed Priority"},
                               {4, "Continuous, Low"},
                               {5, "Continuous, High"},
                               {6, "Silent Single"}};
constexpr Word kFocusMode[] = {{0, "One-Shot"}, {1, "AI Servo"}, {2, "AI Focus"}, {3, "MF"},
                               {4, "Single"},   {5, "Continuous"}, {6, "MF"}};
constexpr Word kImageSize[] = {{0, "Large"}, {1, "Medium"}, {2, "Small"}, {4, "5MPixel"}, {5, "2 MPixel"},
                               {6, "1.5 MPixel"}};
constexpr Word kEasyShoot[] = {{0, "Full Auto"}, {1, "Manual"}, {2, "Landscape"}, {3, "Fast Shutter"},
                               {4, "Slow Shutter"}, {5, "Night"}, {6, "B&W"}, {7, "Sepia"},
                               {8, "Portrait"}, {9, "Sports"}, {10, "Macro/Close-Up"}, {11, "Pan Focus"}};
constexpr Word kLowNormalHigh[] = {{-1, "Low"}, {0, "Normal"}, {1, "High"}};
constexpr Word kCcdIso[] = {{0, "Not used"}, {14, "Auto High"}, {15, "auto"}, {16, "50"},
                            {17, "100"},     {18, "200"},       {19, "400"},  {20, "800"}};
constexpr Word kMeteringMode[] = {{0, "Default"}, {1, "Spot"}, {2, "Average"}, {3, "Evaluative"},
                                  {4, "Partial"}, {5, "Center-weighted average"}};
constexpr Word kAfPoint[] = {{0x2005, "Manual AF point selection"}, {0x3000, "None (MF)"},
                             {0x3001, "Auto AF point selection"},   {0x3002, "Right"},
                             {0x3003, "Center"},                    {0x3004, "Left"},
                             {0x4001, "Auto AF point selection"},   {0x4006, "Face Detect"}};
constexpr Word kExposureMode[] = {{0, "Easy"}, {1, "Program AE"}, {2, "Shutter speed priority AE"},
                                  {3, "Aperture-priority AE"}, {4, "Manual"}, {5, "Depth-of-field AE"},
                                  {6, "M-Dep"}, {7, "Bulb"}, {8, "Flexible-priority AE"}};
constexpr Word kFocusContinuous[] = {{0, "Single"}, {1, "Continuous"}, {8, "Manual"}};
constexpr Word kWhiteBalance[] = {{0, "Auto"},     {1, "Sunny"}, {2, "Cloudy"}, {3, "Tungsten"},
                                  {4, "Flourescent"}, {5, "Flash"}, {6, "Custom"}};
constexpr Word kFlashBias[] = {{-64, "-2 EV"}, {-52, "-1.67 EV"}, {-48, "-1.50 EV"}, {-44, "-1.33 EV"},
                               {-32, "-1 EV"}, {-20, "-0.67 EV"}, {-16, "-0.50 EV"}, {-12, "-0.33 EV"},
                               {0, "0 EV"},    {12, "0.33 EV"},   {16, "0.50 EV"},   {20, "0.67 EV"},
                               {32, "1 EV"},   {44, "1.33 EV"},   {48, "1.50 EV"},   {52, "1.67 EV"},
                               {64, "2 EV"}};

// Camera settings (0x0001) and shot information (0x0004): arrays of 16-bit numbers, each
// field at its own index.
constexpr CanonField kSettingsFields[] = {
    Mapped(1, "Macro mode", kMacroMode),
    Plain(2, "Self Timer"),
    Mapped(3, "Compression Rate", kCompressionRate),
    Mapped(4, "Flash Mode", kFlashMode),
    Mapped(5, "Drive Mode", kDriveMode),
    Mapped(7, "Focus Mode", kFocusMode),
    Mapped(10, "Image Size", kImageSize),
    Mapped(11, "Easy Shoot", kEasyShoot),
    Mapped(13, "Contrast", kLowNormalHigh),
    Mapped(14, "Saturation", kLowNormalHigh),
    Mapped(15, "Sharpness", kLowNormalHigh),
    Mapped(kCameraIsoIndex, "CCD ISO", kCcdIso, Shown::CameraIso),
    Mapped(17, "Metering Mode", kMeteringMode),
    Mapped(19, "AF Point", kAfPoint),
    Mapped(20, "Exposure Mode", kExposureMode),
    Plain(23, "Long focal", Shown::FocalLength),
    Plain(24, "Short focal", Shown::FocalLength),
    Plain(25, "Focal Units"),
    Plain(29, "Flash Details"),
    Mapped(32, "Focus Mode", kFocusContinuous),
};

constexpr CanonField kShotInfoFields[] = {
    Plain(kAutoIsoIndex, "Auto ISO", Shown::AutoIso),
    Plain(kBaseIsoIndex, "Base ISO", Shown::BaseIso),
    Mapped(7, "White balance", kWhiteBalance),
    Plain(9, "Sequence Number"),
    Plain(10, "OpticalZoom Step"),
    Plain(14, "AF point"),
    Mapped(15, "Flash bias", kFlashBias),
    Plain(19, "Distance", Shown::Distance),
};

// Custom function f (1..15) is row f - 1, with a value map keyed by the setting. The texts
// are kept as the cameras' manuals had them, but for function 7's, whose commas a map
// cannot hold.
struct CustomFunction {
  std::string_view Name;
  std::string_view ValueMap;
};

constexpr CustomFunction kCustomFunctions[] = {
    {"Noise Reduction", "0: Off,1: On"},
    {"Shutter AE Lock Button", "0:AF/AE lock,1:AE lock/AF,2:AF/AF lock,3:AE+release/AE+AF"},
    {"Mirror Lockup", "0:Disable,1:Enable"},
    {"Exposure Level", "0:1/2 stop,1:1/3 stop"},
    {"AF Assist", "0:On (auto),1:Off"},
    {"AV Shutter Speed", "0:Automatic,1: 1/200 (fixed)"},
    {"AEB Sequence", "0:0 - + / Enabled,1:0 - + / Disabled,2:- 0 + / Enabled,3:- 0 + / Disabled"},
    {"Shutter Sync", "0:1st-curtain sync,1: 2nd-curtain sync"},
    {"Lens AF Button", "0:AF stop,1:Operate AF,2:Lock AE and start timer"},
    {"Fill Flash Reduction", "0:Enable,1:Disable"},
    {"Menu Return", "0:Top,1:Previous (volatile),2:Previous"},
    {"Set Button", "0:Not assigned,1:Change quality,2:Change ISO speed,3:Select parameters"},
    {"Sensor Cleaning", "0:Disable,1:Enable"},
    {"Superimposed Display", "0: On,1: Off"},
    {"Shutter Release w/o CF Card", "0:Enable,1:Disable"},
};

static_assert(std::size(kCustomFunctions) == 15);

constexpr std::string_view kNumberSeparator = ",";

// Appends CR LF, name, " = ", text unless the text is blank, and stores the field. False once
// the pass's limits are spent.
bool AppendFieldLine(std::string& lines, DecodeContext& context, std::string_view name,
                     std::string_view text) {
  if (TrimControls(text).empty()) return true;
  lines.append("\r\n").append(name).append(" = ").append(EscapeControls(text));
  return context.AddField(name, text);
}

// The field's text for its number; `focalUnits` is the settings' units per millimetre.
std::string FieldText(const CanonField& field, uint16_t number, uint16_t focalUnits) {
  switch (field.How) {
    case Shown::CameraIso:
      if (number == kNoCameraIso) return {};
      if ((number & 0x4000) != 0) {
        if (const std::optional<long double> speed = CameraIsoSpeed(number)) {
          return FormatText("%.0f", {*speed});
        }
      }
      [[fallthrough]];
    case Shown::Words: {
      if (number == kNoCameraIso) return "n/a";  // Canon's mark for a field it does not use
      const auto signedNumber = static_cast<int16_t>(number);
      for (const Word& word : field.Words) {
        if (word.Value == number || word.Value == signedNumber) return std::string(word.Text);
      }
      return UnknownValueText(IntegerText(signedNumber));  // a number Canon gives no word for
    }
    case Shown::FocalLength:
      return focalUnits == 0 ? IntegerText(number) : FormatText("%.2f mm", {number / static_cast<double>(focalUnits)});
    case Shown::Distance:
      return FormatText("%.2f m", {number / 100.0});
    case Shown::AutoIso:
      return FormatText("%.0f", {AutoIsoPercent(static_cast<int16_t>(number))});
    case Shown::BaseIso:  // 0 or less: a field the camera left empty
      if (static_cast<int16_t>(number) <= 0) return {};
      return FormatText("%.0f", {BaseIsoSpeed(static_cast<int16_t>(number))});
    case Shown::Number:
      break;
  }
  return IntegerText(number);
}

std::string DecodeFields(DecodeContext& context, std::span<const CanonField> fields) {
  context.MultiLine = true;
  std::string lines;
  // The arrays are 16-bit numbers; a value of another type has no fields.
  if (context.Type != kShort && context.Type != kSShort) return lines;
  const size_t count = context.Raw.size() / 2;
  const auto numberAt = [&](size_t index) {
    return static_cast<uint16_t>(RawToInteger(context.Raw.substr(2 * index, 2), context.BigEndian));
  };
  const uint16_t focalUnits = count > kFocalUnitsIndex ? numberAt(kFocalUnitsIndex) : 0;
  for (const CanonField& field : fields) {
    const auto index = static_cast<size_t>(field.Index);
    if (index >= count) continue;  // the camera did not write this field
    if (!AppendFieldLine(lines, context, field.Name, FieldText(field, numberAt(index), focalUnits))) break;
  }
  return lines;
}

}  // namespace

std::span<const TTagEntry> CanonTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kCanonDefs);
  return table;
}

NoteLayout CanonLayout(const ByteString& note, int64_t headerShift, bool exifOrder) {
  NoteLayout layout{CanonTags(), 0, headerShift, exifOrder, ReadCanonIso};
  constexpr int64_t kFooterLength = 8;
  if (note.Length() < kFooterLength) return layout;
  const std::string footer = note.Copy(note.Length() - kFooterLength + 1, kFooterLength);
  const bool intel = footer.starts_with(std::string_view("II\x2A\0", 4));
  if (!intel && !footer.starts_with(std::string_view("MM\0\x2A", 4))) return layout;
  // The offset the note was written at, from the EXIF data's header: a value at offset x lies
  // x - written bytes into the note.
  const int64_t written =
      static_cast<uint32_t>(RawToInteger(std::string_view(footer).substr(4), !intel));
  layout.ValueShift = 1 - written;
  layout.BigEndian = !intel;
  layout.OrderDeclared = true;
  layout.ShiftKnown = true;
  return layout;
}

void ReadCanonIso(const NoteValue& value, MakerNoteIso& iso) {
  if (value.Tag == 0x0001) {
    if (const std::optional<uint16_t> number = value.Short(kCameraIsoIndex)) {
      if (const std::optional<long double> speed = CameraIsoSpeed(*number)) iso.Stated = *speed;
    }
  } else if (value.Tag == 0x0004) {
    const std::optional<uint16_t> adjustment = value.Short(kAutoIsoIndex);
    const std::optional<uint16_t> base = value.Short(kBaseIsoIndex);
    if (adjustment && base && static_cast<int16_t>(*base) > 0) {
      iso.AutoPercent = AutoIsoPercent(static_cast<int16_t>(*adjustment));
      iso.Base = BaseIsoSpeed(static_cast<int16_t>(*base));
    }
  }
}

std::string DecodeCanonSettings(const std::string&, DecodeContext& context) {
  return DecodeFields(context, kSettingsFields);
}

std::string DecodeCanonShotInfo(const std::string&, DecodeContext& context) {
  return DecodeFields(context, kShotInfoFields);
}

std::string DecodeCanonCustomFunctions(const std::string& text, DecodeContext& context) {
  context.MultiLine = true;
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
    const CustomFunction& row = kCustomFunctions[static_cast<size_t>(function - 1)];
    if (!AppendFieldLine(lines, context, row.Name,
                         MappedText(row.ValueMap, IntegerText(setting)))) {
      break;
    }
  }
  return lines;
}

}  // namespace exif::detail
