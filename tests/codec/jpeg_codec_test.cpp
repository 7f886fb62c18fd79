// The JPEG family on camera files and on files the tests write.
#include "codec/codec_test_files.h"
#include "codec/jpeg/jpeg_codec.h"
#include "codec/picture.h"
#include "engine/threads.h"
#include "support/status_assert.h"

#include "support/test_images.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace velanox::codec {

namespace {

using test::pixelAt;

// The APP1 segment of a JPEG file with marker and length bytes, found by walking its markers.
std::vector<uint8_t> exifSegmentOf(const std::vector<uint8_t>& file) {
    std::size_t i = 2;
    std::vector<uint8_t> found;
    while (i + 4 <= file.size() && file[i] == 0xFF && file[i + 1] != 0xDA) {
        const std::size_t length = std::size_t(file[i + 2]) << 8 | file[i + 3];
        if (file[i + 1] == 0xE1 && i + 10 <= file.size() &&
            std::memcmp(&file[i + 4], "Exif", 4) == 0)
            found.assign(file.begin() + long(i), file.begin() + long(i + 2 + length));
        i += 2 + length;
    }
    return found;
}

struct OrientationCase {
    const char* file;
    int orientation, width, height;
};

void expectTurnedWithTheWholeSegment(const std::string& path, const OrientationCase& c) {
    {
        Picture p;
        ASSERT_TRUE(test::succeeded(p.load(path))) << c.file;
        EXPECT_EQ(p.info.orientation, c.orientation) << c.file;
        EXPECT_EQ(p.width, c.width) << c.file;
        EXPECT_EQ(p.height, c.height) << c.file;
        EXPECT_EQ(p.info.fileWidth, c.width);
        EXPECT_EQ(p.info.fileHeight, c.height);
        EXPECT_EQ(p.bitsPerPixel, 24);
        const std::vector<uint8_t> segment = exifSegmentOf(test::fileBytes(path));
        ASSERT_FALSE(segment.empty());
        EXPECT_EQ(p.info.exifBlock, segment) << c.file;
        EXPECT_EQ(p.info.exifLength(), segment.size());
    }
}

TEST(JpegRead, OrientationTurnsThePictureAndKeepsTheWholeSegment) {
    for (const OrientationCase& c :
         {OrientationCase{"jpeg/canon_powershot_sx150is_orient6.jpg", 6, 1200, 1600},
          OrientationCase{"jpeg/nikon_d3100_orient8_14mp.jpg", 8, 3072, 4608}}) {
        VELANOX_TEST_FILE(path, c.file);
        expectTurnedWithTheWholeSegment(path, c);
    }
}

TEST(JpegRead, LargeCorpusPhotosTurnAsTheirOrientationSays) {
    for (const OrientationCase& c :
         {OrientationCase{"jpeg/apple_iphone5_orient3.jpg", 3, 3264, 2448},
          OrientationCase{"jpeg/pentax_istd_no_orientation_tag.jpg", 1, 1536, 1024}}) {
        VELANOX_CORPUS_FILE(path, c.file);
        expectTurnedWithTheWholeSegment(path, c);
    }
}

TEST(JpegRead, RotationMatchesTheUnturnedDecode) {
    VELANOX_TEST_FILE(path, "jpeg/canon_powershot_sx150is_orient6.jpg");
    const std::vector<uint8_t> bytes = test::fileBytes(path);
    Picture turned;
    ASSERT_TRUE(turned.load(path).ok());
    // The same file with its Exif segment made unreadable decodes unturned.
    std::vector<uint8_t> plain = bytes;
    const auto at = std::search(plain.begin(), plain.end(), "Exif", "Exif" + 4);
    ASSERT_NE(at, plain.end());
    *at = 'X';
    Picture upright;
    ASSERT_TRUE(codec::readJpeg(test::span(plain), upright, {}).ok());
    ASSERT_EQ(upright.width, 1600);
    // Rotated clockwise: the upright picture's bottom-left corner is now the top-left one.
    EXPECT_EQ(std::memcmp(pixelAt(turned, 0, 0), pixelAt(upright, 0, 1199), 3), 0);
    EXPECT_EQ(std::memcmp(pixelAt(turned, 1199, 0), pixelAt(upright, 0, 0), 3), 0);
    EXPECT_EQ(std::memcmp(pixelAt(turned, 17, 300), pixelAt(upright, 300, 1199 - 17), 3), 0);
}

TEST(JpegRead, GreyscaleIsReadAsGreyPaletteAndEndsAsGreyRgb) {
    VELANOX_TEST_FILE(path, "jpeg/flower_greyscale_cjpeg.jpg");
    const std::vector<uint8_t> bytes = test::fileBytes(path);
    Picture raw;
    ASSERT_TRUE(codec::readJpeg(test::span(bytes), raw, {}).ok());
    EXPECT_EQ(raw.info.format, kFormatJpegGrey);
    EXPECT_EQ(raw.bitsPerPixel, 8);
    EXPECT_EQ(raw.paletteSize, 256);
    EXPECT_EQ(raw.palette[77].red, 77);
    EXPECT_EQ(raw.palette[77].reserved, 77);

    Picture p;
    ASSERT_TRUE(p.load(path).ok());
    EXPECT_EQ(p.info.format, kFormatJpegGrey);
    EXPECT_EQ(p.bitsPerPixel, 24);
    for (int y = 0; y < p.height; y += 97)
        for (int x = 0; x < p.width; x += 89) {
            const uint8_t* px = pixelAt(p, x, y);
            ASSERT_EQ(px[0],
                      raw.pixels()[std::size_t(y) * std::size_t(raw.width) + std::size_t(x)]);
            ASSERT_EQ(px[0], px[1]);
            ASSERT_EQ(px[1], px[2]);
        }
}

TEST(JpegRead, AdobeCmykBecomesRgbNotANegative) {
    VELANOX_TEST_FILE(path, "jpeg/cmyk_adobe_sample.jpg");
    Picture p;
    ASSERT_TRUE(test::succeeded(p.load(path)));
    EXPECT_EQ(p.info.format, kFormatJpeg);
    EXPECT_EQ(p.width, 160);
    EXPECT_EQ(p.height, 227);
    EXPECT_EQ(p.bitsPerPixel, 24);
    // A book cover: blue border, a map in the middle (colours as ImageMagick converts them;
    // read as a negative the border would come out orange).
    const struct {
        int x, y, r, g, b;
    } samples[] = {{1, 1, 39, 150, 217}, {158, 225, 39, 150, 217}, {80, 110, 167, 134, 96}};
    for (const auto& s : samples) {
        const uint8_t* px = pixelAt(p, s.x, s.y);
        EXPECT_NEAR(px[0], s.r, 8) << s.x << "," << s.y;
        EXPECT_NEAR(px[1], s.g, 8) << s.x << "," << s.y;
        EXPECT_NEAR(px[2], s.b, 8) << s.x << "," << s.y;
    }
    EXPECT_EQ(p.info.xResolution, 96u);
    EXPECT_EQ(p.info.resolutionUnit, 2u);
}

TEST(JpegRead, ReductionFactorFollowsThePreviewLimits) {
    EXPECT_EQ(codec::jpegReductionFactor(1600, 1200, 0, 0), 1);
    EXPECT_EQ(codec::jpegReductionFactor(1600, 1200, 100, 0), 1);
    EXPECT_EQ(codec::jpegReductionFactor(1600, 1200, 199, 149), 8);
    EXPECT_EQ(codec::jpegReductionFactor(1600, 1200, 200, 149), 4); // not below an eighth
    EXPECT_EQ(codec::jpegReductionFactor(1600, 1200, 399, 299), 4);
    EXPECT_EQ(codec::jpegReductionFactor(1600, 1200, 399, 300), 2);
    EXPECT_EQ(codec::jpegReductionFactor(1600, 1200, 799, 599), 2);
    EXPECT_EQ(codec::jpegReductionFactor(1600, 1200, 800, 10), 1);

    VELANOX_TEST_FILE(path, "jpeg/canon_powershot_sx150is_orient6.jpg");
    const std::pair<int, int> expected[] = {{140, 8}, {290, 4}, {500, 2}, {700, 1}};
    for (auto [limit, factor] : expected) {
        Picture p;
        p.setPreviewLimit(limit, limit);
        ASSERT_TRUE(p.load(path).ok());
        EXPECT_EQ(p.width, 1200 / factor) << limit; // turned: 1200 wide
        EXPECT_EQ(p.height, 1600 / factor) << limit;
        EXPECT_EQ(p.info.fileWidth, 1200);
        EXPECT_EQ(p.info.fileHeight, 1600);
    }
}

TEST(JpegRead, DensityAndExifSummaryOfCameraFiles) {
    VELANOX_TEST_FILE(sony, "jpeg/sony_dslr-a100_monochrome_ycbcr_exif.jpg");
    Picture camera;
    ASSERT_TRUE(camera.load(sony).ok());
    EXPECT_EQ(camera.info.xResolution, 438u);
    EXPECT_EQ(camera.info.resolutionUnit, 2u);
    EXPECT_EQ(camera.info.exif.make, "SONY");
    EXPECT_EQ(camera.info.exif.model, "DSLR-A100");
    EXPECT_EQ(camera.info.exif.iso, 100);
    EXPECT_NEAR(camera.info.exif.exposureTime, 1.0 / 160, 1e-9);
    EXPECT_NEAR(camera.info.exif.fNumber, 2.5, 1e-9);

    VELANOX_TEST_FILE(plain, "jpeg/flower_no_exif_cjpeg.jpg");
    ASSERT_TRUE(camera.load(plain).ok());
    EXPECT_TRUE(camera.info.exifBlock.empty());
    EXPECT_FALSE(camera.info.exif.present);
    EXPECT_EQ(camera.info.xResolution, 1u); // JFIF 1:1 without a unit
    EXPECT_EQ(camera.info.resolutionUnit, 1u);
}

TEST(JpegRead, ProgressiveCameraFileOfTheCorpusKeepsItsExif) {
    VELANOX_CORPUS_FILE(path, "jpeg/panasonic_dmc-lc70_progressive_exif.jpg");
    Picture p;
    ASSERT_TRUE(p.load(path).ok());
    EXPECT_EQ(p.info.xResolution, 72u);
    EXPECT_EQ(p.info.resolutionUnit, 2u);
    EXPECT_EQ(p.writeOptions.get(kSaveXResolution), 72u);
    EXPECT_EQ(p.info.exif.make, "Panasonic");
    EXPECT_EQ(p.info.exif.model, "DMC-LC70");
    EXPECT_EQ(p.info.exif.iso, 50);
    EXPECT_NEAR(p.info.exif.exposureTime, 1.0 / 200, 1e-9);
    EXPECT_NEAR(p.info.exif.fNumber, 2.8, 1e-9);
}

TEST(JpegRead, TruncatedCameraFileOfTheCorpusFails) {
    VELANOX_CORPUS_FILE(path, "broken/jpeg_truncated_camera_3648x2736.jpg");
    Picture p;
    const core::Status failed = p.load(path);
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(failed.reason.empty());
    EXPECT_FALSE(p.hasPixels());
}

TEST(JpegRead, EveryBrokenFileFailsWithAReason) {
    for (const char* file : {"broken/jpeg_truncated_tiny.jpg", "broken/jpeg_sos_before_sof.jpg"}) {
        VELANOX_TEST_FILE(path, file);
        Picture p;
        const core::Status failed = p.load(path);
        EXPECT_FALSE(failed.ok()) << file;
        EXPECT_FALSE(failed.reason.empty()) << file;
        EXPECT_FALSE(p.hasPixels());
    }
    // Every prefix of a small file: an error or a picture, never a crash.
    VELANOX_TEST_FILE(path, "jpeg/cmyk_adobe_sample.jpg");
    const std::vector<uint8_t> bytes = test::fileBytes(path);
    for (std::size_t n = 0; n < bytes.size(); n += 97) {
        Picture p;
        const core::Status s = codec::readJpeg({bytes.data(), n}, p, {});
        EXPECT_FALSE(s.ok()) << n;
        EXPECT_FALSE(s.reason.empty());
    }
}

// A large sequential picture is decoded in two bands on two threads; the rows must be those of
// the whole decode on one thread.
TEST(JpegRead, TwoBandsGiveTheRowsOfOneDecode) {
    auto decodeWith = [](int threads, const std::vector<uint8_t>& bytes, Picture& p) {
        engine::setThreadLimit(threads);
        const codec::Status s = codec::readJpeg(test::span(bytes), p, {});
        engine::setThreadLimit(0);
        return s;
    };
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    // Noisy pictures large enough to be banded, in 4:2:0 and 4:4:4, with heights that are and are
    // not whole rows of MCUs.
    for (auto [fullChroma, height] : {std::pair{0u, 1807}, std::pair{1u, 1800}}) {
        Picture p;
        std::mt19937 rng(height);
        test::fillRgb(p, 2411, height, [&](int x, int y) {
            return std::tuple{int(rng() % 64) + x % 160, int(rng() % 64) + y % 128,
                              int(rng() % 64) + (x ^ y) % 96};
        });
        p.writeOptions.set(codec::kQuality, 90u);
        p.writeOptions.set(codec::kJpegFullChroma, fullChroma);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(codec::writeJpeg(p, bytes).ok());
        files.emplace_back(fullChroma ? "4:4:4" : "4:2:0", std::move(bytes));
    }
    for (const char* file :
         {"noisy/canon_eos_rp_26mp_clean_benchmark.jpg", "jpeg/nikon_d3100_orient8_14mp.jpg",
          "jpeg/apple_iphone5_orient3.jpg", "noisy/lg_nexus4_iso1200_night.jpg"}) {
        const std::string path = test::corpusFile(file);
        if (!path.empty()) files.emplace_back(file, test::fileBytes(path));
    }
    auto expectSame = [](const Picture& one, const Picture& two, const std::string& name) {
        ASSERT_EQ(one.width, two.width) << name;
        ASSERT_EQ(one.height, two.height) << name;
        EXPECT_EQ(std::memcmp(one.pixels(), two.pixels(), one.pixelBytes()), 0) << name;
        EXPECT_EQ(one.info.exifBlock, two.info.exifBlock) << name;
    };
    for (const auto& [name, bytes] : files) {
        Picture one, two;
        ASSERT_TRUE(decodeWith(1, bytes, one).ok()) << name;
        ASSERT_TRUE(decodeWith(2, bytes, two).ok()) << name;
        expectSame(one, two, name);
    }
    // With the pool held by another thread's pass, nobody takes the lower band: the first
    // decoder goes on through it.
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
        engine::setThreadLimit(2);
        engine::parallelFor(2, 1, 2, [&](int64_t, int64_t, int) {
            held = true;
            while (!release)
                std::this_thread::yield();
        });
    });
    while (!held)
        std::this_thread::yield();
    Picture one, alone;
    const codec::Status s = decodeWith(2, files.front().second, alone);
    release = true;
    holder.join();
    ASSERT_TRUE(s.ok());
    ASSERT_TRUE(decodeWith(1, files.front().second, one).ok());
    expectSame(one, alone, "alone");
    // A truncated picture fails as the whole decode does.
    const std::string broken = test::corpusFile("broken/jpeg_truncated_camera_3648x2736.jpg");
    if (!broken.empty()) {
        const std::vector<uint8_t> bytes = test::fileBytes(broken);
        Picture one, two;
        const codec::Status a = decodeWith(1, bytes, one), b = decodeWith(2, bytes, two);
        EXPECT_FALSE(b.ok());
        EXPECT_EQ(a.reason, b.reason);
    }
}

