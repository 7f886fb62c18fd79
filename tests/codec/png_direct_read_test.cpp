// Reading PNG pixel data without libpng: the row unfiltering against its plain version, and
// whole files, clean, rearranged and damaged, read both ways with the same pixels and verdicts.
#include "codec/codec_test_files.h"
#include "codec/picture.h"
#include "codec/png/png_codec.h"
#include "codec/png/png_idat_inflate.h"
#include "codec/png/png_row_filter.h"
#include "codec/png/png_row_unfilter.h"

#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace velanox::codec {
namespace {

using png::unfilterRow;
using png::unfilterRowPlain;

TEST(PngRowUnfilter, MatchesThePlainVersionForEveryFilterAndPixelSize) {
    std::mt19937 rng(11);
    for (int pixelBytes : {1, 2, 3, 4, 6, 8}) {
        for (std::size_t pixels : {1u, 2u, 5u, 16u, 33u, 1733u}) {
            const std::size_t n = pixels * std::size_t(pixelBytes);
            std::vector<uint8_t> filtered(n), prior(n), fast(n), plain(n);
            for (int round = 0; round < 3; ++round) {
                // Random bytes, extremes (the Paeth ties and the wrap-arounds), and a zero row
                // above as the first row has.
                const uint8_t extremes[4] = {0, 1, 128, 255};
                for (std::size_t i = 0; i < n; ++i) {
                    filtered[i] = round == 1 ? extremes[rng() % 4] : uint8_t(rng());
                    prior[i] = round == 2 ? 0 : round == 1 ? extremes[rng() % 4] : uint8_t(rng());
                }
                for (uint8_t type = 0; type < 5; ++type) {
                    SCOPED_TRACE(testing::Message() << "pixel bytes " << pixelBytes << ", "
                                                    << pixels << " pixels, type " << int(type));
                    ASSERT_TRUE(unfilterRow(type, filtered.data(), prior.data(), n, pixelBytes,
                                            fast.data()));
                    ASSERT_TRUE(unfilterRowPlain(type, filtered.data(), prior.data(), n, pixelBytes,
                                                 plain.data()));
                    ASSERT_EQ(fast, plain);
                }
            }
            for (uint8_t type : {5, 255}) {
                EXPECT_FALSE(
                    unfilterRow(type, filtered.data(), prior.data(), n, pixelBytes, fast.data()));
                EXPECT_FALSE(unfilterRowPlain(type, filtered.data(), prior.data(), n, pixelBytes,
                                              plain.data()));
            }
        }
    }
}

TEST(PngRowUnfilter, UndoesWhatTheWriterFiltered) {
    std::mt19937 rng(3);
    const std::size_t n = 999 * 3;
    std::vector<uint8_t> prior(n, 0), row(n), filtered(n + 1), back(n);
    bool seen[5] = {};
    for (int y = 0; y < 200; ++y) {
        // Noise, smooth ramps and flat runs, so that every filter is chosen somewhere.
        for (std::size_t i = 0; i < n; ++i)
            row[i] = y % 4 == 0   ? uint8_t(rng())
                     : y % 4 == 1 ? uint8_t(i / 3 + y)
                     : y % 4 == 2 ? uint8_t(prior[i] + rng() % 3)
                                  : uint8_t((i / 3) * 7 / 5 + rng() % 2);
        const uint8_t type = codec::png::filterRgbRow(row.data(), prior.data(), n, filtered.data());
        seen[type] = true;
        ASSERT_TRUE(unfilterRow(filtered[0], filtered.data() + 1, prior.data(), n, 3, back.data()));
        ASSERT_EQ(back, row) << "row " << y << ", type " << int(type);
        prior = row;
    }
    EXPECT_TRUE(seen[1] && seen[2] && seen[4]) << "the rows did not try the pixel-wise filters";
}

// A PNG file as its chunks, to be rearranged or damaged and put together again.
struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
    bool badCrc = false;
};

std::vector<Chunk> chunksOf(const std::vector<uint8_t>& png) {
    std::vector<Chunk> chunks;
    for (std::size_t i = 8; i + 12 <= png.size();) {
        const std::size_t length = std::size_t(png[i]) << 24 | std::size_t(png[i + 1]) << 16 |
                                   std::size_t(png[i + 2]) << 8 | png[i + 3];
        chunks.push_back({std::string(reinterpret_cast<const char*>(&png[i + 4]), 4),
                          {png.begin() + long(i + 8), png.begin() + long(i + 8 + length)}});
        i += 12 + length;
    }
    return chunks;
}

void appendBigEndian(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(v >> shift));
}

std::vector<uint8_t> fileOf(const std::vector<Chunk>& chunks) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const Chunk& c : chunks) {
        appendBigEndian(out, uint32_t(c.data.size()));
        const std::size_t start = out.size();
        out.insert(out.end(), c.type.begin(), c.type.end());
        out.insert(out.end(), c.data.begin(), c.data.end());
        uint32_t crc = uint32_t(crc32(0, out.data() + start, uInt(out.size() - start)));
        appendBigEndian(out, c.badCrc ? crc ^ 1 : crc);
    }
    return out;
}

