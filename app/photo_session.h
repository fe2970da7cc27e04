#pragma once
// The open photo and the work on it, apart from any widget. The work runs
// as jobs (photo_jobs.h) on one runner: an open, or a save's
// full-resolution pass, its encoding again at another quality, and its
// write. The window's thread never waits for one: it starts it and hears
// back through the signals, each result applied in one place here. No call
// can race a running job: a job works on copies of its input, a second
// open or save is refused while one runs, and a write runs to its end.

#include "job_runner.h"
#include "photo_jobs.h"
#include "save_machine.h"
#include "prosvitek/imaging/analysis.h"
#include "prosvitek/imaging/brighten.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <mutex>

class PhotoSession : public QObject {
  Q_OBJECT

 public:
  explicit PhotoSession(QObject* parent = nullptr);
  ~PhotoSession() override;  // stops a running job and waits for it

  // Whether a job runs (or its result waits to be applied).
  bool Busy() const { return runner_.Busy(); }
  // Whether a save is under way, from its pass to the end of its write.
  bool Saving() const { return save_.step() != SaveMachine::Step::Idle; }
  SaveMachine::Step SaveStep() const { return save_.step(); }

  // The photo opened last (empty before the first open) and what was measured.
  bool HasPhoto() const { return !path_.isEmpty(); }
  const QString& Path() const { return path_; }
  const Photo& Current() const { return photo_; }
  int Width() const { return photo_.header.width; }  // as stored
  int Height() const { return photo_.header.height; }
  const imaging::PhotoAnalysis& Analysis() const { return photo_.analysis; }
  const imaging::Raster& Preview1() const { return photo_.preview; }  // as shown, not brightened
  const imaging::Raster& Preview2() const { return preview2_; }       // brightened
  // The settings Preview2 was brightened with.
  const imaging::BrightenSettings& PreviewSettings() const { return previewSettings_; }
  double PreviewExponent() const { return previewExponent_; }

  // The controls as they are now. A running save asks for them at every
  // step of rows, on its worker thread; set them whenever one changes.
  void SetControls(const imaging::ControlValues& controls);

  // Decodes and measures the photo; emits opened or failed. A failed open
  // leaves the previous photo as it was. Refused (false) while a job runs or a save is under way.
  bool Open(const QString& path);

  // Preview1 brightened into Preview2 with these controls; gives the
  // histogram of the result. Small enough to run at once.
  imaging::Histogram RenderPreview(const imaging::ControlValues& controls);

  // The save's pass: the photo decoded again, brightened with the controls
  // read every step of rows, and encoded at `quality`; emits rendered or failed.
  bool Render(double exponent, int quality);
  // Encodes the rendered result again at another quality, in the background.
  bool Reencode(int quality);
  // Writes the rendered result at `quality` to `target`, once a running
  // encoding has ended; encodes again on the way if needed. The source's
  // colour profile and orientation go with it, and all its metadata with
  // `keepMetadata`. Emits written or failed.
  bool Write(const QString& target, int quality, bool keepMetadata = false);
  // Drops the rendered result (stopping a pass or an encoding); nothing is
  // written. Refused (false) once a write was asked for: it is let finish.
  bool Discard();

  // Stops a running job and waits for it; no signal follows. What a stopped
  // write leaves is nothing (its file appears only when complete).
  void Cancel();

 signals:
  void progress(int rows, int height);
  // The warnings are libjpeg's complaints about damaged data, empty when none.
  void opened(const QString& warning);
  void rendered();
  void written(const QString& target, qulonglong size, const QString& warning);
  void failed(const QString& message);

 private:
  struct LiveControls {
    std::mutex lock;
    imaging::ControlValues values;
  };
  void StartWrite(WriteOrder order);
  void Failed(const std::string& message);

  JobRunner runner_;
  QTimer progressTimer_;
  std::shared_ptr<LiveControls> controls_ = std::make_shared<LiveControls>();

  QString path_;
  Photo photo_;
  imaging::Raster preview2_;
  imaging::BrightenSettings previewSettings_;
  double previewExponent_ = 0;
  SaveMachine save_;
};
