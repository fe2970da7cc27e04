#pragma once
// Small shared conversions between numbers and their texts.

#include <cstdint>
#include <string>
#include <string_view>

namespace exif::detail {

// The two integers formatted with "%d/%d".
std::string RationalText(int32_t numerator, int32_t denominator);

// The decimal text of a 32-bit integer.
std::string IntegerText(int32_t value);

// One of two texts.
inline std::string PickText(bool condition, std::string_view whenTrue, std::string_view whenFalse) {
  return std::string(condition ? whenTrue : whenFalse);
}

// Reads fraction texts such as "1/250" or "1 1/2" (a whole part before the first blank);
// numerator and denominator may be unsigned 32-bit numbers (a RATIONAL's 4294967295/1000
// included); anything unreadable, a zero denominator included, gives 0.
long double FractionTextToNumber(std::string_view text);

// The number with at most `decimals` decimals, trailing zeros and a bare point dropped:
// 90 -> "90", 12.766 -> "12.77" (2 decimals), -0.001 -> "0".
std::string DecimalText(long double value, int decimals);

// Rounds to the nearest integer, halves to the even neighbour; NaN gives 0 and values
// beyond the 32-bit range give its nearest end.
int32_t RoundToInt32(long double value);

}  // namespace exif::detail
