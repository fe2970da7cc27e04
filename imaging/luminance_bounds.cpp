#include "luminance_bounds.h"

#include "prosvitek/imaging/errors.h"
#include "prosvitek/imaging/luminance.h"
#include "pixel_kernels.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

namespace imaging {
namespace {

constexpr int Clamp(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// |cos((2x + 1) u pi / 16)| at its largest over the block's 8 positions.
double LargestCosine(int u) {
  double m = 0;
  for (int x = 0; x < 8; ++x) m = std::max(m, std::abs(std::cos((2 * x + 1) * u * M_PI / 16)));
  return m;
}

}  // namespace

// ---- libjpeg's colour conversion as offsets ---------------------------------

namespace {

// Converts every (Cb, Cr) pair at luma `y` through the reader's conversion.
std::vector<std::uint8_t> ConvertAllChroma(const JpegReader& reader, int y) {
  std::vector<std::uint8_t> luma(65536, static_cast<std::uint8_t>(y)), cb(65536), cr(65536), bgr(3 * 65536);
  for (int i = 0; i < 65536; ++i) {
    cb[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i >> 8);
    cr[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i & 255);
  }
  const std::uint8_t* planes[] = {luma.data(), cb.data(), cr.data()};
  reader.ConvertSamples(planes, 65536, bgr.data());
  return bgr;
}

// The offset of a channel from its values at Y = 0 and Y = 255, which
// clamp on opposite sides.
int OffsetFrom(int atBlack, int atWhite) { return atBlack > 0 ? atBlack : atWhite - 255; }

std::optional<YccOffsets> ReadOffsets(const JpegReader& reader) {
  const std::vector<std::uint8_t> black = ConvertAllChroma(reader, 0), white = ConvertAllChroma(reader, 255);
  YccOffsets o;
  o.green.resize(65536);
  for (int cb = 0; cb < 256; ++cb)
    for (int cr = 0; cr < 256; ++cr) {
      const std::size_t i = static_cast<std::size_t>(cb * 256 + cr), p = 3 * i;
      const int red = OffsetFrom(black[p + 2], white[p + 2]), blue = OffsetFrom(black[p], white[p]);
      o.green[i] = static_cast<std::int16_t>(OffsetFrom(black[p + 1], white[p + 1]));
      // Red depends on Cr alone and blue on Cb alone, or the form is not libjpeg's.
      if (cb == 0) o.red[static_cast<std::size_t>(cr)] = static_cast<std::int16_t>(red);
      if (cr == 0) o.blue[static_cast<std::size_t>(cb)] = static_cast<std::int16_t>(blue);
      if (o.red[static_cast<std::size_t>(cr)] != red || o.blue[static_cast<std::size_t>(cb)] != blue) return std::nullopt;
    }
  // The bounds take the corners of boxes of (Y, Cb, Cr): red and blue must
  // grow with their chroma, green fall with both.
  for (int v = 1; v < 256; ++v) {
    const auto i = static_cast<std::size_t>(v);
    if (o.red[i] < o.red[i - 1] || o.blue[i] < o.blue[i - 1]) return std::nullopt;
  }
  for (int cb = 0; cb < 256; ++cb)
    for (int cr = 0; cr < 256; ++cr) {
      const int g = o.green[static_cast<std::size_t>(cb * 256 + cr)];
      if ((cb > 0 && g > o.green[static_cast<std::size_t>((cb - 1) * 256 + cr)]) ||
          (cr > 0 && g > o.green[static_cast<std::size_t>(cb * 256 + cr - 1)]))
        return std::nullopt;
    }
  o.added.resize(65536);
  for (std::size_t i = 0; i < 65536; ++i)
    o.added[i] = 2989 * o.red[i & 255] + 5866 * o.green[i] + 1145 * o.blue[i >> 8];
  o.leastAdded = *std::min_element(o.added.begin(), o.added.end());
  o.mostAdded = *std::max_element(o.added.begin(), o.added.end());
  o.tileLeast.assign(32 * 32, INT32_MAX);
  o.tileMost.assign(32 * 32, INT32_MIN);
  for (std::size_t i = 0; i < 65536; ++i) {
    const std::size_t tile = (i >> 11) * 32 + ((i & 255) >> 3);
    o.tileLeast[tile] = std::min(o.tileLeast[tile], o.added[i]);
    o.tileMost[tile] = std::max(o.tileMost[tile], o.added[i]);
  }
  // The form must hold at other lumas too.
  for (int y : {1, 64, 128, 200, 254}) {
    const std::vector<std::uint8_t> at = ConvertAllChroma(reader, y);
    for (std::size_t i = 0; i < 65536; ++i) {
      const std::size_t cb = i >> 8, cr = i & 255, p = 3 * i;
      if (at[p + 2] != Clamp(y + o.red[cr]) || at[p] != Clamp(y + o.blue[cb]) || at[p + 1] != Clamp(y + o.green[i]))
        return std::nullopt;
    }
  }
  return o;
}

}  // namespace

const YccOffsets* LibjpegOffsets() {
  static const std::optional<YccOffsets> offsets = [] {
    // A small photo the program encodes: YCbCr like every other.
    Bytes photo;
    BytesSink sink(photo);
    JpegWriter writer(sink, 16, 16, 90, false);
    std::array<std::uint8_t, 48> row{};
    const std::uint8_t* rows[] = {row.data()};
    for (int y = 0; y < 16; ++y) writer.WriteRows(rows, 1);
    writer.Finish();
    JpegReader reader(photo);
    reader.Start();
    return ReadOffsets(reader);
  }();
  return offsets ? &*offsets : nullptr;
}

ChromaBox BoxOf(const YccOffsets& o, int cb0, int cb1, int cr0, int cr1, bool closely) {
  const auto at = [](int cb, int cr) { return static_cast<std::size_t>(cb * 256 + cr); };
  ChromaBox b{o.red[static_cast<std::size_t>(cr0)], o.red[static_cast<std::size_t>(cr1)], o.green[at(cb1, cr1)],
              o.green[at(cb0, cr0)], o.blue[static_cast<std::size_t>(cb0)], o.blue[static_cast<std::size_t>(cb1)],
              INT32_MAX, INT32_MIN};
  if (closely && (cb1 - cb0 + 1) * (cr1 - cr0 + 1) <= 64) {
    for (int cb = cb0; cb <= cb1; ++cb)
      for (int cr = cr0; cr <= cr1; ++cr) {
        b.addedLeast = std::min(b.addedLeast, o.added[at(cb, cr)]);
        b.addedMost = std::max(b.addedMost, o.added[at(cb, cr)]);
      }
  } else if ((cb1 >> 3) - (cb0 >> 3) <= 3 && (cr1 >> 3) - (cr0 >> 3) <= 3) {
    for (int tb = cb0 >> 3; tb <= cb1 >> 3; ++tb)
      for (int tr = cr0 >> 3; tr <= cr1 >> 3; ++tr) {
        const auto t = static_cast<std::size_t>(tb * 32 + tr);
        b.addedLeast = std::min(b.addedLeast, o.tileLeast[t]);
        b.addedMost = std::max(b.addedMost, o.tileMost[t]);
      }
  } else {
    b.addedLeast = o.leastAdded;
    b.addedMost = o.mostAdded;
  }
  return b;
}

// Two bounds, the tighter taken: each channel at its own worst corner; and
// 10000 x luma plus what the chroma adds, which clamping can only raise,
// except at 255 (and only lower, except at 0).
int LeastLuminance(int y, const ChromaBox& b) {
  const int corner = Luminance(Clamp(y + b.redLeast), Clamp(y + b.greenLeast), Clamp(y + b.blueLeast));
  const std::int32_t key = 10000 * y + b.addedLeast - 2989 * std::max(0, y + b.redMost - 255) -
                           5866 * std::max(0, y + b.greenMost - 255) - 1145 * std::max(0, y + b.blueMost - 255);
  // A key on a multiple of 10000 may give one less (see Luminance).
  const int linear = key <= 0 ? 0 : key / 10000 - (key % 10000 == 0 ? 1 : 0);
  return std::max(corner, linear);
}

int MostLuminance(int y, const ChromaBox& b) {
  const int corner = Luminance(Clamp(y + b.redMost), Clamp(y + b.greenMost), Clamp(y + b.blueMost));
  const std::int32_t key = 10000 * y + b.addedMost + 2989 * std::max(0, -(y + b.redLeast)) +
                           5866 * std::max(0, -(y + b.greenLeast)) + 1145 * std::max(0, -(y + b.blueLeast));
  return std::min(corner, key < 0 ? 0 : key / 10000);
}

// ---- sample ranges of blocks ------------------------------------------------

BlockWeights WeightsFor(const std::array<std::uint16_t, 64>& quant) {
  static const std::array<double, 64> basis = [] {
    std::array<double, 64> b{};
    for (int v = 0; v < 8; ++v)
      for (int u = 0; u < 8; ++u) {
        const double cu = u == 0 ? M_SQRT1_2 : 1.0, cv = v == 0 ? M_SQRT1_2 : 1.0;
        b[static_cast<std::size_t>(v * 8 + u)] = 0.25 * cu * cv * LargestCosine(u) * LargestCosine(v);
      }
    return b;
  }();
  BlockWeights w;
  w.dc = quant[0];
  for (std::size_t k = 1; k < 64; ++k)
    w.spread[k] = static_cast<std::int16_t>(std::ceil(16.0 * quant[k] * basis[k] * (1 + 1e-9)));
  return w;
}

static_assert(sizeof(SampleRange) == 4 && std::endian::native == std::endian::little,
              "a range is BlockRanges' packed value");

namespace {

// The ranges of `count` blocks, each block whole in the image.
void RangesOf(const CoefficientBlock* blocks, int count, const BlockWeights& weights, const std::array<float, 64>& quant,
              std::vector<std::uint32_t>& packed, SampleRange* out) {
  packed.resize(static_cast<std::size_t>(count));
  BlockRanges(blocks->data(), count, weights.spread.data(), quant.data(), weights.dc, packed.data());
  std::memcpy(static_cast<void*>(out), packed.data(), static_cast<std::size_t>(count) * sizeof(SampleRange));
}

void DropProofs(SampleRange& r) {
  r.proofHigh = 0;
  r.proofLow = 255;
}

}  // namespace

SampleRange RangeFromCoefficients(const CoefficientBlock& block, const std::array<std::uint16_t, 64>& quant,
                                  bool wholeInImage) {
  std::array<float, 64> q{};
  for (std::size_t k = 1; k < 64; ++k) q[k] = quant[k];
  std::vector<std::uint32_t> packed;
  SampleRange r;
  RangesOf(&block, 1, WeightsFor(quant), q, packed, &r);
  if (!wholeInImage) DropProofs(r);
  return r;
}

SampleRange RangeOfSamples(const std::uint8_t* samples, int width, int height) {
  SampleRange r;
  std::uint8_t lo = 255, hi = 0;
  for (int i = 0; i < 64; ++i) {
    lo = samples[i] < lo ? samples[i] : lo;
    hi = samples[i] > hi ? samples[i] : hi;
  }
  r.lo = lo;
  r.hi = hi;
  if (width == 8 && height == 8) {
    r.proofHigh = hi;
    r.proofLow = lo;
    return r;
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      r.proofHigh = std::max(r.proofHigh, samples[8 * y + x]);
      r.proofLow = std::min(r.proofLow, samples[8 * y + x]);
    }
  return r;
}

// ---- the search ---------------------------------------------------------------

namespace {

// MCU rows decoded at once, at most; the ring keeps them, their margins and
// the rows the entropy pass writes ahead.
constexpr int kMaxBand = 6;
constexpr int RingRows(int lead) { return kMaxBand + 2 + lead; }

struct Candidate {
  int column;
  int lo, hi;  // luminance bound
};

// The luminance bound of an MCU and what it proves (-1 / 256: nothing).
struct McuBound {
  int lo = 0, hi = 255;
  int proofBright = -1, proofDark = 256;
};

}  // namespace

struct ExtremesSearch::State {
  const JpegReader& reader;
  std::function<bool(int, int)> settledWhen;
  std::stop_token stop;
  BlockGrid grid;
  const YccOffsets* offsets = nullptr;
  bool kept = false;
  std::vector<BlockWeights> weights;
  std::vector<std::array<float, 64>> quants;
  std::vector<char> upsampled;  // per component
  bool proofs = false;          // the first component at full size: its samples are pixels
  // Per ring slot and component: the blocks (single scan only) and their
  // ranges, v block rows of mcuColumns x h blocks each.
  std::vector<std::vector<std::vector<CoefficientBlock>>> blocks;
  std::vector<std::vector<std::vector<SampleRange>>> ranges;
  std::vector<std::vector<std::vector<char>>> exactly;  // whether a range came from the samples
  std::vector<std::uint32_t> packed;
  std::array<std::uint8_t, 64> samples{};
  // The row being evaluated: per component and MCU column, the range of the
  // samples its pixels are made of; the proofs of the first component.
  std::vector<std::vector<std::uint8_t>> unionLo, unionHi;
  std::vector<std::uint8_t> columnLo, columnHi, proofHigh, proofLow;

