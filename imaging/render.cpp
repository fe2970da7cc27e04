#include "imaging/render.h"

namespace imaging {

Raster DecodePhotoFile(const std::string& path) {
  JpegImage jpeg;
  jpeg.LoadFromFile(path);
  return jpeg.ReleaseRaster();
}

JpegImage RenderFullResolution(const std::string& path, const SettingsAt& settingsAt, int stripWidth) {
  JpegImage jpeg;
  jpeg.LoadFromFile(path);
  // One raster only: the result overwrites the decoded pixels, each read before it is written.
  Raster raster = jpeg.ReleaseRaster();
  BrightenPass(raster, raster, settingsAt, stripWidth);
  jpeg.TakeRaster(std::move(raster));
  return jpeg;
}

}  // namespace imaging
