// Where the desktop program finds the files it ships with, and its icon.
#pragma once

#include <QIcon>
#include <QString>

namespace velanox::ui {

/// The program's reverse-DNS name: its launcher file, its icon and its metainfo are named after
/// it, and the desktop matches its windows to the launcher by it.
inline constexpr char kApplicationId[] = "com.orvantel.VelanoxNR";

/// The program's folder, which holds Help/ and the colour profiles kept with the program. An
/// installed program has it in <prefix>/share/velanox-nr, found from its own folder
/// <prefix>/bin, so a moved installation still finds it; a program run from its build folder
/// has it beside the executable, where the build copies the help pages.
QString programFolder(const QString& executableFolder);

/// programFolder() of the running program.
QString programFolder();

/// The program's icon: the desktop theme's when it has one, else the sizes built into the
/// program.
QIcon applicationIcon();

} // namespace velanox::ui
