#include "document/csotavo_doc.h"

#include "engine/noise_reducer.h"
#include "support/recording_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace velanox;
using velanox::test::RecordingHost;
using velanox::test::RecordingProgressDialog;

namespace {

// Fills a 24-bit picture from a noisy synthetic scene.
void fillNoisy(codec::Picture& picture, int width, int height, uint32_t seed = 7) {
    const test::TestImage scene = test::makeNoisyScene(width, height, 12.0, seed);
    ASSERT_TRUE(picture.allocate(width, height, 24).ok());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k)
                picture.pixels()[(std::size_t(y) * width + x) * 3 + k] = scene.at(x, y, k);
}

// The noise-reduced pixels of a region of a 24-bit picture, as the engine gives them for a
// region processed in one call, packed 24-bit.
std::vector<uint8_t> engineOutput(const codec::Picture& picture, core::Rect r,
                                  const pipeline::NoiseSettings& noise) {
    std::vector<uint8_t> block(std::size_t(r.width()) * r.height() * 4);
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x) {
            const uint8_t* s =
                picture.pixels() + (std::size_t(r.top + y) * picture.width + r.left + x) * 3;
            uint8_t* d = &block[(std::size_t(y) * r.width() + x) * 4];
            std::copy(s, s + 3, d);
            d[3] = 255;
        }
    const NrParams params = pipeline::engineParams(noise);
    EXPECT_EQ(reduceNoise(r.width(), r.height(), -1, block.data(), &params), NR_OK);
    std::vector<uint8_t> out;
    for (std::size_t i = 0; i < block.size(); i += 4)
        out.insert(out.end(), block.begin() + i, block.begin() + i + 3);
    return out;
}

std::vector<uint8_t> regionOf(const codec::Picture& picture, core::Rect r) {
    std::vector<uint8_t> out;
    for (int y = r.top; y < r.bottom; ++y) {
        const uint8_t* row = picture.pixels() + (std::size_t(y) * picture.width + r.left) * 3;
        out.insert(out.end(), row, row + std::size_t(r.width()) * 3);
    }
    return out;
}

bool samePixels(const codec::Picture& a, const codec::Picture& b) {
    return a.pixelBytes() == b.pixelBytes() &&
           std::memcmp(a.pixels(), b.pixels(), a.pixelBytes()) == 0;
}

// A colour match that maps every value of every component to 200.
void paintEverything200(color::ColorSettings& color) {
    color.match.matchActive = 1;
    color.match.matchFade = 0;
    for (auto& table : color.match.matchTables)
        table.fill(200);
}

class ProcessImage : public ::testing::Test {
protected:
    RecordingHost host;
    document::CSotavoDoc doc{host};

    void load(int width, int height) {
        fillNoisy(doc.sourceImage, width, height);
        ASSERT_TRUE(doc.resultImage.copyFrom(doc.sourceImage).ok());
    }
    void withProgressDialog() { doc.processing.progressDialog = &dialog; }
    RecordingProgressDialog dialog;
};

} // namespace

TEST_F(ProcessImage, InCropModeOrWhileCalculatingNothingIsTouched) {
    load(64, 64);
    doc.setDetailRect(0, 0, 64, 64);
    codec::Picture before;
    before.copyFrom(doc.resultImage);

    doc.crop.cropMode = 1;
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::NothingToDo);
    doc.crop.cropMode = 0;
    doc.processing.calculating = 1;
    doc.processing.cancelRequested = 1;
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::NothingToDo);
    EXPECT_EQ(doc.processImage(false), pipeline::ProcessOutcome::NothingToDo);

    EXPECT_TRUE(samePixels(before, doc.resultImage));
    EXPECT_EQ(doc.processing.resultValid, 0);
    EXPECT_EQ(doc.processing.cancelRequested, 1) << "a refused call must not undo a cancel";
    EXPECT_EQ(host.pumps, 0);
    EXPECT_EQ(host.viewUpdates, 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.waitCursorDepth, 0);
}

TEST_F(ProcessImage, AnEmptyRegionOrNoPictureIsASilentNoOp) {
    EXPECT_EQ(doc.processImage(false), pipeline::ProcessOutcome::NothingToDo);
    load(64, 64);
    doc.setDetailRect(10, 10, 10, 40); // a minimised window
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::NothingToDo);
    doc.display.detailRect = core::Rect{100, 0, 200, 64}; // wholly outside
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::NothingToDo);
    EXPECT_EQ(host.pumps, 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(doc.processing.calculating, 0);
}

