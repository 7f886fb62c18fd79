// The program as a person uses it: leaving Full/Crop mode crops only a window the person shaped
// (also on the way in through Color Match's "Auto Switch to Full Mode"), Escape, Enter and the
// keypad's zoom keys wherever the focus is, the Enlarge slider on the arrow keys, Memory
// Settings after a run, the scroll bars' wheel, and a press on the view restoring only what was
// processed.
#include "ui_test_main.h"

#include "app_fixture.h"

#include "codec/picture.h"
#include "ui/close_deferral.h"
#include "ui/file_dialogs.h"
#include "ui/jpeg_options_dialog.h"
#include "ui/panes/color_match_pane.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/panes/skinned_slider.h"
#include "ui/qt_host.h"
#include "ui/resource_ids.h"
#include "ui/sotavo_view.h"
#include "ui/status_bar.h"

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <cstring>

using namespace velanox::ui;
using velanox::ui::test::AppFixture;

namespace {

// The Color Match pane of the frame, shown (its content is made the first time it shows).
ColorMatchPane* colorMatchPane(AppFixture& f) {
    QDockWidget* dock = f.frame()->pane(ids::kPaneIdColorMatch);
    dock->show();
    dock->raise();
    return qobject_cast<ColorMatchPane*>(f.frame()->paneContent(ids::kPaneIdColorMatch));
}

bool sameRows(const velanox::codec::Picture& a, const velanox::codec::Picture& b) {
    return a.width == b.width && a.height == b.height &&
           std::memcmp(a.pixels(), b.pixels(), a.pixelBytes()) == 0;
}

} // namespace