  LuminanceExtremes exact;                // of the pixels decoded
  int proofBright = -1, proofDark = 256;  // some pixel reaches these
  int bandFirst = -1;
  std::vector<std::vector<Candidate>> band;  // rows bandFirst, bandFirst + 1, ...
  std::vector<Candidate> found;
  bool settled = false, gaveUp = false;
  std::int64_t decoded = 0, limit = 0;

  int ringRows;
  int zeroedBelow = 0;  // rows below this one are zeroed for the entropy pass to reuse

  State(const JpegReader& r, std::function<bool(int, int)> s, std::stop_token t, int lead)
      : reader(r), settledWhen(std::move(s)), stop(std::move(t)), grid(r.Grid()), kept(r.KeepsScans()),
        ringRows(RingRows(std::max(lead, 1))) {
    if (grid.colour == ColourModel::YCbCr) offsets = LibjpegOffsets();
    const std::size_t n = grid.components.size();
    blocks.assign(kept ? 0 : static_cast<std::size_t>(ringRows), std::vector<std::vector<CoefficientBlock>>(n));
    ready.assign(static_cast<std::size_t>(ringRows), std::vector<char>(n, 0));
    ranges.assign(static_cast<std::size_t>(ringRows), std::vector<std::vector<SampleRange>>(n));
    exactly.assign(static_cast<std::size_t>(ringRows), std::vector<std::vector<char>>(n));
    unionLo.assign(n, std::vector<std::uint8_t>(static_cast<std::size_t>(grid.mcuColumns)));
    unionHi = unionLo;
    proofHigh.resize(static_cast<std::size_t>(grid.mcuColumns));
    proofLow.resize(static_cast<std::size_t>(grid.mcuColumns));
    for (std::size_t c = 0; c < n; ++c) {
      const BlockGrid::Component& comp = grid.components[c];
      weights.push_back(WeightsFor(comp.quant));
      std::array<float, 64> q{};
      for (std::size_t k = 1; k < 64; ++k) q[k] = comp.quant[k];
      quants.push_back(q);
      upsampled.push_back(comp.h < grid.maxH || comp.v < grid.maxV);
      const std::size_t perRow = static_cast<std::size_t>(comp.v) * static_cast<std::size_t>(Columns(c));
      for (int slot = 0; slot < ringRows; ++slot) {
        if (!kept) blocks[static_cast<std::size_t>(slot)][c].resize(perRow);
        ranges[static_cast<std::size_t>(slot)][c].resize(perRow);
        exactly[static_cast<std::size_t>(slot)][c].resize(perRow);
      }
    }
    proofs = !upsampled[0];
    const std::int64_t total = std::int64_t{grid.mcuColumns} * grid.mcuRows;
    limit = total / 2 + 1024;
  }

