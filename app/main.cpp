// Start-up: the main window, then the about and details windows (hidden).
// With a photo path as the first argument, the window opens that photo.

#include "app/about_window.h"
#include "app/exif_window.h"
#include "app/main_window.h"
#include "app/platform.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QTimer>

#include <clocale>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // Qt takes the whole user locale; numbers in EXIF texts keep the decimal point
  // (as the reader's English vocabulary does), dates follow the user.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName(QStringLiteral("prosvitek"));
  QApplication::setApplicationVersion(QStringLiteral(PROSVITEK_VERSION));
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(8);
  QApplication::setFont(font);

  const Platform platform = DesktopPlatform();
  TForm1 form(platform);
  Toprogramuf about(platform);
  Texifform details(platform);
  form.SetSecondaryWindows(&about, &details);
  CentreOnScreen(&form);
  form.show();

  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    const QString photo = QFileInfo(args.at(1)).absoluteFilePath();
    QTimer::singleShot(0, &form, [&form, photo] { form.OpenPhotoFile(photo); });
  }
  return QApplication::exec();
}
