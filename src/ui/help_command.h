// Help (F1): Help/Help.html in the program's folder, opened with the desktop's handler for
// HTML files.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace velanox::ui {

/// Help/Help.html beside the running program, with the platform's separators.
QString helpFilePath(const QString& programFolder);

/// Opens a local file with the desktop's default handler; false when none took it.
using FileOpener = std::function<bool(const QString& path)>;

/// Shows the help file, or "Cannot find <path>" when it is missing, or the no-association
/// message when nothing opens HTML files. The opener defaults to QDesktopServices.
void showHelp(QWidget* owner, const QString& programFolder, const FileOpener& opener = {});

} // namespace velanox::ui
