// What the document tells its observers: each operation names what it changed, once, after the
// change is complete; a refused operation says nothing; observers may come and go while they
// are being told.
#include "document/csotavo_doc.h"
#include "document/load_source.h"
#include "document/save_document.h"

#include "document_files.h"
#include "support/recording_host.h"
#include "support/recording_observer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace velanox::document {
namespace {

using test::RecordingHost;
using test::RecordingObserver;
using Changes = std::vector<DocumentChange>;

// An observer that runs a step of the test whenever it is told of a change.
class CallbackObserver final : public DocumentObserver {
public:
    std::function<void(DocumentChange)> onChange;
    int heard = 0;
    void documentChanged(DocumentChange change) override {
        ++heard;
        if (onChange) onChange(change);
    }
};

class DocumentObserverTest : public ::testing::Test {
protected:
    RecordingHost host;
    CSotavoDoc doc{host};
    RecordingObserver changes{doc};

    void makeSource(int32_t width, int32_t height) {
        test::fillPicture(doc.sourceImage, width, height, 3);
        ASSERT_TRUE(doc.resultImage.copyFrom(doc.sourceImage).ok());
        doc.setDetailRect(0, 0, width, height);
    }
};

TEST_F(DocumentObserverTest, EachOperationNamesWhatItChangedOnce) {
    makeSource(60, 40);

    ASSERT_TRUE(doc.enterCropMode(true).ok());
    EXPECT_EQ(changes.changes, Changes{DocumentChange::CropModeEntered});
    changes.clear();
    doc.crop.cropAspect = 0; // a square window: leaving cuts the source
    doc.crop.windowChanged = true;
    EXPECT_TRUE(doc.leaveCropMode(false, true).cropped);
    EXPECT_EQ(changes.changes,
              (Changes{DocumentChange::SourceReplaced, DocumentChange::CropModeLeft}));
    changes.clear();

    ASSERT_TRUE(doc.rotateImage(RotateDirection::Clockwise).ok());
    EXPECT_EQ(changes.changes, Changes{DocumentChange::SourceReplaced});
    changes.clear();

    doc.setDetailRect(0, 0, 40, 40);
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    EXPECT_EQ(changes.changes, (Changes{DocumentChange::RunStarted, DocumentChange::ResultReady,
                                        DocumentChange::RunEnded}));
    changes.clear();

    doc.setDisplayTab(kTabHistogram);
    doc.setDisplayTab(kTabHistogram); // no change: nothing said
    doc.computeHistogram();
    doc.setOutputWindowMode(pipeline::kOutputHighlightEdges);
    doc.setOutputWindowMode(pipeline::kOutputHighlightEdges);
    doc.makeQuickColorPreview();
    EXPECT_EQ(changes.changes,
              (Changes{DocumentChange::DisplayTabChanged, DocumentChange::HistogramReady,
                       DocumentChange::OutputWindowChanged, DocumentChange::PreviewReady}));
    EXPECT_TRUE(doc.quickPreview.hasPixels());
}

TEST_F(DocumentObserverTest, SettersSpeakOnlyOfRealChanges) {
    makeSource(60, 40);
    color::ToneValues tone = doc.color.tone;
    doc.setToneValues(tone);
    doc.setMatchFade(doc.color.match.matchFade);
    doc.setVisibleRect(doc.display.visibleRect);
    EXPECT_TRUE(changes.changes.empty());
    tone.colorBoost = 20;
    doc.setToneValues(tone);
    doc.setMatchFade(40);
    doc.setVisibleRect(core::Rect{0, 0, 30, 20});
    EXPECT_EQ(changes.changes,
              (Changes{DocumentChange::ColorSettingsChanged, DocumentChange::ColorSettingsChanged,
                       DocumentChange::VisibleRectChanged}));
    changes.clear();

    // The crop window: a move against the edge and the same aspect or zoom change nothing.
    ASSERT_TRUE(doc.enterCropMode(true).ok());
    changes.clear();
    EXPECT_FALSE(doc.moveCropWindow(-5, -5));
    doc.setCropAspect(doc.crop.cropAspect);
    doc.setCropZoom(doc.crop.cropZoom);
    EXPECT_TRUE(changes.changes.empty());
    doc.setCropAspect(0);
    EXPECT_TRUE(doc.moveCropWindow(5, 0));
    EXPECT_TRUE(doc.zoomCropIn());
    EXPECT_EQ(changes.count(DocumentChange::CropWindowChanged), 3);
    EXPECT_EQ(changes.changes.size(), 3u);
}

TEST_F(DocumentObserverTest, NewDocumentAndADiscardedResultAreAnnounced) {
    makeSource(60, 40);
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    changes.clear();
    doc.discardResult();
    doc.discardResult(); // nothing left to discard
    EXPECT_EQ(changes.changes, Changes{DocumentChange::ResultDiscarded});
    changes.clear();
    ASSERT_TRUE(doc.newDocument().ok());
    EXPECT_EQ(changes.changes, Changes{DocumentChange::SourceReplaced});
    EXPECT_FALSE(doc.sourceImage.hasPixels());
}

TEST_F(DocumentObserverTest, RefusedOrEmptyOperationsSayNothing) {
    // Without a picture nothing can be entered, turned, processed or measured.
    EXPECT_FALSE(doc.enterCropMode(true).ok());
    EXPECT_FALSE(doc.rotateImage(RotateDirection::Clockwise).ok());
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::NothingToDo);
    doc.computeHistogram();
    doc.makeQuickColorPreview();
    EXPECT_FALSE(doc.leaveCropMode(false, true).left);
    EXPECT_TRUE(changes.changes.empty());

