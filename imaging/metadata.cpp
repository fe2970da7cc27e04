#include "imaging/metadata.h"

#include "files/jpeg_segments.h"
#include "files/tiff.h"
#include "imaging/errors.h"

#include <algorithm>
#include <limits>

namespace imaging {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;

using files::SegmentKind;

// Collects the segments to carry while the header is walked.
class Picker {
 public:
  Picker(bool keep, std::uint64_t budget) : keep_(keep), budget_(budget) {}

  // Whether a segment of this kind is looked at at all.
  static bool Wanted(SegmentKind kind) {
    return kind == SegmentKind::Exif || kind == SegmentKind::Xmp || kind == SegmentKind::XmpExtension ||
           kind == SegmentKind::Icc;
  }

  void Visit(int marker, SegmentKind kind, std::span<const std::uint8_t> body) {
    if (kind == SegmentKind::Icc) {
      ++iccSegments_;
      if (iccSegments_ > kMaxIccSegments) return;
    } else if (kind == SegmentKind::Exif) {
      if (!exifSeen_) orientation_ = ExifOrientation(body);
      exifSeen_ = true;
      if (!keep_) return;
    } else if (!keep_) {
      return;
    }
    if (kept_ + body.size() > budget_)
      throw PhotoTooLarge("Metadata fotky k přenesení by zabrala víc než " + std::to_string(budget_ >> 20) +
                          " MiB paměti, kolik je povoleno na fotku.");
    if (kept_ + body.size() > kMaxKeptBytes) return;
    kept_ += body.size();
    segments_.push_back(JpegSegment{marker, std::vector<std::uint8_t>(body.begin(), body.end())});
  }

  std::vector<JpegSegment> Result() && {
    if (iccSegments_ > kMaxIccSegments)
      std::erase_if(segments_, [](const JpegSegment& s) {
        return files::IdentifySegment(s.marker, s.body) == SegmentKind::Icc;
      });
    if (!keep_ && orientation_ != 1) segments_.insert(segments_.begin(), OrientationSegment(orientation_));
    return std::move(segments_);
  }

 private:
  bool keep_;
  std::uint64_t budget_;
  bool exifSeen_ = false;
  int orientation_ = 1;
  std::size_t iccSegments_ = 0;
  std::size_t kept_ = 0;
  std::vector<JpegSegment> segments_;
};

// Calls visit(marker, kind, body) for the wanted segments before the first scan.
template <class Wanted, class Visit>
bool WalkHeader(const files::InputFile& file, const Wanted& wanted, const Visit& visit) {
  files::JpegSegmentWalker walker(file);
  if (walker.End() == files::WalkEnd::NotJpeg) return false;
  while (const auto segment = walker.Next()) {
    if (segment->marker == files::kMarkerSos || segment->marker == files::kMarkerEoi) break;
    const SegmentKind kind = walker.Kind(*segment);
    if (!wanted(kind)) continue;
    const files::Bytes body = walker.Body(*segment);
    if (body.size() < segment->BodyLength()) break;  // cut off by the end of the file
    visit(segment->marker, kind, std::span<const std::uint8_t>(body));
  }
  return true;
}

std::vector<JpegSegment> Pick(const files::InputFile& file, bool keep,
                              std::uint64_t budget = std::numeric_limits<std::uint64_t>::max()) {
  Picker picker(keep, budget);
  WalkHeader(file, &Picker::Wanted, [&](int marker, SegmentKind kind, std::span<const std::uint8_t> body) {
    picker.Visit(marker, kind, body);
  });
  return std::move(picker).Result();
}

}  // namespace

bool ForEachHeaderSegment(std::span<const std::uint8_t> file,
                          const std::function<void(int marker, std::span<const std::uint8_t> body)>& visit) {
  const files::InputFile input = files::InputFile::FromMemory(file);
  return WalkHeader(input, [](SegmentKind) { return true; },
                    [&](int marker, SegmentKind, std::span<const std::uint8_t> body) { visit(marker, body); });
}

int ExifOrientation(std::span<const std::uint8_t> app1Body) {
  if (files::IdentifySegment(kMarkerApp1, app1Body) != SegmentKind::Exif) return 1;
  const auto tiff = app1Body.subspan(files::kExifHeaderBytes);
  const auto header = files::ParseTiffHeader(tiff);
  if (!header || header->magic != 42) return 1;
  const files::InputFile block = files::InputFile::FromMemory(tiff);
  const auto ifd0 = files::ReadTiffDirectory(block, 0, *header, header->firstDirectory);
  if (!ifd0) return 1;
  for (const files::TiffEntry& entry : ifd0->entries) {
    if (entry.tag != kOrientationTag) continue;
    if (entry.type != kTypeShort && entry.type != files::kTiffLong) return 1;
    const auto value = files::TiffEntryNumber(block, 0, *header, entry);
    return value && *value >= 1 && *value <= 8 ? static_cast<int>(*value) : 1;
  }
  return 1;
}

JpegSegment OrientationSegment(int orientation) {
  const std::uint8_t body[] = {
      'E', 'x', 'i', 'f', 0, 0,                          // EXIF identifier
      'M', 'M', 0, 42, 0, 0, 0, 8,                       // big-endian TIFF header, IFD0 at 8
      0, 1,                                              // one entry
      0x01, 0x12, 0, kTypeShort, 0, 0, 0, 1,             // Orientation, SHORT, count 1
      0, static_cast<std::uint8_t>(orientation), 0, 0,   // the value, left-justified
      0, 0, 0, 0};                                       // no next IFD
  return JpegSegment{kMarkerApp1, std::vector<std::uint8_t>(std::begin(body), std::end(body))};
}

std::vector<JpegSegment> SegmentsToCarry(std::span<const std::uint8_t> sourceFile, bool keepMetadata) {
  return Pick(files::InputFile::FromMemory(sourceFile), keepMetadata);
}

std::vector<JpegSegment> SegmentsToCarry(const std::string& sourcePath, bool keepMetadata) {
  return Pick(files::OpenInputFile(sourcePath), keepMetadata);
}

std::vector<JpegSegment> SegmentsToCarry(const files::InputFile& file, bool keepMetadata) {
  return Pick(file, keepMetadata);
}

std::vector<JpegSegment> SegmentsToCarry(const files::InputFile& file, bool keepMetadata, std::uint64_t budget) {
  return Pick(file, keepMetadata, budget);
}

}  // namespace imaging
