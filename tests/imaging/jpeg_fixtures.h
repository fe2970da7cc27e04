#pragma once
// Small JPEG files made in the tests, and a look at what a JPEG file holds.

#include "reference.h"
#include "prosvitek/imaging/brighten.h"
#include "prosvitek/imaging/jpeg_codec.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct jpeg_compress_struct;

namespace fixtures {

using imaging::Bytes;

// A raster filled by f(x, y) -> colour value.
imaging::Raster MakeRaster(int width, int height, const std::function<imaging::ColourValue(int, int)>& f);

// A single-component (grayscale) JPEG of a horizontal ramp.
Bytes GrayJpeg(int width, int height);

// A colour JPEG whose luminance is sampled h x v times as densely as its
// chroma (2 x 2 is what EncodeJpeg writes); `scans` (1..190) writes a
// progressive file of that many scans: the DC scan, then single
// coefficients of each component in turn.
Bytes ColourJpeg(const imaging::Raster& raster, int h, int v, int scans = 0);

// A colour JPEG of the raster written with libjpeg's defaults at quality 90
// after `configure` has adjusted the compressor (sampling, tables, colour
// space, progression, restart markers...).
Bytes LibjpegColour(const imaging::Raster& raster, const std::function<void(jpeg_compress_struct&)>& configure);

// The markers of a JPEG file up to the start of scan, in order (0xE0 for APP0, ...).
std::vector<int> MarkersBeforeScan(const Bytes& jpeg);

// The two quantisation tables in natural order, as libjpeg reads them back.
std::array<std::array<int, 64>, 2> QuantTables(const Bytes& jpeg);

// The file with its frame header's width and height replaced.
Bytes WithFrameSize(Bytes jpeg, int width, int height);

void WriteFile(const std::string& path, const Bytes& bytes);

// An empty folder of the running test's own, under the system's temporary
// folder: the prefix, the process and the test's name.
std::filesystem::path FreshTestFolder(const std::string& prefix);

// The photo file decoded whole.
imaging::Raster DecodeFile(const std::string& path);

// The save as the single-threaded definition has it: the photo decoded whole,
// every step of rows brightened with the settings asked for at its first
// row, the raster encoded in the source's mode at the quality.
Bytes ReferenceRender(const std::string& path, double exponent, const imaging::SettingsAt& settingsAt, int quality,
                      const std::vector<imaging::JpegSegment>& segments = {});

}  // namespace fixtures
