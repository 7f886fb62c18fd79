#include "ui/file_dialogs.h"

#include "ui/prev_file_dialog.h"

#include "document/settings.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>

#include <string_view>

namespace velanox::ui {

namespace {

FileDialogHandler& currentHandler() {
    static FileDialogHandler handler;
    return handler;
}

const char* const kRasterList = "*.bmp;*.jpg;*.pcd;*.pcx;*.png;*.psd;*.tga;*.tif;*.wmf;*.emf;"
                                "*.heic;*.heif;*.hif;*.avif;*.webp;*.jxl;";
const char* const kRawList = "*.arw;*.bay;*.cr2;*.crw;*.dcr;*.dcs;*.dng;*.hdr;*.kdc;*.mef;*.mrw;"
                             "*.nef;*.orf;*.pef;*.raf;*.raw;*.sr2;*.srf;*.x3f";
const char* const kFixedTail =
    "|Windows Bitmap (*.BMP)|*.bmp|JPEG Files (*.JPG)|*.jpg|Kodak PhotoCD (*.PCD)|*.pcd|ZSoft "
    "(*.PCX)|*.pcx|Portable Graphics (*.PNG)|*.png|Adobe Photoshop (*.PSD)|*.psd|Targa "
    "(*.TGA)|*.tga|TIFF Files (*.TIF)|*.tif|Windows Metafile (*.WMF)|*.wmf|Enhanced Metafile "
    "(*.EMF)|*.emf|HEIF Images (*.HEIC)|*.heic;*.heif;*.hif|AVIF Images (*.AVIF)|*.avif|WebP "
    "Images (*.WEBP)|*.webp|JPEG XL Images (*.JXL)|*.jxl|All files (*.*)|*.*||";

} // namespace

std::vector<FileFilter> filtersFromString(const QString& filter) {
    std::vector<FileFilter> filters;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        filters.push_back({parts[i], parts[i + 1]});
    }
    return filters;
}

std::vector<FileFilter> openFilters() {
    const QString raster = QString::fromLatin1(kRasterList), raw = QString::fromLatin1(kRawList);
    return filtersFromString(QStringLiteral("All Supported Image Files|") + raster + raw +
                             QStringLiteral("|All Supported Raw Files|") + raw +
                             QString::fromLatin1(kFixedTail));
}

QString qtNameFilter(const FileFilter& filter) {
    QStringList patterns = filter.pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return filter.name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QString withFilterExtension(const QString& path, const QString& pattern) {
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    const QString first = pattern.section(QLatin1Char(';'), 0, 0);
    if (!first.startsWith(QLatin1String("*.")) || first.indexOf(QLatin1Char('*'), 1) >= 0 ||
        first == QLatin1String("*.*"))
        return path;
    QString stem = path;
    if (stem.endsWith(QLatin1Char('.'))) stem.chop(1);
    return stem + first.mid(1);
}

namespace {

// The file dialogs open wide enough for whole file names, then at the size the person last gave
// one of them, kept in the settings when the program has them.
constexpr std::string_view kDialogSection = "File Dialogs";
constexpr std::string_view kDialogWidth = "Width";
constexpr std::string_view kDialogHeight = "Height";

velanox::document::Settings*& dialogSettings() {
    static velanox::document::Settings* settings = nullptr;
    return settings;
}

QSize& lastDialogSize() {
    static QSize size;
    return size;
}

int runSized(QFileDialog& dialog) {
    QSize wanted = lastDialogSize();
    if (!wanted.isValid())
        if (velanox::document::Settings* settings = dialogSettings())
            wanted = QSize(settings->storedInt(kDialogSection, kDialogWidth).value_or(0),
                           settings->storedInt(kDialogSection, kDialogHeight).value_or(0));
    if (wanted.width() < kMinimumDialogSize.width() ||
        wanted.height() < kMinimumDialogSize.height())
        wanted = kDefaultDialogSize;
    // Never larger than the screen it opens on.
    if (const QScreen* screen = dialog.screen())
        wanted = wanted.boundedTo(screen->availableGeometry().size());
    dialog.resize(wanted.expandedTo(dialog.minimumSizeHint()));
    // The detailed list sizes its columns to their contents, so whole file names show (the list
    // scrolls sideways when they are wider than the dialog).
    if (auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
        list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    const int result = dialog.exec();
    lastDialogSize() = dialog.size();
    if (velanox::document::Settings* settings = dialogSettings()) {
        settings->storeInt(kDialogSection, kDialogWidth, dialog.width());
        settings->storeInt(kDialogSection, kDialogHeight, dialog.height());
        settings->flush();
    }
    return result;
}

// The Open dialog with a preview of the selected file.
FileDialogAnswer runPreviewOpenDialog(QWidget* parent, const FileDialogRequest& request) {
    QString filter;
    for (const FileFilter& f : request.filters)
        filter += f.name + QLatin1Char('|') + f.pattern + QLatin1Char('|');
    filter += QLatin1Char('|');
    CPrevFileDlg dialog(parent, request.title, filter, request.folder);
    const QStringList names = dialog.nameFilters();
    if (request.selectedFilter >= 0 && request.selectedFilter < names.size())
        dialog.selectNameFilter(names[request.selectedFilter]);
    FileDialogAnswer answer;
    if (runSized(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return answer;
    answer.accepted = true;
    answer.path = dialog.selectedFiles().front();
    answer.filterIndex = std::max(0, int(names.indexOf(dialog.selectedNameFilter())));
    return answer;
}

} // namespace

FileDialogAnswer runFileDialog(QWidget* parent, const FileDialogRequest& request) {
    if (const FileDialogHandler& handler = currentHandler()) return handler(parent, request);
    if (request.preview && !request.save) return runPreviewOpenDialog(parent, request);

    QFileDialog dialog(parent, request.title, request.folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    QStringList names;
    for (const FileFilter& filter : request.filters)
        names << qtNameFilter(filter);
    dialog.setNameFilters(names);
    if (request.selectedFilter >= 0 && request.selectedFilter < names.size())
        dialog.selectNameFilter(names[request.selectedFilter]);
    if (request.save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // A name typed without an extension gets the selected type's, before the dialog asks
        // whether to replace an existing file.
        auto suffixOf = [&request](int index) {
            if (index < 0 || index >= int(request.filters.size())) return QString();
            return QFileInfo(withFilterExtension(QStringLiteral("x"),
                                                 request.filters[std::size_t(index)].pattern))
                .suffix();
        };
        dialog.setDefaultSuffix(suffixOf(request.selectedFilter));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, names, suffixOf](const QString& filter) {
                             dialog.setDefaultSuffix(suffixOf(int(names.indexOf(filter))));
                         });
        dialog.selectFile(request.fileName);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    FileDialogAnswer answer;
    if (runSized(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return answer;
    answer.accepted = true;
    answer.path = dialog.selectedFiles().front();
    answer.filterIndex = std::max(0, int(names.indexOf(dialog.selectedNameFilter())));
    return answer;
}

void setFileDialogSettings(velanox::document::Settings* settings) {
    dialogSettings() = settings;
    lastDialogSize() = QSize();
}

QSize fileDialogSize() {
    return lastDialogSize();
}

FileDialogHandler setFileDialogHandler(FileDialogHandler handler) {
    FileDialogHandler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

} // namespace velanox::ui
