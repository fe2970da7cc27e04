#pragma once
// The main window: two previews, the photo buttons, the analysis results,
// the photo information, the brightening settings and the histogram chart.

#include "app/photo_session.h"
#include "app/platform.h"
#include "app/spin_edit.h"
#include "app/widgets.h"
#include "imaging/analysis.h"
#include "imaging/brighten.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>

#include <vector>

class Texifform;
class Toprogramuf;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(Platform platform, QWidget* parent = nullptr);

  void SetSecondaryWindows(Toprogramuf* about, Texifform* details);

  // The actions behind the buttons.
  void otevritbClick();
  void prepocitatbClick();
  void ulozitbClick();
  void napovedaExecute();
  void oprogramuExecute();
  void podrobnostilClick();

  // Opens a photo as if chosen in the open dialog.
  void OpenPhotoFile(const QString& path);

  // Whether an open or a save is under way (its pass on worker threads, or
  // the save's dialog and writing); the window stays responsive meanwhile.
  bool PassRunning() const { return pass_ != Pass::None; }

  // The path of the photo opened last (empty before the first open).
  const QString& PhotoPath() const { return session_->Path(); }
  const imaging::PhotoAnalysis& Analysis() const { return session_->Analysis(); }
  const imaging::Raster& Preview1() const { return session_->Preview1(); }
  const imaging::Raster& Preview2() const { return session_->Preview2(); }
  PhotoSession& Session() { return *session_; }

  // Controls, named as the photo code knows them.
  TImage* Image1;
  TImage* Image2;
  TImage* histo;
  QPushButton* otevritb;
  QPushButton* prepocitatb;
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

 private:
  enum class Pass { None, Open, Save };

  void BuildControls();
  // Shortcuts, Enter on the focused button, the mode boxes from the keyboard.
  void BindKeys();
  // The chart's background: the window's own colour.
  imaging::ColourValue ChartBackground() const;
  void ResetSummaryLabels();
  void FillInfoLabels(const QString& path);
  // The controls' values, handed to the session whenever one changes: a
  // running save reads them every 16 rows.
  imaging::ControlValues CurrentControls() const;
  void PublishControls();
  // The three photo buttons are disabled while a pass runs, so that no
  // second one can start.
  void BeginPass(Pass pass);
  void EndPass();
  void OnProgress(int rows, int height);
  void OnOpened(const QString& warning);
  void OnRendered();
  void OnWritten(const QString& warning);
  void OnFailed(const QString& message);
  void ShowStatus(const QString& text);
  void ShowWarning(const QString& warning);

  Platform platform_;
  Toprogramuf* about_ = nullptr;
  Texifform* details_ = nullptr;
  PhotoSession* session_;
  imaging::Raster chart_;
  Pass pass_ = Pass::None;
  bool wasEnabled_[3] = {};
  bool closing_ = false;
};
