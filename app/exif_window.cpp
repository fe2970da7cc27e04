#include "exif_window.h"

#include "edge_text.h"
#include "native_path.h"

#include <QFileInfo>
#include <QSettings>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

const QString kSizeKey = QStringLiteral("details/size");
constexpr QSize kStartSize(192, 443);

}  // namespace

Texifform::Texifform(Platform platform, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      platform_(std::move(platform)) {
  setObjectName(QStringLiteral("exifform"));
  setWindowTitle(QStringLiteral("Exif podrobnosti"));
  setMinimumSize(kStartSize.width(), 200);
  const QSize remembered = ProgramSettings()->value(kSizeKey).toSize();
  resize(remembered.isValid() ? remembered.expandedTo(minimumSize()) : kStartSize);

  exifmemo = new QPlainTextEdit(this);
  exifmemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  exifmemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  exifmemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  exifmemo->setReadOnly(true);  // a record of the file, not a draft
  exifmemo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  QPalette face = exifmemo->palette();
  face.setColor(QPalette::Base, palette().color(QPalette::Window));
  exifmemo->setPalette(face);

  Label1 = new TFitLabel(QString::fromUtf8(ReaderCredit().c_str()), this);
  Label2 = new QLabel(QStringLiteral("autor: tým Prosvitek"), this);
  Label3 = new TLinkLabel(QString::fromLatin1(kReaderHomeCaption), Qt::blue, this);
  // The memo takes what the window grows by; the credits stay below it.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 4);
  layout->setSpacing(2);
  layout->addWidget(exifmemo, 1);
  layout->addWidget(Label1);
  layout->addWidget(Label2, 0, Qt::AlignHCenter);
  layout->addWidget(Label3, 0, Qt::AlignHCenter);
  Label1->setContentsMargins(3, 0, 3, 0);
  connect(Label3, &TLinkLabel::clicked, this, &Texifform::Label3Click);
}

void Texifform::Follow(const QString& path, const QString& trace) {
  path_ = path;
  trace_ = trace;
  if (isVisible()) FormShow();
}

void Texifform::ShowForm() {
  if (!isVisible()) CentreOnScreen(this);
  show();
  raise();
}

void Texifform::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) FormShow();
  QWidget::showEvent(event);
}

void Texifform::hideEvent(QHideEvent* event) {
  if (!event->spontaneous()) ProgramSettings()->setValue(kSizeKey, size());
  QWidget::hideEvent(event);
}

void Texifform::FormShow() {
  exifmemo->setPlainText(trace_);
  setWindowTitle(path_.isEmpty() ? QStringLiteral("Exif podrobnosti")
                                 : QStringLiteral("Exif podrobnosti – ") + QFileInfo(DisplayPath(path_)).fileName());
}

void Texifform::Label3Click() { platform_.openUrl(QUrl(QString::fromLatin1(kReaderHome))); }
