#include "document/load_source.h"

#include "codec/contained_reader.h"
#include "document/crop_rotate.h"
#include "document/folder_navigation.h"

#include "document_files.h"
#include "support/recording_host.h"
#include "support/recording_observer.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

using namespace velanox;
using test::RecordingHost;
using test::RecordingObserver;
using test::TempFolder;

namespace {

bool samePixels(const codec::Picture& a, const codec::Picture& b) {
    return a.width == b.width && a.height == b.height && a.pixelBytes() == b.pixelBytes() &&
           a.hasPixels() && std::memcmp(a.pixels(), b.pixels(), a.pixelBytes()) == 0;
}

// Per-image values set away from their load defaults.
void disturbPerImageState(document::CSotavoDoc& doc) {
    doc.crop.cropZoom = 2.0;
    doc.crop.cropOffsetX = 5;
    doc.crop.cropOffsetY = 6;
    doc.crop.cropSwap = 1;
    doc.color.match.matchActive = 1;
    doc.color.match.matchFade = 40;
    doc.color.match.matchTables[0][10] = 99;
    doc.color.tone.blackPoint = 10;
    doc.color.tone.whitePoint = 200;
    doc.display.displayTab = document::kTabHistogram;
}

} // namespace

TEST(LoadSource, JpegWithExifBecomesTheSourceAndResetsPerImageState) {
    VELANOX_TEST_FILE(path, "jpeg/canon_powershot_sx150is_orient6.jpg");
    RecordingHost host;
    document::CSotavoDoc doc(host);
    RecordingObserver changes(doc);
    disturbPerImageState(doc);
    doc.color.tone.gamma = 1.4f;
    doc.noise.noiseLevel = 12.0;

    ASSERT_TRUE(document::onOpenDocument(doc, path).loaded());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(doc.sourceFile.documentPath, path);
    // Orientation 6: turned clockwise, so the 1600 x 1200 file stands upright.
    EXPECT_EQ(doc.sourceImage.width, 1200);
    EXPECT_EQ(doc.sourceImage.height, 1600);
    EXPECT_EQ(doc.sourceImage.bitsPerPixel, 24);
    EXPECT_EQ(doc.sourceFile.exifOrientation, 6);
    ASSERT_GT(doc.sourceFile.exifCopy.size(), 10u);
    EXPECT_EQ(doc.sourceFile.exifCopy[0], 0xFF);
    EXPECT_EQ(doc.sourceFile.exifCopy[1], 0xE1);
    EXPECT_EQ(doc.sourceFile.sourceFileSize, std::filesystem::file_size(path));
    EXPECT_TRUE(samePixels(doc.resultImage, doc.sourceImage));

    EXPECT_EQ(doc.crop.cropZoom, 1.0);
    EXPECT_EQ(doc.crop.cropOffsetX, 0);
    EXPECT_EQ(doc.crop.cropOffsetY, 0);
    EXPECT_EQ(doc.crop.cropSwap, 0);
    EXPECT_FALSE(doc.crop.cropMode);
    EXPECT_EQ(doc.color.match.matchActive, 0);
    EXPECT_EQ(doc.color.match.matchFade, 0);
    EXPECT_EQ(doc.color.match.matchTables, color::MatchValues::identityMatchTables());
    EXPECT_EQ(doc.color.tone.blackPoint, 0);
    EXPECT_EQ(doc.color.tone.whitePoint, 255);
    EXPECT_EQ(doc.display.displayTab, document::kTabImage);
    // What the person set for processing stays.
    EXPECT_EQ(doc.color.tone.gamma, 1.4f);
    EXPECT_EQ(doc.noise.noiseLevel, 12.0);
    EXPECT_EQ(changes.changes, std::vector{document::DocumentChange::SourceReplaced});
}

