#include "ui_test_main.h"

#include "codec/picture.h"
#include "document/csotavo_doc.h"
#include "temp_settings.h"
#include "ui/application.h"
#include "ui/document_controller.h"
#include "ui/file_dialogs.h"
#include "ui/jpeg_options_dialog.h"
#include "ui/main_frame.h"
#include "ui/message_box.h"
#include "ui/panes.h"
#include "ui/qt_settings_store.h"
#include "ui/resource_ids.h"
#include "ui/sotavo_view.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace velanox::ui;

namespace {

// A small JPEG that carries the EXIF segment of the bundled sample photograph.
QString smallJpegWithExif(const QTemporaryDir& dir) {
    velanox::codec::Picture sample;
    if (!sample.load(VELANOX_SAMPLES_DIR "/iso400_colorchecker.jpg").ok()) return {};
    velanox::codec::Picture small;
    small.allocate(96, 64, 24);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x) {
            uint8_t* p = small.pixels() + std::size_t(y) * small.rowBytes() + std::size_t(x) * 3;
            p[0] = uint8_t(x * 2 + (x * y) % 7);
            p[1] = uint8_t(y * 3);
            p[2] = uint8_t(120 + (x ^ y) % 11);
        }
    small.info.exifBlock = sample.info.exifBlock;
    small.info.orientation = 1;
    const QString path = dir.filePath(QStringLiteral("small.jpg"));
    if (!small.save(path.toStdString()).ok()) return {};
    return path;
}

struct Recorded {
    QStringList messages;
    std::vector<FileDialogRequest> dialogs;
};

struct AppFixture {
    test::TempSettings settings;
    QTemporaryDir dir;
    Application app{*settings};
    std::unique_ptr<DocumentController> controller;
    Recorded recorded;
    MessageHandler previousMessages;
    FileDialogHandler previousDialogs;
    FileDialogAnswer nextAnswer;

    AppFixture() {
        app.startUp({QStringLiteral("velanox-nr")}, false);
        app.frame()->resize(900, 700);
        app.frame()->show();
        controller = std::make_unique<DocumentController>(app);
        previousMessages =
            setMessageHandler([this](QWidget*, const QString& text) { recorded.messages << text; });
        previousDialogs = setFileDialogHandler([this](QWidget*, const FileDialogRequest& r) {
            recorded.dialogs.push_back(r);
            return nextAnswer;
        });
    }
    ~AppFixture() {
        setMessageHandler(previousMessages);
        setFileDialogHandler(previousDialogs);
        controller.reset();
    }
};

// Answers the next JPEG Options dialog once it is open: OK or Cancel.
void answerJpegOptions(bool ok, int quality = 0) {
    QTimer::singleShot(50, [ok, quality] {
        auto* dialog = qobject_cast<JpegOptionsDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            answerJpegOptions(ok, quality);
            return;
        }
        if (quality > 0) {
            auto* edit =
                dialog->findChild<QLineEdit*>(objectNameFor("control", ids::kJpegQualityEdit));
            // Typed at once (as a paste) and never committed: OK corrects it.
            edit->setFocus();
            edit->selectAll();
            QApplication::clipboard()->setText(QString::number(quality));
            edit->paste();
        }
        dialog->findChild<QPushButton*>(objectNameFor("control", ok ? ids::kIdOk : ids::kIdCancel))
            ->click();
    });
}

} // namespace

class OpenSaveTest : public QObject {
    Q_OBJECT
private slots:
    void openProcessAndSaveAsJpegCarriesTheExif() {
        AppFixture f;
        const QString source = smallJpegWithExif(f.dir);
        if (source.isEmpty()) QSKIP("the sample photograph is absent");

        f.nextAnswer = {true, source, 0};
        f.app.frame()->runCommand(ids::kFileOpen);
        QCOMPARE(f.recorded.dialogs.back().title, QStringLiteral("Load image file"));
        QCOMPARE(f.recorded.dialogs.back().filters.front().name,
                 QStringLiteral("All Supported Image Files"));
        velanox::document::CSotavoDoc& doc = f.controller->document();
        QVERIFY(doc.sourceImage.hasPixels());
        QVERIFY(doc.processing.resultValid); // the detail run followed the load
        QCOMPARE(f.app.settings().readString(velanox::document::SettingId::DocumentPath),
                 f.dir.path().toStdString());
        QVERIFY(f.app.frame()->windowTitle().startsWith(QStringLiteral("small.jpg")));

        // Save: the proposal with "_NR", JPEG first; a name typed without an extension gets it.
        f.nextAnswer = {true, f.dir.filePath(QStringLiteral("out")), 0};
        answerJpegOptions(true, 150);
        f.app.frame()->runCommand(ids::kFileSaveAs);
        const FileDialogRequest& save = f.recorded.dialogs.back();
        QCOMPARE(save.title, QStringLiteral("Save image"));
        QCOMPARE(save.fileName, QStringLiteral("small_NR"));
        QCOMPARE(save.filters.front().name, QStringLiteral("JPEG File (*.JPG)"));
        QVERIFY2(f.recorded.messages.isEmpty(), qPrintable(f.recorded.messages.join('|')));

        QFile written(f.dir.filePath(QStringLiteral("out.jpg")));
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        QVERIFY(bytes.startsWith("\xFF\xD8"));
        QVERIFY(bytes.contains("Exif"));
        QCOMPARE(f.app.settings().readInt(velanox::document::SettingId::JPGq), 100);
        QCOMPARE(doc.jpeg.jpegQualitySetting, 100);
        // The document still refers to its source.
        QCOMPARE(QString::fromStdString(doc.sourceFile.documentPath), source);

        // Saved as PNG there is no EXIF and no JPEG question.
        f.nextAnswer = {true, f.dir.filePath(QStringLiteral("out.png")), 2};
        QVERIFY(f.controller->saveWithDialog());
        QVERIFY(QFile::exists(f.dir.filePath(QStringLiteral("out.png"))));
    }

