#include "pane_fixture.h"
#include "ui_test_main.h"

#include "support/synthetic_dng.h"
#include "support/test_images.h"

#include "codec/exif/file_info_text.h"
#include "document/load_source.h"
#include "ui/panes/file_properties_pane.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/panes/skinned_slider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <fstream>

using namespace velanox;
using namespace velanox::ui;
using velanox::ui::test::control;
using velanox::ui::test::PaneFixture;

namespace {

struct PropertiesFixture : PaneFixture {
    FilePropertiesPane pane;
    PropertiesFixture() {
        pane.setLinks(countingLinks());
        pane.resize(240, 600);
        pane.thumbnailView()->setFixedSize(200, 150);
    }
};

QString info(FilePropertiesPane& pane) {
    return control<QPlainTextEdit>(&pane, ids::kEditFileInfo)->toPlainText();
}

} // namespace

class FilePropertiesPaneTest : public QObject {
    Q_OBJECT

private slots:
    void thumbnailSizeFitsTheControl() {
        QCOMPARE(FilePropertiesPane::thumbnailSize(3000, 2000, 200, 150), QSize(200, 133));
        QCOMPARE(FilePropertiesPane::thumbnailSize(2000, 3000, 200, 150), QSize(100, 150));
        QCOMPARE(FilePropertiesPane::thumbnailSize(4000, 100, 200, 150), QSize(200, 5));
    }

    void cropOptionsWorkOnlyInFullCropMode() {
        PropertiesFixture f;
        f.makeSource(300, 200, 90);
        f.pane.attachDocument(f.doc.get());
        const int cropControls[] = {ids::kListCropAspect, ids::kSliderEnlarge, ids::kCheckCropSwap,
                                    ids::kButtonApplyCrop};
        for (int id : cropControls)
            QVERIFY2(!f.pane.findChild<QWidget*>(QStringLiteral("control_%1").arg(id))->isEnabled(),
                     qPrintable(QString::number(id)));
        QVERIFY(control<QComboBox>(&f.pane, ids::kListOutputWindow)->isEnabled());
        QVERIFY(!control<QToolButton>(&f.pane, ids::kButtonReturn)->isVisibleTo(&f.pane));

        QVERIFY(f.doc->enterCropMode(true).ok());
        f.pane.attachDocument(f.doc.get());
        for (int id : cropControls)
            QVERIFY(f.pane.findChild<QWidget*>(QStringLiteral("control_%1").arg(id))->isEnabled());
        QVERIFY(!control<QComboBox>(&f.pane, ids::kListOutputWindow)->isEnabled());
        QCOMPARE(control<QCheckBox>(&f.pane, ids::kCheckCropSwap)->text(),
                 QStringLiteral("Crop Landscape to Portrait"));

        // The Curves tab: neither crop options nor the output window.
        f.doc->leaveCropMode(false, true);
        f.doc->display.displayTab = document::kTabCurves;
        f.pane.refreshCropInfo();
        QVERIFY(!control<QComboBox>(&f.pane, ids::kListOutputWindow)->isEnabled());
        QVERIFY(!control<QComboBox>(&f.pane, ids::kListCropAspect)->isEnabled());
    }

    void theAspectListSetsCropAspectAndTheCropSizeFollows() {
        PropertiesFixture f;
        f.makeSource(3000, 2000, 90);
        f.doc->crop.cropAspect = 8;
        QVERIFY(f.doc->enterCropMode(true).ok());
        f.pane.attachDocument(f.doc.get());
        auto* aspect = control<QComboBox>(&f.pane, ids::kListCropAspect);
        QCOMPARE(aspect->count(), 9);
        QCOMPARE(aspect->itemText(0), QStringLiteral("Square (1:1)"));
        QCOMPARE(aspect->currentIndex(), 8);
        QCOMPARE(info(f.pane), QStringLiteral("Crop Image: 3000 x 2000"));

        aspect->setCurrentIndex(0);
        emit aspect->activated(0);
        QCOMPARE(f.doc->crop.cropAspect, 0);
        QCOMPARE(info(f.pane), QStringLiteral("Crop Image: 2000 x 2000"));
        QVERIFY(f.redraws > 0);
        // The frame: the square window at the left edge of a 200 x 133 thumbnail.
        QCOMPARE(f.pane.thumbnailView()->frame(), QRect(0, 0, 133, 133));

        auto* enlarge = control<SkinnedSlider>(&f.pane, ids::kSliderEnlarge);
        enlarge->setValue(50); // zoom 2.0
        QCOMPARE(f.doc->crop.cropZoom, 2.0);
        // 1/2 of the width: 1500 x 1500 fits the height.
        QCOMPARE(info(f.pane), QStringLiteral("Crop Image: 1500 x 1500"));

        control<QCheckBox>(&f.pane, ids::kCheckCropSwap)->click();
        QCOMPARE(f.doc->crop.cropSwap, 1);
    }