  int Columns(std::size_t c) const { return grid.mcuColumns * grid.components[c].h; }
  std::size_t Slot(int mcuRow) const { return static_cast<std::size_t>(mcuRow % ringRows); }

  // Zeroes the storage of the rows no longer needed: below the band's top
  // margin and the rows the next evaluation looks at.
  void ZeroBelow(int needed) {
    if (kept) return;
    for (; zeroedBelow < needed; ++zeroedBelow)
      for (std::vector<CoefficientBlock>& row : blocks[Slot(zeroedBelow)])
        std::memset(static_cast<void*>(row.data()), 0, row.size() * sizeof(CoefficientBlock));
  }

  CoefficientBlock* BlockRow(std::size_t c, int row) {
    const int v = grid.components[c].v;
    return blocks[Slot(row / v)][c].data() + static_cast<std::size_t>(row % v) * static_cast<std::size_t>(Columns(c));
  }
  const CoefficientBlock& Block(int c, int row, int column) {
    if (kept) return reader.KeptBlock(c, row, column);
    return BlockRow(static_cast<std::size_t>(c), row)[column];
  }
  SampleRange* RangeRow(std::size_t c, int row) {
    const int v = grid.components[c].v;
    return ranges[Slot(row / v)][c].data() + static_cast<std::size_t>(row % v) * static_cast<std::size_t>(Columns(c));
  }
  char* ExactRow(std::size_t c, int row) {
    const int v = grid.components[c].v;
    return exactly[Slot(row / v)][c].data() + static_cast<std::size_t>(row % v) * static_cast<std::size_t>(Columns(c));
  }

