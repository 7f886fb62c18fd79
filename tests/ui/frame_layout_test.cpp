#include "temp_settings.h"
#include "ui_test_main.h"

#include "ui/file_dialogs.h"
#include "ui/main_frame.h"
#include "ui/qt_settings_store.h"
#include "ui/resource_ids.h"

#include <QApplication>
#include <QDockWidget>
#include <QFileDialog>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace velanox::ui;

namespace {

// One run of the program's frame: made on the settings, shown at a size and then grown the way a
// window manager maximises a window some time after mapping it, and laid out.
struct Run {
    CMainFrame frame;
    explicit Run(QtSettingsStore& store, QSize mapped, QSize final) : frame(store) {
        frame.resize(mapped);
        frame.show();
        (void)QTest::qWaitForWindowExposed(&frame);
        QTest::qWait(50);
        frame.resize(final);
    }
    QDockWidget* pane(int id) { return frame.pane(id); }
    int viewWidth() { return frame.centralWidget()->width(); }
};

// Waits until the frame has laid its panes out for the size it keeps.
#define SETTLE(run)                                                                                \
    QTRY_VERIFY_WITH_TIMEOUT((run).frame.layoutSettled(), test::kSlowMachineMs);                   \
    QApplication::processEvents()

// Answers the next file dialog from inside its event loop.
void whenDialogShows(std::function<void(QFileDialog*)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer = std::move(answer)] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        answer(dialog);
    });
    poll->start(20);
}

QSize runOpenDialog() {
    QSize shown;
    whenDialogShows([&shown](QFileDialog* dialog) {
        shown = dialog->size();
        dialog->reject();
    });
    FileDialogRequest request;
    request.title = QStringLiteral("Load image file");
    request.filters = openFilters();
    (void)runFileDialog(nullptr, request);
    return shown;
}

} // namespace

class FrameLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void tenRestartsChangeNeitherPanesNorPlacement() {
        test::TempSettings temp;
        QtSettingsStore store(*temp);
        int right = 0, left = 0, view = 0;
        QVariantList placement;
        for (int start = 0; start < 10; ++start) {
            Run run(store, QSize(900, 600), QSize(1800, 1000));
            SETTLE(run);
            QVERIFY(run.frame.geometry().size() == QSize(1800, 1000));
            if (start == 0) {
                // The person widens the right column once.
                run.frame.resizeDocks({run.pane(ids::kPaneIdNrOptions)}, {485}, Qt::Horizontal);
                QApplication::processEvents();
                right = run.pane(ids::kPaneIdNrOptions)->width();
                left = run.pane(ids::kPaneIdFileProperties)->width();
                view = run.viewWidth();
                QVERIFY2(right >= 470, qPrintable(QString::number(right)));
            } else {
                QCOMPARE(run.pane(ids::kPaneIdNrOptions)->width(), right);
                QCOMPARE(run.pane(ids::kPaneIdColorCorrection)->width(), right);
                QCOMPARE(run.pane(ids::kPaneIdFileProperties)->width(), left);
                QCOMPARE(run.viewWidth(), view);
            }
            QVERIFY(run.frame.close());
            QVariantList saved;
            for (const char* key :
                 {"Frame/Status", "Frame/Left", "Frame/Top", "Frame/Right", "Frame/Bottom"})
                saved << temp->value(QString::fromLatin1(key));
            if (start == 0)
                placement = saved;
            else
                QCOMPARE(saved, placement);
        }
    }

    void aFloatedPaneComesBackFloatingAtItsOwnSize() {
        test::TempSettings temp;
        QtSettingsStore store(*temp);
        QRect floated;
        {
            Run run(store, QSize(1200, 800), QSize(1200, 800));
            SETTLE(run);
            QDockWidget* nr = run.pane(ids::kPaneIdNrOptions);
            nr->setFloating(true);
            nr->setGeometry(QRect(300, 120, 330, 260));
            QTRY_COMPARE_WITH_TIMEOUT(nr->size(), QSize(330, 260), test::kSlowMachineMs);
            floated = nr->geometry();
            QVERIFY(run.frame.close());
        }
        for (int start = 0; start < 3; ++start) {
            Run run(store, QSize(800, 600), QSize(1200, 800));
            SETTLE(run);
            QDockWidget* nr = run.pane(ids::kPaneIdNrOptions);
            QVERIFY(nr->isFloating());
            QVERIFY(nr->isVisible());
            QCOMPARE(nr->geometry(), floated);
            // The panes still docked keep the column.
            QVERIFY(!run.pane(ids::kPaneIdColorCorrection)->isFloating());
            QVERIFY(run.frame.close());
        }
    }

    void aNarrowWindowLeavesTheViewMostOfTheWidth() {
        test::TempSettings temp;
        QtSettingsStore store(*temp);
        {
            // A first start: the panes at their natural widths do not fit beside a wide view.
            Run run(store, QSize(1024, 700), QSize(1024, 700));
            SETTLE(run);
            QVERIFY2(run.viewWidth() > 1024 / 2, qPrintable(QString::number(run.viewWidth())));
        }
        {
            Run run(store, QSize(1800, 1000), QSize(1800, 1000));
            SETTLE(run);
            run.frame.resizeDocks(
                {run.pane(ids::kPaneIdNrOptions), run.pane(ids::kPaneIdFileProperties)}, {600, 300},
                Qt::Horizontal);
            QApplication::processEvents();
            QVERIFY(run.viewWidth() < 1800 - 850);
            QVERIFY(run.frame.close());
        }
        // Reopened in a 1024-pixel window.
        Run run(store, QSize(1024, 700), QSize(1024, 700));
        SETTLE(run);
        QVERIFY2(run.viewWidth() > 1024 / 2, qPrintable(QString::number(run.viewWidth())));
        QVERIFY(run.pane(ids::kPaneIdNrOptions)->isVisible());
        QVERIFY(run.pane(ids::kPaneIdFileProperties)->isVisible());
        // Narrowed while open, too; a wide window leaves the panes as they are.
        run.frame.resize(1600, 900);
        QApplication::processEvents();
        const int rightWide = run.pane(ids::kPaneIdNrOptions)->width();
        run.frame.resizeDocks({run.pane(ids::kPaneIdNrOptions)}, {420}, Qt::Horizontal);
        QApplication::processEvents();
        QVERIFY(run.pane(ids::kPaneIdNrOptions)->width() > rightWide);
        run.frame.resize(1024, 700);
        QTRY_VERIFY_WITH_TIMEOUT(run.viewWidth() > 1024 / 2, test::kSlowMachineMs);
    }

    void theFileDialogsRememberTheirSizeAcrossRuns() {
        test::TempSettings temp;
        QtSettingsStore store(*temp);
        const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        setFileDialogSettings(&store);
        QCOMPARE(runOpenDialog(), kDefaultDialogSize.boundedTo(screen));

        // The person makes it smaller; the next run opens it so.
        whenDialogShows([](QFileDialog* dialog) {
            dialog->resize(640, 420);
            dialog->reject();
        });
        FileDialogRequest save;
        save.save = true;
        save.title = QStringLiteral("Save Image File As");
        save.filters = filtersFromString(QStringLiteral("JPEG Files (*.JPG)|*.jpg||"));
        (void)runFileDialog(nullptr, save);
        QCOMPARE(temp->value(QStringLiteral("File Dialogs/Width")).toInt(), 640);
        QCOMPARE(temp->value(QStringLiteral("File Dialogs/Height")).toInt(), 420);
        setFileDialogSettings(&store); // a new run
        QCOMPARE(runOpenDialog(), QSize(640, 420));

        // A damaged size opens at the default.
        temp->setValue(QStringLiteral("File Dialogs/Width"), 3);
        setFileDialogSettings(&store);
        QCOMPARE(runOpenDialog(), kDefaultDialogSize.boundedTo(screen));
        setFileDialogSettings(nullptr);
    }
};

VELANOX_UI_TEST(FrameLayoutTest);

#include "frame_layout_test.moc"
