#pragma once
// BigTIFF: its directories (8-byte counts and offsets) read and handed on as
// a classic TIFF structure built in memory: IFD0 and the directories the
// walk follows (EXIF, GPS, interoperability, the first sub-image), with
// 8-byte numbers that fit in 4 bytes narrowed and the rest left out.

#include "prosvitek/files/containers/exif_location.h"

namespace files {

ExifLocation FindBigTiffExif(const InputFile& file);

}  // namespace files
