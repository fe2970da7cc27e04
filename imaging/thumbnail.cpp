#include "thumbnail.h"

#include "prosvitek/imaging/analysis.h"
#include "pixel_kernels.h"
#include "prosvitek/imaging/raster.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <vector>

namespace imaging {
namespace {

// The photo's size fitted into the frame, its aspect kept, each side at least 1.
struct Fitted {
  int width;
  int height;
};
Fitted FitInto(int width, int height, int frameWidth, int frameHeight) {
  const long double w = width, h = height;
  if (w * frameHeight >= h * frameWidth)
    return {frameWidth, std::max(1, static_cast<int>(std::nearbyint(h * frameWidth / w)))};
  return {std::max(1, static_cast<int>(std::nearbyint(w * frameHeight / h))), frameHeight};
}

// The largest of libjpeg's scales that still gives at least the fitted size.
int ScaleFor(int width, int height, const Fitted& fitted) {
  for (int scale : {8, 4, 2})
    if ((width + scale - 1) / scale >= fitted.width && (height + scale - 1) / scale >= fitted.height) return scale;
  return 1;
}

// Of `to` averages over `from` positions, those each position enters: every
// average takes the positions of its share, at least one (a photo smaller
// than the frame is enlarged).
struct Shares {
  std::vector<std::pair<int, int>> targets;  // per position: the first and one past the last average
  Shares(int from, int to) : targets(static_cast<std::size_t>(from), {to, 0}) {
    for (int t = 0; t < to; ++t) {
      const int first = static_cast<int>(std::int64_t{t} * from / to);
      const int last = std::max(static_cast<int>(std::int64_t{t + 1} * from / to), first + 1);
      for (int i = first; i < last; ++i) {
        auto& [begin, end] = targets[static_cast<std::size_t>(i)];
        begin = std::min(begin, t);
        end = std::max(end, t + 1);
      }
    }
  }
  const std::pair<int, int>& operator[](int i) const { return targets[static_cast<std::size_t>(i)]; }
};

}  // namespace

Bytes RenderThumbnail(const files::InputFile& source, const ThumbnailRequest& request, const DecodeLimits& limits,
                      std::stop_token stop) {
  if (request.width < 1 || request.height < 1 || !request.settingsAt)
    throw std::invalid_argument("RenderThumbnail: a frame and settings are needed");
  JpegReader reader(source, limits, stop);
  const int width = reader.Header().width, height = reader.Header().height;
  const Fitted fitted = FitInto(width, height, request.width, request.height);
  const int scale = ScaleFor(width, height, fitted);
  reader.Start(0, JpegReader::Scans::ReadOnce, scale);
  const int rows = reader.OutputHeight(), columns = reader.OutputWidth();

  // Box averages of the brightened small decode, one per fitted pixel.
  const Shares rowShares(rows, fitted.height), columnShares(columns, fitted.width);
  std::vector<std::uint32_t> sums(3 * static_cast<std::size_t>(fitted.width) * static_cast<std::size_t>(fitted.height));
  std::vector<std::uint32_t> counts(static_cast<std::size_t>(fitted.width) * static_cast<std::size_t>(fitted.height));
  std::vector<std::uint8_t> line(3 * static_cast<std::size_t>(columns));
  std::uint8_t* const lines[] = {line.data()};
  std::optional<BrightenTable> table;
  for (int y = 0; y < rows; ++y) {
    reader.ReadRows(lines, 1);
    const int photoRow = std::min(y * scale, height - 1);
    const BrightenTable& t = TableFor(request.settingsAt(photoRow - photoRow % kRowsPerStep, height), request.exponent, table);
    BrightenRow(t, line.data(), line.data(), columns);
    for (int ty = rowShares[y].first; ty < rowShares[y].second; ++ty)
      for (int x = 0; x < columns; ++x)
        for (int tx = columnShares[x].first; tx < columnShares[x].second; ++tx) {
          const std::size_t at = static_cast<std::size_t>(ty) * static_cast<std::size_t>(fitted.width) + static_cast<std::size_t>(tx);
          for (std::size_t c = 0; c < 3; ++c) sums[3 * at + c] += line[3 * static_cast<std::size_t>(x) + c];
          ++counts[at];
        }
  }

  // Centred in the frame; the bars stay black, as cameras leave them.
  Raster frame(request.width, request.height);
  for (int y = 0; y < request.height; ++y) std::fill(frame.row(y), frame.row(y) + frame.stride(), std::uint8_t{0});
  const int left = (request.width - fitted.width) / 2, top = (request.height - fitted.height) / 2;
  for (int y = 0; y < fitted.height; ++y) {
    std::uint8_t* out = frame.row(top + y) + 3 * static_cast<std::size_t>(left);
    for (int x = 0; x < fitted.width; ++x) {
      const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(fitted.width) + static_cast<std::size_t>(x);
      const std::uint32_t n = counts[at];
      for (std::size_t c = 0; c < 3; ++c) *out++ = static_cast<std::uint8_t>((sums[3 * at + c] + n / 2) / n);
    }
  }

  Bytes encoded;
  BytesSink sink(encoded);
  JpegWriter writer(sink, request.width, request.height, kThumbnailQuality, false, {}, stop);
  for (int y = 0; y < request.height; ++y) {
    const std::uint8_t* row = frame.row(y);
    writer.WriteRows(&row, 1);
  }
  writer.Finish();
  return encoded;
}

}  // namespace imaging
