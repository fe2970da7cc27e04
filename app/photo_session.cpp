#include "photo_session.h"

#include "native_path.h"

PhotoSession::PhotoSession(QObject* parent) : QObject(parent) {
  progressTimer_.setInterval(30);
  connect(&progressTimer_, &QTimer::timeout, this, [this] {
    const auto [done, total] = runner_.Progress();
    if (total > 0) emit progress(done, total);
  });
}

PhotoSession::~PhotoSession() { Cancel(); }

void PhotoSession::SetControls(const imaging::ControlValues& controls) {
  std::lock_guard lock(controls_->lock);
  controls_->values = controls;
}

void PhotoSession::Failed(const std::string& message) {
  progressTimer_.stop();
  emit failed(QString::fromStdString(message));
}

bool PhotoSession::Open(const QString& path) {
  if (Busy() || Saving()) return false;
  progressTimer_.start();
  return runner_.Run<Photo>([file = NativePath(path)](JobContext& context) { return OpenJob(file, context); },
                            [this, path](JobResult<Photo>&& r) {
                              if (r.status == JobStatus::Cancelled) return progressTimer_.stop();
                              if (r.status == JobStatus::Failed) return Failed(r.message);
                              progressTimer_.stop();
                              path_ = path;
                              photo_ = std::move(r.value);
                              preview2_ = photo_.preview.Clone();
                              previewSettings_ = {};
                              emit opened(QString::fromStdString(r.warning));
                            });
}

imaging::Histogram PhotoSession::RenderPreview(const imaging::ControlValues& controls) {
  previewSettings_ = imaging::SettingsFor(controls, photo_.analysis.MinLuminance);
  previewExponent_ = imaging::ExponentFor(controls.strength);
  imaging::Histogram histogram{};
  imaging::Raster out(photo_.preview.width(), photo_.preview.height());
  imaging::BrightenPass(
      photo_.preview, out, previewExponent_, [s = previewSettings_](int, int) { return s; }, &histogram);
  preview2_ = std::move(out);
  return histogram;
}

bool PhotoSession::Render(double exponent, int quality) {
  if (Busy() || !HasPhoto()) return false;
  if (!save_.Drop()) return false;  // a result held from an earlier save is not this one's
  save_.Begin();
  RenderOrder order;
  order.source = NativePath(path_);
  order.exponent = exponent;
  order.quality = quality;
  order.scans = photo_.scans;
  // The one channel into a running job: the controls, read every step of rows.
  order.settingsAt = [controls = controls_, darkest = photo_.analysis.MinLuminance](int, int) {
    std::lock_guard lock(controls->lock);
    return imaging::SettingsFor(controls->values, darkest);
  };
  progressTimer_.start();
  return runner_.Run<RenderedPhoto>(
      [order = std::move(order)](JobContext& context) { return RenderJob(order, context); },
      [this](JobResult<RenderedPhoto>&& r) {
        progressTimer_.stop();
        if (r.status != JobStatus::Done) {
          save_.Drop();
          if (r.status == JobStatus::Failed) Failed(r.message);
          return;
        }
        save_.Rendered(std::move(r.value), r.warning);
        emit rendered();
      });
}

bool PhotoSession::Reencode(int quality) {
  if (Busy() || !save_.Encode(quality)) return false;
  return runner_.Run<RenderedPhoto>([held = save_.rendered(), source = NativePath(path_), quality](
                                        JobContext& context) { return EncodeJob(held, source, quality, context); },
                                    [this](JobResult<RenderedPhoto>&& r) {
                                      // A failed encoding is no failure of the save: its write encodes again and says
                                      // what fails.
                                      std::optional<WriteOrder> next = r.status == JobStatus::Done
                                                                           ? save_.Encoded(std::move(r.value))
                                                                           : save_.EncodeFailed();
                                      if (next) StartWrite(std::move(*next));
                                    });
}

bool PhotoSession::Write(const QString& target, int quality, bool keepMetadata) {
  if (save_.step() != SaveMachine::Step::Waiting) return false;
  WriteOrder order;
  order.source = NativePath(path_);
  order.target = NativePath(target);
  order.quality = quality;
  order.keepMetadata = keepMetadata;
  if (std::optional<WriteOrder> now = save_.Write(std::move(order))) StartWrite(std::move(*now));
  return true;
}

void PhotoSession::StartWrite(WriteOrder order) {
  progressTimer_.start();
  runner_.Run<WrittenPhoto>([order = std::move(order)](JobContext& context) { return WriteJob(order, context); },
                            [this](JobResult<WrittenPhoto>&& r) {
                              progressTimer_.stop();
                              std::string warning = save_.warning();
                              save_.Written();
                              if (r.status == JobStatus::Failed) return Failed(r.message);
                              if (r.status != JobStatus::Done) return;
                              if (!r.value.warning.empty()) warning += (warning.empty() ? "" : "\n") + r.value.warning;
                              emit written(PathFromNative(r.value.target), r.value.size,
                                           QString::fromStdString(warning));
                            });
}

bool PhotoSession::Discard() {
  if (save_.writing()) return false;
  if (save_.step() == SaveMachine::Step::Rendering || save_.encoding()) {
    runner_.Cancel();
    progressTimer_.stop();
  }
  save_.Drop();
  return true;
}

void PhotoSession::Cancel() {
  runner_.Cancel();
  progressTimer_.stop();
  save_ = SaveMachine();
}
