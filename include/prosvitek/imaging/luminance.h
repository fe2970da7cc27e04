#pragma once
// Luminance of a pixel: Trunc((R x 0.2989 + G x 0.5866) + B x 0.1145) in
// 80-bit extended precision, rounded after every operation.

#include <array>
#include <cstdint>

namespace imaging {

// Pixel counts per luminance level.
using Histogram = std::array<std::int32_t, 256>;

// The definition itself, evaluated in long double exactly in that order.
int LuminancePlain(int red, int green, int blue);

// Scaled decimal weight sum 2989 R + 5866 G + 1145 B, i.e. 10000 x the
// luminance before truncation, computed exactly in integers.
constexpr std::int32_t LuminanceKey(int red, int green, int blue) {
  return 2989 * red + 5866 * green + 1145 * blue;
}

// The extended-precision value differs from key / 10000 by far less than
// 1 / 10000, so the truncation equals the integer quotient unless the key is
// a multiple of 10000; only then can rounding have pushed the value below
// the integer, and the definition decides (greys such as 27 give 26).
int LuminanceOnBoundary(int red, int green, int blue);

inline int Luminance(int red, int green, int blue) {
  const std::int32_t key = LuminanceKey(red, green, blue);
  const std::int32_t level = key / 10000;
  if (key != level * 10000) return level;
  return LuminanceOnBoundary(red, green, blue);
}

}  // namespace imaging
