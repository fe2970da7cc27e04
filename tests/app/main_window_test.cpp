#include "app/main_window.h"

#include "app/about_window.h"
#include "app/exif_window.h"
#include "prosvitek/exif/reader.h"
#include "exif_builder.h"
#include "reference.h"
#include "prosvitek/imaging/brighten.h"
#include "prosvitek/imaging/metadata.h"
#include "jpeg_fixtures.h"
#include "run_cli.h"
#include "samples.h"
#include "window_fixture.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <optional>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace windowtest;

TEST_F(MainWindow, StartsWithCaptionsPlaceholdersAndDisabledPhotoActions) {
  EXPECT_EQ(form_.windowTitle(), QStringLiteral("prosvitek"));
  EXPECT_EQ(form_.size(), QSize(747, 443));
  EXPECT_TRUE(form_.otevritb->isEnabled());
  EXPECT_FALSE(form_.prepocitatb->isEnabled());
  EXPECT_FALSE(form_.ulozitb->isEnabled());
  EXPECT_FALSE(form_.podrobnostil->isEnabled());
  EXPECT_TRUE(form_.napovedab->isEnabled());
  EXPECT_TRUE(form_.oprogramub->isEnabled());
  EXPECT_EQ(form_.otevritb->text(), QStringLiteral("otevřít"));
  EXPECT_EQ(form_.prepocitatb->text(), QStringLiteral("přepočítat"));
  EXPECT_EQ(form_.ulozitb->text(), QStringLiteral("uložit jako"));
  EXPECT_TRUE(form_.napovedab->font().bold());
  const std::pair<QLabel*, const char*> placeholders[] = {
      {form_.rozlisenil, "Rozlišení: ???"}, {form_.velikostl, "Velikost: ???"}, {form_.casl, "Čas: ???"},
      {form_.clonal, "Clona: ???"},         {form_.isol, "ISO: ???"},           {form_.bleskl, "Blesk: ???"},
      {form_.pristrojl, "Foťák: ???"},      {form_.jasminl, "#"},              {form_.pozicemaxl, "#"}};
  for (const auto& [label, text] : placeholders) EXPECT_EQ(label->text(), QString::fromUtf8(text));
  EXPECT_EQ(form_.efektspin->Value(), 15);
  EXPECT_EQ(form_.barupravaspin->Value(), 3);
  EXPECT_EQ(form_.kompresespin->Value(), 85);
  EXPECT_EQ(form_.kompresespin->MaxValue(), 100);
  EXPECT_EQ(form_.rozsahspin->Value(), 0);
  EXPECT_FALSE(form_.hp945chb->isChecked());
  EXPECT_TRUE(form_.prosvitekchb->isChecked());
  EXPECT_EQ(form_.otevritb->geometry(), QRect(333, 5, 85, 25));
  EXPECT_EQ(form_.efektspin->geometry(), QRect(427, 260, 50, 22));
  EXPECT_EQ(form_.histo->geometry(), QRect(483, 265, 255, 128));
}

TEST_F(MainWindow, TabOrderFollowsTheControlsList) {
  const QWidget* expected[] = {form_.prepocitatb, form_.otevritb,  form_.rozsahspin, form_.efektspin,
                               form_.ulozitb,     form_.kompresespin, form_.napovedab, form_.oprogramub,
                               form_.barupravaspin, form_.hp945chb, form_.prosvitekchb};
  for (std::size_t i = 0; i + 1 < std::size(expected); ++i) {
    const QWidget* from = expected[i]->focusProxy() ? expected[i]->focusProxy() : expected[i];
    QWidget* next = from->nextInFocusChain();
    while (next->focusPolicy() == Qt::NoFocus || (!next->isWidgetType())) next = next->nextInFocusChain();
    const QWidget* want = expected[i + 1]->focusProxy() ? expected[i + 1]->focusProxy() : expected[i + 1];
    // Spin controls pass focus to their editor, whose own chain entry may follow them.
    while (next != want && next->parentWidget() == expected[i + 1]) next = next->nextInFocusChain();
    EXPECT_TRUE(next == want || next == expected[i + 1]) << "after control " << i;
  }
}