TEST_F(ProcessImage, WithoutAdvancedProcessingTheResultIsTheEngineOutput) {
    load(96, 80);
    doc.noise.advancedProcessing = 0;
    const core::Rect region{10, 5, 90, 70};
    doc.setDetailRect(region.left, region.top, region.right, region.bottom);
    codec::Picture before;
    before.copyFrom(doc.resultImage);

    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    EXPECT_EQ(regionOf(doc.resultImage, region), engineOutput(doc.sourceImage, region, doc.noise));
    EXPECT_EQ(doc.processing.resultValid, 1);
    EXPECT_EQ(doc.processing.calculating, 0);
    EXPECT_EQ(doc.processing.cropWidth, 80);
    EXPECT_EQ(doc.processing.cropHeight, 65);
    // Outside the detail rectangle the result keeps what it held.
    EXPECT_EQ(regionOf(doc.resultImage, core::Rect{0, 0, 96, 5}),
              regionOf(before, core::Rect{0, 0, 96, 5}));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(host.running);
    EXPECT_EQ(host.waitCursorDepth, 0);
    ASSERT_EQ(host.statusIndicators.size(), 1u);
    EXPECT_TRUE(host.statusIndicators[0]->destroyed);
}

TEST_F(ProcessImage, TheDefaultBlendDiffersFromTheEngineOutputAndStaysNearIt) {
    load(96, 80);
    doc.setDetailRect(0, 0, 96, 80);
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    const core::Rect all{0, 0, 96, 80};
    const std::vector<uint8_t> engine = engineOutput(doc.sourceImage, all, doc.noise);
    const std::vector<uint8_t> blended = regionOf(doc.resultImage, all);
    EXPECT_NE(blended, engine);
    int worst = 0;
    for (std::size_t i = 0; i < engine.size(); ++i)
        worst = std::max(worst, std::abs(int(engine[i]) - int(blended[i])));
    EXPECT_LT(worst, 128);
}

TEST_F(ProcessImage, HighNoiseAtLevel30IsAnInvalidParameterAndLeavesTheResult) {
    load(64, 64);
    doc.noise.nrMode = pipeline::kNrModeHighNoise;
    doc.noise.noiseLevel = 30.0;
    codec::Picture before;
    before.copyFrom(doc.resultImage);
    EXPECT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Failed);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Invalid parameter given"});
    EXPECT_TRUE(samePixels(before, doc.resultImage));
    EXPECT_EQ(doc.processing.resultValid, 0);
    EXPECT_EQ(doc.processing.calculating, 0);
    EXPECT_FALSE(host.running);
}

TEST_F(ProcessImage, A3101WideRegionIsTiledInTwoColumnsAndTheRightmostColumnIsReduced) {
    load(3101, 40);
    doc.noise.advancedProcessing = 0;
    withProgressDialog();
    EXPECT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Done);

    // Each tile is reduced on its own, the leftover column with the right tile.
    EXPECT_EQ(regionOf(doc.resultImage, core::Rect{1550, 0, 3101, 40}),
              engineOutput(doc.sourceImage, core::Rect{1550, 0, 3101, 40}, doc.noise));
    EXPECT_EQ(regionOf(doc.resultImage, core::Rect{0, 0, 1550, 40}),
              engineOutput(doc.sourceImage, core::Rect{0, 0, 1550, 40}, doc.noise));
    EXPECT_NE(regionOf(doc.resultImage, core::Rect{3100, 0, 3101, 40}),
              regionOf(doc.sourceImage, core::Rect{3100, 0, 3101, 40}));

    EXPECT_NE(std::find(dialog.texts.begin(), dialog.texts.end(), "Processing block 1/2..."),
              dialog.texts.end());
    EXPECT_NE(std::find(dialog.texts.begin(), dialog.texts.end(), "Processing block 2/2..."),
              dialog.texts.end());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(ProcessImage, EscapeDuringATiledRunCancelsAtTheFirstCallbackAndWritesNothing) {
    load(3101, 40);
    withProgressDialog();
    host.escapeAtRunStart = true;
    codec::Picture before;
    before.copyFrom(doc.resultImage);
    EXPECT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Cancelled);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Operation cancelled"});
    EXPECT_TRUE(samePixels(before, doc.resultImage));
    EXPECT_EQ(doc.processing.resultValid, 0);
    // The second tile is never started.
    EXPECT_EQ(std::find(dialog.texts.begin(), dialog.texts.end(), "Processing block 2/2..."),
              dialog.texts.end());
    EXPECT_EQ(host.pumps, 1) << "only the pump before the engine starts";
}

