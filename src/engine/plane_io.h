// Moving one channel between the pixels and the engine's working plane: loading, the
// mirrored margin, the soft threshold and the two write-backs.
#pragma once

#include "core/image_view.h"

#include <cstddef>

namespace velanox::engine {

/// Samples of mirrored margin around the block on every side of the plane.
inline constexpr int kPlaneMargin = 32;

/// Loads byte `channel` of every pixel (or, for channel -1, the luminance
/// 0.5869903 b1 + 0.1139984 b0 + 0.298995 b2) into the plane inside its margin.
void loadPlane(const core::ImageView& pixels, double* plane, std::size_t planeStride, int channel);

/// Mirrors the block into the margin (the edge row and column repeat); the corners hold 0.
void fillMargin(double* plane, int width, int height);

/// The block row that plane row t (0 <= t < height + 2 * kPlaneMargin) holds or mirrors.
inline int planeRowToBlockRow(int t, int height) {
    const int m = kPlaneMargin;
    if (t < m) return m - 1 - t;
    if (t >= height + m) return 2 * height + m - 1 - t;
    return t - m;
}

/// Where the first level reads the block and the first level's inverse writes it back: byte
/// `channel` of the pixels (-1: their luminance), in place; or, when `bytes` is set, a
/// plane of width x height bytes holding that channel apart (block row y at bytes + y * width).
struct BlockRows {
    const core::ImageView* view = nullptr;
    int channel = 0;
    unsigned char* bytes = nullptr;

    int width() const { return view->width; }
    int height() const { return view->height; }
    /// Plane row t (0 <= t < height + 2 * kPlaneMargin) exactly as loadPlane and fillMargin lay
    /// it out, into row[0 .. width + 2 * kPlaneMargin).
    void load(int t, double* row) const;
    /// Writes plane row t (kPlaneMargin <= t < height + kPlaneMargin) back as writeChannel, or
    /// for channel -1 writeLuminance, would: the same bytes.
    void store(int t, const double* row) const;
    /// The memory behind block row y, and its length, for asking for it ahead of its use.
    const void* rowAddress(int y) const;
    std::size_t rowBytes() const;
};

/// Copies bytes 0, 1 and 2 of every pixel into planes[0..2], each width x height bytes.
void splitChannels(const core::ImageView& pixels, unsigned char* const planes[3]);

/// Writes planes[c] back into byte c of every pixel, for each c whose bit (1 << c) is set in
/// `channels`; the other bytes are kept.
void mergeChannels(const core::ImageView& pixels, unsigned char* const planes[3],
                   unsigned channels);

/// v = 0 where |v| < t, else sign(v) (|v| - t), over count values.
void softThreshold(double* plane, std::size_t count, double t);

/// Soft threshold of one value, the same expression everywhere it is applied.
inline double softThresholdValue(double v, double t);

/// Writes the plane back into byte `channel`: value + 0.5, clamped to 0..255, truncated. Channel
/// -1 is the luminance write-back.
void writeChannel(const core::ImageView& pixels, const double* plane, std::size_t planeStride,
                  int channel);

/// Moves each pixel's luminance to the plane value with its colour differences kept; byte 1
/// carries the change through the inverse of its weight. No rounding offset.
void writeLuminance(const core::ImageView& pixels, const double* plane, std::size_t planeStride);

} // namespace velanox::engine

#include <cmath>

inline double velanox::engine::softThresholdValue(double v, double t) {
    const double a = std::fabs(v);
    return a < t ? 0.0 : std::copysign(a - t, v);
}
