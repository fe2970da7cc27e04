#include "prosvitek/imaging/metadata.h"

#include "prosvitek/files/jpeg_segments.h"
#include "prosvitek/files/tiff.h"
#include "prosvitek/imaging/errors.h"

#include "thumbnail.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

namespace imaging {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kPhotoshopThumbnail = 0x040C, kPhotoshopOldThumbnail = 0x0409;
constexpr std::uint16_t kTypeShort = 3;

using files::SegmentKind;

constexpr std::size_t kIccHeaderBytes = 14;  // "ICC_PROFILE\0", sequence number, count
constexpr std::size_t kIccProfileHeader = 128;

// The saved photo's colour components: the encoder writes three whatever the source.
constexpr int kSavedComponents = 3;

// Whether the ICC segments, in the source's order, make one whole profile
// that suits the saved photo: numbered 1 to N in order, all counting N, the
// profile as long as its header says and of the saved photo's colour space.
bool WholeSuitingProfile(const std::vector<const JpegSegment*>& icc) {
  if (icc.empty()) return false;
  Bytes profile;
  for (std::size_t i = 0; i < icc.size(); ++i) {
    const Bytes& body = icc[i]->body;
    if (body.size() < kIccHeaderBytes || body[12] != i + 1 || body[13] != icc.size()) return false;
    if (profile.size() < kIccProfileHeader)
      profile.insert(profile.end(), body.begin() + kIccHeaderBytes,
                     body.begin() + static_cast<std::ptrdiff_t>(std::min(body.size(), kIccHeaderBytes + kIccProfileHeader)));
  }
  std::uint64_t total = 0;
  for (const JpegSegment* s : icc) total += s->body.size() - kIccHeaderBytes;
  if (profile.size() < kIccProfileHeader) return false;
  const std::uint64_t declared = files::TiffUnsigned(profile.data(), 4, true);
  return declared >= kIccProfileHeader && declared <= total && ProfileSuits(profile, kSavedComponents);
}

// Collects the segments to carry while the header is walked.
class Picker {
 public:
  Picker(const files::InputFile& file, const CarryRequest& request) : file_(file), request_(request) {}

  // Whether a segment of this kind is looked at at all.
  static bool Wanted(SegmentKind kind) {
    return kind == SegmentKind::Exif || kind == SegmentKind::Xmp || kind == SegmentKind::XmpExtension ||
           kind == SegmentKind::Icc || kind == SegmentKind::Iptc || kind == SegmentKind::Comment;
  }

  void Visit(int marker, SegmentKind kind, std::span<const std::uint8_t> body) {
    if (kind == SegmentKind::Icc) {
      // Counted as a whole at the end: no cap may cut a profile.
      if (++iccSegments_ > kMaxIccSegments) return;
      iccBytes_ += body.size();
    } else {
      if (kind == SegmentKind::Exif) {
        if (!exifSeen_) orientation_ = ExifOrientation(body);
        exifSeen_ = true;
      }
      if (!request_.keepMetadata || kept_ + body.size() > kMaxKeptBytes) return;
      kept_ += body.size();
    }
    held_ += body.size();
    if (held_ > request_.budget)
      throw PhotoTooLarge("Metadata fotky k přenesení by zabrala víc než " + std::to_string(request_.budget >> 20) +
                          " MiB paměti, kolik je povoleno na fotku.");
    segments_.push_back(JpegSegment{marker, std::vector<std::uint8_t>(body.begin(), body.end())});
  }

  std::vector<JpegSegment> Result() && {
    std::vector<const JpegSegment*> icc;
    for (const JpegSegment& s : segments_)
      if (IsIcc(s)) icc.push_back(&s);
    if (iccSegments_ > kMaxIccSegments || kept_ + iccBytes_ > kMaxKeptBytes || !WholeSuitingProfile(icc))
      std::erase_if(segments_, IsIcc);
    if (!request_.keepMetadata && orientation_ != 1) segments_.insert(segments_.begin(), OrientationSegment(orientation_));
    if (request_.keepMetadata)
      for (JpegSegment& s : segments_) {
        const SegmentKind kind = files::IdentifySegment(s.marker, s.body);
        if (kind == SegmentKind::Exif) s.body = Renewed(s.body);
        if (kind == SegmentKind::Iptc) s.body = WithoutPhotoshopThumbnail(s.body);
      }
    return std::move(segments_);
  }

 private:
  static bool IsIcc(const JpegSegment& s) { return files::IdentifySegment(s.marker, s.body) == SegmentKind::Icc; }

  // An EXIF body with its thumbnail made anew from the brightened photo.
  Bytes Renewed(const Bytes& body) const {
    const ExifThumbnail old = FindExifThumbnail(body);
    if (!old.present) return body;
    Bytes thumbnail;
    if (old.usable && request_.settingsAt) {
      ThumbnailRequest t;
      // The old thumbnail's frame when it is a plausible one.
      if (old.width > 0 && old.height > 0 && old.width <= kMaxFrame && old.height <= kMaxFrame) {
        t.width = old.width;
        t.height = old.height;
      }
      t.exponent = request_.exponent;
      t.settingsAt = request_.settingsAt;
      thumbnail = RenderThumbnail(file_, t, request_.limits, request_.stop);
    }
    return WithThumbnail(body, thumbnail);
  }

