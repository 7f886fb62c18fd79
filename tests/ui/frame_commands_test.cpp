// The crop, mode and folder commands driven through the main frame on a real document: the
// Full/Crop frame with its zoom limits, dragging and Apply Crop, the question when Curves is
// chosen from Full/Crop, Load Next/Previous Image in Folder, drop and paste. With
// VELANOX_UI_SHOTS set to a folder, each state is also written there as a PNG of the window.
#include "ui_test_main.h"

#include "app_fixture.h"

#include "document/csotavo_doc.h"
#include "ui/about_dialog.h"
#include "ui/application.h"
#include "ui/document_controller.h"
#include "ui/file_dialogs.h"
#include "ui/jpeg_options_dialog.h"
#include "ui/main_frame.h"
#include "ui/memory_settings_dialog.h"
#include "ui/message_box.h"
#include "ui/mode_commands.h"
#include "ui/mode_tab_strip.h"
#include "ui/panes/file_properties_pane.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/prev_file_dialog.h"
#include "ui/resource_ids.h"
#include "ui/sotavo_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>

using namespace velanox::ui;
using velanox::ui::test::AppFixture;
using velanox::ui::test::scene;

class FrameCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void theZoomCommandsStopAtTheirLimits() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("zoom.png"), 300, 200));
        QVERIFY(!f.enabled(ids::kZoomIn)); // only in Full/Crop mode
        QVERIFY(f.enabled(ids::kRotateCw));
        f.run(ids::kFullCropMode);
        QVERIFY(f.doc().crop.cropMode);
        QCOMPARE(f.tab(), int(kFullCropTab));
        QVERIFY(f.checked(ids::kFullCropMode));
        QVERIFY(!f.enabled(ids::kRotateCw));
        QVERIFY(!f.enabled(ids::kRotateCcw));
        QVERIFY(f.enabled(ids::kZoomIn));
        QVERIFY(!f.enabled(ids::kZoomOut));

        for (int step = 0; step < 40; ++step)
            f.run(ids::kZoomIn);
        QVERIFY(f.doc().crop.cropZoom < 3.0);
        QVERIFY(f.enabled(ids::kZoomIn));
        f.run(ids::kZoomIn);
        QCOMPARE(f.doc().crop.cropZoom, 3.0);
        QVERIFY(!f.enabled(ids::kZoomIn));
        QVERIFY(f.enabled(ids::kZoomOut));
        f.shot("fullcrop_zoom3");

        for (int step = 0; step < 41; ++step)
            f.run(ids::kZoomOut);
        QCOMPARE(f.doc().crop.cropZoom, 1.0);
        QVERIFY(!f.enabled(ids::kZoomOut));
        // Rotation comes back with Detail mode.
        f.run(ids::kDetailMode);
        QVERIFY(!f.doc().crop.cropMode);
        QCOMPARE(f.tab(), int(kDetailsTab));
        QVERIFY(f.enabled(ids::kRotateCw));
        QVERIFY(f.messages.isEmpty());
    }

    void theWheelZoomsAndTheZoomButtonsFollow() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("wheel.png"), 300, 200));
        f.run(ids::kFullCropMode);
        QAction* zoomOut = f.frame()->command(ids::kZoomOut);
        QVERIFY(!zoomOut->isEnabled());
        QWidget* port = f.controller->view()->viewport();
        const QPointF at = port->rect().center();
        QWheelEvent up(at, port->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, {},
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(port, &up);
        QCOMPARE(f.doc().crop.cropZoom, 1.05);
        QVERIFY2(zoomOut->isEnabled(), "Zoom Out stays disabled after a wheel step");
        // The middle button resets the zoom.
        QWheelEvent reset(at, port->mapToGlobal(at), {}, QPoint(0, 120), Qt::MiddleButton, {},
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(port, &reset);
        QCOMPARE(f.doc().crop.cropZoom, 1.0);
        QVERIFY(!zoomOut->isEnabled());
        // The keypad's + and - step the zoom as well.
        f.frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.frame()));
        f.controller->view()->setFocus();
        QTest::keyClick(f.controller->view(), Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(f.doc().crop.cropZoom, 1.05);
        QTest::keyClick(f.controller->view(), Qt::Key_Minus, Qt::KeypadModifier);
        QCOMPARE(f.doc().crop.cropZoom, 1.0);
    }

    void escapeAndEnterInFullCropMode() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("keys.png"), 300, 200));
        CSotavoView* view = f.controller->view();
        f.run(ids::kFullCropMode);
        f.run(ids::kZoomIn);
        f.answer = QuestionAnswer::Cancel;
        QTest::keyClick(view, Qt::Key_Escape);
        QCOMPARE(f.questions, QStringList{QStringLiteral("Apply Crop to Image?")});
        QVERIFY(f.doc().crop.cropMode);
        QCOMPARE(f.tab(), int(kFullCropTab));
        f.answer = QuestionAnswer::Yes;
        QTest::keyClick(view, Qt::Key_Escape);
        QVERIFY(!f.doc().crop.cropMode);
        QCOMPARE(f.doc().sourceImage.width, 286); // 300 / 1.05, rounded
        QCOMPARE(f.tab(), int(kDetailsTab));
        // Enter applies at once, without a question.
        f.run(ids::kFullCropMode);
        f.run(ids::kZoomIn);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(f.questions.size(), 2);
        QVERIFY(!f.doc().crop.cropMode);
        QCOMPARE(f.doc().sourceImage.width, 272);
        // In Detail mode both keys do nothing.
        QTest::keyClick(view, Qt::Key_Escape);
        QCOMPARE(f.questions.size(), 2);
        QCOMPARE(f.tab(), int(kDetailsTab));
    }

    void draggingTheFrameAndApplyCropCutTheSource() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("crop.png"), 600, 400));
        f.doc().crop.cropAspect = 0; // "Square (1:1)"
        f.run(ids::kFullCropMode);
        f.run(ids::kGrid);
        QVERIFY(f.checked(ids::kGrid));
        f.shot("fullcrop_square_grid");

        // A drag far to the left moves the window to the right edge of the picture.
        CSotavoView* view = f.controller->view();
        QWidget* port = view->viewport();
        const QPoint middle = port->rect().center();
        QTest::mousePress(port, Qt::LeftButton, {}, middle);
        QTest::mouseMove(port, middle - QPoint(300, 0));
        QTest::mouseMove(port, middle - QPoint(450, 0));
        QTest::mouseRelease(port, Qt::LeftButton, {}, middle - QPoint(450, 0));
        QCOMPARE(f.doc().crop.cropOffsetX, 200);
        f.shot("fullcrop_dragged");

        f.run(ids::kApplyCrop);
        QVERIFY(!f.doc().crop.cropMode);
        QCOMPARE(f.doc().sourceImage.width, 400);
        QCOMPARE(f.doc().sourceImage.height, 400);
        QCOMPARE(f.doc().resultImage.width, 400);
        QCOMPARE(f.tab(), int(kDetailsTab));
        QVERIFY(f.enabled(ids::kRotateCw));
        QVERIFY(f.questions.isEmpty()); // Apply Crop never asks
        f.shot("detail_after_crop");
    }

    void curvesFromFullCropAsksAndCancelKeepsFullCrop() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("ask.png"), 300, 200));
        f.run(ids::kFullCropMode);
        f.run(ids::kZoomIn); // no longer neutral: leaving asks
        f.answer = QuestionAnswer::Cancel;
        f.run(ids::kCurves);
        QCOMPARE(f.questions, QStringList{QStringLiteral("Apply Crop to Image?")});
        QVERIFY(f.doc().crop.cropMode);
        QCOMPARE(f.doc().display.displayTab, 0);
        QCOMPARE(f.tab(), int(kFullCropTab));
        QVERIFY(f.checked(ids::kFullCropMode));
        QVERIFY(!f.checked(ids::kCurves));

        // No: the crop mode ends uncropped and the curves show.
        f.answer = QuestionAnswer::No;
        f.run(ids::kCurves);
        QCOMPARE(f.questions.size(), 2);
        QVERIFY(!f.doc().crop.cropMode);
        QCOMPARE(f.doc().display.displayTab, 1);
        QCOMPARE(f.tab(), int(kCurvesTab));
        QVERIFY(f.checked(ids::kCurves));
        QCOMPARE(f.doc().sourceImage.width, 300);
        f.doc().color.tone.whitePoint = 200;
        f.doc().color.tone.midtoneBend = 1.0;
        f.controller->view()->refresh();
        f.shot("curves");

        // Histogram from Curves asks nothing.
        f.run(ids::kHistogram);
        QCOMPARE(f.questions.size(), 2);
        QCOMPARE(f.tab(), int(kHistogramTab));
        f.shot("histogram");

        // From Detail mode the graphs crop nothing and ask nothing.
        f.run(ids::kDetailMode);
        f.run(ids::kHistogram);
        QCOMPARE(f.questions.size(), 2);
        QCOMPARE(f.doc().sourceImage.width, 300);
    }

    void aCurvesBoxDragSetsTheLevelsAndThePaneFollows() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("curves.png"), 300, 200));
        f.run(ids::kCurves);
        QCOMPARE(f.tab(), int(kCurvesTab));
        CSotavoView* view = f.controller->view();
        QWidget* port = view->viewport();
        const int left = (view->clientWidth() - 255) / 2, top = (view->clientHeight() - 255) / 2;
        // Upper half of the box: the white point, limited to 155 at least.
        QTest::mousePress(port, Qt::LeftButton, {}, QPoint(left + 200, top + 20));
        QTest::mouseMove(port, QPoint(left + 190, top + 20));
        QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(left + 190, top + 20));
        QCOMPARE(f.doc().color.tone.whitePoint, 190);
        auto* white =
            f.frame()->findChild<QLabel*>(objectNameFor("control", ids::kLabelWhitePoint));
        QVERIFY(white);
        QCOMPARE(white->text().trimmed(), QStringLiteral("65"));
        // Lower half: the black point, limited to 100 at most.
        QTest::mouseClick(port, Qt::LeftButton, {}, QPoint(left + 180, top + 240));
        QCOMPARE(f.doc().color.tone.blackPoint, 100);
        f.shot("curves_dragged");
    }

    void savingOnTheCurvesTabAfterACropWritesTheCroppedPicture() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("big.png"), 300, 200));
        f.run(ids::kFullCropMode);
        f.run(ids::kZoomIn);
        f.answer = QuestionAnswer::Yes;
        f.run(ids::kCurves);
        QCOMPARE(f.doc().sourceImage.width, 286);
        QCOMPARE(f.tab(), int(kCurvesTab));
        const QString out = f.dir.filePath(QStringLiteral("cropped_NR.png"));
        const FileDialogHandler previous =
            setFileDialogHandler([&](QWidget*, const FileDialogRequest&) {
                return FileDialogAnswer{true, out, 2};
            });
        const bool saved = f.controller->saveWithDialog();
        setFileDialogHandler(previous);
        QVERIFY2(saved, qPrintable(f.messages.join('|')));
        const QImage written(out);
        QCOMPARE(written.size(), QSize(286, 191));
        QCOMPARE(f.doc().resultImage.width, 286);
    }

    void clickingTheCurvesTabFromFullCropAsksAndCancelKeepsTheTab() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("tabs.png"), 300, 200));
        f.run(ids::kFullCropMode);
        f.run(ids::kZoomIn);
        ModeTabStrip* strip = f.frame()->modeTabs();
        const QPoint curves((strip->tabLeft(kCurvesTab) + strip->tabRight(kCurvesTab)) / 2,
                            strip->height() / 2);
        f.answer = QuestionAnswer::Cancel;
        QTest::mouseClick(strip, Qt::LeftButton, {}, curves);
        QTRY_COMPARE_WITH_TIMEOUT(f.questions.size(), 1,
                                  velanox::ui::test::kSlowMachineMs); // the strip posts its command
        QCOMPARE(strip->current(), int(kFullCropTab));
        QVERIFY(f.doc().crop.cropMode);
        QCOMPARE(f.doc().display.displayTab, 0);
        f.answer = QuestionAnswer::Yes;
        QTest::mouseClick(strip, Qt::LeftButton, {}, curves);
        QTRY_COMPARE_WITH_TIMEOUT(f.questions.size(), 2, velanox::ui::test::kSlowMachineMs);
        QCOMPARE(strip->current(), int(kCurvesTab));
        QCOMPARE(f.doc().display.displayTab, 1);
        QCOMPARE(f.doc().sourceImage.width, 286);
    }

    void theOutputWindowDisplaysAreLabelled() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("out.png"), 900, 700));
        auto* output =
            f.frame()->findChild<QComboBox*>(objectNameFor("control", ids::kListOutputWindow));
        QVERIFY(output);
        output->setCurrentIndex(1);
        emit output->activated(1);
        QTest::qWait(300);
        QCOMPARE(f.doc().display.outputWindowMode, 1);
        f.shot("detail_edges");
        output->setCurrentIndex(2);
        emit output->activated(2);
        QTest::qWait(300);
        f.shot("detail_noise");
        output->setCurrentIndex(0);
        emit output->activated(0);
        QTest::qWait(300);
        f.shot("detail_result");
    }

    void rotationTurnsThePictureAndTheThumbnail() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("turn.png"), 300, 200));
        auto* properties =
            qobject_cast<FilePropertiesPane*>(f.frame()->paneContent(ids::kPaneIdFileProperties));
        QVERIFY(properties);
        const QSize before = properties->thumbnailView()->thumbnail().size();
        QVERIFY(before.width() > before.height());
        f.run(ids::kRotateCw);
        QCOMPARE(f.doc().sourceImage.width, 200);
        QCOMPARE(f.doc().sourceImage.height, 300);
        const QSize after = properties->thumbnailView()->thumbnail().size();
        QVERIFY2(after.height() > after.width(), "the thumbnail still shows the unturned picture");
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().processing.resultValid, velanox::ui::test::kSlowMachineMs);
        f.shot("detail_rotated");
    }

    void newStartsAnEmptyDocument() {
        AppFixture f;
        QVERIFY(f.open(QStringLiteral("old.png"), 300, 200));
        f.doc().color.tone.whitePoint = 200;
        f.run(ids::kFullCropMode);
        f.run(ids::kZoomIn);
        f.run(ids::kFileNew);
        QVERIFY(f.questions.isEmpty());
        QVERIFY(!f.doc().sourceImage.hasPixels());
        QVERIFY(!f.doc().resultImage.hasPixels());
        QVERIFY(!f.doc().crop.cropMode);
        QCOMPARE(f.doc().crop.cropZoom, 1.0);
        QCOMPARE(f.tab(), int(kDetailsTab));
        QVERIFY(f.frame()->windowTitle().startsWith(QStringLiteral("Untitled")));
        auto* properties =
            qobject_cast<FilePropertiesPane*>(f.frame()->paneContent(ids::kPaneIdFileProperties));
        QVERIFY(properties->thumbnailView()->thumbnail().isNull());
        QVERIFY(!f.enabled(ids::kFileSave));
        QVERIFY(!f.enabled(ids::kNextImage));
        QVERIFY(!f.enabled(ids::kReloadFile));
        QVERIFY(!f.enabled(ids::kRotateCw));
        QCOMPARE(f.doc().color.tone.whitePoint, 200); // the settings stay
        f.shot("new_document");
        // A picture opened afterwards shows as usual.
        QVERIFY(f.open(QStringLiteral("next.png"), 120, 80));
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().processing.resultValid, velanox::ui::test::kSlowMachineMs);
    }

    void nextAndPreviousStepThroughTheFolder() {
        AppFixture f;
        const QString a = f.write(QStringLiteral("a.png"), 64, 48, 1);
        const QString b = f.write(QStringLiteral("b.png"), 80, 40, 2);
        const QString c = f.write(QStringLiteral("c.jpg"), 40, 80, 3);
        f.write(QStringLiteral("b_NR.png"), 30, 30, 4); // a result: passed over
        QVERIFY(!a.isEmpty() && !b.isEmpty() && !c.isEmpty());
        QVERIFY(!f.enabled(ids::kNextImage)); // no path yet
        QVERIFY(f.controller->openPath(b));
        QVERIFY(f.enabled(ids::kNextImage));
        QVERIFY(f.enabled(ids::kPrevImage));

        f.run(ids::kNextImage);
        QCOMPARE(QString::fromStdString(f.doc().sourceFile.documentPath), c);
        QCOMPARE(f.doc().sourceImage.width, 40);
        QVERIFY(f.frame()->windowTitle().startsWith(QStringLiteral("c.jpg")));
        QVERIFY(f.doc().processing.resultValid); // the detail run followed the step
        f.run(ids::kNextImage);
        QCOMPARE(f.messages,
                 QStringList{QStringLiteral("This is already the last file in the directory")});
        QCOMPARE(QString::fromStdString(f.doc().sourceFile.documentPath), c);

        f.run(ids::kPrevImage);
        f.run(ids::kPrevImage);
        QCOMPARE(QString::fromStdString(f.doc().sourceFile.documentPath), a);
        QCOMPARE(f.doc().sourceImage.width, 64);
        f.run(ids::kPrevImage);
        QCOMPARE(f.messages.size(), 2);
        QCOMPARE(f.messages.back(),
                 QStringLiteral("This is already the first file in the directory"));
        QCOMPARE(QString::fromStdString(f.doc().sourceFile.documentPath), a);
    }

    void aNeighbourThatCannotBeOpenedIsPassedOver() {
        AppFixture f;
        const QString a = f.write(QStringLiteral("a.png"), 64, 48, 1);
        QFile broken(f.dir.filePath(QStringLiteral("b.jpg")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("\xFF\xD8 this is no JPEG");
        broken.close();
        const QString c = f.write(QStringLiteral("c.png"), 50, 30, 3);
        QVERIFY(f.controller->openPath(a));
        f.run(ids::kNextImage);
        QCOMPARE(QString::fromStdString(f.doc().sourceFile.documentPath), c);
        QCOMPARE(f.doc().sourceImage.width, 50);
        QVERIFY(f.messages.isEmpty());
        f.run(ids::kPrevImage);
        QCOMPARE(QString::fromStdString(f.doc().sourceFile.documentPath), a);
    }

    void aStepInFullCropModeShowsTheNewPictureInFullCrop() {
        AppFixture f;
        const QString a = f.write(QStringLiteral("a.png"), 300, 200, 1);
        f.write(QStringLiteral("b.png"), 200, 300, 2);
        QVERIFY(f.controller->openPath(a));
        f.run(ids::kFullCropMode);
        f.run(ids::kZoomIn);
        f.run(ids::kNextImage);
        QCOMPARE(f.doc().sourceImage.width, 200);
        QVERIFY(f.doc().crop.cropMode);
        QCOMPARE(f.doc().crop.cropZoom, 1.0);
        QCOMPARE(f.doc().cropDisplayImage.width, 200);
        QCOMPARE(f.doc().cropDisplayImage.height, 300);
        QCOMPARE(f.tab(), int(kFullCropTab));
        f.shot("fullcrop_after_next");
    }

    void theSamplePhotographInEveryDisplay() {
        AppFixture f;
        const QString sample = QStringLiteral(VELANOX_SAMPLES_DIR "/iso400_colorchecker.jpg");
        if (!QFile::exists(sample)) QSKIP("the sample photograph is absent");
        QVERIFY(f.controller->openPath(sample));
        f.doc().color.tone.whitePoint = 230;
        f.doc().color.tone.gamma = 1.2f;
        f.run(ids::kFullCropMode); // the display image carries the tone values
        f.run(ids::kGrid);
        f.shot("sample_fullcrop");
        f.run(ids::kZoomIn);
        f.answer = QuestionAnswer::No;
        f.run(ids::kHistogram);
        QCOMPARE(f.tab(), int(kHistogramTab));
        f.shot("sample_histogram");
        f.run(ids::kCurves);
        f.shot("sample_curves");
        if (auto* match =
                f.frame()->findChild<QDockWidget*>(objectNameFor("pane", ids::kPaneIdColorMatch)))
            match->raise();
        f.run(ids::kDetailMode);
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().processing.resultValid, velanox::ui::test::kSlowMachineMs);
        f.shot("sample_color_match");
        // The busy notice over the lower half while a run is on.
        f.doc().processing.calculating = 1;
        const QImage busy = f.controller->view()->renderToImage();
        f.doc().processing.calculating = 0;
        if (!qgetenv("VELANOX_UI_SHOTS").isEmpty())
            busy.save(QDir(QString::fromLocal8Bit(qgetenv("VELANOX_UI_SHOTS")))
                          .filePath(QStringLiteral("view_calculating.png")));
        const QPoint centre(busy.width() / 2, busy.height() / 2 + busy.height() / 4);
        QCOMPARE(busy.pixelColor(centre.x() - 40, centre.y()).rgb() & 0xFFFFFF, 0xFFFFE0u);

        JpegOptionsDialog jpeg(f.doc().sourceImage, 1000000, 85, false, f.frame());
        jpeg.show();
        QTest::qWait(100);
        if (!qgetenv("VELANOX_UI_SHOTS").isEmpty())
            jpeg.grab().save(QDir(QString::fromLocal8Bit(qgetenv("VELANOX_UI_SHOTS")))
                                 .filePath(QStringLiteral("dialog_jpeg_options.png")));
        jpeg.reject();

        AboutDialog about(f.frame());
        about.show();
        MemorySettingsDialog memory({3100, 2100, 2000, 2000}, f.frame());
        memory.show();
        QTest::qWait(100);
        if (!qgetenv("VELANOX_UI_SHOTS").isEmpty()) {
            const QDir shots(QString::fromLocal8Bit(qgetenv("VELANOX_UI_SHOTS")));
            about.grab().save(shots.filePath(QStringLiteral("dialog_about.png")));
            memory.grab().save(shots.filePath(QStringLiteral("dialog_memory.png")));
        }
        about.reject();
        memory.reject();

        CPrevFileDlg open(f.frame(), QStringLiteral("Load image file"),
                          QStringLiteral("JPEG Files (*.JPG)|*.jpg||"),
                          QStringLiteral(VELANOX_SAMPLES_DIR));
        open.resize(900, 520);
        open.show();
        open.showPreviewOf(sample);
        QCOMPARE(open.sizeText(), QStringLiteral("2592 x 1944\nPixels"));
        QTest::qWait(100);
        if (!qgetenv("VELANOX_UI_SHOTS").isEmpty())
            open.grab().save(QDir(QString::fromLocal8Bit(qgetenv("VELANOX_UI_SHOTS")))
                                 .filePath(QStringLiteral("dialog_open.png")));
        open.reject();
    }

    void aDroppedFileReachesTheDocument() {
        AppFixture f;
        const QString path = f.write(QStringLiteral("dropped.png"), 120, 90);
        QWidget* port = f.controller->view()->viewport();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(port, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(port, &drop);
        QCOMPARE(f.doc().sourceImage.width, 120);
        QCOMPARE(QString::fromStdString(f.doc().sourceFile.documentPath), path);
        QTRY_VERIFY_WITH_TIMEOUT(
            f.doc().processing.resultValid,
            velanox::ui::test::kSlowMachineMs); // the view's refresh a moment later
        QVERIFY(f.messages.isEmpty());

        // A file of another kind is passed over without a word.
        QFile notes(f.dir.filePath(QStringLiteral("notes.txt")));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not a picture");
        notes.close();
        QMimeData text;
        text.setUrls({QUrl::fromLocalFile(notes.fileName())});
        QDropEvent other(QPointF(10, 10), Qt::CopyAction, &text, Qt::LeftButton, {});
        QApplication::sendEvent(port, &other);
        QCOMPARE(QString::fromStdString(f.doc().sourceFile.documentPath), path);
        QVERIFY(f.messages.isEmpty());
    }

    void aPastedPictureReachesTheDocument() {
        AppFixture f;
        QApplication::clipboard()->setImage(scene(70, 50, 5));
        QVERIFY(f.enabled(ids::kEditPaste));
        f.run(ids::kEditPaste);
        QCOMPARE(f.doc().sourceImage.width, 70);
        QCOMPARE(f.doc().sourceImage.height, 50);
        QCOMPARE(f.doc().sourceImage.bitsPerPixel, 24);
        QTRY_VERIFY_WITH_TIMEOUT(f.doc().processing.resultValid, velanox::ui::test::kSlowMachineMs);
        // A pasted picture has no folder to step through.
        QVERIFY(!f.enabled(ids::kNextImage));
        QApplication::clipboard()->clear();
    }
};

VELANOX_UI_TEST(FrameCommandsTest);
#include "frame_commands_test.moc"
