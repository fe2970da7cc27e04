#pragma once
// PNG: the "eXIf" chunk, or the older "Raw profile type exif" (or "APP1")
// text chunk that holds the EXIF block as hexadecimal digits, plain (tEXt,
// iTXt) or compressed (zTXt, compressed iTXt).

#include "prosvitek/files/containers/exif_location.h"

namespace files {

ExifLocation FindPngExif(const InputFile& file);

// The bytes of a raw profile text ("\nexif\n   1234\n4578696600...").
std::optional<Bytes> DecodeRawProfile(std::span<const std::uint8_t> text);

}  // namespace files
