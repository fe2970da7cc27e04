#include "prosvitek/imaging/raster.h"

#include "prosvitek/imaging/errors.h"

#include <cstring>
#include <new>
#include <string>

namespace imaging {

Raster::Raster(int width, int height) {
  if (width <= 0 || height <= 0) return;
  const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (pixels > kMaxRasterPixels)
    throw RasterTooLarge(width, height);
  try {
    data_ = std::make_unique_for_overwrite<std::uint8_t[]>(pixels * 3);
  } catch (const std::bad_alloc&) {
    throw RasterTooLarge(width, height);
  }
  width_ = width;
  height_ = height;
}

Raster Raster::Clone() const {
  Raster copy(width_, height_);
  if (!empty()) std::memcpy(copy.data_.get(), data_.get(), byteSize());
  return copy;
}

}  // namespace imaging
