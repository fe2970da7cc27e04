#include "compare_window.h"

#include "native_path.h"
#include "platform.h"
#include "widgets.h"
#include "prosvitek/files/input_file.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const QString kSizeKey = QStringLiteral("compare/size");
// How near the split line a press takes the line rather than the photo.
constexpr int kSplitGrip = 6;

}  // namespace

TCompareCanvas::TCompareCanvas(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::NoFrame);
  viewport()->setMouseTracking(true);
  horizontalScrollBar()->setSingleStep(40);
  verticalScrollBar()->setSingleStep(40);
}

void TCompareCanvas::SetPhoto(const Photo& photo) {
  runner_.Cancel();  // a decode of the previous photo is of no use now
  requestAgain_ = false;
  path_ = photo.path;
  storedWidth_ = photo.header.width;
  storedHeight_ = photo.header.height;
  orientation_ = photo.orientation;
  shownWidth_ = photo.ShownWidth();
  shownHeight_ = photo.ShownHeight();
  previewPixels_ = photo.preview.Clone();
  previewBefore_ = ToQImage(previewPixels_);
  pixels_ = imaging::Raster();
  region_ = {};
  scale_ = 0;
  before_ = QImage();
  problem_.clear();
  Brighten();
  Reframe();
}

void TCompareCanvas::SetSettings(const imaging::BrightenSettings& settings, double exponent) {
  settings_ = settings;
  exponent_ = exponent;
  Brighten();
  viewport()->update();
}

void TCompareCanvas::Brighten() {
  previewAfter_ = ToQImage(imaging::BrightenView(previewPixels_, settings_, exponent_));
  after_ = ToQImage(imaging::BrightenView(pixels_, settings_, exponent_));
}

void TCompareCanvas::SetOneToOne(bool oneToOne) {
  if (oneToOne == oneToOne_) return;
  oneToOne_ = oneToOne;
  Reframe();
  emit oneToOneChanged(oneToOne_);
}

// A new photo or a new mode: at 1:1 the middle of the photo is shown first.
void TCompareCanvas::Reframe() {
  UpdateScrollBars();
  if (oneToOne_) {
    horizontalScrollBar()->setValue(horizontalScrollBar()->maximum() / 2);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum() / 2);
  }
  Request();
  viewport()->update();
}

void TCompareCanvas::SetSplit(double split) {
  split_ = std::clamp(split, 0.0, 1.0);
  viewport()->update();
}

double TCompareCanvas::Zoom() const {
  if (oneToOne_ || shownWidth_ <= 0 || shownHeight_ <= 0) return 1.0;
  const QSize v = viewport()->size();
  return std::min({static_cast<double>(v.width()) / shownWidth_, static_cast<double>(v.height()) / shownHeight_, 1.0});
}

QPointF TCompareCanvas::Origin() const {
  const QSize v = viewport()->size();
  const double z = Zoom();
  const double w = shownWidth_ * z, h = shownHeight_ * z;
  const double x = w <= v.width() ? (v.width() - w) / 2 : -horizontalScrollBar()->value();
  const double y = h <= v.height() ? (v.height() - h) / 2 : -verticalScrollBar()->value();
  return {std::floor(x), std::floor(y)};
}

QRectF TCompareCanvas::PhotoRect() const {
  const double z = Zoom();
  return {Origin(), QSizeF(shownWidth_ * z, shownHeight_ * z)};
}

double TCompareCanvas::SplitX() const {
  const QRectF seen = PhotoRect().intersected(QRectF(viewport()->rect()));
  return seen.left() + split_ * seen.width();
}

void TCompareCanvas::UpdateScrollBars() {
  const QSize v = viewport()->size();
  const int w = oneToOne_ ? shownWidth_ : 0, h = oneToOne_ ? shownHeight_ : 0;
  horizontalScrollBar()->setRange(0, std::max(0, w - v.width()));
  verticalScrollBar()->setRange(0, std::max(0, h - v.height()));
  horizontalScrollBar()->setPageStep(v.width());
  verticalScrollBar()->setPageStep(v.height());
}

