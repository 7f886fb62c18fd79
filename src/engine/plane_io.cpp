#include "engine/plane_io.h"

#include "engine/hot_loop.h"
#include "engine/threads.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace velanox::engine {

namespace {

constexpr double kLumaByte0 = 0.1139984;
constexpr double kLumaByte1 = 0.5869903;
constexpr double kLumaByte2 = 0.298995;

unsigned char clampTruncate(double v) {
    if (v < 0.0) return 0;
    if (v >= 255.0) return 255;
    return static_cast<unsigned char>(v);
}

// Reads byte `channel` of each 4-byte pixel, the pixel read whole so that the loop vectorises.
VELANOX_HOT void loadChannelRow(const unsigned char* px, double* dst, int n, int channel) {
    const int shift = 8 * channel;
    for (int x = 0; x < n; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, px + 4 * x, 4);
        dst[x] = double((pixel >> shift) & 0xFF);
    }
}

// Stores clampTruncate(src[x] + 0.5) into byte `channel` of each 4-byte pixel. The pixel is
// read and written whole, with the other three bytes kept, so the loop vectorises.
VELANOX_HOT void storeChannelRow(const double* src, unsigned char* px, int n, int channel) {
    const int shift = 8 * channel;
    const uint32_t keep = ~(uint32_t(0xFF) << shift);
    for (int x = 0; x < n; ++x) {
        double v = src[x] + 0.5;
        v = v < 0.0 ? 0.0 : v;
        v = v >= 255.0 ? 255.0 : v;
        const uint32_t b = uint32_t(int32_t(v)) & 0xFF;
        uint32_t pixel;
        std::memcpy(&pixel, px + 4 * x, 4);
        pixel = (pixel & keep) | (b << shift);
        std::memcpy(px + 4 * x, &pixel, 4);
    }
}

// Byte `channel` (or the luminance, for -1) of pixel row y into dst[0..width).
void loadPixelRow(const core::ImageView& s, int y, double* dst, int channel) {
    const unsigned char* px = s.row(y);
    if (channel >= 0 && std::endian::native == std::endian::little) {
        loadChannelRow(px, dst, s.width, channel);
    } else if (channel >= 0) {
        for (int x = 0; x < s.width; ++x)
            dst[x] = px[4 * x + channel];
    } else {
        for (int x = 0; x < s.width; ++x) {
            const unsigned char* p = px + 4 * x;
            dst[x] = kLumaByte1 * p[1] + kLumaByte0 * p[0] + kLumaByte2 * p[2];
        }
    }
}

void storeLuminanceRow(const double* src, unsigned char* px, int n) {
    for (int x = 0; x < n; ++x, px += 4) {
        // All three from the current bytes, before any is stored.
        const double b0 = px[0], b1 = px[1], b2 = px[2], yNew = src[x];
        const double n2 = 0.701005 * b2 - kLumaByte1 * b1 - kLumaByte0 * b0 + yNew;
        const double n1 = (yNew - (kLumaByte0 * b0 + kLumaByte2 * b2)) * 1.703597;
        const double n0 = 0.8860016 * b0 - kLumaByte1 * b1 - kLumaByte2 * b2 + yNew;
        px[0] = clampTruncate(n0);
        px[1] = clampTruncate(n1);
        px[2] = clampTruncate(n2);
    }
}

VELANOX_HOT void loadBytesRow(const unsigned char* src, double* dst, int n) {
    for (int x = 0; x < n; ++x)
        dst[x] = double(src[x]);
}

// The bytes storeChannelRow would store, into a plane of their own. The clamps are made on the
// truncated whole numbers, which gives the same bytes: values in (-1, 0) truncate to 0 like the
// values clamped to 0, and everything from 255 up stays 255. A reconstructed sample lies within
// a few thousand of the byte range, far inside 32 bits.
VELANOX_HOT void storeBytesRow(const double* src, unsigned char* dst, int n) {
    for (int x = 0; x < n; ++x)
        dst[x] = static_cast<unsigned char>(std::clamp(int32_t(src[x] + 0.5), 0, 255));
}

VELANOX_HOT void splitRow(const unsigned char* px, unsigned char* c0, unsigned char* c1,
                          unsigned char* c2, int n) {
    for (int x = 0; x < n; ++x) {
        c0[x] = px[4 * x];
        c1[x] = px[4 * x + 1];
        c2[x] = px[4 * x + 2];
    }
}

// Bytes 0..2 of every pixel from the planes, byte 3 kept; whole pixels read and written so the
// loop vectorises.
VELANOX_HOT void mergeRow(const unsigned char* c0, const unsigned char* c1, const unsigned char* c2,
                          unsigned char* px, int n) {
    for (int x = 0; x < n; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, px + 4 * x, 4);
        pixel = (pixel & 0xFF000000u) | uint32_t(c0[x]) | (uint32_t(c1[x]) << 8) |
                (uint32_t(c2[x]) << 16);
        std::memcpy(px + 4 * x, &pixel, 4);
    }
}

