#include "prosvitek/files/file_kind.h"

#include <cstring>

namespace files {

namespace {

bool At(std::span<const std::uint8_t> head, std::size_t offset, std::string_view bytes) {
  return head.size() >= offset + bytes.size() && std::memcmp(head.data() + offset, bytes.data(), bytes.size()) == 0;
}

// The brand of an ISO base media file ("ftyp" box first): the major one, or
// a compatible one that says what the file holds.
FileKind IsoMediaKind(std::span<const std::uint8_t> head) {
  using namespace std::string_view_literals;
  const auto brandIs = [&](std::size_t offset, std::initializer_list<std::string_view> brands) {
    for (std::string_view b : brands)
      if (At(head, offset, b)) return true;
    return false;
  };
  const auto heif = {"heic"sv, "heix"sv, "heim"sv, "heis"sv, "hevc"sv, "hevx"sv, "mif1"sv, "msf1"sv};
  const auto avif = {"avif"sv, "avis"sv};
  if (brandIs(8, {"crx "sv})) return FileKind::CanonCr3;
  if (brandIs(8, avif)) return FileKind::Avif;
  if (brandIs(8, heif)) {
    // "mif1" says only "an image file"; a compatible "avif" tells AVIF from HEIC.
    for (std::size_t offset = 16; offset + 4 <= head.size(); offset += 4)
      if (brandIs(offset, avif)) return FileKind::Avif;
    return FileKind::Heif;
  }
  return FileKind::OtherIsoMedia;
}

}  // namespace

FileKind DetectFileKind(std::span<const std::uint8_t> head) {
  using namespace std::string_view_literals;
  // A damaged byte after the start of image still leaves a JPEG file to read.
  if (At(head, 0, "\xFF\xD8"sv)) return FileKind::Jpeg;
  if (At(head, 0, "II\x1A\0\0\0HEAPCCDR"sv)) return FileKind::CanonCrw;
  if (At(head, 0, "II*\0"sv) || At(head, 0, "MM\0*"sv)) return FileKind::Tiff;
  if (At(head, 0, "II+\0"sv) || At(head, 0, "MM\0+"sv)) return FileKind::BigTiff;
  if (At(head, 0, "IIRO"sv) || At(head, 0, "MMOR"sv) || At(head, 0, "IIRS"sv)) return FileKind::OlympusRaw;
  if (At(head, 0, "IIU\0"sv)) return FileKind::PanasonicRaw;
  if (At(head, 4, "ftyp"sv)) return IsoMediaKind(head);
  if (At(head, 0, "\x89PNG\r\n\x1A\n"sv)) return FileKind::Png;
  if (At(head, 0, "RIFF"sv) && At(head, 8, "WEBP"sv)) return FileKind::WebP;
  if (At(head, 0, "\xFF\x0A"sv) || At(head, 0, "\0\0\0\x0CJXL \r\n\x87\n"sv)) return FileKind::JpegXl;
  if (At(head, 0, "FUJIFILMCCD-RAW"sv)) return FileKind::FujifilmRaf;
  if (At(head, 0, "\0MRM"sv)) return FileKind::MinoltaMrw;
  if (At(head, 0, "GIF87a"sv) || At(head, 0, "GIF89a"sv)) return FileKind::Gif;
  if (At(head, 0, "BM"sv) && head.size() >= 14) return FileKind::Bmp;
  if (At(head, 0, "%PDF-"sv)) return FileKind::Pdf;
  return FileKind::Unknown;
}

FileKind DetectFileKind(const InputFile& file) {
  std::uint8_t head[kKindProbeBytes];
  const std::size_t n = file.ReadAt(0, head, sizeof head);
  return DetectFileKind(std::span<const std::uint8_t>(head, n));
}

std::string_view FileKindName(FileKind kind) {
  switch (kind) {
    case FileKind::Jpeg: return "JPEG";
    case FileKind::Tiff: return "TIFF";
    case FileKind::BigTiff: return "BigTIFF";
    case FileKind::OlympusRaw: return "Olympus ORF";
    case FileKind::PanasonicRaw: return "Panasonic RW2";
    case FileKind::Heif: return "HEIC";
    case FileKind::Avif: return "AVIF";
    case FileKind::CanonCr3: return "Canon CR3";
    case FileKind::OtherIsoMedia: return "MP4/QuickTime";
    case FileKind::Png: return "PNG";
    case FileKind::WebP: return "WebP";
    case FileKind::JpegXl: return "JPEG XL";
    case FileKind::FujifilmRaf: return "Fujifilm RAF";
    case FileKind::MinoltaMrw: return "Minolta MRW";
    case FileKind::CanonCrw: return "Canon CRW";
    case FileKind::Gif: return "GIF";
    case FileKind::Bmp: return "BMP";
    case FileKind::Pdf: return "PDF";
    case FileKind::Unknown: break;
  }
  return "neznámý";
}

}  // namespace files
