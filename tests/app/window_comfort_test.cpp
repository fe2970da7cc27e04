// The window a photographer can trust: the processed preview is what a save
// writes, the photo stands as it was taken, a save says what it did and
// asks before losing anything, and the larger views follow the controls.

#include "app/about_window.h"
#include "app/compare_window.h"
#include "app/exif_window.h"
#include "app/native_path.h"
#include "app/widgets.h"

#include "exif_builder.h"
#include "prosvitek/files/atomic_file.h"
#include "prosvitek/files/terminating_signals.h"
#include "prosvitek/imaging/metadata.h"
#include "prosvitek/imaging/orientation.h"
#include "prosvitek/imaging/view_render.h"
#include "run_cli.h"
#include "signal_child.h"
#include "window_fixture.h"

#include <QApplication>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>

#include <algorithm>
#include <chrono>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using namespace windowtest;

// The photo with an EXIF block holding only its orientation.
imaging::Bytes WithOrientation(imaging::Bytes jpeg, int orientation) {
  exiftest::TiffBuilder tiff(exiftest::Order::Intel);
  tiff.SetFirstIfd(tiff.Ifd({tiff.Short(0x0112, {static_cast<uint16_t>(orientation)})}));
  const std::string app1 = exiftest::ExifSegment(tiff.Bytes());
  jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
  return jpeg;
}

void Clear(TSpinEdit* spin) {
  spin->editor()->setFocus();
  spin->editor()->selectAll();
  QTest::keyClick(spin->editor(), Qt::Key_Backspace);
}

void Type(TSpinEdit* spin, const QString& text) {
  Clear(spin);
  QTest::keyClicks(spin->editor(), text);
}

class Window : public MainWindow {
 protected:
  void SetUp() override {
    MainWindow::SetUp();
    form_.show();
    QApplication::setActiveWindow(&form_);
  }
  void PreviewSettled() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form_.PreviewPending(); }, 5000));
  }
  std::string Target(const std::string& name) { return (dir_ / name).string(); }
};

// After the open and after a change of each control, without F5: the
// processed preview is the unprocessed one brightened with the controls as
// they show, and a save writes the photo brightened with just those.
TEST_F(Window, ProcessedPreviewFollowsEachControlAndIsWhatTheSaveWrites) {
  const QString path = DarkPhoto();
  Open(path);
  const struct Change {
    const char* what;
    std::function<void()> act;
  } changes[] = {
      {"open", [] {}},
      {"Efekt typed", [&] { Type(form_.efektspin, QStringLiteral("47")); }},
      {"threshold typed", [&] { Type(form_.rozsahspin, QString::number(form_.rozsahspin->Value() - 25)); }},
      {"colour arrow", [&] { form_.barupravaspin->StepBy(4); }},
      {"posun", [&] { QTest::mouseClick(form_.hp945chb, Qt::LeftButton); }},
      {"Prosvitek", [&] { QTest::mouseClick(form_.prosvitekchb, Qt::LeftButton); }},
  };
  int n = 0;
  for (const Change& change : changes) {
    change.act();
    PreviewSettled();
    const imaging::ControlValues c = form_.CurrentControls();
    const imaging::BrightenSettings s = imaging::SettingsFor(c, form_.Analysis().MinLuminance);
    const double q = imaging::ExponentFor(c.strength);
    imaging::Raster expected(form_.Preview1().width(), form_.Preview1().height());
    imaging::BrightenPass(form_.Preview1(), expected, q, [&](int, int) { return s; });
    EXPECT_EQ(form_.Image2->picture(), ToQImage(expected)) << change.what;
    const std::string target = Target("live" + std::to_string(n++) + ".jpg");
    desktop_.saveAnswers.push_back(QString::fromStdString(target));
    Save();
    EXPECT_EQ(files::ReadWholeFile(target), fixtures::ReferenceRender(
                                                path.toStdString(), q, [&](int, int) { return s; }, 85))
        << change.what;
  }
  EXPECT_EQ(n, 6);
  EXPECT_NE(form_.Image2->picture(), form_.Image1->picture());
  EXPECT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
}

