// The document's own operations: the colour match switch the desktop program and the batch tool
// share, a new document, discarding a result, the batch tool's crop and the crop window's moves.
#include "document/csotavo_doc.h"

#include "color/color_match_state.h"
#include "support/recording_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velanox::document {
namespace {

using test::RecordingHost;

void fillNoisy(codec::Picture& picture, int width, int height, uint32_t seed = 7) {
    const test::TestImage scene = test::makeNoisyScene(width, height, 12.0, seed);
    ASSERT_TRUE(picture.allocate(width, height, 24).ok());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k)
                picture.pixels()[(std::size_t(y) * width + x) * 3 + k] = scene.at(x, y, k);
}

// Every byte of the picture lowered by delta (a darker copy).
void fillDarker(codec::Picture& target, const codec::Picture& from, int delta) {
    ASSERT_TRUE(target.copyFrom(from).ok());
    for (std::size_t i = 0; i < target.pixelBytes(); ++i)
        target.pixels()[i] = uint8_t(std::max(0, target.pixels()[i] - delta));
}

bool samePixels(const codec::Picture& a, const codec::Picture& b) {
    return a.width == b.width && a.height == b.height && a.pixelBytes() == b.pixelBytes() &&
           std::memcmp(a.pixels(), b.pixels(), a.pixelBytes()) == 0;
}

core::ConstImageView viewOf(const codec::Picture& p) {
    return core::ConstImageView(p.pixels(), p.width, p.height, 3);
}

class DocumentOperations : public ::testing::Test {
protected:
    RecordingHost host;
    CSotavoDoc doc{host};
    void SetUp() override {
        fillNoisy(doc.sourceImage, 64, 48);
        ASSERT_TRUE(doc.resultImage.copyFrom(doc.sourceImage).ok());
    }
};

// ---- the colour match switch ------------------------------------------------------------------

TEST_F(DocumentOperations, MatchModeBuildsTheTablesOfEachMode) {
    color::ColorMatchState match;
    codec::Picture reference;
    fillDarker(reference, doc.sourceImage, 40);
    ASSERT_TRUE(match.setReferenceImage(reference, reference.info.iccProfile, "/p/dark.png").ok());
    const color::MatchTables toImage = match.buildMatchToImage(viewOf(doc.sourceImage));
    ASSERT_NE(toImage, color::MatchValues::identityMatchTables());
    doc.setMatchFade(90);

    doc.setMatchMode(match, 1);
    EXPECT_EQ(doc.color.match.matchActive, 1);
    EXPECT_EQ(doc.color.match.matchTables, toImage);

    // A profile made from the same reference matches the same way.
    match.profileStatistics = match.referenceStatistics;
    match.profilePath = "/p/dark.profile";
    doc.setMatchMode(match, 0);
    EXPECT_EQ(doc.color.match.matchActive, 0);
    EXPECT_EQ(doc.color.match.matchTables, color::MatchValues::identityMatchTables());
    doc.setMatchMode(match, 2);
    EXPECT_EQ(doc.color.match.matchActive, 2);
    EXPECT_EQ(doc.color.match.matchTables, toImage);
    EXPECT_EQ(doc.color.match.matchFade, 90) << "the fade is the caller's";

    // Without a profile read, matching to a profile changes no colour.
    color::ColorMatchState noProfile;
    doc.setMatchMode(noProfile, 2);
    EXPECT_EQ(doc.color.match.matchTables, color::MatchValues::identityMatchTables());
}

TEST_F(DocumentOperations, MatchModeOutsideTheRangeIsClampedAndNoSourceMeansIdentity) {
    color::ColorMatchState match;
    codec::Picture reference;
    fillDarker(reference, doc.sourceImage, 40);
    ASSERT_TRUE(match.setReferenceImage(reference, reference.info.iccProfile, "/p/dark.png").ok());

    doc.setMatchMode(match, 7);
    EXPECT_EQ(doc.color.match.matchActive, 2);
    doc.setMatchMode(match, -3);
    EXPECT_EQ(doc.color.match.matchActive, 0);

    ASSERT_TRUE(doc.newDocument().ok());
    doc.setMatchMode(match, 1);
    EXPECT_EQ(doc.color.match.matchActive, 1);
    EXPECT_EQ(doc.color.match.matchTables, color::MatchValues::identityMatchTables());
}

// ---- new document, discarding a result ----------------------------------------------------------

