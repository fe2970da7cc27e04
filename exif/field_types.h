#pragma once
// TIFF field types and the generic conversions of a raw tag value to an integer, a number
// and display text. The conversions read multi-byte numbers in the byte order they are given,
// which is that of the object converting, not necessarily that of the file.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace exif::detail {

enum FieldType : uint16_t {
  kNoType = 0,
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
  kSShort = 8,
  kSLong = 9,
  kSRational = 10,
  kFloat = 11,
  kDouble = 12,
  kIfd = 13,  // a LONG that points at a directory
};

// Byte size of one component, by type code 0..13.
inline constexpr std::array<int32_t, 14> FormatByteSizes{0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};

// Size of one component; codes above 13 are taken as 0 bytes, so their entries are skipped.
int32_t FieldTypeSize(uint32_t type);

// BYTE, SHORT, LONG, their signed kinds and IFD: values that are whole numbers.
bool IsIntegerType(uint32_t type);

// Byte count of a directory entry's value: count x size with the wrap-around of 32-bit signed
// arithmetic (computed without overflow), so an overflowed count can come out negative or 0.
int32_t ByteCountOf(uint32_t type, int32_t count);

// The bytes as one integer in order of significance (first byte most significant when
// bigEndian), keeping the low 32 bits as a signed number; any length, empty gives 0.
int32_t RawToInteger(std::string_view raw, bool bigEndian);

// The value as a number: integer types (IFD read as LONG) give RawToInteger of all bytes, rationals
// the first numerator / denominator (both unsigned for RATIONAL, signed for SRATIONAL), FLOAT and
// DOUBLE the IEEE value of the first component; other types, short values, zero denominators
// and non-finite results give 0.
double RawToNumber(std::string_view raw, uint32_t type, bool bigEndian);

// Display text of a value: at most 8 components joined by ", ", each as a decimal number,
// value-map words ("Unknown (n)" for a number the map lacks), "n/d", the floating value
// ("%g") or "?" by type; then `format` applied, with the text when it contains "%s", otherwise with
// RawToNumber. Throws FormatError when the format does not fit.
// With `useValueMaps` false the numbers are shown as they are.
std::string RawToText(std::string_view raw, uint32_t type, std::string_view format,
                      std::string_view valueMap, bool bigEndian, bool useValueMaps = true);

inline constexpr int kMaxComponentsShown = 8;

}  // namespace exif::detail
