// The launcher's file types against what the readers open: the file manager offers the program
// ("Open With") for exactly the types whose files it can read.
#include "cli/input_files.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <QSet>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace velanox::cli {
namespace {

/// The MimeType= list of the launcher file at path; empty when it cannot be read.
QSet<QString> launcherTypes(const char* path) {
    std::ifstream in(path);
    QSet<QString> types;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("MimeType=", 0) != 0) continue;
        for (const QString& type : QString::fromStdString(line.substr(9)).split(u';'))
            if (!type.isEmpty()) types.insert(type);
    }
    return types;
}

/// Whether the readers claim a file of this type by one of its extensions.
bool readersClaim(const QMimeType& type) {
    for (const QString& suffix : type.suffixes())
        if (isReadableImageName("x." + suffix.toStdString())) return true;
    return false;
}

TEST(DesktopEntry, OffersTheProgramForEveryTypeItReadsAndNoOther) {
#ifndef VELANOX_DESKTOP_FILE
    GTEST_SKIP() << "this build makes no launcher file (VELANOX_DESKTOP_FILES is off)";
#else
    const QSet<QString> listed = launcherTypes(VELANOX_DESKTOP_FILE);
    ASSERT_FALSE(listed.isEmpty()) << "no file types in " << VELANOX_DESKTOP_FILE;

    const QMimeDatabase db;
    QSet<QString> canonical;
    for (const QString& name : listed) {
        const QMimeType type = db.mimeTypeForName(name);
        ASSERT_TRUE(type.isValid()) << name.toStdString() << " is not a known file type";
        EXPECT_EQ(type.name(), name)
            << name.toStdString() << " is an alias: list " << type.name().toStdString();
        canonical.insert(type.name());
        // A type with extensions is offered only when the readers take one of them (parents
        // such as image/x-dcraw have none).
        if (!type.suffixes().isEmpty()) {
            EXPECT_TRUE(readersClaim(type))
                << name.toStdString() << " is listed, but the readers take none of its files";
        }
    }

    int readable = 0;
    for (const QMimeType& type : db.allMimeTypes()) {
        if (!type.name().startsWith(u"image/") || !readersClaim(type)) continue;
        ++readable;
        EXPECT_TRUE(canonical.contains(type.name()))
            << type.name().toStdString() << " (*." << type.suffixes().join(", *.").toStdString()
            << ") is read but not offered: add it to resources/desktop/mime-types.cmake";
    }
    EXPECT_GE(readable, 20) << "the file type database looks incomplete";
#endif
}

} // namespace
} // namespace velanox::cli
