#include "codec/magick/magick_codec.h"

#include "codec_test_files.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace velanox::codec {
namespace {

struct FileCase {
    const char* file;
    Status (*read)(ByteSpan, Picture&, const ReadOptions&);
    uint32_t format;
    int width, height, bits;
};

Status load(const char* name, Status (*read)(ByteSpan, Picture&, const ReadOptions&),
            Picture& picture, bool& present) {
    const std::string path = test::testFile(name);
    present = !path.empty();
    if (!present) return {};
    const std::vector<uint8_t> bytes = test::readFileBytes(path);
    return read(test::spanOf(bytes), picture, {});
}

TEST(MagickCodec, FilesLoadWithRefinedIds) {
    const FileCase cases[] = {
        {"formats/tga_24bit_uncompressed_oregon.tga", readTarga, kFormatTarga, 300, 225, 24},
        {"formats/tga_24bit_rle_CTC24.tga", readTarga, kFormatTarga, 128, 128, 24},
        {"formats/tga_8bit_colormapped_UCM8.tga", readTarga, kFormatTarga8, 128, 128, 8},
        {"formats/tga_8bit_grey_rle_CBW8.tga", readTarga, kFormatTarga8, 128, 128, 8},
        {"formats/pcx_24bit_oregon.pcx", readPcx, kFormatPcx, 300, 225, 24},
        {"formats/pcx_8bit_palette_coffee.pcx", readPcx, kFormatPcx8, 320, 200, 8},
        {"formats/pcx_1bit_animals.pcx", readPcx, kFormatPcx8, 239, 157, 8},
        {"formats/psd_rgb8_oregon.psd", readPsd, kFormatPsd, 300, 225, 24},
        {"formats/psd_greyscale8.psd", readPsd, kFormatPsd8, 485, 484, 8},
        {"formats/psd_indexed.psd", readPsd, kFormatPsd8, 710, 512, 8},
        {"formats/psd_bitmap_1bit.psd", readPsd, kFormatPsd8, 710, 512, 8},
        {"formats/wbmp_oregon.wbmp", readWbmp, kFormatWbmp, 300, 225, 8},
        {"formats/photocd_hopper.pcd", readPhotoCd, kFormatPhotoCd, 768, 512, 24},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.file);
        Picture picture;
        bool present = false;
        const Status s = load(c.file, c.read, picture, present);
        if (!present) VELANOX_MISSING_TEST_FILE(c.file);
        ASSERT_TRUE(s.ok()) << s.reason;
        EXPECT_EQ(picture.info.format, c.format);
        EXPECT_EQ(picture.width, c.width);
        EXPECT_EQ(picture.height, c.height);
        EXPECT_EQ(picture.bitsPerPixel, c.bits);
        EXPECT_EQ(picture.info.fileWidth, c.width);
        EXPECT_EQ(picture.info.xResolution, 300u);
        EXPECT_EQ(picture.info.resolutionUnit, 1u);
        EXPECT_EQ(picture.paletteSize, c.bits == 8 ? (c.format == kFormatWbmp ? 2 : 256) : 0);
        const std::vector<uint8_t> bytes = test::readFileBytes(test::testFile(c.file));
        EXPECT_EQ(magickFormatId(test::spanOf(bytes)), c.format);
    }
}

TEST(MagickCodec, OregonPhotoMatchesAcrossFormats) {
    Picture pcx, tga, psd, wbmp;
    bool present = false;
    ASSERT_TRUE(load("formats/pcx_24bit_oregon.pcx", readPcx, pcx, present).ok());
    if (!present) VELANOX_MISSING_TEST_FILE("formats/pcx_24bit_oregon.pcx");
    ASSERT_TRUE(load("formats/tga_24bit_uncompressed_oregon.tga", readTarga, tga, present).ok());
    ASSERT_TRUE(load("formats/psd_rgb8_oregon.psd", readPsd, psd, present).ok());
    // The Targa file stores its rows bottom first, as its header says.
    EXPECT_LT(test::sampledMeanDifference(pcx, tga), 1.0);
    EXPECT_LT(test::sampledMeanDifference(pcx, psd), 1.0);
    ASSERT_TRUE(load("formats/wbmp_oregon.wbmp", readWbmp, wbmp, present).ok());
    Picture wbmpRgb;
    test::expandToRgb(wbmp, wbmpRgb);
    EXPECT_EQ(wbmp.palette[0].red, 0);
    EXPECT_EQ(wbmp.palette[1].red, 255);
    EXPECT_LT(test::sampledMeanDifference(pcx, wbmpRgb), 110.0); // a dithered two-level copy
}