  static constexpr int kMaxFrame = 640;

  const files::InputFile& file_;
  const CarryRequest& request_;
  bool exifSeen_ = false;
  int orientation_ = 1;
  std::size_t iccSegments_ = 0;
  std::size_t iccBytes_ = 0;
  std::size_t kept_ = 0;
  std::uint64_t held_ = 0;  // bytes of all segments taken, for the memory budget
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

std::vector<JpegSegment> Pick(const files::InputFile& file, const CarryRequest& request) {
  Picker picker(file, request);
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

bool ProfileSuits(std::span<const std::uint8_t> profileHeader, int components) {
  constexpr std::size_t kColourSpace = 16;  // the header's data colour space field
  if (profileHeader.size() < kColourSpace + 4) return false;
  const std::string_view space(reinterpret_cast<const char*>(profileHeader.data()) + kColourSpace, 4);
  return (components == 3 && space == "RGB ") || (components == 1 && space == "GRAY");
}

namespace {

constexpr std::uint16_t kThumbnailOffsetTag = 0x0201;  // JPEGInterchangeFormat
constexpr std::uint16_t kThumbnailLengthTag = 0x0202;  // JPEGInterchangeFormatLength

// Where the thumbnail's pieces lie in an EXIF TIFF block that has an IFD1.
struct ThumbnailLayout {
  files::TiffHeader header;
  std::uint64_t ifd0Start = 0, ifd0End = 0;  // the directory's bytes, its next pointer included
  std::uint64_t nextField = 0;               // IFD0's pointer to IFD1
  std::uint64_t ifd1Start = 0, ifd1End = 0;  // 0, 0 when IFD1 cannot be read
  std::optional<files::TiffEntry> offsetEntry, lengthEntry;
  ExifThumbnail thumbnail;
};

bool Overlaps(std::uint64_t start, std::uint64_t end, std::uint64_t otherStart, std::uint64_t otherEnd) {
  return start < otherEnd && otherStart < end;
}

// Nothing when the block has no IFD1 (or is no classic TIFF block).
std::optional<ThumbnailLayout> ReadThumbnailLayout(std::span<const std::uint8_t> tiff) {
  const auto header = files::ParseTiffHeader(tiff);
  if (!header || header->magic != 42 || header->bigTiff) return std::nullopt;
  const files::InputFile block = files::InputFile::FromMemory(tiff);
  const auto ifd0 = files::ReadTiffDirectory(block, 0, *header, header->firstDirectory);
  if (!ifd0 || ifd0->truncated || ifd0->next == 0) return std::nullopt;
  ThumbnailLayout l;
  l.header = *header;
  l.ifd0Start = ifd0->offset;
  l.nextField = ifd0->offset + 2 + 12 * ifd0->entries.size();
  l.ifd0End = l.nextField + 4;
  if (ifd0->next >= l.ifd0Start && ifd0->next < l.ifd0End) return std::nullopt;  // IFD0 again: a loop, no IFD1
  l.thumbnail.present = true;
  const auto ifd1 = files::ReadTiffDirectory(block, 0, *header, ifd0->next);
  if (!ifd1 || ifd1->truncated) return l;
  l.ifd1Start = ifd1->offset;
  l.ifd1End = ifd1->offset + 2 + 12 * ifd1->entries.size() + 4;
  for (const files::TiffEntry& e : ifd1->entries) {
    if ((e.type != files::kTiffShort && e.type != files::kTiffLong) || e.count != 1) continue;
    if (e.tag == kThumbnailOffsetTag) l.offsetEntry = e;
    if (e.tag == kThumbnailLengthTag) l.lengthEntry = e;
  }
  if (!l.offsetEntry || !l.lengthEntry) return l;
  const std::uint64_t offset = files::TiffEntryNumber(block, 0, *header, *l.offsetEntry).value_or(0);
  const std::uint64_t length = files::TiffEntryNumber(block, 0, *header, *l.lengthEntry).value_or(0);
  // Inside the block, clear of the directories it would be patched beside.
  if (offset < 8 || length == 0 || offset > tiff.size() || length > tiff.size() - offset ||
      Overlaps(offset, offset + length, l.ifd0Start, l.ifd0End) || Overlaps(offset, offset + length, l.ifd1Start, l.ifd1End))
    return l;
  l.thumbnail.usable = true;
  l.thumbnail.offset = offset;
  l.thumbnail.length = length;
  try {
    const JpegHeader old = JpegReader(tiff.subspan(offset, length)).Header();
    l.thumbnail.width = old.width;
    l.thumbnail.height = old.height;
  } catch (const std::exception&) {
    // not a JPEG libjpeg reads: its size stays unknown
  }
  return l;
}

void PutNumber(Bytes& bytes, std::size_t at, std::uint64_t value, std::size_t size, bool bigEndian) {
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t shift = 8 * (bigEndian ? size - 1 - i : i);
    bytes[at + i] = static_cast<std::uint8_t>(value >> shift);
  }
}

}  // namespace

ExifThumbnail FindExifThumbnail(std::span<const std::uint8_t> app1Body) {
  if (files::IdentifySegment(kMarkerApp1, app1Body) != SegmentKind::Exif) return {};
  const auto layout = ReadThumbnailLayout(app1Body.subspan(files::kExifHeaderBytes));
  return layout ? layout->thumbnail : ExifThumbnail{};
}

Bytes WithThumbnail(std::span<const std::uint8_t> app1Body, std::span<const std::uint8_t> thumbnail) {
  Bytes out(app1Body.begin(), app1Body.end());
  if (files::IdentifySegment(kMarkerApp1, app1Body) != SegmentKind::Exif) return out;
  const auto layout = ReadThumbnailLayout(app1Body.subspan(files::kExifHeaderBytes));
  if (!layout) return out;
  constexpr std::size_t kBase = files::kExifHeaderBytes;
  const bool bigEndian = layout->header.bigEndian;
  const ExifThumbnail& old = layout->thumbnail;
  if (old.usable) {
    // The old picture goes: cut off when it ends the block, as it mostly does, else blanked.
    const std::size_t start = kBase + static_cast<std::size_t>(old.offset), end = start + static_cast<std::size_t>(old.length);
    if (end == out.size()) out.resize(start);
    else std::fill(out.begin() + static_cast<std::ptrdiff_t>(start), out.begin() + static_cast<std::ptrdiff_t>(end), 0);
    if (!thumbnail.empty()) {
      if ((out.size() - kBase) % 2) out.push_back(0);  // TIFF offsets are even
      const std::size_t offset = out.size() - kBase;
      if (out.size() + thumbnail.size() <= kMaxSegmentBody) {
        out.insert(out.end(), thumbnail.begin(), thumbnail.end());
        for (const auto& [entry, value] : {std::pair{*layout->offsetEntry, offset}, std::pair{*layout->lengthEntry, thumbnail.size()}})
          PutNumber(out, kBase + static_cast<std::size_t>(entry.valueOffset), value, files::TiffTypeSize(entry.type), bigEndian);
        return out;
      }
    }
  }
  PutNumber(out, kBase + static_cast<std::size_t>(layout->nextField), 0, 4, bigEndian);
  return out;
}

Bytes WithoutPhotoshopThumbnail(std::span<const std::uint8_t> app13Body) {
  constexpr std::size_t kIdentifier = 14;  // "Photoshop 3.0\0"
  const Bytes unchanged(app13Body.begin(), app13Body.end());
  if (files::IdentifySegment(files::kMarkerApp13, app13Body) != SegmentKind::Iptc) return unchanged;
  Bytes out(app13Body.begin(), app13Body.begin() + kIdentifier);
  // Resources: "8BIM", a number, a name (its length byte first, padded to an
  // even length), a data size and the data (padded to even).
  for (std::size_t at = kIdentifier; at < app13Body.size();) {
    if (app13Body.size() - at < 8 || std::memcmp(&app13Body[at], "8BIM", 4) != 0) return unchanged;
    const auto id = static_cast<std::uint16_t>(files::TiffUnsigned(&app13Body[at + 4], 2, true));
    const std::size_t name = (std::size_t{app13Body[at + 6]} + 2) & ~std::size_t{1};
    const std::size_t sizeAt = at + 6 + name;
    if (sizeAt + 4 > app13Body.size()) return unchanged;
    const std::uint64_t size = files::TiffUnsigned(&app13Body[sizeAt], 4, true);
    if (size > app13Body.size() - sizeAt - 4) return unchanged;  // goes on in another segment, or damaged
    const std::size_t end = std::min<std::size_t>(sizeAt + 4 + static_cast<std::size_t>(size + size % 2), app13Body.size());
    if (id != kPhotoshopThumbnail && id != kPhotoshopOldThumbnail)
      out.insert(out.end(), app13Body.begin() + static_cast<std::ptrdiff_t>(at), app13Body.begin() + static_cast<std::ptrdiff_t>(end));
    at = end;
  }
  return out;
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

namespace {

CarryRequest WithoutThumbnail(bool keepMetadata) {
  CarryRequest request;
  request.keepMetadata = keepMetadata;
  return request;
}

}  // namespace

std::vector<JpegSegment> SegmentsToCarry(const files::InputFile& source, const CarryRequest& request) {
  return Pick(source, request);
}

std::vector<JpegSegment> SegmentsToCarry(std::span<const std::uint8_t> sourceFile, bool keepMetadata) {
  return Pick(files::InputFile::FromMemory(sourceFile), WithoutThumbnail(keepMetadata));
}

std::vector<JpegSegment> SegmentsToCarry(const std::string& sourcePath, bool keepMetadata) {
  return Pick(files::OpenInputFile(sourcePath), WithoutThumbnail(keepMetadata));
}

std::vector<JpegSegment> SegmentsToCarry(const files::InputFile& file, bool keepMetadata) {
  return Pick(file, WithoutThumbnail(keepMetadata));
}

}  // namespace imaging
