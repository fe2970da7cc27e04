#include "imaging/render.h"

#include "imaging/pixel_kernels.h"

#include <algorithm>
#include <optional>

namespace imaging {

Raster DecodePhotoFile(const std::string& path) {
  JpegImage jpeg;
  jpeg.LoadFromFile(path);
  return jpeg.ReleaseRaster();
}

namespace {

// Splits the decoder's batches into the passes' steps.
template <typename Step>
RowsDecoded InSteps(Step step) {
  return [step](Raster& raster, int firstRow, int rowCount) {
    for (int y = firstRow; y < firstRow + rowCount;) {
      const int n = std::min(firstRow + rowCount, (y / kRowsPerStep + 1) * kRowsPerStep) - y;
      step(raster, y, n);
      y += n;
    }
  };
}

}  // namespace

MeasuredPhoto DecodeAndAnalyse(const std::string& path, const RowHook& atRow) {
  JpegImage jpeg;
  jpeg.LoadFromFile(path);
  RowAnalysis totals;
  MeasuredPhoto photo;
  photo.raster = jpeg.ReleaseRaster(InSteps([&](Raster& raster, int y0, int n) {
    if (atRow && y0 % kRowsPerStep == 0) atRow(y0, raster.height());
    for (int y = y0; y < y0 + n; ++y) AnalyseRow(raster.row(y), raster.width(), 0, y, totals);
  }));
  photo.analysis = FinishAnalysis(totals, photo.raster);
  return photo;
}

JpegImage RenderFullResolution(const std::string& path, const SettingsAt& settingsAt) {
  JpegImage jpeg;
  jpeg.LoadFromFile(path);
  // One raster only: each pixel is replaced right after it was decoded.
  std::optional<BrightenTable> table;
  BrightenSettings settings;
  Raster raster = jpeg.ReleaseRaster(InSteps([&](Raster& r, int y0, int n) {
    if (y0 % kRowsPerStep == 0) settings = settingsAt(y0, r.height());
    BrightenRows(r, y0, n, settings, table);
  }));
  jpeg.TakeRaster(std::move(raster));
  return jpeg;
}

}  // namespace imaging
