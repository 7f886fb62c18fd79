#include "pane_fixture.h"
#include "ui_test_main.h"

#include "color/color_match_state.h"
#include "document/settings.h"
#include "ui/file_dialogs.h"
#include "ui/message_box.h"
#include "ui/panes/color_match_pane.h"
#include "ui/panes/pane_control_ids.h"
#include "ui/panes/profile_list.h"
#include "ui/panes/skinned_slider.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace velanox;
using namespace velanox::ui;
using velanox::ui::test::control;
using velanox::ui::test::PaneFixture;

namespace {

// A reference made from a flat picture of one value.
void setFlatReference(color::ColorMatchState& state, int width, int height, uint8_t value,
                      const std::string& path = "/nowhere/ref.png") {
    codec::Picture picture;
    picture.allocate(width, height, 24);
    std::memset(picture.pixels(), value, picture.pixelBytes());
    QVERIFY(state.setReferenceImage(picture, picture.info.iccProfile, path).ok());
}

void writeProfile(const QString& path, uint8_t value) {
    color::ColorMatchState state;
    setFlatReference(state, 60, 40, value);
    QVERIFY(state.writeProfile(path.toStdString()).ok());
}

// Records every message box instead of showing it.
struct MessageRecorder {
    QStringList texts;
    MessageHandler previous =
        setMessageHandler([this](QWidget*, const QString& text) { texts << text; });
    ~MessageRecorder() { setMessageHandler(previous); }
};

struct MatchFixture : PaneFixture {
    QTemporaryDir programDir;
    QTemporaryDir userDir;
    color::ColorMatchState state;
    ColorMatchPane pane;

    MatchFixture() {
        pane.setDetailRequests(&view);
        pane.setColorMatchState(&state);
        pane.setProfileFolders(programDir.path(), userDir.path());
    }
    QString programFile(const QString& name) const { return programDir.filePath(name); }
};

} // namespace

class ColorMatchPaneTest : public QObject {
    Q_OBJECT

private slots:
    void startsWithoutMatchingAndTheAutoSwitchTicked() {
        MatchFixture f;
        f.pane.attachDocument(f.doc.get());
        QCOMPARE(f.pane.mode(), 0);
        QVERIFY(control<QCheckBox>(&f.pane, ids::kCheckAutoSwitch)->isChecked());
        QCOMPARE(control<QCheckBox>(&f.pane, ids::kCheckAutoSwitch)->text(),
                 QStringLiteral("Auto Switch to  Full Mode"));
        QVERIFY(!control<SkinnedSlider>(&f.pane, ids::kSliderFade)->isEnabled());
        QCOMPARE(control<SkinnedSlider>(&f.pane, ids::kSliderFade)->maximum(), 255);
    }

    void matchingToImageWithoutAReferenceAsksForOne() {
        MatchFixture f;
        f.pane.attachDocument(f.doc.get());
        control<QRadioButton>(&f.pane, ids::kRadioMatchImage)->click();
        QCOMPARE(f.doc->color.match.matchActive, 1);
        QCOMPARE(control<QLineEdit>(&f.pane, ids::kEditReferenceName)->text(),
                 QStringLiteral("Please load image..."));
        QVERIFY(f.doc->color.match.matchTables == color::MatchValues::identityMatchTables());
        auto* edit = control<QLineEdit>(&f.pane, ids::kEditReferenceName);
        QVERIFY(edit->isVisibleTo(&f.pane) && edit->isEnabled());
        QVERIFY(control<QToolButton>(&f.pane, ids::kButtonSaveProfile)->isVisibleTo(&f.pane));
        QVERIFY(!control<ProfileList>(&f.pane, ids::kListProfiles)->isVisibleTo(&f.pane));
        QVERIFY(control<SkinnedSlider>(&f.pane, ids::kSliderFade)->isEnabled());
    }

