// Reading files of the shared test corpus for the codec tests.
#pragma once

#include "codec/codec.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velanox::test {

/// The whole file; empty when it cannot be read.
inline std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline codec::ByteSpan spanOf(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), bytes.size()};
}

/// Mean absolute difference of two 24-bit pictures of one size, sampled on a grid of about
/// samples x samples points; the second one optionally upside down.
inline double meanDifference(const Picture& a, const Picture& b, bool flipB = false) {
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
inline void expandToRgb(const Picture& in, Picture& out) {
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
