#include "ui_test_main.h"

#include "ui/help_command.h"
#include "ui/message_box.h"
#include "ui/message_pump.h"
#include "ui/panes/nr_options_pane.h"
#include "ui/panes/pane_strings.h"
#include "ui/program_files.h"
#include "ui/progress_dialog.h"
#include "ui/resource_ids.h"
#include "ui/status_bar.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace velanox::ui;

class ProgressHelpTest : public QObject {
    Q_OBJECT
private slots:
    void percentReads100OnlyAtTheUpperBound() {
        QCOMPARE(progressPercentText(0, 0, 100), QStringLiteral("0%"));
        QCOMPARE(progressPercentText(42, 0, 100), QStringLiteral("42%"));
        QCOMPARE(progressPercentText(99, 0, 100), QStringLiteral("99%"));
        QCOMPARE(progressPercentText(100, 0, 100), QStringLiteral("100%"));
        // Integer division: 2999 of 3000 is 99%, never 100% before the end.
        QCOMPARE(progressPercentText(2999, 0, 3000), QStringLiteral("99%"));
        QCOMPARE(progressPercentText(3000, 0, 3000), QStringLiteral("100%"));
        QCOMPARE(progressPercentText(15, 10, 20), QStringLiteral("50%"));
        for (int pos = 0; pos < 7; ++pos)
            QVERIFY(progressPercentText(pos, 0, 7) != QStringLiteral("100%"));
        // An empty range neither divides by zero nor shows progress before its end.
        QCOMPARE(progressPercentText(5, 5, 5), QStringLiteral("100%"));
        QCOMPARE(progressPercentText(4, 5, 5), QStringLiteral("0%"));
    }

    void theDialogShowsItsPartsAndDisablesItsParent() {
        QMainWindow parent;
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        ProgressDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Processing Full Image"));
        QCOMPARE(dialog.percentText(), QStringLiteral(" 0 %"));
        QVERIFY(dialog.create(&parent));
        QVERIFY(!parent.isEnabled());
        QVERIFY(dialog.isEnabled());
        dialog.setRange(0, 3000);
        dialog.setText(QStringLiteral("Denoising..."));
        dialog.setPosition(1500);
        QCOMPARE(dialog.percentText(), QStringLiteral("50%"));
        QCOMPARE(dialog.findChild<QLabel*>(objectNameFor("control", ids::kProgressText))->text(),
                 QStringLiteral("Denoising..."));
        QCOMPARE(
            dialog.findChild<QProgressBar*>(objectNameFor("control", ids::kProgressBar))->value(),
            1500);
        dialog.setPosition(3000);
        QCOMPARE(dialog.percentText(), QStringLiteral("100%"));
        dialog.destroy();
        QVERIFY(parent.isEnabled());
    }

    void cancelAndEscapeOnlyRaiseTheFlag() {
        ProgressDialog dialog;
        dialog.create(nullptr);
        QVERIFY(!dialog.cancelled());
        dialog.findChild<QPushButton*>(objectNameFor("control", ids::kIdCancel))->click();
        QVERIFY(dialog.cancelled());
        QVERIFY(dialog.isVisible());

        ProgressDialog second;
        second.create(nullptr);
        QTest::keyClick(&second, Qt::Key_Escape);
        QVERIFY(second.cancelled());
        QVERIFY(second.isVisible());
        second.destroy();
        dialog.destroy();
    }

    void aDisabledParentStaysDisabledAfterwards() {
        QWidget parent;
        parent.setEnabled(false);
        ProgressDialog dialog;
        dialog.create(&parent);
        dialog.destroy();
        QVERIFY(!parent.isEnabled());
    }

    void setPositionPumpsWithThePumpMarkedBusy() {
        ProgressDialog dialog;
        bool idleDuringPump = true;
        QMetaObject::invokeMethod(
            &dialog, [&] { idleDuringPump = MessagePump::messagePumpIdle(); },
            Qt::QueuedConnection);
        dialog.setPosition(10);
        QVERIFY(!idleDuringPump);
        QVERIFY(MessagePump::messagePumpIdle());
    }

    void escapeDuringARunIsNotedForTheWholeRun() {
        QWidget target;
        target.show();
        EscapeWatcher watcher;
        QTest::keyClick(&target, Qt::Key_Escape);
        QVERIFY(!watcher.escapePending()); // no run on
        watcher.setRunning(true);
        QTest::keyClick(&target, Qt::Key_Escape);
        QVERIFY(watcher.escapePending());
        QVERIFY(watcher.escapePending());
        watcher.setRunning(false);
        watcher.setRunning(true);
        QVERIFY(!watcher.escapePending());
    }