class FrameUsageTest : public QObject {
    Q_OBJECT
private slots:
    void anUntouchedCropWindowIsLeftWithoutCropping() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("tall.png"), 240, 320));
        f.doc().crop.cropAspect = 0; // "Square (1:1)", as remembered from an earlier session
        f.run(ids::kFullCropMode);
        f.run(ids::kDetailMode);
        QVERIFY(!f.doc().crop.cropMode);
        QVERIFY(f.questions.isEmpty());
        QCOMPARE(f.doc().sourceImage.width, 240);
        QCOMPARE(f.doc().sourceImage.height, 320);

        // Zooming in and back out again still changed the window: leaving asks.
        f.run(ids::kFullCropMode);
        f.run(ids::kZoomIn);
        f.run(ids::kZoomOut);
        f.answer = QuestionAnswer::No;
        f.run(ids::kDetailMode);
        QCOMPARE(f.questions, QStringList{QStringLiteral("Apply Crop to Image?")});
        QCOMPARE(f.doc().sourceImage.height, 320);

        // A new visit starts untouched again; a drag of the window touches it.
        f.run(ids::kFullCropMode);
        QWidget* port = f.controller->view()->viewport();
        const QPoint middle = port->rect().center();
        QTest::mousePress(port, Qt::LeftButton, {}, middle);
        QTest::mouseMove(port, middle - QPoint(0, 60)); // the window moves down
        QTest::mouseRelease(port, Qt::LeftButton, {}, middle - QPoint(0, 60));
        f.answer = QuestionAnswer::Yes;
        f.run(ids::kDetailMode);
        QCOMPARE(f.questions.size(), 2);
        QCOMPARE(f.doc().sourceImage.width, 240);
        QCOMPARE(f.doc().sourceImage.height, 240);

        // Apply Crop crops an untouched window: that is the request.
        f.run(ids::kFullCropMode);
        f.doc().crop.cropAspect = 2; // 3:2
        f.run(ids::kApplyCrop);
        QCOMPARE(f.questions.size(), 2);
        QCOMPARE(f.doc().sourceImage.height, 160);
    }

    void colorMatchsAutoSwitchNeverCropsByItself() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("photo.png"), 240, 320));
        const QString reference = f.write(QStringLiteral("reference.png"), 90, 60, 3);
        f.doc().crop.cropAspect = 0;
        ColorMatchPane* pane = colorMatchPane(f);
        QVERIFY(pane);
        QVERIFY(pane->autoSwitchToFull());
        // A run in progress when the pane's timer fires delays the switch; it does not lose it.
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().mayReplaceImages(), velanox::ui::test::kSlowMachineMs);
        f.doc().processing.calculating = 1;
        pane->loadReference(reference);
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join('|')));
        QTest::qWait(4 * ColorMatchPane::kModeDelay);
        QVERIFY(!f.doc().crop.cropMode);
        f.doc().processing.calculating = 0;
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().crop.cropMode,
                                 velanox::ui::test::kSlowMachineMs); // the pane moved the person in
        QCOMPARE(f.tab(), int(kFullCropTab));

        // Details: no question, no crop.
        f.run(ids::kDetailMode);
        QVERIFY(!f.doc().crop.cropMode);
        QVERIFY(f.questions.isEmpty());
        QCOMPARE(f.doc().sourceImage.height, 320);

        // Saving from the Full/Crop mode Color Match chose writes the whole picture.
        f.run(ids::kFullCropMode);
        const QString out = f.dir.filePath(QStringLiteral("photo_NR.png"));
        const FileDialogHandler previous =
            setFileDialogHandler([&](QWidget*, const FileDialogRequest&) {
                return FileDialogAnswer{true, out, 2};
            });
        const bool saved = f.controller->saveWithDialog();
        setFileDialogHandler(previous);
        QVERIFY2(saved, qPrintable(f.messages.join('|')));
        QCOMPARE(QImage(out).size(), QSize(240, 320));
        QVERIFY(f.questions.isEmpty());

        // A window the person zoomed is saved cropped, as before.
        f.run(ids::kFullCropMode);
        f.run(ids::kZoomIn);
        const QString cropped = f.dir.filePath(QStringLiteral("photo_crop_NR.png"));
        const FileDialogHandler again =
            setFileDialogHandler([&](QWidget*, const FileDialogRequest&) {
                return FileDialogAnswer{true, cropped, 2};
            });
        QVERIFY(f.controller->saveWithDialog());
        setFileDialogHandler(again);
        QCOMPARE(QImage(cropped).size(), QSize(229, 229)); // 240 / 1.05, rounded, square
    }

    void escapeEnterAndTheZoomKeysWorkWhereverTheFocusIs() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("keys.png"), 300, 200));
        f.frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.frame()));
        f.run(ids::kFullCropMode);
        // The focus on a pane's list, as after choosing an aspect.
        auto* aspect =
            f.frame()->findChild<QComboBox*>(objectNameFor("control", ids::kListCropAspect));
        QVERIFY(aspect);
        aspect->setFocus();
        QVERIFY(aspect->hasFocus());
        QTest::keyClick(aspect, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.doc().crop.cropZoom, 1.05);
        QTest::keyClick(aspect, Qt::Key_Plus, Qt::KeypadModifier);
        QTest::keyClick(aspect, Qt::Key_Minus, Qt::KeypadModifier);
        QCOMPARE(f.doc().crop.cropZoom, 1.05);
        f.answer = QuestionAnswer::Cancel;
        QTest::keyClick(aspect, Qt::Key_Escape);
        QCOMPARE(f.questions.size(), 1);
        QVERIFY(f.doc().crop.cropMode);
        QTest::keyClick(aspect, Qt::Key_Return);
        QVERIFY(!f.doc().crop.cropMode);
        QCOMPARE(f.doc().sourceImage.width, 286);
        QCOMPARE(f.questions.size(), 1);

        // No focus at all (just after start): the window itself gets the keys.
        f.run(ids::kFullCropMode);
        if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
        QTest::keyClick(f.frame(), Qt::Key_Escape);
        QVERIFY(!f.doc().crop.cropMode);
        QCOMPARE(f.questions.size(), 1); // untouched: left without a question

        // A text box keeps Enter for itself.
        f.run(ids::kFullCropMode);
        auto* folder = f.frame()->findChild<QLineEdit*>();
        QVERIFY(folder);
        folder->setEnabled(true);
        folder->setFocus();
        QTest::keyClick(folder, Qt::Key_Return);
        QVERIFY(f.doc().crop.cropMode);
    }

    void theEnlargeSliderStepsOnTheArrowKeysAndTheZoomCommandsFollow() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("enlarge.png"), 300, 200));
        f.run(ids::kFullCropMode);
        auto* enlarge =
            f.frame()->findChild<SkinnedSlider*>(objectNameFor("control", ids::kSliderEnlarge));
        QVERIFY(enlarge);
        QAction* zoomOut = f.frame()->command(ids::kZoomOut);
        QVERIFY(!zoomOut->isEnabled());
        enlarge->setFocus();
        for (int step = 1; step <= 12; ++step) {
            QTest::keyClick(enlarge, Qt::Key_Right);
            QCOMPARE(enlarge->value(), step);
        }
        QCOMPARE(f.doc().crop.cropZoom, 1.24);
        QVERIFY2(zoomOut->isEnabled(), "Zoom Out stays disabled after the slider moved");
        for (int step = 11; step >= 0; --step) {
            QTest::keyClick(enlarge, Qt::Key_Left);
            QCOMPARE(enlarge->value(), step);
        }
        QVERIFY(!zoomOut->isEnabled());
    }

    void aJpegQualityIsCorrectedOnlyWhenEntered() {
        velanox::codec::Picture source;
        QVERIFY(source.allocate(64, 48, 24).ok());
        JpegOptionsDialog dialog(source, 5000, 75, false);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* edit = dialog.findChild<QLineEdit*>(objectNameFor("control", ids::kJpegQualityEdit));
        QVERIFY(edit);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("90"));
        QCOMPARE(edit->text(), QStringLiteral("90")); // not 40 after the "9"
        QCOMPARE(dialog.quality(), 90);
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("9"));
        QCOMPARE(edit->text(), QStringLiteral("9"));
        QCOMPARE(dialog.quality(), 90);
        // Enter commits (and corrects) and takes the dialog's OK.
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(edit->text(), QStringLiteral("40"));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.quality(), 40);
    }

    void closingTheWindowDuringARunStopsTheRun() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("quit.png"), 300, 200));
        QtHost& host = f.controller->host();
        QCOMPARE(host.pumpEvents(), velanox::document::PumpResult::Continue);
        // A close that arrives while a run pumps events waits for the run, and the run's next
        // check answers "quitting", so the run stops and the close follows.
        QTimer::singleShot(0, f.frame(), [&f] { f.frame()->close(); });
        QCOMPARE(host.pumpEvents(), velanox::document::PumpResult::Quitting);
        QVERIFY(f.frame()->closeDeferral().isPending());
        QVERIFY(f.frame()->isVisible());
    }

    void memorySettingsComeBackWhenARunEnds() {
        AppFixture f;
        QVERIFY(f.enabled(ids::kMemorySettings));
        QVERIFY(f.open(QStringLiteral("run.png"), 300, 200)); // a detail run follows the load
        QVERIFY(f.doc().processing.resultValid);
        QVERIFY(f.frame()->command(ids::kMemorySettings)->isEnabled());
        QVERIFY(f.frame()->command(ids::kFileNew)->isEnabled());
        f.frame()->setRunActive(true);
        QVERIFY(!f.frame()->command(ids::kMemorySettings)->isEnabled());
        f.frame()->setRunActive(false);
        QVERIFY(f.frame()->command(ids::kMemorySettings)->isEnabled());
    }

    void theWheelOverAScrollBarScrollsAndRunsAgain() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("tall.png"), 400, 3000));
        CSotavoView* view = f.controller->view();
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().processing.resultValid, velanox::ui::test::kSlowMachineMs);
        QScrollBar* bar = view->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        const QPointF at = bar->rect().center();
        QWheelEvent down(at, bar->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {},
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &down);
        QVERIFY(view->scrollY() > 0);
        QVERIFY(!f.doc().processing.resultValid); // the lower half shows the source
        QVERIFY(view->reprocessTimer().isPending());
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().processing.resultValid,
                                 velanox::ui::test::kSlowMachineMs); // and is processed again
    }

    void theDetailViewZoomsPixelByPixelAndTheSavedFileStaysTheSame() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("zoom.png"), 600, 500));
        CSotavoView* view = f.controller->view();
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().processing.resultValid, velanox::ui::test::kSlowMachineMs);
        auto save = [&](const QString& name) {
            const QString out = f.dir.filePath(name);
            const FileDialogHandler previous =
                setFileDialogHandler([&](QWidget*, const FileDialogRequest&) {
                    return FileDialogAnswer{true, out, 2};
                });
            const bool saved = f.controller->saveWithDialog();
            setFileDialogHandler(previous);
            QFile file(out);
            return saved && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray atOne = save(QStringLiteral("one.png"));
        QVERIFY(!atOne.isEmpty());
        QCOMPARE(f.frame()->frameStatusBar()->zoomText(), QStringLiteral("Detail 100%"));

        f.run(ids::kDetailZoom200);
        QCOMPARE(view->detailZoom(), 2);
        QVERIFY(f.checked(ids::kDetailZoom200));
        QVERIFY(!f.checked(ids::kDetailZoom100));
        QCOMPARE(f.frame()->frameStatusBar()->zoomText(), QStringLiteral("Detail 200%"));
        // The visible (and processed) rectangle is half as wide as the window.
        const velanox::core::Rect visible = f.doc().display.visibleRect;
        QCOMPARE(visible.width(), (view->clientWidth() + 1) / 2);
        // Each image pixel covers two by two screen pixels.
        const velanox::codec::Picture& source = f.doc().sourceImage;
        auto sourceColor = [&](int x, int y) {
            const uint8_t* px =
                source.pixels() + std::size_t(y) * source.rowBytes() + std::size_t(x) * 3;
            return QColor(px[0], px[1], px[2]);
        };
        const QImage shot = view->renderToImage();
        for (const QPoint at : {QPoint(3, 4), QPoint(10, 20)}) {
            const QColor expected = sourceColor(view->scrollX() + at.x(), view->scrollY() + at.y());
            QCOMPARE(QColor(shot.pixel(2 * at.x(), 2 * at.y())), expected);
            QCOMPARE(QColor(shot.pixel(2 * at.x() + 1, 2 * at.y() + 1)), expected);
        }
        f.shot("detail_zoom200");

        // Ctrl and the wheel step through 100, 200 and 400 %.
        QWidget* port = view->viewport();
        const QPointF at = port->rect().center();
        QWheelEvent up(at, port->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton,
                       Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(port, &up);
        QCOMPARE(view->detailZoom(), 4);
        QApplication::sendEvent(port, &up);
        QCOMPARE(view->detailZoom(), 4);
        QCOMPARE(f.frame()->frameStatusBar()->zoomText(), QStringLiteral("Detail 400%"));
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().processing.resultValid, velanox::ui::test::kSlowMachineMs);

        // The saved file does not depend on the view.
        QCOMPARE(save(QStringLiteral("four.png")), atOne);
        QWheelEvent down(at, port->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton,
                         Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(port, &down);
        QApplication::sendEvent(port, &down);
        QCOMPARE(view->detailZoom(), 1);
    }

    void aPressRestoresTheProcessedPartOfTheResultOnly() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("big.png"), 1600, 1400));
        CSotavoView* view = f.controller->view();
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().processing.resultValid, velanox::ui::test::kSlowMachineMs);
        velanox::codec::Picture& result = f.doc().resultImage;
        const velanox::codec::Picture& source = f.doc().sourceImage;
        // A mark where the run wrote (the top left of the detail rectangle) comes back from
        // the source; one where no run wrote is not copied over again.
        result.pixels()[0] = uint8_t(source.pixels()[0] ^ 0xFF);
        uint8_t* last = result.pixels() + result.pixelBytes() - 3;
        last[0] = uint8_t(source.pixels()[source.pixelBytes() - 3] ^ 0xFF);
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!f.doc().processing.resultValid);
        QCOMPARE(result.pixels()[0], source.pixels()[0]);
        QVERIFY(last[0] != source.pixels()[source.pixelBytes() - 3]);
        last[0] = source.pixels()[source.pixelBytes() - 3];
        QVERIFY(sameRows(result, source));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(20, 20));

        // After a save the whole result was processed: all of it comes back.
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().processing.resultValid, velanox::ui::test::kSlowMachineMs);
        const QString out = f.dir.filePath(QStringLiteral("big_NR.png"));
        const FileDialogHandler previous =
            setFileDialogHandler([&](QWidget*, const FileDialogRequest&) {
                return FileDialogAnswer{true, out, 2};
            });
        QVERIFY(f.controller->saveWithDialog());
        setFileDialogHandler(previous);
        QVERIFY(f.doc().processing.resultValid);
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(sameRows(result, source));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    }
};

VELANOX_UI_TEST(FrameUsageTest);
#include "frame_usage_test.moc"
