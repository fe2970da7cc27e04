#include "imaging/pixel_kernels.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace imaging {
namespace {

// The dispatching kernels against the plain ones, where a vector version runs.
#define REQUIRE_VECTOR_KERNELS() \
  if (!VectorKernelsActive()) GTEST_SKIP() << "no vector kernels here (processor or PROSVITEK_NO_SIMD)"

using Bytes = std::vector<std::uint8_t>;
using Colour = std::array<std::uint8_t, 3>;  // blue, green, red

::testing::AssertionResult Same(const RowAnalysis& v, const RowAnalysis& p) {
  if (v.parts != p.parts) return ::testing::AssertionFailure() << "histogram parts differ";
  const std::array<int, 6> a{v.minL, v.minX, v.minY, v.maxL, v.maxX, v.maxY}, b{p.minL, p.minX, p.minY, p.maxL, p.maxX, p.maxY};
  if (a != b || v.haveMin != p.haveMin || v.haveMax != p.haveMax)
    return ::testing::AssertionFailure() << "extremes (min L,x,y max L,x,y) " << ::testing::PrintToString(a) << " vs plain "
                                         << ::testing::PrintToString(b);
  return ::testing::AssertionSuccess();
}

BrightenSettings Settings(int strength, int threshold, int boost, bool shift = false, int darkest = 0) {
  BrightenSettings s{strength, threshold, boost, shift, darkest};
  return s;
}

// The table of a setting with the exponent a pass at its strength takes.
BrightenTable TableOf(const BrightenSettings& s) { return BrightenTable(s, ExponentFor(s.strength)); }

// Between them every threshold 0, 1, 27, 128, 170, 255, 256, boost 0, 3, 250
// and strength 1, 6, 12, 15, 150 in both modes; boost 250 comes to more than
// 255 at strength 150 and leaves room only below 5 at strength 12.
const BrightenSettings kTables[] = {
    Settings(15, 170, 3),    Settings(1, 27, 3),        Settings(6, 128, 0),           Settings(12, 255, 250),
    Settings(150, 256, 250), Settings(15, 1, 3),        Settings(6, 0, 3),             Settings(1, 170, 250),
    Settings(150, 128, 3),   Settings(15, 170, 3, true, 20), Settings(1, 27, 0, true), Settings(6, 128, 250, true, 5),
    Settings(150, 255, 3, true), Settings(12, 256, 3, true, 40), Settings(150, 1, 0, true), Settings(6, 27, 3, true, 27),
};

// Colours whose key is a multiple of 10000: the 256 greys and 1326 others.
const std::vector<Colour>& BoundaryColours() {
  static const auto colours = [] {
    std::vector<Colour> c;
    for (int k = 0; k < 1 << 24; ++k)
      if (LuminanceKey(k >> 16, (k >> 8) & 255, k & 255) % 10000 == 0)
        c.push_back({static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k >> 16)});
    return c;
  }();
  return colours;
}

// Random colours, boundary colours, greys and repeats of the previous pixel.
Bytes MixedPixels(std::mt19937& rng, int n) {
  Bytes p;
  for (int i = 0; i < n; ++i) {
    const auto kind = static_cast<unsigned>(rng() % 5);
    Colour c{static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng())};
    if (kind == 2) c = BoundaryColours()[rng() % BoundaryColours().size()];
    if (kind == 3) c = {c[0], c[0], c[0]};
    if (kind == 4 && i > 0) std::copy(p.end() - 3, p.end(), c.begin());
    p.insert(p.end(), c.begin(), c.end());
  }
  return p;
}

