#pragma once
// What the windows ask of the desktop, injectable so tests need no dialogs.

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QLocale;
class QSettings;
class QTranslator;
class QWidget;

// What the save dialog gives: the chosen path (empty when cancelled) and
// whether the source's metadata is to be kept.
struct SaveChoice {
  QString path;
  bool keepMetadata = false;
};

struct Platform {
  // The open picture dialog; an empty result means cancelled.
  std::function<QString(QWidget* parent)> chooseOpenFile;
  // The save picture dialog for a photo made from sourcePath.
  std::function<SaveChoice(QWidget* parent, const QString& sourcePath)> chooseSaveFile;
  // The standard error message box.
  std::function<void(QWidget* parent, const QString& message)> showError;
  // A question answered yes or no; no is the safe answer.
  std::function<bool(QWidget* parent, const QString& question)> ask;
  // Opening a file, web or mailto address with the desktop's default handler.
  std::function<bool(const QUrl& url)> openUrl;
  // The folder of the running executable.
  std::function<QString()> executableFolder;
};

Platform DesktopPlatform();

// The program's settings between runs (the dialogs' folders, the metadata box).
std::unique_ptr<QSettings> ProgramSettings();

// "<name>-prosvitek.jpg" in the source's folder.
QString SuggestedSaveName(const QString& sourcePath);

// The name with ".jpg" added when it has no extension.
QString WithJpegExtension(const QString& path);

// Whether two paths name one existing file (the same device and inode).
bool SameFile(const QString& a, const QString& b);

// Loads Qt's own translations for the locale (dialogs, standard buttons)
// into translator; gives whether they were found.
bool LoadQtTranslations(QTranslator& translator, const QLocale& locale);
