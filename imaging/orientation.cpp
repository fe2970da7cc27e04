#include "imaging/orientation.h"

#include <cstring>

namespace imaging {

int CheckedOrientation(int orientation) { return orientation >= 1 && orientation <= 8 ? orientation : 1; }

bool SwapsSides(int orientation) { return CheckedOrientation(orientation) >= 5; }

void ShownSize(int orientation, int width, int height, int& shownWidth, int& shownHeight) {
  const bool swap = SwapsSides(orientation);
  shownWidth = swap ? height : width;
  shownHeight = swap ? width : height;
}

// Each orientation names where the stored first row and first column end up;
// this is the inverse: for a shown pixel, the stored one.
void StoredPosition(int orientation, int width, int height, int x, int y, int& storedX, int& storedY) {
  switch (CheckedOrientation(orientation)) {
    case 2: storedX = width - 1 - x; storedY = y; break;                 // mirrored left to right
    case 3: storedX = width - 1 - x; storedY = height - 1 - y; break;    // upside down
    case 4: storedX = x; storedY = height - 1 - y; break;                // mirrored top to bottom
    case 5: storedX = y; storedY = x; break;                             // mirrored along the diagonal
    case 6: storedX = y; storedY = height - 1 - x; break;                // turned right to be seen
    case 7: storedX = width - 1 - y; storedY = height - 1 - x; break;    // mirrored along the other diagonal
    case 8: storedX = width - 1 - y; storedY = x; break;                 // turned left to be seen
    default: storedX = x; storedY = y; break;
  }
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
