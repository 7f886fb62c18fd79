#include "ui/program_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef VELANOX_BIN_TO_DATA
#define VELANOX_BIN_TO_DATA "../share/velanox-nr"
#endif

namespace velanox::ui {

QString programFolder(const QString& executableFolder) {
    const QString installed =
        QDir::cleanPath(executableFolder + QLatin1Char('/') + QStringLiteral(VELANOX_BIN_TO_DATA));
    return QFileInfo(installed).isDir() ? installed : executableFolder;
}

QString programFolder() {
    return programFolder(QCoreApplication::applicationDirPath());
}

QIcon applicationIcon() {
    QIcon bundled;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        bundled.addFile(QStringLiteral(":/app-icon/%1x%1/apps/%2.png")
                            .arg(size)
                            .arg(QLatin1String(kApplicationId)),
                        QSize(size, size));
    return QIcon::fromTheme(QLatin1String(kApplicationId), bundled);
}

} // namespace velanox::ui