TEST(JpegWrite, RoundTripIsCloseAndCarriesTheSettings) {
    Picture p;
    test::fillRgb(p, 64, 48, [](int x, int y) {
        return std::tuple{x * 4, y * 5, 128 + (x ^ y) % 16};
    });
    p.writeOptions.set(kQuality, 98u);
    p.writeOptions.set(kJpegFullChroma, 1u);
    p.writeOptions.set(kSaveXResolution, 240u);
    p.writeOptions.set(kSaveYResolution, 120u);
    p.writeOptions.set(kSaveResolutionUnit, 3u);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(codec::writeJpeg(p, bytes).ok());
    Picture back;
    ASSERT_TRUE(codec::readJpeg(test::span(bytes), back, {}).ok());
    EXPECT_LE(test::maxDifference(back, p), 8);
    EXPECT_LT(test::meanDifference(back, p), 1.5);
    EXPECT_EQ(back.info.xResolution, 240u);
    EXPECT_EQ(back.info.yResolution, 120u);
    EXPECT_EQ(back.info.resolutionUnit, 3u);
    EXPECT_TRUE(back.info.exifBlock.empty());

    p.writeOptions.set(kJpegProgressive, 1u);
    p.writeOptions.set(kJpegFullChroma, 0u);
    std::vector<uint8_t> progressive;
    ASSERT_TRUE(codec::writeJpeg(p, progressive).ok());
    // SOF2 marks a progressive file.
    const uint8_t sof2[] = {0xFF, 0xC2};
    EXPECT_NE(std::search(progressive.begin(), progressive.end(), sof2, sof2 + 2),
              progressive.end());
    ASSERT_TRUE(codec::readJpeg(test::span(progressive), back, {}).ok());
    EXPECT_LT(test::meanDifference(back, p), 3.0);
}