TEST(LoadSource, AnEmptyResultIsMadeByTheNextRunAsTheCopyWouldBe) {
    VELANOX_TEST_FILE(path, "jpeg/canon_powershot_sx150is_orient6.jpg");
    RecordingHost host;
    document::CSotavoDoc copied(host), whole(host), detail(host);
    ASSERT_TRUE(document::loadSource(copied, path, false).loaded());
    ASSERT_TRUE(document::loadSource(whole, path, false, document::ResultStart::Empty).loaded());
    ASSERT_TRUE(document::loadSource(detail, path, false, document::ResultStart::Empty).loaded());
    EXPECT_FALSE(whole.resultImage.hasPixels());
    EXPECT_TRUE(samePixels(whole.sourceImage, copied.sourceImage));

    // A whole-picture run writes every pixel: the same result as from the copy.
    ASSERT_EQ(copied.processImage(false), pipeline::ProcessOutcome::Done);
    ASSERT_EQ(whole.processImage(false), pipeline::ProcessOutcome::Done);
    EXPECT_TRUE(samePixels(whole.resultImage, copied.resultImage));
    EXPECT_EQ(whole.resultImage.info.format, copied.resultImage.info.format);
    EXPECT_EQ(whole.resultImage.info.filePath, copied.resultImage.info.filePath);

    // A detail run leaves the rest of the result as the source.
    detail.setDetailRect(100, 200, 300, 400);
    ASSERT_EQ(detail.processImage(true), pipeline::ProcessOutcome::Done);
    const codec::Picture& result = detail.resultImage;
    ASSERT_EQ(result.width, detail.sourceImage.width);
    const std::size_t row = result.rowBytes();
    for (int32_t y : {0, 199, 400, result.height - 1})
        EXPECT_EQ(std::memcmp(result.pixels() + row * std::size_t(y),
                              detail.sourceImage.pixels() + row * std::size_t(y), row),
                  0)
            << "row " << y;
    EXPECT_NE(
        std::memcmp(result.pixels() + row * 300, detail.sourceImage.pixels() + row * 300, row), 0);
}

TEST(LoadSource, FailedLoadKeepsThePictureAndSaysWhy) {
    TempFolder folder;
    const std::string good = folder.file("good.bmp");
    const std::string broken = folder.file("broken.jpg");
    test::writePicture(good, 8, 6, 1);
    test::writeBytes(broken, std::string("\xFF\xD8\xFF\xE0 not really a JPEG", 22));

    RecordingHost host;
    document::CSotavoDoc doc(host);
    ASSERT_TRUE(document::onOpenDocument(doc, good).loaded());
    doc.sourceFile.exifOrientation = 3;
    doc.crop.cropSwap = 1;
    codec::Picture before;
    ASSERT_TRUE(before.copyFrom(doc.sourceImage).ok());

    for (const std::string& bad : {broken, folder.file("missing.png"), std::string()}) {
        SCOPED_TRACE(bad);
        host.messages.clear();
        const document::LoadResult result = document::onOpenDocument(doc, bad);
        EXPECT_EQ(result.outcome, document::LoadOutcome::Failed);
        EXPECT_FALSE(result.status.reason.empty());
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0], "Cannot open " + bad + ": " + result.status.reason);
        EXPECT_TRUE(samePixels(doc.sourceImage, before));
        EXPECT_TRUE(samePixels(doc.resultImage, before));
        EXPECT_EQ(doc.sourceFile.documentPath, good);
        EXPECT_EQ(doc.sourceFile.exifOrientation, 3);
        EXPECT_EQ(doc.crop.cropSwap, 1);
    }
    // The primitive itself shows nothing.
    host.messages.clear();
    EXPECT_EQ(document::loadSource(doc, broken, false).outcome, document::LoadOutcome::Failed);
    EXPECT_TRUE(host.messages.empty());
}

