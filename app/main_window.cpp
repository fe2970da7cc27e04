#include "main_window.h"

#include "about_window.h"
#include "compare_window.h"
#include "exif_window.h"
#include "help.h"
#include "icons.h"
#include "info_labels.h"
#include "native_path.h"
#include "prosvitek/imaging/errors.h"
#include "prosvitek/imaging/histogram_chart.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QSettings>

namespace {

constexpr int kClientWidth = 747;
constexpr int kClientHeight = 443;

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}

// A label from left to right whose text is fitted into that width.
QLabel* MakeFitLabel(QWidget* parent, const QString& text, int left, int top, int right,
                     Qt::Alignment align = Qt::AlignLeft) {
  auto* label = new TFitLabel(text, parent);
  label->setAlignment(align | Qt::AlignVCenter);
  label->setGeometry(left, top, right - left, label->sizeHint().height());
  return label;
}

QFrame* MakeFrame(QWidget* parent, int left, int top, int width, int height, QFrame::Shape shape,
                  QFrame::Shadow shadow) {
  auto* frame = new QFrame(parent);
  frame->setFrameShape(shape);
  frame->setFrameShadow(shadow);
  frame->setGeometry(left, top, width, height);
  return frame;
}

QString ColourComponents(const imaging::PixelSample& p) {
  return QStringLiteral("%1x%2x%3").arg(p.Red).arg(p.Green).arg(p.Blue);
}

QString Position(const imaging::PixelSample& p) { return QStringLiteral("%1x%2").arg(p.X).arg(p.Y); }

// A change of the controls reaches the preview after this much quiet, so
// that typing "150" renders once, not three times.
constexpr int kPreviewDelayMs = 15;

const QString kRecentKey = QStringLiteral("photos/recent");
constexpr int kRecentCount = 10;

// A file size as people read it: "834 kB", "2,4 MB".
QString SizeText(qulonglong bytes) {
  if (bytes < 1024) return QStringLiteral("%1 B").arg(bytes);
  if (bytes < 1024 * 1024) return QStringLiteral("%1 kB").arg((bytes + 512) / 1024);
  return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1).replace(QLatin1Char('.'), QLatin1Char(',')) +
         QStringLiteral(" MB");
}

QString FileName(const QString& path) { return QFileInfo(DisplayPath(path)).fileName(); }

}  // namespace

TForm1::TForm1(Platform platform, QWidget* parent) : QWidget(parent), platform_(std::move(platform)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("prosvitek"));
  setFixedSize(kClientWidth, kClientHeight);  // a fixed single border
  setAutoFillBackground(true);
  setAcceptDrops(true);
  setWindowIcon(PictureIcon(Picture::Window));
  BuildControls();
  BindKeys();

  session_ = new PhotoSession(this);
  connect(session_, &PhotoSession::progress, this, &TForm1::OnProgress);
  connect(session_, &PhotoSession::opened, this, &TForm1::OnOpened);
  connect(session_, &PhotoSession::rendered, this, &TForm1::OnRendered);
  connect(session_, &PhotoSession::written, this, &TForm1::OnWritten);
  connect(session_, &PhotoSession::failed, this, &TForm1::OnFailed);
  previewTimer_.setSingleShot(true);
  previewTimer_.setInterval(kPreviewDelayMs);
  connect(&previewTimer_, &QTimer::timeout, this, &TForm1::RefreshPreview);
  for (TSpinEdit* spin : {efektspin, rozsahspin, barupravaspin})
    connect(spin->editor(), &QLineEdit::textChanged, this, &TForm1::ControlsChanged);
  connect(hp945chb, &QCheckBox::toggled, this, &TForm1::ControlsChanged);
  connect(prosvitekchb, &QCheckBox::toggled, this, &TForm1::ControlsChanged);
  PublishControls();
}

TForm1::~TForm1() = default;

