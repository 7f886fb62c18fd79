#include "document/save_document.h"

#include "document/crop_rotate.h"
#include "document/load_source.h"
#include "document_files.h"
#include "support/recording_host.h"
#include "support/status_assert.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace velanox;
using test::RecordingHost;
using test::TempFolder;

namespace {

namespace fs = std::filesystem;

// A document holding a small noisy picture loaded from a file in folder.
void openNoisy(document::CSotavoDoc& doc, const TempFolder& folder, int32_t width = 64,
               int32_t height = 48) {
    const test::TestImage scene = test::makeNoisyScene(width, height, 12.0, 3);
    codec::Picture picture;
    ASSERT_TRUE(picture.allocate(width, height, 24).ok());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k)
                picture.pixels()[(std::size_t(y) * width + x) * 3 + k] = scene.at(x, y, k);
    picture.writeOptions.set(codec::kSaveXResolution, 72u);
    picture.writeOptions.set(codec::kSaveYResolution, 72u);
    picture.writeOptions.set(codec::kSaveResolutionUnit, 2u);
    const std::string path = folder.file("noisy.tif");
    ASSERT_TRUE(test::succeeded(picture.save(path)));
    ASSERT_TRUE(document::onOpenDocument(doc, path).loaded());
}

} // namespace

TEST(SaveDocument, WritesTheWholeProcessedPictureWithTheSourceResolution) {
    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc(host);
    openNoisy(doc, folder);
    doc.display.outputWindowMode = pipeline::kOutputFilteredNoise;
    doc.setDetailRect(0, 0, 16, 16);

    const std::string target = folder.file("noisy_NR.tif");
    const document::SaveResult result = document::onSaveDocument(doc, target);
    ASSERT_TRUE(result.saved()) << result.status.reason;
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(doc.display.outputWindowMode, pipeline::kOutputResult);
    EXPECT_EQ(doc.processing.progressDialog, nullptr);
    EXPECT_EQ(doc.sourceFile.documentPath, folder.file("noisy.tif"));

    codec::Picture saved;
    ASSERT_TRUE(test::succeeded(saved.load(target)));
    EXPECT_EQ(saved.width, 64);
    EXPECT_EQ(saved.height, 48);
    // The whole picture was processed, not only the detail rectangle; below it the result still
    // holds what was written (the detail run that follows the save rewrites only its rows).
    ASSERT_EQ(saved.pixelBytes(), doc.resultImage.pixelBytes());
    const std::size_t below = std::size_t(16) * 64 * 3;
    EXPECT_EQ(std::memcmp(saved.pixels() + below, doc.resultImage.pixels() + below,
                          saved.pixelBytes() - below),
              0);
    const std::size_t lastRow = std::size_t(47) * 64 * 3;
    EXPECT_NE(std::memcmp(saved.pixels() + lastRow, doc.sourceImage.pixels() + lastRow, 64 * 3), 0);
    EXPECT_EQ(saved.info.xResolution, 72u);
    EXPECT_EQ(saved.info.resolutionUnit, 2u);
}

TEST(SaveDocument, JpegCarriesTheSourceExifAndShowsAsOnScreen) {
    VELANOX_TEST_FILE(path, "jpeg/canon_powershot_sx150is_orient6.jpg");
    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc(host);
    ASSERT_TRUE(document::onOpenDocument(doc, path).loaded());
    doc.jpeg.jpegQualitySetting = 85;

    const std::string jpeg = folder.file("x_NR.jpg");
    ASSERT_TRUE(document::onSaveDocument(doc, jpeg).saved());
    EXPECT_EQ(doc.resultImage.writeOptions.get(codec::kQuality), 85u);
    codec::Picture saved;
    ASSERT_TRUE(saved.load(jpeg).ok());
    EXPECT_EQ(saved.info.orientation, 6);
    EXPECT_EQ(saved.info.exifBlock, doc.sourceFile.exifCopy);
    EXPECT_EQ(saved.width, 1200);
    EXPECT_EQ(saved.height, 1600);

    const std::string png = folder.file("x_NR.png");
    ASSERT_TRUE(document::onSaveDocument(doc, png).saved());
    ASSERT_TRUE(saved.load(png).ok());
    EXPECT_TRUE(saved.info.exifBlock.empty());
    EXPECT_EQ(saved.width, 1200);
}

TEST(SaveDocument, TypeWithoutWriterWritesNothingAndSaysSo) {
    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc(host);
    openNoisy(doc, folder);
    const int pumps = host.pumps;
    const std::string gif = folder.file("x.gif");
    const document::SaveResult result = document::onSaveDocument(doc, gif);
    EXPECT_EQ(result.outcome, document::SaveOutcome::NoWriter);
    EXPECT_FALSE(fs::exists(gif));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Could not save " + gif + ": " + result.status.reason);
    EXPECT_EQ(host.pumps, pumps); // no run was started for it
}

TEST(SaveDocument, StoppedRunWritesNothing) {
    TempFolder folder;
    const std::string target = folder.file("out.bmp");
    for (int stop = 0; stop < 2; ++stop) {
        SCOPED_TRACE(stop);
        RecordingHost host;
        document::CSotavoDoc doc(host);
        openNoisy(doc, folder);
        test::writeBytes(target, "the old file");
        if (stop == 0)
            host.escapeAtRunStart = true;
        else
            host.quitAtPump = host.pumps + 1;

        const document::SaveResult result = document::onSaveDocument(doc, target);
        EXPECT_EQ(result.outcome, document::SaveOutcome::RunStopped);
        EXPECT_EQ(test::readBytes(target), "the old file");
        for (const std::string& message : host.messages)
            EXPECT_NE(message, document::kCantSaveMessage);
        EXPECT_EQ(doc.processing.progressDialog, nullptr);
    }
}

