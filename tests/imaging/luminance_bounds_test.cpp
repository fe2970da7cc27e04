#include "imaging/luminance_bounds.h"

#include "prosvitek/files/input_file.h"
#include "prosvitek/imaging/luminance.h"
#include "jpeg_fixtures.h"
#include "reference.h"
#include "samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include <jpeglib.h>

namespace imaging {
namespace {

using fixtures::MakeRaster;

// A started reader of a small photo whose first component is quantised
// with `table` (natural order), for libjpeg's own inverse DCT.
struct TableReader {
  explicit TableReader(const std::array<unsigned int, 64>& table)
      : bytes(fixtures::LibjpegColour(MakeRaster(16, 16, [](int, int) { return MakeColour(90, 90, 90); }),
                                      [&](jpeg_compress_struct& c) {
                                        std::array<unsigned int, 64> zigzagless = table;
                                        jpeg_add_quant_table(&c, 0, zigzagless.data(), 100, TRUE);
                                      })),
        reader(bytes) {
    reader.Start();
  }
  Bytes bytes;
  JpegReader reader;
};

// Every block built here: what libjpeg's inverse DCT makes of it lies in the
// bound, and the proofs hold. Every single coefficient at every value a
// valid file can hold, for tables of all ones, of the standard luminance
// table and of the largest quantisers; then random blocks, sparse and dense,
// and the block of one bright or dark pixel on a flat ground.
TEST(BlockBounds, HoldForEverySingleCoefficientAndBuiltBlocks) {
  std::array<unsigned int, 64> ones{}, annexK{}, largest{};
  ones.fill(1);
  largest.fill(255);
  const unsigned int k[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                              14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                              18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                              49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
  std::copy(std::begin(k), std::end(k), annexK.begin());
  for (const auto* table : {&ones, &annexK, &largest}) {
    const TableReader t(*table);
    const std::array<std::uint16_t, 64> quant = t.reader.Grid().components[0].quant;
    std::array<std::uint8_t, 64> samples{};
    int failures = 0;
    const auto check = [&](const CoefficientBlock& block, const char* what) {
      t.reader.InverseDct(0, block, samples.data());
      const SampleRange r = RangeFromCoefficients(block, quant, true);
      const auto [lo, hi] = std::minmax_element(samples.begin(), samples.end());
      if ((*lo < r.lo || *hi > r.hi || *hi < r.proofHigh || *lo > r.proofLow) && ++failures <= 5)
        ADD_FAILURE() << what << ": samples " << int{*lo} << ".." << int{*hi} << ", bound " << int{r.lo} << ".."
                      << int{r.hi} << ", proofs " << int{r.proofHigh} << "/" << int{r.proofLow} << ", q0 " << quant[0];
    };
    for (std::size_t c = 0; c < 64; ++c)
      for (int v = -2047; v <= 2047; ++v) {
        CoefficientBlock block{};
        block[c] = static_cast<std::int16_t>(v);
        check(block, "one coefficient");
      }
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
      CoefficientBlock block{};
      const int count = 1 + static_cast<int>(random() % (i % 2 ? 64 : 6));
      const int scale = 1 << (random() % 11);
      for (int n = 0; n < count; ++n)
        block[random() % 64] = static_cast<std::int16_t>(static_cast<int>(random() % (2 * scale + 1)) - scale);
      check(block, "random");
    }
    // One pixel unlike its flat ground: its DCT, quantised.
    for (int ground : {0, 40, 128, 250})
      for (int pixel : {0, 255}) {
        CoefficientBlock block{};
        for (int v = 0; v < 8; ++v)
          for (int u = 0; u < 8; ++u) {
            const double cu = u == 0 ? M_SQRT1_2 : 1, cv = v == 0 ? M_SQRT1_2 : 1;
            double f = 0;
            for (int y = 0; y < 8; ++y)
              for (int x = 0; x < 8; ++x)
                f += ((x == 3 && y == 5 ? pixel : ground) - 128) * std::cos((2 * x + 1) * u * M_PI / 16) *
                     std::cos((2 * y + 1) * v * M_PI / 16);
            const auto i = static_cast<std::size_t>(v * 8 + u);
            block[i] = static_cast<std::int16_t>(std::lround(0.25 * cu * cv * f / quant[i]));
          }
        check(block, "one pixel");
      }
  }
}

// libjpeg's YCbCr conversion is Y plus an offset per channel, clamped:
// checked for every one of the 2^24 sample triples.
TEST(ColourOffsets, GiveLibjpegsConversionOfEveryColour) {
  const Bytes photo = EncodeJpeg(MakeRaster(64, 16, [](int x, int) { return MakeColour(x, 2 * x, 3 * x); }), 90, false);
  JpegReader reader(photo);
  reader.Start();
  const YccOffsets* o = LibjpegOffsets();
  ASSERT_NE(o, nullptr);
  std::vector<std::uint8_t> luma(65536), cb(65536), cr(65536), bgr(3 * 65536);
  for (std::size_t i = 0; i < 65536; ++i) {
    cb[i] = static_cast<std::uint8_t>(i >> 8);
    cr[i] = static_cast<std::uint8_t>(i & 255);
  }
  const auto clamp = [](int v) { return std::clamp(v, 0, 255); };
  int failures = 0;
  for (int y = 0; y < 256; ++y) {
    std::fill(luma.begin(), luma.end(), static_cast<std::uint8_t>(y));
    const std::uint8_t* planes[] = {luma.data(), cb.data(), cr.data()};
    reader.ConvertSamples(planes, 65536, bgr.data());
    for (std::size_t i = 0; i < 65536; ++i) {
      const int red = clamp(y + o->red[i & 255]), green = clamp(y + o->green[i]), blue = clamp(y + o->blue[i >> 8]);
      if ((bgr[3 * i + 2] != red || bgr[3 * i + 1] != green || bgr[3 * i] != blue) && ++failures <= 5)
        ADD_FAILURE() << "Y " << y << " Cb " << (i >> 8) << " Cr " << (i & 255);
    }
  }
}

// The luminance bounds of a box of chroma at a luma hold for every pixel in
// the box: boxes of every size, at the corners where channels clamp too.
TEST(ColourOffsets, BoxBoundsHoldForEveryPixelInTheBox) {
  const YccOffsets& o = *LibjpegOffsets();
  std::mt19937 random(11);
  int failures = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const int wide = trial % 3 == 0 ? 256 : (trial % 3 == 1 ? 12 : 3);
    const int cb0 = static_cast<int>(random() % 256), cr0 = static_cast<int>(random() % 256);
    const int cb1 = std::min(255, cb0 + static_cast<int>(random() % static_cast<unsigned>(wide)));
    const int cr1 = std::min(255, cr0 + static_cast<int>(random() % static_cast<unsigned>(wide)));
    const int y = trial < 512 ? trial % 256 : static_cast<int>(random() % 256);
    for (bool closely : {false, true}) {
      const ChromaBox box = BoxOf(o, cb0, cb1, cr0, cr1, closely);
      const int least = LeastLuminance(y, box), most = MostLuminance(y, box);
      for (int cb = cb0; cb <= cb1; ++cb)
        for (int cr = cr0; cr <= cr1; ++cr) {
          const auto i = static_cast<std::size_t>(cb * 256 + cr);
          const int l = Luminance(std::clamp(y + o.red[i & 255], 0, 255), std::clamp(y + o.green[i], 0, 255),
                                  std::clamp(y + o.blue[i >> 8], 0, 255));
          if ((l < least || l > most) && ++failures <= 5)
            ADD_FAILURE() << "Y " << y << " Cb " << cb << " Cr " << cr << ": " << l << " outside " << least << ".."
                          << most;
        }
    }
  }
}

// The search's extremes against one scan of the decoded photo.
::testing::AssertionResult SearchFindsTheExtremes(const Bytes& photo, bool expectApplies = true) {
  const PhotoAnalysis a = AnalysePhoto(DecodeJpeg(photo));
  JpegReader reader(photo);
  const bool progressive = reader.Header().progressive;
  reader.Start(0, progressive ? JpegReader::Scans::Keep : JpegReader::Scans::ReadOnce);
  if (!ExtremesSearch::Applies(reader))
    return expectApplies ? ::testing::AssertionFailure() << "search does not apply" : ::testing::AssertionSuccess();
  ExtremesSearch search(reader, {}, {});
  if (progressive)
    search.SearchKept();
  else
    reader.ReadCoefficients(search);
  if (search.gaveUp()) return ::testing::AssertionFailure() << "gave up";
  const LuminanceExtremes e = search.extremes();
  if (e.darkest != a.MinLuminance || e.brightest != a.MaxLuminance)
    return ::testing::AssertionFailure() << "found " << e.darkest << ".." << e.brightest << ", decoded "
                                         << a.MinLuminance << ".." << a.MaxLuminance;
  return ::testing::AssertionSuccess();
}

// Dark noise with one pixel of its own somewhere, and scenes that make
// chroma clamp (saturated colours next to each other), in every sampling,
// progressive, with restart markers, in RGB, cut short, at sizes that
// leave MCUs partly outside the photo.
TEST(ExtremesSearch, FindsTheExtremesOfBuiltWorstCases) {
  const auto dark = [](int x, int y) {
    const unsigned h = static_cast<unsigned>(x * 7919 + y * 104729) * 2654435761u;
    return MakeColour(8 + (h >> 8) % 30, 6 + (h >> 16) % 25, 10 + (h >> 24) % 20);
  };
  const auto onePixel = [&](int px, int py, ColourValue c) {
    return [=](int x, int y) { return x == px && y == py ? c : dark(x, y); };
  };
  const auto saturated = [](int x, int y) {
    const ColourValue colours[] = {MakeColour(255, 0, 0), MakeColour(0, 0, 255), MakeColour(0, 255, 0),
                                   MakeColour(255, 255, 0), MakeColour(0, 255, 255), MakeColour(255, 0, 255),
                                   MakeColour(0, 0, 0), MakeColour(255, 255, 255)};
    return colours[static_cast<std::size_t>((x / 5 + 3 * (y / 7)) % 8)];
  };
  const auto flat = [](int, int) { return MakeColour(70, 90, 110); };
  struct Case {
    const char* what;
    int width, height;
    std::function<ColourValue(int, int)> scene;
    std::function<void(jpeg_compress_struct&)> configure;
  };
  const auto sampling = [](int h, int v) {
    return [=](jpeg_compress_struct& c) {
      c.comp_info[0].h_samp_factor = h;
      c.comp_info[0].v_samp_factor = v;
    };
  };
  const Case cases[] = {
      {"bright pixel, 4:2:0", 203, 157, onePixel(130, 77, MakeColour(250, 240, 230)), sampling(2, 2)},
      {"bright pixel at the corner, 4:2:0", 203, 157, onePixel(202, 156, MakeColour(120, 250, 90)), sampling(2, 2)},
      {"black pixel, 4:2:2", 160, 99, onePixel(17, 98, MakeColour(0, 0, 0)), sampling(2, 1)},
      {"saturated, 4:2:0", 150, 90, saturated, sampling(2, 2)},
      {"saturated, 4:2:2", 150, 90, saturated, sampling(2, 1)},
      {"saturated, 4:4:0", 150, 90, saturated, sampling(1, 2)},
      {"saturated, 4:4:4", 150, 90, saturated, sampling(1, 1)},
      {"bright pixel, progressive", 203, 157, onePixel(5, 150, MakeColour(255, 255, 255)),
       [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); }},
      {"saturated, progressive 4:4:4",
       97, 61, saturated, [](jpeg_compress_struct& c) {
         c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
         jpeg_simple_progression(&c);
       }},
      {"restart markers", 203, 157, onePixel(100, 100, MakeColour(255, 250, 0)),
       [](jpeg_compress_struct& c) { c.restart_in_rows = 1; }},
      {"RGB", 120, 80, onePixel(60, 1, MakeColour(250, 20, 20)), [](jpeg_compress_struct& c) { jpeg_set_colorspace(&c, JCS_RGB); }},
      {"flat", 96, 80, flat, sampling(2, 2)},
      {"one pixel", 1, 1, flat, sampling(2, 2)},
      {"one row", 300, 1, dark, sampling(2, 2)},
      {"one column", 1, 70, saturated, sampling(2, 2)},
  };
  for (const Case& c : cases) {
    const Bytes photo = fixtures::LibjpegColour(MakeRaster(c.width, c.height, c.scene), c.configure);
    EXPECT_TRUE(SearchFindsTheExtremes(photo)) << c.what;
  }
  // A photo cut short, and a progressive one whose scans leave coefficients
  // unsent (libjpeg may smooth its blocks: the search stands aside).
  Bytes cut = fixtures::LibjpegColour(MakeRaster(203, 157, onePixel(190, 150, MakeColour(255, 255, 255))), sampling(2, 2));
  cut.resize(cut.size() * 2 / 3);
  EXPECT_TRUE(SearchFindsTheExtremes(cut)) << "cut short";
  const Bytes unsent = fixtures::ColourJpeg(MakeRaster(203, 157, dark), 2, 2, 40);
  JpegReader smoothed(unsent);
  smoothed.Start(0, JpegReader::Scans::Keep);
  EXPECT_TRUE(smoothed.SmoothsBlocks());
  EXPECT_FALSE(ExtremesSearch::Applies(smoothed));
}

