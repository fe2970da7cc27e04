#pragma once
// A photo as it is meant to be seen: cameras store the pixels as the sensor
// read them and note in EXIF (Orientation, 1 to 8) how to turn them. Saved
// files keep the stored pixels and the note; only what is shown is turned.

#include "prosvitek/imaging/raster.h"

namespace imaging {

// A rectangle of pixels: left, top, width, height.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
  bool empty() const { return width <= 0 || height <= 0; }
};

// A valid orientation, 1 (as stored) for anything outside 1..8.
int CheckedOrientation(int orientation);

// Whether the photo is shown with width and height exchanged (5 to 8).
bool SwapsSides(int orientation);

// The size shown for a photo stored width x height.
void ShownSize(int orientation, int width, int height, int& shownWidth, int& shownHeight);

// The stored pixel shown at (x, y) of a photo stored width x height.
void StoredPosition(int orientation, int width, int height, int x, int y, int& storedX, int& storedY);

// The stored pixels that make up a shown rectangle of a photo stored width x height.
PixelRect StoredRect(int orientation, int width, int height, const PixelRect& shown);

// The raster as it is to be seen; orientation 1 gives a copy.
Raster Oriented(const Raster& stored, int orientation);

}  // namespace imaging
