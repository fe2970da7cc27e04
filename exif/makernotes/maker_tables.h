#pragma once
// The makers' tag tables, one per maker variant, and the decoders their records name.
// Records carry only Tag, Name, Description, ValueMap and Decoder; a Description of "Skip"
// (any case) marks a tag the reader passes over.

#include <cstddef>
#include <span>
#include <string>

#include "exif/makernotes/maker_directory.h"
#include "exif/tag_entry.h"

namespace exif::detail {

inline constexpr size_t kNikonType1TagCount = 11;
inline constexpr size_t kNikonType2TagCount = 28;
inline constexpr size_t kOlympusTagCount = 33;
inline constexpr size_t kCasioTagCount = 26;
inline constexpr size_t kCasioType2TagCount = 37;
inline constexpr size_t kFujiTagCount = 18;
inline constexpr size_t kCanonTagCount = 16;
inline constexpr size_t kSeikoTagCount = 12;
inline constexpr size_t kSanyoTagCount = 6;
inline constexpr size_t kMinoltaTagCount = 2;
inline constexpr size_t kSonyTagCount = 23;
inline constexpr size_t kPanasonicTagCount = 11;
inline constexpr size_t kPentaxTagCount = 9;
inline constexpr size_t kAppleTagCount = 11;

std::span<const TTagEntry> NikonType1Tags();  // older Nikon notes beginning "Nikon"
std::span<const TTagEntry> NikonType2Tags();  // newer Nikon notes, and older ones without "Nikon"
std::span<const TTagEntry> OlympusTags();
std::span<const TTagEntry> CasioTags();
std::span<const TTagEntry> CasioType2Tags();  // notes beginning "QVC"
std::span<const TTagEntry> FujiTags();
std::span<const TTagEntry> CanonTags();
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
// Two-byte values as signed numbers joined by ", " (Olympus 0x1011 colour matrix).
std::string DecodeSigned16List(const std::string& text, DecodeContext& context);

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
