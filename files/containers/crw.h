#pragma once
// Canon CRW (CIFF): no EXIF block, but heaps of records. Make and model,
// the time of the shot, the exposure (shutter speed and aperture), the image
// size, and the camera settings and shot information (as a Canon maker note)
// are taken from their records and handed on as a TIFF structure built in
// memory, so that the one walk reads them as it reads any EXIF.

#include "prosvitek/files/containers/exif_location.h"

namespace files {

ExifLocation FindCrwExif(const InputFile& file);

}  // namespace files
