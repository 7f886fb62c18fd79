#include "engine/wavelet_filter.h"

#include "engine/wavelet_97.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>

namespace velanox::engine {

namespace {

using Doubles = std::unique_ptr<double[]>;

// Allocates count doubles, or returns null (never throws) when the memory cannot be had.
Doubles allocateDoubles(std::size_t count) {
    if (count > SIZE_MAX / sizeof(double)) return nullptr;
    return Doubles(new (std::nothrow) double[count]);
}

constexpr double kLumaByte0 = 0.1139984;
constexpr double kLumaByte1 = 0.5869903;
constexpr double kLumaByte2 = 0.298995;

double luminance(const unsigned char* px) {
    return kLumaByte1 * px[1] + kLumaByte0 * px[0] + kLumaByte2 * px[2];
}

unsigned char clampTruncate(double v) {
    if (v < 0.0) return 0;
    if (v >= 255.0) return 255;
    return static_cast<unsigned char>(v);
}

void loadPlane(const PixelSurface& s, double* plane, std::size_t wp, int channel) {
    const int m = WaveletFilter::kMargin;
    for (int y = 0; y < s.height(); ++y) {
        const unsigned char* px = s.rowAddress(y);
        double* dst = plane + std::size_t(m + y) * wp + m;
        if (channel >= 0) {
            for (int x = 0; x < s.width(); ++x)
                dst[x] = px[4 * x + channel];
        } else {
            for (int x = 0; x < s.width(); ++x)
                dst[x] = luminance(px + 4 * x);
        }
    }
}

// Mirrors the block into the 32-sample margin; the corner squares hold 0.
void fillMargin(double* plane, int w, int h) {
    const int m = WaveletFilter::kMargin;
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
    for (int r = m; r < h + m; ++r) {
        double* p = row(r);
        for (int k = 0; k < m; ++k) {
            p[m - 1 - k] = p[m + k];
            p[w + m + k] = p[w + m - 1 - k];
        }
    }
}

void softThreshold(double* plane, std::size_t count, double t) {
    for (std::size_t i = 0; i < count; ++i) {
        const double v = plane[i];
        const double a = std::fabs(v);
        plane[i] = a < t ? 0.0 : std::copysign(a - t, v);
    }
}

void writeChannel(const PixelSurface& s, const double* plane, std::size_t wp, int channel) {
    const int m = WaveletFilter::kMargin;
    for (int y = 0; y < s.height(); ++y) {
        unsigned char* px = s.rowAddress(y);
        const double* src = plane + std::size_t(m + y) * wp + m;
        for (int x = 0; x < s.width(); ++x)
            px[4 * x + channel] = clampTruncate(src[x] + 0.5);
    }
}

// Moves each pixel's luminance to the plane value, the colour difference kept; green carries
// the rest of the change through the inverse of its weight.
void writeLuminance(const PixelSurface& s, const double* plane, std::size_t wp) {
    const int m = WaveletFilter::kMargin;
    for (int y = 0; y < s.height(); ++y) {
        unsigned char* px = s.rowAddress(y);
        const double* src = plane + std::size_t(m + y) * wp + m;
        for (int x = 0; x < s.width(); ++x, px += 4) {
            const double b0 = px[0], b1 = px[1], b2 = px[2], yNew = src[x];
            const double n2 = 0.701005 * b2 - kLumaByte1 * b1 - kLumaByte0 * b0 + yNew;
            const double n1 = (yNew - (kLumaByte0 * b0 + kLumaByte2 * b2)) * 1.703597;
            const double n0 = 0.8860016 * b0 - kLumaByte1 * b1 - kLumaByte2 * b2 + yNew;
            px[0] = clampTruncate(n0);
            px[1] = clampTruncate(n1);
            px[2] = clampTruncate(n2);
        }
    }
}

} // namespace

void WaveletFilter::setThresholds(double t0, double t1, double t2) {
    const double t[3] = {t0, t1, t2};
    for (int c = 0; c < 3; ++c)
        if (t[c] > 0.0) thresholds_[c] = t[c];
}

bool WaveletFilter::reportProgress() {
    const int32_t step = progressStep_++;
    if (progress_ != nullptr && progress_(step, progressTotal_, context_) != 0) {
        cancelled_ = true;
        return false;
    }
    return true;
}

bool WaveletFilter::forwardTransform(double* plane, int wp, int hp) {
    const std::size_t lineSize = wavelet97::scratchSize(std::max(wp, hp));
    Doubles line = allocateDoubles(lineSize);
    Doubles ext = allocateDoubles(lineSize);
    if (!line || !ext) {
        outOfMemory_ = true;
        return false;
    }
    int w = wp, h = hp;
    for (int level = 1; level <= levels_; ++level) {
        if (!reportProgress()) return false;
        wavelet97::forwardLevel(plane, std::size_t(wp), w, h, line.get(), ext.get());
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    return true;
}

bool WaveletFilter::inverseTransform(double* plane, int wp, int hp) {
    const int n = std::max(wp, hp);
    Doubles line = allocateDoubles(wavelet97::scratchSize(n));
    Doubles lowExt = allocateDoubles(wavelet97::scratchSize((n + 1) / 2));
    Doubles highExt = allocateDoubles(wavelet97::scratchSize((n + 1) / 2));
    std::unique_ptr<int[]> wL(new (std::nothrow) int[levels_ + 1]);
    std::unique_ptr<int[]> wH(new (std::nothrow) int[levels_ + 1]);
    std::unique_ptr<int[]> hL(new (std::nothrow) int[levels_ + 1]);
    std::unique_ptr<int[]> hH(new (std::nothrow) int[levels_ + 1]);
    if (!line || !lowExt || !highExt || !wL || !wH || !hL || !hH) {
        outOfMemory_ = true;
        return false;
    }
    // Band sizes of every level, recomputed from the plane size.
    int w = wp, h = hp;
    for (int level = 1; level <= levels_; ++level) {
        wL[level] = (w + 1) / 2;
        wH[level] = w / 2;
        hL[level] = (h + 1) / 2;
        hH[level] = h / 2;
        w = wL[level];
        h = hL[level];
    }
    for (int level = levels_; level >= 1; --level) {
        if (!reportProgress()) return false;
        wavelet97::inverseLevel(plane, std::size_t(wp), wL[level] + wH[level],
                                hL[level] + hH[level], line.get(), lowExt.get(), highExt.get());
    }
    return true;
}

void WaveletFilter::run(const PixelSurface& surface) {
    outOfMemory_ = false;
    cancelled_ = false;
    const int w = surface.width();
    const int h = surface.height();
    const int wp = w + 2 * kMargin;
    const int hp = h + 2 * kMargin;
    const std::size_t planeSize = std::size_t(wp) * std::size_t(hp);
    Doubles plane = allocateDoubles(planeSize);
    if (!plane) {
        outOfMemory_ = true;
        return;
    }

    const int channels = perChannel_ ? 3 : 1;
    progressTotal_ = 2 * (levels_ + 1) * channels + (channels == 1 ? 2 : 0);
    progressStep_ = 1;

    for (int c = 0; c < channels; ++c) {
        const double t =
            perChannel_ ? thresholds_[c]
                        : (thresholds_[0] + thresholds_[1] + thresholds_[2]) * 0.3333333333333333;
        if (t <= 0.0) continue;
        if (!reportProgress()) return;
        loadPlane(surface, plane.get(), std::size_t(wp), perChannel_ ? c : -1);
        fillMargin(plane.get(), w, h);
        if (!forwardTransform(plane.get(), wp, hp)) return;
        softThreshold(plane.get(), planeSize, t);
        if (!inverseTransform(plane.get(), wp, hp)) return;
        if (!reportProgress()) return;
        if (perChannel_)
            writeChannel(surface, plane.get(), std::size_t(wp), c);
        else
            writeLuminance(surface, plane.get(), std::size_t(wp));
    }
}

} // namespace velanox::engine
