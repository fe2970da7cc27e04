#pragma once
// Maker notes: recognises the camera maker of an EXIF object from its make and reads the
// maker's private directory out of the MakerNote value (tag 0x927C) into the object's tag
// store and MakerNoteTraceText. The directory walk runs it when it meets the tag:
//
//   exif::detail::TmsInfo reader(info.FromTiff, info);
//   info.MakerNoteRead = reader.ReadMakerNote(info, budget);

#include <cstdint>
#include <optional>

#include "makernotes/maker_directory.h"

namespace exif::detail {

class TImageInfo;

class TmsInfo {
 public:
  // For the maker note that `info` holds in MakerNoteData at MakerNotePos.
  TmsInfo(bool fromTiff, TImageInfo& info);

  // Reads the note of `info` when its make names one of the known makers, spending `budget`;
  // true for a known maker, whether or not any entry could be read.
  bool ReadMakerNote(TImageInfo& info, MakerNoteBudget& budget);
  bool ReadMakerNote(TImageInfo& info);

  // The maker's table and where its directory lies, from the make and the note's own header;
  // nothing for a make the reader does not know.
  std::optional<NoteLayout> LayoutOf(const TImageInfo& info) const;

  bool FromTiff = false;
  TImageInfo* Info = nullptr;  // not owned
  // The note's position in the EXIF block as a JPEG block would have it: a TIFF-file block
  // starts 16 bytes later in the file's TIFF offsets than a JPEG one.
  int64_t MakerNotePos = 0;
};

}  // namespace exif::detail
