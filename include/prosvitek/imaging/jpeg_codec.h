#pragma once
// JPEG decoding and encoding over libjpeg with the program's fixed settings:
// float DCT both ways, block smoothing, full scale, grayscale files quantised
// to 236 grey levels with Floyd-Steinberg dithering, standard tables, JFIF 1.01.
//
// Decoding and encoding go row by row (JpegReader, JpegWriter), so a photo
// never has to be held whole.

#include "prosvitek/files/input_file.h"
#include "prosvitek/imaging/jpeg_segments.h"
#include "prosvitek/imaging/raster.h"

#include <array>
#include <cstdint>
#include <functional>
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

// How libjpeg turns a photo's components into colours.
enum class ColourModel { Grey, YCbCr, Rgb, FourComponent, Other };

// Where a photo's coefficient blocks lie: its grid of MCUs (minimum coded
// units) and each component's sampling and quantisation. Blocks are indexed
// by block row and column within their component; the grid's MCUs hold
// h x v blocks of each component, dummy blocks past the image's edge included.
struct BlockGrid {
  struct Component {
    int h = 1, v = 1;                        // sampling factors
    int widthInBlocks = 0, heightInBlocks = 0;  // blocks holding image data
    std::array<std::uint16_t, 64> quant{};  // as the inverse DCT dequantises, natural order
  };
  int width = 0, height = 0;
  int maxH = 1, maxV = 1;
  int mcuWidth = 8, mcuHeight = 8;  // pixels
  int mcuColumns = 0, mcuRows = 0;
  ColourModel colour = ColourModel::YCbCr;
  std::vector<Component> components;
};

// A coefficient block: 64 quantised coefficients in natural (row) order.
using CoefficientBlock = std::array<std::int16_t, 64>;

// Where a single-scan photo's blocks go while they are entropy-decoded
// (JpegReader::ReadCoefficients), MCU row by MCU row.
class CoefficientSink {
 public:
  virtual ~CoefficientSink() = default;
  // Storage for block row `row` of a component: the blocks of every MCU
  // column, dummy blocks included.
  virtual CoefficientBlock* Row(int component, int row) = 0;
  // Every block of MCU row `mcuRow` has been decoded; false stops the reading.
  virtual bool RowDone(int mcuRow) = 0;
  // Whether the storage Row gives is zeroed already (the decoder writes only
  // the coefficients that are not zero).
  virtual bool ZeroedRows() const { return false; }
};

// The coefficient blocks of MCU rows [firstRow, lastRow] and, in each, of
// the MCU columns of `columns` (ascending, disjoint, inclusive intervals).
struct McuSelection {
  int firstRow = 0, lastRow = 0;
  std::vector<std::pair<int, int>> columns;
};
// Block (row, column) of a component, as a selection's decoding asks for them.
using BlockSource = std::function<const CoefficientBlock&(int component, int row, int column)>;

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
  // What Start does with a multi-scan (progressive) file: read its scans to
  // give rows once, or keep the coefficients, to give rows as often as asked
  // (StartAnotherPass) and to be looked at (KeptBlock).
  enum class Scans { ReadOnce, Keep };
  // Refuses the photo (PhotoTooLarge) when NeededBytes() plus `alsoNeeded`
  // exceeds the budget, then starts decoding. A progressive file is read
  // whole here, or its scans kept for several passes (Scans::Keep). `scale`
  // 2, 4 or 8 decodes at that fraction of the size with libjpeg's DCT
  // scaling (each side rounded up), far faster than whole.
  void Start(std::uint64_t alsoNeeded = 0, Scans scans = Scans::ReadOnce, int scale = 1);
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

  // ---- coefficients (after Start) ----
  // Whether the coefficients of a multi-scan file are kept (Scans::Keep).
  bool KeepsScans() const;
  // Gives the rows again from the top: kept scans only, after Finish or at
  // any row. `stop` replaces the stop given at construction: kept scans
  // serve several passes, each with a stop of its own.
  void StartAnotherPass(std::stop_token stop);
  // The pass started is the kept scans' last: their coefficients are given
  // back to the system as the rows pass, so that the encoder's fill the
  // memory they leave.
  void LastPass();
  BlockGrid Grid() const;
  // A kept block; rows and columns of whole MCUs, dummy blocks included.
  const CoefficientBlock& KeptBlock(int component, int row, int column) const;
  // Whether libjpeg smooths the blocks of kept scans whose coefficients
  // arrived incomplete (a progressive file cut short): their samples then
  // depend on their neighbours.
  bool SmoothsBlocks() const;
  // The 64 samples of a block of a component (before upsampling and colour
  // conversion) exactly as this photo's decoding makes them.
  void InverseDct(int component, const CoefficientBlock& block, std::uint8_t* samples) const;
  // The colour of a pixel whose components have these samples, as this
  // photo's decoding gives it (blue, green, red).
  void ConvertSamples(std::span<const std::uint8_t* const> planes, int count, std::uint8_t* bgr) const;
  // Entropy-decodes a single-scan photo to its end (or until the sink says
  // stop), handing over every block without producing rows: about half the
  // work of decoding it. Uses the reader up. Gives false when the sink stopped.
  bool ReadCoefficients(CoefficientSink& sink);
  // Decodes a selection of this photo's MCUs from their blocks, with the
  // photo's own settings, and gives its rows (blue, green, red, the
  // selected columns side by side) from the top. The MCUs next to an edge
  // of the selection that is not an edge of the photo come out differently
  // (their neighbours are missing); the others exactly as in the photo.
  // Throws EJPEG for blocks no encoder could have written.
  void DecodeSelection(const McuSelection& selection, const BlockSource& blocks,
                       const std::function<void(int row, const std::uint8_t* pixels)>& rowOut) const;

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
// progression. The segments follow the JFIF header, in order. With
// `twoThreads`, a progressive file's last passes (Finish) run on two
// threads; the bytes are the same, handed to the sink only at the end.
class JpegWriter {
 public:
  JpegWriter(ByteSink& sink, int width, int height, int quality, bool progressive,
             std::span<const JpegSegment> segments = {}, std::stop_token stop = {}, bool twoThreads = false);
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
