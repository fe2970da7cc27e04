// The newer Nikon maker note ("Nikon", a version, two zero bytes, then a TIFF header of its
// own) and the older notes that begin with the directory; with the lens and colour-mode
// decoders.

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "ascii.h"
#include "bytes.h"
#include "field_types.h"
#include "image_info.h"
#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"
#include "number_text.h"
#include "printf_format.h"
#include "text_filters.h"
#include "value_map.h"

namespace exif::detail {
namespace {

using makernote_rows::Described;

// clang-format off
constexpr TagDef kNikonType2Defs[] = {
    Described(0x0001, "FamilyID", "Family ID", {}, nullptr, DecodeNikonVersion),
    Described(0x0002, "ISOSpeed", "ISO Speed"),
    Described(0x0003, "ColorMode", "Color Mode"),
    Described(0x0004, "Quality", "Quality"),
    Described(0x0005, "WhiteBalance", "White Balance"),
    Described(0x0006, "ImageSharpening", "Image Sharpening"),
    Described(0x0007, "FocusMode", "Focus Mode"),
    Described(0x0008, "FlashSetting", "Flash Setting"),
    Described(0x0009, "AutoFlashMode", "Auto Flash Mode"),
    Described(0x000A, "Skip", "Skip"),
    Described(0x000B, "WhiteBiasValue", "White Bias Value"),
    Described(0x000C, "WB_RBLevels", "WB RB Levels"),
    Described(0x000D, "ProgramShift", "Program Shift"),
    Described(0x000E, "ExposureDifference", "Exposure Difference"),
    Described(0x000F, "DigitalZoom", "Digital Zoom"),
    Described(0x0010, "Skip", "Skip"),
    Described(0x0011, "Skip", "Skip"),
    Described(0x0012, "FlashExposureComp", "Flash Exposure Comp"),
    Described(0x0013, "ISOSetting", "ISO Setting"),
    Described(0x0016, "ImageBoundary", "Image Boundary"),
    Described(0x0017, "ExternalFlashExposureComp", "External Flash Exposure Comp"),
    Described(0x0018, "FlashExposureBracketValue", "Flash Exposure Bracket Value"),
    Described(0x0019, "ExposureBracketValue", "Exposure Bracket Value"),
    Described(0x001A, "ImageProcessing", "Image Processing"),
    Described(0x001B, "CropHiSpeed", "Crop Hi Speed"),
    Described(0x001C, "ExposureTuning", "Exposure Tuning"),
    Described(0x001D, "SerialNumber", "Serial Number"),
    Described(0x001E, "ColorSpace", "Color Space", "1:sRGB,2:Adobe RGB"),
    Described(0x001F, "VRInfo", "VR Info"),
    Described(0x0020, "ImageAuthentication", "Image Authentication", "0:Off,1:On"),
    Described(0x0021, "FaceDetect", "Face Detect"),
    Described(0x0022, "ActiveD-Lighting", "Active D-Lighting", "0:Off,1:Low,3:Normal,5:High,7:Extra High,8:Extra High 1,9:Extra High 2,10:Extra High 3,11:Extra High 4,65535:Auto"),
    Described(0x0023, "PictureControlData", "Picture Control Data", {}, nullptr, DecodeNikonPictureControl),
    Described(0x0024, "WorldTime", "World Time"),
    Described(0x0025, "ISOInfo", "ISO Info"),
    Described(0x002A, "VignetteControl", "Vignette Control", "0:Off,1:Low,3:Normal,5:High"),
    Described(0x002B, "DistortInfo", "Distort Info"),
    Described(0x002C, "UnknownInfo", "Unknown Info"),
    Described(0x0032, "UnknownInfo2", "Unknown Info 2"),
    Described(0x0035, "HDRInfo", "HDR Info"),
    Described(0x0039, "LocationInfo", "Location Info"),
    Described(0x003D, "BlackLevel", "Black Level"),
    Described(0x004E, "NikonSettings", "Nikon Settings"),
    Described(0x0080, "ImageAdjustment", "Image Adjustment"),
    Described(0x0081, "ImageAdjustment", "Image Adjustment"),
    Described(0x0082, "Adapter", "Adapter"),
    Described(0x0083, "LensType", "Lens Type"),
    Described(0x0084, "LensInformation", "Lens information", {}, DecodeNikonLens),
    Described(0x0085, "ManualFocusDistance", "Manual Focus Distance"),
    Described(0x0086, "DigitalZoom", "Digital Zoom"),
    Described(0x0087, "FlashMode", "Flash Mode", "0:Did Not Fire,1:Fired Manual,3:Not Ready,7:Fired External,8:Fired Commander Mode,9:Fired TTL Mode,18:LED Light"),
    Described(0x0088, "FocusArea", "Focus Area"),
    Described(0x0089, "Mode", "Mode"),
    Described(0x008B, "LensFStops", "Lens F Stops"),
    Described(0x008C, "ContrastCurve", "Contrast Curve"),
    Described(0x008D, "ColorMode", "Color Mode", {}, DecodeNikonColorMode),
    Described(0x008F, "SceneMode", "Scene Mode"),
    Described(0x0090, "LightSource", "Light Source"),
    Described(0x0091, "ShotInfo", "Shot Info"),
    Described(0x0092, "HueAdjustment", "Hue Adjustment"),
    Described(0x0093, "NEFCompression", "NEF Compression", "1:Lossy (type 1),2:Uncompressed,3:Lossless,4:Lossy (type 2),5:Striped packed 12 bits,6:Uncompressed (reduced to 12 bit),7:Unpacked 12 bits,8:Small,9:Packed 12 bits,10:Packed 14 bits,13:High Efficiency,14:High Efficiency*"),
    Described(0x0094, "Saturation", "Saturation"),
    Described(0x0095, "NoiseReduction", "Noise Reduction"),
    Described(0x0096, "NEFLinearizationTable", "NEF Linearization Table"),
    Described(0x0097, "ColorBalance", "Color Balance"),
    Described(0x0098, "LensData", "Lens Data"),
    Described(0x0099, "RawImageCenter", "Raw Image Center"),
    Described(0x009A, "SensorPixelSize", "Sensor Pixel Size"),
    Described(0x009C, "SceneAssist", "Scene Assist"),
    Described(0x009D, "DateStampMode", "Date Stamp Mode", "0:Off,1:Date & Time,2:Date,3:Date Counter"),
    Described(0x009E, "RetouchHistory", "Retouch History"),
    Described(0x00A0, "SerialNumber2", "Serial Number 2"),
    Described(0x00A2, "ImageDataSize", "Image Data Size"),
    Described(0x00A5, "ImageCount", "Image Count"),
    Described(0x00A6, "DeletedImageCount", "Deleted Image Count"),
    Described(0x00A7, "ShutterCount", "Shutter Count"),
    Described(0x00A8, "FlashInfo", "Flash Info"),
    Described(0x00A9, "ImageOptimization", "Image Optimization"),
    Described(0x00AA, "SaturationSetting", "Saturation Setting"),
    Described(0x00AB, "VariProgram", "Vari Program"),
    Described(0x00AC, "ImageStabilization", "Image Stabilization"),
    Described(0x00AD, "AFResponse", "AF Response"),
    Described(0x00B0, "MultiExposure", "Multi Exposure"),
    Described(0x00B1, "HighISONoiseReduction", "High ISO Noise Reduction", "0:Off,1:Minimal,2:Low,3:Medium Low,4:Normal,5:Medium High,6:High"),
    Described(0x00B3, "ToningEffect", "Toning Effect"),
    Described(0x00B6, "PowerUpTime", "Power Up Time"),
    Described(0x00B7, "AFInfo2", "AF Info 2"),
    Described(0x00B8, "FileInfo", "File Info"),
    Described(0x00B9, "AFTune", "AF Tune"),
    Described(0x00BB, "RetouchInfo", "Retouch Info"),
    Described(0x00BD, "PictureControlData2", "Picture Control Data", {}, nullptr, DecodeNikonPictureControl),
    Described(0x00C3, "BarometerInfo", "Barometer Info"),
    Described(0x0E00, "PrintIM", "Print Image Matching"),
    Described(0x0E01, "NikonCaptureData", "Nikon Capture Data"),
    Described(0x0E09, "NikonCaptureVersion", "Nikon Capture Version"),
    Described(0x0E0E, "NikonCaptureOffsets", "Nikon Capture Offsets"),
    Described(0x0E10, "NikonScanIFD", "Nikon Scan IFD"),
    Described(0x0E13, "NikonCaptureEditVersions", "Nikon Capture Edit Versions"),
    Described(0x0E1D, "NikonICCProfile", "Nikon ICC Profile"),
    Described(0x0E1E, "NikonCaptureOutput", "Nikon Capture Output"),
    Described(0x0E22, "NEFBitDepth", "NEF Bit Depth"),
    Described(0x0F00, "Skip", "Skip"),
};
// clang-format on

static_assert(std::size(kNikonType2Defs) == kNikonType2TagCount);
static_assert(TagsAscending(kNikonType2Defs));

constexpr std::string_view kPartSeparator = ", ";
constexpr int64_t kLaterPartLength = 64;

// Cuts `rest` at its first ", ": returns the part before it and keeps in `rest` what follows
// the comma, blank included, at most 64 characters. Without a ", " the part is empty and the
// rest is kept (cut to 64 characters).
std::string TakePart(std::string& rest) {
  const size_t found = rest.find(kPartSeparator);
  if (found == std::string::npos) {
    rest = CopyBytes(rest, 1, kLaterPartLength);
    return {};
  }
  std::string part = rest.substr(0, found);
  rest = CopyBytes(rest, static_cast<int64_t>(found) + 2, kLaterPartLength);
  return part;
}

}  // namespace

std::span<const TTagEntry> NikonType2Tags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kNikonType2Defs);
  return table;
}

