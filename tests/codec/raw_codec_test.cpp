#include "codec/raw/raw_codec.h"

#include "codec/exif/file_info_text.h"
#include "codec_test_files.h"
#include "support/synthetic_dng.h"
#include "support/test_files.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace velanox::codec {
namespace {

/// A picture as the decoder's own command-line tool writes it with the arguments this program
/// gives its decoder: camera white balance, bilinear demosaicing, four-colour interpolation.
struct ReferenceDecode {
    bool ran = false;
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

ReferenceDecode decodeWithTool(const std::string& tool, const std::string& path) {
    ReferenceDecode out;
    const std::string command = "'" + tool + "' -w -q 0 -f -Z - '" + path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return out;
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    // "P6\n<width> <height>\n255\n" and the pixels.
    int maxValue = 0, headerLength = 0;
    if (std::sscanf(reinterpret_cast<const char*>(bytes.data()), "P6 %d %d %d%n", &out.width,
                    &out.height, &maxValue, &headerLength) != 3 ||
        maxValue != 255)
        return out;
    const std::size_t start = std::size_t(headerLength) + 1;
    const std::size_t size = std::size_t(out.width) * out.height * 3;
    if (bytes.size() < start + size) return out;
    out.rgb.assign(bytes.begin() + std::ptrdiff_t(start),
                   bytes.begin() + std::ptrdiff_t(start + size));
    out.ran = true;
    return out;
}

std::string rawTool() {
    return test::findTool("dcraw_emu");
}

#define VELANOX_RAW_TOOL(var)                                                                      \
    const std::string var = rawTool();                                                             \
    if (var.empty()) {                                                                             \
        if (test::missingFilesFail()) FAIL() << "dcraw_emu (libraw-bin) is not installed";         \
        GTEST_SKIP() << "dcraw_emu (libraw-bin) is not installed";                                 \
    }

struct Comparison {
    double meanDifference = 0;
    int largestDifference = 0;
};

Comparison compare(const Picture& picture, const ReferenceDecode& reference) {
    Comparison c;
    double sum = 0;
    for (std::size_t i = 0; i < reference.rgb.size(); ++i) {
        const int d = std::abs(int(picture.pixels()[i]) - int(reference.rgb[i]));
        sum += d;
        c.largestDifference = std::max(c.largestDifference, d);
    }
    c.meanDifference = sum / double(reference.rgb.size());
    return c;
}

// The size, and the pixels up to the rounding of the two tone curves (the tool's is computed
// to more places than the one this program uses).
void expectLikeTheTool(const std::string& tool, const std::string& path, const Picture& picture,
                       int expectedWidth, int expectedHeight) {
    const ReferenceDecode reference = decodeWithTool(tool, path);
    ASSERT_TRUE(reference.ran) << "dcraw_emu wrote no picture";
    EXPECT_EQ(reference.width, expectedWidth);
    EXPECT_EQ(reference.height, expectedHeight);
    ASSERT_EQ(picture.width, reference.width);
    ASSERT_EQ(picture.height, reference.height);
    const Comparison c = compare(picture, reference);
    EXPECT_LT(c.meanDifference, 0.6);
    EXPECT_LE(c.largestDifference, 3);
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    test::writeBytes(path, bytes);
}

Status decodeBytes(const std::vector<uint8_t>& bytes, Picture& picture) {
    return decodeRaw(ByteSpan{bytes.data(), bytes.size()}, picture);
}

TEST(RawCodec, CameraFilesDecodeToTheirSize) {
    struct RawCase {
        const char* file;
        int width, height;
    };
    const RawCase cases[] = {{"raw/canon_powershot_g2_CRW_0304.crw", 2312, 1720},
                             {"raw/apple_quicktake100_TEST100.qtk", 640, 480},
                             {"raw/apple_quicktake150_TEST150.qtk", 640, 480}};
    for (const RawCase& c : cases) {
        SCOPED_TRACE(c.file);
        VELANOX_TEST_FILE(path, c.file);
        const std::vector<uint8_t> bytes = test::fileBytes(path);
        EXPECT_TRUE(probeRaw({bytes.data(), bytes.size()}));
        Picture picture;
        picture.info.orientation = 6;
        const Status s = readRaw({bytes.data(), bytes.size()}, picture, {});
        ASSERT_TRUE(s.ok()) << s.reason;
        EXPECT_EQ(picture.width, c.width);
        EXPECT_EQ(picture.height, c.height);
        EXPECT_EQ(picture.bitsPerPixel, 24);
        EXPECT_EQ(picture.info.format, kFormatAuto);
        EXPECT_EQ(picture.info.fileWidth, c.width);
        EXPECT_EQ(picture.info.orientation, 1);
        EXPECT_EQ(picture.info.xResolution, 300u);
        EXPECT_EQ(picture.info.resolutionUnit, 1u);
    }
}

TEST(RawCodec, ColorCheckerKeepsItsGreyPatchesNeutral) {
    // The G2 file shows a colour checker; with the camera's white balance the mid-grey patch in
    // the bottom row comes out without a cast.
    VELANOX_TEST_FILE(path, "raw/canon_powershot_g2_CRW_0304.crw");
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

// The decoder's command-line tool is the reference for the picture a raw file gives.
TEST(RawGeometry, CameraFilesMatchTheDecodersTool) {
    VELANOX_RAW_TOOL(tool);
    for (const char* file :
         {"raw/apple_quicktake100_TEST100.qtk", "raw/apple_quicktake150_TEST150.qtk",
          "raw/canon_powershot_g2_CRW_0304.crw"}) {
        SCOPED_TRACE(file);
        VELANOX_TEST_FILE(path, file);
        Picture picture;
        ASSERT_TRUE(decodeRaw(path, picture).ok());
        expectLikeTheTool(tool, path, picture, picture.width, picture.height);
    }
}

TEST(RawGeometry, LargeCorpusRawMatchesTheDecodersTool) {
    VELANOX_RAW_TOOL(tool);
    VELANOX_CORPUS_FILE(path, "raw/canon_eos_d30_longexposure.crw");
    Picture picture;
    ASSERT_TRUE(decodeRaw(path, picture).ok());
    expectLikeTheTool(tool, path, picture, 2176, 1448);
}

// Non-square pixels are stretched square, wider or taller, and a SuperCCD picture (rows read
// staggered) is turned upright, to the size and pixels the tool writes.
TEST(RawGeometry, StretchedAndTurnedPicturesMatchTheDecodersTool) {
    VELANOX_RAW_TOOL(tool);
    struct GeometryCase {
        const char* name;
        double scaleX, scaleY;
        bool staggered;
        int width, height;
    };
    const GeometryCase cases[] = {
        {"square", 1, 1, false, 96, 64},
        {"wide pixels", 2, 1, false, 192, 64},
        {"tall pixels", 1, 2, false, 96, 128},
        // As a Kodak DC120's 848 x 976 sensor becomes 1301 x 976: 1.5346 times as wide.
        {"DC120 shape", 976 / 0.75 / 848, 1, false, 147, 64},
        {"SuperCCD", 1, 1, true, 66, 90},
    };
    test::ScratchFolder folder;
    for (const GeometryCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::SyntheticDng shot;
        shot.width = 96;
        shot.height = 64;
        shot.scaleX = c.scaleX;
        shot.scaleY = c.scaleY;
        shot.staggered = c.staggered;
        const std::vector<uint8_t> bytes = test::makeSyntheticDng(shot);
        const std::string path = folder.file(std::string(c.name) + ".dng");
        writeFile(path, bytes);
        Picture picture;
        const Status s = decodeBytes(bytes, picture);
        ASSERT_TRUE(s.ok()) << s.reason;
        EXPECT_EQ(picture.width, c.width);
        EXPECT_EQ(picture.height, c.height);
        expectLikeTheTool(tool, path, picture, c.width, c.height);
    }
}

TEST(RawGeometry, AbsurdPixelShapesAreRefused) {
    // No camera has pixels nine times as wide as tall (the decoder itself refuses beyond ten).
    for (double scale : {9.5, 1 / 9.5}) {
        test::SyntheticDng shot;
        shot.scaleX = scale;
        Picture picture;
        const Status s = decodeBytes(test::makeSyntheticDng(shot), picture);
        EXPECT_EQ(s.code, StatusCode::Corrupt) << scale;

        EXPECT_NE(s.reason.find("pixel shape"), std::string::npos) << s.reason;
        EXPECT_FALSE(picture.hasPixels());
    }
}

TEST(RawGeometry, StretchedSizeIsCheckedAgainstTheLimitsBeforeDecoding) {
    test::SyntheticDng shot;
    shot.width = 96;
    shot.height = 64;
    shot.scaleX = 4; // 384 wide once stretched
    Limits limits;
    limits.maxDimension = 300;
    Picture picture;
    const std::vector<uint8_t> bytes = test::makeSyntheticDng(shot);
    EXPECT_EQ(decodeRaw(ByteSpan{bytes.data(), bytes.size()}, picture, limits).code,
              StatusCode::TooLarge);
}

// Pictures that are nearly one colour or perfectly smooth are still pictures.
TEST(RawCodec, DarkClippedAndSmoothFramesAreAccepted) {
    struct FrameCase {
        const char* name;
        std::function<int(int, int, int)> value;
    };
    const FrameCase cases[] = {
        {"lens cap: black with a little noise",
         [](int x, int y, int) { return ((x * 7 + y * 13) % 5); }},
        {"lens cap: all zero", [](int, int, int) { return 0; }},
        {"clipped: everything at the white level", [](int, int, int) { return 4095; }},
        {"smooth gradient without noise",
         [](int x, int y, int channel) { return 200 + x * 20 + y * 10 + channel * 100; }},
        {"vertical stripes, every row alike", [](int x, int, int) { return (x / 8) * 300; }},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::SyntheticDng shot;
        shot.value = c.value;
        Picture picture;
        const Status s = decodeBytes(test::makeSyntheticDng(shot), picture);
        ASSERT_TRUE(s.ok()) << s.reason;
        EXPECT_EQ(picture.width, shot.width);
        EXPECT_EQ(picture.height, shot.height);
    }
}

TEST(RawCodec, DamagedOrTruncatedRawsFailWithTheirCause) {
    // The image data of this NEF was cut down to 18 bytes: the decoder reports it damaged.
    {
        VELANOX_TEST_FILE(path, "broken/raw_stripped_nikon_d70.nef");
        Picture picture;
        const Status s = decodeRaw(path, picture);
        EXPECT_EQ(s.code, StatusCode::Corrupt);
        EXPECT_EQ(s.reason, "Camera raw: the image data is damaged.");
        EXPECT_FALSE(picture.hasPixels());
    }
    // A raw file that ends part of the way through its image data.
    test::SyntheticDng shot;
    std::vector<uint8_t> bytes = test::makeSyntheticDng(shot);
    bytes.resize(bytes.size() - std::size_t(shot.width) * shot.height); // half the pixels
    Picture picture;
    const Status s = decodeBytes(bytes, picture);
    EXPECT_EQ(s.code, StatusCode::Corrupt);
    EXPECT_EQ(s.reason, "Camera raw: the file ends before its image data does.");
    EXPECT_FALSE(picture.hasPixels());
    // Even the last two bytes missing.
    bytes = test::makeSyntheticDng(shot);
    bytes.resize(bytes.size() - 2);
    EXPECT_EQ(decodeBytes(bytes, picture).reason,
              "Camera raw: the file ends before its image data does.");
}

TEST(RawCodec, TruncatedCameraRawFromTheCorpusFails) {
    // A Sony ARW whose image data lies entirely beyond the end of the file.
    VELANOX_CORPUS_FILE(path, "broken/raw_truncated_sony_slt-a55.arw");
    Picture picture;
    const Status s = decodeRaw(path, picture);
    EXPECT_EQ(s.code, StatusCode::Corrupt);
    EXPECT_EQ(s.reason, "Camera raw: the file ends before its image data does.");
}

TEST(RawCodec, OtherFilesAreNotRaw) {
    for (const char* name : {"formats/bmp_24bit_blauesglas.bmp", "jpeg/flower_no_exif_cjpeg.jpg",
                             "broken/pcx_ossfuzz.pcx"}) {
        SCOPED_TRACE(name);
        VELANOX_TEST_FILE(path, name);
        const std::vector<uint8_t> bytes = test::fileBytes(path);
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
    VELANOX_TEST_FILE(path, "raw/apple_quicktake100_TEST100.qtk");
    Limits limits;
    limits.maxDimension = 600;
    Picture picture;
    EXPECT_EQ(decodeRaw(path, picture, limits).code, StatusCode::TooLarge);
}

// The camera data the decoder reads fills the EXIF summary that File Info shows.
TEST(RawCameraData, DecodedRawsCarryTheCameraData) {
    test::SyntheticDng shot;
    shot.make = "Orvantel";
    shot.model = "R-1";
    shot.dateTime = "2020:11:12 13:14:15";
    shot.iso = 400;
    shot.exposureSeconds = 1.0 / 250;
    shot.fNumber = 2.8;
    Picture picture;
    ASSERT_TRUE(decodeBytes(test::makeSyntheticDng(shot), picture).ok());
    EXPECT_TRUE(picture.info.exif.present);
    EXPECT_EQ(picture.info.exif.make, "Orvantel");
    EXPECT_EQ(picture.info.exif.model, "R-1");
    EXPECT_EQ(picture.info.exif.dateTime, "2020:11:12 13:14:15");
    EXPECT_EQ(picture.info.exif.iso, 400);
    EXPECT_NEAR(picture.info.exif.exposureTime, 0.004, 1e-6);
    EXPECT_NEAR(picture.info.exif.fNumber, 2.8, 1e-4);
    EXPECT_TRUE(picture.info.exifBlock.empty());

    EXPECT_EQ(fileInfoText(picture), "Orvantel R-1\r\n64 x 48\r\n2020:11:12 13:14:15\r\n"
                                     "ISO: 400\r\n1/250\r\nF: 2.8\r\n");

    VELANOX_TEST_FILE(path, "raw/canon_powershot_g2_CRW_0304.crw");
    Picture g2;
    ASSERT_TRUE(decodeRaw(path, g2).ok());
    const std::string text = fileInfoText(g2);
    EXPECT_EQ(text.rfind("Canon PowerShot G2\r\n2312 x 1720\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("ISO: 50\r\n1/50\r\nF: 4.0\r\n"), std::string::npos) << text;
}

TEST(RawCameraData, SummaryLeavesOutWhatTheCameraDidNotRecord) {
    RawCameraData camera;
    EXPECT_FALSE(rawExifSummary(camera).present);
    camera.model = "QuickTake 100";
    camera.isoSpeed = std::nan("");
    camera.shutterSeconds = -1;
    camera.fNumber = std::numeric_limits<double>::infinity();
    const ExifSummary exif = rawExifSummary(camera);
    EXPECT_TRUE(exif.present);
    EXPECT_EQ(exif.dateTime, "");
    EXPECT_EQ(exif.iso, 0);
    EXPECT_EQ(exif.exposureTime, 0);
    EXPECT_EQ(exif.fNumber, 0);
    // LibRaw holds the exposure and aperture as floats: 1/60 s is not to read 1/59.
    camera.shutterSeconds = double(float(1.0 / 60));
    camera.fNumber = double(2.8f);
    EXPECT_EQ(fileInfoText(rawExifSummary(camera), true, 640, 480),
              " QuickTake 100\r\n640 x 480\r\n\r\n1/60\r\nF: 2.8\r\n");
    camera.shutterSeconds = 0.019829; // 1/50.4: not a whole fraction, kept
    EXPECT_NEAR(rawExifSummary(camera).exposureTime, 0.019829, 1e-9);
    camera.shutterSeconds = -1;
    camera.fNumber = std::numeric_limits<double>::infinity();
    // Make, model, size and an empty date line: no ISO, exposure or f-number lines.
    EXPECT_EQ(fileInfoText(exif, true, 640, 480), " QuickTake 100\r\n640 x 480\r\n\r\n");
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

} // namespace
} // namespace velanox::codec
