#include "app/photo_session.h"

#include "app/native_path.h"

#include "imaging/errors.h"
#include "files/input_file.h"
#include "files/atomic_file.h"
#include "imaging/metadata.h"
#include "imaging/pipeline.h"

#include <new>
#include <optional>

namespace {

// A path as the file system takes it (not always UTF-8).
std::string FileName(const QString& path) { return NativePath(path); }

// Bytes going into a file that appears under its name only when complete.
class FileSink final : public imaging::ByteSink {
 public:
  explicit FileSink(files::AtomicFile& file) : file_(file) {}
  void Write(std::span<const std::uint8_t> bytes) override { file_.Write(bytes); }

 private:
  files::AtomicFile& file_;
};

}  // namespace

PhotoSession::PhotoSession(QObject* parent) : QObject(parent) {
  progressTimer_.setInterval(30);
  connect(&progressTimer_, &QTimer::timeout, this, [this] {
    if (rows_.load() > 0) emit progress(rowsDone_.load(), rows_.load());
  });
}

PhotoSession::~PhotoSession() { Cancel(); }

void PhotoSession::SetControls(const imaging::ControlValues& controls) {
  std::lock_guard lock(controlsLock_);
  controls_ = controls;
}

imaging::SettingsAt PhotoSession::LiveSettings() {
  return [this, darkest = analysis_.MinLuminance](int, int) {
    imaging::ControlValues c;
    {
      std::lock_guard lock(controlsLock_);
      c = controls_;
    }
    return imaging::SettingsFor(c, darkest);
  };
}

void PhotoSession::Start(Job job, std::function<void(std::stop_token)> work, std::function<void()> done) {
  job_ = job;
  busy_ = true;
  done_ = std::move(done);
  error_.clear();
  rowsDone_ = 0;
  rows_ = 0;
  const unsigned generation = ++generation_;
  worker_ = std::jthread([this, generation, work = std::move(work)](std::stop_token stop) {
    QString error;
    try {
      work(stop);
    } catch (const imaging::Cancelled&) {
      return;  // only Cancel stops a job, and it expects no signal
    } catch (const std::bad_alloc&) {
      error = QStringLiteral("Nedostatek paměti.");
    } catch (const std::exception& e) {
      error = QString::fromUtf8(e.what());
    }
    error_ = error;  // read after the join
    QMetaObject::invokeMethod(this, [this, generation] { Finished(generation); }, Qt::QueuedConnection);
  });
  progressTimer_.start();
}

void PhotoSession::Finished(unsigned generation) {
  if (generation != generation_ || !worker_.joinable()) return;  // cancelled meanwhile
  worker_.join();
  progressTimer_.stop();
  const Job job = job_;
  job_ = Job::None;
  busy_ = false;
  std::function<void()> done = std::move(done_);
  if (error_.isEmpty()) return done();
  if (job == Job::Reencode) {
    // The write that follows renders again and reports its own failure.
    encoded_.clear();
    encodedQuality_ = 0;
    if (writePending_) StartWrite();
    return;
  }
  if (job == Job::Render || job == Job::Write) Discard();
  emit failed(error_);
}

void PhotoSession::Cancel() {
  if (worker_.joinable()) {
    worker_.request_stop();
    worker_.join();
  }
  ++generation_;  // a result already on its way is dropped
  progressTimer_.stop();
  job_ = Job::None;
  busy_ = false;
  writePending_ = false;
}

void PhotoSession::Open(const QString& path) {
  if (busy_) return;
  Start(
      Job::Open,
      [this, file = FileName(path)](std::stop_token stop) {
        imaging::PassOptions options;
        options.stop = stop;
        options.keepScans = true;
        options.progress = [this](int done, int height) {
          rowsDone_ = done;
          rows_ = height;
        };
        imaging::OpenedPhoto photo = imaging::OpenPhoto(files::OpenInputFile(file), options);
        openedScans_ = std::move(photo.scans);
        openedAnalysis_ = photo.analysis;
        openedPreview_ = std::move(photo.preview);
        openedWidth_ = photo.header.width;
        openedHeight_ = photo.header.height;
        warning_ = QString::fromUtf8(photo.warning);
      },
      [this, path] {
        path_ = path;
        scans_ = std::move(openedScans_);
        analysis_ = openedAnalysis_;
        width_ = openedWidth_;
        height_ = openedHeight_;
        preview1_ = std::move(openedPreview_);
        preview2_ = preview1_.Clone();
        Discard();  // a result rendered from the previous photo is not this photo's
        emit opened(warning_);
      });
}

