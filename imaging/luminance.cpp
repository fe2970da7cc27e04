#include "prosvitek/imaging/luminance.h"

#include <array>

namespace imaging {

int LuminancePlain(int red, int green, int blue) {
  const long double r = red, g = green, b = blue;
  const long double value = (r * 0.2989L + g * 0.5866L) + b * 0.1145L;
  return static_cast<int>(value);  // truncation toward zero
}

namespace {

// Greys all sit on a boundary (the weights sum to 1), and grey photos are common.
const std::array<std::uint8_t, 256>& GreyLevels() {
  static const std::array<std::uint8_t, 256> levels = [] {
    std::array<std::uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v) t[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(LuminancePlain(v, v, v));
    return t;
  }();
  return levels;
}

}  // namespace

int LuminanceOnBoundary(int red, int green, int blue) {
  if (red == green && green == blue) return GreyLevels()[static_cast<std::size_t>(red)];
  return LuminancePlain(red, green, blue);
}

}  // namespace imaging