void TCompareCanvas::Request() {
  if (path_.empty() || !isVisible()) return;
  imaging::ViewRequest request;
  request.orientation = orientation_;
  const QSize v = viewport()->size();
  if (oneToOne_) {
    request.scale = 1;
    const imaging::PixelRect seen{horizontalScrollBar()->value(), verticalScrollBar()->value(),
                                  std::min(v.width(), shownWidth_), std::min(v.height(), shownHeight_)};
    const bool held = scale_ == 1 && region_.x <= seen.x && region_.y <= seen.y &&
                      region_.x + region_.width >= seen.x + seen.width &&
                      region_.y + region_.height >= seen.y + seen.height;
    if (held) return;
    // Half a view more on each side, so that a short drag needs no decode.
    request.region = {seen.x - seen.width / 2, seen.y - seen.height / 2, 2 * seen.width, 2 * seen.height};
  } else {
    const QRectF photo = PhotoRect();
    request.scale =
        imaging::ViewScaleFor(orientation_, storedWidth_, storedHeight_, static_cast<int>(std::ceil(photo.width())),
                              static_cast<int>(std::ceil(photo.height())));
    if (scale_ == request.scale && region_.x == 0 && region_.y == 0 && !region_.empty()) {
      int w = 0, h = 0;
      imaging::ShownSizeAtScale(orientation_, storedWidth_, storedHeight_, scale_, w, h);
      if (region_.width == w && region_.height == h) return;
    }
  }
  if (runner_.Busy()) {
    requestAgain_ = true;  // asked for again when the running decode ends
    return;
  }
  runner_.Run<imaging::ViewPixels>(
      [path = path_, request](JobContext& context) {
        const files::InputFile file = files::OpenInputFile(path);
        return imaging::DecodeView(file, request, {}, context.stop());
      },
      [this, scale = request.scale](JobResult<imaging::ViewPixels>&& r) {
        if (r.status == JobStatus::Done) {
          problem_.clear();
          Decoded(std::move(r.value), scale);
        } else if (r.status == JobStatus::Failed) {
          problem_ = QString::fromStdString(r.message);
          viewport()->update();
          return;  // asking again would fail again
        }
        if (requestAgain_) {
          requestAgain_ = false;
          Request();
        }
      });
}

void TCompareCanvas::Decoded(imaging::ViewPixels view, int scale) {
  pixels_ = std::move(view.pixels);
  region_ = view.region;
  scale_ = scale;
  before_ = ToQImage(pixels_);
  after_ = ToQImage(imaging::BrightenView(pixels_, settings_, exponent_));
  viewport()->update();
}

void TCompareCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), QColor(48, 48, 48));  // a neutral surround, as photo viewers have
  if (path_.empty()) return;
  const QRectF photo = PhotoRect();
  const double z = Zoom();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  // The preview stands in wherever the decoded part does not reach.
  auto draw = [&](const QImage& preview, const QImage& decoded) {
    painter.drawImage(photo, preview);
    if (decoded.isNull() || scale_ <= 0) return;
    int w = 0, h = 0;
    imaging::ShownSizeAtScale(orientation_, storedWidth_, storedHeight_, scale_, w, h);
    const double fx = z * shownWidth_ / w, fy = z * shownHeight_ / h;
    const QRectF target(photo.left() + region_.x * fx, photo.top() + region_.y * fy, region_.width * fx,
                        region_.height * fy);
    painter.drawImage(target, decoded);
  };
  const QRectF seen = photo.intersected(QRectF(viewport()->rect()));
  const double splitX = SplitX();
  if (holdingOriginal_) {
    draw(previewBefore_, before_);
  } else {
    painter.setClipRect(QRectF(seen.left(), seen.top(), splitX - seen.left(), seen.height()));
    draw(previewBefore_, before_);
    painter.setClipRect(QRectF(splitX, seen.top(), seen.right() - splitX, seen.height()));
    draw(previewAfter_, after_);
    painter.setClipping(false);
    painter.setPen(QPen(QColor(255, 255, 255, 220), 2));
    painter.drawLine(QPointF(splitX, seen.top()), QPointF(splitX, seen.bottom()));
  }

  // Which side is which.
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  auto caption = [&](const QString& text, double x, Qt::Alignment side) {
    const int width = metrics.horizontalAdvance(text) + 12, height = metrics.height() + 6;
    const QRectF box(side == Qt::AlignLeft ? x + 6 : x - 6 - width, seen.top() + 6, width, height);
    painter.fillRect(box, QColor(0, 0, 0, 150));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, text);
  };
  if (holdingOriginal_) {
    caption(QStringLiteral("před (původní)"), seen.left(), Qt::AlignLeft);
  } else {
    if (splitX - seen.left() > 60) caption(QStringLiteral("před"), seen.left(), Qt::AlignLeft);
    if (seen.right() - splitX > 60) caption(QStringLiteral("po"), seen.right(), Qt::AlignRight);
  }
  if (!problem_.isEmpty()) {
    const QRectF box(8, viewport()->height() - 8 - 3 * metrics.height(), viewport()->width() - 16,
                     3 * metrics.height());
    painter.fillRect(box, QColor(120, 0, 0, 200));
    painter.setPen(Qt::white);
    painter.drawText(box.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::TextWordWrap,
                     QStringLiteral("Fotku nelze načíst: ") + problem_);
  }
}

void TCompareCanvas::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
  Request();
}

void TCompareCanvas::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  UpdateScrollBars();
  Request();
}

void TCompareCanvas::scrollContentsBy(int, int) {
  viewport()->update();
  Request();
}

void TCompareCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  dragFrom_ = event->position().toPoint();
  if (!holdingOriginal_ && std::abs(event->position().x() - SplitX()) <= kSplitGrip) {
    drag_ = Drag::Split;
  } else if (oneToOne_) {
    drag_ = Drag::Pan;
    viewport()->setCursor(Qt::ClosedHandCursor);
  }
}