TEST_F(MainWindow, ModeBoxesClearEachOtherOnMouseDown) {
  form_.show();
  QTest::mouseClick(form_.hp945chb, Qt::LeftButton);  // select "posun"
  EXPECT_TRUE(form_.hp945chb->isChecked());
  EXPECT_FALSE(form_.prosvitekchb->isChecked());
  QTest::mouseClick(form_.hp945chb, Qt::LeftButton);  // clicking the checked box leaves both clear
  EXPECT_FALSE(form_.hp945chb->isChecked());
  EXPECT_FALSE(form_.prosvitekchb->isChecked());
  form_.hp945chb->setChecked(true);
  QTest::mousePress(form_.prosvitekchb, Qt::RightButton);  // right button: clears the other only
  EXPECT_FALSE(form_.hp945chb->isChecked());
  EXPECT_FALSE(form_.prosvitekchb->isChecked());
  // The space bar follows the same rule.
  form_.hp945chb->setChecked(true);
  QTest::keyClick(form_.prosvitekchb, Qt::Key_Space);
  EXPECT_FALSE(form_.hp945chb->isChecked());
  EXPECT_TRUE(form_.prosvitekchb->isChecked());
  QTest::keyClick(form_.prosvitekchb, Qt::Key_Space);
  EXPECT_FALSE(form_.hp945chb->isChecked());
  EXPECT_FALSE(form_.prosvitekchb->isChecked());
}

TEST_F(MainWindow, OpenFillsResultsAndPrimesControls) {
  form_.efektspin->SetValue(40);
  const QString path = DarkPhoto();
  Open(path);
  ASSERT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
  const imaging::PhotoAnalysis expect = imaging::AnalysePhoto(fixtures::DecodeFile(path.toStdString()));
  EXPECT_EQ(form_.windowTitle(), QStringLiteral("prosvitek - ") + path);
  EXPECT_EQ(form_.jasminl->text(), QString::number(expect.MinLuminance));
  EXPECT_EQ(form_.jasmaxl->text(), QString::number(expect.MaxLuminance));
  EXPECT_EQ(form_.cminl->text(), QString::number(expect.MinPixel.Colour));
  EXPECT_EQ(form_.slozkymaxl->text(), QStringLiteral("%1x%2x%3")
                                          .arg(expect.MaxPixel.Red)
                                          .arg(expect.MaxPixel.Green)
                                          .arg(expect.MaxPixel.Blue));
  EXPECT_EQ(form_.poziceminl->text(), QStringLiteral("%1x%2").arg(expect.MinPixel.X).arg(expect.MinPixel.Y));
  EXPECT_EQ(form_.rozlisenil->text(), QStringLiteral("Rozlišení: 160x120"));
  EXPECT_TRUE(form_.velikostl->text().startsWith(QStringLiteral("Velikost: ")));
  EXPECT_EQ(form_.rozsahspin->MinValue(), expect.MinLuminance + 1);
  EXPECT_EQ(form_.rozsahspin->MaxValue(), expect.MaxLuminance);
  EXPECT_EQ(form_.rozsahspin->Value(), imaging::PrimeThreshold(expect).value);
  EXPECT_EQ(form_.efektspin->Value(), 15);
  EXPECT_EQ(form_.Image1->size(), QSize(320, 240));
  EXPECT_EQ(form_.Preview1().width(), 320);
  EXPECT_TRUE(form_.prepocitatb->isEnabled());
  EXPECT_TRUE(form_.ulozitb->isEnabled());
  EXPECT_TRUE(form_.podrobnostil->isEnabled());
  EXPECT_TRUE(form_.otevritb->isEnabled());
  EXPECT_TRUE(form_.sb->currentMessage().isEmpty());
  EXPECT_FALSE(form_.histo->picture().isNull());
}