void TForm1::BuildControls() {
  // Previews in sunken frames.
  MakeFrame(this, 5, 5, 325, 245, QFrame::Panel, QFrame::Sunken);
  MakeFrame(this, 421, 5, 325, 245, QFrame::Panel, QFrame::Sunken);
  Image1 = new TImage(this);
  Image1->setGeometry(7, 7, 320, 240);
  Image2 = new TImage(this);
  Image2->setGeometry(423, 7, 320, 240);
  const QString compareTip = QStringLiteral("Dvojklik: porovnat před a po ve velkém okně");
  Image1->setToolTip(compareTip);
  Image2->setToolTip(compareTip);

  auto button = [&](const QString& caption, int top, Picture picture) {
    auto* b = new QPushButton(PictureIcon(picture), caption, this);
    b->setGeometry(333, top, 85, 25);
    b->setIconSize(QSize(12, 12));
    return b;
  };
  otevritb = button(QStringLiteral("otevřít"), 5, Picture::Open);
  prepocitatb = button(QStringLiteral("přepočítat"), 85, Picture::Recompute);
  porovnatb = button(QStringLiteral("Porovnat"), 117, Picture::Compare);
  ulozitb = button(QStringLiteral("uložit jako"), 160, Picture::Save);
  napovedab = button(QStringLiteral("Nápověda"), 192, Picture::Help);
  oprogramub = button(QStringLiteral("O programu"), 224, Picture::About);
  QFont bold = napovedab->font();
  bold.setBold(true);
  napovedab->setFont(bold);
  prepocitatb->setEnabled(false);
  porovnatb->setEnabled(false);
  ulozitb->setEnabled(false);
  prepocitatb->setToolTip(QStringLiteral("Náhled se přepočítává sám při každé změně nastavení (F5)"));
  porovnatb->setToolTip(QStringLiteral("Porovnat před a po ve velkém okně (Ctrl+P)"));

  // The photos opened last, under the open button.
  nedavneb = new QToolButton(this);
  nedavneb->setText(QStringLiteral("nedávné"));
  nedavneb->setToolTip(QStringLiteral("Naposledy otevřené fotky"));
  nedavneb->setPopupMode(QToolButton::InstantPopup);
  nedavneb->setToolButtonStyle(Qt::ToolButtonTextOnly);
  nedavneb->setGeometry(333, 32, 85, 20);
  auto* recent = new QMenu(nedavneb);
  recent->setObjectName(QStringLiteral("nedavnemenu"));
  nedavneb->setMenu(recent);
  connect(recent, &QMenu::aboutToShow, this, &TForm1::FillRecentMenu);
  nedavneb->setEnabled(!RecentPhotos().isEmpty());

  MakeFrame(this, 5, 252, 740, 2, QFrame::HLine, QFrame::Raised);

  // Analysis panel.
  MakeFrame(this, 5, 256, 155, 145, QFrame::Box, QFrame::Sunken);
  const struct {
    int top;
    const char* caption;
    QLabel** value;
  } results[] = {
      {264, "Min:", &jasminl},        {280, "Barva (Tcolor)", &cminl}, {296, "Složky", &slozkyminl},
      {312, "Pozice:", &poziceminl},  {336, "Max", &jasmaxl},          {352, "Barva (Tcolor)", &cmaxl},
      {368, "Složky", &slozkymaxl},   {384, "Pozice:", &pozicemaxl},
  };
  for (const auto& r : results) {
    MakeLabel(this, QString::fromUtf8(r.caption), 8, r.top);
    *r.value = MakeFitLabel(this, QStringLiteral("#"), 88, r.top, 158);
  }

  // Summary panel.
  MakeFrame(this, 160, 256, 145, 145, QFrame::Box, QFrame::Sunken);
  MakeFrame(this, 160, 296, 145, 2, QFrame::HLine, QFrame::Sunken);
  rozlisenil = MakeFitLabel(this, QString(), 168, 264, 302);
  velikostl = MakeFitLabel(this, QString(), 168, 280, 302);
  constexpr int kBesideExif = 288;  // the "E x i f" caption stands to the right
  casl = MakeFitLabel(this, QString(), 168, 305, kBesideExif);
  clonal = MakeFitLabel(this, QString(), 168, 320, kBesideExif);
  isol = MakeFitLabel(this, QString(), 168, 335, kBesideExif);
  bleskl = MakeFitLabel(this, QString(), 168, 350, kBesideExif);
  pristrojl = MakeFitLabel(this, QString(), 168, 365, kBesideExif);
  podrobnostil = new TLinkLabel(QStringLiteral("Podrobnosti"), Qt::red, this);
  podrobnostil->move(168, 383);
  podrobnostil->adjustSize();
  podrobnostil->setEnabled(false);
  ResetSummaryLabels();

  auto* exif = new QLabel(QStringLiteral("E x i f"), this);
  QFont exifFont = exif->font();
  exifFont.setBold(true);
  exifFont.setPointSize(10);
  exif->setFont(exifFont);
  QPalette red = exif->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  exif->setPalette(red);
  exif->setWordWrap(true);  // one letter under another
  exif->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  exif->setGeometry(290, 300, 12, 64);

  // Settings panel.
  MakeFrame(this, 305, 256, 175, 145, QFrame::Box, QFrame::Sunken);
  auto spin = [&](int top, int min, int max, int value) {
    auto* s = new TSpinEdit(this);
    s->setGeometry(427, top, 50, 22);
    s->SetMinValue(min);
    s->SetMaxValue(max);
    s->SetValue(value);
    s->SetDefaultValue(value);
    return s;
  };
  // Captions end just left of their spin controls, whatever the font's width.
  auto caption = [&](const char* text, int top) {
    MakeFitLabel(this, QString::fromUtf8(text), 308, top, 424, Qt::AlignRight);
  };
  caption("Efekt:", 265);
  efektspin = spin(260, 1, 150, imaging::kDefaultStrength);
  caption("Efekt na rozsah Min až:", 285);
  rozsahspin = spin(280, 0, 0, 0);
  caption("Barevná úprava:", 308);
  barupravaspin = spin(303, 0, 20, imaging::kDefaultColourBoost);
  caption("Jpeg komprese:", 329);
  kompresespin = spin(326, 1, 100, imaging::kDefaultQuality);
  MakeFrame(this, 305, 350, 173, 2, QFrame::HLine, QFrame::Sunken);
  QLabel* algorithm = MakeLabel(this, QStringLiteral("Algoritmus:"), 336, 365);
  QFont algorithmFont = algorithm->font();
  algorithmFont.setBold(true);
  algorithm->setFont(algorithmFont);
  algorithm->setPalette(red);
  algorithm->adjustSize();
  hp945chb = new QCheckBox(QStringLiteral("posun"), this);
  hp945chb->setGeometry(408, 365, 70, 17);
  prosvitekchb = new QCheckBox(QStringLiteral("Prosvitek"), this);
  prosvitekchb->setGeometry(408, 380, 70, 17);
  prosvitekchb->setChecked(true);
  hp945chb->installEventFilter(this);
  prosvitekchb->installEventFilter(this);

  // Histogram panel.
  MakeFrame(this, 480, 256, 266, 145, QFrame::Box, QFrame::Sunken);
  histo = new TImage(this);
  histo->setGeometry(483, 265, imaging::kChartWidth, imaging::kChartHeight);

  // Along the bottom edge.
  sb = new QStatusBar(this);
  sb->setSizeGripEnabled(false);
  sb->setGeometry(0, kClientHeight - 19, kClientWidth, 19);
  pb1 = new QProgressBar(this);
  pb1->setGeometry(0, kClientHeight - 19 - 16, kClientWidth, 16);
  pb1->setTextVisible(false);
  pb1->setRange(0, 100);
  pb1->setValue(0);

  napoveda = new QAction(QStringLiteral("Nápověda"), this);
  napoveda->setObjectName(QStringLiteral("napoveda"));
  oprogramu = new QAction(QStringLiteral("O programu"), this);
  oprogramu->setObjectName(QStringLiteral("oprogramu"));
  connect(napoveda, &QAction::triggered, this, &TForm1::napovedaExecute);
  connect(oprogramu, &QAction::triggered, this, &TForm1::oprogramuExecute);

  connect(otevritb, &QPushButton::clicked, this, &TForm1::otevritbClick);
  connect(prepocitatb, &QPushButton::clicked, this, &TForm1::prepocitatbClick);
  connect(porovnatb, &QPushButton::clicked, this, &TForm1::porovnatbClick);
  connect(ulozitb, &QPushButton::clicked, this, &TForm1::ulozitbClick);
  connect(napovedab, &QPushButton::clicked, napoveda, &QAction::trigger);
  connect(oprogramub, &QPushButton::clicked, oprogramu, &QAction::trigger);
  connect(podrobnostil, &TLinkLabel::clicked, this, &TForm1::podrobnostilClick);

  const QWidget* tabOrder[] = {prepocitatb, otevritb, rozsahspin, efektspin, ulozitb, kompresespin,
                               napovedab, oprogramub, barupravaspin, hp945chb, prosvitekchb};
  for (QWidget* w : {static_cast<QWidget*>(Image1), static_cast<QWidget*>(Image2), static_cast<QWidget*>(histo),
                     static_cast<QWidget*>(pb1), static_cast<QWidget*>(sb), static_cast<QWidget*>(podrobnostil),
                     static_cast<QWidget*>(nedavneb), static_cast<QWidget*>(porovnatb)})
    w->setFocusPolicy(Qt::NoFocus);
  for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i)
    setTabOrder(const_cast<QWidget*>(tabOrder[i]), const_cast<QWidget*>(tabOrder[i + 1]));
  Image1->installEventFilter(this);
  Image2->installEventFilter(this);

  const std::pair<QObject*, const char*> names[] = {
      {Image1, "Image1"}, {Image2, "Image2"}, {histo, "histo"}, {otevritb, "otevritb"}, {nedavneb, "nedavneb"},
      {prepocitatb, "prepocitatb"}, {porovnatb, "porovnatb"}, {ulozitb, "ulozitb"}, {napovedab, "napovedab"},
      {oprogramub, "oprogramub"}, {jasminl, "jasminl"}, {cminl, "cminl"}, {slozkyminl, "slozkyminl"},
      {poziceminl, "poziceminl"}, {jasmaxl, "jasmaxl"}, {cmaxl, "cmaxl"}, {slozkymaxl, "slozkymaxl"},
      {pozicemaxl, "pozicemaxl"}, {rozlisenil, "rozlisenil"}, {velikostl, "velikostl"}, {casl, "casl"},
      {clonal, "clonal"}, {isol, "isol"}, {bleskl, "bleskl"}, {pristrojl, "pristrojl"},
      {podrobnostil, "podrobnostil"}, {efektspin, "efektspin"}, {rozsahspin, "rozsahspin"},
      {barupravaspin, "barupravaspin"}, {kompresespin, "kompresespin"}, {hp945chb, "hp945chb"},
      {prosvitekchb, "prosvitekchb"}, {pb1, "pb1"}, {sb, "sb"}};
  for (const auto& [object, name] : names) object->setObjectName(QString::fromLatin1(name));
}

