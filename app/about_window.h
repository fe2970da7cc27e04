#pragma once
// The about window: the program and its version, author, date and home page.

#include "platform.h"
#include "widgets.h"

#include <QDialog>

class Toprogramuf : public QDialog {
  Q_OBJECT

 public:
  explicit Toprogramuf(Platform platform, QWidget* parent = nullptr);

  void Label5Click();
  void Label12Click();

  QLabel* verzel;       // the program's name and version
  TLinkLabel* Label5;   // e-mail address
  QLabel* Label3;       // date
  QLabel* Label1;       // "Domovská stránka:"
  TLinkLabel* Label12;  // home page

 private:
  Platform platform_;
};

// Each address twice: as the label shows it and as the click opens it.
inline constexpr const char* kAuthorMail = "autor@prosvitek.cz";
inline constexpr const char* kHomePageCaption = "www.prosvitek.cz";
inline constexpr const char* kHomePage = "https://www.prosvitek.cz/";

// "Prosvitek 1.0.0": the version the build was made as.
QString ProgramNameAndVersion();
