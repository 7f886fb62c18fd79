// The reasons a failed read gives are for people: no names of library functions or of the
// program, no empty quoted file names, no source locations, no warnings passed off as the
// cause, no numbers that only an unsigned wrap-around could produce.
#include "codec/library_reason.h"

#include "codec/format_table.h"
#include "codec_test_files.h"
#include "support/status_assert.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>

namespace velanox::codec {
namespace {

namespace fs = std::filesystem;

// What a reason must not hold; empty when it reads well.
std::string whatIsWrongWith(const std::string& reason) {
    if (reason.empty()) return "no reason";
    if (reason.find("velanox") != std::string::npos) return "the program's name";
    if (reason.find('`') != std::string::npos) return "a quoted file name";
    if (reason.find(" @ ") != std::string::npos || reason.find("error/") != std::string::npos)
        return "a source location";
    static const std::regex functionName(R"((^|: )(TIFF|LZW|ZIP|Fax3|PixarLog|JPEG|png_)\w*: )");
    if (std::regex_search(reason, functionName)) return "a library function's name";
    if (reason.find("memory: ") != std::string::npos) return "the in-memory file's name";
    if (std::regex_search(reason, std::regex(R"(\d{11,})"))) return "an absurd number";
    if (reason.find("ignored") != std::string::npos || reason.find("Limiting") != std::string::npos)
        return "a library warning";
    if (!std::isupper(static_cast<unsigned char>(reason.front()))) return "a small first letter";
    if (reason.back() != '.') return "no full stop";
    return {};
}

TEST(LibraryReason, MessagesLoseWhatOnlyDevelopersRead) {
    EXPECT_EQ(cleanLibraryMessage(
                  "velanox-nr-cli: improper image header `' @ error/pcx.c/ReadPCXImage/301"),
              "Improper image header.");
    EXPECT_EQ(cleanLibraryMessage("velanox-nr-cli: unexpected end-of-file `': No such file or "
                                  "directory @ error/bmp.c/ReadBMPImage/1040"),
              "Unexpected end-of-file.");
    EXPECT_EQ(cleanLibraryMessage("TIFFReadDirectory: Cannot handle different values per sample "
                                  "for \"BitsPerSample\""),
              "Cannot handle different values per sample for \"BitsPerSample\".");
    // A sentence that happens to hold a colon keeps it.
    EXPECT_EQ(cleanLibraryMessage("Invalid JPEG file structure: SOS before SOF"),
              "Invalid JPEG file structure: SOS before SOF.");
    EXPECT_EQ(cleanLibraryMessage("`' @ error/x.c/F/1"), "");
    EXPECT_EQ(libraryReason("PCX file", "velanox-nr-cli: `'"), "PCX file: unreadable.");
    EXPECT_EQ(libraryReason("JPEG file", "Bogus Huffman table definition"),
              "JPEG file: bogus Huffman table definition.");
}

TEST(LibraryReason, TiffMessagesInThisProgramsWords) {
    // A strip offset beyond the end of the file: libtiff counts what it got as negative.
    EXPECT_EQ(tiffReason("Read error on strip 0; got 18446744073709551608 bytes, expected 8160"),
              "TIFF file: the file ends before its image data does.");
    EXPECT_EQ(tiffReason("IO error during reading of \"Model\"; tag ignored"),
              "TIFF file: the data of the tag \"Model\" lie beyond the end of the file.");
    EXPECT_EQ(tiffReason("Too large strip byte count 14811303, strip 0. Limiting to 249856"),
              "TIFF file: a strip of image data claims more bytes than the file holds.");
    EXPECT_EQ(tiffReason("Wrong length of decoded string: data probably corrupted at scanline 80"),
              "TIFF file: the compressed image data is damaged.");
    EXPECT_EQ(tiffReason("Can not read TIFF directory count"),
              "TIFF file: its directory is missing or cut short.");
    EXPECT_EQ(pngReason("IDAT: CRC error"),
              "PNG file: the \"IDAT\" chunk is damaged (its checksum does not match).");
    EXPECT_EQ(pngReason("IHDR: invalid"), "PNG file: the \"IHDR\" chunk is not valid.");
    EXPECT_EQ(pngReason("bad adaptive filter value"),
              "PNG file: the compressed image data is damaged.");
    EXPECT_EQ(magickReason("Windows Metafile", "velanox-nr: failed to scan file `' @ "
                                               "error/wmf.c/ReadWMFImage/2696"),
              "Windows Metafile: its records are damaged.");
}

// Files made damaged on purpose, each read through the path loading takes.
TEST(LibraryReason, CraftedFilesGiveTheRealCause) {
    test::ScratchFolder folder;
    struct Crafted {
        const char* source;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* reason;
    };
    const auto cut = [](double share) {
        return [share](std::vector<uint8_t>& b) { b.resize(std::size_t(b.size() * share)); };
    };
    const Crafted cases[] = {
        {"broken/pcx_ossfuzz.pcx", nullptr, "PCX file: the header is not valid."},
        {"formats/pcx_24bit_oregon.pcx", cut(0.5),
         "PCX file: the file ends before its image data does."},
        {"formats/tga_24bit_uncompressed_oregon.tga", cut(0.5),
         "Targa file: the file ends before its image data does."},
        {"formats/psd_rgb8_oregon.psd", cut(0.5),
         "Photoshop file: the file ends before its image data does."},
        {"formats/wmf_standard_globe.wmf", cut(0.5), "Windows Metafile: its records are damaged."},
        {"broken/tiff_bad_offsets_lengths.tiff", nullptr,
         "TIFF file: the data of the tag \"Model\" lie beyond the end of the file."},
        {"broken/tiff_fuzzed_strip_bytecount.tif", nullptr,
         "TIFF file: a strip of image data claims more bytes than the file holds."},
        {"formats/tiff_fax_1bit_204x98_ghostscript.tif", cut(0.5),
         "TIFF file: the file ends before its image data does."},
        // The strip offset of this one-strip file pointed past the end of the file.
        {"formats/tiff_fax_1bit_204x98_ghostscript.tif",
         [](std::vector<uint8_t>& b) {
             // Little-endian; the first IFD's StripOffsets (273) entry gets 0x7FFFFFF0.
             const uint32_t ifd = b[4] | b[5] << 8 | b[6] << 16 | uint32_t(b[7]) << 24;
             const int entries = b[ifd] | b[ifd + 1] << 8;
             for (int i = 0; i < entries; ++i) {
                 uint8_t* e = &b[ifd + 2 + std::size_t(i) * 12];
                 if ((e[0] | e[1] << 8) == 273) e[8] = 0xF0, e[9] = e[10] = 0xFF, e[11] = 0x7F;
             }
         },
         "TIFF file: the file ends before its image data does."},
        {"jpeg/flower_no_exif_cjpeg.jpg", cut(0.5),
         "JPEG file: the file ends before its image data does."},
        {"formats/png_rgb_phys96_coffee.png", cut(0.5),
         "PNG file: the file ends before its image data does."},
        {"broken/png_bad_idat_crc_xcsn0g01.png", nullptr,
         "PNG file: the \"IDAT\" chunk is damaged (its checksum does not match)."},
        {"broken/raw_stripped_nikon_d70.nef", nullptr, "Camera raw: the image data is damaged."},
        {"jpeg/flower_no_exif_cjpeg.jpg", [](std::vector<uint8_t>& b) { b.clear(); },
         "The file is empty."},
    };
    int n = 0;
    for (const Crafted& c : cases) {
        SCOPED_TRACE(c.source);
        VELANOX_TEST_FILE(path, c.source);
        std::vector<uint8_t> bytes = test::fileBytes(path);
        if (c.damage) c.damage(bytes);
        const std::string crafted =
            folder.file(std::to_string(n++) + "_" + fs::path(c.source).filename().string());
        test::writeBytes(crafted, bytes);
        Picture picture;
        const core::Status failed = picture.load(crafted);
        EXPECT_FALSE(failed.ok());
        EXPECT_EQ(failed.reason, c.reason);
        EXPECT_EQ(whatIsWrongWith(failed.reason), "") << failed.reason;
    }
}

// Every kept test file cut short or with bytes changed: whatever the reader says reads well.
TEST(LibraryReason, DamagedVariantsOfEveryTestFileExplainThemselves) {
    test::ScratchFolder folder;
    std::mt19937 rng(17);
    int failures = 0;
    for (const auto& entry : fs::recursive_directory_iterator(test::testDataFolder())) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        const std::vector<uint8_t> original = test::fileBytes(entry.path().string());
        if (original.size() > 1'200'000) continue; // the large raw: its damage is tested above
        for (int variant = 0; variant < 4; ++variant) {
            std::vector<uint8_t> bytes = original;
            if (variant < 2) {
                bytes.resize(std::max<std::size_t>(16, bytes.size() * (variant ? 6 : 1) / 10));
            } else {
                for (int k = 0; k < 24 && !bytes.empty(); ++k)
                    bytes[rng() % bytes.size()] = uint8_t(rng());
            }
            const std::string path =
                folder.file(std::to_string(variant) + "_" + entry.path().filename().string());
            test::writeBytes(path, bytes);
            Picture picture;
            const core::Status loaded = picture.load(path);
            if (loaded.ok()) continue;
            ++failures;
            EXPECT_EQ(whatIsWrongWith(loaded.reason), "")
                << entry.path().filename() << " variant " << variant << ": " << loaded.reason;
        }
    }
    EXPECT_GT(failures, 80);
}

} // namespace
} // namespace velanox::codec