    void modesShowTheirControls() {
        MatchFixture f;
        f.pane.attachDocument(f.doc.get());
        control<QRadioButton>(&f.pane, ids::kRadioMatchProfile)->click();
        QCOMPARE(f.doc->color.match.matchActive, 2);
        QVERIFY(!control<QLineEdit>(&f.pane, ids::kEditReferenceName)->isVisibleTo(&f.pane));
        QVERIFY(!control<QToolButton>(&f.pane, ids::kButtonLoadReference)->isVisibleTo(&f.pane));
        QVERIFY(control<ProfileList>(&f.pane, ids::kListProfiles)->isVisibleTo(&f.pane));
        QVERIFY(control<QToolButton>(&f.pane, ids::kButtonDeleteProfile)->isVisibleTo(&f.pane));
        QVERIFY(!control<QToolButton>(&f.pane, ids::kButtonSaveProfile)->isVisibleTo(&f.pane));
        control<QRadioButton>(&f.pane, ids::kRadioNoMatch)->click();
        QCOMPARE(f.doc->color.match.matchActive, 0);
        QVERIFY(control<QLineEdit>(&f.pane, ids::kEditReferenceName)->isVisibleTo(&f.pane));
        QVERIFY(!control<QLineEdit>(&f.pane, ids::kEditReferenceName)->isEnabled());
    }

    void fadeSetsMatchFadeWithItsDelayByTab() {
        MatchFixture f;
        f.makeRamp(32, 8);
        f.pane.attachDocument(f.doc.get());
        control<QCheckBox>(&f.pane, ids::kCheckAutoSwitch)->setChecked(false);
        control<QRadioButton>(&f.pane, ids::kRadioMatchImage)->click();
        auto* fade = control<SkinnedSlider>(&f.pane, ids::kSliderFade);
        fade->setValue(128);
        QCOMPARE(f.doc->color.match.matchFade, 128);
        QTRY_COMPARE_WITH_TIMEOUT(f.runs(), 1, velanox::ui::test::kSlowMachineMs);

        QCOMPARE(ColorMatchPane::fadeDelay(true, document::kTabImage), 50);
        QCOMPARE(ColorMatchPane::fadeDelay(false, document::kTabImage), 100);
        QCOMPARE(ColorMatchPane::fadeDelay(false, document::kTabCurves), 30);
        QCOMPARE(ColorMatchPane::fadeDelay(false, document::kTabHistogram), 30);

        // On the Histogram tab the timer recomputes the bars instead.
        f.doc->display.displayTab = document::kTabHistogram;
        fade->setSliderDown(true);
        fade->setValue(10);
        fade->setValue(20);
        QTRY_COMPARE_WITH_TIMEOUT(f.count(document::DocumentChange::HistogramReady), 1,
                                  velanox::ui::test::kSlowMachineMs);
        fade->setSliderDown(false);
        QCOMPARE(f.doc->color.match.matchFade, 20);
    }

    void theAutoSwitchTakesTheTimerIntoFullCropMode() {
        MatchFixture f;
        f.makeRamp(32, 8);
        f.pane.attachDocument(f.doc.get());
        control<QRadioButton>(&f.pane, ids::kRadioNoMatch)->click();
        QTRY_COMPARE_WITH_TIMEOUT(f.count(document::DocumentChange::CropModeEntered), 1,
                                  velanox::ui::test::kSlowMachineMs);
        QVERIFY(f.doc->crop.cropMode);
        QVERIFY(f.doc->cropDisplayImage.hasPixels());
        QCOMPARE(f.runs(), 0);
        // Clearing the box leaves the mode (a neutral crop window asks nothing); the view
        // processes the detail once things settle.
        control<QCheckBox>(&f.pane, ids::kCheckAutoSwitch)->click();
        QVERIFY(!f.doc->crop.cropMode);
        QVERIFY(f.host.questions.empty());
        QCOMPARE(f.count(document::DocumentChange::CropModeLeft), 1);
        QTRY_COMPARE_WITH_TIMEOUT(f.runs(), 1, velanox::ui::test::kSlowMachineMs);
    }

