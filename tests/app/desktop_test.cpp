// The window as a person meets it on the desktop: dialogs, keys, names that
// are not UTF-8, file data that looks like markup, the chart's colours.

#include "app/main_window.h"
#include "app/native_path.h"
#include "app/platform.h"

#include "exif_builder.h"
#include "prosvitek/files/input_file.h"
#include "reference.h"
#include "prosvitek/imaging/jpeg_codec.h"
#include "jpeg_fixtures.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include <unistd.h>

// Readable failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

namespace fs = std::filesystem;

// Acts on the modal widget of type T as soon as it is shown.
template <class T>
void WhenModal(std::function<void(T*)> act) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    auto* widget = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!widget) return;
    timer->stop();
    timer->deleteLater();
    act(widget);
  });
  timer->start();
}

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 100 && !done(); ++i) QTest::qWait(10);
  return done();
}

// Opens and saves run on worker threads; this waits until the window has the result.
void Settle(const TForm1& form) { ASSERT_TRUE(QTest::qWaitFor([&] { return !form.PassRunning(); }, 60000)); }

// A colour no theme draws with: the test's picture is filled with it.
const QColor kMarked(17, 231, 97);

// The picture shows no more than a few pixels of the test's picture.
bool ShowsNoPicture(const QImage& picture) {
  int marked = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) marked += picture.pixelColor(x, y) == kMarked;
  return marked < 16;
}

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fixtures::FreshTestFolder("prosvitek-desk");
    fs::create_directories(dir_ / "config");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Q(dir_ / "config"));
  }
  void TearDown() override { fs::remove_all(dir_); }

  static QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

  std::string Write(const std::string& name, const imaging::Bytes& bytes) {
    fixtures::WriteFile((dir_ / name).string(), bytes);
    return (dir_ / name).string();
  }
  static imaging::Bytes DarkPhoto() {
    return imaging::EncodeJpeg(fixtures::MakeRaster(64, 48, [](int x, int y) {
                                 return imaging::MakeColour(x, y + 10, x / 2);
                               }), 90, false);
  }

  // The desktop as the window sees it, counting what it was asked for.
  Platform Fake() {
    Platform p;
    p.chooseOpenFile = [this](QWidget*) {
      ++openDialogs_;
      return openAnswer_;
    };
    p.chooseSaveFile = [this](QWidget*, const QString& source) {
      ++saveDialogs_;
      saveSources_ << source;
      SaveChoice c{saveAnswers_.empty() ? QString() : saveAnswers_.front()};
      if (!saveAnswers_.empty()) saveAnswers_.pop_front();
      return c;
    };
    p.showError = [this](QWidget*, const QString& m) { errors_ << m; };
    p.openUrl = [this](const QUrl& u) {
      opened_ << u;
      return openUrlWorks_;
    };
    p.executableFolder = [this] { return Q(dir_); };
    return p;
  }

  fs::path dir_;
  int openDialogs_ = 0;
  int saveDialogs_ = 0;
  QString openAnswer_;
  std::deque<QString> saveAnswers_;
  QStringList saveSources_;
  QStringList errors_;
  QList<QUrl> opened_;
  bool openUrlWorks_ = true;
};

TEST(NativePath, KeepsEveryByteOfANameThatIsNotUtf8) {
  const std::string names[] = {
      "/photos/caf\xC3\xA9.jpg",   // UTF-8
      "/photos/caf\xE9.jpg",       // Latin-1
      "\xFF\xFE\x80 \xC0\xAF",     // stray, overlong
      "\xED\xA0\x80\xED\xB2\x80",  // encoded surrogates
      "\xF0\x9F\x93\xB7 \xF0\x9F\x93",  // a whole and a cut four-byte sequence
      "\xE2\x82",                  // cut at the end
      ""};
  for (const std::string& bytes : names) EXPECT_EQ(NativePath(PathFromNative(bytes)), bytes) << bytes;
  EXPECT_EQ(PathFromNative("/photos/caf\xC3\xA9.jpg"), QStringLiteral("/photos/café.jpg"));
  EXPECT_EQ(DisplayPath(PathFromNative("caf\xE9.jpg")), QStringLiteral("caf\uFFFD.jpg"));
  EXPECT_EQ(DisplayPath(PathFromNative("\xF0\x9F\x93\xB7")), QString::fromUtf8("\xF0\x9F\x93\xB7"));
}

