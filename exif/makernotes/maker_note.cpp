// Recognising the maker and choosing its table and directory layout from the note's header.

#include "makernotes/maker_note.h"

#include <span>
#include <string>
#include <string_view>

#include "ascii.h"
#include "bytes.h"
#include "end_ind.h"
#include "image_info.h"
#include "makernotes/maker_tables.h"

namespace exif::detail {
namespace {

// In a JPEG block TIFF offset x lies at position x + 9; in a block read from a TIFF file at
// x - 7.
constexpr int64_t kTiffBlockCorrection = 16;

// Offsets count from the TIFF header of the EXIF data, which lies at position 9 of a JPEG
// block; with the note at position P an offset x lies at note position x + 10 - P.
constexpr int64_t kExifHeaderShift = 10;

// The byte order of a TIFF-style header ("II" or "MM") at 0-based `at` in the note.
std::optional<bool> HeaderOrder(const ByteString& note, int64_t at) {
  const std::string mark = note.Copy(at + 1, 2);
  if (mark == "MM") return true;
  if (mark == "II") return false;
  return std::nullopt;
}

bool StartsWith(const ByteString& note, std::string_view prefix) {
  return note.View().substr(0, prefix.size()) == prefix;
}

// Newer Nikon notes: "Nikon", a zero, version 2.x, two zero bytes, then a TIFF header of their
// own at byte 10, which gives the byte order and the directory's offset; offsets count from
// it. Older ones: "Nikon", a zero, version 1.x, and the directory at byte 8. Without the
// "Nikon" header the directory starts the note. Offsets of the last two count from the EXIF
// data's TIFF header.
NoteLayout NikonLayout(const ByteString& note, int64_t headerShift, bool exifOrder) {
  constexpr int64_t kHeaderAt = 10;
  if (!StartsWith(note, std::string_view("Nikon\0", 6))) {
    return {NikonType2Tags(), 0, headerShift, exifOrder, ReadNikonIso};
  }
  if (note.Copy(7, 1) == "\x01") return {NikonType1Tags(), 8, headerShift, exifOrder};
  const std::optional<bool> order = HeaderOrder(note, kHeaderAt);
  if (!order) return {NikonType2Tags(), 18, kHeaderAt + 1, exifOrder, ReadNikonIso};
  tEndInd header;
  header.DataBlock = note;
  header.BigEndian = *order;
  const int64_t directory = kHeaderAt + header.ReadInt32(kHeaderAt + 5);
  return {NikonType2Tags(), directory, kHeaderAt + 1, *order, ReadNikonIso};
}

// Newer Olympus notes: "OLYMPUS", a zero, a byte-order mark and a version, the directory at
// byte 12 and offsets from the note's start. Older ones: "OLYMP", a zero, a version, the
// directory at byte 8 and offsets from the EXIF data's TIFF header.
NoteLayout OlympusLayout(const ByteString& note, int64_t headerShift, bool exifOrder) {
  if (StartsWith(note, std::string_view("OLYMPUS\0", 8))) {
    if (const std::optional<bool> order = HeaderOrder(note, 8)) {
      return {OlympusTags(), 12, 1, *order};
    }
  }
  return {OlympusTags(), 8, headerShift, exifOrder};
}

// Fujifilm notes: "FUJIFILM", the directory's offset in Intel order, the directory; Intel
// order throughout, offsets from the note's start.
NoteLayout FujiLayout(const ByteString& note) {
  tEndInd header;
  header.DataBlock = note;
  const int64_t directory = header.Holds(9, 4) ? header.ReadInt32(9) : 12;
  return {FujiTags(), directory, 1, false};
}

// Casio notes: "QVC" and three zero bytes before a directory of the second table, or the first
// table's directory at the start.
NoteLayout CasioLayout(const ByteString& note, int64_t headerShift, bool exifOrder) {
  if (StartsWith(note, std::string_view("QVC\0", 4))) {
    return {CasioType2Tags(), 6, headerShift, exifOrder, ReadCasioType2Iso};
  }
  return {CasioTags(), 0, headerShift, exifOrder, ReadCasioIso};
}

// Sony notes: "SONY DSC " or "SONY CAM " and three zero bytes before the directory, or the
// directory at the start; offsets from the EXIF data's TIFF header.
NoteLayout SonyLayout(const ByteString& note, int64_t headerShift, bool exifOrder) {
  const bool header = StartsWith(note, std::string_view("SONY DSC \0\0\0", 12)) ||
                      StartsWith(note, std::string_view("SONY CAM \0\0\0", 12));
  return {SonyTags(), header ? 12 : 0, headerShift, exifOrder};
}

// Pentax notes: "AOC", a zero and the note's byte order ("MM" or "II"; anything else keeps
// the EXIF data's), the directory at byte 6 and offsets from the EXIF data's TIFF header; or
// "PENTAX ", a zero, the byte order, the directory at byte 10 and offsets from the note's
// start. Other notes of these makes are not Pentax's.
std::optional<NoteLayout> PentaxLayout(const ByteString& note, int64_t headerShift, bool exifOrder) {
  if (StartsWith(note, std::string_view("AOC\0", 4))) {
    return NoteLayout{PentaxTags(), 6, headerShift, HeaderOrder(note, 4).value_or(exifOrder)};
  }
  if (StartsWith(note, std::string_view("PENTAX \0", 8))) {
    if (const std::optional<bool> order = HeaderOrder(note, 8)) return NoteLayout{PentaxTags(), 10, 1, *order};
  }
  return std::nullopt;
}

// Apple notes: "Apple iOS", a zero, a 2-byte version, then a byte-order mark; the directory
// at byte 14, offsets from the note's start.
std::optional<NoteLayout> AppleLayout(const ByteString& note) {
  if (!StartsWith(note, std::string_view("Apple iOS\0", 10))) return std::nullopt;
  const std::optional<bool> order = HeaderOrder(note, 12);
  if (!order) return std::nullopt;
  return NoteLayout{AppleTags(), 14, 1, *order};
}

}  // namespace

TmsInfo::TmsInfo(bool fromTiff, TImageInfo& info)
    : FromTiff(fromTiff),
      Info(&info),
      MakerNotePos(info.MakerNotePos + (fromTiff ? kTiffBlockCorrection : 0)) {}

std::optional<NoteLayout> TmsInfo::LayoutOf(const TImageInfo& info) const {
  const std::string key = UpperAscii(CopyBytes(info.MakeText, 1, 5));
  const ByteString& note = info.MakerNoteData;
  const int64_t headerShift = kExifHeaderShift - MakerNotePos;
  const bool order = info.BigEndian;
  if (key == "NIKON") return NikonLayout(note, headerShift, order);
  if (key == "OLYMP") return OlympusLayout(note, headerShift, order);
  if (key == "CASIO") return CasioLayout(note, headerShift, order);
  if (key == "FUJIF") return FujiLayout(note);
  if (key == "CANON") return CanonLayout(note, headerShift, order);
  if (key == "SEIKO") return NoteLayout{SeikoTags(), 8, headerShift, order};
  if (key == "SANYO") return NoteLayout{SanyoTags(), 8, headerShift, order};
  if (key == "MINOL" || key == "KONIC") return NoteLayout{MinoltaTags(), 0, headerShift, order};
  if (key == "SONY") return SonyLayout(note, headerShift, order);
  if (key == "PANAS" && StartsWith(note, std::string_view("Panasonic\0\0\0", 12))) {
    return NoteLayout{PanasonicTags(), 12, headerShift, order};
  }
  if (key == "PENTA" || key == "ASAHI" || key == "RICOH") return PentaxLayout(note, headerShift, order);
  if (key == "APPLE") return AppleLayout(note);
  return std::nullopt;
}

bool TmsInfo::ReadMakerNote(TImageInfo& info, MakerNoteBudget& budget) {
  const std::optional<NoteLayout> layout = LayoutOf(info);
  if (!layout) return false;
  // A reader without maker notes reads a note only for the ISO speed it states.
  if (info.Options.makerNotes || layout->Iso != nullptr) ReadMakerDirectory(info, *layout, budget);
  return true;
}

bool TmsInfo::ReadMakerNote(TImageInfo& info) {
  MakerNoteBudget budget;
  return ReadMakerNote(info, budget);
}

}  // namespace exif::detail
