#include "imaging/metadata.h"

#include "imaging/errors.h"
#include "imaging/file_io.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace imaging {

namespace {

constexpr int kMarkerSos = 0xDA;
constexpr int kMarkerEoi = 0xD9;
constexpr int kMarkerTem = 0x01;
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;

constexpr std::string_view kExifId{"Exif\0\0", 6};
constexpr std::string_view kIccId{"ICC_PROFILE\0", 12};
constexpr std::string_view kXmpId{"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::string_view kXmpExtensionId{"http://ns.adobe.com/xmp/extension/\0", 35};

bool StartsWith(std::span<const std::uint8_t> body, std::string_view id) {
  return body.size() >= id.size() && std::memcmp(body.data(), id.data(), id.size()) == 0;
}

bool IsExif(int marker, std::span<const std::uint8_t> body) {
  return marker == kMarkerApp1 && StartsWith(body, kExifId);
}
bool IsXmp(int marker, std::span<const std::uint8_t> body) {
  return marker == kMarkerApp1 && (StartsWith(body, kXmpId) || StartsWith(body, kXmpExtensionId));
}
bool IsIcc(int marker, std::span<const std::uint8_t> body) {
  return marker == kMarkerApp2 && StartsWith(body, kIccId);
}

// Bytes of a file held in memory.
class SpanSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool Byte(std::uint8_t& b) {
    if (pos_ >= bytes_.size()) return false;
    b = bytes_[pos_++];
    return true;
  }
  // The next n bytes (only looked at when wanted); false when fewer remain.
  bool Take(std::size_t n, bool /*wanted*/, std::span<const std::uint8_t>& out) {
    if (bytes_.size() - pos_ < n) return false;
    out = bytes_.subspan(pos_, n);
    pos_ += n;
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

// An open file read ahead in blocks; segments nobody wants are passed over
// unread.
class FileSource {
 public:
  explicit FileSource(const InputFile& file) : file_(file) {}

  bool Byte(std::uint8_t& b) {
    if (pos_ == end_ && !Fill()) return false;
    b = buffer_[pos_++];
    return true;
  }
  bool Take(std::size_t n, bool wanted, std::span<const std::uint8_t>& out) {
    const std::size_t buffered = std::min(n, end_ - pos_);
    if (!wanted) {
      pos_ += buffered;
      offset_ += n - buffered;  // past the end, the next read finds nothing
      return true;
    }
    body_.assign(buffer_ + pos_, buffer_ + pos_ + buffered);
    pos_ += buffered;
    for (std::size_t have = body_.size(); have < n;) {
      body_.resize(n);
      const std::size_t got = file_.ReadAt(offset_, body_.data() + have, n - have);
      if (got == 0) return false;
      offset_ += got;
      have += got;
    }
    out = body_;
    return true;
  }

 private:
  bool Fill() {
    pos_ = 0;
    end_ = file_.ReadAt(offset_, buffer_, sizeof buffer_);
    offset_ += end_;
    return end_ > 0;
  }

  const InputFile& file_;
  std::uint64_t offset_ = 0;  // of the first byte not yet in the buffer
  std::uint8_t buffer_[16384];
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::vector<std::uint8_t> body_;
};

// The marker walk shared by both sources. wanted(marker) says whether a
// segment's body must be read; others are skipped unread where possible.
template <class Source, class Wanted, class Visit>
bool WalkHeader(Source& source, const Wanted& wanted, const Visit& visit) {
  std::uint8_t b0 = 0, b1 = 0;
  if (!source.Byte(b0) || !source.Byte(b1) || b0 != 0xFF || b1 != 0xD8) return false;
  for (;;) {
    std::uint8_t b = 0;
    if (!source.Byte(b) || b != 0xFF) return true;
    do {  // fill bytes before the marker code
      if (!source.Byte(b)) return true;
    } while (b == 0xFF);
    const int marker = b;
    if (marker == kMarkerSos || marker == kMarkerEoi || marker == 0) return true;
    if (marker == kMarkerTem || (marker >= 0xD0 && marker <= 0xD8)) continue;
    std::uint8_t hi = 0, lo = 0;
    if (!source.Byte(hi) || !source.Byte(lo)) return true;
    const std::size_t length = static_cast<std::size_t>(hi) << 8 | lo;
    if (length < 2) return true;
    std::span<const std::uint8_t> body;
    const bool want = wanted(marker);
    if (!source.Take(length - 2, want, body)) return true;
    if (want) visit(marker, body);
  }
}

std::uint16_t Read16(const std::uint8_t* p, bool bigEndian) {
  return static_cast<std::uint16_t>(bigEndian ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]));
}

std::uint32_t Read32(const std::uint8_t* p, bool bigEndian) {
  const std::uint32_t a = Read16(p, bigEndian);
  const std::uint32_t b = Read16(p + 2, bigEndian);
  return bigEndian ? (a << 16 | b) : (b << 16 | a);
}

// Collects the segments to carry while the header is walked.
class Picker {
 public:
  explicit Picker(bool keep) : keep_(keep) {}

