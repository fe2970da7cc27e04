#include "prosvitek/files/containers/doors.h"

#include "containers/bigtiff.h"
#include "containers/cr3.h"
#include "containers/crw.h"
#include "containers/heif.h"
#include "containers/jpeg_xl.h"
#include "containers/mrw.h"
#include "containers/png.h"
#include "containers/raf.h"
#include "containers/webp.h"

namespace files {

bool KindHoldsExif(FileKind kind) {
  switch (kind) {
    case FileKind::Unknown:
    case FileKind::OtherIsoMedia:
    case FileKind::Gif:
    case FileKind::Bmp:
    case FileKind::Pdf:
      return false;
    default:
      return true;
  }
}

ExifLocation FindExif(const InputFile& file, FileKind kind) {
  switch (kind) {
    case FileKind::Jpeg: return ExifLocation::InFile(0, file.size(), ExifBlockRole::Jpeg);
    case FileKind::Tiff:
    case FileKind::OlympusRaw:
    case FileKind::PanasonicRaw: return ExifLocation::InFile(0, file.size());
    case FileKind::BigTiff: return FindBigTiffExif(file);
    case FileKind::Heif:
    case FileKind::Avif: return FindHeifExif(file);
    case FileKind::CanonCr3: return FindCr3Exif(file);
    case FileKind::Png: return FindPngExif(file);
    case FileKind::WebP: return FindWebpExif(file);
    case FileKind::JpegXl: return FindJpegXlExif(file);
    case FileKind::FujifilmRaf: return FindRafExif(file);
    case FileKind::MinoltaMrw: return FindMrwExif(file);
    case FileKind::CanonCrw: return FindCrwExif(file);
    default: return ExifLocation::Missing();
  }
}

}  // namespace files