  // Samples of a component inside the image.
  int SampleWidth(std::size_t c) const {
    return static_cast<int>((std::int64_t{grid.width} * grid.components[c].h + grid.maxH - 1) / grid.maxH);
  }
  int SampleHeight(std::size_t c) const {
    return static_cast<int>((std::int64_t{grid.height} * grid.components[c].v + grid.maxV - 1) / grid.maxV);
  }

  // The cheap ranges of every real block of a component in an MCU row: the
  // first component's as the row arrives, the others' when first needed.
  std::vector<std::vector<char>> ready;  // per ring slot and component
  void RangeMcuRow(std::size_t c, int mcuRow) {
    char& done = ready[Slot(mcuRow)][c];
    if (done) return;
    done = 1;
    const BlockGrid::Component& comp = grid.components[c];
    const int width = SampleWidth(c), height = SampleHeight(c);
    for (int by = 0; by < comp.v; ++by) {
      const int row = mcuRow * comp.v + by;
      if (row >= comp.heightInBlocks) break;
      SampleRange* out = RangeRow(c, row);
      RangesOf(&Block(static_cast<int>(c), row, 0), comp.widthInBlocks, weights[c], quants[c], packed, out);
      std::fill_n(ExactRow(c, row), comp.widthInBlocks, 0);
      // Proofs only of samples inside the image.
      if ((row + 1) * 8 > height)
        std::for_each(out, out + comp.widthInBlocks, DropProofs);
      else if (comp.widthInBlocks * 8 > width)
        DropProofs(out[comp.widthInBlocks - 1]);
    }
  }
  void Arrived(int mcuRow) {
    std::fill(ready[Slot(mcuRow)].begin(), ready[Slot(mcuRow)].end(), 0);
    RangeMcuRow(0, mcuRow);
  }

