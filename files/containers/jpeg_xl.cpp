#include "containers/jpeg_xl.h"

#include "containers/decompress.h"
#include "containers/iso_boxes.h"

namespace files {

ExifLocation FindJpegXlExif(const InputFile& file) {
  std::uint8_t head[2];
  if (file.ReadAt(0, head, 2) == 2 && head[0] == 0xFF && head[1] == 0x0A) return ExifLocation::Missing();  // bare codestream
  BoxBudget budget;
  BoxReader boxes(file, 0, file.size(), budget);
  while (const auto box = boxes.Next()) {
    if (box->type == FourCc("Exif")) return TiffAfterHeaderOffset(file, box->DataOffset(), box->DataSize());
    if (box->type != FourCc("brob") || box->DataSize() < 4) continue;
    std::uint8_t inner[4];
    if (file.ReadAt(box->DataOffset(), inner, 4) != 4 || BigEndianAt(inner, 4) != FourCc("Exif")) continue;
    // The compressed stream is no larger than the block it gives, give or take Brotli's framing.
    if (box->DataSize() - 4 > kMostExifBytes) return ExifLocation::NotRead("the compressed Exif box is too large");
    const Bytes stream = file.Read(box->DataOffset() + 4, static_cast<std::size_t>(box->DataSize() - 4));
    std::optional<Bytes> payload = BrotliDecode(stream, kMostExifBytes);
    if (!payload) return ExifLocation::Damaged("the compressed Exif box does not decompress");
    return TiffAfterHeaderOffset(std::move(*payload));
  }
  return boxes.Problem().empty() ? ExifLocation::Missing() : ExifLocation::Damaged(boxes.Problem());
}

}  // namespace files
