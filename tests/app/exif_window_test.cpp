#include "app/exif_window.h"

#include "app/help.h"

#include "app/about_window.h"
#include "app/main_window.h"
#include "exif_builder.h"
#include "reference.h"
#include "prosvitek/imaging/jpeg_codec.h"
#include "jpeg_fixtures.h"

#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using exiftest::Order;
using exiftest::TiffBuilder;

// A decodable photo carrying an EXIF segment with the given make, model and comment.
imaging::Bytes PhotoWithExif(const std::string& make, const std::string& model, const std::string& comment = "") {
  TiffBuilder tiff(Order::Intel);
  std::vector<exiftest::Field> fields = {tiff.Ascii(0x010F, make), tiff.Ascii(0x0110, model)};
  if (!comment.empty()) fields.push_back(tiff.Undefined(0x9286, std::string("ASCII\0\0\0", 8) + comment));
  tiff.Ifd(fields);
  const std::string app1 = exiftest::ExifSegment(tiff.Bytes());
  imaging::Bytes jpeg = imaging::EncodeJpeg(
      fixtures::MakeRaster(32, 24, [](int x, int y) { return imaging::MakeColour(x * 8, y * 10, 60); }), 90, false);
  jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
  return jpeg;
}

class DetailsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("prosvitek-details-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    platform_.chooseOpenFile = [this](QWidget*) { return next_; };
    platform_.chooseSaveFile = [](QWidget*, const QString&) { return SaveChoice{}; };
    platform_.showError = [this](QWidget*, const QString& m) { errors_ << m; };
    platform_.openUrl = [this](const QUrl& u) {
      opened_ << u;
      return true;
    };
    platform_.executableFolder = [] { return QString(); };
    form_ = std::make_unique<TForm1>(platform_);
    about_ = std::make_unique<Toprogramuf>(platform_);
    details_ = std::make_unique<Texifform>(platform_);
    form_->SetSecondaryWindows(about_.get(), details_.get());
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Open(const std::string& name, const imaging::Bytes& bytes) {
    fixtures::WriteFile((dir_ / name).string(), bytes);
    next_ = QString::fromStdString((dir_ / name).string());
    QTest::mouseClick(form_->otevritb, Qt::LeftButton);
    // The open runs on worker threads; its end arrives through the event loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form_->PassRunning(); }, 60000));
    ASSERT_TRUE(errors_.isEmpty()) << errors_.join("; ").toStdString();
  }
  QString Memo() const { return details_->exifmemo->toPlainText(); }

  fs::path dir_;
  Platform platform_;
  QString next_;
  QStringList errors_;
  QList<QUrl> opened_;
  std::unique_ptr<TForm1> form_;
  std::unique_ptr<Toprogramuf> about_;
  std::unique_ptr<Texifform> details_;
};

TEST_F(DetailsWindow, ShowsTheTraceOfThePhotoThatIsOpen) {
  Open("first.jpg", PhotoWithExif("FirstMaker", "One"));
  EXPECT_FALSE(details_->isVisible());
  QTest::mouseClick(form_->podrobnostil, Qt::LeftButton);
  ASSERT_TRUE(details_->isVisible());
  EXPECT_TRUE(Memo().startsWith(QStringLiteral("Make = FirstMaker"))) << Memo().toStdString();
  EXPECT_TRUE(Memo().contains(QStringLiteral("Model = One")));

  // Left open while another photo is opened: it follows, showing the second photo's trace.
  Open("second.jpg", PhotoWithExif("SecondMaker", "Two"));
  EXPECT_TRUE(Memo().startsWith(QStringLiteral("Make = SecondMaker"))) << Memo().toStdString();
  EXPECT_TRUE(details_->windowTitle().endsWith(QStringLiteral("second.jpg")));

  // Closed and shown again: still the photo that is open.
  details_->close();
  EXPECT_FALSE(details_->isVisible());
  QTest::mouseClick(form_->podrobnostil, Qt::LeftButton);
  EXPECT_TRUE(Memo().startsWith(QStringLiteral("Make = SecondMaker"))) << Memo().toStdString();

  // A photo without EXIF data leaves the memo empty.
  details_->close();
  Open("plain.jpg", imaging::EncodeJpeg(fixtures::MakeRaster(8, 8, [](int, int) { return 0u; }), 90, false));
  QTest::mouseClick(form_->podrobnostil, Qt::LeftButton);
  EXPECT_TRUE(Memo().isEmpty()) << Memo().toStdString();
}

