// Orientation, true colour and resampling on hand-made pictures.
#include "codec/codec_test_files.h"
#include "codec/orientation.h"
#include "codec/picture.h"
#include "image/pixel_storage.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

namespace velanox::codec {
namespace {

using test::pixelAt;

// The 3x2 picture
//   a b c
//   d e f
// with each pixel's red byte naming it and green/blue marking its place.
void makeThreeByTwo(Picture& p) {
    test::fillRgb(p, 3, 2, [](int x, int y) {
        return std::tuple{'a' + y * 3 + x, x * 10, y * 10};
    });
}

std::string letters(const Picture& p) {
    std::string s;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x)
            s += char(pixelAt(p, x, y)[0]);
        if (y + 1 < p.height) s += '/';
    }
    return s;
}

TEST(Orientation, EveryTransformOfAThreeByTwoPicture) {
    const struct {
        int orientation;
        const char* expected;
        int width, height;
    } cases[] = {
        {1, "abc/def", 3, 2},  {2, "cba/fed", 3, 2},  {3, "fed/cba", 3, 2},  {4, "def/abc", 3, 2},
        {5, "ad/be/cf", 2, 3}, {6, "da/eb/fc", 2, 3}, {7, "fc/eb/da", 2, 3}, {8, "cf/be/ad", 2, 3},
        {9, "abc/def", 3, 2},  {0, "abc/def", 3, 2},
    };
    for (const auto& c : cases) {
        Picture p;
        makeThreeByTwo(p);
        ASSERT_TRUE(p.applyOrientation(c.orientation).ok()) << c.orientation;
        EXPECT_EQ(letters(p), c.expected) << "orientation " << c.orientation;
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
    }
}

TEST(Orientation, InverseRestoresThePicture) {
    for (int o = 1; o <= 8; ++o) {
        Picture p;
        makeThreeByTwo(p);
        ASSERT_TRUE(p.applyOrientation(o).ok());
        ASSERT_TRUE(p.applyOrientation(codec::inverseOrientation(o)).ok());
        EXPECT_EQ(letters(p), "abc/def") << o;
    }
}

TEST(Orientation, EightBitPicturesTurnToo) {
    Picture p;
    ASSERT_TRUE(p.allocate(3, 2, 8).ok());
    for (int i = 0; i < 6; ++i)
        p.pixels()[i] = uint8_t('a' + i);
    ASSERT_TRUE(p.applyOrientation(6).ok());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.pixels()), 6), "daebfc");
}

TEST(TrueColor, EightBitThroughThePalette) {
    Picture p;
    ASSERT_TRUE(p.allocate(2, 1, 8).ok());
    p.palette[3] = {10, 20, 30, 0}; // blue, green, red
    p.palette[200] = {255, 0, 128, 0};
    p.paletteSize = 256;
    p.pixels()[0] = 3;
    p.pixels()[1] = 200;
    ASSERT_TRUE(p.toTrueColor().ok());
    EXPECT_EQ(p.bitsPerPixel, 24);
    EXPECT_EQ(p.paletteSize, 0);
    const uint8_t expected[] = {30, 20, 10, 128, 0, 255};
    EXPECT_TRUE(std::equal(expected, expected + 6, p.pixels()));
}

TEST(TrueColor, OneBitRowsArePackedMostSignificantFirst) {
    Picture p;
    ASSERT_TRUE(p.allocate(10, 2, 1).ok()); // 2 bytes per row
    p.palette[0] = {255, 255, 255, 0};
    p.palette[1] = {0, 0, 0, 0};
    p.paletteSize = 2;
    const uint8_t bits[] = {0b10000000, 0b01000000, 0b00000001, 0b11000000};
    std::copy(bits, bits + 4, p.pixels());
    ASSERT_TRUE(p.toTrueColor().ok());
    auto black = [&](int x, int y) { return pixelAt(p, x, y)[0] == 0; };
    EXPECT_TRUE(black(0, 0));
    EXPECT_FALSE(black(1, 0));
    EXPECT_TRUE(black(9, 0));
    EXPECT_TRUE(black(7, 1));
    EXPECT_TRUE(black(8, 1));
    EXPECT_TRUE(black(9, 1));
    EXPECT_FALSE(black(6, 1));
    EXPECT_EQ(pixelAt(p, 1, 0)[2], 255);
}

