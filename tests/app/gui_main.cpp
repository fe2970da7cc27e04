// GoogleTest main for the window tests: one application object for all, and
// settings of their own, never the user's.

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include "signal_child.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], kSignalChildFlag) == 0) return SignalChildMain(argv[2]);
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  const QTemporaryDir settings(QDir::tempPath() + QStringLiteral("/prosvitek-settings-XXXXXX"));
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