void TForm1::BindKeys() {
  // A button's shortcut clicks it only while it is enabled.
  otevritb->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  ulozitb->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  prepocitatb->setShortcut(QKeySequence(Qt::Key_F5));
  porovnatb->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  napoveda->setShortcut(QKeySequence(Qt::Key_F1));
  addAction(napoveda);
  auto* quit = new QAction(this);
  quit->setObjectName(QStringLiteral("konec"));
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(quit, &QAction::triggered, this, &QWidget::close);
  addAction(quit);
  // Outside a dialog a push button ignores Enter; these take it as a click.
  for (QPushButton* b : {otevritb, prepocitatb, ulozitb, napovedab, oprogramub}) b->installEventFilter(this);
}

imaging::ColourValue TForm1::ChartBackground() const { return ToColourValue(palette().color(QPalette::Window)); }

void TForm1::SetSecondaryWindows(Toprogramuf* about, Texifform* details) {
  about_ = about;
  details_ = details;
}

void TForm1::ResetSummaryLabels() {
  velikostl->setText(QStringLiteral("Velikost: ???"));
  isol->setText(QStringLiteral("ISO: ???"));
  rozlisenil->setText(QStringLiteral("Rozlišení: ???"));
  casl->setText(QStringLiteral("Čas: ???"));
  clonal->setText(QStringLiteral("Clona: ???"));
  pristrojl->setText(QStringLiteral("Foťák: ???"));
  bleskl->setText(QStringLiteral("Blesk: ???"));
}