TEST(TrueColor, RefusesWhatItCannotConvert) {
    Picture empty;
    EXPECT_EQ(empty.toTrueColor().code, StatusCode::NoReader);
    Picture display;
    ASSERT_TRUE(display.allocate(2, 2, 32).ok());
    EXPECT_EQ(display.toTrueColor().code, StatusCode::NoReader);
    EXPECT_EQ(display.bitsPerPixel, 32);
}

TEST(Resample, HalvingAveragesEachTwoByTwoBlock) {
    Picture p;
    test::fillRgb(p, 4, 2, [](int x, int y) {
        return std::tuple{x * 40 + y * 20, 100, 255 * (x & 1)};
    });
    ASSERT_TRUE(p.resample(2, 1).ok());
    ASSERT_EQ(p.width, 2);
    ASSERT_EQ(p.height, 1);
    EXPECT_EQ(pixelAt(p, 0, 0)[0], 30); // (0 + 40 + 20 + 60) / 4
    EXPECT_EQ(pixelAt(p, 1, 0)[0], 110);
    EXPECT_EQ(pixelAt(p, 0, 0)[1], 100);
    EXPECT_EQ(pixelAt(p, 1, 0)[2], 128); // (0 + 255) / 2 rounded
}

TEST(Resample, FlatStaysFlatAtAnySize) {
    for (auto [w, h] : {std::pair{1, 1}, {7, 3}, {50, 41}, {301, 2}}) {
        Picture p;
        test::fillRgb(p, 13, 9, [](int, int) { return std::tuple{17, 200, 255}; });
        ASSERT_TRUE(p.resample(w, h).ok());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* px = pixelAt(p, x, y);
                ASSERT_EQ(px[0], 17);
                ASSERT_EQ(px[1], 200);
                ASSERT_EQ(px[2], 255);
            }
    }
}

TEST(Resample, EnlargementKeepsStepsSharpAndBounded) {
    Picture p;
    test::fillRgb(p, 8, 1, [](int x, int) {
        int v = x < 4 ? 0 : 255;
        return std::tuple{v, v, v};
    });
    ASSERT_TRUE(p.resample(32, 3).ok());
    EXPECT_EQ(pixelAt(p, 0, 1)[0], 0);
    EXPECT_EQ(pixelAt(p, 31, 1)[0], 255);
    // Monotonic enough: the left quarter dark, the right quarter bright.
    EXPECT_LT(pixelAt(p, 8, 0)[0], 10);
    EXPECT_GT(pixelAt(p, 23, 2)[0], 245);
}

TEST(Resample, SameSizeIsACopyAndBadSizesAreRefused) {
    Picture p, original;
    test::fillRandom(p, 9, 5, 3);
    ASSERT_TRUE(original.copyFrom(p).ok());
    EXPECT_TRUE(p.resample(9, 5).ok());
    EXPECT_EQ(test::maxDifference(p, original), 0);
    EXPECT_EQ(p.resample(0, 5).code, StatusCode::NoReader);
    EXPECT_EQ(p.width, 9);
}

