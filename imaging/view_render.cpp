#include "prosvitek/imaging/view_render.h"

#include "pixel_kernels.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace imaging {
namespace {

// Rows read from libjpeg at a time.
constexpr int kBatchRows = 16;

}  // namespace

void ShownSizeAtScale(int orientation, int width, int height, int scale, int& shownWidth, int& shownHeight) {
  // libjpeg's scaled output size: the stored size divided, rounded up.
  ShownSize(orientation, (width + scale - 1) / scale, (height + scale - 1) / scale, shownWidth, shownHeight);
}

int ViewScaleFor(int orientation, int width, int height, int wantWidth, int wantHeight) {
  for (const int scale : kViewScales) {
    int w = 0, h = 0;
    ShownSizeAtScale(orientation, width, height, scale, w, h);
    if (w >= wantWidth && h >= wantHeight) return scale;
  }
  return 1;
}

ViewPixels DecodeView(const files::InputFile& file, const ViewRequest& request, const DecodeLimits& limits,
                      std::stop_token stop) {
  JpegReader reader(file, limits, std::move(stop));
  // libjpeg's scaled size: each side divided, rounded up.
  const int width = (reader.Header().width + request.scale - 1) / request.scale;
  const int height = (reader.Header().height + request.scale - 1) / request.scale;
  ViewPixels view;
  ShownSize(request.orientation, width, height, view.shownWidth, view.shownHeight);
  PixelRect& shown = view.region;
  shown = request.region.empty() ? PixelRect{0, 0, view.shownWidth, view.shownHeight} : request.region;
  const int right = std::min(shown.x + shown.width, view.shownWidth),
            bottom = std::min(shown.y + shown.height, view.shownHeight);
  shown.x = std::clamp(shown.x, 0, view.shownWidth);
  shown.y = std::clamp(shown.y, 0, view.shownHeight);
  shown.width = std::max(right - shown.x, 0);
  shown.height = std::max(bottom - shown.y, 0);
  if (shown.empty()) return view;

  const PixelRect stored = StoredRect(request.orientation, width, height, shown);
  const std::size_t stride = 3 * static_cast<std::size_t>(width);
  // The region, and a band of whole rows to read it through.
  Raster part(stored.width, stored.height);
  reader.Start(part.byteSize() + kBatchRows * stride, JpegReader::Scans::ReadOnce, request.scale);
  std::vector<std::uint8_t> band(kBatchRows * stride);
  std::uint8_t* rows[kBatchRows];
  for (int i = 0; i < kBatchRows; ++i) rows[i] = band.data() + static_cast<std::size_t>(i) * stride;

  int y = 0;
  if (reader.CanSkip()) {
    // Passing over whole rows of blocks costs about half of decoding them.
    const int unit = std::max(reader.RowsPerBlockRow(), 1);
    y = stored.y / unit * unit;
    reader.SkipRows(y);
  }
  const int last = stored.y + stored.height;
  while (y < last) {
    const int got = reader.ReadRows(rows, std::min(kBatchRows, last - y));
    if (got <= 0) break;
    for (int i = 0; i < got; ++i, ++y)
      if (y >= stored.y)
        std::memcpy(part.row(y - stored.y), rows[i] + 3 * static_cast<std::size_t>(stored.x), part.stride());
  }
  view.warning = reader.Warning();
  view.pixels = request.orientation == 1 ? std::move(part) : Oriented(part, request.orientation);
  return view;
}

Raster BrightenView(const Raster& before, const BrightenSettings& settings, double exponent) {
  Raster after(before.width(), before.height());
  const BrightenTable table(settings, exponent);
  for (int y = 0; y < before.height(); ++y) BrightenRow(table, before.row(y), after.row(y), before.width());
  return after;
}

}  // namespace imaging
