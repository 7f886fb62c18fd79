// Picture::load and Picture::save: format decisions, the raw-first order, return codes and the
// safety of replacing a file.
#include "codec/codec_test_files.h"
#include "codec/exif/file_info_text.h"
#include "codec/format_table.h"
#include "codec/picture.h"
#include "support/status_assert.h"
#include "support/synthetic_dng.h"
#include "support/test_images.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace velanox::codec {
namespace {

namespace fs = std::filesystem;

TEST(FormatFromExtension, KnownExtensionsInAnyCase) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"a.bmp", 2},  {"a.WBMP", 16},  {"a.wbm", 16}, {"a.Tga", 10},         {"a.jpeg", 0},
        {"a.JPG", 0},  {"a.tif", 8},    {"a.TIFF", 8}, {"a.pcx", 4},          {"a.png", 6},
        {"a.wmf", 12}, {"a.emf", 13},   {"a.psd", 14}, {"a.pcd", 21},         {"a.nef", 21},
        {"noext", 21}, {"dir.d/x", 21}, {"x.", 21},    {"b.c/photo.gif", 21},
    };
    for (const auto& [path, id] : cases)
        EXPECT_EQ(Picture::formatFromExtension(path), id) << path;
}

TEST(DetectFormat, ContentDecidesAndDepthRefines) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"jpeg/flower_no_exif_cjpeg.jpg", kFormatJpeg},
        {"jpeg/flower_greyscale_cjpeg.jpg", kFormatJpegGrey},
        {"jpeg/sony_dslr-a100_monochrome_ycbcr_exif.jpg", kFormatJpeg},
        {"formats/png_rgb_phys96_coffee.png", kFormatPng},
        {"formats/png_palette8_phys_indexed.png", kFormatPng8},
        {"formats/png_1bit_hopper_bw_500.png", kFormatPng1},
        {"formats/png_16bit_rgb_photoshop.png", kFormatPng},
        {"formats/tiff_rgb24_lzw_quad.tif", kFormatTiff},
        {"formats/tiff_grey8_f14.tif", kFormatTiff8},
        {"formats/tiff_palette8_lzw_bali.tif", kFormatTiff8},
        {"formats/tiff_fax_1bit_204x98_ghostscript.tif", kFormatTiff1},
    };
    for (const auto& [file, id] : cases) {
        VELANOX_TEST_FILE(path, file);
        EXPECT_EQ(Picture::detectFormat(path), id) << file;
    }
}

TEST(DetectFormat, JpegNamedTifLoadsAsJpeg) {
    VELANOX_TEST_FILE(source, "jpeg/flower_no_exif_cjpeg.jpg");
    test::ScratchFolder folder;
    const std::string disguised = folder.file("photo.tif");
    fs::copy_file(source, disguised);
    EXPECT_EQ(Picture::detectFormat(disguised), kFormatJpeg);
    Picture p;
    ASSERT_TRUE(test::succeeded(p.load(disguised)));
    EXPECT_EQ(p.info.format, kFormatJpeg);
    EXPECT_EQ(p.width, 1040);
    EXPECT_EQ(p.info.filePath, disguised);
}

TEST(DetectFormat, UnknownContentFallsBackToTheExtension) {
    test::ScratchFolder folder;
    const std::vector<uint8_t> junk(100, 0x55);
    test::writeBytes(folder.file("junk.png"), junk);
    test::writeBytes(folder.file("junk.xyz"), junk);
    EXPECT_EQ(Picture::detectFormat(folder.file("junk.png")), kFormatPng);
    EXPECT_EQ(Picture::detectFormat(folder.file("junk.xyz")), kFormatAuto);
    EXPECT_EQ(Picture::detectFormat(folder.file("missing.png")), kFormatAuto);

    Picture p;
    EXPECT_EQ(p.load(folder.file("junk.xyz")).code, StatusCode::NoReader);
    const core::Status failed = p.load(folder.file("junk.png"));
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(failed.reason.empty());
    EXPECT_FALSE(p.hasPixels());
}

