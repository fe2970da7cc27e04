// The compare view on a 24-megapixel photo: what a change of a control
// costs once the view's pixels are decoded (the targets: a fitted photo
// repainted within 100 ms, a 1:1 region within 50 ms), and what the decode
// at the view's scale costs when the view is first shown or resized.
// Usage: view_bench [PHOTO] [benchmark flags]; without PHOTO the shared
// 6000 x 4000 sample is used. With the window built, the real view is
// repainted too (offscreen).

#include "prosvitek/imaging/analysis.h"
#include "prosvitek/imaging/brighten.h"
#include "prosvitek/imaging/pipeline.h"
#include "prosvitek/imaging/view_render.h"

#ifdef PROSVITEK_VIEW_BENCH_WINDOW
#include "app/compare_window.h"
#include "app/photo_jobs.h"

#include <QApplication>
#include <QScrollBar>
#endif

#include "bench_runs.h"

#include <algorithm>

namespace {

std::string g_photo;
// A window of 1280 x 800 shows a 6000 x 4000 photo fitted at 1200 x 800.
constexpr int kViewWidth = 1280;
constexpr int kViewHeight = 800;

struct Shown {
  imaging::JpegHeader header;
  imaging::BrightenSettings settings;
};

Shown Measure() {
  const imaging::OpenedPhoto photo = imaging::OpenPhoto(files::OpenInputFile(g_photo), {}, false);
  return {photo.header, imaging::SettingsFor({imaging::kDefaultStrength, imaging::PrimeThreshold(photo.analysis).value,
                                              imaging::kDefaultColourBoost, false},
                                             photo.analysis.MinLuminance)};
}

imaging::ViewRequest Fitted(const imaging::JpegHeader& h) {
  const double zoom = std::min(static_cast<double>(kViewWidth) / h.width, static_cast<double>(kViewHeight) / h.height);
  return {
      imaging::ViewScaleFor(1, h.width, h.height, static_cast<int>(h.width * zoom), static_cast<int>(h.height * zoom)),
      1,
      {}};
}

imaging::ViewRequest Region(const imaging::JpegHeader& h) {
  return {1, 1, {(h.width - kViewWidth) / 2, (h.height - kViewHeight) / 2, kViewWidth, kViewHeight}};
}

// The view's pixels decoded at its scale (whole photo fitted, or a region at 1:1).
void DecodeFitted(benchmark::State& state) {
  const imaging::ViewRequest request = Fitted(Measure().header);
  for (auto _ : state)
    benchmark::DoNotOptimize(imaging::DecodeView(files::OpenInputFile(g_photo), request).pixels.width());
  state.SetLabel("1/" + std::to_string(request.scale));
}

void DecodeRegion(benchmark::State& state) {
  const imaging::ViewRequest request = Region(Measure().header);
  for (auto _ : state)
    benchmark::DoNotOptimize(imaging::DecodeView(files::OpenInputFile(g_photo), request).pixels.width());
}

// A control changed: the decoded pixels brightened again with other settings.
void BrightenAgain(benchmark::State& state, const imaging::ViewRequest& request) {
  const Shown shown = Measure();
  const imaging::ViewPixels view = imaging::DecodeView(files::OpenInputFile(g_photo), request);
  imaging::BrightenSettings s = shown.settings;
  int strength = 10;
  for (auto _ : state) {
    s.strength = strength = strength % 150 + 1;
    benchmark::DoNotOptimize(imaging::BrightenView(view.pixels, s, imaging::ExponentFor(strength)).width());
  }
  state.SetLabel(std::to_string(view.pixels.width()) + "x" + std::to_string(view.pixels.height()));
}

void BrightenFitted(benchmark::State& state) { BrightenAgain(state, Fitted(Measure().header)); }
void BrightenRegion(benchmark::State& state) { BrightenAgain(state, Region(Measure().header)); }

#ifdef PROSVITEK_VIEW_BENCH_WINDOW
// The compare view itself: a change of the settings brightens again and the
// view repaints (into a pixmap, as the screen would be).
void Repaint(benchmark::State& state, bool oneToOne) {
  const Shown shown = Measure();
  Photo photo;
  photo.path = g_photo;
  photo.header = shown.header;
  photo.preview = imaging::Raster(320, 213);
  TCompareCanvas canvas;
  canvas.resize(kViewWidth, kViewHeight);
  canvas.show();
  canvas.SetOneToOne(oneToOne);
  canvas.SetPhoto(photo);
  while (canvas.Decoding() || canvas.RenderedScale() == 0)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  imaging::BrightenSettings s = shown.settings;
  int strength = 10;
  for (auto _ : state) {
    s.strength = strength = strength % 150 + 1;
    canvas.SetSettings(s, imaging::ExponentFor(strength));
    benchmark::DoNotOptimize(canvas.viewport()->grab().width());
  }
  state.SetLabel("1/" + std::to_string(canvas.RenderedScale()));
}

void RepaintFitted(benchmark::State& state) { Repaint(state, false); }
void RepaintRegion(benchmark::State& state) { Repaint(state, true); }
#endif

}  // namespace

#define VIEW_BENCHMARK(name) SHARED_MACHINE_BENCHMARK(name, 0.3, 5)

VIEW_BENCHMARK(DecodeFitted);
VIEW_BENCHMARK(DecodeRegion);
VIEW_BENCHMARK(BrightenFitted);
VIEW_BENCHMARK(BrightenRegion);
#ifdef PROSVITEK_VIEW_BENCH_WINDOW
VIEW_BENCHMARK(RepaintFitted);
VIEW_BENCHMARK(RepaintRegion);
#endif

int main(int argc, char** argv) {
#ifdef PROSVITEK_VIEW_BENCH_WINDOW
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
#endif
  return RunOnPhoto(argc, argv, g_photo);
}