imaging::Histogram PhotoSession::RecomputePreview(double exponent) {
  const imaging::SettingsAt settings = LiveSettings();
  imaging::Histogram histogram{};
  imaging::Raster out(preview1_.width(), preview1_.height());
  imaging::BrightenPass(preview1_, out, exponent, settings, &histogram);
  preview2_ = std::move(out);
  return histogram;
}

void PhotoSession::Render(double exponent, int quality) {
  if (busy_) return;
  Discard();
  exponent_ = exponent;
  Start(
      Job::Render,
      [this, file = FileName(path_), exponent, quality, settings = LiveSettings(), scans = scans_](std::stop_token stop) {
        imaging::PassOptions options;
        options.stop = stop;
        options.progress = [this](int done, int height) {
          rowsDone_ = done;
          rows_ = height;
        };
        imaging::RenderRequest request;
        request.exponent = exponent;
        request.settingsAt = settings;
        request.quality = quality;
        request.scans = scans;
        const files::InputFile input = files::OpenInputFile(file);
        imaging::Bytes out;
        out.reserve(static_cast<std::size_t>(input.size()));  // about the result's size: no copies while it grows
        imaging::BytesSink sink(out);
        imaging::Rendered r = imaging::RenderPhoto(input, request, sink, options);
        encoded_ = std::move(out);
        encodedQuality_ = quality;
        steps_ = std::move(r.steps);
        warning_ = QString::fromUtf8(r.warning);
      },
      [this] {
        rendered_ = true;
        emit rendered();
      });
}

// The pass that ended, again: the settings of each of its steps, at another quality.
imaging::RenderRequest PhotoSession::ReplayRequest(int quality, std::span<const imaging::JpegSegment> segments) const {
  imaging::RenderRequest request;
  request.exponent = exponent_;
  request.settingsAt = imaging::Replay(steps_);
  request.quality = quality;
  request.segments = segments;
  request.scans = scans_;
  return request;
}

void PhotoSession::Reencode(int quality) {
  if (busy_ || !rendered_ || quality == encodedQuality_) return;
  Start(
      Job::Reencode,
      [this, file = FileName(path_), quality](std::stop_token stop) {
        imaging::PassOptions options;
        options.stop = stop;
        const imaging::RenderRequest request = ReplayRequest(quality, {});
        imaging::Bytes out;
        imaging::BytesSink sink(out);
        imaging::RenderPhoto(files::OpenInputFile(file), request, sink, options);
        encoded_ = std::move(out);
        encodedQuality_ = quality;
      },
      [this] {
        if (writePending_) StartWrite();
      });
}

void PhotoSession::Write(const QString& target, int quality, bool keepMetadata) {
  if (!rendered_) return;
  writeTarget_ = target;
  writeQuality_ = quality;
  writeKeepsMetadata_ = keepMetadata;
  writePending_ = true;
  if (!busy_) StartWrite();  // else the re-encoding starts it when it ends
}

void PhotoSession::StartWrite() {
  writePending_ = false;
  Start(
      Job::Write,
      [this, source = FileName(path_), target = FileName(writeTarget_), quality = writeQuality_,
       keepMetadata = writeKeepsMetadata_](std::stop_token stop) {
        // The source's colour profile and orientation always travel with the
        // result, so that it shows as taken; the rest of its metadata when asked.
        const files::InputFile input = files::OpenInputFile(source);
        const std::vector<imaging::JpegSegment> segments = imaging::SegmentsToCarry(input, keepMetadata);
        files::AtomicFile file(target);
        FileSink sink(file);
        if (quality == encodedQuality_ && !encoded_.empty()) {
          imaging::WriteWithSegments(sink, encoded_, segments);
        } else {
          // The same steps again, at the quality asked for, straight into the file.
          imaging::PassOptions options;
          options.stop = stop;
          const imaging::RenderRequest request = ReplayRequest(quality, segments);
          imaging::RenderPhoto(input, request, sink, options);
        }
        if (stop.stop_requested()) throw imaging::Cancelled();
        file.Commit();
      },
      [this] {
        Discard();
        emit written(warning_);
      });
}

void PhotoSession::Discard() {
  writePending_ = false;
  if (busy_ && job_ == Job::Reencode) Cancel();
  encoded_.clear();
  encoded_.shrink_to_fit();
  encodedQuality_ = 0;
  steps_.clear();
  rendered_ = false;
}
