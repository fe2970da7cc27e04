#pragma once
// The darkest and brightest luminance of a photo, found from its
// coefficient blocks without decoding it whole. Each block's samples are
// bounded from its coefficients (cheaply, or exactly by libjpeg's own inverse
// DCT where the cheap bound is too wide); each MCU's luminance is bounded
// from the samples of the blocks its pixels are made of (upsampling takes
// them from the neighbouring blocks too) through libjpeg's colour
// conversion; and only the MCUs whose bound could hold an extreme beyond
// the ones already known are decoded, exactly, by libjpeg.
//
// Why it is exact: an MCU is left out only when its bound lies beyond the
// luminance some decoded pixel has, or beyond what some pixel of another
// MCU is proven to reach; the MCU whose proof reached furthest is decoded
// itself unless a decoded pixel went further. So the extremes of the decoded
// pixels are the photo's.

#include "prosvitek/imaging/jpeg_codec.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace imaging {

// libjpeg's YCbCr to RGB conversion as offsets to Y: R = Y + red[Cr],
// G = Y + green[Cb][Cr], B = Y + blue[Cb], each clamped to 0..255.
struct YccOffsets {
  std::array<std::int16_t, 256> red{}, blue{};
  std::vector<std::int16_t> green;  // [Cb * 256 + Cr]
  // 2989 red + 5866 green + 1145 blue: what the chroma adds to 10000 x the
  // luminance of an unclamped pixel (the weights sum to 10000), [Cb * 256 + Cr];
  // its least and most over tiles of 8 x 8 (Cb, Cr) pairs [Cb / 8 * 32 + Cr / 8], and overall.
  std::vector<std::int32_t> added;
  std::vector<std::int32_t> tileLeast, tileMost;
  std::int32_t leastAdded = 0, mostAdded = 0;
};
// Read from libjpeg's conversion, as a YCbCr photo decodes (every one alike),
// once for the process; nothing when the conversion does not have that
// form or is not monotonic, so no bound can be built on it.
const YccOffsets* LibjpegOffsets();

// Pixels with chroma within [cb0, cb1] x [cr0, cr1]: each channel's offset
// at its box corners (red and blue grow with their chroma, green falls with
// both) and the least and most the chroma adds to the luminance (exactly for
// a small box when `closely`, else over the tiles it touches).
struct ChromaBox {
  int redLeast, redMost, greenLeast, greenMost, blueLeast, blueMost;
  std::int32_t addedLeast, addedMost;
};
ChromaBox BoxOf(const YccOffsets& offsets, int cb0, int cb1, int cr0, int cr1, bool closely);
// Bounds of the luminance of pixels with luma y (at least, or at most) and
// chroma in the box.
int LeastLuminance(int y, const ChromaBox& box);
int MostLuminance(int y, const ChromaBox& box);

// What is known of a block's samples: all lie within [lo, hi]; some sample
// inside the image is at least proofHigh, and some at most proofLow. (The
// byte layout of BlockRanges' packed ranges.)
struct SampleRange {
  std::uint8_t lo = 0, hi = 255;
  std::uint8_t proofHigh = 0, proofLow = 255;
};

// The spread of every coefficient's basis function over a block, in
// sixteenths of a sample, rounded up, for one quantisation table.
struct BlockWeights {
  std::array<std::int16_t, 64> spread{};  // 0 for the DC coefficient
  int dc = 0;                              // the DC quantiser
};
BlockWeights WeightsFor(const std::array<std::uint16_t, 64>& quant);

// The bound from the coefficients (see BlockRanges). `wholeInImage`: proofs
// only for blocks with every sample inside.
SampleRange RangeFromCoefficients(const CoefficientBlock& block, const std::array<std::uint16_t, 64>& quant,
                                  bool wholeInImage);

// The exact range of a block's 8 x 8 samples, proven over the `width` x
// `height` of them inside the image.
SampleRange RangeOfSamples(const std::uint8_t* samples, int width, int height);

// Luminance extremes found so far.
struct LuminanceExtremes {
  int darkest = 256;  // 256 and -1 until a pixel is decoded
  int brightest = -1;
};

// The search over one photo, MCU row by MCU row: as the sink of a
// single-scan photo's entropy pass (JpegReader::ReadCoefficients), or over
// kept scans (SearchKept).
class ExtremesSearch final : public CoefficientSink {
 public:
  // Whether the search works for this (started) photo: YCbCr or RGB, with
  // every component's table known and no block smoothing.
  static bool Applies(const JpegReader& reader);

  // `settled(darkest, brightest)`: whether nothing beyond these can matter,
  // to stop early; may be empty. `lead`: how many MCU rows past the last
  // one handed to RowDone the entropy pass may be writing (it runs on
  // another thread): the search keeps room for them.
  ExtremesSearch(const JpegReader& reader, std::function<bool(int darkest, int brightest)> settled,
                 std::stop_token stop, int lead = 1);
  ~ExtremesSearch() override;
  // Memory the search holds for a photo, by the same count (before constructing).
  static std::uint64_t BytesFor(const JpegHeader& header, int lead);

  CoefficientBlock* Row(int component, int row) override;
  bool RowDone(int mcuRow) override;
  bool ZeroedRows() const override { return true; }

  // Searches a photo with kept scans; false when it stopped early.
  bool SearchKept();

  // After the search: the extremes (of the whole photo unless it stopped early).
  LuminanceExtremes extremes() const;
  // Whether it stopped because the extremes were settled.
  bool settled() const;
  // Whether it gave up (too many MCUs to decode, blocks libjpeg's encoder
  // refuses): then the photo has to be measured by decoding it.
  bool gaveUp() const;
  // MCUs decoded exactly, margins included, and all MCUs of the photo.
  std::int64_t decodedMcus() const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace imaging
