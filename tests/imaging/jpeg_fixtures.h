#pragma once
// Small JPEG files made in the tests, and a look at what a JPEG file holds.

#include "imaging/jpeg_codec.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fixtures {

using imaging::Bytes;

// A raster filled by f(x, y) -> colour value.
imaging::Raster MakeRaster(int width, int height, const std::function<imaging::ColourValue(int, int)>& f);

// A single-component (grayscale) JPEG of a horizontal ramp.
Bytes GrayJpeg(int width, int height);

// The markers of a JPEG file up to the start of scan, in order (0xE0 for APP0, ...).
std::vector<int> MarkersBeforeScan(const Bytes& jpeg);

// The two quantisation tables in natural order, as libjpeg reads them back.
std::array<std::array<int, 64>, 2> QuantTables(const Bytes& jpeg);

// The file with its frame header's width and height replaced.
Bytes WithFrameSize(Bytes jpeg, int width, int height);

void WriteFile(const std::string& path, const Bytes& bytes);

}  // namespace fixtures