// src[0..width) back into byte `channel` (or the luminance, for -1) of pixel row y.
void storePixelRow(const core::ImageView& s, int y, const double* src, int channel) {
    unsigned char* px = s.row(y);
    if (channel < 0) {
        storeLuminanceRow(src, px, s.width);
    } else if constexpr (std::endian::native == std::endian::little) {
        storeChannelRow(src, px, s.width, channel);
    } else {
        for (int x = 0; x < s.width; ++x)
            px[4 * x + channel] = clampTruncate(src[x] + 0.5);
    }
}

// Calls body(y) for every row y in [0, height), the rows shared among the threads.
template <class Body> void forEachRow(int height, Body body) {
    const int threads = maxThreads();
    parallelFor(height, runLength(height, threads), threads, [&](int64_t y0, int64_t y1, int) {
        for (int64_t y = y0; y < y1; ++y)
            body(int(y));
    });
}

} // namespace

void loadPlane(const core::ImageView& s, double* plane, std::size_t wp, int channel) {
    const int m = kPlaneMargin;
    forEachRow(s.height,
               [&](int y) { loadPixelRow(s, y, plane + std::size_t(m + y) * wp + m, channel); });
}

void BlockRows::load(int t, double* row) const {
    const int m = kPlaneMargin, w = width(), h = height();
    const int y = planeRowToBlockRow(t, h);
    if (bytes != nullptr)
        loadBytesRow(bytes + std::size_t(y) * std::size_t(w), row + m, w);
    else
        loadPixelRow(*view, y, row + m, channel);
    if (t < m || t >= h + m) {
        // A margin row: the mirrored block row between corners of 0.
        std::fill(row, row + m, 0.0);
        std::fill(row + w + m, row + w + 2 * m, 0.0);
        return;
    }
    for (int k = 0; k < m; ++k) {
        row[m - 1 - k] = row[m + k];
        row[w + m + k] = row[w + m - 1 - k];
    }
}

void BlockRows::store(int t, const double* row) const {
    const int y = t - kPlaneMargin;
    if (bytes != nullptr)
        storeBytesRow(row + kPlaneMargin, bytes + std::size_t(y) * std::size_t(width()), width());
    else
        storePixelRow(*view, y, row + kPlaneMargin, channel);
}

const void* BlockRows::rowAddress(int y) const {
    if (bytes != nullptr) return bytes + std::size_t(y) * std::size_t(width());
    return view->row(y);
}

std::size_t BlockRows::rowBytes() const {
    return std::size_t(width()) * (bytes != nullptr ? 1 : 4);
}

void splitChannels(const core::ImageView& s, unsigned char* const planes[3]) {
    const std::size_t w = std::size_t(s.width);
    forEachRow(s.height, [&](int y) {
        splitRow(s.row(y), planes[0] + y * w, planes[1] + y * w, planes[2] + y * w, s.width);
    });
}

void mergeChannels(const core::ImageView& s, unsigned char* const planes[3], unsigned channels) {
    if ((channels & 7u) == 0) return;
    const std::size_t w = std::size_t(s.width);
    forEachRow(s.height, [&](int y) {
        unsigned char* px = s.row(y);
        if ((channels & 7u) == 7u && std::endian::native == std::endian::little) {
            mergeRow(planes[0] + y * w, planes[1] + y * w, planes[2] + y * w, px, s.width);
            return;
        }
        for (int c = 0; c < 3; ++c)
            if ((channels & (1u << c)) != 0)
                for (int x = 0; x < s.width; ++x)
                    px[4 * x + c] = planes[c][y * w + std::size_t(x)];
    });
}

void fillMargin(double* plane, int w, int h) {
    const int m = kPlaneMargin;
    const std::size_t wp = std::size_t(w) + 2 * m;
    const std::size_t hp = std::size_t(h) + 2 * m;
    auto row = [&](std::size_t r) { return plane + r * wp; };
    for (std::size_t r : {std::size_t(0), hp - m}) {
        for (int k = 0; k < m; ++k) {
            std::fill(row(r + k), row(r + k) + m, 0.0);
            std::fill(row(r + k) + wp - m, row(r + k) + wp, 0.0);
        }
    }
    for (int k = 0; k < m; ++k) {
        std::copy(row(m + k) + m, row(m + k) + m + w, row(m - 1 - k) + m);
        std::copy(row(h + m - 1 - k) + m, row(h + m - 1 - k) + m + w, row(h + m + k) + m);
    }
    // A few values per row: not worth waking other threads for.
    for (int r = m; r < h + m; ++r) {
        double* p = row(r);
        for (int k = 0; k < m; ++k) {
            p[m - 1 - k] = p[m + k];
            p[w + m + k] = p[w + m - 1 - k];
        }
    }
}

void softThreshold(double* plane, std::size_t count, double t) {
    for (std::size_t i = 0; i < count; ++i)
        plane[i] = softThresholdValue(plane[i], t);
}

void writeChannel(const core::ImageView& s, const double* plane, std::size_t wp, int channel) {
    const int m = kPlaneMargin;
    forEachRow(s.height,
               [&](int y) { storePixelRow(s, y, plane + std::size_t(m + y) * wp + m, channel); });
}

void writeLuminance(const core::ImageView& s, const double* plane, std::size_t wp) {
    writeChannel(s, plane, wp, -1);
}

} // namespace velanox::engine
