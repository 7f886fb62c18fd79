// The codec modules: every family's module file from the build folder loads into a program and
// reads what the family's built-in copy reads; a missing or broken module file gives a reason a
// person can act on, never a crash; the probes that stayed in the core without their libraries
// still tell the formats apart as the libraries do.
#include "codec/codec_module.h"
#include "codec/codec_test_files.h"
#include "codec/format_table.h"
#include "codec/jxl/jxl_codec.h"
#include "codec/magick/magick_codec.h"

#include <gtest/gtest.h>
#include <jxl/decode.h>

#include <cstring>
#include <string>
#include <vector>

namespace velanox::codec {
namespace {

using codec::CodecFamily;

constexpr CodecFamily kFamilies[] = {CodecFamily::Magick, CodecFamily::Metafile, CodecFamily::Heif,
                                     CodecFamily::Avif,   CodecFamily::Webp,     CodecFamily::Jxl};

const codec::CodecModule* moduleFromBuild(CodecFamily family) {
    const codec::CodecModule* module = nullptr;
    const codec::Status s = codec::findCodecModule(family, {VELANOX_CODEC_MODULE_DIR}, module);
    EXPECT_TRUE(s.ok()) << codec::codecModuleFileName(family) << ": " << s.reason;
    return module;
}

TEST(CodecModules, EveryModuleLoadsAndServesEveryRowOfItsFamily) {
    for (CodecFamily family : kFamilies) {
        const codec::CodecModule* module = moduleFromBuild(family);
        ASSERT_NE(module, nullptr);
        EXPECT_STREQ(module->stamp, codec::kCodecModuleStamp);
        // Every table row the family owns is read by its module; its writers are the module's
        // unless the core writes the format itself (bitmaps).
        for (const codec::FormatEntry& row : codec::formatTable()) {
            CodecFamily owner;
            if (!codec::codecFamilyOf(row.id, owner) || owner != family) continue;
            const codec::ModuleFormat* format = nullptr;
            for (std::size_t i = 0; i < module->formatCount; ++i)
                if (module->formats[i].id == row.id) format = &module->formats[i];
            ASSERT_NE(format, nullptr) << row.name;
            EXPECT_NE(format->read, nullptr) << row.name;
            const bool coreWriter =
                row.id == kFormatBmp || row.id == kFormatBmp8 || row.id == kFormatBmp1;
            EXPECT_EQ(format->write != nullptr, row.write != nullptr && !coreWriter) << row.name;
        }
    }
}

// The module's copy of the reader, loaded into this program, gives the built-in copy's pixels
// (its calls into the core land in this program's core).
TEST(CodecModules, LoadedModuleReadsLikeTheBuiltInFamily) {
    VELANOX_TEST_FILE(path, "formats/tga_8bit_colormapped_UCM8.tga");
    const std::vector<uint8_t> bytes = test::fileBytes(path);
    const codec::CodecModule* module = moduleFromBuild(CodecFamily::Magick);
    ASSERT_NE(module, nullptr);
    codec::ReadFn read = nullptr;
    for (std::size_t i = 0; i < module->formatCount; ++i)
        if (module->formats[i].id == kFormatTarga) read = module->formats[i].read;
    ASSERT_NE(read, nullptr);
    Picture fromModule, builtIn;
    const codec::Status s = read(test::span(bytes), fromModule, {});
    ASSERT_TRUE(s.ok()) << s.reason;
    ASSERT_TRUE(codec::readTarga(test::span(bytes), builtIn, {}).ok());
    ASSERT_EQ(fromModule.width, builtIn.width);
    ASSERT_EQ(fromModule.height, builtIn.height);
    ASSERT_EQ(fromModule.bitsPerPixel, builtIn.bitsPerPixel);
    EXPECT_EQ(0, std::memcmp(fromModule.pixels(), builtIn.pixels(), builtIn.pixelBytes()));
}

TEST(CodecModules, MissingOrBrokenModuleGivesAReason) {
    test::ScratchFolder empty, broken;
    const codec::CodecModule* module = nullptr;
    codec::Status s = codec::findCodecModule(
        CodecFamily::Heif, {empty.file("nowhere"), empty.path().string()}, module);
    EXPECT_EQ(s.code, core::StatusCode::NoReader);
    EXPECT_EQ(s.reason, "The reader for this format is not installed.");
    EXPECT_EQ(module, nullptr);

    // A file of the module's name that is no library, and a library without the entry point.
    test::writeBytes(broken.file(codec::codecModuleFileName(CodecFamily::Avif)), {'n', 'o'});
    s = codec::findCodecModule(CodecFamily::Avif, {broken.path().string()}, module);
    EXPECT_EQ(s.code, core::StatusCode::NoReader);
    EXPECT_TRUE(s.reason.starts_with("The reader for this format cannot be loaded (")) << s.reason;
    EXPECT_EQ(s.reason.find(broken.path().string()), std::string::npos) << s.reason;
    EXPECT_EQ(module, nullptr);
    s = codec::openCodecModule("libz.so.1", module);
    EXPECT_EQ(s.code, core::StatusCode::NoReader);
    EXPECT_EQ(module, nullptr);

    // The first folder that has the file decides, as the program's own folder must win over
    // the build folder's.
    s = codec::findCodecModule(CodecFamily::Avif,
                               {broken.path().string(), VELANOX_CODEC_MODULE_DIR}, module);
    EXPECT_FALSE(s.ok());
}

TEST(CodecModules, FamiliesOfFormats) {
    CodecFamily family;
    for (uint32_t id : {kFormatJpeg, kFormatJpegGrey, kFormatPng, kFormatPng8, kFormatPng1,
                        kFormatTiff, kFormatTiff8, kFormatTiff1, kFormatAuto})
        EXPECT_FALSE(codec::codecFamilyOf(id, family)) << id;
    ASSERT_TRUE(codec::codecFamilyOf(kFormatBmp1, family));
    EXPECT_EQ(family, CodecFamily::Magick);
    ASSERT_TRUE(codec::codecFamilyOf(kFormatWmf, family));
    EXPECT_EQ(family, CodecFamily::Metafile);
    ASSERT_TRUE(codec::codecFamilyOf(kFormatJxl, family));
    EXPECT_EQ(family, CodecFamily::Jxl);
    EXPECT_EQ(codec::codecModuleFileName(CodecFamily::Heif), "velanox-codec-heif.so");
}

// What the contained reader decides from before its filter: the family's main id by the
// probes alone, the extension when no probe knows the bytes.
TEST(CodecModules, SniffingNamesTheFamilyWithoutRefining) {
    VELANOX_TEST_FILE(tga, "formats/tga_8bit_colormapped_UCM8.tga");
    VELANOX_TEST_FILE(fax, "formats/tiff_fax_1bit_204x98_ghostscript.tif");
    const std::vector<uint8_t> palette = test::fileBytes(tga), oneBit = test::fileBytes(fax);
    EXPECT_EQ(codec::sniffFormat(test::span(palette), "x"), kFormatTarga);
    EXPECT_EQ(codec::detectFormat(test::span(palette), "x"), kFormatTarga8);
    EXPECT_EQ(codec::sniffFormat(test::span(oneBit), "x.heic"), kFormatTiff);
    const std::vector<uint8_t> unknown(64, 0x7F);
    EXPECT_EQ(codec::sniffFormat(test::span(unknown), "photo.HEIC"), kFormatHeif);
    EXPECT_EQ(codec::sniffFormat(test::span(unknown), "photo"), kFormatAuto);
}

// The JPEG XL probe no longer asks libjxl; it must agree with libjxl's signature check on the
// edge cases (a lone FF, a cut-short container signature, one byte off).
TEST(CodecModules, JpegXlProbeAgreesWithTheLibrary) {
    const std::vector<uint8_t> container = {0,    0,    0,    0x0C, 'J', 'X', 'L', ' ',
                                            0x0D, 0x0A, 0x87, 0x0A, 0,   0,   0,   0x14};
    std::vector<std::vector<uint8_t>> cases = {
        {},           {0xFF},       {0xFF, 0x0A}, {0xFF, 0x0B}, {0xFF, 0xD8, 0xFF},
        {0x0A, 0xFF}, {0, 0, 0, 0}, container,
    };
    for (std::size_t n = 1; n < 12; ++n)
        cases.emplace_back(container.begin(), container.begin() + n);
    for (std::size_t i = 0; i < 12; ++i) {
        std::vector<uint8_t> altered = container;
        altered[i] ^= 0x40;
        cases.push_back(altered);
    }
    for (const std::vector<uint8_t>& bytes : cases) {
        const JxlSignature sig = JxlSignatureCheck(bytes.data(), bytes.size());
        const bool library = sig == JXL_SIG_CODESTREAM || sig == JXL_SIG_CONTAINER;
        EXPECT_EQ(codec::probeJxl({bytes.empty() ? container.data() : bytes.data(), bytes.size()}),
                  library)
            << "case of " << bytes.size() << " bytes starting " << (bytes.empty() ? -1 : bytes[0]);
    }
}

} // namespace
} // namespace velanox::codec
