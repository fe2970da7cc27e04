#pragma once
// The two whole-photo sequences shared by the window and the command line:
// decoding a photo for the open, and the full-resolution render for the save.

#include "imaging/brighten.h"
#include "imaging/jpeg_codec.h"

#include <string>

namespace imaging {

// Loads and decodes a photo file into its full-resolution raster.
Raster DecodePhotoFile(const std::string& path);

// Decodes the photo file again and brightens every pixel in place with the
// settings read at each strip. The returned JPEG object holds the result and
// encodes it in the source's mode (baseline or progressive) when saved.
JpegImage RenderFullResolution(const std::string& path, const SettingsAt& settingsAt, int stripWidth);

}  // namespace imaging
