// Today's formats and colour profiles on real files: the HEIF, AVIF, WebP and JPEG XL readers
// against each format's own reference decoder, profiles carried through every writer that can
// hold one, transparency put over white, and crafted headers refused before decoding.
#include "codec/avif/avif_codec.h"
#include "codec/bmp/bmp_codec.h"
#include "codec/codec_test_files.h"
#include "codec/heif/heif_codec.h"
#include "codec/jpeg/jpeg_codec.h"
#include "codec/jxl/jxl_codec.h"
#include "codec/magick/magick_codec.h"
#include "codec/picture.h"
#include "codec/png/png_codec.h"
#include "codec/tiff/tiff_codec.h"
#include "codec/webp/webp_codec.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <png.h>
#include <string>
#include <vector>

namespace velanox::codec {
namespace {

using test::fileBytes;
using test::span;

using ReadFn = codec::Status (*)(codec::ByteSpan, Picture&, const codec::ReadOptions&);
using WriteFn = codec::Status (*)(const Picture&, std::vector<uint8_t>&);

codec::Status readFile(const std::string& path, ReadFn read, Picture& out) {
    const std::vector<uint8_t> bytes = fileBytes(path);
    return read(span(bytes), out, codec::ReadOptions{});
}

// ---- the new readers against the reference decoders ----------------------------------------

struct ReferenceCase {
    const char* file;
    ReadFn read;
    const char* tool;       ///< reference decoder
    const char* options;    ///< before the input name
    const char* outputFlag; ///< between the input and output names
    /// The reference tool leaves the EXIF orientation to the viewer while our reader applies it
    /// (as for a JPEG).
    bool referenceUnturned;
    int width, height; ///< as shown
};

std::ostream& operator<<(std::ostream& os, const ReferenceCase& c) {
    return os << c.file;
}

class ReferenceDecoder : public ::testing::TestWithParam<ReferenceCase> {};

// Our reader's pixels lie within 1 of the format's reference decoder's (its PNG read by our PNG
// reader, which puts transparency over white the same way). The HEIC's container turn is done
// once by libheif: its EXIF orientation 6 must not turn it again.
TEST_P(ReferenceDecoder, PixelsWithinOneOfTheReferenceDecoder) {
    const ReferenceCase& c = GetParam();
    VELANOX_TEST_FILE(path, std::string("modern/") + c.file);
    const std::string tool = test::findTool(c.tool);
    if (tool.empty()) {
        if (test::missingFilesFail())
            FAIL() << c.tool << " is not installed (scripts/install-deps)";
        GTEST_SKIP() << c.tool << " is not installed (scripts/install-deps)";
    }
    Picture ours;
    const codec::Status status = readFile(path, c.read, ours);
    ASSERT_TRUE(status.ok()) << status.reason;
    EXPECT_EQ(ours.bitsPerPixel, 24);
    EXPECT_EQ(ours.width, c.width);
    EXPECT_EQ(ours.height, c.height);

    test::ScratchFolder scratch;
    const std::string png = scratch.file("reference.png");
    const std::string command = "'" + tool + "' " + c.options + " '" + path + "' " + c.outputFlag +
                                " '" + png + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    Picture reference;
    const codec::Status refStatus = readFile(png, codec::readPng, reference);
    ASSERT_TRUE(refStatus.ok()) << refStatus.reason;
    if (reference.bitsPerPixel != 24) {
        Picture expanded;
        test::expandToRgb(reference, expanded);
        ASSERT_TRUE(reference.copyFrom(expanded).ok());
    }
    if (c.referenceUnturned) ASSERT_TRUE(reference.applyOrientation(ours.info.orientation).ok());

    EXPECT_LE(test::maxDifference(ours, reference), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Modern, ReferenceDecoder,
    ::testing::Values(ReferenceCase{"heic_apple_iphone13pro_orient6_displayp3.heic",
                                    codec::readHeif, "heif-convert", "", "", false, 3024, 4032},
                      // 10-bit 4:2:0 reduced to 8 bits with rounding, as avifdec -d 8 does.
                      ReferenceCase{"avif_10bit_420_nclx_hato_photo.avif", codec::readAvif,
                                    "avifdec", "-d 8 -j 1", "", false, 3078, 2048},
                      ReferenceCase{"avif_8bit_444_icc_exif_xmp_paris.avif", codec::readAvif,
                                    "avifdec", "-d 8 -j 1", "", false, 403, 302},
                      // avifdec ignores the container's rotation; libheif applies it as we do.
                      ReferenceCase{"avif_8bit_alpha_irot_abc.avif", codec::readAvif,
                                    "heif-convert", "", "", false, 256, 512},
                      ReferenceCase{"webp_lossy_icc_srgb_exif_xmp_flower2.webp", codec::readWebp,
                                    "dwebp", "-quiet", "-o", false, 300, 225},
                      ReferenceCase{"webp_lossy_alpha_dice.webp", codec::readWebp, "dwebp",
                                    "-quiet", "-o", false, 200, 150},
                      ReferenceCase{"webp_lossless_alpha_rose.webp", codec::readWebp, "dwebp",
                                    "-quiet", "-o", false, 400, 301},
                      ReferenceCase{"webp_lossy_exif_orient6_hopper.webp", codec::readWebp, "dwebp",
                                    "-quiet", "-o", true, 128, 128},
                      ReferenceCase{"jxl_lossy_bicycles.jxl", codec::readJxl, "djxl",
                                    "--bits_per_sample=8", "", false, 1024, 631},
                      ReferenceCase{"jxl_lossless_lz77_flower.jxl", codec::readJxl, "djxl",
                                    "--bits_per_sample=8", "", false, 834, 244},
                      ReferenceCase{"jxl_jpeg_recompressed_orient5_icc_exif.jxl", codec::readJxl,
                                    "djxl", "--bits_per_sample=8", "", false, 606, 500}));

// ---- colour profiles -----------------------------------------------------------------------

struct ProfileSource {
    const char* file;
    ReadFn read;
};

// A profile read from each kind of file comes back byte for byte from every writer that can
// hold one. The pictures written are small copies with the profile attached.
TEST(ColorProfile, EveryProfileReadSurvivesEveryWriter) {
    const ProfileSource sources[] = {
        {"modern/jpeg_prophoto_icc_nebula.jpg", codec::readJpeg},
        {"modern/png_iccp_colormatch_rgba_xmp_orient3.png", codec::readPng},
        {"modern/webp_lossy_icc_srgb_exif_xmp_flower2.webp", codec::readWebp},
        {"modern/avif_8bit_444_icc_exif_xmp_paris.avif", codec::readAvif},
        {"modern/heic_apple_iphone13pro_orient6_displayp3.heic", codec::readHeif},
        {"modern/jxl_jpeg_recompressed_orient5_icc_exif.jxl", codec::readJxl},
    };
    struct Pair {
        const char* name;
        WriteFn write;
        ReadFn read;
    };
    const Pair pairs[] = {
        {"JPEG", codec::writeJpeg, codec::readJpeg},  {"PNG", codec::writePng, codec::readPng},
        {"TIFF", codec::writeTiff, codec::readTiff},  {"PSD", codec::writePsd, codec::readPsd},
        {"WebP", codec::writeWebp, codec::readWebp},  {"AVIF", codec::writeAvif, codec::readAvif},
        {"JPEG XL", codec::writeJxl, codec::readJxl},
    };
    for (const ProfileSource& source : sources) {
        VELANOX_TEST_FILE(path, source.file);
        Picture read;
        const codec::Status status = readFile(path, source.read, read);
        ASSERT_TRUE(status.ok()) << source.file << ": " << status.reason;
        ASSERT_FALSE(read.info.iccProfile.empty()) << source.file;
        for (const uint32_t quality : {90u, 100u}) {
            Picture small;
            test::fillRandom(small, 40, 24, 7);
            small.info.iccProfile = read.info.iccProfile;
            small.writeOptions.set(kQuality, uint32_t(quality));
            for (const Pair& pair : pairs) {
                SCOPED_TRACE(std::string(source.file) + " -> " + pair.name + " at " +
                             std::to_string(quality));
                std::vector<uint8_t> bytes;
                const codec::Status written = pair.write(small, bytes);
                ASSERT_TRUE(written.ok()) << written.reason;
                Picture back;
                const codec::Status reread = pair.read(span(bytes), back, codec::ReadOptions{});
                ASSERT_TRUE(reread.ok()) << reread.reason;
                EXPECT_EQ(back.info.iccProfile, read.info.iccProfile);
            }
        }
    }
}

TEST(ColorProfile, ThePhoneHeicCarriesDisplayP3AndItsExif) {
    VELANOX_TEST_FILE(path, "modern/heic_apple_iphone13pro_orient6_displayp3.heic");
    Picture heic;
    ASSERT_TRUE(readFile(path, codec::readHeif, heic).ok());
    ASSERT_EQ(heic.info.iccProfile.size(), 548u);
    const std::string profile(heic.info.iccProfile.begin(), heic.info.iccProfile.end());
    EXPECT_NE(profile.find("Display P3"), std::string::npos);
    EXPECT_EQ(heic.info.orientation, 6);
    EXPECT_TRUE(heic.info.exif.present);
    EXPECT_EQ(heic.info.exif.iso, 40);
    EXPECT_EQ(heic.info.exif.model, "iPhone 13 Pro");

    // Saved as JPEG, the EXIF keeps orientation 6 and the pixels are stored turned back, so the
    // JPEG shows upright exactly like the HEIC: the turn is applied once on each side.
    std::vector<uint8_t> jpeg;
    heic.writeOptions.set(kQuality, uint32_t(95));
    ASSERT_TRUE(codec::writeJpeg(heic, jpeg).ok());
    Picture back;
    ASSERT_TRUE(codec::readJpeg(span(jpeg), back, codec::ReadOptions{}).ok());
    EXPECT_EQ(back.width, 3024);
    EXPECT_EQ(back.height, 4032);
    EXPECT_EQ(back.info.orientation, 6);
    EXPECT_EQ(back.info.iccProfile, heic.info.iccProfile);
    EXPECT_LT(test::sampledMeanDifference(back, heic), 2.0);
}

TEST(ColorProfile, NclxWithoutProfileBecomesAProfileUnlessItIsSrgb) {
    // BT.709 primaries with the sRGB curve are sRGB: no profile; P3 with PQ needs one.
    VELANOX_TEST_FILE(hato, "modern/avif_10bit_420_nclx_hato_photo.avif");
    Picture srgb;
    ASSERT_TRUE(readFile(hato, codec::readAvif, srgb).ok());
    EXPECT_TRUE(srgb.info.iccProfile.empty());
    VELANOX_CORPUS_FILE(cosmos, "modern/avif_10bit_444_p3_pq_hdr_cosmos.avif");
    Picture p3;
    ASSERT_TRUE(readFile(cosmos, codec::readAvif, p3).ok());
    EXPECT_FALSE(p3.info.iccProfile.empty());
}

// ---- transparency --------------------------------------------------------------------------

// A PNG decoded by libpng to 16-bit RGBA (palette, grey and tRNS expanded) and put over white
// in 16 bits, then rounded to 8: the reference for the reader's compositing.
std::vector<uint8_t> referenceOverWhite(const std::string& path, int& width, int& height) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> rgb, rows;
    std::vector<png_bytep> pointers;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return {};
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_expand_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xffff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    width = int(png_get_image_width(png, info));
    height = int(png_get_image_height(png, info));
    rows.resize(std::size_t(width) * height * 8);
    pointers.resize(std::size_t(height));
    for (int y = 0; y < height; ++y)
        pointers[std::size_t(y)] = rows.data() + std::size_t(y) * width * 8;
    png_read_image(png, pointers.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    rgb.resize(std::size_t(width) * height * 3);
    for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
        const uint8_t* p = &rows[i * 8];
        const double a = (p[6] << 8 | p[7]) / 65535.0;
        for (int c = 0; c < 3; ++c) {
            const double v = (p[2 * c] << 8 | p[2 * c + 1]) / 65535.0;
            rgb[i * 3 + c] = uint8_t(std::lround((v * a + (1 - a)) * 255));
        }
    }
    return rgb;
}

// PngSuite's alpha, grey-alpha and tRNS files (8- and 16-bit, palette, interlaced): what lies
// under transparent pixels never shows; every pixel is its colour over white within 1.
TEST(Transparency, PngSuiteAlphaFilesArePutOverWhite) {
    for (const char* name : {"basn4a08", "basn4a16", "basn6a08", "basn6a16", "ibasn6a08",
                             "ftbrn2c08", "ftbwn0g16", "ftbbn3p08"}) {
        SCOPED_TRACE(name);
        VELANOX_TEST_FILE(path, std::string("formats/pngsuite/") + name + ".png");
        Picture read;
        ASSERT_TRUE(readFile(path, codec::readPng, read).ok());
        Picture rgb;
        test::expandToRgb(read, rgb);
        int width = 0, height = 0;
        const std::vector<uint8_t> expected = referenceOverWhite(path, width, height);
        ASSERT_EQ(rgb.width, width);
        ASSERT_EQ(rgb.height, height);
        int worst = 0;
        for (std::size_t i = 0; i < expected.size(); ++i)
            worst = std::max(worst, std::abs(int(rgb.pixels()[i]) - int(expected[i])));
        EXPECT_LE(worst, 1);
    }
}

// A 2x1 bitmap of 32 bits per pixel: blue, green, red and a fourth byte, 0 for the first pixel
// and `alpha` for the second.
std::vector<uint8_t> bmp32(int headerSize, uint32_t compression, uint32_t alphaMask,
                           uint8_t alpha = 0) {
    std::vector<uint8_t> b(14 + std::size_t(headerSize) + 8, 0);
    const auto put32 = [&](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + std::size_t(i)] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, uint32_t(b.size()));
    put32(10, uint32_t(14 + headerSize));
    put32(14, uint32_t(headerSize));
    put32(18, 2);
    put32(22, 1);
    b[26] = 1;
    b[28] = 32;
    put32(30, compression);
    put32(34, 8);
    if (compression == 3) {
        put32(54, 0x00ff0000);
        put32(58, 0x0000ff00);
        put32(62, 0x000000ff);
        put32(66, alphaMask);
    }
    const std::size_t pixels = 14 + std::size_t(headerSize);
    const uint8_t data[8] = {0x20, 0x40, 0xc0, 0x00, 0x10, 0x80, 0x30, alpha};
    std::copy(data, data + 8, b.begin() + long(pixels));
    return b;
}

TEST(Transparency, BitmapFourthByteIsAlphaOnlyWhenDeclared) {
    {
        // No mask (BI_RGB) or a V4 header without an alpha mask: the zero bytes are padding.
        for (const auto& bytes : {bmp32(40, 0, 0), bmp32(108, 3, 0)}) {
            Picture read;
            const codec::Status status = codec::readBmp(span(bytes), read, codec::ReadOptions{});
            ASSERT_TRUE(status.ok()) << status.reason;
            ASSERT_EQ(read.bitsPerPixel, 24);
            EXPECT_EQ(test::pixelAt(read, 0, 0)[0], 0xc0);
            EXPECT_EQ(test::pixelAt(read, 0, 0)[1], 0x40);
            EXPECT_EQ(test::pixelAt(read, 0, 0)[2], 0x20);
            EXPECT_EQ(test::pixelAt(read, 1, 0)[0], 0x30);
        }
    }
    // A declared alpha mask: the first pixel is fully transparent, so white; the second opaque.
    const std::vector<uint8_t> bytes = bmp32(108, 3, 0xff000000, 0xff);
    Picture read;
    ASSERT_TRUE(codec::readBmp(span(bytes), read, codec::ReadOptions{}).ok());
    EXPECT_EQ(test::pixelAt(read, 0, 0)[0], 255);
    EXPECT_EQ(test::pixelAt(read, 0, 0)[1], 255);
    EXPECT_EQ(test::pixelAt(read, 0, 0)[2], 255);
    EXPECT_EQ(test::pixelAt(read, 1, 0)[0], 0x30);
    EXPECT_EQ(test::pixelAt(read, 1, 0)[2], 0x10);
}

// ---- limits and crafted headers ------------------------------------------------------------

// The fuzz seeds with sizes patched to huge values or cut short: each reader refuses them with
// a reason, quickly, without allocating what the header claims.
TEST(ModernLimits, CraftedHeadersAreRefused) {
    const std::filesystem::path seeds =
        std::filesystem::path(test::testDataFolder()) / ".." / ".." / "fuzz" / "corpus";
    struct Hostile {
        const char* file;
        ReadFn read;
    };
    const Hostile hostile[] = {
        {"heif/ispe_65535x65535.heic", codec::readHeif},
        {"heif/ispe_zero.heic", codec::readHeif},
        {"heif/truncated.heic", codec::readHeif},
        {"avif/ispe_100000x100000.avif", codec::readAvif},
        {"avif/ispe_4000000000x1.avif", codec::readAvif},
        {"avif/truncated.avif", codec::readAvif},
        {"webp/vp8x_canvas_16777216.webp", codec::readWebp},
        {"webp/vp8l_16384x16384.webp", codec::readWebp},
        {"webp/animated_no_frames.webp", codec::readWebp},
        {"jxl/codestream_all_ones.jxl", codec::readJxl},
        {"jxl/truncated.jxl", codec::readJxl},
    };
    for (const Hostile& h : hostile) {
        SCOPED_TRACE(h.file);
        const std::vector<uint8_t> bytes = fileBytes((seeds / h.file).string());
        ASSERT_FALSE(bytes.empty());
        Picture read;
        const codec::Status status = h.read(span(bytes), read, codec::ReadOptions{});
        EXPECT_FALSE(status.ok());
        EXPECT_FALSE(status.reason.empty());
        EXPECT_FALSE(read.hasPixels());
    }
}

TEST(ModernLimits, OurSizeLimitsHoldForEveryNewReader) {
    struct Case {
        const char* file;
        ReadFn read;
    };
    for (const Case& c :
         {Case{"modern/heic_apple_iphone13pro_orient6_displayp3.heic", codec::readHeif},
          Case{"modern/avif_8bit_444_icc_exif_xmp_paris.avif", codec::readAvif},
          Case{"modern/webp_lossless_alpha_rose.webp", codec::readWebp},
          Case{"modern/jxl_lossy_bicycles.jxl", codec::readJxl}}) {
        SCOPED_TRACE(c.file);
        VELANOX_TEST_FILE(path, c.file);
        const std::vector<uint8_t> bytes = fileBytes(path);
        codec::ReadOptions options;
        options.limits.maxDimension = 200;
        Picture read;
        codec::Status status = c.read(span(bytes), read, options);
        EXPECT_EQ(status.code, codec::StatusCode::TooLarge) << status.reason;
        options = {};
        options.limits.maxPixels = 10000;
        status = c.read(span(bytes), read, options);
        EXPECT_EQ(status.code, codec::StatusCode::TooLarge) << status.reason;
    }
}

} // namespace
} // namespace velanox::codec
