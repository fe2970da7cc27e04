#pragma once
// A 24-bit raster: rows of blue, green, red bytes, top row first.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace imaging {

// Colour value: red in bits 0..7, green in 8..15, blue in 16..23.
using ColourValue = std::uint32_t;

constexpr ColourValue MakeColour(int red, int green, int blue) {
  return static_cast<ColourValue>(red + 256 * green + 65536 * blue);
}
constexpr int RedOf(ColourValue c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(ColourValue c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(ColourValue c) { return static_cast<int>((c >> 16) & 0xFF); }

// Largest raster the program agrees to allocate (2^29 pixels, 1.5 GiB).
constexpr std::uint64_t kMaxRasterPixels = std::uint64_t{1} << 29;

class Raster {
 public:
  Raster() = default;
  // Allocates width x height pixels, uninitialised; throws RasterTooLarge
  // (before allocating) when the size exceeds kMaxRasterPixels.
  Raster(int width, int height);

  // A copy of the pixels (rasters are not copied by accident).
  Raster Clone() const;

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ <= 0 || height_ <= 0; }
  std::size_t stride() const { return 3 * static_cast<std::size_t>(width_); }
  std::size_t byteSize() const { return stride() * static_cast<std::size_t>(height_); }

  std::uint8_t* row(int y) { return data_.get() + stride() * static_cast<std::size_t>(y); }
  const std::uint8_t* row(int y) const { return data_.get() + stride() * static_cast<std::size_t>(y); }

  ColourValue pixel(int x, int y) const {
    const std::uint8_t* p = row(y) + 3 * static_cast<std::size_t>(x);
    return MakeColour(p[2], p[1], p[0]);
  }
  void setPixel(int x, int y, ColourValue c) {
    std::uint8_t* p = row(y) + 3 * static_cast<std::size_t>(x);
    p[0] = static_cast<std::uint8_t>(BlueOf(c));
    p[1] = static_cast<std::uint8_t>(GreenOf(c));
    p[2] = static_cast<std::uint8_t>(RedOf(c));
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::unique_ptr<std::uint8_t[]> data_;
};

}  // namespace imaging
