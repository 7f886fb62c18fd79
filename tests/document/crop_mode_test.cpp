// The document's Full/Crop mode and rotation: what changes in the source, the result and the
// crop state, and when the person is asked.
#include "document/csotavo_doc.h"

#include "support/recording_host.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velanox::document {
namespace {

using test::RecordingHost;

// A source whose every pixel tells its position: (x, y, x + y).
void fillPositions(codec::Picture& p, int32_t w, int32_t h) {
    ASSERT_TRUE(p.allocate(w, h, 24).ok());
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* px = p.pixels() + (std::size_t(y) * w + x) * 3;
            px[0] = uint8_t(x);
            px[1] = uint8_t(y);
            px[2] = uint8_t(x + y);
        }
}

bool samePixels(const codec::Picture& a, const codec::Picture& b) {
    return a.width == b.width && a.height == b.height && a.pixelBytes() == b.pixelBytes() &&
           std::memcmp(a.pixels(), b.pixels(), a.pixelBytes()) == 0;
}

class DocumentCropMode : public ::testing::Test {
protected:
    RecordingHost host;
    CSotavoDoc doc{host};
    void SetUp() override {
        fillPositions(doc.sourceImage, 60, 40);
        doc.resultImage.copyFrom(doc.sourceImage);
    }
};

TEST_F(DocumentCropMode, EnterBuildsTheDisplayAndLeavingANeutralCropAppliesWithoutAsking) {
    doc.crop.cropAspect = 8; // "Do not change"
    ASSERT_TRUE(doc.enterCropMode(true).ok());
    EXPECT_TRUE(doc.crop.cropMode);
    EXPECT_EQ(doc.cropDisplayImage.bitsPerPixel, 32);
    EXPECT_EQ(doc.display.displayTab, 0);

    const LeaveCropOutcome out = doc.leaveCropMode(true, true);
    EXPECT_TRUE(out.left);
    EXPECT_TRUE(host.questions.empty()) << "a neutral crop is applied without a question";
    EXPECT_FALSE(doc.crop.cropMode);
    EXPECT_FALSE(doc.cropDisplayImage.hasPixels());
    EXPECT_EQ(doc.sourceImage.width, 60);
    EXPECT_TRUE(samePixels(doc.resultImage, doc.sourceImage));
}

// A result that is a copy of the source again holds no processed pixels: the next run must
// not be taken for done, and the view's reset is not skipped.
TEST_F(DocumentCropMode, ResettingTheResultToTheSourceClearsResultValid) {
    doc.processing.resultValid = 1;
    ASSERT_TRUE(doc.rotateImage(RotateDirection::Clockwise).ok());
    EXPECT_EQ(doc.processing.resultValid, 0) << "rotation";

    doc.processing.resultValid = 1;
    ASSERT_TRUE(doc.enterCropMode(true).ok());
    ASSERT_TRUE(doc.leaveCropMode(false, true).left);
    EXPECT_EQ(doc.processing.resultValid, 0) << "Apply Crop";

    // Leaving for the graph tabs keeps the result as it is.
    doc.processing.resultValid = 1;
    ASSERT_TRUE(doc.enterCropMode(true).ok());
    ASSERT_TRUE(doc.leaveCropMode(true, false).left);
    EXPECT_EQ(doc.processing.resultValid, 1);
}

TEST_F(DocumentCropMode, APendingCropIsAppliedOnlyAfterYes) {
    doc.crop.cropAspect = 0; // square
    ASSERT_TRUE(doc.enterCropMode(true).ok());
    doc.crop.cropZoom = 2.0;
    doc.crop.cropOffsetX = 5;
    doc.crop.cropOffsetY = 3;
    doc.crop.windowChanged = true; // as the view and the panes mark it

    host.answers = {Answer::Cancel};
    LeaveCropOutcome out = doc.leaveCropMode(true, true);
    EXPECT_TRUE(out.cancelled);
    EXPECT_FALSE(out.left);
    EXPECT_TRUE(doc.crop.cropMode);
    EXPECT_EQ(doc.sourceImage.width, 60) << "Cancel changes nothing";
    ASSERT_EQ(host.questions, std::vector<std::string>{"Apply Crop to Image?"});

    host.answers = {Answer::Yes};
    out = doc.leaveCropMode(true, true);
    EXPECT_TRUE(out.cropped);
    // A landscape picture's square window is 60 / 2 = 30 pixels wide, from (5, 3).
    EXPECT_EQ(doc.sourceImage.width, 30);
    EXPECT_EQ(doc.sourceImage.height, 30);
    EXPECT_EQ(doc.sourceImage.pixels()[0], 5);
    EXPECT_EQ(doc.sourceImage.pixels()[1], 3);
    EXPECT_TRUE(samePixels(doc.resultImage, doc.sourceImage));
    EXPECT_EQ(doc.crop.cropZoom, 1.0);
}

TEST_F(DocumentCropMode, NothingChangesWhileARunIsOn) {
    doc.processing.calculating = 1;
    EXPECT_FALSE(doc.enterCropMode(true).ok());
    EXPECT_FALSE(doc.crop.cropMode);
    EXPECT_FALSE(doc.rotateImage(RotateDirection::Clockwise).ok());
    EXPECT_EQ(doc.sourceImage.width, 60);
    doc.processing.calculating = 0;
    ASSERT_TRUE(doc.enterCropMode(true).ok());
    doc.processing.calculating = 1;
    EXPECT_FALSE(doc.leaveCropMode(false, true).left);
    EXPECT_TRUE(doc.crop.cropMode);
}

TEST_F(DocumentCropMode, TwoRotationsTurnThePictureUpsideDownAndTheResultFollows) {
    codec::Picture original;
    original.copyFrom(doc.sourceImage);
    ASSERT_TRUE(doc.rotateImage(RotateDirection::Clockwise).ok());
    EXPECT_EQ(doc.sourceImage.width, 40);
    EXPECT_EQ(doc.sourceImage.height, 60);
    ASSERT_TRUE(doc.rotateImage(RotateDirection::Clockwise).ok());
    ASSERT_EQ(doc.sourceImage.width, 60);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 60; ++x)
            ASSERT_EQ(0, std::memcmp(doc.sourceImage.pixels() + (std::size_t(y) * 60 + x) * 3,
                                     original.pixels() + (std::size_t(39 - y) * 60 + (59 - x)) * 3,
                                     3));
    EXPECT_TRUE(samePixels(doc.resultImage, doc.sourceImage));
    EXPECT_EQ(host.waitCursorDepth, 0);

    ASSERT_TRUE(doc.enterCropMode(true).ok());
    EXPECT_FALSE(doc.rotateImage(RotateDirection::Clockwise).ok()) << "not in Full/Crop mode";
}

} // namespace
} // namespace velanox::document
