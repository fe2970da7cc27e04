#pragma once
// Pictures of the buttons and the window: the desktop's icon theme first,
// small drawings of our own where the theme has none.

#include <QIcon>

enum class Picture { Open, Recompute, Save, Help, About, Window, Compare };

QIcon PictureIcon(Picture picture);

// The drawing used when the theme lacks the icon.
QIcon DrawnIcon(Picture picture);