void TCompareCanvas::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (drag_ == Drag::Split) {
    const QRectF seen = PhotoRect().intersected(QRectF(viewport()->rect()));
    if (seen.width() > 0) SetSplit((at.x() - seen.left()) / seen.width());
  } else if (drag_ == Drag::Pan) {
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - (at.x() - dragFrom_.x()));
    verticalScrollBar()->setValue(verticalScrollBar()->value() - (at.y() - dragFrom_.y()));
    dragFrom_ = at;
  } else {
    const bool onLine = !holdingOriginal_ && std::abs(at.x() - SplitX()) <= kSplitGrip;
    viewport()->setCursor(onLine ? Qt::SplitHCursor : oneToOne_ ? Qt::OpenHandCursor : Qt::ArrowCursor);
  }
}

void TCompareCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (drag_ == Drag::Pan) viewport()->setCursor(Qt::OpenHandCursor);
  drag_ = Drag::None;
  QAbstractScrollArea::mouseReleaseEvent(event);
}

// A double click switches between fitted and 1:1, keeping the clicked point
// under the mouse.
void TCompareCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  const QPointF photoPoint = (at - Origin()) / Zoom();
  SetOneToOne(!oneToOne_);
  if (oneToOne_) {
    horizontalScrollBar()->setValue(static_cast<int>(photoPoint.x() - at.x()));
    verticalScrollBar()->setValue(static_cast<int>(photoPoint.y() - at.y()));
  }
}

void TCompareCanvas::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    if (!event->isAutoRepeat() && !holdingOriginal_) {
      holdingOriginal_ = true;
      viewport()->update();
    }
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void TCompareCanvas::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    if (!event->isAutoRepeat()) {
      holdingOriginal_ = false;
      viewport()->update();
    }
    return;
  }
  QAbstractScrollArea::keyReleaseEvent(event);
}

void TCompareCanvas::focusOutEvent(QFocusEvent* event) {
  // A key released elsewhere never reaches us.
  holdingOriginal_ = false;
  viewport()->update();
  QAbstractScrollArea::focusOutEvent(event);
}

TCompareForm::TCompareForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("porovnaniform"));
  setWindowTitle(QStringLiteral("Porovnat před a po"));
  setMinimumSize(360, 280);
  const QSize remembered = ProgramSettings()->value(kSizeKey).toSize();
  resize(remembered.isValid() ? remembered.expandedTo(minimumSize()) : QSize(960, 680));

  platno = new TCompareCanvas(this);
  platno->setObjectName(QStringLiteral("platno"));
  celab = new QPushButton(QStringLiteral("Celá fotka"), this);
  celab->setObjectName(QStringLiteral("celab"));
  skutecnab = new QPushButton(QStringLiteral("1:1"), this);
  skutecnab->setObjectName(QStringLiteral("skutecnab"));
  celab->setToolTip(QStringLiteral("Celá fotka v okně (dvojklik přepíná)"));
  skutecnab->setToolTip(QStringLiteral("Pixel fotky na pixel obrazovky; posun tažením nebo kolečkem"));
  auto* group = new QButtonGroup(this);
  for (QPushButton* b : {celab, skutecnab}) {
    b->setCheckable(true);
    b->setFocusPolicy(Qt::NoFocus);
    group->addButton(b);
  }
  celab->setChecked(true);
  auto* hint = new QLabel(QStringLiteral("Vlevo před, vpravo po: svislou čáru lze táhnout. "
                                         "Podržením mezerníku se ukáže původní fotka."),
                          this);
  hint->setObjectName(QStringLiteral("napoveda"));
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(6, 4, 6, 4);
  bar->addWidget(celab);
  bar->addWidget(skutecnab);
  bar->addSpacing(12);
  bar->addWidget(hint, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(bar);
  layout->addWidget(platno, 1);

  connect(celab, &QPushButton::clicked, this, [this] { platno->SetOneToOne(false); });
  connect(skutecnab, &QPushButton::clicked, this, [this] { platno->SetOneToOne(true); });
  connect(platno, &TCompareCanvas::oneToOneChanged, this,
          [this](bool oneToOne) { (oneToOne ? skutecnab : celab)->setChecked(true); });
  auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(close, &QShortcut::activated, this, &QWidget::close);
}

void TCompareForm::SetPhoto(const Photo& photo, const imaging::BrightenSettings& settings, double exponent) {
  setWindowTitle(QStringLiteral("Porovnat před a po – ") +
                 QFileInfo(DisplayPath(PathFromNative(photo.path))).fileName());
  platno->SetSettings(settings, exponent);
  platno->SetPhoto(photo);
}

void TCompareForm::SetSettings(const imaging::BrightenSettings& settings, double exponent) {
  platno->SetSettings(settings, exponent);
}

void TCompareForm::ShowForm() {
  if (!isVisible()) CentreOnScreen(this);
  show();
  raise();
  activateWindow();
  platno->setFocus();
}

void TCompareForm::hideEvent(QHideEvent* event) {
  if (!event->spontaneous()) ProgramSettings()->setValue(kSizeKey, size());
  QWidget::hideEvent(event);
}