// Of a large dark photo with one bright pixel, few MCUs are decoded: the
// bounds do their work.
TEST(ExtremesSearch, DecodesFewMcusOfADarkPhoto) {
  const Raster scene = MakeRaster(640, 480, [](int x, int y) {
    if (x == 300 && y == 200) return MakeColour(240, 240, 240);
    return MakeColour(20 + (x * 7 + y) % 40, 15 + (x + y * 3) % 30, 25 + (x * y) % 20);
  });
  const Bytes photo = EncodeJpeg(scene, 90, false);
  ASSERT_TRUE(SearchFindsTheExtremes(photo));
  JpegReader reader(photo);
  reader.Start();
  ExtremesSearch search(reader, {}, {});
  reader.ReadCoefficients(search);
  EXPECT_LT(search.decodedMcus(), 40 * 30 / 4);
}

TEST(ExtremesSearch, SamplePhotosGiveTheDecodedExtremes) {
  int compared = 0;
  for (const auto& path : testsupport::InputFilesUnder(testsupport::SamplesDir())) {
    Bytes photo;
    try {
      photo = files::ReadWholeFile(path.string());
      DecodeJpeg(photo);
    } catch (const std::exception&) {
      continue;  // not a photo the program opens
    }
    EXPECT_TRUE(SearchFindsTheExtremes(photo, false)) << path;
    ++compared;
  }
  if (compared == 0) GTEST_SKIP() << "samples not available";
}

}  // namespace
}  // namespace imaging
