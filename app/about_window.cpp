#include "about_window.h"

#include <QFrame>

Toprogramuf::Toprogramuf(Platform platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      platform_(std::move(platform)) {
  setObjectName(QStringLiteral("oprogramuf"));
  setWindowTitle(QStringLiteral("O programu"));
  setFixedSize(283, 141);
  setModal(false);

  verzel = new QLabel(ProgramNameAndVersion(), this);
  verzel->setObjectName(QStringLiteral("verzel"));
  QFont title = verzel->font();
  title.setBold(true);
  verzel->setFont(title);
  verzel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  verzel->setGeometry(12, 6, 259, 20);
  Label5 = new TLinkLabel(QString::fromLatin1(kAuthorMail), palette().color(QPalette::WindowText), this);
  Label5->setGeometry(152, 30, 111, 13);
  Label3 = new QLabel(QStringLiteral("28. 03. 2004"), this);
  Label3->move(112, 50);
  Label3->adjustSize();
  auto* bevel = new QFrame(this);
  bevel->setFrameShape(QFrame::HLine);
  bevel->setFrameShadow(QFrame::Raised);
  bevel->setGeometry(12, 70, 260, 3);
  Label1 = new QLabel(QStringLiteral("Domovská stránka:"), this);
  QFont big = Label1->font();
  big.setPixelSize(16);
  Label1->setFont(big);
  Label1->move(75, 80);
  Label1->adjustSize();
  Label12 = new TLinkLabel(QString::fromLatin1(kHomePageCaption), Qt::blue, this);
  QFont link = Label12->font();
  link.setPixelSize(19);
  Label12->setFont(link);
  Label12->setGeometry(47, 105, 196, 24);
  Label12->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

  connect(Label5, &TLinkLabel::clicked, this, &Toprogramuf::Label5Click);
  connect(Label12, &TLinkLabel::clicked, this, &Toprogramuf::Label12Click);
}

QString ProgramNameAndVersion() { return QStringLiteral("Prosvitek " PROSVITEK_VERSION); }

void Toprogramuf::Label5Click() { platform_.openUrl(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(kAuthorMail))); }

void Toprogramuf::Label12Click() { platform_.openUrl(QUrl(QString::fromLatin1(kHomePage))); }
