#pragma once
// What of a source photo's metadata travels into a photo saved from it.
//
// By default only what the picture needs to be shown as taken: the ICC
// colour profile (every APP2 ICC_PROFILE segment, in order) and, when the
// source is not upright, a minimal EXIF segment holding only its
// orientation. Camera data, GPS and the rest stay out. With "keep metadata"
// the source's EXIF, XMP and ICC segments are copied as they are.
//
// Only the marker segments before the first scan are read; every offset is
// checked against the bytes at hand, so a hostile file can make nothing but
// an empty or shorter list.

#include "files/input_file.h"
#include "imaging/jpeg_segments.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace imaging {

inline constexpr int kMarkerApp1 = 0xE1;
inline constexpr int kMarkerApp2 = 0xE2;

// Upper bounds on what is carried over, so that a file stuffed with segments
// cannot make a save hold gigabytes. An ICC profile spans at most 255
// segments (its sequence numbers are one byte); a source with more carries
// no profile at all, since none could be reassembled from it.
inline constexpr std::size_t kMaxIccSegments = 255;
inline constexpr std::size_t kMaxKeptBytes = std::size_t{64} << 20;

// Calls visit(marker, body) for each marker segment of a JPEG file after SOI
// and before the first scan, in order; stops at SOS, EOI, a truncated
// segment or bytes that are not a marker. Standalone markers (RSTn, TEM) are
// skipped. Gives false when the file does not start with SOI.
bool ForEachHeaderSegment(std::span<const std::uint8_t> file,
                          const std::function<void(int marker, std::span<const std::uint8_t> body)>& visit);

// The orientation (1 to 8) in IFD0 of an APP1 EXIF segment's body; 1 when
// the body is no EXIF block, has no orientation or holds an invalid one.
int ExifOrientation(std::span<const std::uint8_t> app1Body);

// An APP1 EXIF segment whose IFD0 holds only the Orientation tag.
JpegSegment OrientationSegment(int orientation);

// The segments a photo saved from this source must carry, in the order the
// encoder writes them after the JFIF header.
std::vector<JpegSegment> SegmentsToCarry(std::span<const std::uint8_t> sourceFile, bool keepMetadata);

// The same, reading only the head of the file up to the first scan (never the
// whole file, never blocking on a non-regular one). Throws FileError.
std::vector<JpegSegment> SegmentsToCarry(const std::string& sourcePath, bool keepMetadata);
std::vector<JpegSegment> SegmentsToCarry(const files::InputFile& source, bool keepMetadata);
// The same within a memory budget: throws PhotoTooLarge, before holding more,
// when the segments to carry would take more than `budget` bytes.
std::vector<JpegSegment> SegmentsToCarry(const files::InputFile& source, bool keepMetadata, std::uint64_t budget);

}  // namespace imaging