TEST(Load, ReturnCodesAndReleasedPixels) {
    Picture p;
    ASSERT_TRUE(p.allocate(4, 4, 24).ok());
    EXPECT_EQ(p.load("").code, StatusCode::EmptyPath);
    EXPECT_FALSE(p.hasPixels());
    ASSERT_TRUE(p.allocate(4, 4, 24).ok());
    const core::Status missing = p.load("/nonexistent/folder/x.jpg");
    EXPECT_EQ(missing.code, StatusCode::CannotOpen);
    EXPECT_FALSE(p.hasPixels());
    EXPECT_FALSE(missing.reason.empty());
}

TEST(Load, ExplicitFormatUsesThatReader) {
    VELANOX_TEST_FILE(path, "formats/png_rgb_phys96_coffee.png");
    Picture p;
    EXPECT_EQ(p.load(path, kFormatJpeg).code, StatusCode::Corrupt);
    ASSERT_TRUE(p.load(path, kFormatPng).ok());
    EXPECT_EQ(p.width, 600);
    EXPECT_EQ(p.load(path, kFormatWmf + 100).code, StatusCode::NoReader);
}

// A stand-in camera raw decoder that accepts files starting with "RAW!".
core::Status fakeRawRead(core::ByteSpan bytes, Picture& out, const codec::ReadOptions&) {
    if (bytes.size < 4 || std::memcmp(bytes.data, "RAW!", 4) != 0)
        return core::Status::failure(StatusCode::Corrupt, "not raw");
    if (!out.allocate(5, 3, 24).ok())
        return core::Status::failure(StatusCode::OutOfMemory, "Out of memory");
    std::fill(out.pixels(), out.pixels() + out.pixelBytes(), 77);
    return core::Status::success();
}

struct RawHookGuard {
    codec::RawDecoderHook saved = codec::rawDecoderHook();
    ~RawHookGuard() { codec::rawDecoderHook() = saved; }
};

TEST(Load, AutomaticLoadingTriesTheRawDecoderFirst) {
    RawHookGuard guard;
    int calls = 0;
    static int* counter = nullptr;
    counter = &calls;
    codec::rawDecoderHook().probe = [](core::ByteSpan) {
        ++*counter;
        return true;
    };
    codec::rawDecoderHook().read = fakeRawRead;

    test::ScratchFolder folder;
    std::vector<uint8_t> raw = {'R', 'A', 'W', '!', 0, 0};
    test::writeBytes(folder.file("shot.png"), raw);
    Picture p;
    p.info.orientation = 6;
    ASSERT_TRUE(p.load(folder.file("shot.png")).ok());
    EXPECT_EQ(p.info.format, kFormatAuto);
    EXPECT_EQ(p.width, 5);
    EXPECT_EQ(p.info.fileHeight, 3);
    EXPECT_EQ(p.info.orientation, 1);
    EXPECT_EQ(p.info.filePath, folder.file("shot.png"));

    // A file the raw decoder refuses goes on to detection; an explicit format skips the hook.
    VELANOX_TEST_FILE(png, "formats/png_palette8_phys_indexed.png");
    calls = 0;
    ASSERT_TRUE(p.load(png).ok());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(p.info.format, kFormatPng8);
    ASSERT_TRUE(p.load(png, kFormatPng).ok());
    EXPECT_EQ(calls, 1);
}

// A camera raw the decoder recognises but refuses is not read as the TIFF it is wrapped in:
// the decoder's reason is given, not a complaint about TIFF strips or the preview picture.
TEST(Load, RefusedRawGivesTheDecodersReason) {
    VELANOX_TEST_FILE(nef, "broken/raw_stripped_nikon_d70.nef");
    Picture p;
    const core::Status refused = p.load(nef);
    EXPECT_EQ(refused.code, StatusCode::Corrupt);
    EXPECT_EQ(refused.reason, "Camera raw: the image data is damaged.");
    EXPECT_FALSE(p.hasPixels());

    test::ScratchFolder folder;
    test::SyntheticDng shot;
    std::vector<uint8_t> dng = test::makeSyntheticDng(shot);
    dng.resize(dng.size() / 2);
    test::writeBytes(folder.file("cut.dng"), dng);
    const core::Status cut = p.load(folder.file("cut.dng"));
    EXPECT_EQ(cut.code, StatusCode::Corrupt);
    EXPECT_EQ(cut.reason, "Camera raw: the file ends before its image data does.");
}