    void savingNeedsAReferenceAndASafeName() {
        MatchFixture f;
        MessageRecorder messages;
        f.pane.attachDocument(f.doc.get());
        QString asked;
        f.pane.setNameAsker([&](const QString& preset) -> std::optional<QString> {
            asked = preset;
            return QStringLiteral("../outside");
        });
        control<QToolButton>(&f.pane, ids::kButtonSaveProfile)->click();
        QCOMPARE(messages.texts,
                 QStringList{QStringLiteral("You have to first load reference image")});
        QVERIFY(asked.isEmpty());

        setFlatReference(f.state, 80, 40, 90);
        f.pane.saveToProfile();
        QCOMPARE(asked, QStringLiteral("Profile"));
        QCOMPARE(messages.texts.size(), 2);
        QCOMPARE(messages.texts.last(), QString::fromLatin1(color::kBadProfileNameMessage));
        QVERIFY(QDir(f.programDir.path()).entryList(QDir::Files).isEmpty());

        f.pane.setNameAsker([](const QString&) { return std::optional(QStringLiteral("Sky")); });
        f.pane.saveToProfile();
        QCOMPARE(messages.texts.size(), 2);
        QVERIFY(QFile::exists(f.programFile(QStringLiteral("Sky.cpf"))));
        QCOMPARE(f.pane.profileList()->paths(),
                 QStringList{f.programFile(QStringLiteral("Sky.cpf"))});
        // Saving the same name again replaces the file and keeps one entry.
        f.pane.saveToProfile();
        QCOMPARE(f.pane.profileList()->count(), 1);
    }

