#include "codec/raw/raw_codec.h"

#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

namespace velanox::codec {
namespace {

std::vector<uint8_t> readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct RawCase {
    const char* file;
    int width, height;
};

TEST(RawCodec, CameraFilesDecodeToTheirSize) {
    const RawCase cases[] = {{"raw/canon_powershot_g2_CRW_0304.crw", 2312, 1720},
                             {"raw/canon_eos_d30_longexposure.crw", 2176, 1448},
                             {"raw/apple_quicktake100_TEST100.qtk", 640, 480},
                             {"raw/apple_quicktake150_TEST150.qtk", 640, 480}};
    for (const RawCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = test::sharedTestFile(c.file);
        if (path.empty()) GTEST_SKIP() << "shared test data absent";
        const std::vector<uint8_t> bytes = readWhole(path);
        EXPECT_TRUE(probeRaw({bytes.data(), bytes.size()}));
        Picture picture;
        picture.orientation = 6;
        const Status s = readRaw({bytes.data(), bytes.size()}, picture, {});
        ASSERT_TRUE(s.ok()) << s.reason;
        EXPECT_EQ(picture.width, c.width);
        EXPECT_EQ(picture.height, c.height);
        EXPECT_EQ(picture.bitsPerPixel, 24);
        EXPECT_EQ(picture.format, kFormatAuto);
        EXPECT_EQ(picture.fileWidth, c.width);
        EXPECT_EQ(picture.orientation, 1);
        EXPECT_EQ(picture.xResolution, 300u);
        EXPECT_EQ(picture.resolutionUnit, 1u);
        EXPECT_FALSE(isNearlyUniform(picture.pixels(), picture.width, picture.height));
    }
}

TEST(RawCodec, ColorCheckerKeepsItsGreyPatchesNeutral) {
    // The G2 file shows a colour checker; with the camera's white balance the mid-grey patch in
    // the bottom row comes out without a cast.
    const std::string path = test::sharedTestFile("raw/canon_powershot_g2_CRW_0304.crw");
    if (path.empty()) GTEST_SKIP() << "shared test data absent";
    Picture picture;
    ASSERT_TRUE(decodeRaw(path, picture).ok());
    // Centre of the fourth patch of the bottom row, at about 57 % across and 78 % down.
    const int x = picture.width * 57 / 100, y = picture.height * 78 / 100;
    const uint8_t* p = picture.pixels() + (std::size_t(y) * picture.width + x) * 3;
    EXPECT_GT(p[1], 60);
    EXPECT_LT(p[1], 200);
    EXPECT_NEAR(p[0], p[1], 20);
    EXPECT_NEAR(p[2], p[1], 20);
}

TEST(RawCodec, DamagedRawsFailWithAReason) {
    for (const char* name :
         {"broken/raw_truncated_sony_slt-a55.arw", "broken/raw_stripped_nikon_d70.nef"}) {
        SCOPED_TRACE(name);
        const std::string path = test::sharedTestFile(name);
        if (path.empty()) GTEST_SKIP() << "shared test data absent";
        Picture picture;
        const Status s = decodeRaw(path, picture);
        EXPECT_EQ(s.code, StatusCode::Corrupt);
        EXPECT_FALSE(s.reason.empty());
        EXPECT_FALSE(picture.hasPixels());
    }
}

TEST(RawCodec, OtherFilesAreNotRaw) {
    for (const char* name : {"formats/bmp_24bit_blauesglas.bmp", "jpeg/flower_no_exif_cjpeg.jpg",
                             "broken/pcx_ossfuzz.pcx"}) {
        const std::string path = test::sharedTestFile(name);
        if (path.empty()) continue;
        const std::vector<uint8_t> bytes = readWhole(path);
        EXPECT_FALSE(probeRaw({bytes.data(), bytes.size()})) << name;
        Picture picture;
        const Status s = decodeRaw({bytes.data(), bytes.size()}, picture);
        EXPECT_FALSE(s.ok()) << name;
        EXPECT_FALSE(s.reason.empty());
    }
    Picture picture;
    EXPECT_EQ(decodeRaw(ByteSpan{}, picture).code, StatusCode::Corrupt);
    EXPECT_EQ(decodeRaw(std::string("/nonexistent/x.crw"), picture).code, StatusCode::CannotOpen);
}

TEST(RawCodec, SizeLimitsAreCheckedBeforeDecoding) {
    const std::string path = test::sharedTestFile("raw/apple_quicktake100_TEST100.qtk");
    if (path.empty()) GTEST_SKIP() << "shared test data absent";
    Limits limits;
    limits.maxDimension = 600;
    Picture picture;
    EXPECT_EQ(decodeRaw(path, picture, limits).code, StatusCode::TooLarge);
}

// A synthetic decoder state: 3 x 2 pixels whose channels encode their position.
struct SyntheticRaw {
    std::vector<uint16_t> image;
    std::vector<std::array<int32_t, 8192>> histogram;
    RawImageView view;

