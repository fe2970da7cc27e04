#pragma once
// The one walk over a JPEG file's marker segments, from the start of image
// to the first scan, reading only the segment headers unless a body is asked for.

#include "prosvitek/files/input_file.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace files {

inline constexpr int kMarkerSoi = 0xD8;
inline constexpr int kMarkerEoi = 0xD9;
inline constexpr int kMarkerSos = 0xDA;
inline constexpr int kMarkerApp0 = 0xE0;
inline constexpr int kMarkerApp1 = 0xE1;
inline constexpr int kMarkerApp2 = 0xE2;
inline constexpr int kMarkerApp13 = 0xED;
inline constexpr int kMarkerComment = 0xFE;

// SOF0-SOF15, the frame headers, less the three markers among them that are
// not (DHT, JPG, DAC).
constexpr bool IsFrameMarker(int marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// What an application segment holds, told by its marker and the identifier
// its body starts with.
enum class SegmentKind { Other, Jfif, Exif, Xmp, XmpExtension, Icc, Iptc, Comment };

// Enough of a body's start to tell its kind.
inline constexpr std::size_t kIdentifierBytes = 35;

// An APP1 body is EXIF when it starts "Exif" and a zero byte; the second zero
// is not asked for (some writers put another byte there), but six bytes must
// be present, so that the TIFF block starts where it is expected.
SegmentKind IdentifySegment(int marker, std::span<const std::uint8_t> bodyStart);

// Bytes before the TIFF block in an EXIF body ("Exif\0\0").
inline constexpr std::size_t kExifHeaderBytes = 6;

struct WalkRules {
  // true: a byte other than 0xFF where a marker should stand ends the walk,
  // and the stand-alone markers (TEM, RST0-7, a stray SOI) are passed over, as a decoder
  // reads the file. false: any byte after a run of 0xFF is taken as a marker
  // and every marker is followed by a length, as the EXIF reader has always
  // read files (a damaged byte then reads as a segment of its own).
  bool strict = true;
};

struct SegmentHeader {
  int marker = 0;
  std::uint16_t storedLength = 0;  // counts its own two bytes
  std::uint64_t bodyOffset = 0;    // where the body starts in the file
  std::size_t BodyLength() const { return storedLength >= 2 ? storedLength - 2u : 0u; }
};

enum class WalkEnd {
  Running,
  EndOfFile,     // the file ended where a segment should start
  NotAMarker,    // strict: a byte other than 0xFF where a marker should stand
  BadLength,     // a stored length below 2, which cannot hold itself
  NotJpeg,       // the file does not start with SOI
};

class JpegSegmentWalker {
 public:
  explicit JpegSegmentWalker(const InputFile& file, WalkRules rules = {});

  // The next segment's header, the scan's (SOS) and end of image's included;
  // nullopt once the walk has ended (see End()). Bodies are not read.
  std::optional<SegmentHeader> Next();
  WalkEnd End() const { return end_; }

  // Up to `limit` bytes of a body, fewer when the file ends inside it.
  Bytes Body(const SegmentHeader& segment, std::size_t limit = SIZE_MAX) const;
  // The same into `out`; gives the number of bytes. A body that came in with the headers
  // around it costs no second read.
  std::size_t ReadBody(const SegmentHeader& segment, std::uint8_t* out, std::size_t limit = SIZE_MAX) const;
  // Its first kIdentifierBytes, enough for IdentifySegment.
  SegmentKind Kind(const SegmentHeader& segment) const;

 private:
  int Byte();

  const InputFile& file_;
  WalkRules rules_;
  std::uint64_t offset_ = 0;  // of the next byte to read
  std::uint8_t buffer_[16384];
  std::uint64_t bufferStart_ = 0;
  std::size_t bufferSize_ = 0;
  WalkEnd end_ = WalkEnd::Running;
};

}  // namespace files