  void MakeExact(std::size_t c, int row, int column) {
    char& known = ExactRow(c, row)[column];
    if (known) return;
    known = 1;
    SampleRange& r = RangeRow(c, row)[column];
    reader.InverseDct(static_cast<int>(c), Block(static_cast<int>(c), row, column), samples.data());
    r = RangeOfSamples(samples.data(), std::clamp(SampleWidth(c) - column * 8, 0, 8),
                       std::clamp(SampleHeight(c) - row * 8, 0, 8));
  }

  // The blocks whose samples make up an MCU's pixels: its own, and the
  // neighbouring ones for a component that is upsampled.
  struct Span {
    int row0, row1, col0, col1;
  };
  Span BlocksOf(std::size_t c, int mcuRow, int mcuColumn, bool withNeighbours) const {
    const BlockGrid::Component& comp = grid.components[c];
    const int grow = withNeighbours && upsampled[c] ? 1 : 0;
    return {std::max(mcuRow * comp.v - grow, 0), std::min(mcuRow * comp.v + comp.v - 1 + grow, comp.heightInBlocks - 1),
            std::max(mcuColumn * comp.h - grow, 0), std::min(mcuColumn * comp.h + comp.h - 1 + grow, comp.widthInBlocks - 1)};
  }

  // The range of a component's samples that each MCU of a row is made of,
  // a column of blocks at a time; for the first component, its proofs too.
  void Unions(std::size_t c, int mcuRow) {
    const BlockGrid::Component& comp = grid.components[c];
    const Span rows = BlocksOf(c, mcuRow, 0, true);
    for (int r = rows.row0 / comp.v; r <= rows.row1 / comp.v; ++r) RangeMcuRow(c, r);
    columnLo.assign(static_cast<std::size_t>(comp.widthInBlocks), 255);
    columnHi.assign(static_cast<std::size_t>(comp.widthInBlocks), 0);
    for (int row = rows.row0; row <= rows.row1; ++row) {
      const SampleRange* r = RangeRow(c, row);
      for (std::size_t x = 0; x < columnLo.size(); ++x) {
        columnLo[x] = std::min(columnLo[x], r[x].lo);
        columnHi[x] = std::max(columnHi[x], r[x].hi);
      }
    }
    for (int mcu = 0; mcu < grid.mcuColumns; ++mcu) {
      const Span s = BlocksOf(c, mcuRow, mcu, true);
      std::uint8_t lo = 255, hi = 0;
      for (int x = s.col0; x <= s.col1; ++x) {
        lo = std::min(lo, columnLo[static_cast<std::size_t>(x)]);
        hi = std::max(hi, columnHi[static_cast<std::size_t>(x)]);
      }
      unionLo[c][static_cast<std::size_t>(mcu)] = lo;
      unionHi[c][static_cast<std::size_t>(mcu)] = hi;
    }
    if (c != 0 || !proofs) return;
    std::fill(proofHigh.begin(), proofHigh.end(), 0);
    std::fill(proofLow.begin(), proofLow.end(), 255);
    for (int row = mcuRow * comp.v; row < std::min((mcuRow + 1) * comp.v, comp.heightInBlocks); ++row) {
      const SampleRange* r = RangeRow(0, row);
      for (int x = 0; x < comp.widthInBlocks; ++x) {
        const auto mcu = static_cast<std::size_t>(x / comp.h);
        proofHigh[mcu] = std::max(proofHigh[mcu], r[x].proofHigh);
        proofLow[mcu] = std::min(proofLow[mcu], r[x].proofLow);
      }
    }
  }

