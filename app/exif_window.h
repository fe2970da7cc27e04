#pragma once
// The EXIF details window: the reader's trace of the photo opened last.

#include "app/platform.h"
#include "app/widgets.h"

#include <QPlainTextEdit>
#include <QWidget>

class Texifform : public QWidget {
  Q_OBJECT

 public:
  explicit Texifform(Platform platform, QWidget* parent = nullptr);

  // Shows the window for the photo at path; the trace is read afresh only
  // when the window goes from hidden to shown.
  void ShowFor(const QString& path);
  void Label3Click();

  QPlainTextEdit* exifmemo;
  QLabel* Label1;
  QLabel* Label2;
  TLinkLabel* Label3;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();

  Platform platform_;
  QString path_;
};

inline constexpr const char* kReaderHomeCaption = "www.prosvitek.cz/exif";
inline constexpr const char* kReaderHome = "https://www.prosvitek.cz/exif/";
