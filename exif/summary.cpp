#include "exif/summary.h"

#include <ctime>
#include <string_view>
#include <utility>

#include "exif/container.h"
#include "exif/image_info.h"

namespace exif {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

// The last path element; both separators count, as for the extension.
std::string_view BaseName(std::string_view path) {
  const size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

class Lines {
 public:
  void Add(std::string_view label, std::string_view value) {
    if (!text_.empty()) text_ += kLineBreak;
    text_ += label;
    text_ += value;
  }
  // A stored value's line is left out when it has no text.
  void AddIfAny(std::string_view label, std::string_view value) {
    if (!value.empty()) Add(label, value);
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace

std::string ShortDateText(std::chrono::system_clock::time_point moment) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return {};
  char date[128];
  const size_t length = std::strftime(date, sizeof date, "%x", &local);
  return std::string(date, length);
}

std::string SummaryText(const TImageInfo& info, DateFormatter formatDate) {
  const TimgData* owner = info.Owner;
  if (owner == nullptr || !owner->HasExif()) return {};
  Lines lines;
  lines.Add("File Name: ", BaseName(owner->FilePath));
  if (owner->ErrorText != kErrorNone) {
    lines.Add("Exif Error: ", owner->ErrorText);
    return lines.Take();
  }
  lines.Add("File Size: ", std::to_string(owner->FileLength / 1024) + "k");
  lines.Add("File Date: ", formatDate(owner->FileModified));
  lines.Add("Photo Date: ", info.DateTimeText);
  lines.Add("Make (Model): ", info.MakeText + " (" + info.ModelText + ")");
  lines.Add("Dimensions: ",
            std::to_string(info.PixelWidth) + " x " + std::to_string(info.PixelHeight));
  // Only the modes that build texts have stored texts to show.
  if (info.BuildMode == kBuildTextOnly || info.BuildMode == kBuildAll) {
    std::string exposure = info.StoredTagText("ExposureTime");
    if (exposure.empty()) exposure = info.StoredTagText("ShutterSpeedValue");
    lines.AddIfAny("Exposure Time: ", exposure);
    lines.AddIfAny("Focal Length: ", info.StoredTagText("FocalLength"));
    // No dictionary names a tag so (the 35 mm entry is "FocalLengthin35mmFilm"), so this line
    // does not appear; the main window counts on that for the positions below it.
    lines.AddIfAny("Focal Length (35mm): ", info.StoredTagText("FocalLengthin35mm"));
    lines.AddIfAny("FNumber: ", info.StoredTagText("FNumber"));
    lines.AddIfAny("ISO: ", info.StoredTagText("ISOSpeedRatings"));
  }
  lines.Add("Flash: ", (info.FlashValue & 1) != 0 ? "Yes" : "No");
  return lines.Take();
}

}  // namespace exif