TEST_F(ProcessImage, AFailingTileEndsTheRunWithOneMessage) {
    load(3101, 40);
    withProgressDialog();
    doc.noise.nrMode = pipeline::kNrModeHighNoise;
    doc.noise.noiseLevel = 26.0;
    codec::Picture before;
    before.copyFrom(doc.resultImage);
    EXPECT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Failed);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Invalid parameter given"});
    EXPECT_TRUE(samePixels(before, doc.resultImage));
    EXPECT_EQ(std::find(dialog.texts.begin(), dialog.texts.end(), "Processing block 2/2..."),
              dialog.texts.end());
}

TEST_F(ProcessImage, QuittingOrTheDialogsCancelDuringTheEngineCancelsTheRun) {
    load(64, 64);
    host.quitAtPump = 2; // the first pump is the one before the engine starts
    EXPECT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Cancelled);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Operation cancelled"});

    host.messages.clear();
    host.quitAtPump = 0;
    withProgressDialog();
    dialog.cancel = true;
    EXPECT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Cancelled);
    EXPECT_EQ(host.messages, std::vector<std::string>{"Operation cancelled"});
    EXPECT_EQ(doc.processing.cancelRequested, 1);
}

TEST_F(ProcessImage, ASmallRegionGetsColorAndBlendButNoEngineAndNoError) {
    load(100, 60);
    paintEverything200(doc.color);
    const core::Rect region{30, 20, 70, 40}; // 40 x 20
    doc.setDetailRect(region.left, region.top, region.right, region.bottom);
    codec::Picture before;
    before.copyFrom(doc.resultImage);

    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.statusIndicators.empty()) << "the engine never ran";
    // The match mixes by 256ths: (200 * 255) >> 8 = 199. A flat 199 has no edges: every weight
    // is 0 and the blend takes the sharpened copy, (199 * 255) >> 8 = 198.
    EXPECT_EQ(regionOf(doc.resultImage, region), std::vector<uint8_t>(40 * 20 * 3, 198));
    EXPECT_EQ(regionOf(doc.resultImage, core::Rect{0, 0, 100, 20}),
              regionOf(before, core::Rect{0, 0, 100, 20}));
}

TEST_F(ProcessImage, TheFilteredNoiseViewSkipsTheColorSteps) {
    load(100, 60);
    paintEverything200(doc.color);
    doc.color.tone.colorBoost = 50;
    doc.display.outputWindowMode = pipeline::kOutputFilteredNoise;
    doc.noise.advancedProcessing = 0;
    doc.setDetailRect(30, 20, 70, 40); // no engine: the output is the source, no noise at all
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    EXPECT_EQ(regionOf(doc.resultImage, core::Rect{30, 20, 70, 40}),
              std::vector<uint8_t>(40 * 20 * 3, 0));
}

TEST_F(ProcessImage, ProgressTextsAndTheStatusIndicatorFollowTheRun) {
    load(64, 64);
    withProgressDialog();
    EXPECT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Done);
    EXPECT_EQ(dialog.texts, (std::vector<std::string>{"Starting process...", "Preparing buffers...",
                                                      "Denoising...", "Finishing..."}));
    ASSERT_EQ(host.statusIndicators.size(), 1u);
    const auto& status = *host.statusIndicators[0];
    EXPECT_EQ(dialog.rangeLow, 0);
    EXPECT_EQ(dialog.rangeHigh, status.total);
    ASSERT_FALSE(dialog.positions.empty());
    EXPECT_EQ(dialog.positions.back(), status.total);
    EXPECT_EQ(status.positions.size() + 1, dialog.positions.size());
    // Busy from before the first pump until the pixels are done; views updated at both ends.
    const std::vector<std::string> expectedStart{"running", "views", "pump"};
    EXPECT_TRUE(std::equal(expectedStart.begin(), expectedStart.end(), host.log.begin()));
    EXPECT_EQ(host.log.back(), "views");
}

