// Recognising the maker and choosing its table and directory layout.

#include "exif/makernotes/maker_note.h"

#include <span>
#include <string>
#include <string_view>

#include "exif/ascii.h"
#include "exif/bytes.h"
#include "exif/image_info.h"
#include "exif/makernotes/maker_tables.h"

namespace exif {
namespace {

// In a JPEG block TIFF offset x lies at position x + 9; in a block read from a TIFF file at
// x - 7.
constexpr int64_t kTiffBlockCorrection = 16;

// Offsets count from the TIFF header of the EXIF data, which lies at position 9 of a JPEG
// block; with the note at position P an offset x lies at note position x + 10 - P.
constexpr int64_t kExifHeaderShift = 10;

struct Layout {
  std::span<const TTagEntry> Table;
  int64_t Start = 0;         // 0-based offset of the entry count in the note
  int64_t ValueShift = 0;    // a value at offset x lies at note position x + ValueShift
  int64_t FallbackBase = 0;  // ... or, outside the note, at EXIF block position x + FallbackBase
};

// The character after the model's first blank, or its first character when it has none.
bool ModelLetterIsD(std::string_view model) {
  const size_t blank = model.find(' ');
  const size_t at = blank == std::string_view::npos ? 0 : blank + 1;
  return at < model.size() && model[at] == 'D';
}

// Newer Nikon notes hold "Nikon", a version, two zero bytes and a TIFF header of their own at
// byte 10, whose offsets count from there; its byte-order mark is not read.
Layout NikonLayout(const TImageInfo& info, bool fromTiff, int64_t headerShift) {
  // Byte-wise, a text that is a prefix of the other being the smaller.
  const bool newerVersion = std::string_view(info.ExifVersionText) > std::string_view("0210");
  // A D-series raw file carries no ExifVersion but the newer layout.
  const bool rawDSeries =
      info.ExifVersionText.empty() && ModelLetterIsD(info.ModelText) && fromTiff;
  if (newerVersion || rawDSeries) return {NikonType2Tags(), 18, 11, 0};
  if (info.MakerNoteData.Copy(1, 5) == "Nikon") return {NikonType1Tags(), 8, headerShift, 0};
  return {NikonType2Tags(), 0, headerShift, 0};
}

// Restores the object's byte order however the read ends.
class ByteOrderRestore {
 public:
  explicit ByteOrderRestore(TImageInfo& info) : info_(info), saved_(info.BigEndian) {}
  ~ByteOrderRestore() { info_.BigEndian = saved_; }
  ByteOrderRestore(const ByteOrderRestore&) = delete;
  ByteOrderRestore& operator=(const ByteOrderRestore&) = delete;

 private:
  TImageInfo& info_;
  bool saved_;
};

// Clears the pass's owner when it ends, so that no decoder can reach a freed object.
class OwnerScope {
 public:
  explicit OwnerScope(TImageInfo& info) { CurrentMakerNoteOwner = &info; }
  ~OwnerScope() { CurrentMakerNoteOwner = nullptr; }
  OwnerScope(const OwnerScope&) = delete;
  OwnerScope& operator=(const OwnerScope&) = delete;
};

}  // namespace

TmsInfo::TmsInfo(bool fromTiff, TImageInfo& info)
    : FromTiff(fromTiff),
      Info(&info),
      MakerNotePos(info.MakerNotePos + (fromTiff ? kTiffBlockCorrection : 0)) {}

bool TmsInfo::ReadMakerNote(TImageInfo& info, MakerNoteBudget& budget) {
  const OwnerScope owner(info);
  const std::string key = UpperAscii(CopyBytes(info.MakeText, 1, 5));
  const int64_t headerShift = kExifHeaderShift - MakerNotePos;
  Layout layout;
  bool intelOrder = false;
  if (key == "NIKON") {
    layout = NikonLayout(info, FromTiff, headerShift);
  } else if (key == "OLYMP") {
    layout = {OlympusTags(), 8, headerShift, 9};
  } else if (key == "CASIO") {
    layout = {CasioTags(), 0, headerShift, 0};
  } else if (key == "FUJIF") {
    // Offsets count from the note's first byte, after "FUJIFILM" and the directory offset.
    layout = {FujiTags(), 12, 1, 0};
    intelOrder = true;
  } else if (key == "CANON") {
    layout = {CanonTags(), 0, headerShift, 0};
  } else if (key == "SEIKO") {
    layout = {SeikoTags(), 8, headerShift, 0};
  } else if (key == "SANYO") {
    layout = {SanyoTags(), 8, headerShift, 0};
  } else if (key == "MINOL") {
    layout = {MinoltaTags(), 0, headerShift, 0};
  } else {
    return false;
  }
  // The fallback positions are those of a JPEG block; a TIFF-file block starts 16 bytes later.
  const int64_t fallbackBase = layout.FallbackBase - (FromTiff ? kTiffBlockCorrection : 0);
  const ByteOrderRestore order(info);
  if (intelOrder) info.BigEndian = false;  // Fujifilm notes are Intel-ordered in any block
  ReadMakerDirectory(info, layout.Table, layout.Start, layout.ValueShift, fallbackBase, budget);
  return true;
}

bool TmsInfo::ReadMakerNote(TImageInfo& info) {
  MakerNoteBudget budget;
  return ReadMakerNote(info, budget);
}

}  // namespace exif
