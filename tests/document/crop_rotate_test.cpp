#include "document/crop_rotate.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velanox::document {
namespace {

/// A 24-bit picture whose pixel (x, y) is (x, y, x + y) modulo 256.
void fillPattern(codec::Picture& p, int w, int h) {
    ASSERT_TRUE(p.allocate(w, h, 24).ok());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* px = p.pixels() + (std::size_t(y) * w + x) * 3;
            px[0] = uint8_t(x);
            px[1] = uint8_t(y);
            px[2] = uint8_t(x + y);
        }
}

const uint8_t* pixelAt(const codec::Picture& p, int x, int y) {
    return p.pixels() + std::size_t(y) * p.rowBytes() + std::size_t(x) * (p.bitsPerPixel / 8);
}

bool samePixels(const codec::Picture& a, const codec::Picture& b) {
    return a.width == b.width && a.height == b.height && a.pixelBytes() == b.pixelBytes() &&
           std::memcmp(a.pixels(), b.pixels(), a.pixelBytes()) == 0;
}

TEST(CropRect, SquareOnALandscapeImageStopsAtTheRightEdge) {
    CropState state;
    state.cropAspect = 0;
    EXPECT_EQ(computeCropRect(state, 3000, 2000), (core::Rect{0, 0, 2000, 2000}));
    state.cropOffsetX = 5000;
    state.cropOffsetY = -40;
    EXPECT_EQ(computeCropRect(state, 3000, 2000), (core::Rect{1000, 0, 3000, 2000}));
    EXPECT_EQ(state.cropOffsetX, 1000) << "the clamped offset is written back";
    EXPECT_EQ(state.cropOffsetY, 0);
}

TEST(CropRect, PanoramicTurnedOnALandscapeImageIsLimitedByTheHeight) {
    CropState state;
    state.cropAspect = 1;
    state.cropSwap = 1;
    EXPECT_EQ(computeCropRect(state, 3000, 2000), (core::Rect{0, 0, 667, 2000}));
    state.cropSwap = 0;
    EXPECT_EQ(computeCropRect(state, 3000, 2000), (core::Rect{0, 0, 3000, 1000}));
}

TEST(CropRect, ZoomShrinksTheWindowAndKeepsTheRatio) {
    CropState state; // "Do not change"
    EXPECT_EQ(computeCropRect(state, 3000, 2000), (core::Rect{0, 0, 3000, 2000}));
    EXPECT_EQ(computeCropRect(state, 1200, 1600), (core::Rect{0, 0, 1200, 1600}));
    state.cropZoom = 2.0;
    EXPECT_EQ(computeCropRect(state, 3000, 2000), (core::Rect{0, 0, 1500, 1000}));
    state.cropAspect = 42; // unknown: 3:2
    state.cropZoom = 1.0;
    EXPECT_EQ(computeCropRect(state, 2000, 2000), (core::Rect{0, 0, 2000, 1333}));
    state.cropZoom = 0.25; // never set by the commands; must not leave the image
    const core::Rect r = computeCropRect(state, 300, 200);
    EXPECT_GE(r.left, 0);
    EXPECT_LE(r.right, 300);
    EXPECT_LE(r.bottom, 200);
    EXPECT_EQ(computeCropRect(state, 0, 10), core::Rect{});
}

TEST(CropZoom, FortyOneStepsReachTheLimitsExactly) {
    CropState state;
    EXPECT_FALSE(zoomIn(state)) << "only in crop mode";
    state.cropMode = true;
    for (int step = 1; step <= 40; ++step)
        ASSERT_TRUE(zoomIn(state));
    EXPECT_LT(state.cropZoom, 3.0);
    EXPECT_TRUE(canZoomIn(state));
    zoomIn(state);
    EXPECT_EQ(state.cropZoom, 3.0);
    EXPECT_FALSE(canZoomIn(state));
    for (int step = 1; step <= 40; ++step)
        zoomOut(state);
    EXPECT_GT(state.cropZoom, 1.0);
    zoomOut(state);
    EXPECT_EQ(state.cropZoom, 1.0);
    EXPECT_FALSE(canZoomOut(state));
}