    void applyCropCutsTheSourceAndLeavesTheMode() {
        PropertiesFixture f;
        f.makeSource(300, 200, 90);
        f.doc->crop.cropAspect = 0;
        QVERIFY(f.doc->enterCropMode(true).ok());
        f.pane.attachDocument(f.doc.get());
        control<QToolButton>(&f.pane, ids::kButtonApplyCrop)->click();
        QVERIFY(!f.doc->crop.cropMode);
        QCOMPARE(f.doc->sourceImage.width, 200);
        QCOMPARE(f.doc->sourceImage.height, 200);
        QCOMPARE(f.modeTabs.back(), 0);
        QCOMPARE(f.detailRuns, 1);
        QVERIFY(info(f.pane).contains(QStringLiteral("200 x 200")));
    }

    void theFrameFollowsTheVisibleRectangle() {
        PropertiesFixture f;
        f.makeSource(400, 300, 90);
        f.doc->display.visibleRect = core::Rect{100, 75, 300, 225};
        f.pane.attachDocument(f.doc.get());
        // 400 x 300 in 200 x 150: half size.
        QCOMPARE(f.pane.thumbnailView()->thumbnail().size(), QSize(200, 150));
        QCOMPARE(f.pane.thumbnailView()->frame(), QRect(50, 37, 100, 75));
        f.doc->display.visibleRect = core::Rect{0, 0, 200, 150};
        f.pane.refreshCropInfo();
        QCOMPARE(f.pane.thumbnailView()->frame(), QRect(0, 0, 100, 75));
    }

    void draggingTheFrameScrollsTheViewOrMovesTheCrop() {
        PropertiesFixture f;
        f.makeSource(400, 300, 90);
        f.doc->display.visibleRect = core::Rect{0, 0, 200, 150};
        f.pane.attachDocument(f.doc.get());
        ThumbnailView* thumb = f.pane.thumbnailView();
        // Press at the thumbnail's centre: the frame's centre goes there. The 100 x 75 frame
        // is held at its middle (50, 37).
        QTest::mousePress(thumb, Qt::LeftButton, {}, QPoint(100, 75));
        QTest::mouseRelease(thumb, Qt::LeftButton, {}, QPoint(100, 75));
        QCOMPARE(f.scrolls.size(), std::size_t(1));
        QCOMPARE(f.scrolls[0].first, 0.25);
        QCOMPARE(f.scrolls[0].second, 38.0 / 150); // the grab offset is 75 / 2 = 37
        QCOMPARE(f.detailRuns, 1);

        f.doc->crop.cropAspect = 0; // a 300 x 300 window in a 400 x 300 picture
        QVERIFY(f.doc->enterCropMode(true).ok());
        f.pane.attachDocument(f.doc.get());
        QTest::mousePress(thumb, Qt::LeftButton, {}, QPoint(199, 75));
        QTest::mouseRelease(thumb, Qt::LeftButton, {}, QPoint(199, 75));
        QCOMPARE(f.doc->crop.cropOffsetX, 100); // clamped at the right edge
        QCOMPARE(f.doc->crop.cropOffsetY, 0);
        QCOMPARE(f.scrolls.size(), std::size_t(1));
    }

    void pressesWhileCalculatingAreIgnored() {
        PropertiesFixture f;
        f.makeSource(400, 300, 90);
        f.pane.attachDocument(f.doc.get());
        f.doc->processing.calculating = 1;
        QTest::mousePress(f.pane.thumbnailView(), Qt::LeftButton, {}, QPoint(100, 75));
        QTest::mouseRelease(f.pane.thumbnailView(), Qt::LeftButton, {}, QPoint(100, 75));
        f.doc->processing.calculating = 0;
        QVERIFY(f.scrolls.empty());
        QCOMPARE(f.detailRuns, 0);
    }

