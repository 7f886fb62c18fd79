// The shipped per-pixel passes. They give the same bytes as the plain passes in
// pipeline/reference/: the same integer and floating-point operations on every component. Each
// row is one branch-free loop (the blend is chosen once per row, not per pixel), so the loops
// vectorise, and the rows are spread over threads (engine/threads.h) once a pass is large
// enough.
#include "pipeline/pixel_passes.h"

#include "color/color_steps.h"
#include "engine/hot_loop.h"
#include "engine/threads.h"
#include "pipeline/noise_settings.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace velanox::pipeline {

namespace {

// Below this many bytes a pass stays on the calling thread.
constexpr std::size_t kThreadedBytes = std::size_t(1) << 18;

bool worthThreads(int64_t width, int64_t height, int64_t bytesPerPixel) {
    return std::size_t(width) * std::size_t(height) * std::size_t(bytesPerPixel) >= kThreadedBytes;
}

// Calls body(y) for every y in [begin, end), spread over the threads when `threaded`.
template <class Body> void forEachRow(int32_t begin, int32_t end, bool threaded, Body body) {
    const int threads = threaded ? engine::maxThreads() : 1;
    const int64_t count = int64_t(end) - begin;
    engine::parallelFor(count, engine::runLength(count, threads), threads,
                        [&](int64_t first, int64_t last, int) {
                            for (int64_t y = first; y < last; ++y)
                                body(int32_t(begin + y));
                        });
}

VELANOX_HOT void widenRow(const uint8_t* __restrict src, uint8_t* __restrict dst, int32_t n) {
    for (int32_t x = 0; x < n; ++x) {
        dst[4 * x] = src[3 * x];
        dst[4 * x + 1] = src[3 * x + 1];
        dst[4 * x + 2] = src[3 * x + 2];
        dst[4 * x + 3] = 255;
    }
}

VELANOX_HOT void copyOpaqueRow(const uint8_t* __restrict src, uint8_t* __restrict dst, int32_t n) {
    for (int32_t x = 0; x < n; ++x) {
        dst[4 * x] = src[4 * x];
        dst[4 * x + 1] = src[4 * x + 1];
        dst[4 * x + 2] = src[4 * x + 2];
        dst[4 * x + 3] = 255;
    }
}

VELANOX_HOT void copyColorRow(const uint8_t* __restrict src, uint8_t* __restrict dst, int32_t n) {
    for (int32_t x = 0; x < n; ++x) {
        dst[4 * x] = src[4 * x];
        dst[4 * x + 1] = src[4 * x + 1];
        dst[4 * x + 2] = src[4 * x + 2];
    }
}

// ---- blend rows: q is 4-byte pixels, p and s PB-byte pixels (3 or 4), out 3-byte, m one
// weight per pixel ----

VELANOX_HOT void engineOnlyRow(const uint8_t* __restrict q, uint8_t* __restrict out, int32_t n) {
    for (int32_t x = 0; x < n; ++x) {
        out[3 * x] = q[4 * x];
        out[3 * x + 1] = q[4 * x + 1];
        out[3 * x + 2] = q[4 * x + 2];
    }
}

VELANOX_HOT void highlightEdgesRow(const uint8_t* __restrict q, const uint8_t* __restrict m,
                                   uint8_t* __restrict out, int32_t n) {
    for (int32_t x = 0; x < n; ++x) {
        out[3 * x] = uint8_t(255 - m[x]);
        out[3 * x + 1] = uint8_t(q[4 * x + 1] >> 2);
        out[3 * x + 2] = uint8_t(q[4 * x + 2] >> 2);
    }
}

// (Q * m + K * (255 - m)) >> 8 with K the kept copy (P or S).
template <int PB>
VELANOX_HOT void weightedRow(const uint8_t* __restrict q, const uint8_t* __restrict kept,
                             const uint8_t* __restrict m, uint8_t* __restrict out, int32_t n) {
    for (int32_t x = 0; x < n; ++x) {
        const int w = m[x];
        out[3 * x] = uint8_t((q[4 * x] * w + kept[PB * x] * (255 - w)) >> 8);
        out[3 * x + 1] = uint8_t((q[4 * x + 1] * w + kept[PB * x + 1] * (255 - w)) >> 8);
        out[3 * x + 2] = uint8_t((q[4 * x + 2] * w + kept[PB * x + 2] * (255 - w)) >> 8);
    }
}

template <int PB>
VELANOX_HOT void portraitRow(const uint8_t* __restrict q, const uint8_t* __restrict p,
                             const uint8_t* __restrict s, const uint8_t* __restrict m,
                             uint8_t* __restrict out, int32_t n) {
    for (int32_t x = 0; x < n; ++x) {
        const int w = m[x];
        // Bright, reddish pixels keep more of the unreduced texture.
        const int a = int(255.0 - (0.26 * q[4 * x + 2] + 0.44 * q[4 * x] + 0.3 * q[4 * x + 1]));
        for (int k = 0; k < 3; ++k) {
            const int t = (a * q[4 * x + k] + (255 - a) * p[PB * x + k]) >> 8;
            out[3 * x + k] = uint8_t((t * w + (255 - w) * s[PB * x + k]) >> 8);
        }
    }
}

// One row of the chosen blend: q is 4-byte pixels, p and s PB-byte pixels, out 3-byte, m one
// weight per pixel.
template <int PB>
void blendRow(Blend blend, const uint8_t* q, const uint8_t* p, const uint8_t* s, const uint8_t* m,
              uint8_t* out, int32_t n) {
    switch (blend) {
    case Blend::EngineOnly:
        engineOnlyRow(q, out, n);
        break;
    case Blend::HighlightEdges:
        highlightEdgesRow(q, m, out, n);
        break;
    case Blend::PreNr:
        weightedRow<PB>(q, p, m, out, n);
        break;
    case Blend::Sharpened:
        weightedRow<PB>(q, s, m, out, n);
        break;
    case Blend::Portrait:
        portraitRow<PB>(q, p, s, m, out, n);
        break;
    }
}

VELANOX_HOT void amplifyRow(const uint8_t* __restrict source, uint8_t* __restrict result,
                            std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        result[i] = uint8_t(std::min(255, 10 * std::abs(int(result[i]) - int(source[i]))));
}

} // namespace

