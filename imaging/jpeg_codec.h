#pragma once
// JPEG decoding and encoding over libjpeg with the program's fixed settings:
// float DCT both ways, block smoothing, full scale, grayscale files quantised
// to 236 grey levels with Floyd-Steinberg dithering, standard tables, JFIF 1.01.

#include "imaging/file_io.h"
#include "imaging/raster.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace imaging {

struct JpegHeader {
  int width = 0;
  int height = 0;
  int components = 0;
  bool grayscale = false;    // single-component file
  bool progressive = false;  // more than one scan
};

// Reads the header only. Throws EJPEG (53 when the data does not start with SOI).
JpegHeader ReadJpegHeader(std::span<const std::uint8_t> file);

// Called after each batch of rows has been decoded, while the rows are still
// in the processor's cache, with the batch's first row and row count.
using RowsDecoded = std::function<void(Raster& raster, int firstRow, int rowCount)>;

// Decodes the whole image into a 24-bit raster. Throws EJPEG (42 for empty
// data) or RasterTooLarge before allocating a raster that would not fit.
// Four-component (CMYK, YCCK) files are converted to RGB.
Raster DecodeJpeg(std::span<const std::uint8_t> file, const RowsDecoded& onRows = {});

// Encodes a raster as a JFIF file: YCbCr 2x2/1x1/1x1, standard Huffman tables,
// quality clamped to 1..100, baseline or libjpeg's simple progression.
// An empty raster gives no bytes.
Bytes EncodeJpeg(const Raster& raster, int quality, bool progressive);

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
  Raster ReleaseRaster(const RowsDecoded& onRows = {});

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
  // FileBytes written atomically to path.
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