    void theOutputWindowChoiceReprocessesInThatOutput() {
        PropertiesFixture f;
        f.makeSource(64, 64, 90);
        f.pane.attachDocument(f.doc.get());
        auto* output = control<QComboBox>(&f.pane, ids::kListOutputWindow);
        QCOMPARE(output->itemText(0), QStringLiteral("Display Result Image (default)"));
        output->setCurrentIndex(2);
        emit output->activated(2);
        QCOMPARE(f.doc->display.outputWindowMode, 2);
        QCOMPARE(f.nrRefreshes, 1);
        QCOMPARE(f.detailRuns, 1);
        f.pane.resetOutputWindow();
        QCOMPARE(output->currentIndex(), 0);
        QCOMPARE(f.doc->display.outputWindowMode, 0);
    }

    void aFixedFolderWithoutAPathFallsBackToRecentlyUsed() {
        PropertiesFixture f;
        QSignalSpy changed(&f.pane, &FilePropertiesPane::saveFolderChanged);
        f.pane.setFolderChooser([](const QString&) { return QString(); });
        control<QRadioButton>(&f.pane, ids::kRadioFixedFolder)->click();
        QCOMPARE(f.pane.useFixedSaveFolder(), 0);
        QVERIFY(control<QRadioButton>(&f.pane, ids::kRadioRecentlyUsed)->isChecked());
        QCOMPARE(changed.count(), 1);

        f.pane.setFolderChooser([](const QString&) { return QStringLiteral("/tmp/out"); });
        control<QRadioButton>(&f.pane, ids::kRadioFixedFolder)->click();
        QCOMPARE(f.pane.useFixedSaveFolder(), 1);
        QCOMPARE(control<QLineEdit>(&f.pane, ids::kEditOutputFolder)->text(),
                 QStringLiteral("/tmp/out"));
        QCOMPARE(changed.last().at(0).toInt(), 1);
        QCOMPARE(changed.last().at(1).toString(), QStringLiteral("/tmp/out"));
    }

    void aPictureWithoutExifShowsItsSize() {
        PropertiesFixture f;
        f.makeSource(320, 240, 90);
        f.pane.attachDocument(f.doc.get());
        QCOMPARE(info(f.pane), QStringLiteral("No EXIF\n320 x 240"));
    }

    void aCameraJpegShowsItsExifSummary() {
        VELANOX_UI_TEST_FILE(path, "jpeg/canon_powershot_sx150is_orient6.jpg");
        PropertiesFixture f;
        QVERIFY(document::loadSource(*f.doc, path, false).loaded());
        f.pane.attachDocument(f.doc.get());
        QString expected = QString::fromStdString(codec::fileInfoText(f.doc->sourceImage));
        expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QCOMPARE(info(f.pane), expected);
        QVERIFY(info(f.pane).startsWith(QStringLiteral("Canon Canon PowerShot SX150 IS\n")));
        QVERIFY(info(f.pane).contains(QStringLiteral("\n1200 x 1600\n")));
        QVERIFY(info(f.pane).contains(QStringLiteral("ISO: 80\n1/50\nF: 3.4")));
    }

    void aCameraRawShowsTheCameraDataLikeExif() {
        velanox::test::SyntheticDng shot;
        shot.make = "Orvantel";
        shot.model = "R-1";
        shot.iso = 200;
        shot.exposureSeconds = 1.0 / 60;
        shot.fNumber = 8;
        const QTemporaryDir folder;
        const std::string path = folder.filePath(QStringLiteral("shot.dng")).toStdString();
        const std::vector<uint8_t> bytes = velanox::test::makeSyntheticDng(shot);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        PropertiesFixture f;
        QVERIFY(loadSource(*f.doc, path, false).loaded());
        f.pane.attachDocument(f.doc.get());
        QCOMPARE(info(f.pane), QStringLiteral("Orvantel R-1\n64 x 48\n2021:03:04 05:06:07\n"
                                              "ISO: 200\n1/60\nF: 8.0\n"));
    }
};

VELANOX_UI_TEST(FilePropertiesPaneTest);
#include "file_properties_pane_test.moc"