void copyPixels(uint8_t* destination, const uint8_t* source, std::size_t bytes) {
    constexpr std::size_t kChunk = std::size_t(1) << 20;
    const int64_t chunks = int64_t((bytes + kChunk - 1) / kChunk);
    const int threads = bytes >= 4 * kChunk ? engine::maxThreads() : 1;
    engine::parallelFor(chunks, engine::runLength(chunks, threads), threads,
                        [&](int64_t first, int64_t last, int) {
                            const std::size_t begin = std::size_t(first) * kChunk;
                            const std::size_t end = std::min(bytes, std::size_t(last) * kChunk);
                            std::memcpy(destination + begin, source + begin, end - begin);
                        });
}

void copyRegionIn(const core::ConstImageView& picture, core::Rect region,
                  const core::ImageView& work) {
    forEachRow(0, work.height, worthThreads(work.width, work.height, 4), [&](int32_t y) {
        widenRow(picture.pixel(region.left, region.top + y), work.row(y), work.width);
    });
}

void copyRegionInTwice(const core::ConstImageView& picture, core::Rect region,
                       const core::ImageView& work, const core::ImageView& preNr,
                       const color::ColorPass* color) {
    const bool recolor = color != nullptr && color->active();
    forEachRow(0, work.height, worthThreads(work.width, work.height, 4), [&](int32_t y) {
        uint8_t* row = work.row(y);
        widenRow(picture.pixel(region.left, region.top + y), row, work.width);
        if (recolor) color->applyRow(row, work.width, 4, color::ChannelOrder::Rgb);
        std::memcpy(preNr.row(y), row, work.rowBytes());
    });
}

void copyTileOut(const core::ConstImageView& work, core::Rect tile,
                 const core::ImageView& tilePixels) {
    const int32_t w = tile.width();
    forEachRow(tile.top, tile.bottom, worthThreads(w, tile.height(), 4), [&](int32_t y) {
        copyOpaqueRow(work.pixel(tile.left, y), tilePixels.row(y - tile.top), w);
    });
}

void copyTileBack(const core::ConstImageView& tilePixels, core::Rect tile,
                  const core::ImageView& work) {
    const int32_t w = tile.width();
    forEachRow(tile.top, tile.bottom, worthThreads(w, tile.height(), 4), [&](int32_t y) {
        copyColorRow(tilePixels.row(y - tile.top), work.pixel(tile.left, y), w);
    });
}

Blend chooseBlend(bool haveMap, bool haveSharpened, int32_t nrMode, int32_t outputWindowMode) {
    if (!haveMap) return Blend::EngineOnly;
    if (outputWindowMode == kOutputHighlightEdges) return Blend::HighlightEdges;
    if (!haveSharpened) return Blend::PreNr;
    return nrMode == kNrModePortrait ? Blend::Portrait : Blend::Sharpened;
}

