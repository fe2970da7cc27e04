#pragma once
// Fujifilm RAF: the EXIF of the JPEG preview whose place the header gives.

#include "prosvitek/files/containers/exif_location.h"

namespace files {

ExifLocation FindRafExif(const InputFile& file);

}  // namespace files
