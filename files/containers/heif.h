#pragma once
// HEIC, HEIF and AVIF: the "Exif" item, named in the "iinf" box of the
// top-level "meta" box and placed by its "iloc" entry (in the file, or in
// the "idat" box), with a 4-byte offset to the TIFF header before it.

#include "prosvitek/files/containers/exif_location.h"

namespace files {

ExifLocation FindHeifExif(const InputFile& file);

}  // namespace files
