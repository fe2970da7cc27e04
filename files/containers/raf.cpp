#include "containers/raf.h"

#include <algorithm>

namespace files {

namespace {

// After the identifier, format version, camera id and name, directory version
// and a reserved stretch: the preview's offset and length, big-endian.
constexpr std::uint64_t kPreviewPlace = 84;

}  // namespace

ExifLocation FindRafExif(const InputFile& file) {
  std::uint8_t place[8];
  if (file.ReadAt(kPreviewPlace, place, 8) != 8) return ExifLocation::Damaged("RAF header cut short");
  const std::uint64_t offset = BigEndianAt(place, 4);
  const std::uint64_t length = BigEndianAt(place + 4, 4);
  if (offset < kPreviewPlace + 8 || offset >= file.size() || length < 4) return ExifLocation::Damaged("no JPEG preview where the header says");
  // A file cut short inside the preview still has its EXIF, which comes first.
  return ExifLocation::InFile(offset, std::min(length, file.size() - offset), ExifBlockRole::Jpeg);
}

}  // namespace files