TEST(MagickCodec, PaletteFilesKeepTheirPalette) {
    Picture indexed, bitmap, grey;
    bool present = false;
    ASSERT_TRUE(load("formats/psd_indexed.psd", readPsd, indexed, present).ok());
    if (!present) VELANOX_MISSING_TEST_FILE("formats/psd_indexed.psd");
    // The file's own table (a reversed grey ramp after black), not a made-up one.
    EXPECT_EQ(indexed.palette[0].red, 0);
    EXPECT_EQ(indexed.palette[1].red, 255);
    EXPECT_EQ(indexed.palette[2].blue, 254);
    std::array<bool, 256> used{};
    for (std::size_t i = 0; i < indexed.pixelBytes(); ++i)
        used[indexed.pixels()[i]] = true;
    EXPECT_GT(std::count(used.begin(), used.end(), true), 50);
    ASSERT_TRUE(load("formats/psd_greyscale8.psd", readPsd, grey, present).ok());
    for (int i = 0; i < 256; i += 51)
        EXPECT_EQ(grey.palette[i].green, i);
    ASSERT_TRUE(load("formats/psd_bitmap_1bit.psd", readPsd, bitmap, present).ok());
    int black = 0, white = 0;
    for (std::size_t i = 0; i < bitmap.pixelBytes(); ++i) {
        const PaletteEntry& e = bitmap.palette[bitmap.pixels()[i]];
        black += e.red == 0 ? 1 : 0;
        white += e.red == 255 ? 1 : 0;
    }
    EXPECT_EQ(black + white, int(bitmap.pixelBytes()));
    EXPECT_GT(black, 1000);
    EXPECT_GT(white, 1000);
}

void makeRgbPicture(Picture& picture, int width, int height, uint32_t seed) {
    const test::TestImage scene = test::makeNoisyScene(width, height, 8.0, seed);
    picture.allocate(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                picture.pixels()[(std::size_t(y) * width + x) * 3 + c] = scene.at(x, y, c);
}

bool samePixels(const Picture& a, const Picture& b) {
    return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel &&
           std::equal(a.pixels(), a.pixels() + a.pixelBytes(), b.pixels());
}

TEST(MagickCodec, WritersRoundTripLosslessly) {
    struct Writer {
        Status (*write)(const Picture&, std::vector<uint8_t>&);
        Status (*read)(ByteSpan, Picture&, const ReadOptions&);
        bool (*probe)(ByteSpan);
        uint32_t format;
    };
    const Writer writers[] = {{writeTarga, readTarga, probeTarga, kFormatTarga},
                              {writePcx, readPcx, probePcx, kFormatPcx},
                              {writePsd, readPsd, probePsd, kFormatPsd}};
    Picture source;
    makeRgbPicture(source, 67, 41, 5);
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.format);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(w.write(source, bytes).ok());
        EXPECT_TRUE(w.probe(test::spanOf(bytes)));
        EXPECT_EQ(magickFormatId(test::spanOf(bytes)), w.format);
        Picture back;
        ASSERT_TRUE(w.read(test::spanOf(bytes), back, {}).ok());
        EXPECT_EQ(back.info.format, w.format);
        EXPECT_TRUE(samePixels(source, back));
    }
}

TEST(MagickCodec, TargaIsWrittenTopFirstAndSaysSo) {
    // Other programs read the file: the descriptor must match the row order.
    Picture source;
    makeRgbPicture(source, 5, 3, 9);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(writeTarga(source, bytes).ok());
    ASSERT_GE(bytes.size(), 18u + 5 * 3 * 3);
    EXPECT_EQ(bytes[2], 2); // uncompressed true colour
    EXPECT_EQ(bytes[16], 24);
    const bool topFirst = (bytes[17] & 0x20) != 0;
    const int fileRow0 = topFirst ? 0 : 2;
    const uint8_t* first = source.pixels() + std::size_t(fileRow0) * 15;
    EXPECT_EQ(bytes[18], first[2]); // stored blue, green, red
    EXPECT_EQ(bytes[20], first[0]);
}

TEST(MagickCodec, PaletteAndOneBitPicturesAreWrittenThroughTheirPalette) {
    Picture indexed;
    indexed.allocate(4, 2, 8);
    indexed.paletteSize = 256;
    indexed.palette[3] = {10, 20, 30, 0};
    std::fill(indexed.pixels(), indexed.pixels() + indexed.pixelBytes(), 3);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(writePcx(indexed, bytes).ok());
    Picture back;
    ASSERT_TRUE(readPcx(test::spanOf(bytes), back, {}).ok());
    ASSERT_EQ(back.bitsPerPixel, 24);
    EXPECT_EQ(back.pixels()[0], 30);
    EXPECT_EQ(back.pixels()[2], 10);

    Picture empty;
    EXPECT_EQ(writeTarga(empty, bytes).code, StatusCode::NoReader);
}

