// Start-up: the main window, then the about and details windows (hidden).
// With a photo path as the first argument, the window opens that photo.
// Qt's own dialogs and buttons speak the user's language when its
// translations are installed.

#include "about_window.h"
#include "exif_window.h"
#include "main_window.h"
#include "native_path.h"
#include "platform.h"
#include "prosvitek/files/terminating_signals.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <clocale>
#include <filesystem>
#include <system_error>

int main(int argc, char* argv[]) {
  // A save interrupted by a signal leaves no temporary file. Before any
  // thread starts: every later one inherits the handling.
  files::RemoveTemporaryFilesOnSignals();
  QApplication app(argc, argv);
  // Qt takes the whole user locale; numbers in EXIF texts keep the decimal point
  // (as the reader's English vocabulary does), dates follow the user.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName(QStringLiteral("prosvitek"));
  QApplication::setApplicationVersion(QStringLiteral(PROSVITEK_VERSION));
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(8);
  QApplication::setFont(font);
  QTranslator qtTranslations;
  if (LoadQtTranslations(qtTranslations, QLocale())) QApplication::installTranslator(&qtTranslations);

  const Platform platform = DesktopPlatform();
  TForm1 form(platform);
  Toprogramuf about(platform);
  Texifform details(platform);
  form.SetSecondaryWindows(&about, &details);
  CentreOnScreen(&form);
  form.show();

  // The path's bytes as given: Qt's own arguments() would turn a name that is
  // not UTF-8 into one that no longer exists.
  if (argc > 1) {
    std::error_code error;
    const std::filesystem::path given(argv[1]);
    const std::filesystem::path absolute = std::filesystem::absolute(given, error);
    const QString photo = PathFromNative((error ? given : absolute.lexically_normal()).native());
    QTimer::singleShot(0, &form, [&form, photo] { form.OpenPhotoFile(photo); });
  }
  return QApplication::exec();
}