TEST(PictureDescription, CopyTakeAndReplaceCarryWhatTheyPromise) {
    // A picture read from a file: an 8-bit palette picture with everything its file said.
    Picture read;
    ASSERT_TRUE(read.allocate(4, 2, 8).ok());
    read.paletteSize = 256;
    read.palette[7] = {1, 2, 3, 0};
    read.info.format = kFormatPng8;
    read.info.filePath = "/pictures/a.png";
    read.info.tiffPage = 2;
    read.info.xResolution = 72;
    read.info.yResolution = 96;
    read.info.resolutionUnit = 2;
    read.info.exifBlock = {0xff, 0xe1};
    read.info.orientation = 6;
    read.writeOptions.set(kQuality, 40u);

    // A copy takes the pixels, the format, the resolution read and the source; EXIF,
    // orientation and write options stay the target's own.
    Picture copy;
    copy.info.orientation = 3;
    ASSERT_TRUE(copy.copyFrom(read).ok());
    EXPECT_EQ(copy.palette[7], read.palette[7]);
    EXPECT_EQ(copy.info.format, uint32_t(kFormatPng8));
    EXPECT_EQ(copy.info.filePath, "/pictures/a.png");
    EXPECT_EQ(copy.info.tiffPage, 2u);
    EXPECT_EQ(copy.info.xResolution, 72u);
    EXPECT_EQ(copy.info.yResolution, 96u);
    EXPECT_EQ(copy.info.resolutionUnit, 2u);
    EXPECT_TRUE(copy.info.exifBlock.empty());
    EXPECT_EQ(copy.info.orientation, 3);
    EXPECT_EQ(copy.writeOptions.get(kQuality), 75u);

    // Taking moves the pixels with the format and resolution, not the source.
    Picture taken;
    taken.info.filePath = "/pictures/b.png";
    const uint8_t* block = copy.pixels();
    taken.takeFrom(copy);
    EXPECT_EQ(taken.pixels(), block);
    EXPECT_FALSE(copy.hasPixels());
    EXPECT_EQ(taken.info.format, uint32_t(kFormatPng8));
    EXPECT_EQ(taken.info.xResolution, 72u);
    EXPECT_EQ(taken.info.filePath, "/pictures/b.png");
    EXPECT_EQ(taken.info.tiffPage, 0u);

    // New pixels (a cut, a turn) leave the picture the file's picture.
    image::PixelBuffer turned;
    ASSERT_TRUE(turned.allocate(2, 4, 8).ok());
    turned.paletteSize = 256;
    const uint8_t* turnedBlock = turned.pixels();
    read.replacePixels(turned);
    EXPECT_EQ(read.pixels(), turnedBlock);
    EXPECT_EQ(read.width, 2);
    EXPECT_EQ(read.height, 4);
    EXPECT_FALSE(turned.hasPixels());
    EXPECT_EQ(read.info.filePath, "/pictures/a.png");
    EXPECT_EQ(read.info.format, uint32_t(kFormatPng8));
    EXPECT_EQ(read.info.orientation, 6);
    EXPECT_EQ(read.info.exifBlock.size(), 2u);
    EXPECT_EQ(read.writeOptions.get(kQuality), 40u);
}

TEST(PictureStorage, HeapBlocksOfTheSameSizeAreKeptAndReaderPicturesGetMemoryFiles) {
    Picture picture;
    ASSERT_TRUE((picture.allocate(1500, 1000, 24)).ok()); // a huge-page sized block
    const uint8_t* first = picture.pixels();
    EXPECT_EQ(picture.pixelStorage().memoryFile(), -1);
    ASSERT_TRUE((picture.allocate(1000, 1500, 24)).ok());
    EXPECT_EQ(picture.pixels(), first) << "a block of the same size is reused";
    ASSERT_TRUE((picture.allocate(10, 10, 8)).ok());
    EXPECT_EQ(picture.pixelBytes(), 100u);

    image::setPixelPlace(image::PixelPlace::MemoryFile);
    Picture fromReader;
    const core::Status made = fromReader.allocate(64, 32, 24);
    Picture turned;
    const core::Status copied = turned.copyFrom(fromReader);
    image::setPixelPlace(image::PixelPlace::Heap);
    ASSERT_TRUE(made.ok());
    ASSERT_TRUE(copied.ok());
    EXPECT_GE(fromReader.pixelStorage().memoryFile(), 0);
    EXPECT_GE(turned.pixelStorage().memoryFile(), 0);
    EXPECT_NE(fromReader.pixelStorage().memoryFile(), turned.pixelStorage().memoryFile());
    // Back on the heap, the same picture is made again outside a memory file.
    ASSERT_TRUE((fromReader.allocate(64, 32, 24)).ok());
    EXPECT_EQ(fromReader.pixelStorage().memoryFile(), -1);
}

} // namespace
} // namespace velanox::codec