TEST(MagickCodec, WbmpTwoLevelsByDistanceFromBlack) {
    Picture picture;
    picture.allocate(4, 1, 24);
    const uint8_t pixels[] = {0, 0, 0, 127, 127, 127, 128, 128, 128, 0, 0, 255};
    std::copy(std::begin(pixels), std::end(pixels), picture.pixels());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(writeWbmp(picture, bytes).ok());
    EXPECT_TRUE(probeWbmp(test::spanOf(bytes)));
    Picture back;
    ASSERT_TRUE(readWbmp(test::spanOf(bytes), back, {}).ok());
    ASSERT_EQ(back.info.format, kFormatWbmp);
    ASSERT_EQ(back.paletteSize, 2);
    // Pure blue is sqrt(255^2 / 3) = 147 from black: white at threshold 128.
    const uint8_t expected[] = {0, 0, 1, 1};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(back.pixels()[x], expected[x]) << x;
    picture.writeOptions.set(kWbmpThreshold, 200u);
    ASSERT_TRUE(writeWbmp(picture, bytes).ok());
    ASSERT_TRUE(readWbmp(test::spanOf(bytes), back, {}).ok());
    EXPECT_EQ(back.pixels()[3], 0);
}

TEST(MagickCodec, OurLimitsRatherThanThePolicyFile) {
    // Wider than the 16000 pixels the distribution's policy allows ImageMagick.
    Picture wide;
    makeRgbPicture(wide, 17000, 2, 4);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(writeTarga(wide, bytes).ok());
    Picture back;
    const Status s = readTarga(test::spanOf(bytes), back, {});
    ASSERT_TRUE(s.ok()) << s.reason;
    EXPECT_EQ(back.width, 17000);
    ReadOptions strict;
    strict.limits.maxDimension = 10000;
    EXPECT_EQ(readTarga(test::spanOf(bytes), back, strict).code, StatusCode::TooLarge);
    EXPECT_FALSE(back.hasPixels());
}

TEST(MagickCodec, BrokenFilesFailWithAReason) {
    const char* names[] = {"broken/psd_oob_write_overflow.psd",    "broken/pcx_ossfuzz.pcx",
                           "broken/bmp_negative_array_size.bmp",   "broken/jpeg_truncated_tiny.jpg",
                           "broken/png_bad_ihdr_crc_xhdn0g08.png", "broken/emf_corrupted.emf",
                           "broken/tiff_bad_offsets_lengths.tiff"};
    Status (*readers[])(ByteSpan, Picture&, const ReadOptions&) = {readTarga, readPcx, readPsd,
                                                                   readWbmp, readPhotoCd};
    for (const char* name : names) {
        VELANOX_TEST_FILE(path, name);
        const std::vector<uint8_t> bytes = test::readFileBytes(path);
        for (auto read : readers) {
            Picture picture;
            const Status s = read(test::spanOf(bytes), picture, {});
            if (s.ok()) continue; // a reader may make sense of another format's bytes
            EXPECT_NE(s.code, StatusCode::Ok);
            EXPECT_FALSE(s.reason.empty()) << name;
            EXPECT_FALSE(picture.hasPixels());
        }
    }
    for (const char* name : {"broken/psd_oob_write_overflow.psd", "broken/pcx_ossfuzz.pcx"}) {
        VELANOX_TEST_FILE(path, name);
        const std::vector<uint8_t> bytes = test::readFileBytes(path);
        Picture picture;
        const Status s = std::string(name).ends_with(".psd")
                             ? readPsd(test::spanOf(bytes), picture, {})
                             : readPcx(test::spanOf(bytes), picture, {});
        EXPECT_FALSE(s.ok()) << name;
        EXPECT_FALSE(s.reason.empty());
    }
}

TEST(MagickCodec, TruncatedFilesFail) {
    VELANOX_TEST_FILE(path, "formats/psd_indexed.psd");
    std::vector<uint8_t> bytes = test::readFileBytes(path);
    for (std::size_t keep : {std::size_t(20), std::size_t(900), bytes.size() / 2}) {
        Picture picture;
        const Status s = readPsd({bytes.data(), keep}, picture, {});
        EXPECT_FALSE(s.ok()) << keep;
        EXPECT_FALSE(s.reason.empty());
    }
}

TEST(MagickCodec, ProbesDoNotClaimOtherFormats) {
    for (const char* name : {"formats/bmp_24bit_blauesglas.bmp", "jpeg/flower_no_exif_cjpeg.jpg",
                             "formats/png_rgb_phys96_coffee.png", "formats/tiff_grey8_f14.tif",
                             "raw/apple_quicktake100_TEST100.qtk"}) {
        VELANOX_TEST_FILE(path, name);
        const std::vector<uint8_t> bytes = test::readFileBytes(path);
        EXPECT_EQ(magickFormatId(test::spanOf(bytes)), kFormatAuto) << name;
    }
}

} // namespace
} // namespace velanox::codec