TEST_F(DocumentOperations, NewDocumentEmptiesThePicturesAndKeepsTheSettings) {
    doc.sourceFile.documentPath = "/p/a.jpg";
    doc.sourceFile.exifCopy = {1, 2, 3};
    doc.setCropAspect(2);
    ASSERT_TRUE(doc.enterCropMode(true).ok());
    ASSERT_TRUE(doc.moveCropWindow(5, 5));
    pipeline::NoiseSettings noise;
    noise.noiseLevel = 33.0;
    doc.setNoiseSettings(noise);
    color::ToneValues tone;
    tone.blackPoint = 12;
    doc.setToneValues(tone);
    doc.processing.resultValid = 1;

    doc.processing.calculating = 1;
    EXPECT_FALSE(doc.newDocument().ok());
    EXPECT_TRUE(doc.sourceImage.hasPixels()) << "refused while a run is on";
    doc.processing.calculating = 0;

    ASSERT_TRUE(doc.newDocument().ok());
    EXPECT_FALSE(doc.sourceImage.hasPixels());
    EXPECT_FALSE(doc.resultImage.hasPixels());
    EXPECT_FALSE(doc.cropDisplayImage.hasPixels());
    EXPECT_FALSE(doc.quickPreview.hasPixels());
    EXPECT_FALSE(doc.crop.cropMode);
    EXPECT_TRUE(doc.crop.isNeutral());
    EXPECT_EQ(doc.crop.cropAspect, 2);
    EXPECT_EQ(doc.processing.resultValid, 0);
    EXPECT_EQ(doc.display.displayTab, kTabImage);
    EXPECT_TRUE(doc.sourceFile.documentPath.empty());
    EXPECT_TRUE(doc.sourceFile.exifCopy.empty());
    EXPECT_EQ(doc.noise.noiseLevel, 33.0);
    EXPECT_EQ(doc.color.tone.blackPoint, 12);
}

// Two detail runs at different places, then a discard: the result is the source everywhere,
// although the detail rectangle now covers only the second place.
TEST_F(DocumentOperations, DiscardingRestoresEveryRegionRunsWrote) {
    doc.setDetailRect(0, 0, 20, 16);
    ASSERT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    doc.setDetailRect(40, 30, 64, 48);
    ASSERT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    ASSERT_FALSE(samePixels(doc.resultImage, doc.sourceImage));
    ASSERT_EQ(doc.processing.resultValid, 1);

    doc.discardResult();
    EXPECT_TRUE(samePixels(doc.resultImage, doc.sourceImage));
    EXPECT_EQ(doc.processing.resultValid, 0);
    EXPECT_TRUE(doc.processing.processedRegion.isEmpty());
}

TEST_F(DocumentOperations, DiscardingDoesNothingInCropModeDuringARunOrWithoutAResult) {
    doc.setDetailRect(0, 0, 20, 16);
    ASSERT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    codec::Picture processed;
    ASSERT_TRUE(processed.copyFrom(doc.resultImage).ok());

    doc.processing.calculating = 1;
    doc.discardResult();
    EXPECT_TRUE(samePixels(doc.resultImage, processed)) << "a run still works on it";
    doc.processing.calculating = 0;

    doc.crop.cropMode = true;
    doc.discardResult();
    EXPECT_TRUE(samePixels(doc.resultImage, processed)) << "Full/Crop mode";
    doc.crop.cropMode = false;

    doc.processing.resultValid = 0;
    doc.discardResult();
    EXPECT_TRUE(samePixels(doc.resultImage, processed)) << "nothing valid to discard";
}

// A result of another size (the source was replaced behind it) is copied whole.
TEST_F(DocumentOperations, DiscardingAResultOfAnotherShapeCopiesTheWholeSource) {
    ASSERT_TRUE(doc.resultImage.allocate(10, 10, 24).ok());
    doc.processing.resultValid = 1;
    doc.discardResult();
    EXPECT_TRUE(samePixels(doc.resultImage, doc.sourceImage));
}

// ---- the crop window --------------------------------------------------------------------------

