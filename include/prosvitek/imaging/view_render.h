#pragma once
// What a view of the photo shows, rendered at the view's own scale: libjpeg
// decodes the photo at 1/2, 1/4 or 1/8 of its size through its scaled
// inverse DCT (for a fitted 24 MP photo, a sixteenth of the pixels), or only
// the rows of a region at full size, and turns it as it is to be seen. A
// change of the settings then brightens only these pixels again, with the
// pipeline's own row kernels.

#include "prosvitek/files/input_file.h"
#include "prosvitek/imaging/brighten.h"
#include "prosvitek/imaging/jpeg_codec.h"
#include "prosvitek/imaging/orientation.h"
#include "prosvitek/imaging/raster.h"

#include <stop_token>
#include <string>

namespace imaging {

// The denominators libjpeg decodes at, the smallest picture first.
inline constexpr int kViewScales[] = {8, 4, 2, 1};

// The shown size of a photo stored width x height at 1/scale.
void ShownSizeAtScale(int orientation, int width, int height, int scale, int& shownWidth, int& shownHeight);

// The largest denominator at which the photo, as shown, still has at least
// wantWidth x wantHeight pixels (1 when none but the full size has).
int ViewScaleFor(int orientation, int width, int height, int wantWidth, int wantHeight);

struct ViewRequest {
  int scale = 1;        // 1, 2, 4 or 8
  int orientation = 1;  // the photo's EXIF orientation
  // The part wanted, in pixels of the shown photo at the scale; empty for
  // the whole photo. Clipped to the photo.
  PixelRect region;
};

struct ViewPixels {
  Raster pixels;     // the region as it is to be seen, not brightened
  PixelRect region;  // where it lies in the shown photo at the scale
  int shownWidth = 0;
  int shownHeight = 0;
  std::string warning;  // libjpeg's complaint about damaged data, if any
};

// Decodes what the request asks for, reading rows only as far down as the
// region reaches and passing over the rows above it (a progressive file is
// read whole first, as libjpeg must). Errors as JpegReader's.
ViewPixels DecodeView(const files::InputFile& file, const ViewRequest& request, const DecodeLimits& limits = {},
                      std::stop_token stop = {});

// The view's pixels brightened with one set of settings, as a pass brightens rows.
Raster BrightenView(const Raster& before, const BrightenSettings& settings, double exponent);

}  // namespace imaging