TEST_F(MainWindow, CancelledOrFailedOpenKeepsThePhotoOnScreen) {
  Open(DarkPhoto());
  const QString title = form_.windowTitle();
  const QString minText = form_.jasminl->text();
  const int darkest = form_.Analysis().MinLuminance;
  Open(QString());  // cancelled
  fixtures::WriteFile((dir_ / "broken.jpg").string(), {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'});
  Open(QString::fromStdString((dir_ / "broken.jpg").string()));
  ASSERT_EQ(desktop_.errors.size(), 1);
  EXPECT_EQ(desktop_.errors.front(), QStringLiteral("Soubor není fotka JPEG ani jiný známý obrázek. Otevřete fotku JPEG.\n"
                                                    "JPEG error #53: Not a JPEG file: starts with 0x6e 0x6f"));
  EXPECT_EQ(form_.windowTitle(), title);
  EXPECT_EQ(form_.jasminl->text(), minText);
  EXPECT_EQ(form_.Analysis().MinLuminance, darkest);
  EXPECT_NE(form_.velikostl->text(), QStringLiteral("Velikost: ???"));
  EXPECT_TRUE(form_.ulozitb->isEnabled());
  EXPECT_TRUE(form_.otevritb->isEnabled());
}

TEST_F(MainWindow, FirstOpenOfABadFileEnablesNothing) {
  Open(QString::fromStdString((dir_ / "missing.jpg").string()));
  ASSERT_EQ(desktop_.errors.size(), 1);
  EXPECT_TRUE(desktop_.errors.front().contains(QStringLiteral("missing.jpg")));
  ASSERT_EQ(::mkfifo((dir_ / "fifo.jpg").c_str(), 0600), 0);  // refused without waiting for a writer
  Open(QString::fromStdString((dir_ / "fifo.jpg").string()));
  ASSERT_EQ(desktop_.errors.size(), 2);
  EXPECT_TRUE(desktop_.errors.back().contains(QStringLiteral("FIFO"))) << desktop_.errors.back().toStdString();
  desktop_.errors.removeLast();
  EXPECT_FALSE(form_.ulozitb->isEnabled());
  EXPECT_FALSE(form_.prepocitatb->isEnabled());
  EXPECT_TRUE(form_.otevritb->isEnabled());
  fixtures::WriteFile((dir_ / "huge.jpg").string(),
                      fixtures::WithFrameSize(imaging::EncodeJpeg(fixtures::MakeRaster(16, 16, [](int, int) {
                                                                      return 0u;
                                                                    }), 90, false), 60000, 60000));
  Open(QString::fromStdString((dir_ / "huge.jpg").string()));
  ASSERT_EQ(desktop_.errors.size(), 2);
  EXPECT_TRUE(desktop_.errors.back().contains(QStringLiteral("velká")));
}

TEST_F(MainWindow, RecomputeStartsFromTheUnprocessedPreviewEveryTime) {
  Open(DarkPhoto());
  QTest::mouseClick(form_.prepocitatb, Qt::LeftButton);
  const QImage first = form_.Image2->picture();
  QTest::mouseClick(form_.prepocitatb, Qt::LeftButton);
  EXPECT_EQ(form_.Image2->picture(), first);  // never compounds
  EXPECT_NE(form_.Image2->picture(), form_.Image1->picture());
  // The preview's own pixels went through the transform.
  imaging::BrightenSettings s;
  s.threshold = form_.rozsahspin->Value();
  s.darkestLuminance = form_.Analysis().MinLuminance;
  const imaging::ColourValue c = form_.Preview1().pixel(5, 100);
  const imaging::Rgb out =
      imaging::BrightenPixel({imaging::RedOf(c), imaging::GreenOf(c), imaging::BlueOf(c)}, s, imaging::ExponentFor(15));
  EXPECT_EQ(form_.Preview2().pixel(5, 100), MakeColour(out.red, out.green, out.blue));
  EXPECT_TRUE(form_.sb->currentMessage().isEmpty());
}

TEST_F(MainWindow, TypedStrengthIsClampedBeforeTheRecompute) {
  Open(DarkPhoto());
  form_.show();
  QApplication::setActiveWindow(&form_);
  form_.efektspin->editor()->setFocus();
  form_.efektspin->editor()->selectAll();
  QTest::keyClicks(form_.efektspin->editor(), QStringLiteral("500"));
  form_.prepocitatb->setFocus();  // as a click on the button takes the focus
  QTest::mouseClick(form_.prepocitatb, Qt::LeftButton);
  EXPECT_EQ(form_.efektspin->Value(), 150);
}

TEST_F(MainWindow, SaveWritesTheBrightenedPhotoInTheSourcesMode) {
  const QString path = DarkPhoto("dark.jpg", true);
  Open(path);
  form_.hp945chb->setChecked(true);
  form_.kompresespin->SetValue(70);
  const fs::path target = dir_ / "out.jpg";
  desktop_.saveAnswers.push_back(QString::fromStdString(target.string()));
  Save();
  ASSERT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
  ASSERT_TRUE(fs::exists(target));

  imaging::BrightenSettings s;
  s.threshold = form_.rozsahspin->Value();
  s.shiftMode = true;
  s.darkestLuminance = form_.Analysis().MinLuminance;
  EXPECT_EQ(files::ReadWholeFile(target.string()),
            fixtures::ReferenceRender(path.toStdString(), imaging::ExponentFor(15), [&](int, int) { return s; }, 70));
  EXPECT_TRUE(imaging::ReadJpegHeader(files::ReadWholeFile(target.string())).progressive);
  EXPECT_TRUE(form_.ulozitb->isEnabled());
  EXPECT_TRUE(form_.otevritb->isEnabled());
  EXPECT_TRUE(form_.sb->currentMessage().startsWith(QStringLiteral("Uloženo: out.jpg ("))) << form_.sb->currentMessage().toStdString();
}

TEST_F(MainWindow, CancelledSaveWritesNothingAndRestoresTheButtons) {
  Open(DarkPhoto());
  Save();  // the dialog answers "cancel"
  EXPECT_TRUE(desktop_.errors.isEmpty());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  EXPECT_TRUE(form_.ulozitb->isEnabled());
  EXPECT_TRUE(form_.prepocitatb->isEnabled());
  EXPECT_TRUE(form_.otevritb->isEnabled());
  EXPECT_TRUE(form_.sb->currentMessage().isEmpty());
}

TEST_F(MainWindow, FailedSaveKeepsTheSourceAndReportsIt) {
  const QString path = DarkPhoto();
  Open(path);
  const imaging::Bytes before = files::ReadWholeFile(path.toStdString());
  // A folder of that name cannot be replaced by a file, not even by root.
  fs::create_directories(dir_ / "taken.jpg");
  desktop_.saveAnswers.push_back(QString::fromStdString((dir_ / "taken.jpg").string()));
  Save();
  ASSERT_EQ(desktop_.errors.size(), 1);
  EXPECT_TRUE(desktop_.errors.front().contains(QStringLiteral("taken.jpg")));
  EXPECT_EQ(files::ReadWholeFile(path.toStdString()), before);
  EXPECT_TRUE(fs::is_directory(dir_ / "taken.jpg"));
  EXPECT_TRUE(form_.ulozitb->isEnabled());
  EXPECT_TRUE(form_.otevritb->isEnabled());
  EXPECT_TRUE(form_.sb->currentMessage().isEmpty());
  // The source deleted since the open: a clear message, nothing written.
  fs::remove(path.toStdString());
  desktop_.saveAnswers.push_back(QString::fromStdString((dir_ / "new.jpg").string()));
  Save();
  ASSERT_EQ(desktop_.errors.size(), 2);
  EXPECT_FALSE(fs::exists(dir_ / "new.jpg"));
  // ... or deleted while the save dialog asks for the name.
  DarkPhoto();
  Open(path);
  desktop_.whileSaveDialogShows = [&] { fs::remove(path.toStdString()); };
  desktop_.saveAnswers.push_back(QString::fromStdString((dir_ / "late.jpg").string()));
  Save();
  ASSERT_EQ(desktop_.errors.size(), 3);
  EXPECT_FALSE(fs::exists(dir_ / "late.jpg"));
  EXPECT_TRUE(form_.ulozitb->isEnabled());
}

TEST_F(MainWindow, SavingOverTheSourceThenSavingAgainBrightensTwice) {
  const QString path = DarkPhoto();
  Open(path);
  desktop_.saveAnswers.push_back(path);
  Save();
  const imaging::Bytes once = files::ReadWholeFile(path.toStdString());
  desktop_.saveAnswers.push_back(path);
  Save();
  EXPECT_TRUE(desktop_.errors.isEmpty());
  EXPECT_NE(files::ReadWholeFile(path.toStdString()), once);
}

// Scripts rely on the command line writing exactly what the window writes.
TEST_F(MainWindow, CommandLineWritesTheWindowsFileByteForByte) {
  struct Setting { int strength, boost, quality; bool shift; std::optional<int> threshold; };
  const Setting settings[] = {{15, 3, 85, false, std::nullopt}, {40, 0, 60, true, 90}, {150, 20, 100, false, 500}};
  const QString path = DarkPhoto();
  Open(path);
  int n = 0;
  for (const Setting& s : settings) {
    const std::string window = (dir_ / ("window" + std::to_string(n) + ".jpg")).string();
    const std::string cli = (dir_ / ("cli" + std::to_string(n++) + ".jpg")).string();
    form_.efektspin->SetValue(s.strength);
    form_.barupravaspin->SetValue(s.boost);
    form_.kompresespin->SetValue(s.quality);
    form_.hp945chb->setChecked(s.shift);
    if (s.threshold) {  // typed, then clamped as the focus leaves
      form_.rozsahspin->SetText(QString::number(*s.threshold));
      form_.rozsahspin->SetValue(form_.rozsahspin->Value());
    }
    desktop_.saveAnswers.push_back(QString::fromStdString(window));
    Save();
    std::vector<std::string> args = {"brighten", "--strength", std::to_string(s.strength), "--boost",
                                     std::to_string(s.boost), "--quality", std::to_string(s.quality)};
    if (s.shift) args.push_back("--shift");
    if (s.threshold) args.insert(args.end(), {"--threshold", std::to_string(*s.threshold)});
    args.insert(args.end(), {"-o", cli, path.toStdString()});
    const auto r = testsupport::RunCli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(files::ReadWholeFile(cli), files::ReadWholeFile(window)) << "setting " << n;
  }
}

// What the picture needs to be shown as taken travels with it: the colour
// profile and, for a turned photo, an EXIF segment with only its orientation;
// the camera data only when the save dialog's box is ticked. The command line
// writes the same files.
TEST_F(MainWindow, SavedPhotoCarriesProfileAndOrientationAndTheRestWhenAsked) {
  using namespace std::string_literals;
  exiftest::TiffBuilder tiff(exiftest::Order::Motorola);
  tiff.SetFirstIfd(tiff.Ifd({tiff.Ascii(0x0110, "Secret Camera"), tiff.Short(0x0112, {6})}));
  const std::string exif = "Exif\0\0"s + tiff.Bytes();
  const std::string xmp = "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>"s;
  // An RGB profile of 500 bytes in two segments.
  const std::string icc1 = "ICC_PROFILE\0\1\2"s + "\0\0\x01\xF4"s + std::string(12, 'a') + "RGB " + std::string(280, 'a');
  const std::string icc2 = "ICC_PROFILE\0\2\2"s + std::string(200, 'b');
  imaging::Bytes source = files::ReadWholeFile(DarkPhoto().toStdString());
  for (const auto& [marker, body] : {std::pair<std::uint8_t, std::string>{0xE2, icc2}, {0xE2, icc1}, {0xE1, xmp}, {0xE1, exif}}) {
    const std::string segment = exiftest::Segment(marker, body);
    source.insert(source.begin() + 2, segment.begin(), segment.end());
  }
  const std::string path = (dir_ / "turned.jpg").string();
  fixtures::WriteFile(path, source);
  Open(QString::fromStdString(path));

  for (const bool keep : {false, true}) {
    const std::string window = (dir_ / ("window" + std::to_string(keep) + ".jpg")).string();
    const std::string cli = (dir_ / ("cli" + std::to_string(keep) + ".jpg")).string();
    desktop_.keepMetadata = keep;
    desktop_.saveAnswers.push_back(QString::fromStdString(window));
    Save();
    ASSERT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
    std::vector<std::string> args = {"brighten", "-o", cli, path};
    if (keep) args.insert(args.begin() + 1, "--keep-metadata");
    const auto r = testsupport::RunCli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const imaging::Bytes saved = files::ReadWholeFile(window);
    EXPECT_EQ(files::ReadWholeFile(cli), saved) << "keep " << keep;

    std::vector<std::pair<int, std::string>> segments;
    imaging::ForEachHeaderSegment(saved, [&](int marker, std::span<const std::uint8_t> body) {
      segments.emplace_back(marker, std::string(body.begin(), body.end()));
    });
    ASSERT_GE(segments.size(), 4u);
    EXPECT_EQ(segments[0].first, 0xE0);  // JFIF first
    const imaging::Bytes orientation = imaging::OrientationSegment(6).body;
    const std::vector<std::pair<int, std::string>> carried(segments.begin() + 1, segments.begin() + 4 + keep);
    const std::vector<std::pair<int, std::string>> expected =
        keep ? std::vector<std::pair<int, std::string>>{{0xE1, exif}, {0xE1, xmp}, {0xE2, icc1}, {0xE2, icc2}}
             : std::vector<std::pair<int, std::string>>{
                   {0xE1, std::string(orientation.begin(), orientation.end())},
                   {0xE2, icc1},
                   {0xE2, icc2}};
    EXPECT_EQ(carried, expected) << "keep " << keep;

    exif::Reader reader;  // the saved photo read back as any reader would
    ASSERT_TRUE(reader.ProcessFile(window) && reader.Exif()) << reader.ErrorText();
    EXPECT_FALSE(reader.Exif()->TagText("Orientation").empty());
    EXPECT_EQ(reader.Exif()->Model().empty(), !keep);
  }
}

TEST_F(MainWindow, OpensRealCameraPhotos) {
  for (const char* name : {"canon_eos_40d_small.jpg", "grayscale_orientation1_tiny.jpg",
                           "panasonic_dmc_lc70_progressive.jpg", "cmyk_multiple_icc_segments_mm.jpg"}) {
    const fs::path p = testsupport::Sample(name);
    if (!fs::exists(p)) GTEST_SKIP() << "samples not available";
    Open(QString::fromStdString(p.string()));
    EXPECT_TRUE(desktop_.errors.isEmpty()) << name << ": " << desktop_.errors.join("; ").toStdString();
    EXPECT_TRUE(form_.windowTitle().endsWith(QString::fromLatin1(name)));
  }
}

// Every file of the sample collection and the fuzz regression corpora: the
// window either opens it or says why not, and stays usable; nothing is
// written next to the files.
TEST_F(MainWindow, EveryCorpusFileOpensOrIsRefusedCleanly) {
  std::vector<fs::path> files;
  for (const fs::path& dir : {testsupport::SamplesDir(), fs::path(PROSVITEK_SOURCE_DIR) / "fuzz" / "regressions"})
    for (const fs::path& f : testsupport::InputFilesUnder(dir)) files.push_back(f);
  if (files.empty()) GTEST_SKIP() << "no corpus available";
  std::map<fs::path, fs::file_time_type> before;
  for (const fs::path& f : files) before[f] = fs::last_write_time(f);
  for (const fs::path& f : files) {
    const qsizetype errorsBefore = desktop_.errors.size();
    Open(QString::fromStdString(f.string()));
    const bool opened = form_.windowTitle() == QStringLiteral("prosvitek - ") + QString::fromStdString(f.string());
    EXPECT_TRUE(opened || desktop_.errors.size() == errorsBefore + 1) << f;
    if (!opened) {
      EXPECT_FALSE(desktop_.errors.back().isEmpty()) << f;
    }
    EXPECT_TRUE(form_.otevritb->isEnabled()) << f;
    if (opened) QTest::mouseClick(form_.prepocitatb, Qt::LeftButton);
  }
  for (const auto& [f, time] : before) EXPECT_EQ(fs::last_write_time(f), time) << f;
}

imaging::Raster Noise(int width, int height) {
  return fixtures::MakeRaster(width, height, [](int x, int y) {
    const unsigned h = static_cast<unsigned>(x * 7919 + y * 104729) * 2654435761u;
    return MakeColour(h & 255, (h >> 8) & 127, (h >> 16) & 63);
  });
}

// A photo whose data ends early opens and saves as far as it decodes, and
// the status bar says so.
TEST_F(MainWindow, DamagedPhotoIsOpenedAndSavedWithAWarning) {
  imaging::Bytes bytes = imaging::EncodeJpeg(Noise(300, 200), 90, false);
  bytes.resize(bytes.size() / 2);
  const fs::path cut = dir_ / "cut.jpg", target = dir_ / "out.jpg";
  fixtures::WriteFile(cut.string(), bytes);
  Open(QString::fromStdString(cut.string()));
  EXPECT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
  EXPECT_TRUE(form_.ulozitb->isEnabled());
  const QString warning = QStringLiteral("Fotka je neúplná");
  EXPECT_TRUE(form_.sb->currentMessage().startsWith(warning)) << form_.sb->currentMessage().toStdString();
  EXPECT_TRUE(form_.sb->currentMessage().contains(QStringLiteral("Premature end of JPEG file")));
  // The save asks first; "no" writes nothing.
  for (const bool yes : {false, true}) {
    desktop_.answers.push_back(yes);
    if (yes) desktop_.saveAnswers.push_back(QString::fromStdString(target.string()));
    Save();
    ASSERT_EQ(desktop_.questions.size(), yes ? 2 : 1);
    EXPECT_TRUE(desktop_.questions.back().startsWith(QStringLiteral("Fotka je neúplná. Uložit i tak?")));
    EXPECT_EQ(fs::exists(target), yes);
  }
  EXPECT_TRUE(form_.sb->currentMessage().startsWith(QStringLiteral("Uloženo: out.jpg")));
  EXPECT_TRUE(form_.sb->currentMessage().contains(warning)) << form_.sb->currentMessage().toStdString();
}

using MainWindowThreads = MainWindow;

// A setting typed while the save runs applies from a step of 16 rows on:
// the file is the single-threaded pass's with the change at one step.
TEST_F(MainWindowThreads, SettingChangedDuringTheSaveAppliesFromAStep) {
  const QString path = Photo("steps.jpg", fixtures::MakeRaster(320, 480, [](int x, int y) {
                                return MakeColour((x + y) % 160, x % 140 + y % 60, y % 120);
                              }));
  Open(path);
  const imaging::BrightenSettings before = Settings();
  const fs::path target = dir_ / "out.jpg";
  desktop_.saveAnswers.push_back(QString::fromStdString(target.string()));
  QTest::mouseClick(form_.ulozitb, Qt::LeftButton);
  form_.rozsahspin->SetText(QString::number(before.threshold - 40));
  const imaging::BrightenSettings after = Settings();
  Settle();
  ASSERT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
  const imaging::Bytes saved = files::ReadWholeFile(target.string());
  int step = -1;
  for (int k = 0; k <= 480 / imaging::kRowsPerStep && step < 0; ++k)
    if (saved == fixtures::ReferenceRender(path.toStdString(), imaging::ExponentFor(15), [&](int y, int) {
          return y / imaging::kRowsPerStep < k ? before : after;
        }, 85))
      step = k;
  EXPECT_GE(step, 0) << "no step of the single-threaded pass gives the file";
}

// The file is encoded at the quality shown when the name is confirmed, also
// when it was changed during the pass or while the dialog showed.
TEST_F(MainWindowThreads, QualityChangedBeforeTheNameIsConfirmedIsTheOneWritten) {
  const QString path = DarkPhoto();
  Open(path);
  const imaging::BrightenSettings s = Settings();
  for (const bool duringThePass : {true, false}) {
    form_.kompresespin->SetValue(85);
    const fs::path target = dir_ / (duringThePass ? "pass.jpg" : "dialog.jpg");
    desktop_.saveAnswers.push_back(QString::fromStdString(target.string()));
    desktop_.whileSaveDialogShows = [&] {
      if (!duringThePass) form_.kompresespin->SetValue(40);
    };
    QTest::mouseClick(form_.ulozitb, Qt::LeftButton);
    if (duringThePass) form_.kompresespin->SetValue(60);
    Settle();
    EXPECT_EQ(files::ReadWholeFile(target.string()),
              fixtures::ReferenceRender(path.toStdString(), imaging::ExponentFor(15), [&](int, int) { return s; },
                                        duringThePass ? 60 : 40))
        << (duringThePass ? "during the pass" : "in the dialog");
  }
  EXPECT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
}

// The window's thread only starts a pass, which goes on while the window
// does; closing the window stops an open or a save at once: nothing is
// written, no temporary file is left, no message shows.
TEST_F(MainWindowThreads, ClosingTheWindowStopsThePass) {
  const QString path = Photo("big.jpg", Noise(2400, 1600));
  for (const bool saving : {false, true}) {
    TForm1 form(desktop_.platform());
    desktop_.openAnswers.push_back(path);
    QTest::mouseClick(form.otevritb, Qt::LeftButton);
    if (saving) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return !form.PassRunning(); }, 60000));
      desktop_.saveAnswers.push_back(QString::fromStdString((dir_ / "out.jpg").string()));
      QTest::mouseClick(form.ulozitb, Qt::LeftButton);
    }
    EXPECT_TRUE(form.PassRunning());
    EXPECT_FALSE(form.otevritb->isEnabled());
    form.close();
    EXPECT_FALSE(form.Session().Busy());
    QTest::qWait(50);  // a result already on its way must not arrive
    EXPECT_TRUE(desktop_.errors.isEmpty()) << desktop_.errors.join("; ").toStdString();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
    desktop_.saveAnswers.clear();
  }
}

TEST_F(MainWindow, HelpAndAboutActions) {
  Toprogramuf about(desktop_.platform());
  Texifform details(desktop_.platform());
  form_.SetSecondaryWindows(&about, &details);
  QTest::mouseClick(form_.napovedab, Qt::LeftButton);
  EXPECT_TRUE(desktop_.opened.isEmpty());  // no help beside this executable: a message says so
  ASSERT_EQ(desktop_.errors.size(), 1);
  EXPECT_TRUE(desktop_.errors.front().contains(QStringLiteral("/opt/prosvitek/bin/pvnapoveda.html")));
  EXPECT_FALSE(about.isVisible());
  QTest::mouseClick(form_.oprogramub, Qt::LeftButton);
  EXPECT_TRUE(about.isVisible());
  EXPECT_EQ(about.windowTitle(), QStringLiteral("O programu"));
  EXPECT_FALSE(details.isVisible());
}

}  // namespace
