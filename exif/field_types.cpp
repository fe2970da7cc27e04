#include "field_types.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "bytes.h"
#include "number_text.h"
#include "printf_format.h"
#include "value_map.h"

namespace exif::detail {
namespace {

bool IsRationalType(uint32_t type) { return type == kRational || type == kSRational; }

// The first `size` bytes as an unsigned pattern in the given order.
uint64_t Pattern(std::string_view raw, size_t size, bool bigEndian) {
  uint64_t value = 0;
  for (size_t i = 0; i < size; ++i) {
    const size_t index = bigEndian ? i : size - 1 - i;
    value = (value << 8) | static_cast<unsigned char>(raw[index]);
  }
  return value;
}

double FloatingNumber(std::string_view raw, uint32_t type, bool bigEndian) {
  double value = 0;
  if (type == kFloat && raw.size() >= 4) {
    value = std::bit_cast<float>(static_cast<uint32_t>(Pattern(raw, 4, bigEndian)));
  } else if (type == kDouble && raw.size() >= 8) {
    value = std::bit_cast<double>(Pattern(raw, 8, bigEndian));
  }
  return std::isfinite(value) ? value : 0;
}

// RATIONAL holds two unsigned numbers, SRATIONAL two signed ones.
int64_t RationalPart(std::string_view component, int64_t pos, uint32_t type, bool bigEndian) {
  const int32_t bits = RawToInteger(CopyBytes(component, pos, 4), bigEndian);
  return type == kRational ? int64_t{static_cast<uint32_t>(bits)} : int64_t{bits};
}

std::string RationalComponentText(std::string_view component, uint32_t type, bool bigEndian) {
  return std::to_string(RationalPart(component, 1, type, bigEndian)) + "/" +
         std::to_string(RationalPart(component, 5, type, bigEndian));
}

bool IsSignedType(uint32_t type) { return type == kSByte || type == kSShort || type == kSLong; }

// One integer component as its type reads it: BYTE, SHORT, LONG and IFD unsigned, their
// signed kinds sign-extended, so that a LONG of 2^31 and more and an SSHORT of -1 show as
// the numbers they are.
int64_t ComponentInteger(std::string_view component, uint32_t type, bool bigEndian) {
  const uint64_t pattern = Pattern(component, component.size(), bigEndian);
  if (!IsSignedType(type)) return static_cast<int64_t>(pattern);
  const unsigned bits = 8 * static_cast<unsigned>(component.size());
  const uint64_t sign = uint64_t{1} << (bits - 1);
  return static_cast<int64_t>(pattern ^ sign) - static_cast<int64_t>(sign);
}

}  // namespace

bool IsIntegerType(uint32_t type) {
  switch (type) {
    case kByte:
    case kShort:
    case kLong:
    case kSByte:
    case kSShort:
    case kSLong:
    case kIfd:
      return true;
    default:
      return false;
  }
}

int32_t FieldTypeSize(uint32_t type) {
  return type < FormatByteSizes.size() ? FormatByteSizes[type] : 0;
}

int32_t ByteCountOf(uint32_t type, int32_t count) {
  const int64_t product = int64_t{FieldTypeSize(type)} * count;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(product)));
}

int32_t RawToInteger(std::string_view raw, bool bigEndian) {
  uint64_t value = 0;  // unsigned, so that long values wrap instead of overflowing
  for (size_t i = 0; i < raw.size(); ++i) {
    const size_t index = bigEndian ? i : raw.size() - 1 - i;
    value = value * 256 + static_cast<unsigned char>(raw[index]);
  }
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

double RawToNumber(std::string_view raw, uint32_t type, bool bigEndian) {
  if (IsIntegerType(type)) {
    // One component reads as its type says; several as the one integer of all their bytes.
    if (!raw.empty() && raw.size() == static_cast<size_t>(FieldTypeSize(type))) {
      return static_cast<double>(ComponentInteger(raw, type, bigEndian));
    }
    return RawToInteger(raw, bigEndian);
  }
  if (IsRationalType(type)) {
    const int64_t denominator = RationalPart(raw, 5, type, bigEndian);
    if (denominator == 0) return 0;
    return static_cast<double>(RationalPart(raw, 1, type, bigEndian)) /
           static_cast<double>(denominator);
  }
  if (type == kFloat || type == kDouble) return FloatingNumber(raw, type, bigEndian);
  return 0;
}

std::string RawToText(std::string_view raw, uint32_t type, std::string_view format,
                      std::string_view valueMap, bool bigEndian, bool useValueMaps) {
  const size_t size = static_cast<size_t>(FieldTypeSize(type));
  if (size == 0) return "0";
  const size_t shown = std::min<size_t>(raw.size() / size, kMaxComponentsShown);
  std::string text;
  for (size_t i = 0; i < shown; ++i) {
    if (i > 0) text += ", ";
    const std::string component =
        CopyBytes(raw, static_cast<int64_t>(i * size) + 1, static_cast<int64_t>(size));
    if (IsIntegerType(type)) {
      const std::string number = std::to_string(ComponentInteger(component, type, bigEndian));
      text += !valueMap.empty() && useValueMaps ? MappedText(valueMap, number) : number;
    } else if (IsRationalType(type)) {
      text += RationalComponentText(component, type, bigEndian);
      // A map keyed by the text built so far; kept as the reader has always done it, though
      // no rational tag carries a map today.
      if (!valueMap.empty() || !useValueMaps) text += DecodeValueMap(valueMap, text);
    } else if (type == kFloat || type == kDouble) {
      text += FormatText("%g", {FloatingNumber(component, type, bigEndian)});
    } else {
      text += "?";
    }
  }
  if (format.empty()) return text;
  if (format.find("%s") != std::string_view::npos) {
    return FormatText(format, {std::string_view(text)});
  }
  return FormatText(format, {RawToNumber(raw, type, bigEndian)});
}

}  // namespace exif::detail
