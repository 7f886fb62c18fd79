// 24-bit PNG pixel data: the per-row filter choice, the banded zlib stream, and whole files
// checked without libpng (chunk CRCs, inflate with its Adler-32 check, unfiltering by hand).
#include "codec/codec_test_files.h"
#include "codec/picture.h"
#include "codec/png/png_codec.h"
#include "codec/png/png_idat_stream.h"
#include "codec/png/png_row_filter.h"

#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace velanox::codec {
namespace {

int paethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// The prediction of filter type for byte i, from the unfiltered row and the row above.
int predictionOf(int type, const uint8_t* row, const uint8_t* prior, std::size_t i) {
    const int a = i >= 3 ? row[i - 3] : 0, b = prior[i], c = i >= 3 ? prior[i - 3] : 0;
    switch (type) {
    case 0:
        return 0;
    case 1:
        return a;
    case 2:
        return b;
    case 3:
        return (a + b) / 2;
    default:
        return paethPredictor(a, b, c);
    }
}

// Undoes one filtered row (type byte first) in place of row, given the row above.
void unfilter(const uint8_t* filtered, const uint8_t* prior, std::size_t n, uint8_t* row) {
    ASSERT_LE(filtered[0], 4);
    for (std::size_t i = 0; i < n; ++i)
        row[i] = uint8_t(filtered[1 + i] + predictionOf(filtered[0], row, prior, i));
}

// The sum of the filtered bytes' magnitudes, read as signed bytes.
uint64_t costOf(int type, const uint8_t* row, const uint8_t* prior, std::size_t n) {
    uint64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i)
        sum += std::abs(int(int8_t(uint8_t(row[i] - predictionOf(type, row, prior, i)))));
    return sum;
}

TEST(PngRowFilter, UndoesExactlyAndPicksTheCheapestFilter) {
    std::mt19937 rng(5);
    bool chosen[5] = {};
    // Lengths around the 16-byte steps and the first pixel; values from the full range, from a
    // few extremes (ties and the magnitude 128) and from smooth ramps.
    for (std::size_t n : {3u, 6u, 15u, 18u, 19u * 3, 48u, 51u, 1000u * 3, 1733u * 3}) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<uint8_t> prior(n), row(n), out(n + 1), back(n);
            for (std::size_t i = 0; i < n; ++i) {
                const uint8_t extremes[4] = {0, 127, 128, 255};
                switch (kind) {
                case 0:
                    prior[i] = uint8_t(rng()), row[i] = uint8_t(rng());
                    break;
                case 1:
                    prior[i] = extremes[rng() % 4], row[i] = extremes[rng() % 4];
                    break;
                case 2: // the same ramp as the row above, plus a little noise
                    prior[i] = uint8_t(i / 3);
                    row[i] = uint8_t(i / 3 + rng() % 3);
                    break;
                default: // noise around a level that jumps every 40 pixels
                    prior[i] = uint8_t((i / 120) * 50 + rng() % 8);
                    row[i] = uint8_t((i / 120) * 50 + rng() % 8);
                }
            }
            const uint8_t type = codec::png::filterRgbRow(row.data(), prior.data(), n, out.data());
            ASSERT_EQ(out[0], type);
            chosen[type] = true;
            unfilter(out.data(), prior.data(), n, back.data());
            ASSERT_EQ(back, row) << "n " << n << " kind " << kind << " type " << int(type);
            uint64_t costs[5];
            for (int t = 0; t < 5; ++t)
                costs[t] = costOf(t, row.data(), prior.data(), n);
            for (int t = 0; t < 5; ++t) {
                ASSERT_LE(costs[type], costs[t]) << "n " << n << " kind " << kind;
                if (t < type) {
                    ASSERT_GT(costs[t], costs[type]) << "ties go to the lower type";
                }
            }
        }
    }
    for (int t = 0; t < 5; ++t)
        EXPECT_TRUE(chosen[t]) << "filter type " << t << " never tried";
}

// The whole zlib stream from its pieces, inflated with its Adler-32 checked; empty when zlib
// finds fault with it.
std::vector<uint8_t> inflateStream(const std::vector<uint8_t>& stream, std::size_t expected) {
    std::vector<uint8_t> out(expected + 16);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return {};
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int result = inflate(&z, Z_FINISH);
    const bool whole = result == Z_STREAM_END && z.avail_in == 0;
    out.resize(z.total_out);
    inflateEnd(&z);
    return whole ? out : std::vector<uint8_t>{};
}

std::vector<uint8_t> joined(const std::vector<codec::png::StreamPiece>& pieces) {
    std::vector<uint8_t> all;
    for (const codec::png::StreamPiece& piece : pieces)
        all.insert(all.end(), piece.data(), piece.data() + piece.size());
    return all;
}

// The pixels back from the filtered rows.
void expectRowsUndoTo(const std::vector<uint8_t>& filtered, const Picture& p) {
    const std::size_t n = p.rowBytes();
    ASSERT_EQ(filtered.size(), (n + 1) * std::size_t(p.height));
    std::vector<uint8_t> prior(n, 0), row(n);
    for (int32_t y = 0; y < p.height; ++y) {
        unfilter(filtered.data() + std::size_t(y) * (n + 1), prior.data(), n, row.data());
        ASSERT_EQ(std::memcmp(row.data(), p.pixels() + std::size_t(y) * n, n), 0) << "row " << y;
        prior = row;
    }
}

