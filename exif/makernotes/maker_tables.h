#pragma once
// The makers' tag tables, one per maker variant, and the decoders their records name.
// Records carry only Tag, Name, Description, ValueMap and Decoder; a Description of "Skip"
// (any case) marks a tag the reader passes over.

#include <cstddef>
#include <span>
#include <string>

#include "bytes.h"
#include "makernotes/maker_directory.h"
#include "tag_entry.h"

namespace exif::detail {

inline constexpr size_t kNikonType1TagCount = 11;
inline constexpr size_t kNikonType2TagCount = 102;
inline constexpr size_t kOlympusTagCount = 104;
inline constexpr size_t kCasioTagCount = 26;
inline constexpr size_t kCasioType2TagCount = 37;
inline constexpr size_t kFujiTagCount = 18;
inline constexpr size_t kCanonTagCount = 82;
inline constexpr size_t kSeikoTagCount = 12;
inline constexpr size_t kSanyoTagCount = 6;
inline constexpr size_t kMinoltaTagCount = 29;
inline constexpr size_t kSonyTagCount = 23;
inline constexpr size_t kPanasonicTagCount = 11;
inline constexpr size_t kPentaxTagCount = 9;
inline constexpr size_t kAppleTagCount = 11;

std::span<const TTagEntry> NikonType1Tags();  // older Nikon notes beginning "Nikon"
std::span<const TTagEntry> NikonType2Tags();  // newer Nikon notes, and older ones without "Nikon"
std::span<const TTagEntry> OlympusTags();
// The directories of the newer Olympus notes (tags 0x2010 .. 0x2050 of OlympusTags).
std::span<const TTagEntry> OlympusEquipmentTags();
std::span<const TTagEntry> OlympusCameraSettingsTags();
std::span<const TTagEntry> OlympusRawDevelopmentTags();
std::span<const TTagEntry> OlympusRawDevelopment2Tags();
std::span<const TTagEntry> OlympusImageProcessingTags();
std::span<const TTagEntry> OlympusFocusInfoTags();
std::span<const TTagEntry> CasioTags();
std::span<const TTagEntry> CasioType2Tags();  // notes beginning "QVC"
std::span<const TTagEntry> FujiTags();
std::span<const TTagEntry> CanonTags();
// Canon's directory at the note's first byte, offsets from the EXIF data's header; a note
// that ends in Canon's footer (a byte-order mark and the offset the note was written at) is
// read in the footer's order and based where it says, wherever software moved it since.
NoteLayout CanonLayout(const ByteString& note, int64_t headerShift, bool exifOrder);
std::span<const TTagEntry> SeikoTags();
std::span<const TTagEntry> SanyoTags();
std::span<const TTagEntry> MinoltaTags();
std::span<const TTagEntry> SonyTags();
std::span<const TTagEntry> PanasonicTags();
std::span<const TTagEntry> PentaxTags();
std::span<const TTagEntry> AppleTags();

// What the notes say about the ISO speed (NoteLayout::Iso).
// Nikon 0x0002: the second number (the first marks the high modes).
void ReadNikonIso(const NoteValue& value, MakerNoteIso& iso);
// Casio 0x0014: the number.
void ReadCasioIso(const NoteValue& value, MakerNoteIso& iso);
// Casio's second layout: 0x3014, the number; else 0x0014, a code of the older models (3, 4, 6,
// 9 for 50, 64, 100, 200) or the number.
void ReadCasioType2Iso(const NoteValue& value, MakerNoteIso& iso);
// Canon: the camera settings' ISO when they give a number; the shot information's base ISO
// and automatic adjustment.
void ReadCanonIso(const NoteValue& value, MakerNoteIso& iso);

// Casio 0x0006 and 0x2022: millimetres as metres ("0.179 m"), "inf" for infinity.
std::string DecodeCasioDistance(const std::string& text);
// A two-byte value of any type as one signed 16-bit number in the note's byte order.
std::string DecodeSigned16(const std::string& text, DecodeContext& context);

// Olympus 0x1017, 0x1018: the first number in 256ths ("1.41406").
std::string DecodeOlympusBalance(const std::string& text, DecodeContext& context);
// Olympus focus information 0x0305: millimetres as metres ("0.705 m").
std::string DecodeOlympusFocusDistance(const std::string& text, DecodeContext& context);
// Two-byte values as signed numbers joined by ", " (Olympus 0x1011 colour matrix).
std::string DecodeSigned16List(const std::string& text, DecodeContext& context);

// Minolta 0x0001, 0x0003: the DiMAGE camera settings (exposure, flash, quality, ISO, ...) as
// field lines.
std::string DecodeMinoltaCameraSettings(const std::string& text, DecodeContext& context);
// Nikon 0x0001: the maker note's version: "2.10" for the digits 0210, "2.0" for the bytes 00 02 00
// 00.
std::string DecodeNikonVersion(const std::string& text, DecodeContext& context);
// Nikon 0x0023, 0x00BD: the Picture Control's name, base and settings as field lines.
std::string DecodeNikonPictureControl(const std::string& text, DecodeContext& context);
// Nikon 0x008D: the quoted ASCII mode text, e.g. "MODE2" -> "Mode 2 (Adobe RGB)".
std::string DecodeNikonColorMode(const std::string& text);
// Nikon 0x0084: four fractions, e.g. "18/1, 70/1, 35/10, 45/10" -> "18.0-70.0(mm)  F3.5-F4.5".
std::string DecodeNikonLens(const std::string& text);

// The Canon decoders read the numbers of the value (the arrays from its own bytes, the custom
// functions from its text), mark their result as lines, return one CR LF-led line per field
// with a value and store each such field as a computed entry.
std::string DecodeCanonSettings(const std::string& text, DecodeContext& context);  // 0x0001
std::string DecodeCanonShotInfo(const std::string& text, DecodeContext& context);  // 0x0004
std::string DecodeCanonCustomFunctions(const std::string& text, DecodeContext& context);  // 0x000F

}  // namespace exif::detail
