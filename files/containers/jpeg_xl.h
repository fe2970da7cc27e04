#pragma once
// JPEG XL: the "Exif" box of the container (a 4-byte offset to the TIFF
// header first), or a Brotli-compressed "brob" box holding one. A bare
// codestream has no boxes and so no EXIF.

#include "prosvitek/files/containers/exif_location.h"

namespace files {

ExifLocation FindJpegXlExif(const InputFile& file);

}  // namespace files
