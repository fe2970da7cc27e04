#include "summary.h"

#include <ctime>
#include <string_view>
#include <utility>

#include "container.h"
#include "decoders.h"
#include "image_info.h"
#include "number_text.h"

namespace exif {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

class Lines {
 public:
  void Add(std::string_view label, std::string_view value) {
    if (!text_.empty()) text_ += kLineBreak;
    text_ += label;
    text_ += value;
  }
  // A value's line is left out when it has no text.
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

std::string SummaryText(const Summary& summary, DateFormatter formatDate) {
  Lines lines;
  lines.Add("File Name: ", summary.fileName);
  if (summary.Failed()) {
    lines.Add("Exif Error: ", summary.errorText);
    return lines.Take();
  }
  lines.Add("File Size: ", std::to_string(summary.fileSize / 1024) + "k");
  lines.Add("File Date: ", formatDate(summary.fileModified));
  lines.Add("Photo Date: ", summary.photoDate);
  lines.Add("Make (Model): ", summary.make + " (" + summary.model + ")");
  lines.Add("Dimensions: ",
            std::to_string(summary.width) + " x " + std::to_string(summary.height));
  lines.AddIfAny("Exposure Time: ", summary.exposureTime);
  lines.AddIfAny("Focal Length: ", summary.focalLength);
  lines.AddIfAny("FNumber: ", summary.fNumber);
  lines.AddIfAny("ISO: ", summary.iso);
  lines.Add("Flash: ", summary.FlashFired() ? "Yes" : "No");
  return lines.Take();
}

namespace detail {
namespace {

// The last path element; both separators count, as for the extension.
std::string_view BaseName(std::string_view path) {
  const size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

// The f-number: FNumber's text, or, without a usable FNumber (none, or 0), the f-number of
// the APEX ApertureValue.
std::string FNumberText(const TImageInfo& info) {
  const bool hasFNumber = info.FindStoredTag("FNumber") >= 0;
  if (hasFNumber && StoredTagNumber(info, "FNumber") != 0) return info.StoredTagText("FNumber");
  if (info.FindStoredTag("ApertureValue") >= 0) {
    return ApexApertureText(StoredTagNumber(info, "ApertureValue"));
  }
  return hasFNumber ? info.StoredTagText("FNumber") : std::string();
}

// The ISO speed of the EXIF data, or else the one the maker note states.
std::string IsoText(const TImageInfo& info) {
  std::string iso = info.StoredTagText("ISOSpeedRatings");
  if (!iso.empty() || !info.Options.makerNoteIso) return iso;
  const long double noteIso = info.NoteIso.Value();
  return noteIso > 0 ? IntegerText(RoundToInt32(noteIso)) : std::string();
}

}  // namespace

std::optional<Summary> SummaryOf(const TImageInfo& info) {
  const TimgData* owner = info.Owner;
  if (owner == nullptr || !owner->HasExif()) return std::nullopt;
  Summary summary;
  summary.fileName = BaseName(owner->FilePath);
  summary.status = owner->Status;
  summary.errorText = owner->ErrorText;
  if (summary.Failed()) return summary;
  summary.fileSize = owner->FileLength;
  summary.fileModified = owner->FileModified;
  summary.photoDate = info.DateTimeText;
  summary.make = info.MakeText;
  summary.model = info.ModelText;
  summary.width = info.PixelWidth;
  summary.height = info.PixelHeight;
  // Only the modes that build texts have stored texts to show.
  if (info.BuildMode == kBuildTextOnly || info.BuildMode == kBuildAll) {
    summary.exposureTime = info.StoredTagText("ExposureTime");
    if (summary.exposureTime.empty()) summary.exposureTime = info.StoredTagText("ShutterSpeedValue");
    summary.focalLength = info.StoredTagText("FocalLength");
    summary.fNumber = FNumberText(info);
    summary.iso = IsoText(info);
  }
  summary.flash = info.FlashValue;
  return summary;
}

std::string SummaryText(const TImageInfo& info, DateFormatter formatDate) {
  const std::optional<Summary> summary = SummaryOf(info);
  return summary ? exif::SummaryText(*summary, formatDate) : std::string();
}

}  // namespace detail
}  // namespace exif
