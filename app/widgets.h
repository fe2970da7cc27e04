#pragma once
// Small widgets of the windows: an image control showing a raster, and a
// label that acts as a link.

#include "prosvitek/imaging/raster.h"

#include <QImage>
#include <QLabel>
#include <QWidget>

// Places a top-level window in the middle of its screen.
void CentreOnScreen(QWidget* window);

// A copy of the raster as a Qt image (previews and the chart are small).
QImage ToQImage(const imaging::Raster& raster);

// A toolkit colour as the photo code's colour value (red in the low byte).
imaging::ColourValue ToColourValue(const QColor& colour);

// A tooltip that shows text exactly as it is, never as markup: tooltips are
// read as rich text whenever they look like it.
QString PlainToolTip(const QString& text);

// Shows a raster at its own size from the top-left corner.
class TImage : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;
  void SetPicture(const imaging::Raster& raster);
  const QImage& picture() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

// A label of fixed width whose text never spills over its neighbours: a text
// too wide is drawn slightly condensed, and beyond that cut with an ellipsis
// (the whole text then shows as the tooltip). Text is plain, never markup.
class TFitLabel : public QLabel {
  Q_OBJECT

 public:
  TFitLabel(const QString& text, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
};

// A label with a click event, drawn as a link (underlined, hand cursor); plain text.
class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  TLinkLabel(const QString& text, const QColor& colour, QWidget* parent);

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
};
