// Loading a picture while the window stays alive: the wait cursor and a status-bar note during
// the read, the window painting, the person's input held off, Escape stopping the read with the
// previous picture kept, and the reader's own words in the message of a read that failed.
#include "app_fixture.h"
#include "pane_fixture.h"
#include "ui_test_main.h"

#include "codec/contained_reader.h"
#include "color/color_match_state.h"
#include "document/folder_navigation.h"
#include "ui/load_wait.h"
#include "ui/panes.h"
#include "ui/panes/color_match_pane.h"
#include "ui/resource_ids.h"
#include "ui/status_bar.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>

using namespace velanox::ui;
using velanox::ui::test::AppFixture;

namespace {

// Every read goes through a stand-in reader program (a shell script started as the reader
// service, or the stand-in service of the tests) for the life of the object.
class FakeReader {
public:
    // Through this reader program instead.
    explicit FakeReader(velanox::codec::ContainedReading reading)
        : m_previous(velanox::codec::containedReading()) {
        reading.keepWaiting = LoadWait::keepWaiting;
        velanox::codec::setContainedReading(reading);
    }
    FakeReader(const QTemporaryDir& dir, const QString& name, const QByteArray& body)
        : m_previous(velanox::codec::containedReading()) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // The memory the reader may use stays what the program set.
        velanox::codec::ContainedReading reading = m_previous;
        reading.enabled = true;
        reading.readerProgram = path.toStdString();
        reading.keepWaiting = LoadWait::keepWaiting;
        velanox::codec::setContainedReading(reading);
    }
    ~FakeReader() { velanox::codec::setContainedReading(m_previous); }
    FakeReader(const FakeReader&) = delete;
    FakeReader& operator=(const FakeReader&) = delete;

private:
    velanox::codec::ContainedReading m_previous;
};

// Slow to start, then the real reader: a read that succeeds after a while.
QByteArray slowThenReal(const char* seconds) {
    return QByteArray("sleep ") + seconds + "\nexec '" +
           QByteArray::fromStdString(velanox::codec::findReaderProgram()) + "' \"$@\"";
}

QString writeScene(const QTemporaryDir& dir, const QString& name, int w, int h, int seed) {
    const QString path = dir.filePath(name);
    return test::scene(w, h, seed).save(path) ? path : QString();
}

// What was seen from inside the event loop while a read was waited for.
struct SeenDuringLoad {
    bool active = false, nestedOpenRefused = false;
    Qt::CursorShape cursor = Qt::ArrowCursor;
    QString status;
    int paints = 0;
};

// Counts the frame's paint events.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

} // namespace

class LoadWaitTest : public QObject {
    Q_OBJECT
private slots:
    void escapeStopsALoadAndThePreviousPictureStays() {
        AppFixture f;
        const QString first = writeScene(f.dir, QStringLiteral("first.png"), 120, 80, 1);
        const QString second = writeScene(f.dir, QStringLiteral("second.png"), 64, 48, 2);
        QVERIFY(!first.isEmpty() && !second.isEmpty());
        QVERIFY(f.controller->openPath(first));
        QCOMPARE(f.doc().sourceImage.width, 120);

        FakeReader reader(f.dir, QStringLiteral("slow.sh"), "exec sleep 60");
        PaintCounter counter;
        f.frame()->statusBar()->installEventFilter(&counter);
        SeenDuringLoad seen;
        QTimer::singleShot(300, f.frame(), [&] {
            seen.active = LoadWait::isActive();
            seen.cursor = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                                         : Qt::ArrowCursor;
            seen.status = f.frame()->statusBar()->currentMessage();
            // A second load asked for meanwhile does not start.
            seen.nestedOpenRefused = !f.controller->openPath(first);
            f.frame()->statusBar()->update();
            QTimer::singleShot(300, f.frame(), [&] {
                seen.paints = counter.paints;
                // Keys other than Escape do nothing; Escape stops the read.
                QTest::keyClick(f.frame(), Qt::Key_N, Qt::ControlModifier);
                QTest::keyClick(f.frame(), Qt::Key_Escape);
            });
        });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!f.controller->openPath(second));
        QVERIFY(clock.elapsed() < 30000);