void blendInto(Blend blend, const BlendInputs& in, const core::ImageView& destination) {
    forEachRow(0, in.height, worthThreads(in.width, in.height, 4), [&](int32_t y) {
        const std::size_t row = std::size_t(y) * std::size_t(in.width);
        const uint8_t* q = in.q + row * 4;
        const uint8_t* p = in.p + row * 4;
        const uint8_t* s = in.s != nullptr ? in.s + row * 4 : nullptr;
        const uint8_t* m = in.map != nullptr ? in.map + row : nullptr;
        blendRow<4>(blend, q, p, s, m, destination.row(y), in.width);
    });
}

namespace {

// Rows of a band of the fused blend: the sharpened rows and the weights of a band stay in the
// cache between being made and being blended.
constexpr int32_t kFusedBand = 8;

struct FusedScratch {
    uint8_t* s;
    uint8_t* map;
    uint8_t* weights;
};

FusedScratch fusedScratchOf(uint8_t* base, int32_t width) {
    const std::size_t w = std::size_t(width);
    const std::size_t sBytes = (kFusedBand * w * 4 + 63) & ~std::size_t(63);
    const std::size_t mapBytes = (kFusedBand * w + 63) & ~std::size_t(63);
    return {base, base + sBytes, base + sBytes + mapBytes};
}

// The band of rows from `first` on: its sharpened rows and weights into `own` (only they need
// scratch), then the blend of each row into the destination. P (and so S) has PB bytes per
// pixel.
template <int PB>
void blendBand(const FusedBlendInputs& in, const FusedScratch& own, int32_t first,
               const core::ImageView& destination) {
    const std::ptrdiff_t pStride = in.pStride != 0 ? in.pStride : std::ptrdiff_t(in.width) * 4;
    const std::size_t sRowBytes = std::size_t(in.width) * PB;
    const int32_t end = std::min(in.height, first + kFusedBand);
    if (in.sharpen != nullptr)
        in.sharpen->run(first, end, core::ImageView(own.s, in.width, end - first, PB));
    if (in.weights != nullptr) in.weights->run(first, end, own.map, own.weights);
    for (int32_t y = first; y < end; ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(in.width);
        const uint8_t* q = in.q + row * 4;
        const uint8_t* p = in.p + std::ptrdiff_t(y) * pStride;
        const uint8_t* s = own.s != nullptr ? own.s + std::size_t(y - first) * sRowBytes : nullptr;
        const uint8_t* m =
            own.map != nullptr ? own.map + std::size_t(y - first) * std::size_t(in.width) : nullptr;
        uint8_t* out = destination.row(y);
        blendRow<PB>(in.blend, q, p, s, m, out, in.width);
        if (!in.amplifySource.empty())
            amplifyRow(in.amplifySource.row(y), out, std::size_t(in.width) * 3);
    }
}

} // namespace

std::size_t fusedBlendScratchBytes(int32_t width) {
    const std::size_t w = std::size_t(std::max(width, 1));
    return ((kFusedBand * w * 4 + 63) & ~std::size_t(63)) +
           ((kFusedBand * w + 63) & ~std::size_t(63)) +
           engine::EdgeWeightRows::scratchBytes(int(w)) + 64;
}

void blendFused(const FusedBlendInputs& in, const core::ImageView& destination, uint8_t* scratch) {
    const int32_t bands = (in.height + kFusedBand - 1) / kFusedBand;
    const std::size_t scratchBytes = fusedBlendScratchBytes(in.width);
    const int threads = worthThreads(in.width, in.height, 4) ? engine::maxThreads() : 1;
    // Runs of whole bands; each thread's sharpened rows and weights go into its own scratch.
    engine::parallelFor(
        bands, engine::runLength(bands, threads), threads, [&](int64_t b0, int64_t b1, int slot) {
            const FusedScratch own =
                scratch != nullptr
                    ? fusedScratchOf(scratch + std::size_t(slot) * scratchBytes, in.width)
                    : FusedScratch{nullptr, nullptr, nullptr};
            for (int64_t b = b0; b < b1; ++b) {
                if (in.pBytes == 3)
                    blendBand<3>(in, own, int32_t(b) * kFusedBand, destination);
                else
                    blendBand<4>(in, own, int32_t(b) * kFusedBand, destination);
            }
        });
}

void amplifyDifference(const core::ConstImageView& source, const core::ImageView& result) {
    forEachRow(0, result.height, worthThreads(result.width, result.height, 3),
               [&](int32_t y) { amplifyRow(source.row(y), result.row(y), result.rowBytes()); });
}

} // namespace velanox::pipeline