TEST(JpegWrite, OrientationEightIsTurnedBackAndTheExifCarried) {
    VELANOX_TEST_FILE(path, "jpeg/nikon_d3100_orient8_14mp.jpg");
    Picture loaded;
    loaded.setPreviewLimit(1000, 700); // a quarter of 4608 x 3072
    ASSERT_TRUE(loaded.load(path).ok());
    ASSERT_EQ(loaded.info.orientation, 8);
    ASSERT_EQ(loaded.width, 768);
    ASSERT_EQ(loaded.height, 1152);

    test::ScratchFolder folder;
    loaded.writeOptions.set(kQuality, 95u);
    ASSERT_TRUE(test::succeeded(loaded.save(folder.file("out.jpg"))));
    const std::vector<uint8_t> written = test::fileBytes(folder.file("out.jpg"));
    EXPECT_EQ(exifSegmentOf(written), loaded.info.exifBlock);

    // Stored turned back by orientation 6: landscape, as the camera wrote it.
    Picture stored;
    std::vector<uint8_t> plain = written;
    *std::search(plain.begin(), plain.end(), "Exif", "Exif" + 4) = 'X';
    ASSERT_TRUE(codec::readJpeg(test::span(plain), stored, {}).ok());
    EXPECT_EQ(stored.width, 1152);
    EXPECT_EQ(stored.height, 768);
    // Displayed through its orientation tag it shows what was on screen.
    Picture shown;
    ASSERT_TRUE(shown.load(folder.file("out.jpg")).ok());
    EXPECT_EQ(shown.width, 768);
    EXPECT_LT(test::meanDifference(shown, loaded), 2.0);

    // Saved as PNG it carries no EXIF and keeps the on-screen orientation.
    ASSERT_TRUE(loaded.save(folder.file("out.png")).ok());
    Picture png;
    ASSERT_TRUE(png.load(folder.file("out.png")).ok());
    EXPECT_EQ(test::maxDifference(png, loaded), 0);
    EXPECT_TRUE(png.info.exifBlock.empty());
}

