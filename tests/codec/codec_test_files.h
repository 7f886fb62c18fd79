// Helpers shared by the codec tests: a scratch folder removed afterwards, whole-file reads and
// hand-made pictures.
#pragma once

#include "codec/codec.h"
#include "codec/picture.h"
#include "support/test_files.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace velanox::test {

/// A fresh folder for the files a test writes.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device entropy;
        m_path = std::filesystem::temp_directory_path() /
                 ("velanox_codec_" + std::to_string(entropy()) + std::to_string(entropy()));
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline core::ByteSpan span(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), bytes.size()};
}

/// A 24-bit picture whose pixel (x, y) is (r, g, b) = f(x, y).
template <typename F> void fillRgb(codec::Picture& p, int32_t width, int32_t height, F f) {
    ASSERT_TRUE(p.allocate(width, height, 24).ok());
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* px = p.pixels() + (std::size_t(y) * width + x) * 3;
            const auto [r, g, b] = f(x, y);
            px[0] = uint8_t(r);
            px[1] = uint8_t(g);
            px[2] = uint8_t(b);
        }
}

/// Random 24-bit content from a fixed seed.
inline void fillRandom(codec::Picture& p, int32_t width, int32_t height, uint32_t seed) {
    ASSERT_TRUE(p.allocate(width, height, 24).ok());
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < p.pixelBytes(); ++i)
        p.pixels()[i] = uint8_t(rng());
}

inline const uint8_t* pixelAt(const codec::Picture& p, int32_t x, int32_t y) {
    return p.pixels() + (std::size_t(y) * std::size_t(p.width) + std::size_t(x)) * 3;
}

/// Largest difference of any byte of two 24-bit pictures of the same size (-1 if they differ
/// in size or depth).
inline int maxDifference(const codec::Picture& a, const codec::Picture& b) {
    if (a.width != b.width || a.height != b.height || a.bitsPerPixel != b.bitsPerPixel) return -1;
    int worst = 0;
    for (std::size_t i = 0; i < a.pixelBytes(); ++i)
        worst = std::max(worst, std::abs(int(a.pixels()[i]) - int(b.pixels()[i])));
    return worst;
}

/// Mean absolute difference per byte.
inline double meanDifference(const codec::Picture& a, const codec::Picture& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.pixelBytes(); ++i)
        sum += std::abs(int(a.pixels()[i]) - int(b.pixels()[i]));
    return sum / double(a.pixelBytes());
}

/// The whole file; empty when it cannot be read.
inline std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline core::ByteSpan spanOf(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), bytes.size()};
}

/// Mean absolute difference of two 24-bit pictures of one size, sampled on a grid of about
/// samples x samples points; the second one optionally upside down.
inline double sampledMeanDifference(const codec::Picture& a, const codec::Picture& b,
                                    bool flipB = false) {
    double sum = 0;
    int count = 0;
    for (int y = 0; y < a.height; y += 3)
        for (int x = 0; x < a.width; x += 3) {
            const uint8_t* p = a.pixels() + (std::size_t(y) * a.width + x) * 3;
            const int yb = flipB ? b.height - 1 - y : y;
            const uint8_t* q = b.pixels() + (std::size_t(yb) * b.width + x) * 3;
            for (int c = 0; c < 3; ++c)
                sum += std::abs(int(p[c]) - int(q[c]));
            count += 3;
        }
    return count ? sum / count : 0;
}

/// An 8-bit or 1-bit picture brought to 24 bits through its palette, as loading does.
inline void expandToRgb(const codec::Picture& in, codec::Picture& out) {
    out.allocate(in.width, in.height, 24);
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            const uint8_t* row = in.pixels() + std::size_t(y) * in.rowBytes();
            int index = 0;
            if (in.bitsPerPixel == 8) index = row[x];
            if (in.bitsPerPixel == 1) index = (row[x / 8] >> (7 - x % 8)) & 1;
            uint8_t* p = out.pixels() + (std::size_t(y) * in.width + x) * 3;
            if (in.bitsPerPixel == 24) {
                std::copy(row + 3 * x, row + 3 * x + 3, p);
                continue;
            }
            p[0] = in.palette[index].red;
            p[1] = in.palette[index].green;
            p[2] = in.palette[index].blue;
        }
}

} // namespace velanox::test
