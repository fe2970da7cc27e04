// One photo operation per process, for timing and peak memory of whole runs:
//   photo_tool floor IN OUT   decode and encode with the same settings, no pixel work
//   photo_tool save IN OUT    what the window's save does: decode, brighten, encode
//   photo_tool open IN        what the window's open does with the pixels
//   photo_tool decode IN      a plain decode

#include "imaging/analysis.h"
#include "imaging/brighten.h"
#include "imaging/jpeg_codec.h"
#include "imaging/render.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: photo_tool floor|save|open|decode IN [OUT]\n";
    return 2;
  }
  const std::string mode = argv[1], in = argv[2], out = argc > 3 ? argv[3] : "";
  try {
    if (mode == "floor") {
      imaging::JpegImage jpeg;
      jpeg.LoadFromFile(in);
      jpeg.TakeRaster(jpeg.ReleaseRaster());
      jpeg.SetCompressionQuality(85);
      jpeg.SaveToFile(out);
    } else if (mode == "save") {
      // The controls after an open of a typical photo; THRESHOLD overrides the threshold.
      imaging::BrightenSettings s;
      s.threshold = std::getenv("THRESHOLD") ? std::atoi(std::getenv("THRESHOLD")) : 170;
      s.darkestLuminance = 0;
      imaging::JpegImage jpeg = imaging::RenderFullResolution(in, [&](int, int) { return s; });
      jpeg.SetCompressionQuality(85);
      jpeg.SaveToFile(out);
    } else if (mode == "open") {
      const imaging::MeasuredPhoto photo = imaging::DecodeAndAnalyse(in);
      const imaging::PreviewSize p = imaging::FitPreviewSize(photo.raster.width(), photo.raster.height());
      const imaging::Raster a = imaging::StretchNearest(photo.raster, p.width, p.height);
      const imaging::Raster b = imaging::StretchNearest(photo.raster, p.width, p.height);
      std::cout << photo.analysis.MinLuminance << "\n";
    } else if (mode == "decode") {
      std::cout << imaging::DecodePhotoFile(in).width() << "\n";
    } else {
      std::cerr << "unknown mode " << mode << "\n";
      return 2;
    }
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