    void statusBarWorkingProgressReturnsToReady() {
        QMainWindow window;
        auto* bar = new StatusBar(&window);
        window.setStatusBar(bar);
        window.resize(600, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(bar->paneText(), QStringLiteral("Ready"));
        bar->createProgress(QStringLiteral("Working"), 100, 40);
        QCOMPARE(bar->paneText(), QStringLiteral("Working"));
        QVERIFY(bar->progressBar());
        QCOMPARE(bar->progressBar()->maximum(), 40);
        const QRect geometry = bar->progressBar()->geometry();
        QVERIFY(geometry.left() > 0);
        QVERIFY(geometry.top() > 0);
        bar->setProgressPosition(20);
        QCOMPARE(bar->progressBar()->value(), 20);
        bar->destroyProgress();
        QCOMPARE(bar->paneText(), QStringLiteral("Ready"));
        QVERIFY(!bar->hasProgress());
    }

    void programFolderIsShareWhenInstalledAndTheExecutablesFolderInABuild() {
        QTemporaryDir prefix;
        const QString bin = prefix.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(bin));
        // A build folder: the help pages are copied beside the executable.
        QCOMPARE(programFolder(bin), bin);
        QCOMPARE(helpFilePath(programFolder(bin)),
                 QDir::toNativeSeparators(bin + QStringLiteral("/Help/Help.html")));
        // An installation: <prefix>/bin and <prefix>/share/velanox-nr.
        const QString share = prefix.filePath(QStringLiteral("share/velanox-nr"));
        QVERIFY(QDir().mkpath(share));
        QCOMPARE(programFolder(bin), QDir::cleanPath(share));
        QCOMPARE(helpFilePath(programFolder(bin)),
                 QDir::toNativeSeparators(share + QStringLiteral("/Help/Help.html")));
    }

    void theIconIsBuiltIntoTheProgram() {
        const QIcon icon = applicationIcon();
        QVERIFY(!icon.isNull());
        for (int size : {16, 48, 256}) {
            const QImage image = icon.pixmap(size, size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            QCOMPARE(image.pixelColor(size / 2, size / 2).alpha(), 255);
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0); // a rounded corner
        }
        // Not a blank: the frame's blue in the middle of its left side.
        const QColor frame = icon.pixmap(256, 256).toImage().pixelColor(18, 64);
        QVERIFY2(frame.blue() > frame.red() + 60, qPrintable(frame.name()));
    }

    void theHelpPageCoversEveryModeSettingAndDisplay() {
        QFile file(QStringLiteral(VELANOX_HELP_PAGE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(file.readAll());
        QStringList names;
        for (const QString& mode : nrModeTexts())
            names << mode.section(QLatin1Char('\n'), 0, 0);
        names << QStringLiteral("Noise Level") << QStringLiteral("Remove Block Noise")
              << QStringLiteral("Advanced Processing") << QStringLiteral("Sharpen Edges")
              << QStringLiteral("Edge Threshold") << QString::fromLatin1(text::kOutputResult)
              << QString::fromLatin1(text::kOutputEdges) << QString::fromLatin1(text::kOutputNoise)
              << QString::fromLatin1(text::kMatchToImage)
              << QString::fromLatin1(text::kMatchToProfile)
              << QString::fromLatin1(text::kSaveToProfile);
        for (const QString& name : names)
            QVERIFY2(page.contains(name), qPrintable(name + QStringLiteral(" is not explained")));
        // Every picture it shows is there.
        const QDir folder = QFileInfo(file).dir();
        const QRegularExpression source(QStringLiteral("src=\"([^\"]+)\""));
        int pictures = 0;
        for (auto it = source.globalMatch(page); it.hasNext(); ++pictures) {
            const QString picture = it.next().captured(1);
            QVERIFY2(folder.exists(picture), qPrintable(picture + QStringLiteral(" is missing")));
        }
        QVERIFY(pictures >= 5);
    }

    void helpMissingSaysCannotFindWithThePath() {
        QStringList texts;
        MessageHandler previous =
            setMessageHandler([&](QWidget*, const QString& t) { texts << t; });
        QTemporaryDir folder;
        showHelp(nullptr, folder.path(), [](const QString&) { return true; });
        setMessageHandler(std::move(previous));
        QCOMPARE(texts.size(), 1);
        QCOMPARE(texts[0], QStringLiteral("Cannot find ") +
                               QDir::toNativeSeparators(folder.path() + "/Help/Help.html"));
    }

    void helpWithoutAHandlerSaysSo() {
        QTemporaryDir folder;
        QDir(folder.path()).mkdir(QStringLiteral("Help"));
        QFile file(folder.filePath(QStringLiteral("Help/Help.html")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QStringList texts;
        QString opened;
        MessageHandler previous =
            setMessageHandler([&](QWidget*, const QString& t) { texts << t; });
        showHelp(nullptr, folder.path(), [&](const QString& path) {
            opened = path;
            return true;
        });
        QVERIFY(texts.isEmpty());
        QVERIFY(opened.endsWith(QStringLiteral("Help.html")));
        showHelp(nullptr, folder.path(), [](const QString&) { return false; });
        setMessageHandler(std::move(previous));
        QCOMPARE(texts.size(), 1);
        QVERIFY(texts[0].startsWith(
            QStringLiteral("There is no application associated with the HTML filename")));
    }
};

VELANOX_UI_TEST(ProgressHelpTest);

#include "progress_help_test.moc"