TEST(LoadSource, APictureOverTheMemoryBudgetIsRefusedAndTheCurrentOneKept) {
    TempFolder folder;
    const std::string small = folder.file("small.png"), large = folder.file("large.png");
    test::writePicture(small, 64, 48, 1);
    test::writePicture(large, 640, 480, 2);
    RecordingHost host;
    document::CSotavoDoc doc(host);
    // 640 x 480 needs 128 MB + 15 x 307200 + 16 x 307200 bytes: about 137 MB.
    doc.memory.budgetBytes = uint64_t(136) << 20;
    ASSERT_TRUE(document::onOpenDocument(doc, small).loaded());
    const document::LoadResult result = onOpenDocument(doc, large);
    EXPECT_EQ(result.outcome, document::LoadOutcome::Failed);
    EXPECT_EQ(result.status.reason,
              "The picture (640 x 480, needs about 137 MB) is larger than the memory budget "
              "(136 MB).");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Cannot open " + large + ": " + result.status.reason);
    EXPECT_EQ(doc.sourceImage.width, 64);
    EXPECT_EQ(doc.sourceFile.documentPath, small);
    // A run without a pre-reduction copy needs 4 bytes a pixel less: it fits.
    doc.memory.runsWithoutCopy = true;
    EXPECT_TRUE(document::onOpenDocument(doc, large).loaded());
    EXPECT_EQ(doc.sourceImage.width, 640);
}

TEST(LoadSource, RefusedWhileARunIsOn) {
    TempFolder folder;
    test::writePicture(folder.file("a.png"), 4, 4, 2);
    RecordingHost host;
    document::CSotavoDoc doc(host);
    doc.processing.calculating = 1;
    EXPECT_EQ(document::loadSource(doc, folder.file("a.png"), false).outcome,
              document::LoadOutcome::Ignored);
    const uint8_t rgb[12] = {};
    EXPECT_EQ(document::pasteImage(doc, rgb, 2, 2).outcome, document::LoadOutcome::Ignored);
    EXPECT_FALSE(doc.sourceImage.hasPixels());
}

TEST(LoadSource, CropModeIsEnteredAgainWithANeutralWindow) {
    TempFolder folder;
    test::writePicture(folder.file("a.png"), 40, 30, 3);
    test::writePicture(folder.file("b.png"), 20, 50, 4);
    RecordingHost host;
    document::CSotavoDoc doc(host);
    ASSERT_TRUE(document::onOpenDocument(doc, folder.file("a.png")).loaded());
    ASSERT_TRUE(
        enterCropMode(doc.crop, true, doc.sourceImage, doc.color, doc.cropDisplayImage).ok());
    doc.crop.cropZoom = 2.0;
    doc.crop.cropOffsetX = 3;

    ASSERT_TRUE(document::onOpenDocument(doc, folder.file("b.png")).loaded());
    EXPECT_TRUE(doc.crop.cropMode);
    EXPECT_EQ(doc.crop.cropZoom, 1.0);
    EXPECT_EQ(doc.crop.cropOffsetX, 0);
    EXPECT_EQ(doc.cropDisplayImage.width, 20);
    EXPECT_EQ(doc.cropDisplayImage.height, 50);
}

TEST(LoadSource, ReloadKeepsCropSwapAndDoesNothingOnceTheFileIsGone) {
    TempFolder folder;
    const std::string path = folder.file("a.tif");
    test::writePicture(path, 6, 4, 5);
    RecordingHost host;
    document::CSotavoDoc doc(host);
    EXPECT_FALSE(document::canReload(doc));
    ASSERT_TRUE(document::onOpenDocument(doc, path).loaded());
    EXPECT_TRUE(document::canReload(doc));
    doc.crop.cropSwap = 1;
    doc.crop.cropZoom = 1.5;

    test::writePicture(path, 6, 4, 9);
    ASSERT_TRUE(document::reloadSource(doc).loaded());
    EXPECT_EQ(doc.crop.cropSwap, 1);
    EXPECT_EQ(doc.crop.cropZoom, 1.0);
    EXPECT_EQ(doc.sourceImage.pixels()[0], 9);

    std::filesystem::remove(path);
    EXPECT_EQ(document::reloadSource(doc).outcome, document::LoadOutcome::Ignored);
    EXPECT_TRUE(doc.sourceImage.hasPixels());
    EXPECT_TRUE(host.messages.empty());
}