// Pressing a mouse button or the space bar on one mode box clears the other;
// the pressed box then toggles by its own handling. Enter on a focused
// button clicks it. A double click on a preview opens the compare view.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  const auto* key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
  const bool spacePressed = key && key->key() == Qt::Key_Space && !key->isAutoRepeat();
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick || spacePressed) {
    if (watched == hp945chb) prosvitekchb->setChecked(false);
    if (watched == prosvitekchb) hp945chb->setChecked(false);
  }
  if (event->type() == QEvent::MouseButtonDblClick && (watched == Image1 || watched == Image2)) {
    if (porovnatb->isEnabled()) porovnatbClick();
    return true;
  }
  const bool enterPressed = key && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (enterPressed) {
    if (auto* button = qobject_cast<QPushButton*>(watched); button && button->isEnabled()) {
      if (!key->isAutoRepeat()) button->click();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event) {
  closing_ = true;
  previewTimer_.stop();
  session_->Cancel();  // a job stops promptly, even inside a long decode; nothing is written
  if (about_) about_->close();
  if (details_) details_->close();
  if (compare_) compare_->close();
  event->accept();
}

// A JPEG dragged from a file manager opens as if chosen in the open dialog.
void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() == 1 && urls.constFirst().isLocalFile() && !PassRunning()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls.constFirst().isLocalFile()) return;
  event->acceptProposedAction();
  OpenPhotoFile(PathFromNative(QFile::encodeName(urls.constFirst().toLocalFile()).toStdString()));
}

