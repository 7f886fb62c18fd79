// The toolbar, pane and mode images come from SVG files built into the program: every id that
// shows an image finds its file, at the size the layout expects, sharp on dense screens.
#include "ui_test_main.h"

#include "ui/icon_files.h"
#include "ui/panes/pane_bitmaps.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/resource_ids.h"
#include "ui/toolbar_icons.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

using namespace velanox::ui;

class IconFilesTest : public QObject {
    Q_OBJECT

private slots:
    void theToolbarCommandsShowTheirImagesAtEveryDensity() {
        const QSize size(kToolbarImageWidth, kToolbarImageHeight);
        const int commands[] = {
            ids::kFileOpen,  ids::kFileSave,      ids::kPrevImage,     ids::kNextImage,
            ids::kEditPaste, ids::kAppAbout,      ids::kHelp,          ids::kRotateCcw,
            ids::kRotateCw,  ids::kApplyCrop,     ids::kGrid,          ids::kZoomIn,
            ids::kZoomOut,   ids::kDetailZoom100, ids::kDetailZoom200, ids::kDetailZoom400};
        for (const int id : commands) {
            const QIcon icon = commandIcon(id);
            QVERIFY2(!icon.isNull(), qPrintable(QString::number(id)));
            QCOMPARE(icon.actualSize(size), size);
            const QPixmap normal = icon.pixmap(size, 1.0);
            QCOMPARE(normal.size(), size);
            // Drawn afresh at twice the pixels, not a 16 x 15 picture blown up.
            const QPixmap dense = icon.pixmap(size, 2.0);
            QCOMPARE(dense.size(), size * 2);
            QCOMPARE(dense.devicePixelRatio(), 2.0);
        }
        QVERIFY(commandIcon(ids::kPaneNrOptions).isNull());
        QVERIFY(commandIcon(0).isNull());
    }

    void twoPanesHaveIconsAndTheOthersNone() {
        const QSize size(kToolbarImageWidth, kToolbarImageHeight);
        for (const int pane : {ids::kPaneIdNrOptions, ids::kPaneIdFileProperties}) {
            const QIcon icon = paneIcon(pane);
            QVERIFY(!icon.isNull());
            QCOMPARE(icon.pixmap(size).size(), size);
        }
        QVERIFY(paneIcon(ids::kPaneIdColorCorrection).isNull());
        QVERIFY(paneIcon(ids::kPaneIdColorMatch).isNull());
    }

    void thePaneImagesHaveTheSizesTheirControlsAreLaidOutFor() {
        const struct {
            int id;
            QSize size;
        } images[] = {
            {ids::kBitmapThumbTemperature, {11, 18}}, {ids::kBitmapThumbPlain, {11, 18}},
            {ids::kBitmapThumbExposure, {11, 18}},    {ids::kBitmapIconShadows, {16, 16}},
            {ids::kBitmapIconHighlights, {16, 16}},   {ids::kBitmapLoadReference, {16, 15}},
            {ids::kBitmapSaveProfile, {16, 15}},      {ids::kBitmapDeleteProfile, {16, 15}},
            {ids::kBitmapApplyCrop, {16, 15}},        {ids::kBitmapReturn, {16, 15}},
        };
        for (const auto& image : images) {
            const QPixmap pixmap = paneBitmap(image.id);
            QVERIFY2(!pixmap.isNull(), qPrintable(QString::number(image.id)));
            QCOMPARE(pixmap.deviceIndependentSize().toSize(), image.size);
        }
        QVERIFY(paneBitmap(0).isNull());
        QVERIFY(paneBitmap(ids::kPaneIconBitmap).isNull());
    }

    void everyFileTheTablesNameIsBuiltInAndEveryBuiltInFileIsUsed() {
        QSet<QString> named;
        for (const auto& table :
             {commandIconFiles(), paneIconFiles(), paneBitmapFiles(), nrModeIconFiles()}) {
            for (const IconFile& entry : table) {
                const QString path = QString::fromLatin1(entry.path);
                QVERIFY2(QFile::exists(path), qPrintable(path));
                QVERIFY2(!renderedIcon(path).isNull(), qPrintable(path));
                QVERIFY2(!named.contains(path), qPrintable(path + " is named twice"));
                named.insert(path);
            }
        }
        QDirIterator files(QStringLiteral(":/ui-icons"), QDir::Files, QDirIterator::Subdirectories);
        int builtIn = 0;
        while (files.hasNext()) {
            const QString path = files.next();
            QVERIFY2(named.contains(path), qPrintable(path + " is built in but never shown"));
            ++builtIn;
        }
        QCOMPARE(builtIn, int(named.size()));
    }

    void aMissingOrBrokenFileGivesANullImage() {
        QVERIFY(iconPath(commandIconFiles(), -1).isEmpty());
        QVERIFY(renderedIcon(QString()).isNull());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no-such-file")));
        QVERIFY(renderedIcon(QStringLiteral(":/ui-icons/toolbar/no-such-file.svg")).isNull());
        // A resource that is there but is no SVG (the application icon is a PNG).
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("VelanoxNR.png")));
        QVERIFY(renderedIcon(QStringLiteral(":/app-icon/16x16/apps/com.orvantel.VelanoxNR.png"))
                    .isNull());
    }
};

VELANOX_UI_TEST(IconFilesTest);

#include "icon_files_test.moc"