TEST(LoadSource, DropTakesOnlyFourCharacterImageSuffixes) {
    EXPECT_TRUE(document::isDroppableImageName("/x/a.JPG"));
    EXPECT_TRUE(document::isDroppableImageName("/x/a.pcx"));
    EXPECT_FALSE(document::isDroppableImageName("/x/a.jpeg"));
    EXPECT_FALSE(document::isDroppableImageName("/x/a.psd"));
    EXPECT_FALSE(document::isDroppableImageName("/x/a.nef"));
    EXPECT_FALSE(document::isDroppableImageName(".bm"));

    TempFolder folder;
    test::writePicture(folder.file("a.jpeg"), 4, 4, 1);
    test::writePicture(folder.file("b.bmp"), 4, 4, 1);
    RecordingHost host;
    document::CSotavoDoc doc(host);
    EXPECT_EQ(dropFile(doc, folder.file("a.jpeg")).outcome, document::LoadOutcome::Ignored);
    EXPECT_FALSE(doc.sourceImage.hasPixels());
    ASSERT_TRUE(dropFile(doc, folder.file("b.bmp")).loaded());
    EXPECT_EQ(doc.sourceFile.documentPath, folder.file("b.bmp"));
}

TEST(LoadSource, PasteKeepsNoPathAndNoExif) {
    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc(host);
    VELANOX_TEST_FILE(path, "jpeg/canon_powershot_sx150is_orient6.jpg");
    ASSERT_TRUE(document::onOpenDocument(doc, path).loaded());
    disturbPerImageState(doc);

    // Three rows of two pixels with two bytes of padding each.
    std::vector<uint8_t> rows(3 * 8, 0xEE);
    for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 6; ++i)
            rows[std::size_t(y) * 8 + i] = uint8_t(y * 10 + i);
    ASSERT_TRUE(document::pasteImage(doc, rows.data(), 2, 3, 8).loaded());
    EXPECT_EQ(doc.sourceImage.width, 2);
    EXPECT_EQ(doc.sourceImage.height, 3);
    EXPECT_EQ(doc.sourceImage.pixels()[6], 10);
    EXPECT_EQ(doc.sourceImage.pixels()[17], 25);
    EXPECT_TRUE(samePixels(doc.resultImage, doc.sourceImage));
    EXPECT_EQ(doc.sourceFile.sourceFileSize, 18u);
    EXPECT_TRUE(doc.sourceFile.exifCopy.empty());
    EXPECT_EQ(doc.sourceFile.exifOrientation, 1);
    EXPECT_TRUE(doc.sourceFile.documentPath.empty());
    EXPECT_EQ(document::documentTitle(doc), "Untitled");
    EXPECT_EQ(doc.crop.cropSwap, 0);
    EXPECT_EQ(doc.color.match.matchActive, 0);
    EXPECT_FALSE(document::canReload(doc));

    EXPECT_EQ(document::pasteImage(doc, nullptr, 2, 2).outcome, document::LoadOutcome::Ignored);
    EXPECT_EQ(document::pasteImage(doc, rows.data(), 0, 2).outcome, document::LoadOutcome::Ignored);
    EXPECT_EQ(document::pasteImage(doc, rows.data(), 4, 2, 5).outcome,
              document::LoadOutcome::Failed);
    EXPECT_EQ(doc.sourceImage.width, 2);
}

TEST(LoadReference, MatchesToTheReferenceAndKeepsItWhenANewOneFails) {
    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc(host);
    color::ColorMatchState match;
    // A dark source matched to a bright reference.
    test::writePicture(folder.file("src.png"), 30, 20, 0);
    ASSERT_TRUE(document::onOpenDocument(doc, folder.file("src.png")).loaded());
    for (std::size_t i = 0; i < doc.sourceImage.pixelBytes(); ++i)
        doc.sourceImage.pixels()[i] = uint8_t(doc.sourceImage.pixels()[i] / 4);
    codec::Picture bright;
    test::fillPicture(bright, 200, 100, 0);
    for (std::size_t i = 0; i < bright.pixelBytes(); ++i)
        bright.pixels()[i] = uint8_t(128 + bright.pixels()[i] / 2);
    ASSERT_TRUE(bright.save(folder.file("ref.bmp")).ok());

    ASSERT_TRUE(document::loadReferenceImage(match, doc, folder.file("ref.bmp")).ok());
    EXPECT_EQ(doc.color.match.matchActive, 1);
    EXPECT_EQ(match.referencePath, folder.file("ref.bmp"));
    EXPECT_EQ(match.referenceImage.width, 170);
    EXPECT_EQ(match.referenceImage.height, 85);
    EXPECT_GT(doc.color.match.matchTables[1][20], 100);

    const color::MatchTables tables = doc.color.match.matchTables;
    test::writeBytes(folder.file("bad.png"), "not a picture");
    EXPECT_FALSE(document::loadReferenceImage(match, doc, folder.file("bad.png")).ok());
    EXPECT_EQ(match.referencePath, folder.file("ref.bmp"));
    EXPECT_TRUE(match.hasReference());
    EXPECT_EQ(doc.color.match.matchTables, tables);
}