TEST_F(ProcessImage, ADetailRequestDuringARunIsCarriedOutWhenItEnds) {
    load(64, 64);
    doc.setDetailRect(0, 0, 64, 64);
    bool asked = false;
    host.onPump = [&] {
        if (asked) return;
        asked = true;
        paintEverything200(doc.color); // the user changed a setting meanwhile
        EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::NothingToDo);
    };
    EXPECT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "running"), 2);
    // Both runs read the changed setting after their first pump: the noisy picture became a
    // flat 200, which the engine and the blend keep within a few levels.
    const std::vector<uint8_t> result = regionOf(doc.resultImage, core::Rect{0, 0, 64, 64});
    for (uint8_t v : result)
        ASSERT_NEAR(v, 200, 12);
    EXPECT_FALSE(doc.processing.detailRunPending);
    EXPECT_EQ(host.waitCursorDepth, 0);
}

TEST(DetailRect, ARectangleOverrunningThePictureIsShiftedBackAndKeepsItsSize) {
    RecordingHost host;
    document::CSotavoDoc doc(host);
    ASSERT_TRUE(doc.sourceImage.allocate(1000, 600, 24).ok());
    doc.setDetailRect(900, 550, 1300, 750);
    EXPECT_EQ(doc.display.detailRect, (core::Rect{600, 400, 1000, 600}));
    doc.setDetailRect(-20, -5, 300, 200);
    EXPECT_EQ(doc.display.detailRect, (core::Rect{0, 0, 300, 200}));
    // Wider than the picture: it ends at the right edge and starts at 0.
    doc.setDetailRect(100, 0, 1600, 200);
    EXPECT_EQ(doc.display.detailRect, (core::Rect{0, 0, 1000, 200}));
}

TEST(Document, StartsWithItsDefaultsAndTheStoredSettings) {
    RecordingHost host;
    document::DocumentSettings stored;
    stored.JPGq = 80;
    stored.CropAspect = 2;
    stored.memory.MaxBlockW = 1000;
    document::CSotavoDoc doc(host, stored);
    EXPECT_EQ(doc.jpeg.jpegQualitySetting, 80);
    EXPECT_EQ(doc.jpeg.enhancedSamplingSetting, 1);
    EXPECT_EQ(doc.crop.cropAspect, 2);
    EXPECT_EQ(doc.memory.MaxBlockW, 1000);
    EXPECT_EQ(doc.memory.MaxBlockH, 2100);
    EXPECT_EQ(doc.noise.noiseLevel, 8.0);
    EXPECT_EQ(doc.noise.nrLevels, 5);
    EXPECT_EQ(doc.noise.sharpenAmount, 8);
    EXPECT_EQ(doc.color.tone.whitePoint, 255);
    EXPECT_EQ(doc.color.match.matchTables[2][77], 77);
    EXPECT_FALSE(doc.color.tone.toneActive());
    EXPECT_EQ(doc.crop.cropZoom, 1.0);
    EXPECT_EQ(doc.sourceFile.exifOrientation, 1);
    EXPECT_TRUE(doc.mayReplaceImages());
}

TEST_F(ProcessImage, RunsOfManySizesInOneDocumentGiveTheBytesOfAFreshDocument) {
    // The document keeps the engine's planes from run to run, through detail rectangles of other
    // sizes, whole tiled pictures and a cancelled run; nothing stale may show in a later result.
    load(700, 300);
    doc.memory.MaxBlockW = 300; // tiles of about 233 x 150
    doc.memory.MaxBlockH = 200;
    const core::Rect regions[] = {{10, 20, 410, 120},
                                  {0, 0, 700, 300},
                                  {300, 100, 345, 170},
                                  {0, 0, 700, 300},
                                  {50, 50, 650, 280}};
    for (const core::Rect& r : regions) {
        const bool detail = r.width() != 700;
        if (detail) doc.setDetailRect(r.left, r.top, r.right, r.bottom);
        ASSERT_EQ(doc.processImage(detail), pipeline::ProcessOutcome::Done);

        RecordingHost freshHost;
        document::CSotavoDoc fresh(freshHost);
        fresh.memory = doc.memory;
        ASSERT_TRUE(fresh.sourceImage.copyFrom(doc.sourceImage).ok());
        ASSERT_TRUE(fresh.resultImage.copyFrom(doc.sourceImage).ok());
        if (detail) fresh.setDetailRect(r.left, r.top, r.right, r.bottom);
        ASSERT_EQ(fresh.processImage(detail), pipeline::ProcessOutcome::Done);
        EXPECT_EQ(regionOf(doc.resultImage, r), regionOf(fresh.resultImage, r))
            << r.left << "," << r.top << " " << r.width() << "x" << r.height();

        // A run cancelled halfway through the engine in between leaves no trace either.
        host.escapeAtPump = host.pumps + 8;
        EXPECT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Cancelled);
        host.escapeAtPump = 0;
    }
}

