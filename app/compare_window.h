#pragma once
// The compare view ("Porovnat"): the photo large, before and after side by
// side with a split line to drag, or the original over all of it while the
// space bar is held; fitted into the window or at 1:1 (scroll and drag).
// It shows what the view needs at the view's own scale (see
// imaging/view_render.h), decoded in the background, and brightens it
// again whenever the controls change.

#include "job_runner.h"
#include "photo_jobs.h"
#include "prosvitek/imaging/view_render.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

class TCompareCanvas : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TCompareCanvas(QWidget* parent = nullptr);

  void SetPhoto(const Photo& photo);
  void SetSettings(const imaging::BrightenSettings& settings, double exponent);
  void SetOneToOne(bool oneToOne);
  bool OneToOne() const { return oneToOne_; }
  // Where the split line stands, 0 (all after) to 1 (all before).
  double Split() const { return split_; }
  void SetSplit(double split);
  bool ShowsOriginal() const { return holdingOriginal_; }

  // What is drawn now: the scale and the part of the shown photo decoded
  // (empty until the first decode ends), and the two pictures of it.
  int RenderedScale() const { return scale_; }
  const imaging::PixelRect& RenderedRegion() const { return region_; }
  const QImage& BeforeImage() const { return before_; }
  const QImage& AfterImage() const { return after_; }
  bool Decoding() const { return runner_.Busy(); }
  const QString& Problem() const { return problem_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 signals:
  void oneToOneChanged(bool oneToOne);

 private:
  // Widget pixels per pixel of the full-size shown photo, and where its
  // top-left corner is drawn.
  double Zoom() const;
  QPointF Origin() const;
  QRectF PhotoRect() const;
  double SplitX() const;
  void UpdateScrollBars();
  void Reframe();
  // Starts the decode the view needs now, unless what is held serves it.
  void Request();
  void Decoded(imaging::ViewPixels view, int scale);
  void Brighten();

  JobRunner runner_;
  std::string path_;
  int storedWidth_ = 0, storedHeight_ = 0, orientation_ = 1;
  int shownWidth_ = 0, shownHeight_ = 0;
  imaging::BrightenSettings settings_;
  double exponent_ = 0;
  bool oneToOne_ = false;
  double split_ = 0.5;
  bool holdingOriginal_ = false;
  enum class Drag { None, Split, Pan } drag_ = Drag::None;
  QPoint dragFrom_;

  // The stand-in while decoding: the preview, whole.
  imaging::Raster previewPixels_;
  QImage previewBefore_, previewAfter_;
  // What was decoded: the region of the shown photo at 1/scale_.
  imaging::Raster pixels_;
  imaging::PixelRect region_;
  int scale_ = 0;
  QImage before_, after_;
  // The decode wanted next, while one runs.
  bool requestAgain_ = false;
  QString problem_;
};

class TCompareForm : public QWidget {
  Q_OBJECT

 public:
  explicit TCompareForm(QWidget* parent = nullptr);

  void SetPhoto(const Photo& photo, const imaging::BrightenSettings& settings, double exponent);
  void SetSettings(const imaging::BrightenSettings& settings, double exponent);
  void ShowForm();

  TCompareCanvas* platno;
  QPushButton* celab;      // the photo fitted into the window
  QPushButton* skutecnab;  // 1:1

 protected:
  void hideEvent(QHideEvent* event) override;
};
