#pragma once
// The EXIF details window: the reader's trace of the photo that is open. It
// follows the photo while shown, can be enlarged, and remembers its size.

#include "platform.h"
#include "widgets.h"

#include <QPlainTextEdit>
#include <QWidget>

class Texifform : public QWidget {
  Q_OBJECT

 public:
  explicit Texifform(Platform platform, QWidget* parent = nullptr);

  // The photo now open and its trace (empty without EXIF data); shown at
  // once when the window is visible.
  void Follow(const QString& path, const QString& trace);
  // Shows the window, or brings it to the front.
  void ShowForm();
  void Label3Click();

  QPlainTextEdit* exifmemo;
  QLabel* Label1;
  QLabel* Label2;
  TLinkLabel* Label3;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void FormShow();

  Platform platform_;
  QString path_;
  QString trace_;
};

inline constexpr const char* kReaderHomeCaption = "www.prosvitek.cz/exif";
inline constexpr const char* kReaderHome = "https://www.prosvitek.cz/exif/";
