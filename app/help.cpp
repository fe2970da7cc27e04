#include "help.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

QString HelpFilePath(const Platform& platform) {
  const QDir folder(platform.executableFolder());
  const QString beside = folder.filePath(QString::fromLatin1(kHelpFileName));
  // Installed copies keep the help with the shared data rather than among programs.
  const QString shared = folder.filePath(QStringLiteral("../share/prosvitek/") + QString::fromLatin1(kHelpFileName));
  if (!QFileInfo::exists(beside) && QFileInfo::exists(shared)) return QDir::cleanPath(shared);
  return beside;
}

void OpenHelp(const Platform& platform, QWidget* parent) {
  const QString path = HelpFilePath(platform);
  if (!QFileInfo::exists(path)) {
    platform.showError(parent, QStringLiteral("Nápověda nebyla nalezena: ") + path);
  } else if (!platform.openUrl(QUrl::fromLocalFile(path))) {
    platform.showError(parent, QStringLiteral("Nápovědu nelze otevřít, v systému chybí program, který by ji "
                                              "zobrazil.\n") + path);
  }
}