TEST(CropZoom, WheelAndEnlargeSlider) {
    CropState state;
    state.cropMode = true;
    EXPECT_TRUE(wheelZoom(state, 120, false));
    EXPECT_DOUBLE_EQ(state.cropZoom, 1.05);
    EXPECT_FALSE(wheelZoom(state, 0, false));
    EXPECT_TRUE(wheelZoom(state, -120, false));
    EXPECT_TRUE(wheelZoom(state, -120, false));
    EXPECT_EQ(state.cropZoom, 1.0);
    state.cropZoom = 2.4;
    EXPECT_TRUE(wheelZoom(state, 120, true));
    EXPECT_EQ(state.cropZoom, 1.0);

    EXPECT_EQ(enlargePositionFromZoom(3.0), 100);
    EXPECT_EQ(enlargePositionFromZoom(1.05), 2);
    EXPECT_DOUBLE_EQ(zoomFromEnlargePosition(50), 2.0);
    EXPECT_EQ(cropInfoText(core::Rect{5, 5, 105, 55}), "Crop Image: 100 x 50");
    EXPECT_STREQ(cropSwapCaption(10, 10), "Crop Landscape to Portrait");
    EXPECT_STREQ(cropSwapCaption(9, 10), "Crop Portrait to Landscape");
}

TEST(CropImage, DoNotChangeAtZoomOneReproducesThePicture) {
    codec::Picture source, original, display;
    fillPattern(source, 301, 199);
    original.copyFrom(source);
    CropState state;
    state.cropMode = true;
    const LeaveCropOutcome outcome = leaveCropMode(state, false, source, display, {});
    EXPECT_TRUE(outcome.left);
    EXPECT_TRUE(samePixels(source, original));
}

TEST(CropImage, CutsAndFillsWhatLiesOutsideWithBlack) {
    codec::Picture p;
    fillPattern(p, 20, 10);
    p.info.format = codec::kFormatPng;
    p.info.filePath = "/x/y.png";
    ASSERT_TRUE(cropImage(p, core::Rect{15, 8, 25, 12}).ok());
    ASSERT_EQ(p.width, 10);
    ASSERT_EQ(p.height, 4);
    EXPECT_EQ(pixelAt(p, 0, 0)[0], 15);
    EXPECT_EQ(pixelAt(p, 4, 1)[1], 9);
    EXPECT_EQ(pixelAt(p, 5, 0)[0], 0);
    EXPECT_EQ(pixelAt(p, 0, 2)[2], 0);
    EXPECT_EQ(p.info.format, codec::kFormatPng) << "still the file's picture";
    EXPECT_EQ(p.info.filePath, "/x/y.png");
    EXPECT_TRUE(cropImage(p, core::Rect{3, 3, 3, 9}).ok());
    EXPECT_EQ(p.width, 10) << "an empty rectangle changes nothing";
}

TEST(RotateImage, TwoTurnsTurnItUpsideDown) {
    codec::Picture p, original;
    fillPattern(p, 130, 70); // larger than one tile
    original.copyFrom(p);
    ASSERT_TRUE(rotateImage(p, RotateDirection::Clockwise).ok());
    EXPECT_EQ(p.width, 70);
    EXPECT_EQ(p.height, 130);
    // Clockwise, the bottom-left corner comes to the top left.
    EXPECT_EQ(std::memcmp(pixelAt(p, 0, 0), pixelAt(original, 0, 69), 3), 0);
    ASSERT_TRUE(rotateImage(p, RotateDirection::Clockwise).ok());
    ASSERT_EQ(p.width, 130);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 130; ++x)
            ASSERT_EQ(std::memcmp(pixelAt(p, x, y), pixelAt(original, 129 - x, 69 - y), 3), 0);
    rotateImage(p, RotateDirection::CounterClockwise);
    rotateImage(p, RotateDirection::CounterClockwise);
    EXPECT_TRUE(samePixels(p, original));

    codec::Picture empty;
    EXPECT_EQ(rotateImage(empty, RotateDirection::Clockwise).code, core::StatusCode::NoReader);
}

