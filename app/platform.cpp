#include "app/platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

Platform DesktopPlatform() {
  Platform p;
  p.chooseOpenFile = [](QWidget* parent) {
    // Camera files are often named in capitals; the desktop's names are case-sensitive.
    return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                        QStringLiteral("jpeg fotky (*.jpg *.JPG *.jpeg *.JPEG)"));
  };
  // No overwrite question and no default extension: the name is taken as chosen.
  p.chooseSaveFile = [](QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QString(), QString(), QStringLiteral("JPEG Image File (*.jpg)"),
                                        nullptr, QFileDialog::DontConfirmOverwrite);
  };
  p.showError = [](QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, QCoreApplication::applicationName(), message);
  };
  p.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  p.executableFolder = [] { return QCoreApplication::applicationDirPath(); };
  return p;
}