    makeSource(60, 40);
    // While a run is on: no crop mode, no rotation, no preview, no second run.
    doc.processing.calculating = 1;
    EXPECT_FALSE(doc.enterCropMode(true).ok());
    EXPECT_FALSE(doc.rotateImage(RotateDirection::Clockwise).ok());
    doc.makeQuickColorPreview();
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::NothingToDo);
    doc.processing.calculating = 0;
    doc.processing.detailRunPending = false;
    EXPECT_TRUE(changes.changes.empty());

    // In Full/Crop mode: no rotation, no run; a Cancel at the question leaves all as it was.
    ASSERT_TRUE(doc.enterCropMode(true).ok());
    changes.clear();
    EXPECT_FALSE(doc.rotateImage(RotateDirection::Clockwise).ok());
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::NothingToDo);
    doc.crop.cropAspect = 0;
    doc.crop.windowChanged = true;
    host.answers.push_back(Answer::Cancel);
    EXPECT_TRUE(doc.leaveCropMode(true, true).cancelled);
    EXPECT_TRUE(doc.crop.cropMode);
    EXPECT_TRUE(changes.changes.empty());
}

TEST_F(DocumentObserverTest, AStoppedRunEndsWithoutAResult) {
    makeSource(64, 64);
    host.quitAtPump = 2; // the first pump is the one before the engine starts
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Cancelled);
    EXPECT_EQ(changes.changes, (Changes{DocumentChange::RunStarted, DocumentChange::RunEnded}));
}

TEST_F(DocumentObserverTest, ADetailRequestDuringARunIsASecondCompleteRun) {
    makeSource(64, 64);
    bool asked = false;
    host.onPump = [&] {
        if (asked) return;
        asked = true;
        // Asked while the run is on: nothing is said until the run has ended.
        EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::NothingToDo);
        EXPECT_EQ(changes.changes, Changes{DocumentChange::RunStarted});
    };
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    const Changes oneRun{DocumentChange::RunStarted, DocumentChange::ResultReady,
                         DocumentChange::RunEnded};
    Changes twoRuns = oneRun;
    twoRuns.insert(twoRuns.end(), oneRun.begin(), oneRun.end());
    EXPECT_EQ(changes.changes, twoRuns);
}