        QVERIFY(seen.active);
        QCOMPARE(seen.cursor, Qt::WaitCursor);
        QCOMPARE(seen.status, QStringLiteral("Loading second.png... (Esc cancels)"));
        QVERIFY(seen.nestedOpenRefused);
        QVERIFY(seen.paints > 0);
        // Nothing changed, nothing was said beyond the status bar, everything is restored.
        QCOMPARE(f.doc().sourceImage.width, 120);
        QCOMPARE(QString::fromStdString(f.doc().sourceFile.documentPath), first);
        QCOMPARE(f.messages, QStringList());
        QCOMPARE(f.frame()->statusBar()->currentMessage(), QStringLiteral("Loading cancelled."));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!LoadWait::isActive());
        QVERIFY(f.frame()->windowTitle().startsWith(QStringLiteral("first.png")));

        // Stepping through the folder stops at a cancelled read too, without a message.
        QTimer::singleShot(300, f.frame(), [&] { QTest::keyClick(f.frame(), Qt::Key_Escape); });
        f.run(ids::kNextImage);
        QCOMPARE(f.doc().sourceImage.width, 120);
        QCOMPARE(QString::fromStdString(f.doc().sourceFile.documentPath), first);
        QCOMPARE(f.messages, QStringList());
        QVERIFY(!QApplication::overrideCursor());
    }

    void aSlowLoadArrivesWhileTheWindowKeepsPainting() {
        AppFixture f;
        if (velanox::codec::findReaderProgram().empty()) QSKIP("velanox-nr-reader is not built");
        const QString path = writeScene(f.dir, QStringLiteral("slow.png"), 96, 64, 3);
        QVERIFY(!path.isEmpty());
        FakeReader reader(f.dir, QStringLiteral("slow.sh"), slowThenReal("1"));
        PaintCounter counter;
        f.frame()->statusBar()->installEventFilter(&counter);
        int timersDuringLoad = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (LoadWait::isActive()) {
                ++timersDuringLoad;
                f.frame()->statusBar()->update();
            }
        });
        ticker.start(100);
        QVERIFY(f.controller->openPath(path));
        ticker.stop();
        QCOMPARE(f.doc().sourceImage.width, 96);
        QVERIFY(timersDuringLoad >= 1);
        QVERIFY(counter.paints > 0);
        QVERIFY(!QApplication::overrideCursor());
        // The note goes once the picture is in.
        QVERIFY(!f.frame()->statusBar()->currentMessage().startsWith(QStringLiteral("Loading")));
        QCOMPARE(f.messages, QStringList());
    }

    void theReadersOwnWordsReachTheMessage() {
        AppFixture f;
        // The stand-in reader's child says what the file holds, and fails.
        const QString path = f.dir.filePath(QStringLiteral("say.png"));
        QFile said(path);
        QVERIFY(said.open(QIODevice::WriteOnly));
        said.write("\n  png: IHDR: CRC error\n");
        said.close();
        velanox::codec::ContainedReading reading;
        reading.enabled = true;
        reading.readerProgram = VELANOX_READER_STANDIN;
        FakeReader reader(reading);
        QVERIFY(!f.controller->openPath(path));
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages.first(),
                 QStringLiteral("Cannot open %1: %2\nThe reader said: png: "
                                "IHDR: CRC error")
                     .arg(path, QString::fromLatin1(velanox::codec::kReaderStopped)));
        QVERIFY(!QApplication::overrideCursor());
    }

    void theReaderMayUseWhatTheMemoryBudgetAllows() {
        // The budget stored at start, then each one Memory Settings confirm, is the memory
        // the reader is given (0: half the machine's memory).
        test::TempSettings stored;
        stored->setValue(QStringLiteral("Settings/MemoryBudgetMB"), 3000);
        Application app(*stored);
        QVERIFY(app.startUp({QStringLiteral("velanox-nr")}, false));
        DocumentController controller(app);
        QTemporaryDir dir;
        // The stand-in reader's child says the memory it was given, and fails. The memory
        // stays what the program set.
        const QString path = writeScene(dir, QStringLiteral("memory.png"), 16, 16, 7);
        QVERIFY(!path.isEmpty());
        velanox::codec::ContainedReading reading = velanox::codec::containedReading();
        reading.enabled = true;
        reading.readerProgram = VELANOX_READER_STANDIN;
        FakeReader reader(reading);
        QString message;
        const MessageHandler previous =
            setMessageHandler([&message](QWidget*, const QString& text) { message = text; });
        const auto memoryGiven = [&] {
            message.clear();
            controller.openPath(path);
            const qsizetype at = message.indexOf(QStringLiteral("memory "));
            if (at < 0) return QByteArray("none");
            return message.mid(at + 7).section(QLatin1Char('\n'), 0, 0).trimmed().toUtf8();
        };
        const QByteArray atStart = memoryGiven();
        velanox::document::MemorySettingsValues values{3100, 2100, 2000, 2000, 1500};
        emit app.frame()->memorySettingsAccepted(values);
        const QByteArray confirmed = memoryGiven();
        values.budgetMB = 0;
        emit app.frame()->memorySettingsAccepted(values);
        const QByteArray machineHalf = memoryGiven();
        setMessageHandler(previous);
        QCOMPARE(atStart, QByteArray::number(qulonglong(3000) << 20));
        QCOMPARE(confirmed, QByteArray::number(qulonglong(1500) << 20));
        QCOMPARE(machineHalf,
                 QByteArray::number(qulonglong(velanox::codec::defaultMemoryBudget())));
    }

    void aReferencePictureLoadIsStoppedTheSameWay() {
        test::PaneFixture f;
        QTemporaryDir dir;
        const QString reference = writeScene(dir, QStringLiteral("reference.png"), 40, 30, 6);
        QVERIFY(!reference.isEmpty());
        QMainWindow window;
        velanox::color::ColorMatchState state;
        auto* pane = new ColorMatchPane(&window);
        window.setCentralWidget(pane);
        pane->setLinks(f.countingLinks());
        pane->setColorMatchState(&state);
        pane->attachDocument(f.doc.get());
        window.show();
        QStringList messages;
        const MessageHandler previous =
            setMessageHandler([&](QWidget*, const QString& text) { messages << text; });

        FakeReader reader(dir, QStringLiteral("slow.sh"), "exec sleep 60");
        Qt::CursorShape cursor = Qt::ArrowCursor;
        QString status;
        QTimer::singleShot(300, &window, [&] {
            if (QApplication::overrideCursor()) cursor = QApplication::overrideCursor()->shape();
            status = window.statusBar()->currentMessage();
            QTest::keyClick(&window, Qt::Key_Escape);
        });
        pane->dropReference(reference);
        setMessageHandler(previous);
        QCOMPARE(cursor, Qt::WaitCursor);
        QCOMPARE(status, QStringLiteral("Loading reference.png... (Esc cancels)"));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Loading cancelled."));
        QCOMPARE(pane->mode(), 0);
        QVERIFY(!state.hasReference());
        QCOMPARE(f.doc->color.match.matchActive, 0);
        QCOMPARE(messages, QStringList());
        QVERIFY(!QApplication::overrideCursor());
    }
};

VELANOX_UI_TEST(LoadWaitTest);
#include "load_wait_test.moc"
