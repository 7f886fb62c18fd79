#include "temp_settings.h"
#include "ui_test_main.h"

#include "codec/contained_reader.h"
#include "ui/application.h"
#include "ui/close_deferral.h"
#include "ui/frame_placement.h"
#include "ui/main_frame.h"
#include "ui/memory_settings_dialog.h"
#include "ui/message_box.h"
#include "ui/message_pump.h"
#include "ui/qt_settings_store.h"
#include "ui/resource_ids.h"
#include "ui/themes.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace velanox::ui;

namespace {
// Records message boxes instead of showing them.
struct RecordedMessages {
    QStringList texts;
    MessageHandler previous;
    RecordedMessages() {
        previous = setMessageHandler([this](QWidget*, const QString& t) { texts << t; });
    }
    ~RecordedMessages() { setMessageHandler(std::move(previous)); }
};
} // namespace

class FrameSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void themeValuesOutOfRangeAreReplaced() {
        QCOMPARE(validPaneTheme(4), 5);
        QCOMPARE(validPaneTheme(9), 5);
        QCOMPARE(validPaneTheme(-1), 5);
        QCOMPARE(validPaneTheme(6), 6);
        QCOMPARE(validPaneTheme(0), 0);
        QCOMPARE(validInterfaceTheme(-1), 2);
        QCOMPARE(validInterfaceTheme(7), 2);
        QCOMPARE(validInterfaceTheme(3), 3);
        QCOMPARE(validInterfaceTheme(0), 0);
    }

    void theThemesLookDifferent() {
        QStringList sheets;
        for (const ThemeEntry& e : interfaceThemes())
            sheets << interfaceStyleSheet(e.value);
        sheets.removeDuplicates();
        QCOMPARE(sheets.size(), 4);
        QStringList panes;
        for (const ThemeEntry& e : paneThemes())
            panes << paneStyleSheet(e.value);
        panes.removeDuplicates();
        QCOMPARE(panes.size(), 6);
    }

    void aFrameStartsWithReplacedThemesWithoutWritingThem() {
        test::TempSettings temp;
        temp->setValue(QStringLiteral("Settings/PaneTheme"), 4);
        temp->setValue(QStringLiteral("Settings/IntfTheme"), 7);
        QtSettingsStore store(*temp);
        CMainFrame frame(store);
        QCOMPARE(frame.paneTheme(), 5);
        QCOMPARE(frame.interfaceTheme(), 2);
        QVERIFY(frame.command(ids::kPaneThemeOffice2003)->isChecked());
        QVERIFY(frame.command(ids::kThemeOffice2003)->isChecked());
        QCOMPARE(temp->value(QStringLiteral("Settings/PaneTheme")).toInt(), 4);
        QCOMPARE(temp->value(QStringLiteral("Settings/IntfTheme")).toInt(), 7);
    }

    void aThemeCommandWritesAtOnce() {
        test::TempSettings temp;
        QtSettingsStore store(*temp);
        CMainFrame frame(store);
        frame.command(ids::kPaneThemeVisio)->trigger();
        frame.command(ids::kThemeOfficeXp)->trigger();
        QCOMPARE(temp->value(QStringLiteral("Settings/PaneTheme")).toInt(), 3);
        QCOMPARE(temp->value(QStringLiteral("Settings/IntfTheme")).toInt(), 0);
        QVERIFY(frame.command(ids::kPaneThemeVisio)->isChecked());
        QVERIFY(!frame.command(ids::kPaneThemeOffice2003)->isChecked());
    }

    void placementMissingAnyValueIsMaximised() {
        const QRect work(0, 0, 1280, 770);
        const QSize screen(1280, 800);
        QVERIFY(framePlacement({}, work, screen).useDefault);
        QVERIFY(framePlacement({1, 10, 10, 500, -1}, work, screen).useDefault);
        QVERIFY(framePlacement({-1, 10, 10, 500, 400}, work, screen).maximised);
        const FramePlacement normal = framePlacement({1, 10, 20, 510, 420}, work, screen);
        QVERIFY(!normal.useDefault);
        QVERIFY(!normal.maximised);
        QCOMPARE(normal.normalRect, QRect(10, 20, 500, 400));
        QVERIFY(framePlacement({3, 10, 20, 510, 420}, work, screen).maximised);
    }

    void placementBeyondTheScreenIsPulledBack() {
        const QRect work(0, 30, 1280, 770); // a panel across the top
        const QSize screen(1280, 800);
        const FramePlacement p = framePlacement({1, 5000, 4000, 5600, 4400}, work, screen);
        QCOMPARE(p.normalRect.left(), 1280 - 32);
        QCOMPARE(p.normalRect.top(), 800 - 32);
        QCOMPARE(p.normalRect.size(), QSize(600, 400));
        // Inside the screen the work area's offset is added.
        QCOMPARE(framePlacement({1, 100, 100, 700, 500}, work, screen).normalRect.top(), 130);
    }

    void placementSavedAtCloseReopensTheSame() {
        const QRect work(0, 30, 1280, 770);
        const SavedPlacement saved = placementToSave(QRect(100, 130, 600, 400), false, false, work);
        QCOMPARE(saved.status, 1);
        QCOMPARE(saved.left, 100);
        QCOMPARE(saved.top, 100);
        QCOMPARE(saved.right, 700);
        QCOMPARE(saved.bottom, 500);
        QCOMPARE(framePlacement(saved, work, QSize(1280, 800)).normalRect,
                 QRect(100, 130, 600, 400));
        QCOMPARE(placementToSave(QRect(0, 0, 10, 10), true, false, work).status, 3);
    }

    void closeDuringAPumpIsDeferredWithOneTimer() {
        test::TempSettings temp;
        QtSettingsStore store(*temp);
        auto* frame = new CMainFrame(store);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        {
            MessagePump::Busy pumping;
            QVERIFY(!frame->close());
            QVERIFY(!frame->close());
            QVERIFY(!frame->close());
            QVERIFY(frame->isVisible());
            QCOMPARE(frame->closeDeferral().timerStarts(), 1);
            QVERIFY(frame->closeDeferral().isPending());
        }
        // Nothing was saved while the close waited.
        QVERIFY(!temp->contains(QStringLiteral("Frame/Status")));
        QTRY_VERIFY_WITH_TIMEOUT(!frame->isVisible(), 3000);
        QCOMPARE(frame->closeDeferral().timerStarts(), 1);
        QVERIFY(temp->contains(QStringLiteral("Frame/Status")));
        QVERIFY(temp->contains(QStringLiteral("CommandBars")));
        QVERIFY(temp->contains(QStringLiteral("NormalLayout")));
        delete frame;
    }

    void firstStartReadsDefaultsAndWritesOnlyAtTheRightMoments() {
        test::TempSettings temp;
        Application app(*temp);
        QVERIFY(app.startUp({QStringLiteral("velanox-nr")}, false));
        QCOMPARE(app.useFixedSaveFolder(), 0);
        QCOMPARE(app.fixedSaveFolder(), QString());
        QCOMPARE(app.frame()->interfaceTheme(), 2);
        QCOMPARE(app.frame()->paneTheme(), 5);
        const auto memory = app.frame()->memorySettings();
        QCOMPARE(memory.maxBlockW, 3100);
        QCOMPARE(memory.maxBlockH, 2100);
        QCOMPARE(memory.maxSwapW, 2000);
        QCOMPARE(memory.maxSwapH, 2000);
        QCOMPARE(app.pendingOpenPath(), QString());
        // Starting writes nothing.
        temp->sync();
        QVERIFY(temp->allKeys().isEmpty());

        app.setUseFixedSaveFolder(1);
        app.setFixedSaveFolder(QStringLiteral("/photos/out"));
        QVERIFY(!temp->contains(QStringLiteral("Settings/SaveType")));
        app.frame()->addRecentFile(QStringLiteral("/photos/a.jpg"));
        app.programEnd();
        QCOMPARE(temp->value(QStringLiteral("Settings/SaveType")).toInt(), 1);
        QCOMPARE(temp->value(QStringLiteral("Settings/SavePath")).toString(),
                 QStringLiteral("/photos/out"));
        QCOMPARE(temp->value(QStringLiteral("Recent File List/File1")).toString(),
                 QStringLiteral("/photos/a.jpg"));
    }

    void aFileArgumentIsRememberedForOpening() {
        test::TempSettings temp;
        Application app(*temp);
        QVERIFY(app.startUp({QStringLiteral("velanox-nr"), QStringLiteral("/tmp/x.jpg")}, false));
        QCOMPARE(app.pendingOpenPath(), QStringLiteral("/tmp/x.jpg"));
        // Opening from the command line leaves the Open dialog's folder alone.
        QVERIFY(!temp->contains(QStringLiteral("Document/Path")));
    }

    void theRecentFileListKeepsFour() {
        test::TempSettings temp;
        QtSettingsStore store(*temp);
        CMainFrame frame(store);
        for (const char* name : {"/a.jpg", "/b.jpg", "/c.jpg", "/d.jpg", "/e.jpg", "/c.jpg"})
            frame.addRecentFile(QString::fromLatin1(name));
        const std::vector<std::string> expected{"/c.jpg", "/e.jpg", "/d.jpg", "/b.jpg"};
        QVERIFY(frame.recentFiles().entries() == expected);
        QCOMPARE(frame.command(ids::kFileMru1)->text(), QStringLiteral("&1 /c.jpg"));
    }

    void memorySettingsOkWritesClampedValues() {
        test::TempSettings temp;
        QtSettingsStore store(*temp);
        MemorySettingsDialog dialog({3100, 2100, 2000, 2000});
        dialog.findChild<QLineEdit*>(objectNameFor("control", ids::kEditBlockWidth))
            ->setText(QStringLiteral("0"));
        dialog.findChild<QLineEdit*>(objectNameFor("control", ids::kEditSwapHeight))
            ->setText(QStringLiteral("1500"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.values().maxBlockW, 64);
        QCOMPARE(dialog.values().maxSwapH, 1500);
    }

    void theMemoryBudgetIsEditedWithTheOtherValues() {
        RecordedMessages messages;
        MemorySettingsDialog dialog({3100, 2100, 2000, 2000, 0});
        auto* budget =
            dialog.findChild<QLineEdit*>(objectNameFor("control", ids::kEditMemoryBudget));
        QVERIFY(budget != nullptr);
        QCOMPARE(budget->text(), QStringLiteral("0"));
        // The note says what 0 stands for on this machine.
        auto* note = dialog.findChild<QLabel*>(QStringLiteral("label_budget"));
        QVERIFY(note != nullptr);
        QVERIFY(note->text().contains(
            QString::number(qulonglong(velanox::codec::defaultMemoryBudget() >> 20))));
        budget->setText(QStringLiteral("8 GB"));
        dialog.accept();
        QCOMPARE(messages.texts, QStringList{QStringLiteral("Please enter an integer.")});
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        budget->setText(QStringLiteral(" 8192 "));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.values().budgetMB, 8192);
        QCOMPARE(dialog.values().maxBlockW, 3100);
        // What OK confirmed is stored under its own key and read back at the next start.
        test::TempSettings temp;
        {
            QtSettingsStore store(*temp);
            velanox::document::writeMemorySettings(store, dialog.values());
        }
        QCOMPARE(temp->value(QStringLiteral("Settings/MemoryBudgetMB")).toInt(), 8192);
        Application app(*temp);
        QVERIFY(app.startUp({QStringLiteral("velanox-nr")}, false));
        QCOMPARE(app.frame()->memorySettings().budgetMB, 8192);
    }

    void memorySettingsRefuseANonInteger() {
        RecordedMessages messages;
        MemorySettingsDialog dialog({3100, 2100, 2000, 2000});
        auto* height =
            dialog.findChild<QLineEdit*>(objectNameFor("control", ids::kEditBlockHeight));
        height->setText(QStringLiteral("12a"));
        dialog.accept();
        QCOMPARE(messages.texts, QStringList{QStringLiteral("Please enter an integer.")});
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.values().maxBlockH, 2100);
    }
};

VELANOX_UI_TEST(FrameSettingsTest);

#include "frame_settings_test.moc"