TEST(PngIdatStream, BandsJoinIntoOneValidStreamAtAnySize) {
    struct Case {
        int32_t width, height;
        std::size_t bandBytes;
    };
    // Single pixels, rows and columns; one row per band; a row longer than a band; widths
    // that are a multiple of nothing; a band count that does not divide the height.
    const Case cases[] = {{1, 1, codec::png::kBandBytes},
                          {1, 1, 1},
                          {1, 9, 1},
                          {1, 9, codec::png::kBandBytes},
                          {9, 1, 1},
                          {37, 23, 1},
                          {37, 23, 100},
                          {1733, 7, 11000},
                          {90001, 2, codec::png::kBandBytes},
                          {613, 611, codec::png::kBandBytes}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << " bands of " << c.bandBytes);
        Picture p;
        test::fillRgb(p, c.width, c.height, [](int x, int y) {
            const int smooth = (x + 2 * y) & 0xFF;
            return std::tuple{smooth, (x * y) & 0xFF, (x / 7 % 2) ? 200 : smooth / 2};
        });
        std::vector<codec::png::StreamPiece> pieces;
        ASSERT_TRUE(codec::png::compressRgbRows(p, pieces, c.bandBytes));
        const std::vector<uint8_t> stream = joined(pieces);
        ASSERT_GE(stream.size(), 6u);
        EXPECT_EQ((stream[0] << 8 | stream[1]) % 31, 0) << "zlib header check bits";
        const std::vector<uint8_t> filtered =
            inflateStream(stream, std::size_t(c.height) * (p.rowBytes() + 1));
        expectRowsUndoTo(filtered, p);
        // The rows are filtered alike however they are banded.
        std::vector<codec::png::StreamPiece> whole;
        ASSERT_TRUE(codec::png::compressRgbRows(p, whole, std::size_t(1) << 40));
        EXPECT_EQ(whole.size(), 1u);
        EXPECT_EQ(inflateStream(joined(whole), filtered.size()), filtered);
    }
}

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
};

// The chunks of a PNG file, each CRC checked with zlib.
std::vector<Chunk> chunksOf(const std::vector<uint8_t>& png) {
    std::vector<Chunk> chunks;
    std::size_t i = 8;
    while (i + 12 <= png.size()) {
        const std::size_t length = std::size_t(png[i]) << 24 | std::size_t(png[i + 1]) << 16 |
                                   std::size_t(png[i + 2]) << 8 | png[i + 3];
        if (i + 12 + length > png.size()) break;
        const uint32_t crc = uint32_t(crc32(0, png.data() + i + 4, uInt(length + 4)));
        const uint8_t* stored = png.data() + i + 8 + length;
        EXPECT_EQ(crc, uint32_t(stored[0]) << 24 | uint32_t(stored[1]) << 16 |
                           uint32_t(stored[2]) << 8 | stored[3]);
        chunks.push_back({std::string(reinterpret_cast<const char*>(png.data() + i + 4), 4),
                          {png.begin() + long(i + 8), png.begin() + long(i + 8 + length)}});
        i += 12 + length;
    }
    EXPECT_EQ(i, png.size()) << "bytes after the last whole chunk";
    return chunks;
}

TEST(PngWrite, TrueColorFilesHoldTheExactPixels) {
    // Odd shapes, and a 12-megapixel camera's size, whose stream spans many IDAT chunks.
    const std::pair<int32_t, int32_t> sizes[] = {
        {1, 1}, {1, 300}, {300, 1}, {1733, 3}, {4000, 3000}};
    for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        Picture p;
        test::fillRandom(p, width, height, uint32_t(width * 31 + height));
        // Flat stretches too, as photographs have.
        for (std::size_t i = 0; i < p.pixelBytes() / 3; ++i)
            p.pixels()[i] = 77;
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(codec::writePng(p, bytes).ok());

        const std::vector<Chunk> chunks = chunksOf(bytes);
        ASSERT_GE(chunks.size(), 3u);
        EXPECT_EQ(chunks.front().type, "IHDR");
        EXPECT_EQ(chunks.back().type, "IEND");
        EXPECT_TRUE(chunks.back().data.empty());
        std::vector<uint8_t> stream;
        std::vector<std::string> order;
        for (const Chunk& c : chunks) {
            if (c.type == "IDAT") stream.insert(stream.end(), c.data.begin(), c.data.end());
            if (order.empty() || order.back() != c.type) order.push_back(c.type);
        }
        // The IDATs follow each other, after the sRGB and gAMA chunks and before IEND.
        ASSERT_EQ(std::count(order.begin(), order.end(), "IDAT"), 1);
        EXPECT_EQ(order[order.size() - 2], "IDAT");
        EXPECT_NE(std::find(order.begin(), order.end(), "sRGB"), order.end());
        EXPECT_NE(std::find(order.begin(), order.end(), "gAMA"), order.end());
        expectRowsUndoTo(inflateStream(stream, std::size_t(height) * (p.rowBytes() + 1)), p);

        Picture back;
        ASSERT_TRUE(codec::readPng(test::span(bytes), back, {}).ok());
        EXPECT_EQ(test::maxDifference(back, p), 0);
    }
}

} // namespace
} // namespace velanox::codec
