#pragma once
// Minolta MRW: a header of records ("\0PRD", "\0TTW", "\0WBG", "\0RIF"),
// the TTW record holding the TIFF structure.

#include "prosvitek/files/containers/exif_location.h"

namespace files {

ExifLocation FindMrwExif(const InputFile& file);

}  // namespace files