  // The same for one MCU, its blocks made exact up to component `exactBelow`.
  bool UnionsOf(int mcuRow, int mcuColumn, int exactBelow) {
    bool allExact = true;
    for (std::size_t c = 0; c < grid.components.size(); ++c) {
      const Span s = BlocksOf(c, mcuRow, mcuColumn, true);
      std::uint8_t lo = 255, hi = 0;
      for (int row = s.row0; row <= s.row1; ++row)
        for (int col = s.col0; col <= s.col1; ++col) {
          if (static_cast<int>(c) < exactBelow) MakeExact(c, row, col);
          const SampleRange& r = RangeRow(c, row)[col];
          allExact = allExact && ExactRow(c, row)[col];
          lo = std::min(lo, r.lo);
          hi = std::max(hi, r.hi);
        }
      unionLo[c][static_cast<std::size_t>(mcuColumn)] = lo;
      unionHi[c][static_cast<std::size_t>(mcuColumn)] = hi;
    }
    if (proofs) {
      const Span s = BlocksOf(0, mcuRow, mcuColumn, false);
      std::uint8_t high = 0, low = 255;
      for (int row = s.row0; row <= s.row1; ++row)
        for (int col = s.col0; col <= s.col1; ++col) {
          high = std::max(high, RangeRow(0, row)[col].proofHigh);
          low = std::min(low, RangeRow(0, row)[col].proofLow);
        }
      proofHigh[static_cast<std::size_t>(mcuColumn)] = high;
      proofLow[static_cast<std::size_t>(mcuColumn)] = low;
    }
    return allExact;
  }

  // The luminance bound of an MCU from the unions at its column.
  McuBound Bound(int mcuColumn, bool closely) const {
    const auto x = static_cast<std::size_t>(mcuColumn);
    const int y0 = unionLo[0][x], y1 = unionHi[0][x];
    McuBound b;
    if (grid.colour == ColourModel::Rgb) {
      const int g0 = unionLo[1][x], g1 = unionHi[1][x], b0 = unionLo[2][x], b1 = unionHi[2][x];
      b.lo = Luminance(y0, g0, b0);
      b.hi = Luminance(y1, g1, b1);
      if (proofs) {
        b.proofBright = Luminance(proofHigh[x], g0, b0);
        b.proofDark = Luminance(proofLow[x], g1, b1);
      }
      return b;
    }
    const ChromaBox box = BoxOf(*offsets, unionLo[1][x], unionHi[1][x], unionLo[2][x], unionHi[2][x], closely);
    b.lo = LeastLuminance(y0, box);
    b.hi = MostLuminance(y1, box);
    if (proofs) {
      b.proofBright = LeastLuminance(proofHigh[x], box);
      b.proofDark = MostLuminance(proofLow[x], box);
    }
    return b;
  }

  bool Wanted(const Candidate& c) const {
    return (c.hi >= proofBright && c.hi > exact.brightest) || (c.lo <= proofDark && c.lo < exact.darkest);
  }

