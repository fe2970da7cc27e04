// Open and save of a 24-megapixel photo against the bare codec, side by side.
// Usage: photo_bench [PHOTO] [benchmark flags]; without PHOTO the shared
// 6000 x 4000 sample is used, or a generated one when that is absent.

#include "imaging/analysis.h"
#include "imaging/brighten.h"
#include "imaging/jpeg_codec.h"
#include "imaging/render.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <iostream>

namespace {

std::string g_photo;

imaging::BrightenSettings DefaultSettings(const imaging::PhotoAnalysis& a) {
  imaging::BrightenSettings s;
  s.threshold = imaging::PrimeThreshold(a).value;
  s.darkestLuminance = a.MinLuminance;
  return s;
}

const imaging::Bytes& PhotoBytes() {
  static const imaging::Bytes bytes = imaging::ReadWholeFile(g_photo);
  return bytes;
}

// Decode plus encode with the same settings and no pixel work.
void CodecFloor(benchmark::State& state) {
  for (auto _ : state) {
    const imaging::Raster r = imaging::DecodeJpeg(imaging::ReadWholeFile(g_photo));
    benchmark::DoNotOptimize(imaging::EncodeJpeg(r, 85, false).size());
  }
}

void PlainDecode(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(imaging::DecodeJpeg(imaging::ReadWholeFile(g_photo)).width());
}

// What the window's open does with the pixels.
void Open(benchmark::State& state) {
  for (auto _ : state) {
    const imaging::MeasuredPhoto photo = imaging::DecodeAndAnalyse(g_photo, [](int, int) {});
    const imaging::Raster& r = photo.raster;
    const imaging::PreviewSize p = imaging::FitPreviewSize(r.width(), r.height());
    const imaging::Raster preview = imaging::StretchNearest(r, p.width, p.height);
    const imaging::Raster preview2 = imaging::StretchNearest(r, p.width, p.height);
    benchmark::DoNotOptimize(photo.analysis.MinLuminance);
  }
}

// The whole save: decode again, brighten every pixel, encode.
void Save(benchmark::State& state) {
  const imaging::BrightenSettings s = DefaultSettings(imaging::AnalysePhoto(imaging::DecodeJpeg(PhotoBytes())));
  for (auto _ : state) {
    imaging::JpegImage jpeg = imaging::RenderFullResolution(g_photo, [&](int, int) { return s; });
    jpeg.SetCompressionQuality(85);
    benchmark::DoNotOptimize(jpeg.FileBytes().size());
  }
}

// The definition applied pixel by pixel, for comparison.
void SavePlainDefinition(benchmark::State& state) {
  const imaging::BrightenSettings s = DefaultSettings(imaging::AnalysePhoto(imaging::DecodeJpeg(PhotoBytes())));
  for (auto _ : state) {
    imaging::Raster r = imaging::DecodeJpeg(imaging::ReadWholeFile(g_photo));
    for (int y = 0; y < r.height(); ++y)
      for (int x = 0; x < r.width(); ++x) {
        const imaging::ColourValue c = r.pixel(x, y);
        const imaging::Rgb o = imaging::BrightenPixel({imaging::RedOf(c), imaging::GreenOf(c), imaging::BlueOf(c)}, s);
        r.setPixel(x, y, imaging::MakeColour(o.red, o.green, o.blue));
      }
    benchmark::DoNotOptimize(imaging::EncodeJpeg(r, 85, false).size());
  }
}

}  // namespace

BENCHMARK(CodecFloor)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(Save)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(PlainDecode)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(Open)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(SavePlainDefinition)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
  if (argc > 1 && argv[1][0] != '-') {
    g_photo = argv[1];
    --argc;
    ++argv;
  } else {
    g_photo = std::string(PROSVITEK_SAMPLES_DIR) + "/synthetic/photo_6000x4000_q90_baseline.jpg";
  }
  if (!std::filesystem::exists(g_photo)) {
    std::cerr << "photo not found: " << g_photo << "\n";
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
