#pragma once
// The whole-raster definition the streaming pipeline is tested against: a
// photo decoded whole, measured whole, stretched and encoded whole. The
// program itself never holds a photo whole; only the tests and benchmarks
// use these.

#include "prosvitek/imaging/analysis.h"
#include "prosvitek/imaging/jpeg_codec.h"
#include "prosvitek/imaging/raster.h"

#include <span>
#include <string>

namespace imaging {

struct RowAnalysis;

// Measures every pixel. Of several pixels with the extreme luminance the one
// in the leftmost column, then the topmost row, is recorded.
PhotoAnalysis AnalysePhoto(const Raster& raster, const RowHook& atRow = {});

// The analysis from the totals of all of the raster's rows.
PhotoAnalysis FinishAnalysis(const RowAnalysis& totals, const Raster& raster);

// Nearest-neighbour stretch of the whole raster into width x height.
Raster StretchNearest(const Raster& source, int width, int height);

// Decodes the whole image into a 24-bit raster. Throws EJPEG (42 for empty
// data) or PhotoTooLarge before allocating a raster that would not fit.
Raster DecodeJpeg(std::span<const std::uint8_t> file, const DecodeLimits& limits = {});

// Encodes a raster; an empty raster gives no bytes.
Bytes EncodeJpeg(const Raster& raster, int quality, bool progressive, std::span<const JpegSegment> segments = {});

// The program's JPEG object: file bytes, the decoded raster and the settings
// that travel from a loaded file to a saved one (the progressive mode).
class JpegImage {
 public:
  // Reads the file and its header; a zero-byte file is kept without a header.
  void LoadFromFile(const std::string& path);
  void LoadFromBytes(Bytes bytes);

  // Decodes on the first call and keeps the raster.
  const Raster& GetRaster();
  // Decodes and hands the raster over to the caller instead of copying it.
  Raster ReleaseRaster();

  // Drops the file bytes and takes the raster; nothing is encoded yet.
  void TakeRaster(Raster raster);

  void SetCompressionQuality(int quality) { quality_ = quality; }
  int CompressionQuality() const { return quality_; }
  bool ProgressiveEncoding() const { return progressive_; }
  int Width() const { return header_.width; }
  int Height() const { return header_.height; }
  bool Grayscale() const { return header_.grayscale; }

  // Encodes the raster when no file bytes are held, and returns the bytes.
  const Bytes& FileBytes();
  // FileBytes written atomically to path. Refuses (FileError) to write an
  // empty file, whatever came before: nothing loaded, an empty raster, a
  // raster already handed over.
  void SaveToFile(const std::string& path);

 private:
  Bytes file_;
  Raster raster_;
  bool decoded_ = false;
  JpegHeader header_;
  int quality_ = 90;
  bool progressive_ = false;
};

}  // namespace imaging