// Reads through a stand-in reader program (a shell script, started as the reader service) for
// the life of the object.
class ScriptedReader {
public:
    ScriptedReader(const TempFolder& folder, const std::string& body,
                   std::function<bool()> keepWaiting = {})
        : m_previous(codec::containedReading()) {
        const std::string path = folder.file("reader.sh");
        test::writeBytes(path, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        codec::ContainedReading reading;
        reading.enabled = true;
        reading.readerProgram = path;
        reading.keepWaiting = std::move(keepWaiting);
        codec::setContainedReading(reading);
    }
    ~ScriptedReader() { codec::setContainedReading(m_previous); }
    ScriptedReader(const ScriptedReader&) = delete;
    ScriptedReader& operator=(const ScriptedReader&) = delete;

private:
    codec::ContainedReading m_previous;
};

TEST(LoadSource, AStoppedReadChangesNothingAndSaysNothing) {
    TempFolder folder;
    test::writePicture(folder.file("a.png"), 6, 4, 1);
    test::writePicture(folder.file("b.png"), 8, 8, 2);
    RecordingHost host;
    document::CSotavoDoc doc(host);
    ASSERT_TRUE(document::onOpenDocument(doc, folder.file("a.png")).loaded());
    codec::Picture before;
    before.copyFrom(doc.sourceImage);
    ScriptedReader reader(folder, "exec sleep 60", [] { return false; });
    EXPECT_EQ(document::onOpenDocument(doc, folder.file("b.png")).outcome,
              document::LoadOutcome::Cancelled);
    EXPECT_EQ(document::reloadSource(doc).outcome, document::LoadOutcome::Cancelled);
    // A folder step ends at the stopped read instead of passing over to the next file.
    const document::FolderStepResult step = loadNextInFolder(doc);
    EXPECT_EQ(step.outcome, document::FolderStepOutcome::Cancelled);
    EXPECT_TRUE(step.skipped.empty());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.statusTexts.empty());
    EXPECT_TRUE(samePixels(doc.sourceImage, before));
    EXPECT_EQ(doc.sourceFile.documentPath, folder.file("a.png"));
}

TEST(LoadSource, TheReadersOwnWordsFollowTheReasonOnASecondLine) {
    TempFolder folder;
    // The stand-in reader's child says what the file holds, and fails.
    const std::string said = folder.file("say.png");
    test::writeBytes(said, " tiff: bad strip offset \n");
    RecordingHost host;
    document::CSotavoDoc doc(host);
    codec::ContainedReading reading;
    reading.enabled = true;
    reading.readerProgram = VELANOX_READER_STANDIN;
    const codec::ContainedReading previous = codec::containedReading();
    codec::setContainedReading(reading);
    const document::LoadResult result = document::onOpenDocument(doc, said);
    ASSERT_EQ(result.outcome, document::LoadOutcome::Failed);
    EXPECT_EQ(result.status.detail, "tiff: bad strip offset");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Cannot open " + said + ": " + codec::kReaderStopped +
                                    "\nThe reader said: tiff: bad strip offset");
    // A reference picture fails with the same words.
    color::ColorMatchState match;
    EXPECT_EQ(document::loadReferenceImage(match, doc, said).detail, "tiff: bad strip offset");
    codec::setContainedReading(previous);
    EXPECT_FALSE(match.hasReference());
}
