// Open and save of a 24-megapixel photo against the bare codec, side by side.
// Usage: photo_bench [PHOTO] [benchmark flags]; without PHOTO the shared
// 6000 x 4000 sample is used.

#include "reference.h"
#include "prosvitek/imaging/analysis.h"
#include "prosvitek/imaging/brighten.h"
#include "prosvitek/imaging/jpeg_codec.h"
#include "prosvitek/imaging/pipeline.h"

#include "bench_runs.h"

#include <algorithm>

namespace {

std::string g_photo;

imaging::BrightenSettings DefaultSettings() {
  const imaging::OpenedPhoto photo = imaging::OpenPhoto(files::OpenInputFile(g_photo), {}, false);
  return imaging::SettingsFor({imaging::kDefaultStrength, imaging::PrimeThreshold(photo.analysis).value,
                               imaging::kDefaultColourBoost, false},
                              photo.analysis.MinLuminance);
}

imaging::PassOptions Threads(const benchmark::State& state) {
  imaging::PassOptions o;
  o.threads = static_cast<int>(state.range(0));
  return o;
}

// Decode into a full raster plus encode, with the same settings (the
// source's mode) and no pixel work.
void CodecFloor(benchmark::State& state) {
  for (auto _ : state) {
    const imaging::Bytes file = files::ReadWholeFile(g_photo);
    const imaging::Raster r = imaging::DecodeJpeg(file);
    benchmark::DoNotOptimize(imaging::EncodeJpeg(r, 85, imaging::ReadJpegHeader(file).progressive).size());
  }
}

void PlainDecode(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(imaging::DecodeJpeg(files::ReadWholeFile(g_photo)).width());
}

// The window's open: decode, measure, previews.
void Open(benchmark::State& state) {
  for (auto _ : state) {
    const imaging::OpenedPhoto photo = imaging::OpenPhoto(files::OpenInputFile(g_photo), Threads(state));
    benchmark::DoNotOptimize(photo.analysis.MinLuminance);
  }
}

// The window's save pass and its encoding into memory.
void Save(benchmark::State& state) {
  imaging::RenderRequest request;
  request.settingsAt = [s = DefaultSettings()](int, int) { return s; };
  for (auto _ : state) {
    imaging::Bytes out;
    imaging::BytesSink sink(out);
    imaging::RenderPhoto(files::OpenInputFile(g_photo), request, sink, Threads(state));
    benchmark::DoNotOptimize(out.size());
  }
}

// The command line's work on one photo: its extremes for the settings, then the save.
void CommandLine(benchmark::State& state) {
  for (auto _ : state) {
    const files::InputFile file = files::OpenInputFile(g_photo);
    imaging::Bytes out;
    imaging::BytesSink sink(out);
    imaging::RenderWithControls(file, {}, {}, sink, Threads(state));
    benchmark::DoNotOptimize(out.size());
  }
}

// The extremes alone, as the command line finds them.
void Extremes(benchmark::State& state) {
  for (auto _ : state) {
    const imaging::MeasuredSettings m =
        imaging::SettingsAfterOpen(files::OpenInputFile(g_photo), {}, Threads(state));
    benchmark::DoNotOptimize(m.settings.threshold);
  }
}

// The window's open and its save from what the open kept.
void OpenAndSave(benchmark::State& state) {
  imaging::RenderRequest request;
  request.settingsAt = [s = DefaultSettings()](int, int) { return s; };
  for (auto _ : state) {
    imaging::PassOptions options = Threads(state);
    options.keepScans = true;
    const files::InputFile file = files::OpenInputFile(g_photo);
    request.scans = imaging::OpenPhoto(file, options).scans;
    imaging::Bytes out;
    imaging::BytesSink sink(out);
    imaging::RenderPhoto(file, request, sink, options);
    benchmark::DoNotOptimize(out.size());
  }
}

// The definition applied pixel by pixel to a full raster, for comparison.
void SavePlainDefinition(benchmark::State& state) {
  const imaging::BrightenSettings s = DefaultSettings();
  const double q = imaging::ExponentFor(s.strength);
  for (auto _ : state) {
    imaging::Raster r = imaging::DecodeJpeg(files::ReadWholeFile(g_photo));
    for (int y = 0; y < r.height(); ++y)
      for (int x = 0; x < r.width(); ++x) {
        const imaging::ColourValue c = r.pixel(x, y);
        const imaging::Rgb o =
            imaging::BrightenPixel({imaging::RedOf(c), imaging::GreenOf(c), imaging::BlueOf(c)}, s, q);
        r.setPixel(x, y, imaging::MakeColour(o.red, o.green, o.blue));
      }
    benchmark::DoNotOptimize(imaging::EncodeJpeg(r, 85, false).size());
  }
}

}  // namespace

#define PHOTO_BENCHMARK(name) SHARED_MACHINE_BENCHMARK(name, 0.5, 8)

PHOTO_BENCHMARK(CodecFloor);
PHOTO_BENCHMARK(PlainDecode);
PHOTO_BENCHMARK(Open)->Arg(1)->Arg(2)->ArgName("threads");
PHOTO_BENCHMARK(Save)->Arg(1)->Arg(2)->ArgName("threads");
PHOTO_BENCHMARK(CommandLine)->Arg(1)->Arg(2)->ArgName("threads");
PHOTO_BENCHMARK(Extremes)->Arg(1)->Arg(2)->ArgName("threads");
PHOTO_BENCHMARK(OpenAndSave)->Arg(2)->ArgName("threads");
BENCHMARK(SavePlainDefinition)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv) { return RunOnPhoto(argc, argv, g_photo); }
