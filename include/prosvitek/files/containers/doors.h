#pragma once
// The one choice of door: a file's kind (told by its bytes) decides which
// reader looks for its EXIF data. JPEG and TIFF files are their own block.

#include "prosvitek/files/containers/exif_location.h"
#include "prosvitek/files/file_kind.h"

namespace files {

// Whether files of this kind can hold EXIF data at all.
bool KindHoldsExif(FileKind kind);

// Where the file keeps its EXIF data; Missing for kinds that hold none.
ExifLocation FindExif(const InputFile& file, FileKind kind);

}  // namespace files