void TForm1::ShowStatus(const QString& text) { sb->showMessage(text); }

// What the user has to know about a photo read as far as it could be, on
// the status bar's one line: what happened, then libjpeg's words.
QString TForm1::WarningText(const QString& warning) const {
  return warning.split(QLatin1Char('\n'), Qt::SkipEmptyParts).join(QStringLiteral(" — "));
}

imaging::ControlValues TForm1::CurrentControls() const {
  return imaging::ControlValues{efektspin->EffectiveValue(), rozsahspin->EffectiveValue(),
                                barupravaspin->EffectiveValue(), hp945chb->isChecked()};
}

void TForm1::PublishControls() { session_->SetControls(CurrentControls()); }

void TForm1::ControlsChanged() {
  PublishControls();
  if (session_->HasPhoto()) previewTimer_.start();
}

void TForm1::RefreshPreview() {
  previewTimer_.stop();
  if (!session_->HasPhoto()) return;
  const imaging::Histogram histogram = session_->RenderPreview(CurrentControls());
  Image2->SetPicture(session_->Preview2());
  imaging::DrawHistogram(chart_, histogram, ChartBackground());
  histo->SetPicture(chart_);
  if (compare_) compare_->SetSettings(session_->PreviewSettings(), session_->PreviewExponent());
}

void TForm1::SettleFields() {
  for (TSpinEdit* spin : {efektspin, rozsahspin, barupravaspin, kompresespin}) spin->Settle();
}

bool TForm1::Ask(const QString& question) { return !platform_.ask || platform_.ask(this, question); }

void TForm1::BeginPass(Pass pass) {
  pass_ = pass;
  QWidget* const photoButtons[] = {otevritb, prepocitatb, ulozitb, nedavneb};
  for (int i = 0; i < 4; ++i) {
    wasEnabled_[i] = photoButtons[i]->isEnabled();
    photoButtons[i]->setEnabled(false);
  }
}

void TForm1::EndPass() {
  pass_ = Pass::None;
  QWidget* const photoButtons[] = {otevritb, prepocitatb, ulozitb, nedavneb};
  for (int i = 0; i < 4; ++i)
    if (wasEnabled_[i]) photoButtons[i]->setEnabled(true);
}

void TForm1::OnProgress(int rows, int height) {
  if (pass_ == Pass::None) return;
  pb1->setRange(0, height);
  pb1->setValue(rows);
}

void TForm1::OnFailed(const QString& message) {
  EndPass();
  ShowStatus(QString());
  pb1->setValue(0);
  afterOpenStatus_.clear();
  savingOverPhoto_ = false;
  if (!closing_) platform_.showError(this, message);
}

void TForm1::otevritbClick() {
  if (PassRunning()) return;
  const QString path = platform_.chooseOpenFile(this);
  if (path.isEmpty()) return;  // a cancelled dialog leaves the photo on screen as it was
  OpenPhotoFile(path);
}

void TForm1::OpenPhotoFile(const QString& path) {
  if (PassRunning() || session_->Saving()) return;
  // Decode and measure first, on worker threads: a file that cannot be
  // opened leaves everything of the photo on screen, its analysis included.
  BeginPass(Pass::Open);
  ShowStatus(QStringLiteral("Probíhá analýza: ") + DisplayPath(path));
  pb1->setValue(0);
  if (!session_->Open(path)) EndPass();
}