TEST(SaveDocument, ReadOnlyTargetIsKept) {
    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc(host);
    openNoisy(doc, folder);
    const std::string target = folder.file("kept.png");
    test::writeBytes(target, "precious");
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_TRUE(document::isReadOnlyFile(target));

    EXPECT_EQ(document::onSaveDocument(doc, target).outcome, document::SaveOutcome::ReadOnly);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "The existing file is read only and it can't be overwritten.");
    EXPECT_EQ(test::readBytes(target), "precious");

    // A link to it is judged by the file it names.
    fs::create_symlink(target, folder.file("link.png"));
    EXPECT_TRUE(document::isReadOnlyFile(folder.file("link.png")));
    EXPECT_FALSE(document::isReadOnlyFile(folder.file("none.png")));
}

TEST(SaveDocument, WriteFailureIsReportedNotPassedOffAsSuccess) {
    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc(host);
    openNoisy(doc, folder);
    const std::string target = folder.file("no/such/folder/x.png");
    const document::SaveResult result = document::onSaveDocument(doc, target);
    EXPECT_EQ(result.outcome, document::SaveOutcome::WriteFailed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("Could not save " + target + ": ", 0), 0u);
    EXPECT_FALSE(fs::exists(target));
    // Nothing but the picture file itself was left in the folder either.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(SaveDocument, NothingToSaveAndBusy) {
    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc(host);
    EXPECT_EQ(document::onSaveDocument(doc, folder.file("x.png")).outcome,
              document::SaveOutcome::NothingToSave);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "Can't save...");
    EXPECT_FALSE(fs::exists(folder.file("x.png")));

    openNoisy(doc, folder);
    host.messages.clear();
    doc.processing.calculating = 1;
    EXPECT_EQ(document::onSaveDocument(doc, folder.file("x.png")).outcome,
              document::SaveOutcome::Busy);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(fs::exists(folder.file("x.png")));
}

TEST(SaveDocument, FullCropModeIsLeftUncroppedWhenTheWindowWasNotTouched) {
    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc(host);
    openNoisy(doc, folder, 60, 40);
    doc.crop.cropAspect = 0; // square, remembered from an earlier visit
    ASSERT_TRUE(
        (document::enterCropMode(doc.crop, true, doc.sourceImage, doc.color, doc.cropDisplayImage))
            .ok());
    doc.display.displayTab = document::kTabImage;

    const std::string target = folder.file("whole.bmp");
    ASSERT_TRUE(document::onSaveDocument(doc, target).saved());
    EXPECT_FALSE(doc.crop.cropMode);
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(doc.sourceImage.width, 60);
    codec::Picture saved;
    ASSERT_TRUE((saved.load(target)).ok());
    EXPECT_EQ(saved.width, 60);
    EXPECT_EQ(saved.height, 40);
}

TEST(SaveDocument, OutsideFullCropModeTheTabAndTheCropStateStay) {
    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc(host);
    openNoisy(doc, folder, 60, 40);
    doc.display.displayTab = document::kTabCurves;
    ASSERT_TRUE(document::onSaveDocument(doc, folder.file("curves.bmp")).saved());
    EXPECT_EQ(doc.display.displayTab, document::kTabCurves);
    EXPECT_EQ(doc.sourceImage.width, 60);
}

TEST(SaveDocument, FullCropModeIsLeftWithTheCropApplied) {
    TempFolder folder;
    RecordingHost host;
    document::CSotavoDoc doc(host);
    openNoisy(doc, folder, 60, 40);
    doc.crop.cropAspect = 0; // square
    ASSERT_TRUE(
        enterCropMode(doc.crop, true, doc.sourceImage, doc.color, doc.cropDisplayImage).ok());
    doc.crop.windowChanged = true; // the person chose the aspect in this visit
    doc.display.displayTab = document::kTabImage;

    const std::string target = folder.file("square.bmp");
    ASSERT_TRUE(document::onSaveDocument(doc, target).saved());
    EXPECT_FALSE(doc.crop.cropMode);
    EXPECT_EQ(doc.sourceImage.width, 40);
    EXPECT_EQ(doc.sourceImage.height, 40);
    codec::Picture saved;
    ASSERT_TRUE(saved.load(target).ok());
    EXPECT_EQ(saved.width, 40);
    EXPECT_EQ(saved.height, 40);
}

TEST(DocumentSettings, DefaultsOfAFirstStartAndCropAspectWrittenBack) {
    const document::DocumentSettings defaults;
    EXPECT_EQ(defaults.JPGq, 92);
    EXPECT_EQ(defaults.JPGES, 1);
    EXPECT_EQ(defaults.CropAspect, 8);
    EXPECT_EQ(defaults.memory.MaxBlockW, 3100);
    EXPECT_EQ(defaults.memory.MaxBlockH, 2100);
    EXPECT_EQ(defaults.memory.MaxSwapW, 2000);
    EXPECT_EQ(defaults.memory.MaxSwapH, 2000);

    RecordingHost host;
    int32_t stored = -1;
    {
        document::DocumentSettings settings;
        settings.JPGq = 70;
        settings.CropAspect = 2;
        settings.storeCropAspect = [&](int32_t aspect) { stored = aspect; };
        document::CSotavoDoc doc(host, settings);
        EXPECT_EQ(doc.jpeg.jpegQualitySetting, 70);
        EXPECT_EQ(doc.jpeg.enhancedSamplingSetting, 1);
        EXPECT_EQ(doc.crop.cropAspect, 2);
        EXPECT_TRUE(doc.sourceFile.documentPath.empty());
        doc.crop.cropAspect = 5;
        EXPECT_EQ(stored, -1);
    }
    EXPECT_EQ(stored, 5);
}
