#pragma once
// Shared helpers of the EXIF reader tests: reader options, byte literals, and reading built
// blocks through the container.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "exif/container.h"
#include "prosvitek/files/input_file.h"
#include "exif_builder.h"

namespace exiftest {

// Options for a reader whose traces carry tag numbers, sizes and positions.
inline exif::ReaderOptions Detailed(int32_t level = 1) {
  exif::ReaderOptions options;
  options.traceDetailLevel = level;
  return options;
}

inline std::string ByteText(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

// Position in a JPEG EXIF block of TIFF offset `offset`: the TIFF header starts at 9.
constexpr int64_t JpegPos(uint32_t offset) { return 9 + int64_t{offset}; }

// Bytes of a test read as a file; they must outlive it.
inline files::InputFile InMemory(std::string_view bytes) {
  return files::InputFile::FromMemory(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

// Reads a JPEG whose only metadata is an EXIF segment holding `tiff`.
inline std::unique_ptr<exif::detail::TimgData> ReadJpegExif(
    const std::string& tiff, int32_t buildMode = exif::detail::kBuildAll,
    const exif::ReaderOptions& options = {}) {
  auto reader = std::make_unique<exif::detail::TimgData>(buildMode, options);
  reader->ProcessBytes("photo.jpg", Jpeg({ExifSegment(tiff)}));
  return reader;
}

// Scans a JPEG holding `tiff` without ProcessBytes, so that ErrorText keeps what the scan set.
inline std::unique_ptr<exif::detail::TimgData> ScanOnly(const std::string& tiff) {
  auto reader = std::make_unique<exif::detail::TimgData>();
  const std::string jpeg = Jpeg({ExifSegment(tiff)});
  reader->ScanJpegSections(InMemory(jpeg));
  return reader;
}

// The container's parsed object, which every read of a built EXIF segment creates.
inline exif::detail::TImageInfo& Info(const std::unique_ptr<exif::detail::TimgData>& reader) {
  if (!reader->ExifInfo) throw std::logic_error("no parsed EXIF object");
  return *reader->ExifInfo;
}
// A reader that is a temporary would leave the reference dangling.
exif::detail::TImageInfo& Info(std::unique_ptr<exif::detail::TimgData>&& reader) = delete;

}  // namespace exiftest
