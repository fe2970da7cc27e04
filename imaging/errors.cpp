#include "imaging/errors.h"

namespace imaging {

EJPEG::EJPEG(int code) : std::runtime_error("JPEG error #" + std::to_string(code)), code_(code) {}

RasterTooLarge::RasterTooLarge(int width, int height)
    : std::runtime_error("Fotka " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixelů je příliš velká: nevejde se do paměti.") {}

}  // namespace imaging
