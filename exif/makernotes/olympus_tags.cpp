// The Olympus maker note: an 8-byte identifier, then the directory.

#include <iterator>
#include <vector>

#include "exif/field_types.h"
#include "exif/makernotes/maker_rows.h"
#include "exif/makernotes/maker_tables.h"
#include "exif/number_text.h"
#include "exif/printf_format.h"
#include "exif/text_filters.h"

namespace exif::detail {
namespace {

using makernote_rows::Described;

// A list of numbers shows at most this many.
constexpr size_t kMaxListed = 64;

// clang-format off
constexpr TagDef kOlympusDefs[] = {
    Described(0x0200, "SpecialMode", "SpecialMode"),
    Described(0x0201, "JpegQual", "JpegQual", "1:SQ,2:HQ,3:SHQ,4:Raw"),
    Described(0x0202, "Macro", "Macro", "0:Normal,1:Macro"),
    Described(0x0203, "Skip", "Skip"),
    Described(0x0204, "DigiZoom", "Digital Zoom Ratio"),
    Described(0x0205, "Skip", "Skip"),
    Described(0x0206, "Skip", "Skip"),
    Described(0x0207, "Firmware", "Firmware"),
    Described(0x0208, "PictInfo", "Picture Info"),
    Described(0x0209, "CameraID", "Camera ID"),
    Described(0x0F00, "Skip", "Skip"),
    Described(0x1004, "FlashMode", "Flash Mode"),
    Described(0x1006, "Bracket", "Bracket"),
    Described(0x100B, "FocusMode", "Focus Mode"),
    Described(0x100C, "FocusDistance", "Focus Distance"),
    Described(0x100D, "Zoom", "Zoom"),
    Described(0x100E, "MacroFocus", "Macro Focus"),
    Described(0x100F, "Sharpness", "Sharpness"),
    Described(0x1011, "ColorMatrix", "Color Matrix", {}, nullptr, DecodeSigned16List),
    Described(0x1012, "BlackLevel", "Black Level"),
    Described(0x1015, "WhiteBalance", "White Balance"),
    Described(0x1017, "RedBias", "Red Bias", {}, nullptr, DecodeOlympusBalance),
    Described(0x1018, "BlueBias", "Blue Bias", {}, nullptr, DecodeOlympusBalance),
    Described(0x101A, "SerialNumber", "SerialNumber"),
    Described(0x1023, "FlashBias", "Flash Bias"),
    Described(0x1029, "Contrast", "Contrast"),
    Described(0x102A, "SharpnessFactor", "Sharpness Factor"),
    Described(0x102B, "ColorControl", "Color Control"),
    Described(0x102C, "ValidBits", "Valid Bits"),
    Described(0x102D, "Coring", "Coring Filter"),
    Described(0x102E, "FinalWidth", "Final Width"),
    Described(0x102F, "FinalHeight", "Final Height"),
    Described(0x1034, "CompressionRatio", "Compression Ratio"),
};
// clang-format on

static_assert(std::size(kOlympusDefs) == kOlympusTagCount);
static_assert(TagsUnique(kOlympusDefs));

}  // namespace

std::string DecodeOlympusBalance(const std::string& text, DecodeContext& context) {
  // The first number in 256ths; what follows it is the scale's own record.
  if (context.Raw.size() < 2) return MakePrintable(text);
  const auto number = static_cast<uint16_t>(RawToInteger(context.Raw.substr(0, 2), context.BigEndian));
  return FormatText("%g", {number / 256.0});
}

std::string DecodeSigned16List(const std::string& text, DecodeContext& context) {
  if (context.Raw.size() < 2 || context.Raw.size() % 2 != 0) return MakePrintable(text);
  std::string numbers;
  for (size_t i = 0; i < context.Raw.size() && i < 2 * kMaxListed; i += 2) {
    if (i > 0) numbers += ", ";
    numbers += IntegerText(static_cast<int16_t>(RawToInteger(context.Raw.substr(i, 2), context.BigEndian)));
  }
  return numbers;
}

std::span<const TTagEntry> OlympusTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kOlympusDefs);
  return table;
}

}  // namespace exif::detail
