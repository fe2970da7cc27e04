#include "app/help.h"

#include <QDir>
#include <QUrl>

QString HelpFilePath(const Platform& platform) {
  return QDir(platform.executableFolder()).filePath(QString::fromLatin1(kHelpFileName));
}

void OpenHelp(const Platform& platform) { platform.openUrl(QUrl::fromLocalFile(HelpFilePath(platform))); }
