#include "prosvitek/files/jpeg_segments.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace files {

namespace {

bool StartsWith(std::span<const std::uint8_t> body, std::string_view id) {
  return body.size() >= id.size() && std::memcmp(body.data(), id.data(), id.size()) == 0;
}

constexpr int kMarkerTem = 0x01;

}  // namespace

SegmentKind IdentifySegment(int marker, std::span<const std::uint8_t> body) {
  using namespace std::string_view_literals;
  switch (marker) {
    case kMarkerApp0:
      return StartsWith(body, "JFIF\0"sv) ? SegmentKind::Jfif : SegmentKind::Other;
    case kMarkerApp1:
      if (StartsWith(body, "Exif\0"sv) && body.size() >= kExifHeaderBytes) return SegmentKind::Exif;
      if (StartsWith(body, "http://ns.adobe.com/xap/1.0/\0"sv)) return SegmentKind::Xmp;
      if (StartsWith(body, "http://ns.adobe.com/xmp/extension/\0"sv)) return SegmentKind::XmpExtension;
      return SegmentKind::Other;
    case kMarkerApp2:
      return StartsWith(body, "ICC_PROFILE\0"sv) ? SegmentKind::Icc : SegmentKind::Other;
    case kMarkerApp13:
      return StartsWith(body, "Photoshop 3.0\0"sv) ? SegmentKind::Iptc : SegmentKind::Other;
    case kMarkerComment:
      return SegmentKind::Comment;
    default:
      return SegmentKind::Other;
  }
}

JpegSegmentWalker::JpegSegmentWalker(const InputFile& file, WalkRules rules) : file_(file), rules_(rules) {
  if (Byte() != 0xFF || Byte() != kMarkerSoi) end_ = WalkEnd::NotJpeg;
}

int JpegSegmentWalker::Byte() {
  if (offset_ < bufferStart_ || offset_ >= bufferStart_ + bufferSize_) {
    bufferStart_ = offset_;
    bufferSize_ = file_.ReadAt(offset_, buffer_, sizeof buffer_);
    if (bufferSize_ == 0) return -1;
  }
  return buffer_[offset_++ - bufferStart_];
}

std::optional<SegmentHeader> JpegSegmentWalker::Next() {
  while (end_ == WalkEnd::Running) {
    int b = Byte();
    if (rules_.strict && b >= 0 && b != 0xFF) {
      end_ = WalkEnd::NotAMarker;
      break;
    }
    while (b == 0xFF) b = Byte();  // fill bytes before the marker code
    if (b < 0) {
      end_ = WalkEnd::EndOfFile;
      break;
    }
    const int marker = b;
    if (rules_.strict && (marker == kMarkerTem || (marker >= 0xD0 && marker <= kMarkerSoi))) continue;
    if (rules_.strict && marker == 0) {
      end_ = WalkEnd::NotAMarker;  // a stuffed zero: no marker here
      break;
    }
    if (rules_.strict && marker == kMarkerEoi) return SegmentHeader{marker, 2, offset_};
    const int hi = Byte();
    const int lo = hi < 0 ? -1 : Byte();
    if (lo < 0) {
      end_ = WalkEnd::EndOfFile;
      break;
    }
    const auto length = static_cast<std::uint16_t>(hi << 8 | lo);
    if (length < 2) {
      end_ = WalkEnd::BadLength;
      break;
    }
    SegmentHeader segment{marker, length, offset_};
    offset_ += segment.BodyLength();  // past the end of the file the next read finds nothing
    return segment;
  }
  return std::nullopt;
}

Bytes JpegSegmentWalker::Body(const SegmentHeader& segment, std::size_t limit) const {
  const std::uint64_t left = file_.size() > segment.bodyOffset ? file_.size() - segment.bodyOffset : 0;
  Bytes body(static_cast<std::size_t>(std::min<std::uint64_t>(std::min(segment.BodyLength(), limit), left)));
  body.resize(ReadBody(segment, body.data(), body.size()));
  return body;
}

std::size_t JpegSegmentWalker::ReadBody(const SegmentHeader& segment, std::uint8_t* out, std::size_t limit) const {
  const std::size_t length = std::min(segment.BodyLength(), limit);
  if (length == 0) return 0;  // an empty body's buffer may be no buffer at all
  if (segment.bodyOffset >= bufferStart_ && segment.bodyOffset + length <= bufferStart_ + bufferSize_) {
    std::memcpy(out, buffer_ + (segment.bodyOffset - bufferStart_), length);
    return length;
  }
  return file_.ReadAt(segment.bodyOffset, out, length);
}

SegmentKind JpegSegmentWalker::Kind(const SegmentHeader& segment) const {
  const Bytes start = Body(segment, kIdentifierBytes);
  return IdentifySegment(segment.marker, start);
}

}  // namespace files
