#pragma once
// The main window: two previews, the photo buttons, the analysis results,
// the photo information, the brightening settings and the histogram chart.

#include "app/platform.h"
#include "app/spin_edit.h"
#include "app/widgets.h"
#include "imaging/analysis.h"
#include "imaging/brighten.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>

#include <functional>

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

  // The path of the photo opened last (empty before the first open).
  const QString& PhotoPath() const { return photoPath_; }
  const imaging::PhotoAnalysis& Analysis() const { return analysis_; }
  const imaging::Raster& Preview1() const { return image1Raster_; }
  const imaging::Raster& Preview2() const { return image2Raster_; }

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
  void BuildControls();
  // Shortcuts, Enter on the focused button, the mode boxes from the keyboard.
  void BindKeys();
  // The chart's background: the window's own colour.
  imaging::ColourValue ChartBackground() const;
  void ResetSummaryLabels();
  void FillInfoLabels(const QString& path);
  imaging::BrightenSettings CurrentSettings(double exponent) const;
  // Lets the window repaint and respond during a pass; stops the pass when
  // the window is being closed.
  void ProcessPendingMessages();
  // Runs a pixel pass with the three photo buttons disabled, so that no
  // second pass can start inside it; errors end it with a message.
  // Gives whether the pass ran to its end.
  bool RunPass(const std::function<void()>& pass);
  void ShowStatus(const QString& text);

  Platform platform_;
  Toprogramuf* about_ = nullptr;
  Texifform* details_ = nullptr;
  QString photoPath_;
  imaging::PhotoAnalysis analysis_;
  imaging::Raster image1Raster_;
  imaging::Raster image2Raster_;
  imaging::Raster chart_;
  QElapsedTimer messageClock_;
  bool busy_ = false;
  bool closing_ = false;
};
