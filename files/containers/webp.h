#pragma once
// WebP: the RIFF "EXIF" chunk, with or without "Exif\0\0" before its TIFF
// header.

#include "prosvitek/files/containers/exif_location.h"

namespace files {

ExifLocation FindWebpExif(const InputFile& file);

}  // namespace files
