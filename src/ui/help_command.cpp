#include "ui/help_command.h"

#include "ui/message_box.h"
#include "ui/ui_strings.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace velanox::ui {

QString helpFilePath(const QString& programFolder) {
    return QDir::toNativeSeparators(programFolder + QStringLiteral("/Help/Help.html"));
}

void showHelp(QWidget* owner, const QString& programFolder, const FileOpener& opener) {
    const QString path = helpFilePath(programFolder);
    if (!QFileInfo::exists(QDir::fromNativeSeparators(path))) {
        showMessage(owner, QString::fromLatin1(text::kCannotFind) + path);
        return;
    }
    const bool opened =
        opener ? opener(path)
               : QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(path)));
    if (!opened) showMessage(owner, QString::fromLatin1(text::kNoHtmlAssociation));
}

} // namespace velanox::ui
