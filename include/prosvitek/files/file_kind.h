#pragma once
// What kind of file a file is, told by its first bytes, never by its name.

#include "prosvitek/files/input_file.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace files {

enum class FileKind {
  Unknown,
  Jpeg,
  Tiff,      // classic TIFF and the TIFF-based raw files (DNG, CR2, NEF, ARW, PEF, ...)
  BigTiff,   // TIFF with 8-byte offsets
  OlympusRaw,    // ORF: a TIFF structure with the magic "RO"
  PanasonicRaw,  // RW2: a TIFF structure with the magic 0x55
  Heif,      // ISO base media with a HEIC/HEIF brand
  Avif,      // ISO base media with an AVIF brand
  CanonCr3,  // ISO base media with the "crx " brand
  OtherIsoMedia,  // ISO base media of another brand (MP4, QuickTime, ...)
  Png,
  WebP,
  JpegXl,    // bare codestream or container
  FujifilmRaf,
  MinoltaMrw,
  CanonCrw,  // CIFF
  Gif,
  Bmp,
  Pdf,
};

// Bytes from the file's start that DetectFileKind looks at (fewer are fine).
inline constexpr std::size_t kKindProbeBytes = 32;

FileKind DetectFileKind(std::span<const std::uint8_t> head);
// Reads the first bytes of the file.
FileKind DetectFileKind(const InputFile& file);

// The name a user knows the kind by ("PNG", "HEIC", "TIFF", "Canon CR3"); "neznámý" for Unknown.
std::string_view FileKindName(FileKind kind);

}  // namespace files
