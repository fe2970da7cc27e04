#pragma once
// The help file lies beside the executable and opens in the desktop's viewer.

#include "platform.h"

#include <QString>

class QWidget;

inline constexpr const char* kHelpFileName = "pvnapoveda.html";

// The help file's path in the folder of the running executable.
QString HelpFilePath(const Platform& platform);

// Asks the desktop to open the help file; when the file is missing or no
// program can show it, says so in a message.
void OpenHelp(const Platform& platform, QWidget* parent);
