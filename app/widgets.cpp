#include "widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cstring>

void CentreOnScreen(QWidget* window) {
  if (const QScreen* screen = window->screen())
    window->move(screen->availableGeometry().center() - window->rect().center());
}

QImage ToQImage(const imaging::Raster& raster) {
  if (raster.empty()) return {};
  // The raster's rows are blue, green, red: Qt's BGR888 as they are.
  QImage image(raster.width(), raster.height(), QImage::Format_BGR888);
  for (int y = 0; y < raster.height(); ++y) std::memcpy(image.scanLine(y), raster.row(y), raster.stride());
  return image;
}

imaging::ColourValue ToColourValue(const QColor& colour) {
  return imaging::MakeColour(colour.red(), colour.green(), colour.blue());
}

QString PlainToolTip(const QString& text) {
  return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

void TImage::SetPicture(const imaging::Raster& raster) {
  image_ = ToQImage(raster);
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  if (image_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, image_);
}

TLinkLabel::TLinkLabel(const QString& text, const QColor& colour, QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setText(text);
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
  QPalette p = palette();
  p.setColor(QPalette::WindowText, colour);
  setPalette(p);
  setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit clicked();
  QLabel::mousePressEvent(event);
}

TFitLabel::TFitLabel(const QString& text, QWidget* parent) : QLabel(parent) {
  // Photo data (EXIF values, file names) is shown here: markup in it must
  // stay text, or a file could make the window load any local file.
  setTextFormat(Qt::PlainText);
  setText(text);
}

bool TFitLabel::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    // Only a cut text needs its tooltip.
    if (fontMetrics().horizontalAdvance(text()) * 4 <= width() * 5) return true;
  }
  return QLabel::event(e);
}

void TFitLabel::paintEvent(QPaintEvent* e) {
  const int needed = fontMetrics().horizontalAdvance(text());
  if (needed <= width()) {
    QLabel::paintEvent(e);
    return;
  }
  // Condense the glyphs down to 80 % of their width; cut what still does not fit.
  const qreal scale = std::max<qreal>(0.8, static_cast<qreal>(width()) / needed);
  const bool fits = scale > 0.8;
  const int room = fits ? needed : static_cast<int>(width() / scale);
  const QString shown = fits ? text() : fontMetrics().elidedText(text(), Qt::ElideRight, room);
  QPainter painter(this);
  painter.scale(scale, 1.0);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.drawText(QRect(0, 0, room, height()), static_cast<int>(alignment()), shown);
  if (shown != text()) setToolTip(PlainToolTip(text()));
}
