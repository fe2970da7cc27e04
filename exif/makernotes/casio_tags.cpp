// The Casio maker notes: the first layout with the directory at the note's first byte, the
// second after a "QVC" header.

#include <iterator>
#include <vector>

#include "ascii.h"
#include "field_types.h"
#include "image_info.h"
#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"
#include "number_text.h"
#include "printf_format.h"
#include "text_filters.h"

namespace exif::detail {
namespace {

using makernote_rows::NoteRow;
using makernote_rows::Row;

// Distances of 0x20000000 mm and more stand for infinity.
constexpr int32_t kInfiniteDistance = 0x20000000;

// clang-format off
constexpr TagDef kCasioDefs[] = {
    Row(0x0001, "RecordingMode", "1:Single Shutter,2:Panorama,3:Night Scene,4:Portrait,5:Landscape"),
    Row(0x0002, "Quality", "1:Economy,2:Normal,3:Fine"),
    Row(0x0003, "FocusingMode", "2:Macro,3:Auto Focus,4:Manual Focus,5:Infinity"),
    Row(0x0004, "FlashMode", "1:Auto,2:On,3:Off,4:Red Eye Reduction"),
    Row(0x0005, "FlashIntensity", "11:Weak,13:Normal,15:Strong"),
    Row(0x0006, "ObjectDistance", {}, DecodeCasioDistance),
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

// The second layout, after "QVC" and three zero bytes. Names repeat where the cameras wrote the
// same setting under two numbers (the older ones first).
// clang-format off
constexpr TagDef kCasioType2Defs[] = {
    Row(0x0002, "PreviewImageSize"),
    Row(0x0003, "PreviewImageLength"),
    Row(0x0004, "PreviewImageStart"),
    Row(0x0008, "QualityMode", "0:Economy,1:Normal,2:Fine"),
    Row(0x0009, "ImageSize", "0:640x480,4:1600x1200,5:2048x1536,20:2288x1712,21:2592x1944,22:2304x1728,36:3008x2008"),
    Row(0x000D, "FocusMode", "0:Normal,1:Macro"),
    Row(0x0014, "ISO"),
    Row(0x0019, "WhiteBalance", "0:Auto,1:Daylight,2:Shade,3:Tungsten,4:Fluorescent,5:Manual"),
    Row(0x001D, "FocalLength"),
    Row(0x001F, "Saturation", "0:Low,1:Normal,2:High"),
    Row(0x0020, "Contrast", "0:Low,1:Normal,2:High"),
    Row(0x0021, "Sharpness", "0:Soft,1:Normal,2:Hard"),
    Row(0x0E00, "Skip"),
    Row(0x2000, "Skip"),
    Row(0x2001, "FirmwareDate"),
    Row(0x2011, "WhiteBalanceBias"),
    Row(0x2012, "WhiteBalance2", "0:Manual,1:Daylight,2:Cloudy,3:Shade,4:Flash?,6:Fluorescent,9:Tungsten?,10:Tungsten,12:Flash"),
    Row(0x2021, "AFPointPosition"),
    Row(0x2022, "ObjectDistance", {}, DecodeCasioDistance),
    Row(0x2034, "FlashDistance"),
    Row(0x3000, "RecordMode", "2:Program AE,3:Shutter Priority,4:Aperture Priority,5:Manual,6:Best Shot,17:Movie,19:Movie (19),20:YouTube Movie"),
    Row(0x3001, "ReleaseMode", "1:Normal,3:AE Bracketing,11:WB Bracketing,13:Contrast Bracketing,19:High Speed Burst"),
    Row(0x3002, "Quality", "1:Economy,2:Normal,3:Fine"),
    Row(0x3003, "FocusMode2", "0:Manual,1:Focus Lock,2:Macro,3:Single-Area Auto Focus,5:Infinity,6:Multi-Area Auto Focus,8:Super Macro"),
    Row(0x3006, "HometownCity"),
    Row(0x3007, "BestShotMode"),
    Row(0x3008, "AutoISO", "1:On,2:Off,7:On (high sensitivity),8:On (anti-shake),10:High Speed"),
    Row(0x3009, "AFMode", "0:Off,1:Spot,2:Multi,3:Face Detection,4:Tracking,5:Intelligent"),
    NoteRow(0x3011, "Sharpness2", DecodeSigned16),
    NoteRow(0x3012, "Contrast2", DecodeSigned16),
    NoteRow(0x3013, "Saturation2", DecodeSigned16),
    Row(0x3014, "ISO2"),
    Row(0x3015, "ColorMode", "0:Off,2:Black & White,3:Sepia"),
    Row(0x3016, "Enhancement", "0:Off,1:Scenery,3:Green,5:Underwater,9:Flesh Tones"),
    Row(0x3017, "ColorFilter", "0:Off,1:Blue,3:Green,4:Yellow,5:Red,6:Purple,7:Pink"),
    Row(0x301C, "SequenceNumber"),
    Row(0x3020, "ImageStabilization", "0:Off,1:On,2:Best Shot,3:Movie Anti-Shake"),
};
// clang-format on

static_assert(std::size(kCasioType2Defs) == kCasioType2TagCount);
static_assert(TagsAscending(kCasioType2Defs));

}  // namespace

std::span<const TTagEntry> CasioTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kCasioDefs);
  return table;
}

std::string DecodeCasioDistance(const std::string& text) {
  int32_t millimetres = 0;
  if (!ParseInt32(text, millimetres)) return text;
  if (millimetres >= kInfiniteDistance) return "inf";
  return FormatText("%g m", {millimetres / 1000.0});
}

std::string DecodeSigned16(const std::string& text, DecodeContext& context) {
  if (context.Raw.size() != 2) return MakePrintable(text);
  return IntegerText(static_cast<int16_t>(RawToInteger(context.Raw, context.BigEndian)));
}

void ReadCasioIso(const NoteValue& value, MakerNoteIso& iso) {
  if (value.Tag != 0x0014) return;
  if (const std::optional<uint16_t> speed = value.Short(0); speed && *speed > 0) iso.Stated = *speed;
}

void ReadCasioType2Iso(const NoteValue& value, MakerNoteIso& iso) {
  const std::optional<uint16_t> number = value.Short(0);
  if (!number || *number == 0) return;
  if (value.Tag == 0x3014) {
    iso.Stated = *number;  // the newer tag wins, whichever comes first
  } else if (value.Tag == 0x0014 && iso.Stated == 0) {
    switch (*number) {
      case 3: iso.Stated = 50; break;
      case 4: iso.Stated = 64; break;
      case 6: iso.Stated = 100; break;
      case 9: iso.Stated = 200; break;
      default: iso.Stated = *number;
    }
  }
}

std::span<const TTagEntry> CasioType2Tags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kCasioType2Defs);
  return table;
}

}  // namespace exif::detail
