#include "ui_test_main.h"

#include "codec/picture.h"
#include "ui/panes.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/panes/secondary_panes.h"
#include "ui/prev_file_dialog.h"
#include "ui/resource_ids.h"

#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>

using namespace velanox;
using namespace velanox::ui;

class PrevFileDialogTest : public QObject {
    Q_OBJECT

    static QString writePicture(const QTemporaryDir& dir, const char* name, int w, int h) {
        codec::Picture picture;
        picture.allocate(w, h, 24);
        std::memset(picture.pixels(), 200, picture.pixelBytes());
        const QString path = dir.filePath(QString::fromLatin1(name));
        if (!picture.save(path.toStdString()).ok()) return {};
        return path;
    }

private slots:
    void thePreviewShowsTheFullSizeAndFitsTheArea() {
        QTemporaryDir dir;
        const QString wide = writePicture(dir, "wide.png", 640, 160);
        QVERIFY(!wide.isEmpty());
        CPrevFileDlg dialog(nullptr, QStringLiteral("Load image file"),
                            QStringLiteral("PNG|*.png||"), dir.path());
        CPrevFileDlg::setPreviewEnabled(true);
        auto* size = dialog.findChild<QLabel*>(objectNameFor("control", ids::kLabelPreviewSize));
        QCOMPARE(size->text(), QStringLiteral("No Image"));
        dialog.showPreviewOf(wide);
        QCOMPARE(dialog.sizeText(), QStringLiteral("640 x 160\nPixels"));
        const QSize area = dialog.preview()->previewArea();
        QCOMPARE(dialog.preview()->image().width(), area.width());
        QCOMPARE(dialog.preview()->image().height(), int(160 / (640.0 / area.width())));

        // Off for the rest of the run: the preview clears and later files are not read.
        auto* check = dialog.findChild<QCheckBox*>(objectNameFor("control", ids::kCheckPreview));
        QCOMPARE(check->text(), QStringLiteral("&Preview"));
        check->click();
        QVERIFY(!CPrevFileDlg::previewEnabled());
        QVERIFY(dialog.preview()->image().isNull());
        QVERIFY(dialog.sizeText().isEmpty());
        dialog.showPreviewOf(wide);
        QVERIFY(dialog.preview()->image().isNull());
        check->click();
        QCOMPARE(dialog.sizeText(), QStringLiteral("640 x 160\nPixels"));
    }

    void aSmallPictureKeepsItsSizeAndABrokenFileShowsNothing() {
        QTemporaryDir dir;
        const QString small = writePicture(dir, "small.png", 20, 10);
        CPrevFileDlg::setPreviewEnabled(true);
        CPrevFileDlg dialog(nullptr, QStringLiteral("Load image file"),
                            QStringLiteral("PNG|*.png||"), dir.path());
        dialog.showPreviewOf(small);
        QCOMPARE(dialog.preview()->image().size(), QSize(20, 10));
        dialog.showPreviewOf(dir.filePath(QStringLiteral("absent.png")));
        QVERIFY(dialog.preview()->image().isNull());
        QVERIFY(dialog.sizeText().isEmpty());
    }

    void theFactoryMakesTheThreePanes() {
        for (int id :
             {ids::kPaneIdFileProperties, ids::kPaneIdColorCorrection, ids::kPaneIdColorMatch}) {
            std::unique_ptr<PaneContent> pane(makeSecondaryPane(id, nullptr));
            QVERIFY(pane);
            QCOMPARE(pane->paneId(), id);
        }
        QVERIFY(!makeSecondaryPane(ids::kPaneIdNrOptions, nullptr));
    }
};

VELANOX_UI_TEST(PrevFileDialogTest);
#include "prev_file_dialog_test.moc"
