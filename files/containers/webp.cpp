#include "containers/webp.h"

#include <algorithm>
#include <cstring>

namespace files {

namespace {

// A WebP holds a handful of chunks (image, ICC, EXIF, XMP, animation frames).
constexpr int kMostChunks = 1 << 14;

}  // namespace

ExifLocation FindWebpExif(const InputFile& file) {
  std::uint8_t riff[12];
  if (file.ReadAt(0, riff, sizeof riff) != sizeof riff) return ExifLocation::Damaged("RIFF header cut short");
  // The RIFF size counts from after itself; a file cut short ends the walk earlier.
  const std::uint64_t end = std::min<std::uint64_t>(8 + LittleEndianAt(riff + 4, 4), file.size());
  std::uint64_t at = 12;
  std::optional<FrameSize> frame;
  for (int chunks = 0; at + 8 <= end; ++chunks) {
    if (chunks == kMostChunks) return ExifLocation::NotRead("too many chunks");
    std::uint8_t header[8];
    if (file.ReadAt(at, header, 8) != 8) break;
    const std::uint64_t size = LittleEndianAt(header + 4, 4);
    const std::uint64_t data = at + 8;
    if (size > end - data) return ExifLocation::Damaged("chunk runs past the end of the file");
    // The extended format's header, which files with EXIF need, gives the canvas (each side less 1).
    std::uint8_t canvas[10];
    if (std::memcmp(header, "VP8X", 4) == 0 && size >= 10 && file.ReadAt(data, canvas, 10) == 10)
      frame = FrameSize{static_cast<std::uint32_t>(LittleEndianAt(canvas + 4, 3) + 1),
                        static_cast<std::uint32_t>(LittleEndianAt(canvas + 7, 3) + 1)};
    if (std::memcmp(header, "EXIF", 4) == 0) {
      std::uint8_t head[16];
      const std::size_t n = file.ReadAt(data, head, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof head, size)));
      const auto start = TiffStartInPayload({head, n});
      if (!start) return ExifLocation::Damaged("no TIFF header in the EXIF chunk");
      ExifLocation location = ExifLocation::InFile(data + *start, size - *start);
      location.frame = frame;
      return location;
    }
    at = data + size + (size & 1);  // chunks are padded to an even size
  }
  return ExifLocation::Missing();
}

}  // namespace files
