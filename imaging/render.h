#pragma once
// The two whole-photo sequences shared by the window and the command line:
// decoding and measuring a photo for the open, and the full-resolution render
// for the save. Both work on each batch of rows right after it is decoded,
// while it is still in the processor's cache.

#include "imaging/analysis.h"
#include "imaging/brighten.h"
#include "imaging/jpeg_codec.h"

#include <string>

namespace imaging {

// Loads and decodes a photo file into its full-resolution raster.
Raster DecodePhotoFile(const std::string& path);

struct MeasuredPhoto {
  Raster raster;
  PhotoAnalysis analysis;
};

// Decodes the photo and measures every pixel; atRow is called every
// kRowsPerStep rows with the next row.
MeasuredPhoto DecodeAndAnalyse(const std::string& path, const RowHook& atRow = {});

// Decodes the photo file again and brightens every pixel with the settings
// read every kRowsPerStep rows. The returned JPEG object holds the result and
// encodes it in the source's mode (baseline or progressive) when saved.
JpegImage RenderFullResolution(const std::string& path, const SettingsAt& settingsAt);

}  // namespace imaging
