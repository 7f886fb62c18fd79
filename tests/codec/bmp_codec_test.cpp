#include "codec/bmp/bmp_codec.h"

#include "codec_test_files.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velanox::codec {
namespace {

struct BmpCase {
    const char* file;
    uint32_t format;
    int bits;
    double maxDifference; ///< mean difference from the 24-bit variant
};

TEST(BmpCodec, BlauesglasVariantsMatchEachOther) {
    VELANOX_TEST_FILE(truthPath, "formats/bmp_24bit_blauesglas.bmp");
    const std::vector<uint8_t> truthBytes = test::readFileBytes(truthPath);
    Picture truth;
    ASSERT_TRUE(readBmp(test::spanOf(truthBytes), truth, {}).ok());
    ASSERT_EQ(truth.width, 301);
    ASSERT_EQ(truth.height, 331);
    EXPECT_EQ(truth.info.format, kFormatBmp);
    EXPECT_EQ(truth.info.xResolution, 28u); // 2834 pixels per metre
    EXPECT_EQ(truth.info.resolutionUnit, 3u);

    const BmpCase cases[] = {{"formats/bmp_8bit_palette_blauesglas.bmp", kFormatBmp8, 8, 12},
                             {"formats/bmp_8bit_rle8_blauesglas.bmp", kFormatBmp8, 8, 12},
                             {"formats/bmp_4bit_rle4_blauesglas.bmp", kFormatBmp8, 8, 30},
                             {"formats/bmp_1bit_blauesglas_mono.bmp", kFormatBmp1, 1, 110}};
    Picture palette8;
    for (const BmpCase& c : cases) {
        SCOPED_TRACE(c.file);
        VELANOX_TEST_FILE(path, c.file);
        const std::vector<uint8_t> bytes = test::readFileBytes(path);
        EXPECT_EQ(bmpFormatId(test::spanOf(bytes)), c.format);
        Picture picture;
        const Status s = readBmp(test::spanOf(bytes), picture, {});
        ASSERT_TRUE(s.ok()) << s.reason;
        EXPECT_EQ(picture.info.format, c.format);
        EXPECT_EQ(picture.bitsPerPixel, c.bits);
        EXPECT_EQ(picture.paletteSize, c.bits == 1 ? 2 : 256);
        EXPECT_EQ(picture.info.fileHeight, 331);
        Picture rgb;
        test::expandToRgb(picture, rgb);
        EXPECT_LT(test::sampledMeanDifference(truth, rgb), c.maxDifference);
        if (std::strstr(c.file, "8bit_palette")) palette8.copyFrom(rgb);
        if (std::strstr(c.file, "rle8")) {
            // Same colour table, pixels dithered a little differently by the program that made it.
            EXPECT_LT(test::sampledMeanDifference(palette8, rgb), 3.0);
        }
    }
}

// A bitmap assembled byte by byte: 3 x 2 pixels at 32 bits with bit fields, stored top-down.
std::vector<uint8_t> makeTopDownBitfields() {
    std::vector<uint8_t> b(14 + 40 + 12 + 3 * 2 * 4, 0);
    auto put32 = [&](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, uint32_t(b.size()));
    put32(10, 14 + 40 + 12);
    put32(14, 40);
    put32(18, 3);
    put32(22, uint32_t(-2)); // top-down
    b[26] = 1;
    b[28] = 32;
    put32(30, 3); // bit fields
    put32(54, 0x00FF0000);
    put32(58, 0x0000FF00);
    put32(62, 0x000000FF);
    for (int i = 0; i < 6; ++i)
        put32(66 + 4 * i, uint32_t(i * 40) << 16 | 7 << 8 | 200);
    return b;
}

TEST(BmpCodec, TopDownBitfields) {
    const std::vector<uint8_t> bytes = makeTopDownBitfields();
    BmpHeader header;
    ASSERT_TRUE(parseBmpHeader(test::spanOf(bytes), header).ok());
    EXPECT_TRUE(header.topDown);
    Picture picture;
    const Status s = readBmp(test::spanOf(bytes), picture, {});
    ASSERT_TRUE(s.ok()) << s.reason;
    EXPECT_EQ(picture.info.format, kFormatBmp);
    EXPECT_EQ(picture.info.xResolution, 300u); // the file carries none
    EXPECT_EQ(picture.info.resolutionUnit, 1u);
    for (int i = 0; i < 6; ++i) {
        const uint8_t* p = picture.pixels() + 3 * i;
        EXPECT_EQ(p[0], i * 40) << i; // first stored pixel is the top left one
        EXPECT_EQ(p[1], 7);
        EXPECT_EQ(p[2], 200);
    }
}

TEST(BmpCodec, InconsistentHeadersAreRefusedBeforeDecoding) {
    std::vector<uint8_t> bytes = makeTopDownBitfields();
    auto withByte = [&](std::size_t at, uint8_t v) {
        std::vector<uint8_t> b = bytes;
        b[at] = v;
        return b;
    };
    BmpHeader header;
    EXPECT_FALSE(parseBmpHeader(test::spanOf(withByte(14, 41)), header).ok());   // header size
    EXPECT_FALSE(parseBmpHeader(test::spanOf(withByte(28, 7)), header).ok());    // depth
    EXPECT_FALSE(parseBmpHeader(test::spanOf(withByte(26, 2)), header).ok());    // planes
    EXPECT_FALSE(parseBmpHeader(test::spanOf(withByte(11, 9)), header).ok());    // pixel offset
    EXPECT_FALSE(parseBmpHeader(test::spanOf(withByte(30, 1)), header).ok());    // RLE8 at 32 bits
    EXPECT_FALSE(parseBmpHeader({bytes.data(), bytes.size() - 8}, header).ok()); // cut short
    const Status large = parseBmpHeader(test::spanOf(withByte(21, 0x7F)), header);
    EXPECT_EQ(large.code, StatusCode::TooLarge);

    VELANOX_TEST_FILE(path, "broken/bmp_negative_array_size.bmp");
    const std::vector<uint8_t> broken = test::readFileBytes(path);
    Picture picture;
    const Status s = readBmp(test::spanOf(broken), picture, {});
    EXPECT_FALSE(s.ok());
    EXPECT_FALSE(s.reason.empty());
    EXPECT_FALSE(picture.hasPixels());
}

TEST(BmpCodec, EveryBrokenFileFailsCleanly) {
    for (const char* name :
         {"broken/bmp_negative_array_size.bmp", "broken/pcx_ossfuzz.pcx",
          "broken/psd_oob_write_overflow.psd", "broken/jpeg_truncated_tiny.jpg"}) {
        VELANOX_TEST_FILE(path, name);
        const std::vector<uint8_t> bytes = test::readFileBytes(path);
        Picture picture;
        const Status s = readBmp(test::spanOf(bytes), picture, {});
        EXPECT_FALSE(s.ok()) << name;
        EXPECT_FALSE(s.reason.empty());
    }
    VELANOX_TEST_FILE(rle8, "formats/bmp_8bit_rle8_blauesglas.bmp");
    const std::vector<uint8_t> bytes = test::readFileBytes(rle8);
    for (std::size_t keep : {std::size_t(10), std::size_t(60), bytes.size() / 3}) {
        Picture picture;
        const Status s = readBmp({bytes.data(), keep}, picture, {});
        if (!s.ok()) {
            EXPECT_FALSE(s.reason.empty());
        }
    }
}

TEST(BmpCodec, WriterRoundTripWithResolution) {
    const test::TestImage scene = test::makeNoisyScene(33, 7, 9.0, 2); // rows need padding
    Picture picture;
    picture.allocate(33, 7, 24);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 33; ++x)
            for (int c = 0; c < 3; ++c)
                picture.pixels()[(std::size_t(y) * 33 + x) * 3 + c] = scene.at(x, y, c);
    picture.writeOptions.set(kSaveXResolution, 300u);
    picture.writeOptions.set(kSaveYResolution, 150u);
    picture.writeOptions.set(kSaveResolutionUnit, 2u); // per inch
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(writeBmp(picture, bytes).ok());
    EXPECT_EQ(bytes.size(), 54u + 100 * 7);
    BmpHeader header;
    ASSERT_TRUE(parseBmpHeader(test::spanOf(bytes), header).ok());
    EXPECT_EQ(header.bitsPerPixel, 24);
    EXPECT_EQ(header.xPixelsPerMetre, 11811);
    EXPECT_EQ(header.yPixelsPerMetre, 5906);
    Picture back;
    ASSERT_TRUE(readBmp(test::spanOf(bytes), back, {}).ok());
    EXPECT_EQ(back.info.format, kFormatBmp);
    EXPECT_TRUE(
        std::equal(picture.pixels(), picture.pixels() + picture.pixelBytes(), back.pixels()));
    EXPECT_EQ(back.info.xResolution, 118u); // per centimetre
    EXPECT_EQ(back.info.resolutionUnit, 3u);

