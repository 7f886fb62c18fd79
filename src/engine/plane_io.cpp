#include "engine/plane_io.h"

#include "engine/hot_loop.h"

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

// Byte `channel` (or the luminance, for -1) of surface row y into dst[0..width).
void loadSurfaceRow(const PixelSurface& s, int y, double* dst, int channel) {
    const unsigned char* px = s.rowAddress(y);
    if (channel >= 0 && std::endian::native == std::endian::little) {
        loadChannelRow(px, dst, s.width(), channel);
    } else if (channel >= 0) {
        for (int x = 0; x < s.width(); ++x)
            dst[x] = px[4 * x + channel];
    } else {
        for (int x = 0; x < s.width(); ++x) {
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

// src[0..width) back into byte `channel` (or the luminance, for -1) of surface row y.
void storeSurfaceRow(const PixelSurface& s, int y, const double* src, int channel) {
    unsigned char* px = s.rowAddress(y);
    if (channel < 0) {
        storeLuminanceRow(src, px, s.width());
    } else if constexpr (std::endian::native == std::endian::little) {
        storeChannelRow(src, px, s.width(), channel);
    } else {
        for (int x = 0; x < s.width(); ++x)
            px[4 * x + channel] = clampTruncate(src[x] + 0.5);
    }
}

} // namespace

void loadPlane(const PixelSurface& s, double* plane, std::size_t wp, int channel) {
    const int m = kPlaneMargin;
#pragma omp parallel for schedule(static)
    for (int y = 0; y < s.height(); ++y)
        loadSurfaceRow(s, y, plane + std::size_t(m + y) * wp + m, channel);
}

void loadPlaneRow(const PixelSurface& s, int channel, int t, double* row) {
    const int m = kPlaneMargin, w = s.width(), h = s.height();
    if (t < m || t >= h + m) {
        // A margin row: the mirrored block row between corners of 0.
        std::fill(row, row + m, 0.0);
        loadSurfaceRow(s, planeRowToBlockRow(t, h), row + m, channel);
        std::fill(row + w + m, row + w + 2 * m, 0.0);
        return;
    }
    loadSurfaceRow(s, t - m, row + m, channel);
    for (int k = 0; k < m; ++k) {
        row[m - 1 - k] = row[m + k];
        row[w + m + k] = row[w + m - 1 - k];
    }
}

void storePlaneRow(const PixelSurface& s, int channel, int t, const double* row) {
    storeSurfaceRow(s, t - kPlaneMargin, row + kPlaneMargin, channel);
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

void writeChannel(const PixelSurface& s, const double* plane, std::size_t wp, int channel) {
    const int m = kPlaneMargin;
#pragma omp parallel for schedule(static)
    for (int y = 0; y < s.height(); ++y)
        storeSurfaceRow(s, y, plane + std::size_t(m + y) * wp + m, channel);
}

void writeLuminance(const PixelSurface& s, const double* plane, std::size_t wp) {
    writeChannel(s, plane, wp, -1);
}

} // namespace velanox::engine
