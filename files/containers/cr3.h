#pragma once
// Canon CR3: an ISO base media file whose "moov" box holds Canon's "uuid"
// box, and in it four TIFF structures: CMT1 (IFD0), CMT2 (the EXIF
// directory), CMT3 (Canon's maker note) and CMT4 (GPS).

#include "prosvitek/files/containers/exif_location.h"

namespace files {

ExifLocation FindCr3Exif(const InputFile& file);

}  // namespace files