// Each number field, emptied, shows its default again once the focus
// leaves; a save started with the quality field empty uses (and shows) the
// default: the file is the command line's at quality 85, byte for byte.
TEST_F(Window, EmptiedFieldShowsItsDefaultAndASaveNeverUsesAQualityNotShown) {
  const QString path = DarkPhoto();
  Open(path);
  const int primed = form_.rozsahspin->Value();
  const struct Field {
    TSpinEdit* spin;
    int other, fallback;
  } fields[] = {{form_.efektspin, 40, 15},
                {form_.rozsahspin, primed - 10, primed},
                {form_.barupravaspin, 9, 3},
                {form_.kompresespin, 40, 85}};
  for (const Field& f : fields) {
    f.spin->SetValue(f.other);
    Clear(f.spin);
    EXPECT_TRUE(f.spin->Text().isEmpty());
    EXPECT_EQ(f.spin->EffectiveValue(), f.fallback);
    form_.ulozitb->setFocus();
    EXPECT_EQ(f.spin->Text(), QString::number(f.fallback)) << f.spin->objectName().toStdString();
  }

  form_.efektspin->SetValue(33);
  form_.kompresespin->SetValue(40);
  Clear(form_.kompresespin);  // the focus stays in the field
  const std::string window = Target("window.jpg"), cli = Target("cli.jpg");
  desktop_.saveAnswers.push_back(QString::fromStdString(window));
  ASSERT_TRUE(form_.kompresespin->editor()->hasFocus());
  QTest::keyClick(form_.kompresespin->editor(), Qt::Key_S, Qt::ControlModifier);
  // The shortcut reaches the button through the event loop.
  ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(window) && !form_.PassRunning(); }, 60000));
  EXPECT_EQ(form_.kompresespin->Text(), QStringLiteral("85"));
  const auto r =
      testsupport::RunCli({"brighten", "--strength", "33", "--quality", "85", "-o", cli, path.toStdString()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(files::ReadWholeFile(window), files::ReadWholeFile(cli));
}

// A photo stored on its side stands upright in both previews (all eight
// orientations, mirrored ones too); the saved file keeps the stored pixels.
TEST_F(Window, BothPreviewsShowThePhotoAsItWasTaken) {
  // Stored quadrants: A top left, B top right, C bottom left, D bottom right.
  const imaging::ColourValue quadrant[4] = {MakeColour(200, 30, 30), MakeColour(30, 200, 30), MakeColour(30, 30, 200),
                                            MakeColour(235, 235, 235)};
  const imaging::Bytes stored = imaging::EncodeJpeg(
      fixtures::MakeRaster(96, 64, [&](int x, int y) { return quadrant[(y >= 32) * 2 + (x >= 48)]; }), 95, false);
  // The quadrant seen at the top left, top right, bottom left and bottom right.
  const char* const corners[] = {"ABCD", "BADC", "DCBA", "CDAB", "ACBD", "CADB", "DBCA", "BDAC"};
  auto nearest = [](QColor seen, const imaging::ColourValue* colours) {
    int best = 0, bestDistance = 1 << 30;
    for (int i = 0; i < 4; ++i) {
      const int d = std::abs(seen.red() - imaging::RedOf(colours[i])) +
                    std::abs(seen.green() - imaging::GreenOf(colours[i])) +
                    std::abs(seen.blue() - imaging::BlueOf(colours[i]));
      if (d < bestDistance) bestDistance = d, best = i;
    }
    return static_cast<char>('A' + best);
  };
  for (int o = 1; o <= 8; ++o) {
    fixtures::WriteFile(Target("turned" + std::to_string(o) + ".jpg"), WithOrientation(stored, o));
    Open(QString::fromStdString(Target("turned" + std::to_string(o) + ".jpg")));
    ASSERT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
    imaging::ColourValue brightened[4];
    for (int i = 0; i < 4; ++i) {
      const imaging::Rgb b = imaging::BrightenPixel(
          {imaging::RedOf(quadrant[i]), imaging::GreenOf(quadrant[i]), imaging::BlueOf(quadrant[i])},
          form_.Session().PreviewSettings(), form_.Session().PreviewExponent());
      brightened[i] = MakeColour(b.red, b.green, b.blue);
    }
    const std::pair<TImage*, const imaging::ColourValue*> previews[] = {{form_.Image1, quadrant},
                                                                        {form_.Image2, brightened}};
    for (const auto& [image, colours] : previews) {
      const QImage& shown = image->picture();
      EXPECT_EQ(shown.width() > shown.height(), o < 5) << "orientation " << o;
      EXPECT_EQ(image->size(), shown.size());
      const int w = shown.width(), h = shown.height();
      const std::string seen = {nearest(shown.pixelColor(w / 8, h / 8), colours),
                                nearest(shown.pixelColor(w - 1 - w / 8, h / 8), colours),
                                nearest(shown.pixelColor(w / 8, h - 1 - h / 8), colours),
                                nearest(shown.pixelColor(w - 1 - w / 8, h - 1 - h / 8), colours)};
      EXPECT_EQ(seen, corners[o - 1]) << "orientation " << o;
    }
  }
  // A portrait photo stored 450 x 600 and turned right previews wider than tall.
  fixtures::WriteFile(
      Target("portrait.jpg"),
      WithOrientation(
          imaging::EncodeJpeg(fixtures::MakeRaster(450, 600, [](int x, int) { return MakeColour(x / 2, 90, 40); }), 90,
                              false),
          6));
  Open(QString::fromStdString(Target("portrait.jpg")));
  EXPECT_EQ(form_.Image1->picture().size(), QSize(320, 240));
  EXPECT_EQ(form_.Image2->picture().size(), QSize(320, 240));
  desktop_.saveAnswers.push_back(QString::fromStdString(Target("portrait-saved.jpg")));
  Save();
  EXPECT_EQ(imaging::ReadJpegHeader(files::ReadWholeFile(Target("portrait-saved.jpg"))).width, 450);
}

// With "zachovat metadata" the window keeps what the command line keeps
// (EXIF with its thumbnail made anew from the brightened photo, IPTC, the
// comment), byte for byte.
TEST_F(Window, KeptMetadataIsTheCommandLinesWithARenewedThumbnail) {
  using namespace std::string_literals;
  const imaging::Bytes thumbnailJpeg =
      imaging::EncodeJpeg(fixtures::MakeRaster(32, 24, [](int x, int) { return MakeColour(x, 20, 10); }), 80, false);
  const std::string thumbnail(thumbnailJpeg.begin(), thumbnailJpeg.end());
  exiftest::TiffBuilder t(exiftest::Order::Intel);
  const uint32_t ifd0 = t.Ifd({t.Ascii(0x010F, "Maker")});
  const uint32_t ifd1 = t.Here(), at = ifd1 + 30;
  t.Ifd({t.Long(0x0201, {at}), t.Long(0x0202, {static_cast<uint32_t>(thumbnail.size())})});
  t.Append(thumbnail);
  t.PatchU32(ifd0 + 2 + 12, ifd1);
  imaging::Bytes photo = files::ReadWholeFile(DarkPhoto().toStdString());
  for (const std::string& segment : {exiftest::CommentSegment("kept"),
                                     exiftest::Segment(0xED, "Photoshop 3.0\0"s + "8BIM\x04\x04\0\0\0\0\0\x05\x1C\x02\x78\0\0\0"s),
                                     exiftest::Segment(0xE1, "Exif\0\0"s + t.Bytes())})
    photo.insert(photo.begin() + 2, segment.begin(), segment.end());
  const std::string path = Target("camera.jpg"), window = Target("window.jpg"), cli = Target("cli.jpg");
  fixtures::WriteFile(path, photo);
  Open(QString::fromStdString(path));
  desktop_.keepMetadata = true;
  desktop_.saveAnswers.push_back(QString::fromStdString(window));
  Save();
  ASSERT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
  const auto r = testsupport::RunCli({"brighten", "--keep-metadata", "-o", cli, path});
  ASSERT_EQ(r.status, 0) << r.err;
  const imaging::Bytes saved = files::ReadWholeFile(window);
  EXPECT_EQ(saved, files::ReadWholeFile(cli));
  EXPECT_EQ(std::search(saved.begin(), saved.end(), thumbnail.begin(), thumbnail.end()), saved.end());  // not the old one
  bool renewed = false;
  imaging::ForEachHeaderSegment(saved, [&](int marker, std::span<const std::uint8_t> body) {
    if (marker == 0xE1) renewed = renewed || imaging::FindExifThumbnail(body).usable;
  });
  EXPECT_TRUE(renewed);
}

// Saving over the open photo asks its own question, naming what is lost;
// "no" writes nothing, "yes" writes and opens the saved file again.
TEST_F(Window, SavingOverTheOpenPhotoAsksAndOpensTheSavedFileAgain) {
  const QString path = DarkPhoto();
  Open(path);
  const imaging::Bytes before = files::ReadWholeFile(path.toStdString());
  for (const bool keep : {false, true}) {
    desktop_.keepMetadata = keep;
    desktop_.questions.clear();
    desktop_.answers.push_back(false);
    desktop_.saveAnswers.push_back(path);
    Save();
    ASSERT_EQ(desktop_.questions.size(), 1);
    EXPECT_TRUE(desktop_.questions.front().startsWith(QStringLiteral("Přepsat původní fotku?")));
    EXPECT_TRUE(desktop_.questions.front().contains(QStringLiteral("původní obrazová data")));
    EXPECT_EQ(desktop_.questions.front().contains(QStringLiteral("údaje z fotoaparátu")), !keep);
    EXPECT_EQ(files::ReadWholeFile(path.toStdString()), before);
    EXPECT_TRUE(form_.sb->currentMessage().isEmpty());
  }
  desktop_.answers.push_back(true);
  desktop_.saveAnswers.push_back(path);
  Save();
  const imaging::Bytes after = files::ReadWholeFile(path.toStdString());
  EXPECT_NE(after, before);
  EXPECT_EQ(form_.velikostl->text(), QStringLiteral("Velikost: %1 B").arg(after.size()));
  EXPECT_EQ(form_.Analysis().MinLuminance,
            imaging::AnalysePhoto(fixtures::DecodeFile(path.toStdString())).MinLuminance);
  EXPECT_TRUE(form_.sb->currentMessage().startsWith(QStringLiteral("Uloženo: dark.jpg (")))
      << form_.sb->currentMessage().toStdString();
  EXPECT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
}

// Each kind of photo the window cannot open is named in Czech with what to
// do, and libjpeg's own words below; the photo on screen stays.
TEST_F(Window, EachErrorSaysWhatHappenedInCzechWithTheLibrarysTextBelow) {
  const imaging::Bytes good = files::ReadWholeFile(DarkPhoto().toStdString());
  Open(DarkPhoto("shown.jpg"));
  const std::uint8_t sofMarker[] = {0xFF, 0xC0};
  const std::size_t sof = static_cast<std::size_t>(
      std::search(good.begin(), good.end(), std::begin(sofMarker), std::end(sofMarker)) - good.begin());
  ASSERT_LT(sof, good.size());
  auto changed = [&](std::size_t at, std::uint8_t value) {
    imaging::Bytes b = good;
    b[at] = value;
    return b;
  };
  const struct Case {
    const char* what;
    imaging::Bytes bytes;
    const char* firstLine;
  } cases[] = {
      {"png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13}, "Soubor není fotka JPEG, ale obrázek PNG"},
      {"empty", {}, "Soubor je prázdný"},
      {"cut in its header", imaging::Bytes(good.begin(), good.begin() + 120), "Fotka je neúplná"},
      {"12-bit", changed(sof + 4, 12), "Fotka je 12bitový JPEG"},
      {"lossless", changed(sof + 1, 0xC3), "Fotka je bezeztrátový (lossless) JPEG"},
  };
  for (const Case& c : cases) {
    desktop_.errors.clear();
    fixtures::WriteFile(Target("bad.jpg"), c.bytes);
    Open(QString::fromStdString(Target("bad.jpg")));
    ASSERT_EQ(desktop_.errors.size(), 1) << c.what;
    const QStringList lines = desktop_.errors.front().split(QLatin1Char('\n'));
    EXPECT_TRUE(lines.front().startsWith(QString::fromUtf8(c.firstLine)))
        << c.what << ": " << lines.front().toStdString();
    ASSERT_EQ(lines.size(), 2) << c.what;
    EXPECT_TRUE(lines.back().startsWith(QStringLiteral("JPEG error #"))) << c.what;
    EXPECT_TRUE(form_.PhotoPath().endsWith(QStringLiteral("shown.jpg")));
  }
}

// A name without an extension gets ".jpg"; a FIFO is refused at once, as a
// folder is, so that neither the save nor closing the window waits for a reader.
TEST_F(Window, SaveTargetsTakeAJpegNameAndAFifoIsRefused) {
  Open(DarkPhoto());
  desktop_.saveAnswers.push_back(QString::fromStdString(Target("bright")));
  Save();
  EXPECT_TRUE(fs::exists(Target("bright.jpg")));
  EXPECT_FALSE(fs::exists(Target("bright")));
  EXPECT_TRUE(form_.sb->currentMessage().startsWith(QStringLiteral("Uloženo: bright.jpg (")))
      << form_.sb->currentMessage().toStdString();

  ASSERT_EQ(::mkfifo(Target("pipe.jpg").c_str(), 0600), 0);
  desktop_.saveAnswers.push_back(QString::fromStdString(Target("pipe.jpg")));
  const auto start = std::chrono::steady_clock::now();
  Save();
  ASSERT_EQ(desktop_.errors.size(), 1);
  EXPECT_TRUE(desktop_.errors.front().contains(QStringLiteral("FIFO"))) << desktop_.errors.front().toStdString();
  EXPECT_TRUE(form_.ulozitb->isEnabled());
  form_.close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// A photo followed by gigabytes of padding opens and saves as quickly as
// the command line handles it, without asking for memory by the file's size.
TEST_F(Window, PhotoPaddedWithGigabytesOpensSavesAndClosesAtOnce) {
  const QString path = DarkPhoto("padded.jpg");
  ASSERT_EQ(::truncate(path.toStdString().c_str(), std::int64_t{64} << 30), 0);  // sparse: no disk used
  const auto start = std::chrono::steady_clock::now();
  Open(path);
  desktop_.saveAnswers.push_back(QString::fromStdString(Target("out.jpg")));
  Save();
  form_.close();
  EXPECT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
  EXPECT_TRUE(fs::exists(Target("out.jpg")));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// The open button remembers the last ten photos, newest first, and opens
// one from its menu; a photo dropped on the window opens.
TEST_F(Window, RecentPhotosAndADroppedPhotoOpen) {
  const imaging::Bytes bytes = files::ReadWholeFile(DarkPhoto().toStdString());
  for (int i = 0; i < 12; ++i) {
    std::string name = "p";  // built up: GCC 12 warns falsely of an overlap in "p" + std::string
    name += std::to_string(i) + ".jpg";
    fixtures::WriteFile(Target(name), bytes);
    Open(QString::fromStdString(Target(name)));
  }
  const QStringList recent = form_.RecentPhotos();
  ASSERT_EQ(recent.size(), 10);
  EXPECT_EQ(recent.front(), QString::fromStdString(Target("p11.jpg")));
  EXPECT_EQ(recent.back(), QString::fromStdString(Target("p2.jpg")));
  QMenu* menu = form_.nedavneb->menu();
  emit menu->aboutToShow();
  ASSERT_EQ(menu->actions().size(), 10);
  EXPECT_EQ(menu->actions().at(3)->text(), QStringLiteral("p8.jpg"));
  menu->actions().at(3)->trigger();
  Settle();
  EXPECT_EQ(form_.PhotoPath(), QString::fromStdString(Target("p8.jpg")));

  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(Target("p5.jpg")))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form_, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form_, &drop);
  Settle();
  EXPECT_EQ(form_.PhotoPath(), QString::fromStdString(Target("p5.jpg")));
  EXPECT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
}

TEST_F(Window, AboutNamesTheProgramAndItsVersion) {
  Toprogramuf about(desktop_.platform());
  EXPECT_EQ(about.verzel->text(), QStringLiteral("Prosvitek ") + QStringLiteral(PROSVITEK_VERSION));
  EXPECT_FALSE(QStringLiteral(PROSVITEK_VERSION).isEmpty());
}

// The details window grows with its memo and remembers its size.
TEST_F(Window, DetailsWindowCanBeEnlargedAndRemembersItsSize) {
  {
    Texifform details(desktop_.platform());
    details.show();
    details.resize(500, 700);
    EXPECT_EQ(details.size(), QSize(500, 700));
    EXPECT_GT(details.exifmemo->width(), 400);
    details.close();
  }
  Texifform again(desktop_.platform());
  EXPECT_EQ(again.size(), QSize(500, 700));
}

// The compare view decodes the photo at the view's scale and brightens it
// again, without decoding, when a control changes; 1:1 decodes the part seen
// at full size. It opens from its button or a double click on a preview.
TEST_F(Window, CompareViewRendersAtTheViewsScaleAndFollowsTheControls) {
  const QString path =
      Photo("large.jpg",
            fixtures::MakeRaster(3000, 2000, [](int x, int y) { return MakeColour(x / 20, y / 16, (x + y) / 40); }));
  fixtures::WriteFile(path.toStdString(), WithOrientation(files::ReadWholeFile(path.toStdString()), 6));
  Open(path);
  QTest::mouseDClick(form_.Image2, Qt::LeftButton);
  TCompareForm* compare = form_.CompareForm();
  ASSERT_NE(compare, nullptr);
  ASSERT_TRUE(compare->isVisible());
  TCompareCanvas* canvas = compare->platno;
  auto decoded = [&] {
    return QTest::qWaitFor([&] { return !canvas->Decoding() && canvas->RenderedScale() > 0; }, 20000);
  };
  ASSERT_TRUE(decoded());
  EXPECT_TRUE(canvas->Problem().isEmpty()) << canvas->Problem().toStdString();
  // Fitted: the largest scale that still fills the view, the photo upright.
  const QSize view = canvas->viewport()->size();
  const double zoom = std::min({view.width() / 2000.0, view.height() / 3000.0, 1.0});
  const int scale = canvas->RenderedScale();
  EXPECT_EQ(scale, imaging::ViewScaleFor(6, 3000, 2000, static_cast<int>(std::ceil(2000 * zoom)),
                                         static_cast<int>(std::ceil(3000 * zoom))));
  EXPECT_GT(scale, 1);
  EXPECT_EQ(canvas->BeforeImage().size(), QSize((2000 + scale - 1) / scale, (3000 + scale - 1) / scale));

  const QImage afterBefore = canvas->AfterImage();
  Type(form_.efektspin, QStringLiteral("90"));
  PreviewSettled();
  EXPECT_FALSE(canvas->Decoding());
  EXPECT_NE(canvas->AfterImage(), afterBefore);
  EXPECT_EQ(canvas->RenderedScale(), scale);

  QTest::mouseClick(compare->skutecnab, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !canvas->Decoding() && canvas->RenderedScale() == 1; }, 20000));
  const imaging::PixelRect region = canvas->RenderedRegion();
  EXPECT_GE(region.width, std::min(view.width(), 2000));
  EXPECT_GE(region.height, std::min(view.height(), 3000));
  EXPECT_EQ(canvas->BeforeImage().size(), QSize(region.width, region.height));
  canvas->SetSplit(0.25);
  EXPECT_DOUBLE_EQ(canvas->Split(), 0.25);
  // The original over all of it while the space bar is held.
  QTest::keyPress(canvas, Qt::Key_Space);
  EXPECT_TRUE(canvas->ShowsOriginal());
  QTest::keyRelease(canvas, Qt::Key_Space);
  EXPECT_FALSE(canvas->ShowsOriginal());
  compare->close();
  QTest::mouseClick(form_.porovnatb, Qt::LeftButton);
  EXPECT_TRUE(compare->isVisible());
}

// SIGTERM, SIGINT or SIGHUP during a write: the window's handler removes
// the temporary file before the signal ends the program.
TEST(WindowSignals, TerminatingSignalDuringAWriteLeavesNothing) {
  const fs::path dir = fs::temp_directory_path() / ("prosvitek-signal-" + std::to_string(::getpid()));
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    fs::create_directories(dir);
    const std::string folder = dir.string();  // nothing is allocated between fork and exec
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(ready[1], STDOUT_FILENO);
      ::execl("/proc/self/exe", "app_tests", kSignalChildFlag, folder.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
    EXPECT_TRUE(fs::is_empty(dir)) << "signal " << signal << ": " << fs::directory_iterator(dir)->path();
    fs::remove_all(dir);
  }
}

}  // namespace

int SignalChildMain(const char* folder) {
  files::RemoveTemporaryFilesOnSignals();
  files::AtomicFile file((fs::path(folder) / "out.jpg").string());
  const std::vector<std::uint8_t> bytes(1 << 20, 0xAB);
  file.Write(bytes);
  if (::write(STDOUT_FILENO, "x", 1) != 1) return 1;
  for (;;) ::pause();
}