TEST_F(DocumentObserverTest, ObserversSeeTheFinishedStateOfALoad) {
    test::TempFolder folder;
    const std::string path = folder.file("picture.bmp");
    test::writePicture(path, 30, 20, 7);
    CallbackObserver witness;
    std::string pathSeen;
    int32_t widthSeen = 0;
    witness.onChange = [&](DocumentChange change) {
        if (change != DocumentChange::SourceReplaced) return;
        pathSeen = doc.sourceFile.documentPath;
        widthSeen = doc.resultImage.width;
    };
    doc.addObserver(witness);

    ASSERT_TRUE(onOpenDocument(doc, path).loaded());
    EXPECT_EQ(pathSeen, path);
    EXPECT_EQ(widthSeen, 30);
    EXPECT_EQ(changes.changes, Changes{DocumentChange::SourceReplaced});
    changes.clear();

    // A file that cannot be read changes nothing and says so only to the person.
    test::writeBytes(folder.file("broken.bmp"), "BM not really");
    EXPECT_FALSE(onOpenDocument(doc, folder.file("broken.bmp")).loaded());
    EXPECT_TRUE(changes.changes.empty());

    const uint8_t rgb[2 * 2 * 3] = {};
    ASSERT_TRUE(pasteImage(doc, rgb, 2, 2, 0).loaded());
    EXPECT_EQ(changes.changes, Changes{DocumentChange::SourceReplaced});
    EXPECT_EQ(pathSeen, ""); // the pasted picture has no file, already when it is announced
    doc.removeObserver(witness);
}

TEST_F(DocumentObserverTest, SavingFromFullCropModeTellsOfEveryStep) {
    makeSource(60, 40);
    ASSERT_TRUE(doc.enterCropMode(true).ok());
    doc.crop.cropAspect = 0;
    doc.crop.windowChanged = true;
    doc.display.outputWindowMode = pipeline::kOutputHighlightEdges;
    changes.clear();
    test::TempFolder folder;
    ASSERT_TRUE(onSaveDocument(doc, folder.file("out.bmp")).saved());
    // The result display comes back, the shaped window is cut, the whole picture runs, then the
    // detail.
    const Changes expected{DocumentChange::OutputWindowChanged,
                           DocumentChange::SourceReplaced,
                           DocumentChange::CropModeLeft,
                           DocumentChange::RunStarted,
                           DocumentChange::ResultReady,
                           DocumentChange::RunEnded,
                           DocumentChange::RunStarted,
                           DocumentChange::ResultReady,
                           DocumentChange::RunEnded};
    EXPECT_EQ(changes.changes, expected);
}

TEST_F(DocumentObserverTest, ObserversMayComeAndGoWhileBeingTold) {
    CallbackObserver first, second, late;
    doc.addObserver(first);
    doc.addObserver(first); // once only
    doc.addObserver(second);

    // The first removes itself and the second; the second hears nothing of this change, and a
    // newcomer hears only the changes after it came.
    first.onChange = [&](DocumentChange) {
        doc.removeObserver(first);
        doc.removeObserver(second);
        doc.addObserver(late);
    };
    doc.setDisplayTab(kTabCurves);
    EXPECT_EQ(first.heard, 1);
    EXPECT_EQ(second.heard, 0);
    EXPECT_EQ(late.heard, 0);
    EXPECT_EQ(changes.count(DocumentChange::DisplayTabChanged), 1); // added before: still told

    doc.setDisplayTab(kTabHistogram);
    EXPECT_EQ(first.heard, 1);
    EXPECT_EQ(second.heard, 0);
    EXPECT_EQ(late.heard, 1);

    // An observer that changes the document from inside a notification: the nested change is
    // told to everyone, and removing during it stays safe.
    late.onChange = [&](DocumentChange change) {
        if (change == DocumentChange::DisplayTabChanged) {
            doc.setOutputWindowMode(pipeline::kOutputHighlightEdges);
            doc.removeObserver(late);
        }
    };
    changes.clear();
    doc.setDisplayTab(kTabImage);
    EXPECT_EQ(late.heard, 3);
    EXPECT_EQ(changes.changes,
              (Changes{DocumentChange::DisplayTabChanged, DocumentChange::OutputWindowChanged}));
    doc.setDisplayTab(kTabCurves);
    EXPECT_EQ(late.heard, 3);
    doc.removeObserver(late); // removing one that is gone does nothing
}

} // namespace
} // namespace velanox::document