TEST(CropDisplay, BottomUpBlueFirstOpaqueAndRecolored) {
    codec::Picture source, display;
    fillPattern(source, 9, 5);
    color::ColorSettings settings;
    ASSERT_TRUE(buildCropDisplayImage(source, settings, display).ok());
    ASSERT_EQ(display.bitsPerPixel, 32);
    const uint8_t* top = pixelAt(display, 7, 4); // last row in memory is the picture's first
    EXPECT_EQ(top[0], 7);                        // blue = x + y
    EXPECT_EQ(top[1], 0);
    EXPECT_EQ(top[2], 7);
    EXPECT_EQ(top[3], 255);
    EXPECT_EQ(pixelAt(display, 2, 0)[1], 4);

    // The gamma acts on blue, which sits in byte 0 here.
    settings.tone.gamma = 0.6f;
    settings.tone.colorBoost = 30;
    settings.match.matchActive = 1;
    settings.match.matchFade = 100;
    for (int i = 0; i < 256; ++i)
        settings.match.matchTables[0][std::size_t(i)] = uint8_t(255 - i);
    ASSERT_TRUE(buildCropDisplayImage(source, settings, display).ok());
    codec::Picture expected;
    expected.copyFrom(source);
    color::applyColorSteps(settings, core::ImageView(expected.pixels(), 9, 5, 3));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x) {
            const uint8_t* d = pixelAt(display, x, 4 - y);
            const uint8_t* e = pixelAt(expected, x, y);
            ASSERT_EQ(d[0], e[2]);
            ASSERT_EQ(d[1], e[1]);
            ASSERT_EQ(d[2], e[0]);
        }
}

TEST(CropMode, EnteringResetsTheViewOnlyWhenAsked) {
    codec::Picture source, display;
    fillPattern(source, 40, 30);
    CropState state;
    state.cropZoom = 2.0;
    state.cropOffsetX = 7;
    ASSERT_TRUE(enterCropMode(state, false, source, color::ColorSettings{}, display).ok());
    EXPECT_TRUE(state.cropMode);
    EXPECT_EQ(state.cropOffsetX, 7);
    EXPECT_EQ(display.width, 40);
    ASSERT_TRUE(enterCropMode(state, true, source, color::ColorSettings{}, display).ok());
    EXPECT_TRUE(state.isNeutral());

    CropState off;
    codec::Picture none;
    EXPECT_FALSE(enterCropMode(off, true, none, color::ColorSettings{}, display).ok());
    EXPECT_FALSE(off.cropMode);
    EXPECT_EQ(display.width, 40) << "a failed build keeps the old display";
}

struct Asked {
    int count = 0;
    CropAnswer answer = CropAnswer::Yes;
    CropQuestion question() {
        return [this](const char* text) {
            EXPECT_STREQ(text, "Apply Crop to Image?");
            ++count;
            return answer;
        };
    }
};

TEST(CropMode, EscapeWithAnUntouchedWindowLeavesWithoutAskingOrCropping) {
    // The aspect is remembered across visits: a square window nobody touched is no request.
    codec::Picture source, display;
    fillPattern(source, 300, 200);
    CropState state;
    state.cropAspect = 0;
    ASSERT_TRUE(enterCropMode(state, true, source, color::ColorSettings{}, display).ok());
    EXPECT_FALSE(state.windowChanged);

    Asked asked;
    const LeaveCropOutcome outcome = leaveCropMode(state, true, source, display, asked.question());
    EXPECT_EQ(asked.count, 0);
    EXPECT_TRUE(outcome.left);
    EXPECT_FALSE(outcome.cropped);
    EXPECT_EQ(source.width, 300);
    EXPECT_FALSE(state.cropMode);
    EXPECT_FALSE(display.hasPixels());

    // Enter and Apply Crop (no question asked for) still cut it.
    ASSERT_TRUE((enterCropMode(state, true, source, color::ColorSettings{}, display)).ok());
    EXPECT_TRUE(leaveCropMode(state, false, source, display, asked.question()).cropped);
    EXPECT_EQ(source.width, 200);
    EXPECT_EQ(asked.count, 0);
}