void TForm1::OnOpened(const QString& warning) {
  EndPass();
  const QString& path = session_->Path();
  const imaging::PhotoAnalysis& analysis = session_->Analysis();
  ResetSummaryLabels();
  jasminl->clear();
  jasmaxl->clear();
  setWindowTitle(QStringLiteral("prosvitek - ") + DisplayPath(path));

  Image1->resize(session_->Preview1().width(), session_->Preview1().height());
  Image2->resize(session_->Preview1().width(), session_->Preview1().height());
  Image1->SetPicture(session_->Preview1());
  ShowStatus(QString());
  pb1->setValue(0);

  jasminl->setText(QString::number(analysis.MinLuminance));
  cminl->setText(QString::number(analysis.MinPixel.Colour));
  slozkyminl->setText(ColourComponents(analysis.MinPixel));
  poziceminl->setText(Position(analysis.MinPixel));
  jasmaxl->setText(QString::number(analysis.MaxLuminance));
  cmaxl->setText(QString::number(analysis.MaxPixel.Colour));
  slozkymaxl->setText(ColourComponents(analysis.MaxPixel));
  pozicemaxl->setText(Position(analysis.MaxPixel));

  const imaging::ThresholdRange t = imaging::PrimeThreshold(analysis);
  {
    // One preview for the primed controls, not one per control.
    const QSignalBlocker blockThreshold(rozsahspin->editor()), blockStrength(efektspin->editor());
    rozsahspin->SetMinValue(t.minimum);
    rozsahspin->SetMaxValue(t.maximum);
    rozsahspin->SetValue(t.value);
    rozsahspin->SetDefaultValue(t.value);
    efektspin->SetValue(imaging::kDefaultStrength);
  }
  rozlisenil->setText(QStringLiteral("Rozlišení: %1x%2").arg(session_->Width()).arg(session_->Height()));
  PublishControls();
  // The processed preview shows at once what a save with these controls writes.
  RefreshPreview();

  FillInfoLabels();
  if (details_) details_->Follow(session_->Path(), QString::fromStdString(session_->Current().trace));
  if (compare_) compare_->SetPhoto(session_->Current(), session_->PreviewSettings(), session_->PreviewExponent());
  podrobnostil->setEnabled(true);
  ulozitb->setEnabled(true);
  prepocitatb->setEnabled(true);
  porovnatb->setEnabled(true);
  Remember(path);
  ShowStatus(!afterOpenStatus_.isEmpty() ? afterOpenStatus_ : WarningText(warning));
  afterOpenStatus_.clear();
}

void TForm1::FillInfoLabels() { ::FillInfoLabels(*this, session_->Current()); }

// The preview follows the controls by itself; this renders it at once, with
// the fields as they show once settled.
void TForm1::prepocitatbClick() {
  if (PassRunning()) return;
  ShowStatus(QStringLiteral("Počítá se náhled..."));
  pb1->setValue(0);
  SettleFields();
  PublishControls();
  RefreshPreview();
  ShowStatus(QString());
  pb1->setValue(0);
}

void TForm1::porovnatbClick() {
  if (!session_->HasPhoto()) return;
  if (!compare_) {
    compare_ = new TCompareForm(this);
    compare_->SetPhoto(session_->Current(), session_->PreviewSettings(), session_->PreviewExponent());
  }
  compare_->ShowForm();
}

// The full-resolution pass and its encoding at the quality shown run on
// worker threads; the controls stay usable and are read every 16 rows.
void TForm1::ulozitbClick() {
  if (PassRunning() || session_->Saving()) return;
  // The fields show what the save uses, and the preview shows what it writes.
  SettleFields();
  PublishControls();
  RefreshPreview();
  if (session_->Current().Incomplete() &&
      !Ask(QStringLiteral("Fotka je neúplná. Uložit i tak?\n\n") +
           QString::fromStdString(session_->Current().warning).section(QLatin1Char('\n'), 0, 0)))
    return;
  BeginPass(Pass::Save);
  ShowStatus(QStringLiteral("Počítá se výsledná bitmapa..."));
  pb1->setValue(0);
  if (!session_->Render(imaging::ExponentFor(efektspin->EffectiveValue()), kompresespin->EffectiveValue())) EndPass();
}