// The IDAT chunks' data joined into one chunk, then split again into pieces of `size` bytes.
std::vector<Chunk> withIdatPieces(const std::vector<Chunk>& chunks, std::size_t size) {
    std::vector<Chunk> out;
    std::vector<uint8_t> stream;
    for (const Chunk& c : chunks) {
        if (c.type != "IDAT") {
            if (!stream.empty()) {
                for (std::size_t at = 0; at < stream.size(); at += size)
                    out.push_back({"IDAT",
                                   {stream.begin() + long(at),
                                    stream.begin() + long(std::min(stream.size(), at + size))}});
                stream.clear();
            }
            out.push_back(c);
        } else {
            stream.insert(stream.end(), c.data.begin(), c.data.end());
        }
    }
    return out;
}

std::size_t firstIdatOffset(const std::vector<uint8_t>& png) {
    for (std::size_t i = 8; i + 12 <= png.size();) {
        if (std::memcmp(&png[i + 4], "IDAT", 4) == 0) return i;
        i += 12 + (std::size_t(png[i]) << 24 | std::size_t(png[i + 1]) << 16 |
                   std::size_t(png[i + 2]) << 8 | png[i + 3]);
    }
    return 0;
}

// Whether inflateIdatChunks takes the file's pixel data (rowBytes filtered bytes a row).
bool inflatesDirectly(const std::vector<uint8_t>& png, std::size_t rowBytes, int32_t height) {
    std::vector<uint8_t> out((rowBytes + 1) * std::size_t(height));
    return codec::png::inflateIdatChunks({png.data(), png.size()}, firstIdatOffset(png), out.data(),
                                         out.size());
}

// The same file read straight and through libpng alone: the same verdict and reason, the same
// pixels and description.
void expectSameBothWays(const std::vector<uint8_t>& png, const std::string& what) {
    SCOPED_TRACE(what);
    Picture direct, libpng;
    const codec::Status a = codec::readPngWith({png.data(), png.size()}, direct, {}, true);
    const codec::Status b = codec::readPngWith({png.data(), png.size()}, libpng, {}, false);
    ASSERT_EQ(a.ok(), b.ok());
    EXPECT_EQ(a.code, b.code);
    EXPECT_EQ(a.reason, b.reason);
    if (!a.ok()) return;
    ASSERT_EQ(direct.width, libpng.width);
    ASSERT_EQ(direct.height, libpng.height);
    ASSERT_EQ(direct.bitsPerPixel, libpng.bitsPerPixel);
    EXPECT_EQ(direct.info.format, libpng.info.format);
    EXPECT_EQ(direct.info.iccProfile, libpng.info.iccProfile);
    EXPECT_EQ(direct.info.xResolution, libpng.info.xResolution);
    ASSERT_EQ(std::memcmp(direct.pixels(), libpng.pixels(), direct.pixelBytes()), 0);
}

TEST(PngDirectRead, FilesOfThisProgramAndOthersReadAsLibpngReadsThem) {
    // Pictures this program wrote: noise (every filter chosen somewhere), smooth ramps, one row,
    // one column.
    struct Written {
        int32_t width, height;
        uint32_t seed;
    };
    for (const Written& w : {Written{613, 411, 1}, Written{613, 411, 0}, Written{1, 1, 2},
                             Written{2000, 1, 3}, Written{1, 300, 4}}) {
        Picture p;
        if (w.seed != 0) {
            test::fillRgb(p, w.width, w.height, [&](int x, int y) {
                const int noise = int((uint32_t(x) * 2654435761u ^ uint32_t(y) * w.seed) >> 27);
                return std::tuple{(x + y + noise) & 0xFF, (x * 3 + noise) & 0xFF,
                                  (y / 9 % 2) ? 220 : noise * 8};
            });
        } else {
            test::fillRgb(p, w.width, w.height, [](int x, int y) {
                return std::tuple{x & 0xFF, y & 0xFF, (x + y) / 4 & 0xFF};
            });
        }
        std::vector<uint8_t> png;
        ASSERT_TRUE(codec::writePng(p, png).ok());
        const std::string name = std::to_string(w.width) + "x" + std::to_string(w.height);
        EXPECT_TRUE(inflatesDirectly(png, p.rowBytes(), p.height)) << name;
        expectSameBothWays(png, "written " + name);
        Picture back;
        ASSERT_TRUE(codec::readPng({png.data(), png.size()}, back, {}).ok());
        EXPECT_EQ(test::maxDifference(back, p), 0) << name;
    }
    // Files of other programs: RGB with pHYs, RGBA (put over white), 16-bit, interlaced, palette,
    // grey, 1-bit, damaged.
    for (const char* file :
         {"formats/png_rgb_phys96_coffee.png", "formats/pngsuite/basn6a08.png",
          "formats/pngsuite/basn6a16.png", "formats/pngsuite/ibasn6a08.png",
          "formats/pngsuite/basn4a08.png", "formats/pngsuite/ftbrn2c08.png",
          "formats/pngsuite/ftbbn3p08.png", "formats/png_16bit_rgb_photoshop.png",
          "formats/png_palette8_interlaced_pil123p.png", "formats/png_1bit_hopper_bw_500.png",
          "formats/pngsuite/basn4a16.png", "formats/pngsuite/ftbwn0g16.png",
          "formats/png_palette8_phys_indexed.png", "formats/png_16bit_rgb_darktable_nikon_d300.png",
          "broken/png_bad_idat_crc_xcsn0g01.png", "broken/png_bad_ihdr_crc_xhdn0g08.png"}) {
        VELANOX_TEST_FILE(path, file);
        expectSameBothWays(test::fileBytes(path), file);
    }
    VELANOX_TEST_FILE(rgba, "formats/pngsuite/basn6a08.png");
    EXPECT_TRUE(inflatesDirectly(test::fileBytes(rgba), 32 * 4, 32));
}

