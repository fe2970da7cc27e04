#pragma once
// The small picture an EXIF block carries, made anew from the brightened
// photo so that file managers and cameras show the saved photo, not the dark
// original. It is made before the photo is encoded (its segment goes before
// the picture), from a cheap decode of the source: libjpeg's DCT scaling.

#include "prosvitek/files/input_file.h"
#include "prosvitek/imaging/brighten.h"
#include "prosvitek/imaging/jpeg_codec.h"

#include <stop_token>

namespace imaging {

// The frame cameras use for EXIF thumbnails.
inline constexpr int kThumbnailWidth = 160;
inline constexpr int kThumbnailHeight = 120;
inline constexpr int kThumbnailQuality = 85;

struct ThumbnailRequest {
  int width = kThumbnailWidth;  // the frame; the photo is fitted into it, the rest black
  int height = kThumbnailHeight;
  // The saved photo's brightening: its exponent, and the settings of each
  // step, asked with the photo's rows. Each row of the small decode takes
  // the settings of the step holding the first photo row it stands for.
  double exponent = ExponentFor(kDefaultStrength);
  SettingsAt settingsAt;
};

// The source photo decoded at the smallest DCT scale still at least the
// fitted size, brightened, averaged into the frame (pixels as stored, not
// turned by the orientation) and encoded as a baseline JPEG at
// kThumbnailQuality. Errors as JpegReader's.
Bytes RenderThumbnail(const files::InputFile& source, const ThumbnailRequest& request, const DecodeLimits& limits = {},
                      std::stop_token stop = {});

}  // namespace imaging