    picture.writeOptions.set(kSaveResolutionUnit, 1u); // aspect only: no resolution in a bitmap
    ASSERT_TRUE(writeBmp(picture, bytes).ok());
    ASSERT_TRUE(parseBmpHeader(test::spanOf(bytes), header).ok());
    EXPECT_EQ(header.xPixelsPerMetre, 0);
    picture.writeOptions.set(kSaveResolutionUnit, 3u);
    ASSERT_TRUE(writeBmp(picture, bytes).ok());
    ASSERT_TRUE(parseBmpHeader(test::spanOf(bytes), header).ok());
    EXPECT_EQ(header.xPixelsPerMetre, 30000);

    Picture oneBit;
    oneBit.allocate(9, 1, 1);
    oneBit.paletteSize = 2;
    oneBit.palette[1] = {255, 255, 255, 0};
    oneBit.pixels()[0] = 0x80;
    oneBit.pixels()[1] = 0x80;
    ASSERT_TRUE(writeBmp(oneBit, bytes).ok());
    ASSERT_TRUE(readBmp(test::spanOf(bytes), back, {}).ok());
    EXPECT_EQ(back.pixels()[0], 255);
    EXPECT_EQ(back.pixels()[3], 0);
    EXPECT_EQ(back.pixels()[8 * 3], 255);
}

} // namespace
} // namespace velanox::codec