TEST_F(DocumentOperations, ACropRequestCutsTheSourceAndTheResultFollows) {
    doc.processing.resultValid = 1;
    CropWindow window;
    window.aspect = 0; // square
    window.zoom = 2.0;
    window.offsetX = 6;
    window.offsetY = 4;
    const uint8_t* corner = doc.sourceImage.pixels() + (std::size_t(4) * 64 + 6) * 3;
    const uint8_t expected[3] = {corner[0], corner[1], corner[2]};

    ASSERT_TRUE(doc.applyCropRequest(window).ok());
    EXPECT_FALSE(doc.crop.cropMode);
    EXPECT_FALSE(doc.cropDisplayImage.hasPixels());
    // A landscape picture's square window at zoom 2 is 64 / 2 = 32 pixels wide.
    EXPECT_EQ(doc.sourceImage.width, 32);
    EXPECT_EQ(doc.sourceImage.height, 32);
    EXPECT_EQ(0, std::memcmp(doc.sourceImage.pixels(), expected, 3));
    EXPECT_TRUE(samePixels(doc.resultImage, doc.sourceImage));
    EXPECT_EQ(doc.processing.resultValid, 0);
    EXPECT_TRUE(host.questions.empty()) << "a crop given by value is never asked about";

    ASSERT_TRUE(doc.newDocument().ok());
    EXPECT_FALSE(doc.applyCropRequest(window).ok()) << "no source";
    EXPECT_FALSE(doc.crop.cropMode);
}

TEST_F(DocumentOperations, OnlyAWindowThatChangedIsMarkedChanged) {
    ASSERT_TRUE(doc.enterCropMode(true).ok());
    ASSERT_FALSE(doc.crop.windowChanged);

    // At zoom 1 the window covers the picture: a drag moves nothing.
    EXPECT_FALSE(doc.moveCropWindow(-5, 3));
    doc.setCropAspect(doc.crop.cropAspect);
    doc.setCropZoom(1.0);
    EXPECT_FALSE(doc.crop.windowChanged);

    doc.setCropZoom(2.0);
    EXPECT_TRUE(doc.crop.windowChanged);
    doc.crop.windowChanged = false;
    EXPECT_TRUE(doc.moveCropWindow(5, 3));
    EXPECT_TRUE(doc.crop.windowChanged);
    // Against the edge: clamped, so a second push further out changes nothing.
    doc.crop.windowChanged = false;
    ASSERT_TRUE(doc.moveCropWindow(1000, 1000));
    EXPECT_FALSE(doc.moveCropWindow(10, 10));
    EXPECT_EQ(doc.cropRect().right, 64);
    EXPECT_EQ(doc.cropRect().bottom, 48);

    doc.crop.windowChanged = false;
    doc.setCropSwap(doc.crop.cropSwap != 0);
    EXPECT_TRUE(doc.crop.windowChanged) << "turning the window always counts";

    doc.placeCropWindow(0.5, 0.25);
    EXPECT_EQ(doc.crop.cropOffsetX, 32);
    EXPECT_EQ(doc.crop.cropOffsetY, 12);
}

// ---- colour read-outs -------------------------------------------------------------------------

TEST_F(DocumentOperations, AutoLevelsSetOnlyTheLevelsAsked) {
    color::ToneValues tone;
    tone.blackPoint = 7;
    tone.whitePoint = 200;
    doc.setToneValues(tone);
    doc.applyAutoLevels(false, true);
    EXPECT_EQ(doc.color.tone.blackPoint, 7);
    const int32_t white = doc.color.tone.whitePoint;
    doc.applyAutoLevels();
    EXPECT_EQ(doc.color.tone.whitePoint, white);

    ASSERT_TRUE(doc.newDocument().ok());
    doc.applyAutoLevels();
    EXPECT_EQ(doc.color.tone.blackPoint, 0) << "no source: the full range";
    EXPECT_EQ(doc.color.tone.whitePoint, 255);
}

TEST_F(DocumentOperations, PreviewAndHistogramNeedASourceAndNoRun) {
    doc.setDetailRect(8, 8, 24, 20);
    doc.processing.calculating = 1;
    EXPECT_FALSE(doc.makeQuickColorPreview());
    EXPECT_FALSE(doc.quickPreview.hasPixels());
    doc.processing.calculating = 0;
    ASSERT_TRUE(doc.makeQuickColorPreview());
    EXPECT_EQ(doc.quickPreview.width, 16);
    EXPECT_EQ(doc.quickPreview.height, 12);

    ASSERT_TRUE(doc.computeHistogram());
    const color::HistogramBars bars = doc.display.histogramBars;
    ASSERT_TRUE(doc.newDocument().ok());
    EXPECT_FALSE(doc.computeHistogram());
    EXPECT_EQ(doc.display.histogramBars, bars) << "the bars stay when there is nothing to count";
    EXPECT_FALSE(doc.makeQuickColorPreview());
}

} // namespace
} // namespace velanox::document