// The pass has ended: the save dialog asks for the name. The result encoded
// at the quality now shown is ready, or being encoded again if the quality
// was changed during the pass.
void TForm1::OnRendered() {
  ShowStatus(QString());
  sb->repaint();
  ShowStatus(QStringLiteral("Ukládá se..."));
  pb1->setValue(0);
  kompresespin->Settle();
  session_->Reencode(kompresespin->EffectiveValue());
  const SaveChoice choice = platform_.chooseSaveFile(this, session_->Path());
  if (closing_) return;
  const QString target = WithJpegExtension(choice.path);
  auto giveUp = [this](const QString& error) {
    session_->Discard();
    EndPass();
    ShowStatus(QString());
    pb1->setValue(0);
    if (!error.isEmpty()) platform_.showError(this, error);
  };
  if (target.isEmpty()) return giveUp(QString());
  // A FIFO would hold the write (and the window's close) until a reader comes.
  if (const std::string unfit = UnfitTarget(NativePath(target)); !unfit.empty())
    return giveUp(QString::fromStdString(unfit));
  savingOverPhoto_ = SameFile(target, session_->Path());
  if (savingOverPhoto_) {
    const QString lost = choice.keepMetadata ? QStringLiteral("její původní obrazová data")
                                             : QStringLiteral("její původní obrazová data a údaje z fotoaparátu "
                                                              "(EXIF), protože „zachovat metadata“ není zaškrtnuto");
    if (!Ask(QStringLiteral("Přepsat původní fotku?\n\n„%1“ je právě otevřená fotka. Uložením přes ni se ztratí %2; "
                            "vrátit to nepůjde.")
                 .arg(FileName(target), lost))) {
      savingOverPhoto_ = false;
      return giveUp(QString());
    }
  }
  kompresespin->Settle();
  session_->Write(target, kompresespin->EffectiveValue(), choice.keepMetadata);
}

void TForm1::OnWritten(const QString& target, qulonglong size, const QString& warning) {
  EndPass();
  pb1->setValue(0);
  QString status = QStringLiteral("Uloženo: %1 (%2)").arg(FileName(target), SizeText(size));
  if (!warning.isEmpty()) status += QStringLiteral(". ") + WarningText(warning);
  ShowStatus(status);
  sb->repaint();
  if (savingOverPhoto_ && !closing_) {
    // The photo on screen is gone from its file: show what the file holds now.
    savingOverPhoto_ = false;
    afterOpenStatus_ = status;
    OpenPhotoFile(target);
  }
}

void TForm1::napovedaExecute() { OpenHelp(platform_, this); }

void TForm1::oprogramuExecute() {
  if (!about_) return;
  if (!about_->isVisible()) CentreOnScreen(about_);
  about_->show();
  about_->raise();
}

void TForm1::podrobnostilClick() {
  if (!details_) return;
  details_->Follow(session_->Path(), QString::fromStdString(session_->Current().trace));
  details_->ShowForm();
}

QStringList TForm1::RecentPhotos() const {
  QStringList photos;
  for (const QVariant& v : ProgramSettings()->value(kRecentKey).toList())
    photos << PathFromNative(v.toByteArray().toStdString());
  return photos;
}

// Newest first, each photo once, at most ten; kept as the file system's
// bytes, so names that are not UTF-8 open again.
void TForm1::Remember(const QString& path) {
  QStringList photos = RecentPhotos();
  photos.removeAll(path);
  photos.prepend(path);
  QVariantList stored;
  for (const QString& p : photos.mid(0, kRecentCount)) stored << QByteArray::fromStdString(NativePath(p));
  ProgramSettings()->setValue(kRecentKey, stored);
  nedavneb->setEnabled(true);
}

void TForm1::FillRecentMenu() {
  QMenu* menu = nedavneb->menu();
  menu->clear();
  for (const QString& path : RecentPhotos()) {
    QAction* action = menu->addAction(FileName(path));
    action->setToolTip(DisplayPath(path));
    action->setStatusTip(DisplayPath(path));
    connect(action, &QAction::triggered, this, [this, path] { OpenPhotoFile(path); });
  }
  menu->setToolTipsVisible(true);
}
