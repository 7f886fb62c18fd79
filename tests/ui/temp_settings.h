// A QSettings in a temporary IniFormat file, so tests never touch the user's settings.
#pragma once

#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace velanox::ui::test {

struct TempSettings {
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings{std::make_unique<QSettings>(
        dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)};
    QSettings& operator*() { return *settings; }
    QSettings* operator->() { return settings.get(); }
};

} // namespace velanox::ui::test