// A value's control characters show as escapes: a comment cannot start a line of its own.
TEST_F(DetailsWindow, AValueCannotForgeATraceLine) {
  Open("forged.jpg", PhotoWithExif("Maker", "One", "Hi\x1b[2J\r\nModel = Forged"));
  QTest::mouseClick(form_->podrobnostil, Qt::LeftButton);
  EXPECT_TRUE(Memo().contains(QStringLiteral("User Comment = Hi\\x1B[2J\\r\\nModel = Forged"))) << Memo().toStdString();
  EXPECT_EQ(Memo().count(QStringLiteral("Model = ")), 2);  // the real line and the escaped text
  EXPECT_FALSE(Memo().contains(QChar(0x1B)));
}

TEST_F(DetailsWindow, WindowsHaveTheirCaptionsSizesAndLinks) {
  EXPECT_EQ(details_->windowTitle(), QStringLiteral("Exif podrobnosti"));
  EXPECT_EQ(details_->size(), QSize(192, 443));
  EXPECT_TRUE(details_->Label1->text().startsWith(QStringLiteral("Čtení exif pomocí knihovny ")));
  EXPECT_TRUE(details_->Label2->text().startsWith(QStringLiteral("autor: ")));
  QTest::mouseClick(details_->Label3, Qt::LeftButton);
  EXPECT_EQ(about_->windowTitle(), QStringLiteral("O programu"));
  EXPECT_EQ(about_->size(), QSize(283, 141));
  EXPECT_EQ(about_->Label3->text(), QStringLiteral("28. 03. 2004"));
  EXPECT_EQ(about_->Label1->text(), QStringLiteral("Domovská stránka:"));
  QTest::mouseClick(about_->Label5, Qt::LeftButton);
  QTest::mouseClick(about_->Label12, Qt::LeftButton);
  ASSERT_EQ(opened_.size(), 3);
  // The captions are the addresses the clicks open, shown without the scheme.
  EXPECT_TRUE(opened_[0].toString().contains(details_->Label3->text())) << opened_[0].toString().toStdString();
  EXPECT_EQ(opened_[1].scheme(), QStringLiteral("mailto"));
  EXPECT_EQ(opened_[1].path(), about_->Label5->text());
  EXPECT_TRUE(opened_[2].toString().contains(about_->Label12->text()));
  EXPECT_EQ(opened_[2].scheme(), QStringLiteral("https"));
}

}  // namespace

namespace {

// The help is looked up beside the executable, whatever the working folder,
// and in the shared data folder of an installed copy.
TEST(HelpFile, FoundBesideTheExecutableOrInItsSharedFolder) {
  const fs::path root = fs::temp_directory_path() / ("prosvitek-help-" + std::to_string(::getpid()));
  fs::create_directories(root / "bin");
  fs::create_directories(root / "share" / "prosvitek");
  Platform p;
  p.executableFolder = [&] { return QString::fromStdString((root / "bin").string()); };
  const QString beside = QString::fromStdString((root / "bin" / "pvnapoveda.html").string());
  const QString shared = QString::fromStdString((root / "share" / "prosvitek" / "pvnapoveda.html").string());
  EXPECT_EQ(HelpFilePath(p), beside);  // neither exists: beside, and the open fails silently
  fixtures::WriteFile(shared.toStdString(), {'<'});
  EXPECT_EQ(HelpFilePath(p), shared);
  fixtures::WriteFile(beside.toStdString(), {'<'});
  EXPECT_EQ(HelpFilePath(p), beside);
  const fs::path cwd = fs::current_path();
  fs::current_path(fs::temp_directory_path());
  EXPECT_EQ(HelpFilePath(p), beside);
  fs::current_path(cwd);
  fs::remove_all(root);
}

}  // namespace
