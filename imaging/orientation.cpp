#include "prosvitek/imaging/orientation.h"

#include <cstring>

namespace imaging {
namespace {

// How a shown pixel (x, y) finds its stored one: exchange x and y, then
// count x from the right and y from the bottom of the stored photo.
struct Turn {
  bool swap, mirrorX, mirrorY;
};
constexpr Turn kTurns[8] = {
    {false, false, false},  // 1: as stored
    {false, true, false},   // 2: mirrored left to right
    {false, true, true},    // 3: upside down
    {false, false, true},   // 4: mirrored top to bottom
    {true, false, false},   // 5: mirrored along the diagonal
    {true, false, true},    // 6: turned right to be seen
    {true, true, true},     // 7: mirrored along the other diagonal
    {true, true, false},    // 8: turned left to be seen
};

const Turn& TurnOf(int orientation) { return kTurns[CheckedOrientation(orientation) - 1]; }

}  // namespace

int CheckedOrientation(int orientation) { return orientation >= 1 && orientation <= 8 ? orientation : 1; }

bool SwapsSides(int orientation) { return TurnOf(orientation).swap; }

void ShownSize(int orientation, int width, int height, int& shownWidth, int& shownHeight) {
  const bool swap = SwapsSides(orientation);
  shownWidth = swap ? height : width;
  shownHeight = swap ? width : height;
}

void StoredPosition(int orientation, int width, int height, int x, int y, int& storedX, int& storedY) {
  const Turn& t = TurnOf(orientation);
  const int u = t.swap ? y : x, v = t.swap ? x : y;
  storedX = t.mirrorX ? width - 1 - u : u;
  storedY = t.mirrorY ? height - 1 - v : v;
}

PixelRect StoredRect(int orientation, int width, int height, const PixelRect& shown) {
  if (shown.empty()) return {};
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  StoredPosition(orientation, width, height, shown.x, shown.y, x0, y0);
  StoredPosition(orientation, width, height, shown.x + shown.width - 1, shown.y + shown.height - 1, x1, y1);
  const int left = x0 < x1 ? x0 : x1, top = y0 < y1 ? y0 : y1;
  return {left, top, (x0 < x1 ? x1 - x0 : x0 - x1) + 1, (y0 < y1 ? y1 - y0 : y0 - y1) + 1};
}

Raster Oriented(const Raster& stored, int orientation) {
  orientation = CheckedOrientation(orientation);
  if (orientation == 1 || stored.empty()) return stored.Clone();
  int width = 0, height = 0;
  ShownSize(orientation, stored.width(), stored.height(), width, height);
  Raster shown(width, height);
  // Shown rows are filled in order; the stored pixels of a shown row lie
  // along one stored row or one stored column, a fixed step apart.
  for (int y = 0; y < height; ++y) {
    int sx0 = 0, sy0 = 0, sx1 = 0, sy1 = 0;
    StoredPosition(orientation, stored.width(), stored.height(), 0, y, sx0, sy0);
    StoredPosition(orientation, stored.width(), stored.height(), width > 1 ? 1 : 0, y, sx1, sy1);
    const std::ptrdiff_t step = (sy1 - sy0) * static_cast<std::ptrdiff_t>(stored.stride()) + (sx1 - sx0) * 3;
    const std::uint8_t* base = stored.row(0);
    std::ptrdiff_t at = sy0 * static_cast<std::ptrdiff_t>(stored.stride()) + sx0 * 3;
    std::uint8_t* dst = shown.row(y);
    for (int x = 0; x < width; ++x, at += step, dst += 3) std::memcpy(dst, base + at, 3);
  }
  return shown;
}

}  // namespace imaging
