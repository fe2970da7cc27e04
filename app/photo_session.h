#pragma once
// The open photo and the work on it, apart from any widget: the path, the
// analysis, the two previews, and the pass that runs on worker threads (an
// open, or a save's full-resolution pass and encoding). The user-interface
// thread never waits for a pass: it starts one and hears back through the
// signals, which are delivered on its own thread.

#include "imaging/analysis.h"
#include "imaging/brighten.h"
#include "imaging/jpeg_codec.h"
#include "imaging/jpeg_segments.h"
#include "imaging/pipeline.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <stop_token>
#include <thread>
#include <vector>

class PhotoSession : public QObject {
  Q_OBJECT

 public:
  explicit PhotoSession(QObject* parent = nullptr);
  ~PhotoSession() override;  // stops a running pass and waits for it

  // Whether a pass is running (or a result waits to be taken by its signal).
  bool Busy() const { return busy_; }

  // The photo opened last (empty before the first open) and what was measured.
  const QString& Path() const { return path_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  const imaging::PhotoAnalysis& Analysis() const { return analysis_; }
  const imaging::Raster& Preview1() const { return preview1_; }  // the unprocessed preview
  const imaging::Raster& Preview2() const { return preview2_; }  // the processed preview

  // The controls as they are now. A running save asks for them at every
  // step of rows, on its worker thread; set them whenever one changes.
  void SetControls(const imaging::ControlValues& controls);

  // Decodes and measures the photo; emits opened or failed. A failed open
  // leaves the previous photo as it was.
  void Open(const QString& path);

  // The preview pass: Preview1 brightened into Preview2 with the controls
  // of now; gives the histogram of the result. Small enough to run at once.
  imaging::Histogram RecomputePreview(double exponent);

  // The save's pass: the photo decoded again, brightened with the controls
  // read every step of rows, and encoded at `quality`; emits rendered or failed.
  void Render(double exponent, int quality);
  // Encodes the rendered result again at another quality (the same steps),
  // in the background.
  void Reencode(int quality);
  // Writes the rendered result at `quality` to `target`, once a running
  // re-encoding has ended; encodes again first if needed. The source's colour
  // profile and orientation go with it, and all its EXIF, XMP and ICC data
  // with `keepMetadata`. Emits written or failed.
  void Write(const QString& target, int quality, bool keepMetadata = false);
  // Drops the rendered result (stopping a re-encoding); nothing is written.
  void Discard();

  // Stops a running pass and waits for it; no signal follows.
  void Cancel();

 signals:
  void progress(int rows, int height);
  // The warnings are libjpeg's complaints about damaged data, empty when none.
  void opened(const QString& warning);
  void rendered();
  void written(const QString& warning);
  void failed(const QString& message);

 private:
  enum class Job { None, Open, Render, Reencode, Write };
  // Runs work on a worker thread; `done` runs on this thread afterwards,
  // unless the job was cancelled. Work that throws ends in failed.
  void Start(Job job, std::function<void(std::stop_token)> work, std::function<void()> done);
  void Finished(unsigned generation);
  void StartWrite();
  imaging::RenderRequest ReplayRequest(int quality, std::span<const imaging::JpegSegment> segments) const;
  imaging::SettingsAt LiveSettings();

  // The photo; a progressive photo's scans as its open read them, for the
  // saves (empty when they would not fit in the memory budget).
  QString path_;
  std::shared_ptr<imaging::DecodedScans> scans_;
  int width_ = 0;
  int height_ = 0;
  imaging::PhotoAnalysis analysis_;
  imaging::Raster preview1_;
  imaging::Raster preview2_;

  // The controls, shared with the worker thread.
  mutable std::mutex controlsLock_;
  imaging::ControlValues controls_;

  // The running job.
  Job job_ = Job::None;
  bool busy_ = false;
  unsigned generation_ = 0;
  std::jthread worker_;
  std::function<void()> done_;
  QString error_;
  std::atomic<int> rowsDone_{0};
  std::atomic<int> rows_{0};
  QTimer progressTimer_;

  // What a job hands to its done part (written on the worker, read after the join).
  imaging::PhotoAnalysis openedAnalysis_;
  std::shared_ptr<imaging::DecodedScans> openedScans_;
  imaging::Raster openedPreview_;
  int openedWidth_ = 0;
  int openedHeight_ = 0;
  QString warning_;

  // The save: the encoded result, at which quality, and the steps' settings.
  imaging::Bytes encoded_;
  int encodedQuality_ = 0;
  double exponent_ = 0;
  std::vector<imaging::BrightenSettings> steps_;
  bool rendered_ = false;
  // A write waiting for a re-encoding to end.
  bool writePending_ = false;
  QString writeTarget_;
  int writeQuality_ = 0;
  bool writeKeepsMetadata_ = false;
};
