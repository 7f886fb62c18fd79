// The TIFF family: scanner, fax, grey and palette files, pages, resolution, writing.
#include "codec/codec_test_files.h"
#include "codec/picture.h"
#include "codec/tiff/tiff_codec.h"
#include "support/status_assert.h"
#include "support/test_images.h"

#include <gtest/gtest.h>
#include <tiffio.h>

namespace velanox::codec {
namespace {

using test::pixelAt;

TEST(TiffRead, FaxPageIsStretchedToSquarePixels) {
    VELANOX_TEST_FILE(path, "formats/tiff_fax_1bit_204x98_ghostscript.tif");
    const std::vector<uint8_t> bytes = test::fileBytes(path);
    Picture bits;
    ASSERT_TRUE(codec::readTiff(test::span(bytes), bits, {}).ok());
    EXPECT_EQ(bits.info.format, kFormatTiff1);
    EXPECT_EQ(bits.bitsPerPixel, 1);
    EXPECT_EQ(bits.palette[0].red, 255); // entry 0 white
    EXPECT_EQ(bits.palette[1].red, 0);
    EXPECT_EQ(bits.info.xResolution, 204u);
    EXPECT_EQ(bits.info.yResolution, 98u);
    EXPECT_EQ(bits.info.resolutionUnit, 2u);

    Picture p;
    ASSERT_TRUE(test::succeeded(p.load(path)));
    EXPECT_EQ(p.bitsPerPixel, 24);
    EXPECT_EQ(p.width, 1728);
    EXPECT_EQ(p.height, int(1146 / (98.0 / 204.0))); // 2385
    EXPECT_EQ(p.info.fileHeight, p.height);
    // Square now, so that saving and loading again does not stretch it twice.
    EXPECT_EQ(p.info.yResolution, 204u);
    EXPECT_EQ(p.writeOptions.get(kSaveYResolution), 204u);
    // A fax page is mostly white paper.
    long white = 0;
    for (int y = 0; y < p.height; y += 5)
        for (int x = 0; x < p.width; x += 5)
            white += pixelAt(p, x, y)[0] > 200;
    EXPECT_GT(white, long(p.width / 5) * (p.height / 5) * 8 / 10);
}

TEST(TiffRead, PagesOfAMultiPageFax) {
    VELANOX_TEST_FILE(path, "formats/tiff_fax_multipage_g4_204x98_ntfax.tif");
    Picture first, second, third;
    ASSERT_TRUE(test::succeeded(first.load(path, kFormatAuto, 0)));
    ASSERT_TRUE(test::succeeded(second.load(path, kFormatAuto, 1)));
    EXPECT_EQ(second.info.tiffPage, 1u);
    EXPECT_EQ(first.width, 1728);
    EXPECT_NE(test::maxDifference(first, second), 0);
    const core::Status failed = third.load(path, kFormatAuto, 2);
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(failed.reason.empty());
}

TEST(TiffRead, GreyAndPaletteEndAsTrueColor) {
    VELANOX_TEST_FILE(grey, "formats/tiff_grey8_f14.tif");
    Picture p;
    ASSERT_TRUE(p.load(grey).ok());
    EXPECT_EQ(p.info.format, kFormatTiff8);
    EXPECT_EQ(p.width, 640);
    EXPECT_EQ(p.info.resolutionUnit, 1u);
    EXPECT_EQ(p.info.xResolution, 72u);
    for (std::size_t i = 0; i < p.pixelBytes(); i += 3) {
        ASSERT_EQ(p.pixels()[i], p.pixels()[i + 1]);
        ASSERT_EQ(p.pixels()[i], p.pixels()[i + 2]);
    }

    VELANOX_TEST_FILE(palette, "formats/tiff_palette8_lzw_bali.tif");
    const std::vector<uint8_t> bytes = test::fileBytes(palette);
    Picture indexed;
    ASSERT_TRUE(codec::readTiff(test::span(bytes), indexed, {}).ok());
    EXPECT_EQ(indexed.bitsPerPixel, 8);
    ASSERT_TRUE(p.load(palette).ok());
    EXPECT_EQ(p.width, 725);
    for (int y = 0; y < p.height; y += 11)
        for (int x = 0; x < p.width; x += 13) {
            const PaletteEntry& e =
                indexed.palette[indexed.pixels()[std::size_t(y) * 725 + std::size_t(x)]];
            ASSERT_EQ(pixelAt(p, x, y)[0], e.red);
            ASSERT_EQ(pixelAt(p, x, y)[2], e.blue);
        }
}

struct TrueColorCase {
    const char* file;
    int width, height;
    uint32_t resolution, unit;
};

void expectTrueColorTiff(const std::string& path, const TrueColorCase& c) {
    {
        Picture p;
        ASSERT_TRUE(test::succeeded(p.load(path))) << c.file;
        EXPECT_EQ(p.info.format, kFormatTiff);
        EXPECT_EQ(p.width, c.width);
        EXPECT_EQ(p.height, c.height);
        EXPECT_EQ(p.info.xResolution, c.resolution) << c.file;
        EXPECT_EQ(p.info.resolutionUnit, c.unit) << c.file;
    }
}

TEST(TiffRead, TrueColorFilesAndTheirResolution) {
    for (const TrueColorCase& c :
         {TrueColorCase{"formats/tiff_rgb24_lzw_quad.tif", 512, 384, 300, 1},
          TrueColorCase{"formats/tiff_rgb24_deflate.tif", 278, 374, 72, 2}}) {
        VELANOX_TEST_FILE(path, c.file);
        expectTrueColorTiff(path, c);
    }
}

TEST(TiffRead, ScannerFileOfTheCorpusKeepsItsResolution) {
    const TrueColorCase c{"formats/tiff_rgb24_uncompressed_scanner_epson_v800.tif", 425, 640, 1066,
                          2};
    VELANOX_CORPUS_FILE(path, c.file);
    expectTrueColorTiff(path, c);
}

TEST(TiffRead, BrokenFilesFailWithAReason) {
    for (const char* file :
         {"broken/tiff_bad_offsets_lengths.tiff", "broken/tiff_fuzzed_strip_bytecount.tif",
          "broken/tiff_fuzzed_lzw_bad_code.tif"}) {
        VELANOX_TEST_FILE(path, file);
        Picture p;
        const core::Status failed = p.load(path);
        EXPECT_FALSE(failed.ok()) << file;
        EXPECT_FALSE(failed.reason.empty()) << file;
        EXPECT_FALSE(p.hasPixels());
    }
}

TEST(TiffWrite, TrueColorRoundTripsInEveryCompression) {
    Picture p;
    test::fillRgb(p, 50, 33, [](int x, int y) { return std::tuple{x * 5, (x + y) % 7 * 30, y}; });
    p.writeOptions.set(kSaveXResolution, 600u);
    p.writeOptions.set(kSaveYResolution, 600u);
    p.writeOptions.set(kSaveResolutionUnit, 3u);
    for (uint32_t compression :
         {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS}) {
        p.writeOptions.set(kTiffCompression, uint32_t(compression));
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(codec::writeTiff(p, bytes).ok()) << compression;
        Picture back;
        ASSERT_TRUE(codec::readTiff(test::span(bytes), back, {}).ok()) << compression;
        EXPECT_EQ(test::maxDifference(back, p), 0) << compression;
        EXPECT_EQ(back.info.xResolution, 600u);
        EXPECT_EQ(back.info.resolutionUnit, 3u);
    }
}

TEST(TiffWrite, PaletteAndOneBitRoundTrip) {
    Picture indexed;
    ASSERT_TRUE(indexed.allocate(21, 4, 8).ok());
    for (std::size_t i = 0; i < indexed.pixelBytes(); ++i)
        indexed.pixels()[i] = uint8_t(i * 13);
    for (int i = 0; i < 256; ++i)
        indexed.palette[std::size_t(i)] = {uint8_t(i), 7, uint8_t(255 - i), 0};
    indexed.paletteSize = 256;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(codec::writeTiff(indexed, bytes).ok());
    Picture back;
    ASSERT_TRUE(codec::readTiff(test::span(bytes), back, {}).ok());
    EXPECT_EQ(back.info.format, kFormatTiff8);
    EXPECT_EQ(std::memcmp(back.pixels(), indexed.pixels(), indexed.pixelBytes()), 0);
    EXPECT_EQ(back.palette[40].red, 215);

    Picture bits;
    ASSERT_TRUE(bits.allocate(20, 3, 1).ok());
    for (std::size_t i = 0; i < bits.pixelBytes(); ++i)
        bits.pixels()[i] = uint8_t(0x3C ^ (i * 29));
    for (int y = 0; y < 3; ++y)
        bits.pixels()[y * 3 + 2] &= 0xF0;
    bits.palette[0] = {255, 255, 255, 0};
    bits.palette[1] = {0, 0, 0, 0};
    bits.paletteSize = 2;
    bits.writeOptions.set(kTiffCompression, uint32_t(COMPRESSION_CCITTFAX4));
    ASSERT_TRUE(codec::writeTiff(bits, bytes).ok());
    ASSERT_TRUE(codec::readTiff(test::span(bytes), back, {}).ok());
    EXPECT_EQ(back.info.format, kFormatTiff1);
    for (std::size_t i = 0; i < bits.pixelBytes(); ++i)
        ASSERT_EQ(back.pixels()[i] & (i % 3 == 2 ? 0xF0 : 0xFF), bits.pixels()[i]) << i;
}

TEST(TiffWrite, UnknownCompressionIsRefused) {
    Picture p;
    test::fillRandom(p, 4, 4, 6);
    p.writeOptions.set(kTiffCompression, 60000u);
    std::vector<uint8_t> bytes;
    const core::Status s = codec::writeTiff(p, bytes);
    EXPECT_EQ(s.code, StatusCode::Unsupported);
    EXPECT_FALSE(s.reason.empty());
}

} // namespace
} // namespace velanox::codec