void ReadNikonIso(const NoteValue& value, MakerNoteIso& iso) {
  if (value.Tag != 0x0002) return;
  if (const std::optional<uint16_t> speed = value.Short(1); speed && *speed > 0) iso.Stated = *speed;
}

std::string DecodeNikonVersion(const std::string& text, DecodeContext& context) {
  const std::string_view raw = context.Raw;
  if (raw.size() != 4) return MakePrintable(text);
  // Four digits ("0210" for 2.10), or the version in bytes: minor, major, then zeros.
  if (std::all_of(raw.begin(), raw.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::to_string(std::stoi(std::string(raw.substr(0, 2)))) + "." +
           std::string(raw.substr(2));
  }
  return std::to_string(static_cast<unsigned char>(raw[1])) + "." +
         std::to_string(static_cast<unsigned char>(raw[0]));
}

std::string DecodeNikonPictureControl(const std::string& text, DecodeContext& context) {
  // Where each field lies in the three layouts the versions 01xx, 02xx and 03xx use: the name,
  // the base, the adjustment, the quick adjustment, then one byte each for the settings.
  struct PictureLayout {
    size_t Name, Base, Adjust, Quick, Sharpness, Clarity, Contrast, Brightness, Saturation, Hue,
        Filter, Toning, ToningSaturation;
  };
  static constexpr size_t kNone = SIZE_MAX;
  static constexpr PictureLayout kLayouts[] = {
      {4, 24, 48, 49, 50, kNone, 51, 52, 53, 54, 55, 56, 57},
      {4, 24, 48, 49, 51, 53, 55, 57, 59, 61, 63, 64, 65},
      {8, 28, 54, 55, 57, 61, 63, 65, 67, 69, 71, 72, 73},
  };
  static constexpr std::string_view kAdjust = "0:Default Settings,1:Quick Adjust,2:Full Control";
  static constexpr std::string_view kFilter =
      "128:Off,129:Yellow,130:Orange,131:Red,132:Green,255:n/a";
  static constexpr std::string_view kToning =
      "128:B&W,129:Sepia,130:Cyanotype,131:Red,132:Yellow,133:Green,134:Blue-green,135:Blue,136:"
      "Purple-blue,"
      "137:Red-purple,255:n/a";
  const std::string_view raw = context.Raw;
  if (raw.size() < 4 || context.Type != kUndefined) return MakePrintable(text);
  const std::string_view version = raw.substr(0, 4);
  const size_t layoutIndex = version.starts_with("01") ? 0 : version.starts_with("02") ? 1 : 2;
  const PictureLayout& at = kLayouts[layoutIndex];
  context.MultiLine = true;
  std::string lines;
  // A setting is a byte around 128: 0 reads "Auto", 255 "n/a", 128 "Normal", others the
  // signed step.
  const auto setting = [&](size_t offset) -> std::string {
    if (offset == kNone || offset >= raw.size()) return {};
    const int value = static_cast<unsigned char>(raw[offset]) - 0x80;
    if (value == -128) return "Auto";
    if (value == 127) return "n/a";
    if (value == 0) return "Normal";
    return FormatText("%+d", {int32_t{value}});
  };
  const auto mapped = [&](size_t offset, std::string_view map) -> std::string {
    if (offset >= raw.size()) return {};
    return MappedText(map, std::to_string(static_cast<unsigned char>(raw[offset])));
  };
  const auto name = [&](size_t offset) -> std::string {
    if (offset >= raw.size()) return {};
    return std::string(TrimBlanks(AsciiText(raw.substr(offset, 20))));
  };
  const std::pair<std::string_view, std::string> fields[] = {
      {"Picture Control Version", std::string(AsciiText(version))},
      {"Picture Control Name", name(at.Name)},
      {"Picture Control Base", name(at.Base)},
      {"Picture Control Adjust", mapped(at.Adjust, kAdjust)},
      {"Picture Control Quick Adjust", setting(at.Quick)},
      {"Sharpness", setting(at.Sharpness)},
      {"Clarity", setting(at.Clarity)},
      {"Contrast", setting(at.Contrast)},
      {"Brightness", setting(at.Brightness)},
      {"Saturation", setting(at.Saturation)},
      {"Hue Adjustment", setting(at.Hue)},
      {"Filter Effect", mapped(at.Filter, kFilter)},
      {"Toning Effect", mapped(at.Toning, kToning)},
      {"Toning Saturation", setting(at.ToningSaturation)},
  };
  for (const auto& [field, value] : fields) {
    if (TrimControls(value).empty()) continue;
    lines.append("\r\n").append(field).append(" = ").append(EscapeControls(value));
    if (!context.AddField(field, value)) break;
  }
  return lines;
}

std::string DecodeNikonColorMode(const std::string& text) {
  // Characters 2 to 6: the mode text after the opening quote.
  const std::string mode = CopyBytes(text, 2, 5);
  if (mode == "MODE1") return "Mode1 (sRGB)";
  if (mode == "MODE2") return "Mode 2 (Adobe RGB)";
  if (mode == "MODE3") return "Mode 3 (sRGB): higher saturation";
  return mode;
}

std::string DecodeNikonLens(const std::string& text) {
  std::string rest = text;
  const long double shortFocal = FractionTextToNumber(TakePart(rest));
  const long double longFocal = FractionTextToNumber(TakePart(rest));
  const long double shortAperture = FractionTextToNumber(TakePart(rest));
  const long double longAperture = FractionTextToNumber(rest);
  return FormatText("%0.1f-%0.1f(mm)  F%0.1f-F%0.1f",
                    {shortFocal, longFocal, shortAperture, longAperture});
}

}  // namespace exif::detail