// Room for a row followed by an inaccessible page; the row is placed `gap`
// bytes before that page with guard bytes around it. Anything read or written
// past the row faults or shows in Window().
class PageEnd {
 public:
  PageEnd() : page_(static_cast<std::size_t>(sysconf(_SC_PAGESIZE))), room_(4 * 4096) {
    map_ = static_cast<std::uint8_t*>(mmap(nullptr, room_ + page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (map_ == MAP_FAILED || room_ % page_ != 0 || mprotect(map_ + room_, page_, PROT_NONE) != 0) std::abort();
  }
  ~PageEnd() { munmap(map_, room_ + page_); }
  std::uint8_t* Place(const Bytes& pixels, std::size_t gap) {
    start_ = map_ + room_ - gap - pixels.size();
    std::fill(start_ - 64, map_ + room_, 0xA5);
    std::copy(pixels.begin(), pixels.end(), start_);
    return start_;
  }
  Bytes Window() const { return Bytes(start_ - 64, map_ + room_); }
  std::uint8_t* Room() const { return map_; }
  std::size_t RoomSize() const { return room_; }

 private:
  std::size_t page_, room_;
  std::uint8_t* map_;
  std::uint8_t* start_ = nullptr;
};

// Plain, vector, and vector in place; each row at the end of a page.
void ExpectSameBrightening(const BrightenTable& table, const Bytes& pixels, std::size_t gap, const std::string& what) {
  static PageEnd in, plain, vector, inPlace;
  const int n = static_cast<int>(pixels.size() / 3);
  const std::uint8_t* src = in.Place(pixels, gap);
  BrightenRowPlain(table, src, plain.Place(Bytes(pixels.size(), 0x5A), gap), n);
  BrightenRow(table, src, vector.Place(Bytes(pixels.size(), 0x5A), gap), n);
  std::uint8_t* both = inPlace.Place(pixels, gap);
  BrightenRow(table, both, both, n);
  ASSERT_TRUE(std::equal(pixels.begin(), pixels.end(), src)) << what << ": input changed";
  ASSERT_EQ(vector.Window(), plain.Window()) << what;
  ASSERT_EQ(inPlace.Window(), plain.Window()) << what << " in place";
}

TEST(PixelKernels, VectorVersionRunsWhereverTheProcessorHasIt) {
  const char* off = std::getenv("PROSVITEK_NO_SIMD");
  if (off && *off && std::string(off) != "0") GTEST_SKIP() << "PROSVITEK_NO_SIMD is set";
  EXPECT_EQ(VectorKernelsActive(), __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                                       __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
                                       __builtin_cpu_supports("bmi2"));
}

// All 2^24 colours as 4096 rows of 4096 pixels, each row at another alignment.
Bytes SweepRow(int row) {
  Bytes p(3 * 4096);
  for (int j = 0; j < 4096; ++j)
    for (int k = 0; k < 3; ++k) p[static_cast<std::size_t>(3 * j + k)] = static_cast<std::uint8_t>((row * 4096 + j) >> (8 * k));
  return p;
}

TEST(PixelKernels, EveryColourAnalysedAndBrightenedAlike) {
  REQUIRE_VECTOR_KERNELS();
  RowAnalysis vector, plain;
  for (int row = 0; row < 4096; ++row) {
    const Bytes pixels = SweepRow(row);
    Bytes shifted(static_cast<std::size_t>(row % 61), 0);
    shifted.insert(shifted.end(), pixels.begin(), pixels.end());
    AnalyseRowPlain(shifted.data() + row % 61, 4096, 0, row, plain);
    AnalyseRow(shifted.data() + row % 61, 4096, 0, row, vector);
    ASSERT_TRUE(Same(vector, plain)) << "row " << row;
    for (const BrightenSettings& s : kTables)
      ASSERT_NO_FATAL_FAILURE(ExpectSameBrightening(TableOf(s), pixels, static_cast<std::size_t>(row % 61),
                                                    "row " + std::to_string(row) + ", E " + std::to_string(s.strength) +
                                                        " T " + std::to_string(s.threshold)));
  }
}

TEST(PixelKernels, EveryRowLengthUpTo100AtAnyAlignment) {
  REQUIRE_VECTOR_KERNELS();
  std::mt19937 rng(20240611);
  static PageEnd page;
  for (int n = 0; n <= 100; ++n)
    for (int trial = 0; trial < 12; ++trial) {
      const Bytes pixels = MixedPixels(rng, n);
      const std::size_t gap = trial == 0 ? 0 : rng() % 64;
      const std::string what = "n " + std::to_string(n) + " gap " + std::to_string(gap);
      ASSERT_NO_FATAL_FAILURE(ExpectSameBrightening(TableOf(kTables[rng() % std::size(kTables)]), pixels, gap, what));
      RowAnalysis vector, plain;
      const int x0 = static_cast<int>(rng() % 1000);
      AnalyseRowPlain(page.Place(pixels, gap), n, x0, trial, plain);
      AnalyseRow(page.Place(pixels, gap), n, x0, trial, vector);
      ASSERT_TRUE(Same(vector, plain)) << what;
    }
}

// Rows so far apart that the kernels fetch rows ahead, which lie on the
// inaccessible page and beyond.
TEST(PixelKernels, FetchingAheadPastTheEndIsHarmless) {
  REQUIRE_VECTOR_KERNELS();
  static PageEnd page;
  const BrightenTable table = TableOf(kTables[0]);
  RowAnalysis acc;
  for (std::size_t at = 0; at + 48 <= page.RoomSize(); at += 4200) {
    AnalyseRow(page.Room() + at, 16, 0, static_cast<int>(at), acc);
    BrightenRow(table, page.Room() + at, page.Room() + at, 16);
  }
  EXPECT_EQ(acc.histogram()[0], 64);
}

TEST(PixelKernels, GreyAndOtherBoundaryRows) {
  REQUIRE_VECTOR_KERNELS();
  std::vector<Bytes> rows;
  Bytes ramp, boundary;
  for (int v = 0; v < 256; ++v) {
    rows.emplace_back(3 * 40, static_cast<std::uint8_t>(v));  // flat grey rows
    ramp.insert(ramp.end(), 3, static_cast<std::uint8_t>(v));
  }
  for (const Colour& c : BoundaryColours()) boundary.insert(boundary.end(), c.begin(), c.end());
  rows.push_back(ramp);
  rows.push_back(boundary);
  RowAnalysis vector, plain;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const int n = static_cast<int>(rows[r].size() / 3), y = static_cast<int>(r);
    AnalyseRowPlain(rows[r].data(), n, 3, y, plain);
    AnalyseRow(rows[r].data(), n, 3, y, vector);
    ASSERT_TRUE(Same(vector, plain)) << "row " << r;
    for (const int t : {27, 54, 63, 108, 100, 252})  // greys 27 ... 252 lie just below their level
      ASSERT_NO_FATAL_FAILURE(ExpectSameBrightening(TableOf(Settings(15, t, 3)), rows[r], r % 64, "T " + std::to_string(t)));
  }
}

// Photos of few levels (equal levels from different colours), walked in strips
// with the columns in several orders: ties everywhere, across calls.
TEST(PixelKernels, ExtremesMatchOverStripsInAnyColumnOrder) {
  REQUIRE_VECTOR_KERNELS();
  const Colour palette[] = {{0, 0, 0}, {27, 27, 27}, {5, 20, 60}, {40, 20, 5}, {255, 255, 255}, {250, 250, 255}, {128, 128, 128}};
  std::mt19937 rng(99);
  const int width = 1500, height = 7;
  for (int trial = 0; trial < 60; ++trial) {
    const auto used = static_cast<unsigned>(2 + rng() % (std::size(palette) - 1));
    Bytes image;
    for (int i = 0; i < width * height; ++i) {
      const Colour& c = palette[rng() % used];
      image.insert(image.end(), c.begin(), c.end());
    }
    const int strip = std::array{7, 16, 33, 64, 100}[rng() % 5];
    std::vector<int> starts;
    for (int x0 = 0; x0 < width; x0 += strip) starts.push_back(x0);
    if (trial % 3 == 1) std::reverse(starts.begin(), starts.end());
    if (trial % 3 == 2) std::shuffle(starts.begin(), starts.end(), rng);
    RowAnalysis vector, plain;
    for (const int x0 : starts)
      for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = image.data() + 3 * (static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x0));
        AnalyseRowPlain(p, std::min(width - x0, strip), x0, y, plain);
        AnalyseRow(p, std::min(width - x0, strip), x0, y, vector);
        ASSERT_TRUE(Same(vector, plain)) << "trial " << trial << " strip at " << x0 << " row " << y;
      }
  }
}

}  // namespace
}  // namespace imaging