TEST(PngDirectRead, RearrangedAndDamagedFilesGetLibpngsVerdict) {
    Picture p;
    test::fillRandom(p, 97, 61, 5);
    std::vector<uint8_t> png;
    ASSERT_TRUE(codec::writePng(p, png).ok());
    const std::vector<Chunk> chunks = chunksOf(png);
    ASSERT_EQ(chunks.back().type, "IEND");
    std::size_t firstIdat = 0;
    while (firstIdat < chunks.size() && chunks[firstIdat].type != "IDAT")
        ++firstIdat;
    auto inflates = [&](const std::vector<uint8_t>& file) {
        return inflatesDirectly(file, p.rowBytes(), p.height);
    };
    auto check = [&](const std::vector<uint8_t>& file, const std::string& what, bool direct) {
        EXPECT_EQ(inflates(file), direct) << what;
        expectSameBothWays(file, what);
    };

    // Taken straight: the stream in pieces of any size, an empty IDAT among them, a text chunk
    // after the pixel data, bytes after IEND.
    for (std::size_t size : {1u, 7u, 4096u})
        check(fileOf(withIdatPieces(chunks, size)), "IDAT pieces of " + std::to_string(size), true);
    std::vector<Chunk> c = withIdatPieces(chunks, 5000);
    c.insert(c.begin() + long(firstIdat) + 1, Chunk{"IDAT", {}});
    check(fileOf(c), "an empty IDAT", true);
    c = chunks;
    c.insert(c.end() - 1, Chunk{"tEXt", {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'h', 'i'}});
    check(fileOf(c), "text after the pixel data", true);
    std::vector<uint8_t> trailing = png;
    trailing.insert(trailing.end(), {1, 2, 3});
    check(trailing, "bytes after IEND", true);

    // Left to libpng: a damaged IDAT (with and without a CRC that matches the damage), an
    // ancillary chunk with a bad CRC, a critical chunk after the pixel data, a stream with bytes
    // beyond its end, IDATs parted by another chunk, no IEND, a file cut short, a bad filter type.
    c = withIdatPieces(chunks, 1000);
    c[firstIdat + 1].data[500] ^= 0x40;
    check(fileOf(c), "a changed IDAT byte", false);
    c[firstIdat + 1].badCrc = true;
    check(fileOf(c), "a changed IDAT byte, CRC not matching", false);
    c = chunks;
    c.insert(c.end() - 1, Chunk{"tEXt", {'a', 0, 'b'}, true});
    check(fileOf(c), "an ancillary chunk with a bad CRC", false);
    c = chunks;
    c.insert(c.end() - 1, Chunk{"PLTE", {0, 0, 0}});
    check(fileOf(c), "a palette after the pixel data", false);
    c = withIdatPieces(chunks, 1 << 20);
    c[c.size() - 2].data.insert(c[c.size() - 2].data.end(), {0, 0, 0, 0});
    check(fileOf(c), "bytes beyond the stream's end", false);
    c = withIdatPieces(chunks, 2000);
    c.insert(c.begin() + long(firstIdat) + 1, Chunk{"tEXt", {'a', 0, 'b'}});
    check(fileOf(c), "IDATs parted by a text chunk", false);
    c = chunks;
    c.pop_back();
    check(fileOf(c), "no IEND", false);
    for (std::size_t cut : {png.size() - 1, png.size() - 12, png.size() / 2})
        check({png.begin(), png.begin() + long(cut)}, "cut at " + std::to_string(cut), false);

    // A filter type of 5 in an otherwise sound stream.
    std::vector<uint8_t> rows((p.rowBytes() + 1) * std::size_t(p.height), 0);
    rows[(p.rowBytes() + 1) * 10] = 5;
    uLongf packed = compressBound(uLong(rows.size()));
    std::vector<uint8_t> stream(packed);
    ASSERT_EQ(compress(stream.data(), &packed, rows.data(), uLong(rows.size())), Z_OK);
    stream.resize(packed);
    c = withIdatPieces(chunks, 1 << 20);
    c[c.size() - 2].data = stream;
    expectSameBothWays(fileOf(c), "filter type 5");
}

} // namespace
} // namespace velanox::codec