// A Latin-1 "café.jpg" given on the command line opens, and a result saved
// under such a name lands under exactly those bytes.
TEST_F(Desktop, WindowOpensAndSavesNamesThatAreNotUtf8) {
  TForm1 form(Fake());
  const std::string source = Write("caf\xE9.jpg", DarkPhoto());
  form.OpenPhotoFile(PathFromNative(source));
  Settle(form);
  ASSERT_TRUE(errors_.isEmpty()) << errors_.join("; ").toStdString();
  EXPECT_TRUE(form.ulozitb->isEnabled());
  EXPECT_EQ(form.velikostl->text(), QStringLiteral("Velikost: %1 B").arg(fs::file_size(source)));
  const std::string target = (dir_ / "v\xFDsledek.jpg").string();
  saveAnswers_.push_back(PathFromNative(target));
  QTest::mouseClick(form.ulozitb, Qt::LeftButton);
  Settle(form);
  ASSERT_TRUE(errors_.isEmpty()) << errors_.join("; ").toStdString();
  EXPECT_TRUE(fs::exists(target));
  EXPECT_EQ(SuggestedSaveName(PathFromNative(source)), Q(dir_) + QStringLiteral("/caf\uFFFD-prosvitek.jpg"));
}

TEST_F(Desktop, SaveDialogSuggestsANameAsksBeforeReplacingAndRemembersTheBox) {
  const std::string source = Write("IMG_0042.JPG", DarkPhoto());
  const std::string existing = Write("taken.jpg", {'o', 'l', 'd'});
  const Platform desktop = DesktopPlatform();

  // First run: the source's folder, the suggested name, the box off; tick it and save.
  QString startFolder, startName;
  bool boxAtStart = true;
  WhenModal<QFileDialog>([&](QFileDialog* d) {
    startFolder = d->directory().absolutePath();
    startName = d->selectedFiles().value(0);
    auto* box = d->findChild<QCheckBox*>(QStringLiteral("keepMetadata"));
    if (!box) {
      ADD_FAILURE() << "no metadata box";
      d->reject();
      return;
    }
    EXPECT_EQ(box->text(), QStringLiteral("zachovat metadata"));
    boxAtStart = box->isChecked();
    box->setChecked(true);
    static_cast<QDialog*>(d)->accept();  // the dialog's own "save" or "open"
  });
  SaveChoice choice = desktop.chooseSaveFile(nullptr, QString::fromStdString(source));
  EXPECT_EQ(startFolder, Q(dir_));
  EXPECT_EQ(startName, Q(dir_ / "IMG_0042-prosvitek.jpg"));
  EXPECT_FALSE(boxAtStart);
  EXPECT_EQ(choice.path, Q(dir_ / "IMG_0042-prosvitek.jpg"));
  EXPECT_TRUE(choice.keepMetadata);

  // An existing file: the dialog asks; "no" keeps it open, and cancelling writes nothing.
  for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
    QString question;
    bool openAfterNo = false;
    WhenModal<QFileDialog>([&](QFileDialog* d) {
      EXPECT_TRUE(d->findChild<QCheckBox*>(QStringLiteral("keepMetadata"))->isChecked());  // remembered
      WhenModal<QMessageBox>([&](QMessageBox* box) {
        question = box->text();
        box->button(answer)->click();
      });
      d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("taken.jpg"));  // typed
      static_cast<QDialog*>(d)->accept();  // the dialog's own "save" or "open"
      openAfterNo = d->isVisible();
      if (openAfterNo) d->reject();
    });
    choice = desktop.chooseSaveFile(nullptr, QString::fromStdString(source));
    EXPECT_TRUE(question.contains(QStringLiteral("taken.jpg"))) << question.toStdString();
    EXPECT_EQ(openAfterNo, answer == QMessageBox::No);
    EXPECT_EQ(choice.path, answer == QMessageBox::Yes ? Q(existing) : QString());
  }
  EXPECT_EQ(files::ReadWholeFile(existing), (imaging::Bytes{'o', 'l', 'd'}));
}

