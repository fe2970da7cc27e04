#pragma once
// JPEG decoding and encoding over libjpeg with the program's fixed settings:
// float DCT both ways, block smoothing, full scale, grayscale files quantised
// to 236 grey levels with Floyd-Steinberg dithering, standard tables, JFIF 1.01.
//
// Decoding and encoding go row by row (JpegReader, JpegWriter), so a photo
// never has to be held whole.

#include "files/input_file.h"
#include "imaging/jpeg_segments.h"
#include "imaging/raster.h"

#include <cstdint>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace imaging {

using files::Bytes;

struct JpegHeader {
  int width = 0;
  int height = 0;
  int components = 0;
  bool grayscale = false;    // single-component file
  bool progressive = false;  // more than one scan
};

// Memory allowed for decoding one photo: its samples (width x height x
// components) plus the coefficient buffers libjpeg keeps for a whole
// progressive image, plus what the caller holds beside (see JpegReader::Start).
constexpr std::uint64_t kDefaultMemoryBudget = std::uint64_t{1} << 30;
// Progressive files of common programs have about ten scans; each scan is
// another pass over the whole image, so thousands of tiny ones take minutes.
constexpr int kMaxScans = 100;

struct DecodeLimits {
  std::uint64_t memoryBudget = kDefaultMemoryBudget;
  int maxScans = kMaxScans;
};

// Reads the header only. Throws EJPEG (53 when the data does not start with SOI).
JpegHeader ReadJpegHeader(std::span<const std::uint8_t> file);

// Decodes a photo from the top row down into 24-bit rows (blue, green, red),
// reading its file only as far as libjpeg needs it. Grey palette and
// four-component (CMYK, YCCK) files come out converted. A stop requested on
// `stop` ends the decode with Cancelled promptly, also inside the long
// reading of a progressive file. Errors: EJPEG, PhotoTooLarge, FileError, Cancelled.
class JpegReader {
 public:
  JpegReader(const files::InputFile& file, const DecodeLimits& limits = {}, std::stop_token stop = {});
  explicit JpegReader(std::span<const std::uint8_t> bytes, const DecodeLimits& limits = {},
                      std::stop_token stop = {});
  ~JpegReader();
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;

  const JpegHeader& Header() const;
  // What the decode needs by the budget's count: samples plus whole-image
  // coefficient buffers.
  std::uint64_t NeededBytes() const;
  // Refuses the photo (PhotoTooLarge) when NeededBytes() plus `alsoNeeded`
  // exceeds the budget, then starts decoding. A progressive file is read
  // whole here. `scale` 2, 4 or 8 decodes at that fraction of the size with
  // libjpeg's DCT scaling (each side rounded up), far faster than whole.
  void Start(std::uint64_t alsoNeeded = 0, int scale = 1);
  // The size of the rows given out (after Start): the photo's unless scaled.
  int OutputWidth() const;
  int OutputHeight() const;
  // Reads the next rows into rows[0..count); fewer only at the image's end.
  int ReadRows(std::uint8_t* const* rows, int count);
  // Rows of one row of blocks, the unit libjpeg decodes in (after Start).
  int RowsPerBlockRow() const;
  // Whether SkipRows may be used: rows read after a skip to a multiple of
  // RowsPerBlockRow() are the rows a read from the top gives. Not for a grey
  // palette, whose dithering carries from row to row.
  bool CanSkip() const;
  // Passes over the next `count` rows without producing them; libjpeg still
  // reads their data, which costs about half of decoding them.
  void SkipRows(int count);
  // Reads on to the end of the image, so that damage after the last row is
  // noticed too.
  void Finish();
  // libjpeg's complaints about damaged data (a file that ends early, corrupt
  // data): the first one's text and how many there were; empty when none.
  std::string Warning() const;
  // Of the rows given out so far and to come, those that hold the photo's
  // data: OutputHeight() unless the file ended early, when libjpeg fills the
  // rows below with grey. Known for every row by the time it is read; a
  // progressive photo loses only the rows its first scans had not reached.
  int DecodedRows() const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// Where encoded bytes go.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::span<const std::uint8_t> bytes) = 0;
};

class BytesSink final : public ByteSink {
 public:
  explicit BytesSink(Bytes& out) : out_(out) {}
  void Write(std::span<const std::uint8_t> bytes) override { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

 private:
  Bytes& out_;
};

// Encodes rows (blue, green, red) as a JFIF file: YCbCr 2x2/1x1/1x1, standard
// Huffman tables, quality clamped to 1..100, baseline or libjpeg's simple
// progression. The segments follow the JFIF header, in order.
class JpegWriter {
 public:
  JpegWriter(ByteSink& sink, int width, int height, int quality, bool progressive,
             std::span<const JpegSegment> segments = {}, std::stop_token stop = {});
  ~JpegWriter();
  JpegWriter(const JpegWriter&) = delete;
  JpegWriter& operator=(const JpegWriter&) = delete;

  void WriteRows(const std::uint8_t* const* rows, int count);
  // Writes the rest of the file; the rows must all have been written.
  void Finish();

  // Memory the encoder keeps for a whole image: a progressive file is
  // written only when all its coefficients are known.
  static std::uint64_t WholeImageBytes(int width, int height, bool progressive);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// Writes a file this program encoded without segments as if it had been
// encoded with them: they go right after its JFIF header, which is where the
// encoder puts them; nothing else depends on them.
void WriteWithSegments(ByteSink& out, std::span<const std::uint8_t> encoded, std::span<const JpegSegment> segments);

}  // namespace imaging
