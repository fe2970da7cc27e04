#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const char* ThemeName(Picture p) {
  switch (p) {
    case Picture::Open: return "document-open";
    case Picture::Recompute: return "view-refresh";
    case Picture::Save: return "document-save-as";
    case Picture::Help: return "help-contents";
    case Picture::About: return "help-about";
    case Picture::Window: return "prosvitek";
    case Picture::Compare: return "view-split-left-right";
  }
  return "";
}

// Draws on a 16 x 16 grid, scaled to the pixmap's size.
void Draw(QPainter& g, Picture p) {
  g.setRenderHint(QPainter::Antialiasing);
  const QPen outline(QColor(60, 60, 60), 1.0);
  switch (p) {
    case Picture::Open:  // a folder
      g.setPen(outline);
      g.setBrush(QColor(240, 200, 90));
      g.drawRect(QRectF(1.5, 4.5, 13, 9));
      g.drawRect(QRectF(1.5, 2.5, 5, 2));
      break;
    case Picture::Recompute: {  // a circular arrow
      g.setPen(QPen(QColor(40, 120, 200), 2.0));
      g.setBrush(Qt::NoBrush);
      g.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 280 * 16);
      QPainterPath head;
      head.moveTo(11, 1);
      head.lineTo(14.5, 5);
      head.lineTo(9, 6);
      head.closeSubpath();
      g.fillPath(head, QColor(40, 120, 200));
      break;
    }
    case Picture::Save:  // a diskette
      g.setPen(outline);
      g.setBrush(QColor(70, 100, 170));
      g.drawRect(QRectF(1.5, 1.5, 13, 13));
      g.setBrush(Qt::white);
      g.drawRect(QRectF(4.5, 1.5, 7, 5));
      g.setBrush(QColor(200, 200, 200));
      g.drawRect(QRectF(3.5, 9.5, 9, 5));
      break;
    case Picture::Help: {  // a question mark in a circle
      g.setPen(Qt::NoPen);
      g.setBrush(QColor(40, 140, 60));
      g.drawEllipse(QRectF(1, 1, 14, 14));
      g.setPen(Qt::white);
      QFont f = g.font();
      f.setPixelSize(12);
      f.setBold(true);
      g.setFont(f);
      g.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
    case Picture::About: {  // an "i" in a circle
      g.setPen(Qt::NoPen);
      g.setBrush(QColor(40, 90, 190));
      g.drawEllipse(QRectF(1, 1, 14, 14));
      g.setBrush(Qt::white);
      g.drawRect(QRectF(7, 7, 2, 5.5));
      g.drawEllipse(QRectF(7, 3.5, 2, 2));
      break;
    }
    case Picture::Window: {  // a sun over a dark corner
      g.setPen(Qt::NoPen);
      g.setBrush(QColor(43, 51, 64));
      g.drawRoundedRect(QRectF(0.5, 2.5, 15, 11), 1.5, 1.5);
      g.setBrush(QColor(255, 210, 63));
      g.drawEllipse(QRectF(8, 3.5, 5, 5));
      break;
    }
    case Picture::Compare: {  // a photo dark on the left, bright on the right, the split between
      g.setPen(Qt::NoPen);
      g.setBrush(QColor(50, 55, 70));
      g.drawRect(QRectF(1, 3, 7, 10));
      g.setBrush(QColor(250, 220, 120));
      g.drawRect(QRectF(8, 3, 7, 10));
      g.setPen(QPen(QColor(200, 40, 40), 1.5));
      g.drawLine(QPointF(8, 1), QPointF(8, 15));
      break;
    }
  }
}

}  // namespace

QIcon DrawnIcon(Picture picture) {
  QIcon icon;
  for (int size : {16, 32, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter g(&pixmap);
    g.scale(size / 16.0, size / 16.0);
    Draw(g, picture);
    g.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

QIcon PictureIcon(Picture picture) {
  return QIcon::fromTheme(QString::fromLatin1(ThemeName(picture)), DrawnIcon(picture));
}
