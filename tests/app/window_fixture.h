#pragma once
// The main window driven as a person drives it, with the desktop's dialogs
// answered by the test.

#include "app/main_window.h"
#include "jpeg_fixtures.h"
#include "reference.h"

#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>

#include <unistd.h>

namespace windowtest {

namespace fs = std::filesystem;
using imaging::MakeColour;

// The desktop as the tests see it: queued dialog answers, recorded messages.
struct FakeDesktop {
  std::deque<QString> openAnswers, saveAnswers;
  std::deque<bool> answers;   // to questions; yes when none is queued
  bool keepMetadata = false;  // the save dialog's box
  QStringList errors, questions;
  QList<QUrl> opened;
  std::function<void()> whileSaveDialogShows;

  Platform platform() {
    Platform p;
    p.chooseOpenFile = [this](QWidget*) { return Next(openAnswers); };
    p.chooseSaveFile = [this](QWidget*, const QString&) {
      if (whileSaveDialogShows) whileSaveDialogShows();
      return SaveChoice{Next(saveAnswers), keepMetadata};
    };
    p.showError = [this](QWidget*, const QString& m) { errors << m; };
    p.ask = [this](QWidget*, const QString& q) {
      questions << q;
      if (answers.empty()) return true;
      const bool a = answers.front();
      answers.pop_front();
      return a;
    };
    p.openUrl = [this](const QUrl& u) {
      opened << u;
      return true;
    };
    p.executableFolder = [] { return QStringLiteral("/opt/prosvitek/bin"); };
    return p;
  }
  static QString Next(std::deque<QString>& q) {
    if (q.empty()) return {};
    QString s = q.front();
    q.pop_front();
    return s;
  }
};

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = fixtures::FreshTestFolder("prosvitek-gui"); }
  void TearDown() override { fs::remove_all(dir_); }

  // A photo written into the test's folder.
  QString Photo(const std::string& name, const imaging::Raster& raster, bool progressive = false) {
    const fs::path p = dir_ / name;
    fixtures::WriteFile(p.string(), imaging::EncodeJpeg(raster, 92, progressive));
    return QString::fromStdString(p.string());
  }
  // Dark on the left, bright on the right, with a coloured band.
  QString DarkPhoto(const std::string& name = "dark.jpg", bool progressive = false) {
    return Photo(name,
                 fixtures::MakeRaster(160, 120,
                                      [](int x, int y) {
                                        return y < 20 ? MakeColour(200, 40, 30) : MakeColour(x / 2, x / 2 + 10, x / 3);
                                      }),
                 progressive);
  }
  // Passes run on worker threads: the window hears of their end through its event loop.
  void Settle() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form_.PassRunning(); }, 60000));
  }
  void Open(const QString& path) {
    desktop_.openAnswers.push_back(path);
    QTest::mouseClick(form_.otevritb, Qt::LeftButton);
    Settle();
  }
  void Save() {
    QTest::mouseClick(form_.ulozitb, Qt::LeftButton);
    Settle();
  }
  // The window's settings now, as a save reads them.
  imaging::BrightenSettings Settings() {
    return imaging::SettingsFor({form_.efektspin->Value(), form_.rozsahspin->Value(), form_.barupravaspin->Value(),
                                 form_.hp945chb->isChecked()},
                                form_.Analysis().MinLuminance);
  }

  fs::path dir_;
  FakeDesktop desktop_;
  TForm1 form_{desktop_.platform()};
};

}  // namespace windowtest