    SyntheticRaw(int width, int height, int flip) : image(std::size_t(width) * height * 4) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint16_t* p = &image[(std::size_t(y) * width + x) * 4];
                p[0] = uint16_t(x * 8192); // red = column
                p[1] = uint16_t(y * 8192); // green = row
                p[2] = 0;
            }
        histogram.assign(3, {});
        histogram[0][8191] = 1000; // white point: bin 8191 for every channel
        view.image = reinterpret_cast<const uint16_t(*)[4]>(image.data());
        view.width = width;
        view.height = height;
        view.flip = flip;
        view.histogram = reinterpret_cast<const int32_t(*)[8192]>(histogram.data());
        view.useGamma = false;
    }
};

TEST(RawConversion, FlipCodesReLayTheImage) {
    // With a linear curve and white 8191 x 8, value v becomes v * 256 / 65528: column 1 -> 32,
    // column 2 -> 64, row 1 -> 32.
    auto columnRow = [](const Picture& p, int x, int y) {
        const uint8_t* q = p.pixels() + (std::size_t(y) * p.width + x) * 3;
        return std::pair<int, int>(q[0] / 32, q[1] / 32);
    };
    struct FlipCase {
        int flip, width, height;
        std::pair<int, int> topLeft, topRight;
    };
    const FlipCase cases[] = {{0, 3, 2, {0, 0}, {2, 0}}, {1, 3, 2, {2, 0}, {0, 0}},
                              {2, 3, 2, {0, 1}, {2, 1}}, {3, 3, 2, {2, 1}, {0, 1}},
                              {5, 2, 3, {2, 0}, {2, 1}}, {6, 2, 3, {0, 1}, {0, 0}}};
    for (const FlipCase& c : cases) {
        SCOPED_TRACE(c.flip);
        SyntheticRaw raw(3, 2, c.flip);
        Picture picture;
        ASSERT_TRUE(convertRawImage(raw.view, picture).ok());
        ASSERT_EQ(picture.width, c.width);
        ASSERT_EQ(picture.height, c.height);
        EXPECT_EQ(columnRow(picture, 0, 0), c.topLeft);
        EXPECT_EQ(columnRow(picture, c.width - 1, 0), c.topRight);
    }
}

TEST(RawConversion, WhitePointFromTheHistogram) {
    SyntheticRaw raw(100, 100, 0); // 10000 pixels: 1 % is 100
    raw.histogram.assign(3, {});
    raw.histogram[1][4000] = 100; // exactly the limit: not beyond it
    raw.histogram[1][3000] = 1;   // the running sum passes the limit here
    raw.histogram[2][2000] = 500;
    EXPECT_FLOAT_EQ(rawWhitePoint(raw.view), 3000.0f * 8);
    raw.view.fujiWidth = 10; // half the limit: channel 1 stops at 4000 already
    EXPECT_FLOAT_EQ(rawWhitePoint(raw.view), 4000.0f * 8);
    raw.view.brightness = 2.0f;
    EXPECT_FLOAT_EQ(rawWhitePoint(raw.view), 4000.0f * 4);
    raw.histogram.assign(3, {}); // nothing bright: bin 32
    raw.view.brightness = 1.0f;
    EXPECT_FLOAT_EQ(rawWhitePoint(raw.view), 32.0f * 8);
}

TEST(RawConversion, GammaCurve) {
    std::vector<uint8_t> curve(65536);
    makeRawCurve(1000.0f, true, curve.data());
    EXPECT_EQ(curve[0], 0);
    EXPECT_EQ(curve[10], int(256 * 0.01 * 4.5));                              // linear toe
    EXPECT_EQ(curve[500], int(256 * (std::pow(0.5f, 0.45) * 1.099 - 0.099))); // power part
    EXPECT_EQ(curve[999], 255);
    EXPECT_EQ(curve[65535], 255);
    makeRawCurve(1000.0f, false, curve.data());
    EXPECT_EQ(curve[500], 128);
}

TEST(RawConversion, UniformityDetection) {
    std::vector<uint8_t> flat(64 * 48 * 3, 7);
    EXPECT_TRUE(isNearlyUniform(flat.data(), 64, 48));
    // Vertical stripes: every row the same.
    std::vector<uint8_t> stripes(64 * 48 * 3);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c)
                stripes[(y * 64 + x) * 3 + c] = uint8_t(x * 37 + c * 50);
    EXPECT_TRUE(isNearlyUniform(stripes.data(), 64, 48));
    const test::TestImage noisy = test::makeNoisyScene(64, 48, 6.0, 3);
    std::vector<uint8_t> rgb(64 * 48 * 3);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(y * 64 + x) * 3 + c] = noisy.at(x, y, c);
    EXPECT_FALSE(isNearlyUniform(rgb.data(), 64, 48));
}

} // namespace
} // namespace velanox::codec