TEST(JpegWrite, RefusesWhatItCannotWrite) {
    Picture p;
    ASSERT_TRUE(p.allocate(4, 4, 8).ok());
    std::vector<uint8_t> bytes;
    const core::Status s = codec::writeJpeg(p, bytes);
    EXPECT_EQ(s.code, StatusCode::Unsupported);
    EXPECT_TRUE(bytes.empty());
}

TEST(JpegEstimate, MatchesTheWrittenSizeAndGrowsWithQuality) {
    Picture p;
    test::fillRandom(p, 120, 80, 9);
    p.writeOptions.set(kQuality, 80u);
    p.writeOptions.set(kJpegFullChroma, 1u);
    p.writeOptions.set(kSaveXResolution, 300u);
    p.writeOptions.set(kSaveYResolution, 300u);
    p.writeOptions.set(kSaveResolutionUnit, 1u);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(codec::writeJpeg(p, bytes).ok());
    EXPECT_EQ(codec::estimateJpegSize(p.pixels(), 120, 80, 80, true), bytes.size());
    const std::size_t low = codec::estimateJpegSize(p.pixels(), 120, 80, 40, true);
    const std::size_t high = codec::estimateJpegSize(p.pixels(), 120, 80, 100, true);
    const std::size_t subsampled = codec::estimateJpegSize(p.pixels(), 120, 80, 100, false);
    EXPECT_LT(low, high);
    EXPECT_LT(subsampled, high);
    EXPECT_EQ(codec::estimateJpegSize(nullptr, 0, 0, 80, true), 0u);
}

} // namespace
} // namespace velanox::codec
