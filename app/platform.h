#pragma once
// What the windows ask of the desktop, injectable so tests need no dialogs.

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

struct Platform {
  // The open and save picture dialogs; an empty result means cancelled.
  std::function<QString(QWidget* parent)> chooseOpenFile;
  std::function<QString(QWidget* parent)> chooseSaveFile;
  // The standard error message box.
  std::function<void(QWidget* parent, const QString& message)> showError;
  // Opening a file, web or mailto address with the desktop's default handler.
  std::function<bool(const QUrl& url)> openUrl;
  // The folder of the running executable.
  std::function<QString()> executableFolder;
};

Platform DesktopPlatform();