// A typed name without an extension gets ".jpg"; the open photo's own file
// is not asked about here, as the window asks its own question about it.
TEST_F(Desktop, SaveDialogAddsTheExtensionAndLeavesTheSourceToTheWindow) {
  const std::string source = Write("IMG_0042.JPG", DarkPhoto());
  const struct Case {
    const char* typed;
    QString chosen;
  } cases[] = {{"plain", Q(dir_ / "plain.jpg")}, {"IMG_0042.JPG", Q(source)}};
  bool asked = false;
  QTimer answerNo;  // any question is answered "no" (and noted), for as long as the test runs
  answerNo.setInterval(10);
  QObject::connect(&answerNo, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      asked = true;
      box->button(QMessageBox::No)->click();
    }
  });
  answerNo.start();
  for (const Case& c : cases) {
    asked = false;
    WhenModal<QFileDialog>([&](QFileDialog* d) {
      d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromLatin1(c.typed));
      static_cast<QDialog*>(d)->accept();
      if (d->isVisible()) d->reject();
    });
    const SaveChoice choice = DesktopPlatform().chooseSaveFile(nullptr, QString::fromStdString(source));
    EXPECT_EQ(choice.path, c.chosen) << c.typed;
    EXPECT_FALSE(asked) << c.typed;
  }
}