  // The lumas below which no MCU can reach the brightest luminance that
  // still matters, and above which none the darkest, whatever its chroma;
  // for the targets they were found for.
  int lumaBright = 0, lumaDark = 255;
  int brightTarget = INT_MIN, darkTarget = INT_MIN;
  void UpdateLumaFilters() {
    const int bright = std::max(proofBright, exact.brightest + 1), dark = std::min(proofDark, exact.darkest - 1);
    if (grid.colour != ColourModel::YCbCr) return;  // RGB: every MCU is bounded in full
    const ChromaBox any = BoxOf(*offsets, 0, 255, 0, 255, false);
    if (bright != brightTarget) {
      brightTarget = bright;
      lumaBright = 256;
      for (int y = 0; y < 256; ++y)
        if (MostLuminance(y, any) >= bright) {
          lumaBright = y;
          break;
        }
    }
    if (dark != darkTarget) {
      darkTarget = dark;
      lumaDark = -1;
      for (int y = 255; y >= 0; --y)
        if (LeastLuminance(y, any) <= dark) {
          lumaDark = y;
          break;
        }
    }
  }

  void Evaluate(int mcuRow) {
    Unions(0, mcuRow);
    found.clear();
    bool chroma = false;  // the other components' unions of this row made
    for (int col = 0; col < grid.mcuColumns; ++col) {
      UpdateLumaFilters();
      const auto x = static_cast<std::size_t>(col);
      if (unionHi[0][x] < lumaBright && unionLo[0][x] > lumaDark) continue;  // nothing to find here
      if (!chroma) {
        for (std::size_t c = 1; c < grid.components.size(); ++c) Unions(c, mcuRow);
        chroma = true;
      }
      bool allExact = false;
      McuBound b = Bound(col, false);
      Candidate c{col, b.lo, b.hi};
      // Cheaply first; then with the luma exact, which decides most; then all.
      for (int round = 1;; ++round) {
        proofBright = std::max(proofBright, b.proofBright);
        proofDark = std::min(proofDark, b.proofDark);
        c.lo = b.lo;
        c.hi = b.hi;
        if (!Wanted(c) || allExact || round == 3) break;
        allExact = UnionsOf(mcuRow, col, round == 1 ? 1 : 3);
        b = Bound(col, true);
      }
      if (Wanted(c)) found.push_back(c);
    }
    if (found.empty()) {
      DecodeBand();
      return;
    }
    if (bandFirst < 0) bandFirst = mcuRow;
    band.push_back(found);
    if (static_cast<int>(band.size()) == kMaxBand) DecodeBand();
  }

