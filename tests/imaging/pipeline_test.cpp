#include "prosvitek/files/atomic_file.h"
#include "reference.h"
#include "prosvitek/imaging/pipeline.h"

#include "prosvitek/imaging/errors.h"
#include "jpeg_fixtures.h"
#include "samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <tuple>

#include <unistd.h>

namespace imaging {
namespace {

namespace fs = std::filesystem;

// A photo written to a file of its own, opened for reading.
class PhotoFile {
 public:
  explicit PhotoFile(const Bytes& bytes) {
    static std::atomic<int> count{0};
    path_ = (fs::temp_directory_path() /
             ("prosvitek-pipeline-" + std::to_string(::getpid()) + "-" + std::to_string(count++) + ".jpg"))
                .string();
    fixtures::WriteFile(path_, bytes);
    file_ = files::OpenInputFile(path_);
  }
  ~PhotoFile() { fs::remove(path_); }
  const files::InputFile& file() const { return file_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  files::InputFile file_;
};

// Dark on the left, a bright band, a coloured corner: every part of the transform has work.
Raster Scene(int width, int height) {
  return fixtures::MakeRaster(width, height, [&](int x, int y) {
    if (y % 37 == 5) return MakeColour(250, 245, 240);
    if (x > width * 3 / 4) return MakeColour(200, 40 + y % 50, 30);
    return MakeColour((x * 3 + y) % 120, (x + 2 * y) % 90 + 10, (x * y) % 70);
  });
}

struct Source {
  const char* what;
  std::function<Bytes(const Raster&)> encode;
};

const Source kSources[] = {
    {"baseline 2x2", [](const Raster& r) { return EncodeJpeg(r, 92, false); }},
    {"progressive", [](const Raster& r) { return EncodeJpeg(r, 92, true); }},
    {"baseline 1x1", [](const Raster& r) { return fixtures::ColourJpeg(r, 1, 1); }},
    {"baseline 2x1", [](const Raster& r) { return fixtures::ColourJpeg(r, 2, 1); }},
    {"grey", [](const Raster& r) { return fixtures::GrayJpeg(r.width(), r.height()); }},
};

// Both thread counts; measuring split in two parts whatever the size.
PassOptions Options(int threads) {
  PassOptions o;
  o.threads = threads;
  o.splitPixels = 0;
  return o;
}

// Settings that change from step to step, as a user's could during a save.
BrightenSettings SettingsOfRow(int y) {
  const int step = y / kRowsPerStep;
  BrightenSettings s;
  s.strength = 10 + step % 7;
  s.threshold = 200 - 9 * (step % 5);
  s.colourBoost = step % 4;
  s.shiftMode = step % 3 == 1;
  s.darkestLuminance = 3;
  return s;
}

::testing::AssertionResult SameAnalysis(const PhotoAnalysis& a, const PhotoAnalysis& b) {
  if (a.histogram != b.histogram) return ::testing::AssertionFailure() << "histograms differ";
  if (a.MinLuminance != b.MinLuminance || a.MaxLuminance != b.MaxLuminance || !(a.MinPixel == b.MinPixel) ||
      !(a.MaxPixel == b.MaxPixel))
    return ::testing::AssertionFailure() << "extremes differ: min " << a.MinLuminance << " at " << a.MinPixel.X << ","
                                         << a.MinPixel.Y << " vs " << b.MinLuminance << " at " << b.MinPixel.X << ","
                                         << b.MinPixel.Y << "; max " << a.MaxLuminance << " at " << a.MaxPixel.X
                                         << "," << a.MaxPixel.Y << " vs " << b.MaxLuminance << " at " << b.MaxPixel.X
                                         << "," << b.MaxPixel.Y;
  return ::testing::AssertionSuccess();
}

// The first `rows` rows of a raster.
Raster FirstRows(const Raster& r, int rows) {
  Raster top(r.width(), rows);
  for (int y = 0; y < rows; ++y) std::memcpy(top.row(y), r.row(y), r.stride());
  return top;
}

bool SamePixels(const Raster& a, const Raster& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y)
    if (std::memcmp(a.row(y), b.row(y), a.stride()) != 0) return false;
  return true;
}

// The ring's edges: heights around the band and the ring, one- and two-row
// photos, every decoder path, one and two threads. Open and save give what
// the single-threaded definitions give, byte for byte.
TEST(PipelineThreads, EveryHeightAndSourceGivesTheSingleThreadedResult) {
  const std::pair<int, int> sizes[] = {{2000, 1}, {2000, 2}, {61, 15}, {61, 16}, {61, 17},
                                       {37, kRingBands * kBandRows + 1}, {45, 300}};
  for (const Source& source : kSources)
    for (const auto& [width, height] : sizes) {
      const PhotoFile photo(source.encode(Scene(width, height)));
      const Raster decoded = fixtures::DecodeFile(photo.path());
      const PreviewSize size = FitPreviewSize(width, height);
      const Bytes expected = fixtures::ReferenceRender(photo.path(), ExponentFor(10),
                                                       [](int y, int) { return SettingsOfRow(y); }, 77);
      for (int threads : {1, 2}) {
        const std::string what = std::string(source.what) + " " + std::to_string(width) + "x" +
                                 std::to_string(height) + ", threads " + std::to_string(threads);
        const OpenedPhoto opened = OpenPhoto(photo.file(), Options(threads));
        EXPECT_TRUE(SameAnalysis(opened.analysis, AnalysePhoto(decoded))) << what;
        EXPECT_TRUE(SamePixels(opened.preview, StretchNearest(decoded, size.width, size.height))) << what;
        EXPECT_TRUE(opened.warning.empty()) << what << ": " << opened.warning;

        RenderRequest request;
        request.exponent = ExponentFor(10);
        request.settingsAt = [](int y, int) { return SettingsOfRow(y); };
        request.quality = 77;
        Bytes out;
        BytesSink sink(out);
        const Rendered rendered = RenderPhoto(photo.file(), request, sink, Options(threads));
        EXPECT_EQ(out, expected) << what;
        ASSERT_EQ(rendered.steps.size(), static_cast<std::size_t>((height + kRowsPerStep - 1) / kRowsPerStep)) << what;

        // The recorded steps give the same file again.
        request.settingsAt = Replay(rendered.steps);
        Bytes again;
        BytesSink againSink(again);
        RenderPhoto(photo.file(), request, againSink, Options(threads));
        EXPECT_EQ(again, expected) << what << " (replayed)";
      }
    }
}

// Photos of flat blocks from a few levels: equal extremes everywhere, on both
// sides of the row where two threads split the measuring.
TEST(PipelineThreads, ExtremesTiedAcrossTheSplitGoToTheFirstInColumnOrder) {
  const ColourValue levels[] = {MakeColour(0, 0, 0), MakeColour(255, 255, 255), MakeColour(90, 90, 90),
                                MakeColour(20, 200, 20)};
  for (int trial = 0; trial < 12; ++trial) {
    const int width = 48 + 16 * (trial % 3), height = 64 + 40 * (trial % 4);
    const Raster scene = fixtures::MakeRaster(width, height, [&](int x, int y) {
      const unsigned block = static_cast<unsigned>((x / 16) * 7919 + (y / 16) * 104729 + trial * 31);
      return levels[(block * 2654435761u >> 13) % (trial < 6 ? 2 : 4)];
    });
    const PhotoFile photo(trial % 2 ? fixtures::ColourJpeg(scene, 1, 1) : EncodeJpeg(scene, 95, false));
    const PhotoAnalysis expect = AnalysePhoto(fixtures::DecodeFile(photo.path()));
    EXPECT_TRUE(SameAnalysis(OpenPhoto(photo.file(), Options(2)).analysis, expect)) << "trial " << trial;
  }
}

// Real photos, with their samplings, restart markers and colour spaces: the
// open measured in two parts gives what one scan of the decoded rows gives.
TEST(PipelineThreads, SamplePhotosMeasureAsOneScanDoes) {
  int compared = 0;
  for (const fs::path& path : testsupport::InputFilesUnder(testsupport::SamplesDir())) {
    Raster decoded;
    try {
      decoded = fixtures::DecodeFile(path.string());
    } catch (const std::exception&) {
      continue;  // not a photo the program opens
    }
    const OpenedPhoto opened = OpenPhoto(files::OpenInputFile(path.string()), Options(2));
    const PreviewSize size = FitPreviewSize(decoded.width(), decoded.height());
    EXPECT_TRUE(SameAnalysis(opened.analysis, AnalysePhoto(FirstRows(decoded, opened.decodedRows)))) << path;
    EXPECT_TRUE(SamePixels(opened.preview, StretchNearest(decoded, size.width, size.height))) << path;
    ++compared;
  }
  if (compared == 0) GTEST_SKIP() << "samples not available";
}

// A sink that fails, or asks for a stop, when the encoder hands it bytes.
class Sink final : public ByteSink {
 public:
  std::function<void()> onWrite;
  std::size_t written = 0;
  void Write(std::span<const std::uint8_t> bytes) override {
    if (onWrite) onWrite();
    written += bytes.size();
  }
};

// Big enough that the encoder hands bytes over before the last row is decoded.
Bytes NoisePhoto(bool progressive) {
  return EncodeJpeg(fixtures::MakeRaster(700, 900, [](int x, int y) {
                      const unsigned h = static_cast<unsigned>(x * 7919 + y * 104729) * 2654435761u;
                      return MakeColour(h & 255, (h >> 8) & 255, (h >> 16) & 255);
                    }), 95, progressive);
}

RenderRequest DefaultRequest() {
  RenderRequest r;
  r.settingsAt = [](int, int) {
    BrightenSettings s;
    s.threshold = 170;
    return s;
  };
  return r;
}

// Stopping a pass while it decodes or while it encodes ends it with Cancelled,
// and a file written through files::AtomicFile never appears.
TEST(PipelineThreads, CancelDuringDecodeOrEncodeWritesNothing) {
  const fs::path dir = fs::temp_directory_path() / ("prosvitek-cancel-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  for (bool progressive : {false, true})
    for (const char* when : {"before", "decoding", "encoding"})
      for (int threads : {1, 2}) {
        const std::string what = std::string(when) + (progressive ? ", progressive" : ", baseline") + ", threads " +
                                 std::to_string(threads);
        const PhotoFile photo(NoisePhoto(progressive));
        std::stop_source stop;
        PassOptions options = Options(threads);
        options.stop = stop.get_token();
        if (std::string(when) == "before") stop.request_stop();
        if (std::string(when) == "decoding")
          options.progress = [&](int rows, int) {
            if (rows >= 2 * kBandRows) stop.request_stop();
          };
        std::optional<files::AtomicFile> file;
        Sink sink;
        sink.onWrite = [&] {
          if (!file) file.emplace((dir / "out.jpg").string());
          if (std::string(when) == "encoding") stop.request_stop();
        };
        EXPECT_THROW(RenderPhoto(photo.file(), DefaultRequest(), sink, options), Cancelled) << what;
        PassOptions bounded = options;
        bounded.boundPixels = 0;
        EXPECT_THROW(RenderWithControls(photo.file(), {}, DefaultRequest(), sink, bounded), Cancelled) << what;
        EXPECT_THROW(RenderWithControls(photo.file(), {}, DefaultRequest(), sink, options), Cancelled) << what;
        if (std::string(when) != "encoding") {
          EXPECT_THROW(OpenPhoto(photo.file(), options), Cancelled) << what;
        }
        file.reset();
        EXPECT_TRUE(fs::is_empty(dir)) << what;
      }
  fs::remove_all(dir);
}

// A failure on either thread reaches the caller as itself, not as a hang or
// a cancellation.
TEST(PipelineThreads, FailureOnEitherThreadReachesTheCaller) {
  const PhotoFile photo(NoisePhoto(false));
  enum Where { Settings, Sink_, Progress };
  for (Where where : {Settings, Sink_, Progress})
    for (int threads : {1, 2}) {
      RenderRequest request = DefaultRequest();
      PassOptions options = Options(threads);
      Sink sink;
      if (where == Settings)
        request.settingsAt = [](int y, int) -> BrightenSettings {
          if (y >= 5 * kRowsPerStep) throw std::runtime_error("settings failed");
          return BrightenSettings{};
        };
      if (where == Sink_) sink.onWrite = [] { throw FileError("disk full"); };
      if (where == Progress)
        options.progress = [](int rows, int) {
          if (rows > 3 * kBandRows) throw std::runtime_error("progress failed");
        };
      const std::string what = "where " + std::to_string(where) + ", threads " + std::to_string(threads);
      try {
        RenderPhoto(photo.file(), request, sink, options);
        ADD_FAILURE() << what << ": no failure";
      } catch (const Cancelled&) {
        ADD_FAILURE() << what << ": came out as a cancellation";
      } catch (const std::exception& e) {
        const std::string message = e.what();
        EXPECT_TRUE(message == "settings failed" || message == "disk full" || message == "progress failed") << what;
      }
    }
}

// A file that ends early is processed as far as it decodes, and says so.
TEST(PipelineThreads, DamagedPhotoIsProcessedAndReported) {
  Bytes bytes = NoisePhoto(false);
  bytes.resize(bytes.size() * 2 / 3);
  const PhotoFile damaged(bytes), whole(NoisePhoto(false));
  for (int threads : {1, 2}) {
    EXPECT_NE(OpenPhoto(damaged.file(), Options(threads)).warning.find("Premature end of JPEG file"), std::string::npos);
    EXPECT_TRUE(OpenPhoto(whole.file(), Options(threads)).warning.empty());
    Bytes out;
    BytesSink sink(out);
    const Rendered r = RenderPhoto(damaged.file(), DefaultRequest(), sink, Options(threads));
    EXPECT_NE(r.warning.find("Premature end of JPEG file"), std::string::npos);
    EXPECT_EQ(out, fixtures::ReferenceRender(damaged.path(), ExponentFor(kDefaultStrength), DefaultRequest().settingsAt,
                                             kDefaultQuality));
  }
}

// The first row from which on every row is the grey libjpeg fills in for missing data.
int FirstFillerRow(const Raster& r) {
  const auto grey = [&](int y) {
    return std::all_of(r.row(y), r.row(y) + r.stride(), [](std::uint8_t v) { return v == 128; });
  };
  int y = r.height();
  while (y > 0 && grey(y - 1)) --y;
  return y;
}

// Where the n-th scan (1-based) of a JPEG file starts; the file's size when it has fewer.
std::size_t ScanStart(const Bytes& jpeg, int n) {
  for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA && --n == 0) return i;
  return jpeg.size();
}

// A photo whose data ends early: only the rows that were decoded are measured
// (the open's analysis, the command line's settings), and the open and the
// save say how many there were. A progressive photo cut in a scan that only
// refines keeps all its rows.
TEST(PipelineThreads, TruncatedPhotoMeasuresOnlyItsDecodedRows) {
  const Raster noise = fixtures::MakeRaster(300, 400, [](int x, int y) {
    const unsigned h = static_cast<unsigned>(x * 7919 + y * 104729) * 2654435761u;
    return MakeColour(h & 63, (h >> 8) & 63, (h >> 16) & 63);  // darker than the grey filler
  });
  const Bytes baseline = EncodeJpeg(noise, 90, false), oneByOne = fixtures::ColourJpeg(noise, 1, 1),
              progressive = EncodeJpeg(noise, 90, true);
  const std::size_t dcScan = ScanStart(progressive, 1), secondScan = ScanStart(progressive, 2);
  const struct {
    const char* what;
    Bytes file;
    int slack;  // rows the grey may start below the decoded ones: a row of blocks partly
                // decoded, and in a progressive photo the smoothing of blocks beside decoded ones
    bool allRows;
  } cases[] = {
      {"baseline 2x2 at a third", Bytes(baseline.begin(), baseline.begin() + static_cast<std::ptrdiff_t>(baseline.size() / 3)), 32, false},
      {"baseline 1x1 at two thirds", Bytes(oneByOne.begin(), oneByOne.begin() + static_cast<std::ptrdiff_t>(oneByOne.size() * 2 / 3)), 16, false},
      {"progressive in its first scan", Bytes(progressive.begin(), progressive.begin() + static_cast<std::ptrdiff_t>((dcScan + secondScan) / 2)), 48, false},
      {"progressive in a refining scan", Bytes(progressive.begin(), progressive.begin() + static_cast<std::ptrdiff_t>(progressive.size() * 2 / 3)), 0, true},
  };
  for (const auto& c : cases) {
    const PhotoFile photo(c.file);
    const Raster decoded = fixtures::DecodeFile(photo.path());
    const int filler = FirstFillerRow(decoded);
    for (int threads : {1, 2}) {
      const std::string what = std::string(c.what) + ", threads " + std::to_string(threads);
      const OpenedPhoto opened = OpenPhoto(photo.file(), Options(threads));
      if (c.allRows) {
        EXPECT_EQ(opened.decodedRows, 400) << what;
      } else {
        EXPECT_LE(opened.decodedRows, filler) << what;
        EXPECT_GE(opened.decodedRows, filler - c.slack) << what;
        EXPECT_GT(opened.decodedRows, 0) << what;
      }
      EXPECT_FALSE(opened.warning.empty()) << what;
      const PhotoAnalysis expect = AnalysePhoto(FirstRows(decoded, opened.decodedRows));
      EXPECT_TRUE(SameAnalysis(opened.analysis, expect)) << what;
      const BrightenSettings wanted =
          SettingsFor({kDefaultStrength, ThresholdAfterOpen(std::nullopt, expect.MinLuminance, expect.MaxLuminance),
                       kDefaultColourBoost, false},
                      expect.MinLuminance);
      EXPECT_EQ(SettingsAfterOpen(photo.file(), {}, Options(threads)).settings, wanted) << what;
      // Also where the extremes would come from the coefficients, which hold the filler too.
      PassOptions bounded = Options(threads);
      bounded.boundPixels = 0;
      EXPECT_EQ(SettingsAfterOpen(photo.file(), {}, bounded).settings, wanted) << what;
      Bytes cli;
      BytesSink cliSink(cli);
      const Rendered byCli = RenderWithControls(photo.file(), {}, DefaultRequest(), cliSink, bounded);
      ASSERT_FALSE(byCli.steps.empty()) << what;
      EXPECT_EQ(byCli.steps.front(), wanted) << what;
      const Rendered held = RenderWithControls(photo.file(), {}, DefaultRequest(), cliSink, Options(threads));
      ASSERT_FALSE(held.steps.empty()) << what;
      EXPECT_EQ(held.steps.front(), wanted) << what;
      EXPECT_EQ(held.decodedRows, opened.decodedRows) << what;
      Bytes out;
      BytesSink sink(out);
      EXPECT_EQ(RenderPhoto(photo.file(), DefaultRequest(), sink, Options(threads)).decodedRows, opened.decodedRows) << what;
    }
  }
}

// The command line's render, its extremes found from the coefficients or,
// as small photos are, from the photo decoded once and held: byte for byte
// what the window's open and save of the single-threaded definition give
// with the same controls.
TEST(PipelineThreads, CommandLineRenderGivesTheSingleThreadedResult) {
  const std::pair<int, int> sizes[] = {{61, 17}, {45, 600}, {300, 40}};
  const CommandControls controls[] = {{}, {15, std::nullopt, 3, true}, {40, 90, 0, false}};
  for (const Source& source : kSources)
    for (const auto& [width, height] : sizes) {
      const PhotoFile photo(source.encode(Scene(width, height)));
      const PhotoAnalysis a = AnalysePhoto(fixtures::DecodeFile(photo.path()));
      for (const CommandControls& c : controls) {
        const BrightenSettings s = SettingsFor(
            {c.strength, ThresholdAfterOpen(c.threshold, a.MinLuminance, a.MaxLuminance), c.colourBoost, c.shiftMode},
            a.MinLuminance);
        const Bytes expected = fixtures::ReferenceRender(photo.path(), ExponentFor(c.strength),
                                                         [s](int, int) { return s; }, 80);
        for (int threads : {1, 2})
          for (bool held : {false, true}) {
            const std::string what = std::string(source.what) + " " + std::to_string(width) + "x" +
                                     std::to_string(height) + ", threads " + std::to_string(threads) +
                                     (held ? ", held" : ", bounded");
            PassOptions options = Options(threads);
            if (!held) options.boundPixels = 0;
            RenderRequest request;
            request.exponent = ExponentFor(c.strength);
            request.quality = 80;
            Bytes out;
            BytesSink sink(out);
            const Rendered r = RenderWithControls(photo.file(), c, request, sink, options);
            EXPECT_EQ(out, expected) << what;
            ASSERT_FALSE(r.steps.empty()) << what;
            EXPECT_EQ(r.steps.front(), s) << what;
          }
      }
    }
}

// A progressive photo's scans kept by its open serve saves without the file:
// removed after the open, it is rendered twice from them, as the photo was;
// also a photo cut short, whose blocks libjpeg smooths. The open measures
// what one scan of the decoded photo measures.
TEST(PipelineThreads, KeptScansRenderWithoutTheFile) {
  const Raster scene = Scene(150, 300);
  const auto settings = [](int threshold) {
    return [threshold](int, int) {
      BrightenSettings s;
      s.threshold = threshold;
      return s;
    };
  };
  Bytes cut = EncodeJpeg(scene, 90, true);
  cut.resize(cut.size() * 2 / 3);
  const std::pair<const char*, Bytes> sources[] = {{"whole", EncodeJpeg(scene, 90, true)}, {"cut short", cut}};
  for (const auto& [what, source] : sources)
    for (int threads : {1, 2}) {
      std::optional<PhotoFile> photo(source);
      const Bytes first = fixtures::ReferenceRender(photo->path(), ExponentFor(15), settings(120), 85);
      const Bytes second = fixtures::ReferenceRender(photo->path(), ExponentFor(15), settings(200), 60);
      const PhotoAnalysis expected = AnalysePhoto(fixtures::DecodeFile(photo->path()));
      PassOptions options = Options(threads);
      options.keepScans = true;
      const OpenedPhoto opened = OpenPhoto(photo->file(), options);
      ASSERT_TRUE(opened.scans);
      EXPECT_TRUE(SameAnalysis(opened.analysis, expected)) << what;
      photo.reset();
      RenderRequest request;
      request.scans = opened.scans;
      for (const auto& [threshold, quality, expect] : {std::tuple{120, 85, &first}, std::tuple{200, 60, &second}}) {
        request.settingsAt = settings(threshold);
        request.quality = quality;
        Bytes out;
        BytesSink sink(out);
        RenderPhoto(files::InputFile{}, request, sink, options);
        EXPECT_EQ(out, *expect) << what << ", threshold " << threshold << ", threads " << threads;
      }
    }
  const PhotoFile baseline(EncodeJpeg(scene, 90, false));
  PassOptions options = Options(2);
  options.keepScans = true;
  EXPECT_FALSE(OpenPhoto(baseline.file(), options).scans);  // nothing to keep: it decodes in one go
}

TEST(CommandSettings, SettledOnlyWhenTheRestOfThePhotoCannotMatter) {
  struct Case {
    const char* what;
    CommandControls controls;
    int darkest, brightest;
    bool settled;
  };
  const CommandControls plain, shift{15, std::nullopt, 3, true}, typed{15, 100, 3, false}, high{15, 254, 3, false};
  const Case cases[] = {
      {"brightest below white can still rise", plain, 0, 254, false},
      {"white and black", plain, 0, 255, true},
      {"white, darkest below the primed threshold", plain, 100, 255, true},
      {"white, darkest at the primed threshold: the range would move", plain, 170, 255, false},
      {"shift needs the darkest itself", shift, 3, 255, false},
      {"shift with black", shift, 0, 255, true},
      {"typed threshold inside the range", typed, 50, 255, true},
      {"typed threshold at the darkest", typed, 100, 255, false},
      {"a one-value range takes a typed value unclamped, as the wider ones do here", high, 254, 255, true},
  };
  for (const Case& c : cases) EXPECT_EQ(SettingsSettled(c.controls, c.darkest, c.brightest), c.settled) << c.what;
}

// The command line's settings come from measuring only as much of the photo
// as they need, and are those of the whole photo's analysis.
TEST(PipelineThreads, MeasuringForTheSettingsStopsOnceTheyAreSettled) {
  const auto withWhiteAndBlackOnTop = fixtures::MakeRaster(320, 600, [](int x, int y) {
    if (y < 16) return x < 160 ? MakeColour(0, 0, 0) : MakeColour(255, 255, 255);
    return MakeColour(30 + x % 100, 20 + y % 90, 40);
  });
  const auto dim = fixtures::MakeRaster(320, 600, [](int x, int y) { return MakeColour(30 + x % 100, 20 + y % 90, 40); });
  const CommandControls controls[] = {{}, {15, std::nullopt, 3, true}, {40, 90, 0, false}, {40, 999, 5, true}};
  for (const Raster* scene : {&withWhiteAndBlackOnTop, &dim})
    for (const CommandControls& c : controls)
      for (int threads : {1, 2, -2}) {  // -2: two threads, extremes from the coefficients
        const PhotoFile photo(EncodeJpeg(*scene, 95, false));
        PassOptions options = Options(std::abs(threads));
        if (threads < 0) options.boundPixels = 0;
        const MeasuredSettings m = SettingsAfterOpen(photo.file(), c, options);
        const PhotoAnalysis a = AnalysePhoto(fixtures::DecodeFile(photo.path()));
        BrightenSettings expect = SettingsFor(
            {c.strength, ThresholdAfterOpen(c.threshold, a.MinLuminance, a.MaxLuminance), c.colourBoost, c.shiftMode},
            a.MinLuminance);
        const bool early = scene == &withWhiteAndBlackOnTop;
        EXPECT_EQ(m.wholePhoto, !early);
        if (!c.shiftMode) expect.darkestLuminance = m.settings.darkestLuminance;  // only the shift reads it
        EXPECT_EQ(m.settings, expect) << "threshold " << m.settings.threshold << " vs " << expect.threshold;
      }
}

}  // namespace
}  // namespace imaging