TEST(QtTranslations, CzechDialogsAndButtons) {
  QTranslator translator;
  ASSERT_TRUE(LoadQtTranslations(translator, QLocale(QLocale::Czech)))
      << "Qt's translations are missing: run scripts/setup.sh";
  QCoreApplication::installTranslator(&translator);
  QMessageBox box(QMessageBox::Warning, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Ne"));
  EXPECT_TRUE(QFileDialog::tr("%1 already exists.\nDo you want to replace it?").contains(QStringLiteral("existuje")));
  QCoreApplication::removeTranslator(&translator);
}

TEST_F(Desktop, HelpThatCannotBeOpenedSaysSo) {
  struct Case {
    bool fileThere, handlerThere;
    int opened;
    const char* message;
  } cases[] = {{true, true, 1, nullptr}, {false, true, 0, "nebyla nalezena"}, {true, false, 1, "nelze otevřít"}};
  for (const Case& c : cases) {
    fs::remove(dir_ / "pvnapoveda.html");
    if (c.fileThere) Write("pvnapoveda.html", {'<'});
    openUrlWorks_ = c.handlerThere;
    opened_.clear();
    errors_.clear();
    TForm1 form(Fake());
    QTest::mouseClick(form.napovedab, Qt::LeftButton);
    EXPECT_EQ(opened_.size(), c.opened);
    ASSERT_EQ(errors_.size(), c.message ? 1 : 0);
    if (c.message) {
      EXPECT_TRUE(errors_.front().contains(QString::fromUtf8(c.message))) << errors_.front().toStdString();
    }
  }
}

TEST_F(Desktop, ShortcutsAndEnterReachTheActions) {
  Write("pvnapoveda.html", {'<'});
  openAnswer_ = QString::fromStdString(Write("dark.jpg", DarkPhoto()));
  TForm1 form(Fake());
  form.show();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

  // Before a photo is open, Ctrl+S and F5 find their buttons disabled.
  QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
  QTest::keyClick(&form, Qt::Key_F5);
  QTest::qWait(200);
  EXPECT_EQ(saveDialogs_, 0);
  EXPECT_EQ(form.Image2->picture(), form.Image1->picture());

  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::function<bool()> done;
  } cases[] = {
      {Qt::Key_O, Qt::ControlModifier, [&] { return openDialogs_ == 1 && form.ulozitb->isEnabled(); }},
      {Qt::Key_F5, Qt::NoModifier, [&] { return form.Image2->picture() != form.Image1->picture(); }},
      {Qt::Key_S, Qt::ControlModifier, [&] { return saveDialogs_ == 1; }},
      {Qt::Key_F1, Qt::NoModifier, [&] { return opened_.size() == 1; }},
      {Qt::Key_Q, Qt::ControlModifier, [&] { return !form.isVisible(); }},
  };
  for (const Case& c : cases) {
    QTest::keyClick(&form, c.key, c.modifiers);
    EXPECT_TRUE(WaitFor(c.done)) << QKeySequence(c.key | c.modifiers).toString().toStdString();
  }
  EXPECT_EQ(saveSources_, QStringList{openAnswer_});
  EXPECT_TRUE(errors_.isEmpty()) << errors_.join("; ").toStdString();

  // Enter on a focused button clicks it, as the space bar does.
  form.show();
  form.otevritb->setFocus();
  QTest::keyClick(form.otevritb, Qt::Key_Return);
  EXPECT_EQ(openDialogs_, 2);
  Settle(form);  // the button is disabled while the open runs
  form.otevritb->setFocus();
  QTest::keyClick(form.otevritb, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(openDialogs_, 3);
}

TEST_F(Desktop, ChartBackgroundIsTheWindowColour) {
  TForm1 form(Fake());
  QPalette palette = form.palette();
  palette.setColor(QPalette::Window, QColor(10, 100, 200));
  form.setPalette(palette);
  form.OpenPhotoFile(QString::fromStdString(Write("dark.jpg", DarkPhoto())));
  Settle(form);
  ASSERT_TRUE(errors_.isEmpty());
  EXPECT_EQ(form.histo->picture().pixelColor(0, 0), QColor(10, 100, 200));  // row 0 is never a bar
}

// A camera model written as markup that would show a local picture: the
// label, its tooltip and an error message show it as text.
TEST_F(Desktop, PhotoDataIsNeverReadAsMarkup) {
  const std::string image = "/tmp/r" + std::to_string(::getpid()) + ".png";
  QImage marked(48, 48, QImage::Format_RGB32);
  marked.fill(kMarked);
  ASSERT_TRUE(marked.save(QString::fromStdString(image)));
  const std::string markup = "<img src=" + image + ">";
  exiftest::TiffBuilder tiff(exiftest::Order::Intel);
  tiff.SetFirstIfd(tiff.Ifd({tiff.Ascii(0x010F, "Maker"), tiff.Ascii(0x0110, markup)}));
  const std::string app1 = exiftest::ExifSegment(tiff.Bytes());
  imaging::Bytes photo = DarkPhoto();
  photo.insert(photo.begin() + 2, app1.begin(), app1.end());

  TForm1 form(Fake());
  form.show();
  form.OpenPhotoFile(QString::fromStdString(Write("model.jpg", photo)));
  Settle(form);
  ASSERT_TRUE(errors_.isEmpty()) << errors_.join("; ").toStdString();
  ASSERT_TRUE(form.pristrojl->text().contains(QString::fromStdString(markup)));
  EXPECT_TRUE(ShowsNoPicture(form.pristrojl->grab().toImage()));

  // The label is too narrow for the text, so its tooltip carries it.
  QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), form.pristrojl->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(form.pristrojl, &help);
  QWidget* tip = nullptr;
  WaitFor([&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QStringLiteral("qtooltip_label") && w->isVisible()) tip = w;
    return tip != nullptr;
  });
  ASSERT_NE(tip, nullptr);
  EXPECT_TRUE(ShowsNoPicture(tip->grab().toImage()));

  bool messagePlain = false;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    messagePlain = ShowsNoPicture(box->grab().toImage());
    box->accept();
  });
  DesktopPlatform().showError(&form, QString::fromStdString(markup));
  EXPECT_TRUE(messagePlain);

  fs::remove(image);
}

}  // namespace
