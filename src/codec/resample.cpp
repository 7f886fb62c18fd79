#include "codec/resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>
#include <numbers>
#include <vector>

namespace velanox::codec {
namespace {

// The source pixels that make one output pixel along one axis, with their weights (sum 1).
struct Contribution {
    int32_t first = 0;
    std::vector<float> weights;
};

// Area averaging: output pixel i covers [i * scale, (i + 1) * scale) of the source.
std::vector<Contribution> areaWeights(int32_t srcSize, int32_t dstSize) {
    std::vector<Contribution> out(static_cast<std::size_t>(dstSize));
    const double scale = double(srcSize) / double(dstSize);
    for (int32_t i = 0; i < dstSize; ++i) {
        const double begin = i * scale, end = std::min(double(srcSize), (i + 1) * scale);
        const int32_t first = std::clamp(int32_t(std::floor(begin)), 0, srcSize - 1);
        const int32_t last = std::clamp(int32_t(std::ceil(end)) - 1, first, srcSize - 1);
        Contribution& c = out[std::size_t(i)];
        c.first = first;
        double sum = 0;
        for (int32_t s = first; s <= last; ++s) {
            const double overlap = std::min(end, s + 1.0) - std::max(begin, double(s));
            c.weights.push_back(float(std::max(0.0, overlap)));
            sum += std::max(0.0, overlap);
        }
        for (float& w : c.weights)
            w = float(w / sum);
    }
    return out;
}

double lanczos3(double x) {
    x = std::fabs(x);
    if (x < 1e-9) return 1.0;
    if (x >= 3.0) return 0.0;
    const double px = std::numbers::pi * x;
    return 3.0 * std::sin(px) * std::sin(px / 3.0) / (px * px);
}

// Lanczos-3 for enlargement (and equal size, where it reduces to a copy); pixels beyond the
// edge repeat the edge pixel.
std::vector<Contribution> lanczosWeights(int32_t srcSize, int32_t dstSize) {
    std::vector<Contribution> out(static_cast<std::size_t>(dstSize));
    const double scale = double(srcSize) / double(dstSize);
    for (int32_t i = 0; i < dstSize; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int32_t base = int32_t(std::floor(centre));
        std::vector<double> w(6);
        double sum = 0;
        for (int t = 0; t < 6; ++t)
            sum += w[std::size_t(t)] = lanczos3(centre - (base - 2 + t));
        // Fold the taps beyond the edges onto the edge pixels.
        const int32_t first = std::clamp(base - 2, 0, srcSize - 1);
        const int32_t last = std::clamp(base + 3, 0, srcSize - 1);
        Contribution& c = out[std::size_t(i)];
        c.first = first;
        c.weights.assign(std::size_t(last - first + 1), 0.0f);
        for (int t = 0; t < 6; ++t) {
            const int32_t s = std::clamp(base - 2 + t, 0, srcSize - 1);
            c.weights[std::size_t(s - first)] += float(w[std::size_t(t)] / sum);
        }
    }
    return out;
}

std::vector<Contribution> weightsFor(int32_t srcSize, int32_t dstSize) {
    return dstSize < srcSize ? areaWeights(srcSize, dstSize) : lanczosWeights(srcSize, dstSize);
}

} // namespace

bool resampleRgb(const uint8_t* src, int32_t srcWidth, int32_t srcHeight, uint8_t* dst,
                 int32_t dstWidth, int32_t dstHeight) {
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return false;
    try {
        const auto horizontal = weightsFor(srcWidth, dstWidth);
        const auto vertical = weightsFor(srcHeight, dstHeight);
        // Horizontal pass into floats: dstWidth x srcHeight.
        std::vector<float> mid(std::size_t(dstWidth) * std::size_t(srcHeight) * 3);
        for (int32_t y = 0; y < srcHeight; ++y) {
            const uint8_t* row = src + std::size_t(y) * std::size_t(srcWidth) * 3;
            float* out = mid.data() + std::size_t(y) * std::size_t(dstWidth) * 3;
            for (int32_t x = 0; x < dstWidth; ++x, out += 3) {
                const Contribution& c = horizontal[std::size_t(x)];
                float r = 0, g = 0, b = 0;
                const uint8_t* p = row + std::size_t(c.first) * 3;
                for (float w : c.weights) {
                    r += w * p[0];
                    g += w * p[1];
                    b += w * p[2];
                    p += 3;
                }
                out[0] = r;
                out[1] = g;
                out[2] = b;
            }
        }
        // Vertical pass, rounded and clamped to bytes.
        const std::size_t midRow = std::size_t(dstWidth) * 3;
        std::vector<float> acc(midRow);
        for (int32_t y = 0; y < dstHeight; ++y) {
            const Contribution& c = vertical[std::size_t(y)];
            std::fill(acc.begin(), acc.end(), 0.0f);
            const float* in = mid.data() + std::size_t(c.first) * midRow;
            for (float w : c.weights) {
                for (std::size_t i = 0; i < midRow; ++i)
                    acc[i] += w * in[i];
                in += midRow;
            }
            uint8_t* out = dst + std::size_t(y) * midRow;
            for (std::size_t i = 0; i < midRow; ++i)
                out[i] = uint8_t(std::clamp(std::lround(acc[i]), 0L, 255L));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace velanox::codec
