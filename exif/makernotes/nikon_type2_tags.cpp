// The newer Nikon maker note ("Nikon", a version, two zero bytes, then a TIFF header of its
// own) and the older notes that begin with the directory; with the lens and colour-mode
// decoders.

#include <iterator>
#include <utility>
#include <vector>

#include "exif/bytes.h"
#include "exif/image_info.h"
#include "exif/makernotes/maker_rows.h"
#include "exif/makernotes/maker_tables.h"
#include "exif/number_text.h"
#include "exif/printf_format.h"

namespace exif::detail {
namespace {

using makernote_rows::Described;

// clang-format off
constexpr TagDef kNikonType2Defs[] = {
    Described(0x0001, "FamilyID", "Family ID"),
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
    Described(0x000F, "DigitalZoom", "Digital Zoom"),
    Described(0x0010, "Skip", "Skip"),
    Described(0x0011, "Skip", "Skip"),
    Described(0x0080, "ImageAdjustment", "Image Adjustment"),
    Described(0x0081, "ImageAdjustment", "Image Adjustment"),
    Described(0x0082, "Adapter", "Adapter"),
    Described(0x0084, "LensInformation", "Lens information", {}, DecodeNikonLens),
    Described(0x0085, "ManualFocusDistance", "Manual Focus Distance"),
    Described(0x0086, "DigitalZoom", "Digital Zoom"),
    Described(0x0088, "FocusArea", "Focus Area"),
    Described(0x0089, "Mode", "Mode"),
    Described(0x008D, "ColorMode", "Color Mode", {}, DecodeNikonColorMode),
    Described(0x008F, "SceneMode", "Scene Mode"),
    Described(0x0092, "HueAdjustment", "Hue Adjustment"),
    Described(0x0094, "Saturation", "Saturation"),
    Described(0x0095, "NoiseReduction", "Noise Reduction"),
    Described(0x0F00, "Skip", "Skip"),
};
// clang-format on

static_assert(std::size(kNikonType2Defs) == kNikonType2TagCount);
static_assert(TagsUnique(kNikonType2Defs));

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
