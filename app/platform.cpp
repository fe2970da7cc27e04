#include "platform.h"

#include "native_path.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QTranslator>

#include <sys/stat.h>

namespace {

const QString kOpenFolderKey = QStringLiteral("dialogs/openFolder");
const QString kSaveFolderKey = QStringLiteral("dialogs/saveFolder");
const QString kKeepMetadataKey = QStringLiteral("dialogs/keepMetadata");

// A remembered folder, if it still exists.
QString RememberedFolder(const QString& key) {
  const QString folder = ProgramSettings()->value(key).toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

QString ChooseOpenFile(QWidget* parent) {
  // Camera files are often named in capitals; the desktop's names are case-sensitive.
  const QString path = QFileDialog::getOpenFileName(parent, QString(), RememberedFolder(kOpenFolderKey),
                                                    QStringLiteral("jpeg fotky (*.jpg *.JPG *.jpeg *.JPEG)"));
  if (!path.isEmpty()) ProgramSettings()->setValue(kOpenFolderKey, QFileInfo(path).absolutePath());
  return path;
}

// The save dialog. A name typed without an extension gets ".jpg". An
// existing file is replaced only after a question, asked here so that "no"
// keeps the dialog open, except for the source photo itself: the window
// asks its own question about that one, naming what would be lost.
class SaveDialog : public QFileDialog {
 public:
  SaveDialog(QWidget* parent, QString sourcePath) : QFileDialog(parent), source_(std::move(sourcePath)) {}

  void accept() override {
    const QStringList chosen = selectedFiles();
    if (chosen.size() == 1) {
      const QFileInfo target(chosen.constFirst());
      if (target.exists() && !target.isDir() && !SameFile(target.filePath(), source_)) {
        QMessageBox box(QMessageBox::Warning, windowTitle(),
                        QFileDialog::tr("%1 already exists.\nDo you want to replace it?").arg(target.fileName()),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes) return;
      }
    }
    QFileDialog::accept();
  }

 private:
  QString source_;
};

SaveChoice ChooseSaveFile(QWidget* parent, const QString& sourcePath) {
  const std::unique_ptr<QSettings> settings = ProgramSettings();
  SaveDialog dialog(parent, sourcePath);
  dialog.setObjectName(QStringLiteral("SavePictureDialog1"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);   // a desktop's own dialog takes no check box
  dialog.setOption(QFileDialog::DontConfirmOverwrite);  // asked in accept()
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QStringLiteral("JPEG Image File (*.jpg)"));
  dialog.setDefaultSuffix(QStringLiteral("jpg"));
  const QFileInfo suggested(SuggestedSaveName(sourcePath));
  QString folder = suggested.absolutePath();
  if (!QFileInfo(folder).isDir()) folder = RememberedFolder(kSaveFolderKey);
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  dialog.selectFile(suggested.fileName());

  auto* keep = new QCheckBox(QStringLiteral("zachovat metadata"), &dialog);
  keep->setObjectName(QStringLiteral("keepMetadata"));
  keep->setToolTip(QStringLiteral("Přenést do uložené fotky údaje EXIF, XMP a IPTC a komentář původní fotky"));
  keep->setChecked(settings->value(kKeepMetadataKey, false).toBool());
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) grid->addWidget(keep, grid->rowCount(), 0, 1, -1);

  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  SaveChoice choice{dialog.selectedFiles().constFirst(), keep->isChecked()};
  settings->setValue(kSaveFolderKey, QFileInfo(choice.path).absolutePath());
  settings->setValue(kKeepMetadataKey, choice.keepMetadata);
  return choice;
}

void ShowError(QWidget* parent, const QString& message) {
  // Messages quote file names, which must never be read as markup.
  QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), message, QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool Ask(QWidget* parent, const QString& question) {
  QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), question,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace

std::unique_ptr<QSettings> ProgramSettings() {
  return std::make_unique<QSettings>(QStringLiteral("prosvitek"), QStringLiteral("prosvitek"));
}

QString SuggestedSaveName(const QString& sourcePath) {
  const QFileInfo source(DisplayPath(sourcePath));
  return source.dir().filePath(source.completeBaseName() + QStringLiteral("-prosvitek.jpg"));
}

QString WithJpegExtension(const QString& path) {
  return path.isEmpty() || !QFileInfo(path).suffix().isEmpty() ? path : path + QStringLiteral(".jpg");
}

bool SameFile(const QString& a, const QString& b) {
  struct stat sa {
  }, sb{};
  return ::stat(NativePath(a).c_str(), &sa) == 0 && ::stat(NativePath(b).c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool LoadQtTranslations(QTranslator& translator, const QLocale& locale) {
  return translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

Platform DesktopPlatform() {
  Platform p;
  p.chooseOpenFile = ChooseOpenFile;
  p.chooseSaveFile = ChooseSaveFile;
  p.showError = ShowError;
  p.ask = Ask;
  p.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  p.executableFolder = [] { return QCoreApplication::applicationDirPath(); };
  return p;
}
