#pragma once
// The program's icon, for its windows and the about box.

#include <QIcon>

namespace korvane {

// The icon's name in the desktop's icon theme (hicolor/<size>/apps/korvane.png once installed).
inline constexpr char kIconName[] = "korvane";

// The theme's icon where the desktop has one, else the copy built into the program.
QIcon applicationIcon();

// The copy built into the program alone.
QIcon builtInApplicationIcon();

}  // namespace korvane
