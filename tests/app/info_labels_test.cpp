#include "app/main_window.h"

#include "exif_builder.h"
#include "reference.h"
#include "prosvitek/imaging/jpeg_codec.h"
#include "jpeg_fixtures.h"

#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using exiftest::Order;
using exiftest::TiffBuilder;

// A decodable photo with an EXIF block; withFocalLength and withIso false drop
// those tags, so that the later summary lines move up; withFNumber false leaves
// the APEX aperture 4 (f/4) alone.
imaging::Bytes CameraPhoto(bool withFocalLength, const std::string& model = "EOS Test", bool withIso = true,
                           std::pair<int32_t, int32_t> exposure = {1, 60}, bool withFNumber = true) {
  TiffBuilder tiff(Order::Motorola);
  std::vector<exiftest::Field> exifFields = {tiff.Rational(0x829A, {exposure}),
                                             tiff.Rational(0x9202, {{4, 1}})};
  if (withFNumber) exifFields.push_back(tiff.Rational(0x829D, {{28, 10}}));
  if (withIso) exifFields.push_back(tiff.Short(0x8827, {100}));
  if (withFocalLength) exifFields.push_back(tiff.Rational(0x920A, {{50, 1}}));
  exifFields.push_back(tiff.Short(0x9209, {25}));
  const uint32_t exifIfd = tiff.Ifd(exifFields);
  const uint32_t ifd0 = tiff.Ifd({tiff.Ascii(0x010F, "Canon"), tiff.Ascii(0x0110, model), tiff.Long(0x8769, {exifIfd})});
  tiff.SetFirstIfd(ifd0);
  const std::string app1 = exiftest::ExifSegment(tiff.Bytes());
  imaging::Bytes jpeg = imaging::EncodeJpeg(
      fixtures::MakeRaster(40, 30, [](int x, int y) { return imaging::MakeColour(x * 6, y * 8, 90); }), 90, false);
  jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
  return jpeg;
}

class InfoLabels : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("prosvitek-info-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    platform_.chooseOpenFile = [this](QWidget*) { return next_; };
    platform_.chooseSaveFile = [](QWidget*, const QString&) { return SaveChoice{}; };
    platform_.showError = [this](QWidget*, const QString& m) { errors_ << m; };
    platform_.openUrl = [](const QUrl&) { return true; };
    platform_.executableFolder = [] { return QString(); };
    form_ = std::make_unique<TForm1>(platform_);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  std::string Write(const std::string& name, const imaging::Bytes& bytes) {
    fixtures::WriteFile((dir_ / name).string(), bytes);
    return (dir_ / name).string();
  }
  void Open(const std::string& path) {
    next_ = QString::fromStdString(path);
    QTest::mouseClick(form_->otevritb, Qt::LeftButton);
    // The open runs on worker threads; its end arrives through the event loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form_->PassRunning(); }, 60000));
  }

  fs::path dir_;
  Platform platform_;
  QString next_;
  QStringList errors_;
  std::unique_ptr<TForm1> form_;
};

TEST_F(InfoLabels, ShowSizeAndSummaryValuesWithTheSummarysOwnBlank) {
  const imaging::Bytes photo = CameraPhoto(true);
  Open(Write("camera.jpg", photo));
  ASSERT_TRUE(errors_.isEmpty()) << errors_.join("; ").toStdString();
  EXPECT_EQ(form_->velikostl->text(), QStringLiteral("Velikost: %1 B").arg(photo.size()));
  EXPECT_EQ(form_->casl->text(), QStringLiteral("Čas:  1/60 sec"));
  EXPECT_EQ(form_->clonal->text(), QStringLiteral("Clona:  F2.8"));
  EXPECT_EQ(form_->isol->text(), QStringLiteral("ISO:  100"));
  EXPECT_EQ(form_->bleskl->text(), QStringLiteral("Blesk:  Yes"));
  EXPECT_EQ(form_->pristrojl->text(), QStringLiteral("Foťák: EOS Test"));
}

// Each label shows its own value, whichever summary lines are missing: a photo
// without ISO shows an empty ISO label, not the next line's value.
TEST_F(InfoLabels, EachLabelShowsItsOwnValueWhateverIsMissing) {
  struct Case {
    bool focal, iso;
    const char* isoLabel;
  };
  for (const Case& c : {Case{false, true, "ISO:  100"}, Case{true, false, "ISO: "}, Case{false, false, "ISO: "}}) {
    Open(Write("partial.jpg", CameraPhoto(c.focal, "EOS Test", c.iso)));
    EXPECT_EQ(form_->casl->text(), QStringLiteral("Čas:  1/60 sec"));
    EXPECT_EQ(form_->clonal->text(), QStringLiteral("Clona:  F2.8"));
    EXPECT_EQ(form_->isol->text(), QString::fromUtf8(c.isoLabel));
    EXPECT_EQ(form_->bleskl->text(), QStringLiteral("Blesk:  Yes"));
  }
}

TEST_F(InfoLabels, ShowValuesAsAPhotographerReadsThem) {
  Open(Write("padded.jpg", CameraPhoto(true, "E-1             ", false, {10, 4699}, false)));
  EXPECT_EQ(form_->casl->text(), QStringLiteral("Čas:  1/470 sec"));
  EXPECT_EQ(form_->clonal->text(), QStringLiteral("Clona:  F4.0"));
  EXPECT_EQ(form_->pristrojl->text(), QStringLiteral("Foťák: E-1"));
}

TEST_F(InfoLabels, PhotoWithoutExifKeepsThePlaceholders) {
  Open(Write("camera.jpg", CameraPhoto(true)));
  const imaging::Bytes plain =
      imaging::EncodeJpeg(fixtures::MakeRaster(8, 8, [](int, int) { return 0x404040u; }), 90, false);
  Open(Write("plain.jpg", plain));
  EXPECT_EQ(form_->velikostl->text(), QStringLiteral("Velikost: %1 B").arg(plain.size()));
  for (QLabel* l : {form_->casl, form_->clonal, form_->isol, form_->bleskl, form_->pristrojl})
    EXPECT_TRUE(l->text().endsWith(QStringLiteral("???"))) << l->objectName().toStdString();
  EXPECT_TRUE(form_->ulozitb->isEnabled());
}

TEST_F(InfoLabels, ReadOnlyPhotoOpensAndShowsItsSize) {
  const std::string path = Write("readonly.jpg", CameraPhoto(true));
  ::chmod(path.c_str(), 0444);
  ::chmod(dir_.c_str(), 0555);
  Open(path);
  EXPECT_TRUE(errors_.isEmpty()) << errors_.join("; ").toStdString();
  EXPECT_TRUE(form_->velikostl->text().endsWith(QStringLiteral(" B")));
  EXPECT_EQ(form_->casl->text(), QStringLiteral("Čas:  1/60 sec"));
  EXPECT_TRUE(form_->podrobnostil->isEnabled());
}

TEST_F(InfoLabels, LongModelIsCutTo47Characters) {
  Open(Write("long.jpg", CameraPhoto(true, std::string(40, 'M'))));
  EXPECT_EQ(form_->pristrojl->text().size(), 47);
}

}  // namespace
