#include "reference.h"

#include "prosvitek/files/atomic_file.h"
#include "prosvitek/imaging/errors.h"
#include "imaging/pixel_kernels.h"

#include <algorithm>
#include <vector>

namespace imaging {

namespace {

PixelSample SampleAt(const Raster& r, int x, int y) {
  const ColourValue c = r.pixel(x, y);
  return PixelSample{c, x, y, RedOf(c), GreenOf(c), BlueOf(c)};
}

}  // namespace

PhotoAnalysis AnalysePhoto(const Raster& raster, const RowHook& atRow) {
  RowAnalysis totals;
  for (int y = 0; y < raster.height(); ++y) {
    if (atRow && y % kRowsPerStep == 0) atRow(y, raster.height());
    AnalyseRow(raster.row(y), raster.width(), 0, y, totals);
  }
  return FinishAnalysis(totals, raster);
}

PhotoAnalysis FinishAnalysis(const RowAnalysis& totals, const Raster& raster) {
  PhotoAnalysis a;
  a.histogram = totals.histogram();
  a.MinLuminance = totals.minL;
  a.MaxLuminance = totals.maxL;
  if (totals.haveMin) a.MinPixel = SampleAt(raster, totals.minX, totals.minY);
  if (totals.haveMax) a.MaxPixel = SampleAt(raster, totals.maxX, totals.maxY);
  return a;
}

Raster StretchNearest(const Raster& source, int width, int height) {
  Raster out(width, height);
  if (out.empty() || source.empty()) return out;
  const auto sw = static_cast<std::int64_t>(source.width());
  const auto sh = static_cast<std::int64_t>(source.height());
  // Sample the source pixel under the centre of each preview pixel.
  std::vector<std::size_t> columns(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x)
    columns[static_cast<std::size_t>(x)] = 3 * static_cast<std::size_t>((2 * x + 1) * sw / (2 * width));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = source.row(static_cast<int>((2 * y + 1) * sh / (2 * height)));
    std::uint8_t* dst = out.row(y);
    for (int x = 0; x < width; ++x, dst += 3) {
      const std::uint8_t* p = src + columns[static_cast<std::size_t>(x)];
      dst[0] = p[0];
      dst[1] = p[1];
      dst[2] = p[2];
    }
  }
  return out;
}

constexpr int kRowBatch = 16;

// ---- whole rasters ------------------------------------------------------

Raster DecodeJpeg(std::span<const std::uint8_t> file, const DecodeLimits& limits) {
  JpegReader reader(file, limits);
  reader.Start();
  Raster raster(reader.Header().width, reader.Header().height);
  std::uint8_t* rows[kRowBatch];
  for (int y = 0; y < raster.height();) {
    const int n = std::min(kRowBatch, raster.height() - y);
    for (int i = 0; i < n; ++i) rows[i] = raster.row(y + i);
    y += reader.ReadRows(rows, n);
  }
  reader.Finish();
  return raster;
}

Bytes EncodeJpeg(const Raster& raster, int quality, bool progressive, std::span<const JpegSegment> segments) {
  Bytes out;
  if (raster.empty()) return out;
  BytesSink sink(out);
  JpegWriter writer(sink, raster.width(), raster.height(), quality, progressive, segments);
  const std::uint8_t* rows[kRowBatch];
  for (int y = 0; y < raster.height();) {
    const int n = std::min(kRowBatch, raster.height() - y);
    for (int i = 0; i < n; ++i) rows[i] = raster.row(y + i);
    writer.WriteRows(rows, n);
    y += n;
  }
  writer.Finish();
  return out;
}

// ---- the JPEG object ----------------------------------------------------

void JpegImage::LoadFromFile(const std::string& path) { LoadFromBytes(files::ReadWholeFile(path)); }

void JpegImage::LoadFromBytes(Bytes bytes) {
  file_ = std::move(bytes);
  raster_ = Raster();
  decoded_ = false;
  if (file_.empty()) {
    header_ = JpegHeader{};
    return;
  }
  header_ = ReadJpegHeader(file_);
  progressive_ = header_.progressive;
}

const Raster& JpegImage::GetRaster() {
  if (!decoded_) {
    raster_ = DecodeJpeg(file_);
    decoded_ = true;
  }
  return raster_;
}

Raster JpegImage::ReleaseRaster() {
  if (!decoded_) return DecodeJpeg(file_);
  decoded_ = false;
  return std::move(raster_);
}

void JpegImage::TakeRaster(Raster raster) {
  file_.clear();
  file_.shrink_to_fit();
  raster_ = std::move(raster);
  decoded_ = true;
  header_.width = raster_.width();
  header_.height = raster_.height();
}

const Bytes& JpegImage::FileBytes() {
  if (file_.empty() && decoded_) file_ = EncodeJpeg(raster_, quality_, progressive_);
  return file_;
}

void JpegImage::SaveToFile(const std::string& path) {
  const Bytes& bytes = FileBytes();
  if (bytes.empty()) throw FileError("Soubor nelze uložit: " + path + " (fotka je prázdná, není co zapsat)");
  files::WriteFileAtomically(path, bytes);
}

}  // namespace imaging