    void profilesAreListedFromBothFoldersSortedIgnoringCase() {
        MatchFixture f;
        writeProfile(f.programFile(QStringLiteral("b.cpf")), 40);
        writeProfile(f.programFile(QStringLiteral("A.cpf")), 80);
        writeProfile(f.userDir.filePath(QStringLiteral("c.cpf")), 120);
        QFile(f.programFile(QStringLiteral("notes.txt"))).open(QIODevice::WriteOnly);
        f.pane.refreshProfileList();
        ProfileList* list = f.pane.profileList();
        QStringList names;
        for (const QString& path : list->paths())
            names << profileDisplayName(path);
        // The folders are listed together, by full path.
        QStringList expected{f.programFile(QStringLiteral("A.cpf")),
                             f.programFile(QStringLiteral("b.cpf")),
                             f.userDir.filePath(QStringLiteral("c.cpf"))};
        std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
            return QString::compare(a, b, Qt::CaseInsensitive) < 0;
        });
        QCOMPARE(list->paths(), expected);
        QVERIFY(names.contains(QStringLiteral("A")) && names.contains(QStringLiteral("c")));
        QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(QString::fromStdString(f.state.profilePath), expected.first());
    }

    void deletingTheLastEntrySelectsTheNewLast() {
        MatchFixture f;
        for (const char* name : {"one.cpf", "three.cpf", "two.cpf"})
            writeProfile(f.programFile(QString::fromLatin1(name)), 60);
        f.pane.refreshProfileList();
        f.pane.attachDocument(f.doc.get());
        ProfileList* list = f.pane.profileList();
        QCOMPARE(list->count(), 3);
        list->setCurrentIndex(2); // "two"
        f.host.answers = {document::Answer::No};
        f.pane.deleteProfile();
        QCOMPARE(f.host.questions.back(), std::string("Delete this profile?"));
        QCOMPARE(list->count(), 3);

        f.host.answers = {document::Answer::Yes};
        f.pane.deleteProfile();
        QVERIFY(!QFile::exists(f.programFile(QStringLiteral("two.cpf"))));
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentIndex(), 1);
        QCOMPARE(profileDisplayName(list->path(1)), QStringLiteral("three"));
        QCOMPARE(f.doc->color.match.matchActive, 2);
        QCOMPARE(QString::fromStdString(f.state.profilePath), list->path(1));
    }

    void aProfileIsSavedToTheUserFolderWhenTheProgramFolderIsReadOnly() {
        MatchFixture f;
        QFile::setPermissions(f.programDir.path(), QFile::ReadOwner | QFile::ExeOwner);
        if (QFileInfo(f.programDir.path()).isWritable()) QSKIP("running with rights to any folder");
        QCOMPARE(f.pane.profileSaveFolder(), f.userDir.path());
        QFile::setPermissions(f.programDir.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(f.pane.profileSaveFolder(), f.programDir.path());
    }

    void loadingAReferenceTurnsMatchingOnWithoutFade() {
        MatchFixture f;
        f.makeRamp(32, 8);
        f.pane.attachDocument(f.doc.get());
        control<QCheckBox>(&f.pane, ids::kCheckAutoSwitch)->setChecked(false);
        f.doc->color.match.matchFade = 100;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("reference.png"));
        codec::Picture picture;
        picture.allocate(200, 100, 24);
        std::memset(picture.pixels(), 180, picture.pixelBytes());
        QVERIFY(picture.save(path.toStdString()).ok());

        f.pane.dropReference(dir.filePath(QStringLiteral("reference.jpeg"))); // not a drop name
        QCOMPARE(f.doc->color.match.matchActive, 0);

        f.pane.setFileChooser([&](const QString&) { return path; });
        control<QToolButton>(&f.pane, ids::kButtonLoadReference)->click();
        QCOMPARE(f.doc->color.match.matchActive, 1);
        QCOMPARE(f.doc->color.match.matchFade, 0);
        QCOMPARE(f.pane.mode(), 1);
        QCOMPARE(control<QLineEdit>(&f.pane, ids::kEditReferenceName)->text(),
                 QStringLiteral("reference.png"));
        QCOMPARE(control<ReferencePreview>(&f.pane, ids::kReferencePreview)->image().size(),
                 QSize(170, 85));
        QVERIFY(f.doc->color.match.matchTables != color::MatchValues::identityMatchTables());
        QTRY_COMPARE_WITH_TIMEOUT(f.runs(), 1, velanox::ui::test::kSlowMachineMs);
    }

    void aReferenceThatCannotBeReadSaysSoAndChangesNothing() {
        MatchFixture f;
        MessageRecorder messages;
        f.pane.attachDocument(f.doc.get());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.png"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        f.pane.dropReference(path);
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(messages.texts.first().startsWith(QStringLiteral("Cannot open")));
        QCOMPARE(f.doc->color.match.matchActive, 0);
        QCOMPARE(f.pane.mode(), 0);

        // A cancelled dialog changes nothing either.
        f.pane.setFileChooser([](const QString&) { return QString(); });
        f.pane.loadReference();
        QCOMPARE(f.pane.mode(), 0);
        QCOMPARE(messages.texts.size(), 1);
    }

    void theReferenceDialogStartsInMatchPathAndRemembersTheFolder() {
        MatchFixture f;
        document::MemorySettings settings;
        settings.writeString(document::SettingId::MatchPath, "/pictures/earlier");
        f.pane.setSettings(&settings);
        f.pane.setFileChooser({}); // back to the program's dialog, answered below
        f.pane.attachDocument(f.doc.get());
        FileDialogRequest seen;
        const FileDialogHandler previous =
            setFileDialogHandler([&](QWidget*, const FileDialogRequest& request) {
                seen = request;
                return FileDialogAnswer{true, QStringLiteral("/pictures/new/absent.png"), 0};
            });
        MessageRecorder messages;
        f.pane.loadReference();
        setFileDialogHandler(previous);
        QCOMPARE(seen.title, QStringLiteral("Load Source Image"));
        QCOMPARE(seen.folder, QStringLiteral("/pictures/earlier"));
        QVERIFY(seen.filters.size() > 2);
        QCOMPARE(seen.filters.front().name, QStringLiteral("All Supported Image Files"));
        QCOMPARE(seen.filters[1].name, QStringLiteral("Windows Bitmap (*.BMP)"));
        QCOMPARE(seen.filters.back().name, QStringLiteral("All files (*.*)"));
        QCOMPARE(settings.readString(document::SettingId::MatchPath), std::string("/pictures/new"));
        QCOMPARE(messages.texts.size(), 1); // the file is not there: "Cannot open ..."
    }

    void theThumbnailCacheKeepsTheTwentyNewest() {
        QTemporaryDir dir;
        ProfileThumbnailCache cache;
        writeProfile(dir.filePath(QStringLiteral("p0.cpf")), 10);
        const QImage half = cache.thumbnail(dir.filePath(QStringLiteral("p0.cpf")));
        // A 60 x 40 reference keeps a 150 x 100 thumbnail; the list draws it at half size.
        QCOMPARE(half.size(), QSize(75, 50));
        for (int i = 1; i <= 20; ++i)
            cache.thumbnail(dir.filePath(QStringLiteral("missing%1").arg(i)));
        const std::deque<QString> paths = cache.paths();
        QCOMPARE(paths.size(), std::size_t(20));
        QCOMPARE(paths.front(), dir.filePath(QStringLiteral("missing20")));
        QVERIFY(std::find(paths.begin(), paths.end(), dir.filePath(QStringLiteral("p0.cpf"))) ==
                paths.end());
        QVERIFY(cache.thumbnail(dir.filePath(QStringLiteral("missing5"))).isNull());
    }
};

VELANOX_UI_TEST(ColorMatchPaneTest);
#include "color_match_pane_test.moc"
