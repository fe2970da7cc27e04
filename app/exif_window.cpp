#include "app/exif_window.h"

#include "app/edge_text.h"
#include "app/native_path.h"

#include <QShowEvent>

Texifform::Texifform(Platform platform, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      platform_(std::move(platform)) {
  setObjectName(QStringLiteral("exifform"));
  setWindowTitle(QStringLiteral("Exif podrobnosti"));
  setFixedSize(192, 443);

  exifmemo = new QPlainTextEdit(this);
  exifmemo->setGeometry(0, 0, 192, 387);
  exifmemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  exifmemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  exifmemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  exifmemo->setReadOnly(true);  // a record of the file, not a draft
  exifmemo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  QPalette face = exifmemo->palette();
  face.setColor(QPalette::Base, palette().color(QPalette::Window));
  exifmemo->setPalette(face);

  Label1 = new TFitLabel(QString::fromUtf8(ReaderCredit().c_str()), this);
  Label1->setGeometry(3, 390, 185, 13);
  Label2 = new QLabel(QStringLiteral("autor: tým Prosvitek"), this);
  Label2->move(40, 405);
  Label2->adjustSize();
  Label3 = new TLinkLabel(QString::fromLatin1(kReaderHomeCaption), Qt::blue, this);
  Label3->setGeometry(20, 420, 156, 13);
  connect(Label3, &TLinkLabel::clicked, this, &Texifform::Label3Click);
}

void Texifform::ShowFor(const QString& path) {
  path_ = path;
  if (!isVisible()) CentreOnScreen(this);
  show();
  raise();
}

void Texifform::showEvent(QShowEvent* event) {
  // Only the change from hidden to shown refills the memo.
  if (!event->spontaneous()) FormShow();
  QWidget::showEvent(event);
}

void Texifform::FormShow() {
  exifmemo->clear();
  exifmemo->setPlainText(QString::fromStdString(DetailsTraceText(NativePath(path_))));
}

void Texifform::Label3Click() { platform_.openUrl(QUrl(QString::fromLatin1(kReaderHome))); }