TEST(CropMode, TheZoomMarksTheWindowChangedAndANewVisitStartsAfresh) {
    codec::Picture source, display;
    fillPattern(source, 300, 200);
    CropState state;
    ASSERT_TRUE((enterCropMode(state, true, source, color::ColorSettings{}, display)).ok());
    EXPECT_TRUE(zoomOut(state)); // already at 1.0: nothing changes
    EXPECT_FALSE(state.windowChanged);
    EXPECT_TRUE(zoomIn(state));
    EXPECT_TRUE(state.windowChanged);
    // A refresh inside the mode keeps the mark; a reset view clears it.
    ASSERT_TRUE((enterCropMode(state, false, source, color::ColorSettings{}, display)).ok());
    EXPECT_TRUE(state.windowChanged);
    ASSERT_TRUE((enterCropMode(state, true, source, color::ColorSettings{}, display)).ok());
    EXPECT_FALSE(state.windowChanged);
    EXPECT_TRUE(wheelZoom(state, 120, false));
    EXPECT_TRUE(wheelZoom(state, 0, true));
    EXPECT_TRUE(state.windowChanged) << "zoomed in and back: still touched";

    // Touched, but the window is the whole picture ("Do not change"): left without a question.
    Asked asked;
    const LeaveCropOutcome outcome = leaveCropMode(state, true, source, display, asked.question());
    EXPECT_EQ(asked.count, 0);
    EXPECT_TRUE(outcome.left);
    EXPECT_EQ(source.width, 300);
    EXPECT_FALSE(state.windowChanged);
}

TEST(CropMode, TheQuestionDecidesForAMovedWindow) {
    for (CropAnswer answer : {CropAnswer::Cancel, CropAnswer::No, CropAnswer::Yes}) {
        codec::Picture source, display;
        fillPattern(source, 300, 200);
        CropState state;
        state.cropAspect = 0;
        state.cropSwap = 1;
        ASSERT_TRUE(enterCropMode(state, true, source, color::ColorSettings{}, display).ok());
        state.cropOffsetX = 60;
        state.windowChanged = true;
        Asked asked;
        asked.answer = answer;
        const LeaveCropOutcome outcome =
            leaveCropMode(state, true, source, display, asked.question());
        EXPECT_EQ(asked.count, 1);
        switch (answer) {
        case CropAnswer::Cancel:
            EXPECT_FALSE(outcome.left);
            EXPECT_TRUE(outcome.cancelled);
            EXPECT_TRUE(state.cropMode);
            EXPECT_EQ(state.cropOffsetX, 60);
            EXPECT_TRUE(display.hasPixels());
            break;
        case CropAnswer::No:
            EXPECT_TRUE(outcome.left);
            EXPECT_FALSE(outcome.cropped);
            EXPECT_EQ(source.width, 300);
            EXPECT_EQ(state.cropSwap, 1) << "only an applied crop clears the swap";
            EXPECT_TRUE(state.isNeutral());
            break;
        case CropAnswer::Yes:
            EXPECT_TRUE(outcome.cropped);
            EXPECT_EQ(source.width, 200);
            EXPECT_EQ(pixelAt(source, 0, 0)[0], 60);
            EXPECT_EQ(state.cropSwap, 0);
            break;
        }
    }
}

TEST(CropMode, LeavingWhenNotInCropMode) {
    codec::Picture source, display;
    fillPattern(source, 30, 20);
    CropState state;
    state.cropZoom = 1.5; // left over; the reset restores neutral
    Asked asked;
    EXPECT_FALSE(leaveCropMode(state, false, source, display, asked.question()).left);
    EXPECT_EQ(state.cropZoom, 1.5);
    const LeaveCropOutcome outcome = leaveCropMode(state, true, source, display, asked.question());
    EXPECT_TRUE(outcome.left);
    EXPECT_FALSE(outcome.cropped);
    EXPECT_EQ(asked.count, 0);
    EXPECT_TRUE(state.isNeutral());
    EXPECT_EQ(source.width, 30);
}

} // namespace
} // namespace velanox::document