  // Decodes the band's MCUs still wanted, with a margin of one MCU on every
  // side that is not the photo's edge, and measures the exact ones.
  void DecodeBand() {
    if (band.empty()) return;
    const int first = bandFirst, last = bandFirst + static_cast<int>(band.size()) - 1;
    std::vector<char> wanted(static_cast<std::size_t>(grid.mcuColumns), 0);
    bool any = false;
    for (const std::vector<Candidate>& row : band)
      for (const Candidate& c : row)
        if (Wanted(c)) wanted[static_cast<std::size_t>(c.column)] = any = true;
    band.clear();
    bandFirst = -1;
    if (!any) return;

    McuSelection sel;
    sel.firstRow = std::max(first - 1, 0);
    sel.lastRow = std::min(last + 1, grid.mcuRows - 1);
    for (int col = 0; col < grid.mcuColumns; ++col) {
      if (!wanted[static_cast<std::size_t>(col)]) continue;
      const int a = std::max(col - 1, 0), b = std::min(col + 1, grid.mcuColumns - 1);
      if (!sel.columns.empty() && sel.columns.back().second >= a - 1)
        sel.columns.back().second = std::max(sel.columns.back().second, b);
      else
        sel.columns.emplace_back(a, b);
    }
    std::int64_t mcus = 0;
    for (const auto& [a, b] : sel.columns) mcus += b - a + 1;
    decoded += mcus * (sel.lastRow - sel.firstRow + 1);
    if (decoded > limit) {
      gaveUp = true;
      return;
    }

    // The exact MCUs: those with their true neighbours on every side.
    struct Piece {
      int offset, pixels;  // in the selection's row, in pixels
    };
    std::vector<Piece> pieces;
    int offset = 0;
    for (const auto& [a, b] : sel.columns) {
      for (int col = a; col <= b; ++col) {
        const bool inner = (col > a || a == 0) && (col < b || b == grid.mcuColumns - 1);
        const int pixels = std::min(grid.mcuWidth, grid.width - col * grid.mcuWidth);
        if (inner) pieces.push_back({offset, pixels});
        offset += pixels;
      }
    }
    const int firstPixelRow = first * grid.mcuHeight, endPixelRow = std::min((last + 1) * grid.mcuHeight, grid.height);
    try {
      reader.DecodeSelection(
          sel, [this](int c, int row, int column) -> const CoefficientBlock& { return Block(c, row, column); },
          [&](int y, const std::uint8_t* pixels) {
            const int photoRow = sel.firstRow * grid.mcuHeight + y;
            if (photoRow < firstPixelRow || photoRow >= endPixelRow) return;
            for (const Piece& piece : pieces) {
              const std::uint8_t* p = pixels + 3 * static_cast<std::size_t>(piece.offset);
              for (int x = 0; x < piece.pixels; ++x, p += 3) {
                const int l = Luminance(p[2], p[1], p[0]);
                exact.darkest = std::min(exact.darkest, l);
                exact.brightest = std::max(exact.brightest, l);
              }
            }
          });
    } catch (const EJPEG&) {
      gaveUp = true;  // blocks libjpeg's encoder will not write
      return;
    }
    if (settledWhen && exact.brightest >= 0 && settledWhen(exact.darkest, exact.brightest)) settled = true;
  }
};

bool ExtremesSearch::Applies(const JpegReader& reader) {
  if (reader.SmoothsBlocks()) return false;
  const BlockGrid g = reader.Grid();
  if (g.colour != ColourModel::YCbCr && g.colour != ColourModel::Rgb) return false;
  if (g.components.size() != 3 || g.mcuRows <= 0 || g.mcuColumns <= 0) return false;
  for (const BlockGrid::Component& c : g.components) {
    if (c.quant[0] == 0) return false;  // a component no scan ever carried
    // 16-bit tables would overflow the spreads' weights; no camera writes them.
    if (*std::max_element(c.quant.begin(), c.quant.end()) > 255) return false;
  }
  return g.colour == ColourModel::Rgb || LibjpegOffsets() != nullptr;
}

ExtremesSearch::ExtremesSearch(const JpegReader& reader, std::function<bool(int, int)> settled, std::stop_token stop,
                               int lead)
    : s_(std::make_unique<State>(reader, std::move(settled), std::move(stop), lead)) {}

std::uint64_t ExtremesSearch::BytesFor(const JpegHeader& header, int lead) {
  // Three components of 4:4:4 at most: six blocks per 16 x 8 pixels is the
  // common 4:2:0; count the worst, 3 blocks per 8 x 8.
  const std::uint64_t columns = (static_cast<std::uint64_t>(std::max(header.width, 0)) + 15) / 16;
  const std::uint64_t perMcuRow = columns * 2 * 2 * 3 * (sizeof(CoefficientBlock) + sizeof(SampleRange));
  return perMcuRow * static_cast<std::uint64_t>(RingRows(std::max(lead, 1)));
}

ExtremesSearch::~ExtremesSearch() = default;

CoefficientBlock* ExtremesSearch::Row(int component, int row) {
  return s_->BlockRow(static_cast<std::size_t>(component), row);
}

bool ExtremesSearch::RowDone(int mcuRow) {
  State& s = *s_;
  if (s.stop.stop_requested()) throw Cancelled();
  s.Arrived(mcuRow);
  if (mcuRow >= 1) s.Evaluate(mcuRow - 1);
  if (mcuRow == s.grid.mcuRows - 1 && !s.settled && !s.gaveUp) {
    s.Evaluate(mcuRow);
    s.DecodeBand();
  }
  s.ZeroBelow(std::min(mcuRow - 1, s.bandFirst >= 0 ? s.bandFirst - 1 : mcuRow - 1));
  return !s.settled && !s.gaveUp;
}

bool ExtremesSearch::SearchKept() {
  for (int row = 0; row < s_->grid.mcuRows; ++row)
    if (!RowDone(row)) return false;
  return true;
}

LuminanceExtremes ExtremesSearch::extremes() const { return s_->exact; }
bool ExtremesSearch::settled() const { return s_->settled; }
bool ExtremesSearch::gaveUp() const { return s_->gaveUp; }
std::int64_t ExtremesSearch::decodedMcus() const { return s_->decoded; }

}  // namespace imaging