  static bool Wanted(int marker) { return marker == kMarkerApp1 || marker == kMarkerApp2; }

  void Visit(int marker, std::span<const std::uint8_t> body) {
    if (IsIcc(marker, body)) {
      ++iccSegments_;
      if (iccSegments_ > kMaxIccSegments) return;
    } else if (IsExif(marker, body)) {
      if (!exifSeen_) orientation_ = ExifOrientation(body);
      exifSeen_ = true;
      if (!keep_) return;
    } else if (!(keep_ && IsXmp(marker, body))) {
      return;
    }
    if (kept_ + body.size() > kMaxKeptBytes) return;
    kept_ += body.size();
    segments_.push_back(JpegSegment{marker, std::vector<std::uint8_t>(body.begin(), body.end())});
  }

  std::vector<JpegSegment> Result() && {
    if (iccSegments_ > kMaxIccSegments)
      std::erase_if(segments_, [](const JpegSegment& s) { return IsIcc(s.marker, s.body); });
    if (!keep_ && orientation_ != 1) segments_.insert(segments_.begin(), OrientationSegment(orientation_));
    return std::move(segments_);
  }

 private:
  bool keep_;
  bool exifSeen_ = false;
  int orientation_ = 1;
  std::size_t iccSegments_ = 0;
  std::size_t kept_ = 0;
  std::vector<JpegSegment> segments_;
};

template <class Source>
std::vector<JpegSegment> Pick(Source& source, bool keep) {
  Picker picker(keep);
  WalkHeader(source, &Picker::Wanted,
             [&](int marker, std::span<const std::uint8_t> body) { picker.Visit(marker, body); });
  return std::move(picker).Result();
}

}  // namespace

bool ForEachHeaderSegment(std::span<const std::uint8_t> file,
                          const std::function<void(int marker, std::span<const std::uint8_t> body)>& visit) {
  SpanSource source(file);
  return WalkHeader(source, [](int) { return true; }, visit);
}

int ExifOrientation(std::span<const std::uint8_t> app1Body) {
  if (!StartsWith(app1Body, kExifId)) return 1;
  const std::span<const std::uint8_t> tiff = app1Body.subspan(kExifId.size());
  if (tiff.size() < 8) return 1;
  bool big = false;
  if (tiff[0] == 'M' && tiff[1] == 'M') big = true;
  else if (!(tiff[0] == 'I' && tiff[1] == 'I')) return 1;
  if (Read16(&tiff[2], big) != 42) return 1;
  const std::uint64_t ifd = Read32(&tiff[4], big);
  if (ifd + 2 > tiff.size()) return 1;
  const std::size_t count = Read16(&tiff[ifd], big);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t entry = ifd + 2 + 12 * i;
    if (entry + 12 > tiff.size()) return 1;
    const std::uint8_t* e = &tiff[entry];
    if (Read16(e, big) != kOrientationTag) continue;
    const std::uint16_t type = Read16(e + 2, big);
    if (Read32(e + 4, big) < 1) return 1;
    std::uint32_t value = 0;
    if (type == kTypeShort) value = Read16(e + 8, big);
    else if (type == kTypeLong) value = Read32(e + 8, big);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
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
  SpanSource source(sourceFile);
  return Pick(source, keepMetadata);
}

std::vector<JpegSegment> SegmentsToCarry(const std::string& sourcePath, bool keepMetadata) {
  return SegmentsToCarry(OpenInputFile(sourcePath), keepMetadata);
}

std::vector<JpegSegment> SegmentsToCarry(const InputFile& file, bool keepMetadata) {
  FileSource source(file);
  return Pick(source, keepMetadata);
}

}  // namespace imaging
