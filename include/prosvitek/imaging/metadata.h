#pragma once
// What of a source photo's metadata travels into a photo saved from it.
//
// By default only what the picture needs to be shown as taken: the ICC
// colour profile and, when the source is not upright, a minimal EXIF segment
// holding only its orientation. Camera data, GPS and the rest stay out. With
// "keep metadata" the source's EXIF, XMP, IPTC and comment segments travel
// too, as they are, except that the EXIF thumbnail is made anew from the
// brightened photo and Photoshop's thumbnail among the IPTC data is left out.
//
// A colour profile travels whole or not at all, and only when its colour
// space is the saved photo's: the encoder always writes three components, so
// RGB profiles travel and grey or CMYK ones are left out.
//
// Only the marker segments before the first scan are read; every offset is
// checked against the bytes at hand, so a hostile file can make nothing but
// an empty or shorter list.

#include "prosvitek/files/input_file.h"
#include "prosvitek/imaging/brighten.h"
#include "prosvitek/imaging/jpeg_codec.h"
#include "prosvitek/imaging/jpeg_segments.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>
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
// The most a segment's body can hold.
inline constexpr std::size_t kMaxSegmentBody = 65533;

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

// Whether an ICC profile whose header (its first bytes, at least 20) is
// `profileHeader` suits a saved photo of `components` colour components:
// "RGB " profiles three, "GRAY" ones one.
bool ProfileSuits(std::span<const std::uint8_t> profileHeader, int components);

// The thumbnail of an APP1 EXIF segment's body: where IFD1 puts its JPEG
// bytes in the TIFF block, and their width and height (0 when they are no
// readable JPEG). `present` without `usable` when IFD1 exists but holds no
// thumbnail that can be replaced in place.
struct ExifThumbnail {
  bool present = false;
  bool usable = false;
  std::uint64_t offset = 0;  // in the TIFF block
  std::uint64_t length = 0;
  int width = 0;
  int height = 0;
};
ExifThumbnail FindExifThumbnail(std::span<const std::uint8_t> app1Body);

// The body with IFD1's JPEG thumbnail replaced by `thumbnail` (IFD1's
// JPEGInterchangeFormat and its length patched, the old bytes removed or
// zeroed). With an empty `thumbnail`, when the new one would not fit in the
// segment, or when IFD1 holds no thumbnail that can be replaced, the
// thumbnail is left out: IFD0 no longer points to IFD1 and the old bytes are
// gone. A body without IFD1 comes back unchanged.
Bytes WithThumbnail(std::span<const std::uint8_t> app1Body, std::span<const std::uint8_t> thumbnail);

// An IPTC (APP13) body without Photoshop's thumbnail resources, which would
// show the dark original too; unchanged when its resources do not parse
// whole within the segment.
Bytes WithoutPhotoshopThumbnail(std::span<const std::uint8_t> app13Body);

struct CarryRequest {
  bool keepMetadata = false;
  // The saved photo's brightening, for the renewed EXIF thumbnail: the
  // exponent and the settings of each step, asked with the photo's rows
  // (RenderRequest's). Without settings a kept EXIF block loses its
  // thumbnail rather than keep the old one.
  double exponent = ExponentFor(kDefaultStrength);
  SettingsAt settingsAt;
  // For the thumbnail's decode of the source.
  DecodeLimits limits;
  std::stop_token stop;
  // The segments are held through the save: more than this many bytes of
  // them refuse the photo (PhotoTooLarge) before more are held.
  std::uint64_t budget = UINT64_MAX;
};

// The segments a photo saved from this source must carry, in the order the
// encoder writes them after the JFIF header (the source's order). Reads the
// head of the file up to the first scan (never the whole file, never
// blocking on a non-regular one) and, for a renewed thumbnail, decodes the
// photo small. Throws FileError, and JpegReader's errors from the thumbnail.
std::vector<JpegSegment> SegmentsToCarry(const files::InputFile& source, const CarryRequest& request);

// The same without a renewed thumbnail.
std::vector<JpegSegment> SegmentsToCarry(std::span<const std::uint8_t> sourceFile, bool keepMetadata);
std::vector<JpegSegment> SegmentsToCarry(const std::string& sourcePath, bool keepMetadata);
std::vector<JpegSegment> SegmentsToCarry(const files::InputFile& source, bool keepMetadata);

}  // namespace imaging