// A loaded raw brings the camera data along, and File Info shows it as it shows a JPEG's EXIF.
TEST(Load, RawFileInfoShowsTheCameraData) {
    test::ScratchFolder folder;
    test::SyntheticDng shot;
    shot.make = "Orvantel";
    shot.model = "R-1";
    shot.iso = 1600;
    shot.exposureSeconds = 2.5;
    shot.fNumber = 5.6;
    test::writeBytes(folder.file("shot.dng"), test::makeSyntheticDng(shot));
    Picture p;
    p.info.exif.make = "left over";
    ASSERT_TRUE(test::succeeded(p.load(folder.file("shot.dng"))));
    EXPECT_EQ(p.info.format, kFormatAuto);
    EXPECT_EQ(codec::fileInfoText(p), "Orvantel R-1\r\n64 x 48\r\n2021:03:04 05:06:07\r\n"
                                      "ISO: 1600\r\n2 \"\r\nF: 5.6\r\n");
    // The next file, without camera data, does not inherit it.
    VELANOX_TEST_FILE(png, "formats/png_palette8_phys_indexed.png");
    ASSERT_TRUE(p.load(png).ok());
    EXPECT_EQ(codec::fileInfoText(p), "No EXIF\r\n300 x 300");
}

TEST(Save, UnknownFormatOrNoPixelsWritesNothing) {
    test::ScratchFolder folder;
    Picture empty;
    EXPECT_EQ(empty.save(folder.file("a.png")).code, StatusCode::NoReader);
    Picture p;
    test::fillRandom(p, 4, 4, 1);
    EXPECT_EQ(p.save(folder.file("a.gif")).code, StatusCode::NoReader);
    EXPECT_EQ(p.save(folder.file("a.png"), kFormatJpegGrey).code, StatusCode::NoReader);
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(Save, FailedSaveLeavesTheOldFileIntact) {
    test::ScratchFolder folder;
    const std::string target = folder.file("keep.tif");
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    test::writeBytes(target, old);
    Picture p;
    test::fillRandom(p, 8, 8, 2);
    p.writeOptions.set(kTiffCompression, 60000u); // no such codec: the writer fails
    const core::Status failed = p.save(target);
    EXPECT_EQ(failed.code, StatusCode::Unsupported);
    EXPECT_FALSE(failed.reason.empty());
    EXPECT_EQ(test::fileBytes(target), old);
    // Nothing else was left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(Save, ReplacesAFileKeepingItsPermissions) {
    test::ScratchFolder folder;
    const std::string target = folder.file("out.png");
    test::writeBytes(target, {'x'});
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    Picture p;
    test::fillRandom(p, 8, 8, 3);
    ASSERT_TRUE(test::succeeded(p.save(target)));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    Picture back;
    ASSERT_TRUE(back.load(target).ok());
    EXPECT_EQ(test::maxDifference(back, p), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(Save, ReadOnlyFileIsNotReplaced) {
    test::ScratchFolder folder;
    const std::string target = folder.file("locked.png");
    test::writeBytes(target, {'x'});
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    Picture p;
    test::fillRandom(p, 4, 4, 4);
    EXPECT_EQ(p.save(target).code, StatusCode::WriteFailed);
    EXPECT_EQ(test::fileBytes(target), std::vector<uint8_t>{'x'});
}

TEST(Save, UnwritableFolderFailsWithAReason) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write anything";
    test::ScratchFolder folder;
    ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
    Picture p;
    test::fillRandom(p, 4, 4, 5);
    const core::Status failed = p.save(folder.file("new.png"));
    EXPECT_EQ(failed.code, StatusCode::WriteFailed);
    EXPECT_FALSE(failed.reason.empty());
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(Save, PalettePicturesBecomeTrueColorForTrueColorWriters) {
    test::ScratchFolder folder;
    Picture p;
    ASSERT_TRUE(p.allocate(3, 1, 8).ok());
    p.palette[1] = {0, 0, 255, 0}; // red
    p.paletteSize = 256;
    std::fill(p.pixels(), p.pixels() + 3, 1);
    p.info.format = kFormatPng8;
    ASSERT_TRUE(test::succeeded(p.save(folder.file("red.png"))));
    EXPECT_EQ(p.bitsPerPixel, 8); // the picture itself is left as it was
    EXPECT_EQ(Picture::detectFormat(folder.file("red.png")), kFormatPng);
    // The palette variant's writer keeps the palette.
    ASSERT_TRUE(p.save(folder.file("red8.png"), kFormatPng8).ok());
    EXPECT_EQ(Picture::detectFormat(folder.file("red8.png")), kFormatPng8);
    Picture back;
    ASSERT_TRUE(back.load(folder.file("red8.png")).ok());
    EXPECT_EQ(test::pixelAt(back, 2, 0)[0], 255);
    EXPECT_EQ(test::pixelAt(back, 2, 0)[1], 0);
}

// The picture converted for a true-colour writer is written with this picture's options.
TEST(Save, ConvertedPicturesKeepTheWriteOptions) {
    test::ScratchFolder folder;
    Picture p;
    ASSERT_TRUE(p.allocate(4, 2, 8).ok());
    p.paletteSize = 256;
    std::fill(p.pixels(), p.pixels() + p.pixelBytes(), 0);
    p.writeOptions.set(kSaveXResolution, 150u);
    p.writeOptions.set(kSaveYResolution, 75u);
    p.writeOptions.set(kSaveResolutionUnit, 2u);
    ASSERT_TRUE(test::succeeded(p.save(folder.file("grid.png"))));
    Picture back;
    ASSERT_TRUE(test::succeeded(back.load(folder.file("grid.png"))));
    EXPECT_EQ(back.info.xResolution, 59u); // 150 per inch as whole pixels per centimetre
    EXPECT_EQ(back.info.yResolution, 29u);
    EXPECT_EQ(back.info.resolutionUnit, 3u);
    // What was read becomes what is written next.
    EXPECT_EQ(back.writeOptions.get(kSaveXResolution), 59u);
    EXPECT_EQ(back.writeOptions.get(kSaveResolutionUnit), 3u);
}

} // namespace
} // namespace velanox::codec

namespace velanox::codec {
namespace {

// Every file of a folder (and its sub-folders) either loads as 24-bit or fails with a code and
// a reason; returns the number of files.
int expectEveryFileLoadsOrFailsCleanly(const fs::path& folder) {
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        ++files;
        Picture p;
        p.setPreviewLimit(200, 200);
        const core::Status loaded = p.load(entry.path().string());
        if (loaded.ok()) {
            EXPECT_EQ(p.bitsPerPixel, 24) << entry.path();
            EXPECT_GT(p.width, 0);
            EXPECT_EQ(p.pixelBytes(), std::size_t(p.width) * std::size_t(p.height) * 3);
        } else {
            EXPECT_FALSE(p.hasPixels()) << entry.path();
            EXPECT_FALSE(loaded.reason.empty()) << entry.path();
        }
    }
    return files;
}

TEST(Load, EveryKeptTestFileLoadsOrFailsCleanly) {
    EXPECT_GT(expectEveryFileLoadsOrFailsCleanly(test::testDataFolder()), 50);
}

TEST(Load, EveryCorpusFileLoadsOrFailsCleanly) {
    VELANOX_CORPUS_FILE(manifest, "MANIFEST.md");
    EXPECT_GT(expectEveryFileLoadsOrFailsCleanly(fs::path(manifest).parent_path()), 60);
}

// Automatic loading of one file of every family: the reader chosen by content, the id refined
// by depth or colour mode, the size after orientation and stretching; every damaged file fails.
TEST(Load, EveryFamilyLoadsWithItsIdAndSize) {
    struct Case {
        const char* file;
        uint32_t format;
        int32_t width, height;
    } cases[] = {
        {"formats/bmp_1bit_blauesglas_mono.bmp", kFormatBmp1, 301, 331},
        {"formats/bmp_4bit_rle4_blauesglas.bmp", kFormatBmp8, 301, 331},
        {"formats/bmp_24bit_blauesglas.bmp", kFormatBmp, 301, 331},
        {"formats/emf_with_bitmaps_test-013.emf", kFormatEmf, 554, 663},
        {"formats/pcx_24bit_oregon.pcx", kFormatPcx, 300, 225},
        {"formats/pcx_8bit_palette_coffee.pcx", kFormatPcx8, 320, 200},
        {"formats/photocd_hopper.pcd", kFormatPhotoCd, 768, 512},
        {"formats/png_1bit_hopper_bw_500.png", kFormatPng1, 500, 500},
        {"formats/png_palette8_phys_indexed.png", kFormatPng8, 300, 300},
        {"formats/psd_greyscale8.psd", kFormatPsd8, 485, 484},
        {"formats/psd_rgb8_oregon.psd", kFormatPsd, 300, 225},
        {"formats/tga_24bit_rle_CTC24.tga", kFormatTarga, 128, 128},
        {"formats/tga_8bit_colormapped_UCM8.tga", kFormatTarga8, 128, 128},
        {"formats/tiff_fax_1bit_204x98_ghostscript.tif", kFormatTiff1, 1728, 2385},
        {"formats/tiff_palette8_lzw_bali.tif", kFormatTiff8, 725, 489},
        {"formats/wbmp_oregon.wbmp", kFormatWbmp, 300, 225},
        {"formats/wmf_standard_globe.wmf", kFormatWmf, 667, 666},
        {"jpeg/canon_powershot_sx150is_orient6.jpg", kFormatJpeg, 1200, 1600},
        {"jpeg/photoshop7_greyscale_exif_iptc_icc.jpg", kFormatJpegGrey, 386, 396},
        {"raw/apple_quicktake100_TEST100.qtk", kFormatAuto, 640, 480},
        {"raw/canon_powershot_g2_CRW_0304.crw", kFormatAuto, 2312, 1720},
    };
    for (const Case& c : cases) {
        VELANOX_TEST_FILE(path, c.file);
        Picture p;
        ASSERT_TRUE(test::succeeded(p.load(path))) << c.file;
        EXPECT_EQ(p.info.format, c.format) << c.file;
        EXPECT_EQ(p.width, c.width) << c.file;
        EXPECT_EQ(p.height, c.height) << c.file;
        EXPECT_EQ(p.bitsPerPixel, 24) << c.file;
    }
    int failed = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(test::testDataFolder()) / "broken")) {
        Picture p;
        const core::Status loaded = p.load(entry.path().string());
        EXPECT_FALSE(loaded.ok()) << entry.path();
        EXPECT_FALSE(loaded.reason.empty()) << entry.path();
        ++failed;
    }
    EXPECT_GE(failed, 12);
}

} // namespace
} // namespace velanox::codec

namespace velanox::codec {
namespace {

// Every input a fuzzer ever crashed on stays here and must load or fail with a reason.
TEST(Load, KeptFuzzCrashersLoadOrFailCleanly) {
    const fs::path folder = fs::path(VELANOX_TEST_DATA_DIR) / "crashers";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        ++files;
        Picture p;
        const core::Status loaded = p.load(entry.path().string());
        if (!loaded.ok()) {
            EXPECT_FALSE(loaded.reason.empty()) << entry.path();
        }
    }
    RecordProperty("crashers", files);
}

} // namespace
} // namespace velanox::codec
