// The Fujifilm maker note: "FUJIFILM", the directory's offset, then the directory, always in
// Intel byte order with offsets counted from the note's first byte.

#include <iterator>
#include <vector>

#include "makernotes/maker_rows.h"
#include "makernotes/maker_tables.h"

namespace exif::detail {
namespace {

using makernote_rows::Row;

// clang-format off
constexpr TagDef kFujiDefs[] = {
    Row(0x0000, "Version"),
    Row(0x1000, "Quality"),
    Row(0x1001, "Sharpness", "1:Soft,2:Soft,3:Normal,4:Hard,5:Hard"),
    Row(0x1002, "WhiteBalance", "0:Auto,256:Daylight,512:Cloudy,768:DaylightColor-fluorescence,769:DaywhiteColor-fluorescence,770:White-fluorescence,1024:Incandenscense,3840:Custom white balance."),
    Row(0x1003, "Color", "0:Normal,256:High,512:Low"),
    Row(0x1004, "Tone", "0:Normal,256:High,512:Low"),
    Row(0x1010, "FlashMode", "0:Auto,1:On,2:Off,3:Red-eye reduction"),
    Row(0x1011, "FlashStrength"),
    Row(0x1020, "Macro", "0:Off,1:On"),
    Row(0x1021, "Focusmode", "0:Auto Focus,1:Manual Focus"),
    Row(0x1030, "SlowSync", "0:Off,1:On"),
    Row(0x1031, "PictureMode", "0:Auto,1:Portrait scene,2:Landscape scene,4:Sports scene,5:Night scene,6:Program AE,256:Aperture prior AE,512:Shutter prior AE,768:Manual exposure"),
    Row(0x1032, "Skip"),
    Row(0x1100, "ContTake/Bracket", "0:Off,1:On"),
    Row(0x1200, "Skip"),
    Row(0x1300, "BlurWarning", "0:No blur warning,1:Blur warning"),
    Row(0x1301, "FocusWarning", "0:Auto Focus good,1:Out of focus"),
    Row(0x1302, "AEWarning", "0:AE good,1:Over exposure"),
};
// clang-format on

static_assert(std::size(kFujiDefs) == kFujiTagCount);
static_assert(TagsUnique(kFujiDefs));

}  // namespace

std::span<const TTagEntry> FujiTags() {
  static const std::vector<TTagEntry> table = BuildTagTable(kFujiDefs);
  return table;
}

}  // namespace exif::detail
