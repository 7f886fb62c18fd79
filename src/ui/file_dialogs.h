// The Open and Save file dialogs. Filters are given as the program's own (name, pattern)
// pairs; the dialogs show the names exactly as written. Every dialog goes through
// runFileDialog, so tests can answer it.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QWidget;

namespace velanox::document {
class Settings;
}

namespace velanox::ui {

struct FileFilter {
    QString name;    ///< shown as it is: "JPEG Files (*.JPG)"
    QString pattern; ///< "*.jpg" or "*.bmp;*.jpg;..."
};

struct FileDialogRequest {
    bool save = false;
    QString title;
    QString folder;   ///< where the dialog starts
    QString fileName; ///< the proposed name (save)
    std::vector<FileFilter> filters;
    int selectedFilter = 0;
    bool preview = false; ///< open: the previewing dialog (thumbnail and size of the selection)
};

struct FileDialogAnswer {
    bool accepted = false;
    QString path;
    int filterIndex = 0;
};

/// Shows the dialog (non-native; open: the file must exist; save: asks before replacing a file)
/// or asks the handler a test installed.
FileDialogAnswer runFileDialog(QWidget* parent, const FileDialogRequest& request);

using FileDialogHandler =
    std::function<FileDialogAnswer(QWidget* parent, const FileDialogRequest& request)>;
/// Replaces the dialogs (tests); an empty handler restores them. Returns the previous one.
FileDialogHandler setFileDialogHandler(FileDialogHandler handler);

/// The size the Open and Save dialogs open at until the person gives them another: wide enough
/// for whole file names beside the preview.
inline constexpr QSize kDefaultDialogSize{1040, 600};
/// A remembered size below this is not used (a damaged setting).
inline constexpr QSize kMinimumDialogSize{400, 300};

/// Where the dialogs remember their size across runs (section "File Dialogs", "Width" and
/// "Height"); null keeps it for this run only. Forgets the size kept so far.
void setFileDialogSettings(velanox::document::Settings* settings);
/// The size the last dialog closed at (invalid before the first).
QSize fileDialogSize();

/// The filter of the Open dialog ("Load image file"), in its order.
std::vector<FileFilter> openFilters();

/// The filters of a "name|pattern|...|" string (the closing "|" ends the list).
std::vector<FileFilter> filtersFromString(const QString& filter);

/// A chosen save name without an extension gets the pattern's ("*.jpg" -> ".jpg").
QString withFilterExtension(const QString& path, const QString& pattern);

/// The Qt form of a filter: the name followed by its patterns in parentheses. With the
/// dialog's HideNameFilterDetails option only the name shows.
QString qtNameFilter(const FileFilter& filter);

} // namespace velanox::ui