TEST_F(ProcessImage, AutomaticModeMeasuresThePictureOnceAndAgainWhenItChanges) {
    load(200, 120);
    doc.noise.nrMode = pipeline::kNrModeAuto;
    doc.setDetailRect(20, 10, 180, 110);
    ASSERT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    EXPECT_TRUE(host.messages.empty());
    const uint64_t key = doc.processing.noiseProfileKey;
    ASSERT_NE(key, 0u);
    // The whole picture's noise (the scene has 12 per component), not only the region's.
    const engine::NoiseProfile measured = doc.processing.noiseProfile;
    EXPECT_NEAR(measured.sigma, 12.0, 1.5);
    const engine::NoiseProfile* again = doc.noiseEstimate();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(*again, measured);

    // The saved picture's run uses the same estimate, so inside the preview (away from its
    // edges, where the preview had no picture around it) the two agree closely: they differ
    // only by where the transform's sampling grid falls (measured: 1.3 on average, against
    // noise of 12).
    const core::Rect inner{60, 40, 140, 80};
    const std::vector<uint8_t> preview = regionOf(doc.resultImage, inner);
    ASSERT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Done);
    EXPECT_EQ(doc.processing.noiseProfileKey, key);
    const std::vector<uint8_t> saved = regionOf(doc.resultImage, inner);
    double difference = 0;
    for (std::size_t i = 0; i < saved.size(); ++i)
        difference += std::abs(int(saved[i]) - int(preview[i]));
    EXPECT_LT(difference / double(saved.size()), 2.0);

    // Another picture (here the same one turned) is measured again.
    ASSERT_TRUE(
        (document::rotateImage(doc.sourceImage, document::RotateDirection::Clockwise)).ok());
    ASSERT_NE(doc.noiseEstimate(), nullptr);
    EXPECT_NE(doc.processing.noiseProfileKey, key);
    // No 24-bit picture: nothing to measure.
    doc.sourceImage.release();
    EXPECT_EQ(doc.noiseEstimate(), nullptr);
}

TEST_F(ProcessImage, WholeRunsKeepTheEnginesPlanesAndADetailRunLetsThemGo) {
    load(900, 700);
    ASSERT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Done);
    const std::size_t whole = doc.processing.engineWorkspace.bytes();
    EXPECT_GT(whole, 0u);
    // Saving again, or the next picture of a batch: the planes are there already.
    const double* plane = doc.processing.engineWorkspace.plane(0);
    ASSERT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Done);
    EXPECT_EQ(doc.processing.engineWorkspace.plane(0), plane);
    // The preview after a save holds only what a detail rectangle needs.
    doc.setDetailRect(100, 100, 300, 200);
    ASSERT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    EXPECT_LT(doc.processing.engineWorkspace.bytes(), whole / 4);
}

TEST_F(ProcessImage, TheAutomaticModesMemoryIsKeptAndLetGoLikeTheEngines) {
    load(900, 700);
    doc.noise.nrMode = pipeline::kNrModeAuto;
    ASSERT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Done);
    const std::size_t whole = doc.processing.autoWorkspace.bytes();
    EXPECT_GT(whole, 0u);
    ASSERT_EQ(doc.processImage(false), pipeline::ProcessOutcome::Done);
    EXPECT_EQ(doc.processing.autoWorkspace.bytes(), whole);
    doc.setDetailRect(100, 100, 300, 200);
    ASSERT_EQ(doc.processImage(true), pipeline::ProcessOutcome::Done);
    EXPECT_LT(doc.processing.autoWorkspace.bytes(), whole / 4);
}