    void cancellingTheJpegOptionsSavesNothing() {
        AppFixture f;
        const QString source = smallJpegWithExif(f.dir);
        if (source.isEmpty()) QSKIP("the sample photograph is absent");
        QVERIFY(f.controller->openPath(source));
        f.nextAnswer = {true, f.dir.filePath(QStringLiteral("none.jpg")), 0};
        answerJpegOptions(false);
        QVERIFY(!f.controller->saveWithDialog());
        QCOMPARE(f.recorded.messages, QStringList{QStringLiteral("Nothing was saved!")});
        QVERIFY(!QFile::exists(f.dir.filePath(QStringLiteral("none.jpg"))));
    }

    void aFileThatCannotBeOpenedIsReportedAndTheProgramGoesOn() {
        AppFixture f;
        QVERIFY(!f.controller->openPath(f.dir.filePath(QStringLiteral("missing.jpg"))));
        QCOMPARE(f.recorded.messages.size(), 1);
        QVERIFY(f.recorded.messages.front().startsWith(QStringLiteral("Cannot open")));
        QVERIFY(!f.controller->document().sourceImage.hasPixels());
        // Without a picture there is nothing to save.
        QVERIFY(!f.app.frame()->command(ids::kFileSave)->isEnabled());
    }

    void aRecentFileThatCannotBeReadLeavesTheList() {
        AppFixture f;
        const QString good = smallJpegWithExif(f.dir);
        QVERIFY(!good.isEmpty());
        const QString gone = f.dir.filePath(QStringLiteral("gone.jpg"));
        QVERIFY(QFile::copy(good, gone));
        f.app.frame()->addRecentFile(good);
        f.app.frame()->addRecentFile(gone);
        QVERIFY(QFile::remove(gone));

        f.controller->openRecentFile(gone);
        QCOMPARE(f.recorded.messages.size(), 1);
        QVERIFY(f.recorded.messages.front().startsWith(QStringLiteral("Cannot open")));
        QVERIFY(f.app.frame()->recentFiles().entries() ==
                std::vector<std::string>{good.toStdString()});

        // A file that opens moves to the top and stays.
        f.controller->openRecentFile(good);
        QVERIFY(f.controller->document().sourceImage.hasPixels());
        QVERIFY(f.app.frame()->recentFiles().entries() ==
                std::vector<std::string>{good.toStdString()});
    }

    void theOpenFilterReadsAsWritten() {
        const std::vector<FileFilter> filters = openFilters();
        QCOMPARE(int(filters.size()), 17);
        QCOMPARE(filters[1].name, QStringLiteral("All Supported Raw Files"));
        QVERIFY(filters[0].pattern.startsWith(QStringLiteral("*.bmp;*.jpg;")));
        // Today's formats: in "All Supported Image Files" and each in an entry of its own
        // after the classic ones.
        for (const char* type : {"*.heic", "*.heif", "*.hif", "*.avif", "*.webp", "*.jxl"})
            QVERIFY(filters[0].pattern.split(QLatin1Char(';')).contains(QLatin1String(type)));
        QCOMPARE(filters[12].name, QStringLiteral("HEIF Images (*.HEIC)"));
        QCOMPARE(filters[12].pattern, QStringLiteral("*.heic;*.heif;*.hif"));
        QCOMPARE(filters[15].pattern, QStringLiteral("*.jxl"));
        QVERIFY(filters[0].pattern.endsWith(filters[1].pattern));
        QCOMPARE(filters[3].name, QStringLiteral("JPEG Files (*.JPG)"));
        QCOMPARE(filters.back().pattern, QStringLiteral("*.*"));
        QCOMPARE(qtNameFilter(filters[3]), QStringLiteral("JPEG Files (*.JPG) (*.jpg)"));
        QCOMPARE(withFilterExtension(QStringLiteral("/a/b/photo"), QStringLiteral("*.png")),
                 QStringLiteral("/a/b/photo.png"));
        QCOMPARE(withFilterExtension(QStringLiteral("/a/b.c/photo.tif"), QStringLiteral("*.png")),
                 QStringLiteral("/a/b.c/photo.tif"));
    }

    void thePaneFactoryGivesTheNrOptionsPane() {
        AppFixture f;
        QWidget* content = f.app.frame()->paneContent(ids::kPaneIdNrOptions);
        QVERIFY(content);
        QCOMPARE(content->objectName(), QStringLiteral("dialog_130"));
        QCOMPARE(f.app.frame()->view(), static_cast<QWidget*>(f.controller->view()));
    }
};

VELANOX_UI_TEST(OpenSaveTest);
#include "open_save_test.moc"
