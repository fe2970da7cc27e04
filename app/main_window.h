#pragma once
// The main window: two previews, the photo buttons, the analysis results,
// the photo information, the brightening settings and the histogram chart.
// The processed preview follows the controls; a save writes what it shows.

#include "photo_session.h"
#include "platform.h"
#include "spin_edit.h"
#include "widgets.h"
#include "prosvitek/imaging/analysis.h"
#include "prosvitek/imaging/brighten.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

class TCompareForm;
class Texifform;
class Toprogramuf;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(Platform platform, QWidget* parent = nullptr);
  ~TForm1() override;

  void SetSecondaryWindows(Toprogramuf* about, Texifform* details);

  // The actions behind the buttons.
  void otevritbClick();
  void prepocitatbClick();
  void ulozitbClick();
  void porovnatbClick();
  void napovedaExecute();
  void oprogramuExecute();
  void podrobnostilClick();

  // Opens a photo as if chosen in the open dialog.
  void OpenPhotoFile(const QString& path);

  // Whether an open or a save is under way (its pass on worker threads, or
  // the save's dialog and writing); the window stays responsive meanwhile.
  bool PassRunning() const { return pass_ != Pass::None; }
  // Whether a change of the controls waits to reach the processed preview.
  bool PreviewPending() const { return previewTimer_.isActive(); }

  // The path of the photo opened last (empty before the first open).
  const QString& PhotoPath() const { return session_->Path(); }
  const imaging::PhotoAnalysis& Analysis() const { return session_->Analysis(); }
  const imaging::Raster& Preview1() const { return session_->Preview1(); }
  const imaging::Raster& Preview2() const { return session_->Preview2(); }
  PhotoSession& Session() { return *session_; }
  // The compare view, once shown.
  TCompareForm* CompareForm() const { return compare_; }
  // The photos opened last, newest first.
  QStringList RecentPhotos() const;

  // The controls' values as an action started now uses them: each number
  // field as it shows once the focus has left it.
  imaging::ControlValues CurrentControls() const;

  // Controls, named as the photo code knows them.
  TImage* Image1;
  TImage* Image2;
  TImage* histo;
  QPushButton* otevritb;
  QToolButton* nedavneb;
  QPushButton* prepocitatb;
  QPushButton* porovnatb;
  QPushButton* ulozitb;
  QPushButton* napovedab;
  QPushButton* oprogramub;
  QLabel* jasminl;
  QLabel* cminl;
  QLabel* slozkyminl;
  QLabel* poziceminl;
  QLabel* jasmaxl;
  QLabel* cmaxl;
  QLabel* slozkymaxl;
  QLabel* pozicemaxl;
  QLabel* rozlisenil;
  QLabel* velikostl;
  QLabel* casl;
  QLabel* clonal;
  QLabel* isol;
  QLabel* bleskl;
  QLabel* pristrojl;
  TLinkLabel* podrobnostil;
  TSpinEdit* efektspin;
  TSpinEdit* rozsahspin;
  TSpinEdit* barupravaspin;
  TSpinEdit* kompresespin;
  QCheckBox* hp945chb;
  QCheckBox* prosvitekchb;
  QProgressBar* pb1;
  QStatusBar* sb;
  QAction* napoveda;
  QAction* oprogramu;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  enum class Pass { None, Open, Save };

  void BuildControls();
  // Shortcuts, Enter on the focused button, the mode boxes from the keyboard.
  void BindKeys();
  // The chart's background: the window's own colour.
  imaging::ColourValue ChartBackground() const;
  void ResetSummaryLabels();
  void FillInfoLabels();
  // A control changed: the running save hears of it at once, the preview
  // after a moment of quiet.
  void ControlsChanged();
  void PublishControls();
  // The processed preview and the chart from the controls as they are.
  void RefreshPreview();
  void SettleFields();
  bool Ask(const QString& question);
  // The three photo buttons are disabled while a pass runs, so that no
  // second one can start.
  void BeginPass(Pass pass);
  void EndPass();
  void OnProgress(int rows, int height);
  void OnOpened(const QString& warning);
  void OnRendered();
  void OnWritten(const QString& target, qulonglong size, const QString& warning);
  void OnFailed(const QString& message);
  void ShowStatus(const QString& text);
  QString WarningText(const QString& warning) const;
  void Remember(const QString& path);
  void FillRecentMenu();

  Platform platform_;
  Toprogramuf* about_ = nullptr;
  Texifform* details_ = nullptr;
  TCompareForm* compare_ = nullptr;
  PhotoSession* session_;
  imaging::Raster chart_;
  QTimer previewTimer_;
  Pass pass_ = Pass::None;
  bool wasEnabled_[4] = {};
  bool closing_ = false;
  bool savingOverPhoto_ = false;  // the write goes over the open photo's own file
  QString afterOpenStatus_;       // shown once the reopened photo is on screen
};
