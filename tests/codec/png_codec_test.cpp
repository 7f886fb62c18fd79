// The PNG family: palette, 1-bit, 16-bit and pHYs reading; lossless writing marked sRGB.
#include "codec/codec_test_files.h"
#include "codec/picture.h"
#include "codec/png/png_codec.h"
#include "support/status_assert.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

namespace velanox::codec {
namespace {

using test::pixelAt;

// The data of the first chunk of a type, or empty.
std::vector<uint8_t> chunk(const std::vector<uint8_t>& png, const char* type) {
    std::size_t i = 8;
    while (i + 12 <= png.size()) {
        const std::size_t length = std::size_t(png[i]) << 24 | std::size_t(png[i + 1]) << 16 |
                                   std::size_t(png[i + 2]) << 8 | png[i + 3];
        if (std::memcmp(&png[i + 4], type, 4) == 0)
            return {png.begin() + long(i + 8), png.begin() + long(i + 8 + length)};
        i += 12 + length;
    }
    return {};
}

uint32_t bigEndian(const std::vector<uint8_t>& d, std::size_t at) {
    return uint32_t(d[at]) << 24 | uint32_t(d[at + 1]) << 16 | uint32_t(d[at + 2]) << 8 | d[at + 3];
}

TEST(PngRead, PaletteFileEndsAsItsPaletteColors) {
    for (const char* file :
         {"formats/png_palette8_phys_indexed.png", "formats/png_palette8_interlaced_pil123p.png"}) {
        VELANOX_TEST_FILE(path, file);
        const std::vector<uint8_t> bytes = test::fileBytes(path);
        Picture indexed;
        ASSERT_TRUE(codec::readPng(test::span(bytes), indexed, {}).ok()) << file;
        EXPECT_EQ(indexed.info.format, kFormatPng8);
        EXPECT_EQ(indexed.bitsPerPixel, 8);
        Picture p;
        ASSERT_TRUE(p.load(path).ok()) << file;
        EXPECT_EQ(p.bitsPerPixel, 24);
        EXPECT_EQ(p.info.format, kFormatPng8);
        for (int y = 0; y < p.height; y += 7)
            for (int x = 0; x < p.width; x += 5) {
                const PaletteEntry& e =
                    indexed.palette[indexed.pixels()[std::size_t(y) * std::size_t(p.width) +
                                                     std::size_t(x)]];
                const uint8_t* px = pixelAt(p, x, y);
                ASSERT_EQ(px[0], e.red);
                ASSERT_EQ(px[1], e.green);
                ASSERT_EQ(px[2], e.blue);
            }
    }
}

TEST(PngRead, OneBitFileEndsBlackAndWhite) {
    VELANOX_TEST_FILE(path, "formats/png_1bit_hopper_bw_500.png");
    const std::vector<uint8_t> bytes = test::fileBytes(path);
    Picture bits;
    ASSERT_TRUE(codec::readPng(test::span(bytes), bits, {}).ok());
    EXPECT_EQ(bits.bitsPerPixel, 1);
    EXPECT_EQ(bits.info.format, kFormatPng1);
    EXPECT_EQ(bits.paletteSize, 2);
    Picture p;
    ASSERT_TRUE(p.load(path).ok());
    ASSERT_EQ(p.width, 500);
    int black = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* px = pixelAt(p, x, y);
            ASSERT_TRUE(px[0] == 0 || px[0] == 255);
            ASSERT_EQ(px[0], px[2]);
            const bool set =
                (bits.pixels()[std::size_t(y) * bits.rowBytes() + std::size_t(x / 8)] >>
                 (7 - x % 8)) &
                1;
            ASSERT_EQ(px[0] == 255, set); // grey 1 is white
            black += px[0] == 0;
        }
    EXPECT_GT(black, 1000);
    EXPECT_EQ(p.info.xResolution, 37u); // 3779 px/m
    EXPECT_EQ(p.info.resolutionUnit, 3u);
}

TEST(PngRead, SixteenBitFilesScaleToEightBits) {
    VELANOX_TEST_FILE(path, "formats/png_16bit_rgb_darktable_nikon_d300.png");
    Picture p;
    ASSERT_TRUE(p.load(path).ok());
    EXPECT_EQ(p.info.format, kFormatPng);
    EXPECT_EQ(p.width, 64);
    EXPECT_EQ(p.info.xResolution, 118u); // 11811 px/m
    EXPECT_EQ(p.writeOptions.get(kSaveResolutionUnit), 3u);
    // A sky crop: no black and no clipped white.
    for (std::size_t i = 0; i < p.pixelBytes(); ++i) {
        ASSERT_GT(p.pixels()[i], 5);
        ASSERT_LT(p.pixels()[i], 255);
    }
}

TEST(PngRead, BrokenFilesFailWithAReason) {
    for (const char* file :
         {"broken/png_bad_idat_crc_xcsn0g01.png", "broken/png_bad_ihdr_crc_xhdn0g08.png"}) {
        VELANOX_TEST_FILE(path, file);
        Picture p;
        const core::Status failed = p.load(path);
        EXPECT_FALSE(failed.ok()) << file;
        EXPECT_FALSE(failed.reason.empty()) << file;
    }
    VELANOX_TEST_FILE(path, "formats/png_rgb_phys96_coffee.png");
    const std::vector<uint8_t> bytes = test::fileBytes(path);
    for (std::size_t n = 0; n < bytes.size(); n += 4999) {
        Picture p;
        EXPECT_FALSE(codec::readPng({bytes.data(), n}, p, {}).ok()) << n;
    }
}

TEST(PngWrite, RoundTripsAreLossless) {
    Picture rgb;
    test::fillRandom(rgb, 37, 23, 11);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(codec::writePng(rgb, bytes).ok());
    Picture back;
    ASSERT_TRUE(codec::readPng(test::span(bytes), back, {}).ok());
    EXPECT_EQ(back.info.format, kFormatPng);
    EXPECT_EQ(test::maxDifference(back, rgb), 0);

    Picture indexed;
    ASSERT_TRUE(indexed.allocate(19, 5, 8).ok());
    for (std::size_t i = 0; i < indexed.pixelBytes(); ++i)
        indexed.pixels()[i] = uint8_t(i * 7);
    for (int i = 0; i < 256; ++i)
        indexed.palette[std::size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0};
    indexed.paletteSize = 256;
    ASSERT_TRUE(codec::writePng(indexed, bytes).ok());
    ASSERT_TRUE(codec::readPng(test::span(bytes), back, {}).ok());
    EXPECT_EQ(back.info.format, kFormatPng8);
    EXPECT_EQ(std::memcmp(back.pixels(), indexed.pixels(), indexed.pixelBytes()), 0);
    EXPECT_EQ(back.palette[9].green, 246);

    Picture bits;
    ASSERT_TRUE(bits.allocate(13, 3, 1).ok());
    for (std::size_t i = 0; i < bits.pixelBytes(); ++i)
        bits.pixels()[i] = uint8_t(0x5A + i * 31);
    for (int y = 0; y < 3; ++y)
        bits.pixels()[y * 2 + 1] &= 0xF8; // padding bits stay zero
    bits.palette[0] = {0, 0, 0, 0};
    bits.palette[1] = {255, 255, 255, 0};
    bits.paletteSize = 2;
    ASSERT_TRUE(codec::writePng(bits, bytes).ok());
    ASSERT_TRUE(codec::readPng(test::span(bytes), back, {}).ok());
    EXPECT_EQ(back.info.format, kFormatPng1);
    for (std::size_t i = 0; i < bits.pixelBytes(); ++i)
        EXPECT_EQ(back.pixels()[i], bits.pixels()[i]) << i;
}

TEST(PngWrite, MarkedSrgbWithResolution) {
    Picture p;
    test::fillRandom(p, 4, 4, 12);
    p.writeOptions.set(kSaveXResolution, 300u);
    p.writeOptions.set(kSaveYResolution, 150u);
    p.writeOptions.set(kSaveResolutionUnit, 2u);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(codec::writePng(p, bytes).ok());
    ASSERT_EQ(chunk(bytes, "sRGB").size(), 1u);
    const std::vector<uint8_t> gama = chunk(bytes, "gAMA");
    ASSERT_EQ(gama.size(), 4u);
    EXPECT_EQ(bigEndian(gama, 0), 45455u);
    const std::vector<uint8_t> phys = chunk(bytes, "pHYs");
    ASSERT_EQ(phys.size(), 9u);
    EXPECT_EQ(bigEndian(phys, 0), 11811u);
    EXPECT_EQ(bigEndian(phys, 4), 5906u);
    EXPECT_EQ(phys[8], 1); // per metre

    Picture back;
    ASSERT_TRUE(codec::readPng(test::span(bytes), back, {}).ok());
    EXPECT_EQ(back.info.xResolution, 118u);
    EXPECT_EQ(back.info.resolutionUnit, 3u);

    p.writeOptions.set(kSaveResolutionUnit, 1u); // aspect ratio only
    ASSERT_TRUE(codec::writePng(p, bytes).ok());
    const std::vector<uint8_t> aspect = chunk(bytes, "pHYs");
    ASSERT_EQ(aspect.size(), 9u);
    EXPECT_EQ(bigEndian(aspect, 0), 300u);
    EXPECT_EQ(aspect[8], 0);
    ASSERT_TRUE(codec::readPng(test::span(bytes), back, {}).ok());
    EXPECT_EQ(back.info.xResolution, 300u);
    EXPECT_EQ(back.info.yResolution, 150u);
    EXPECT_EQ(back.info.resolutionUnit, 1u);
}

} // namespace
} // namespace velanox::codec
