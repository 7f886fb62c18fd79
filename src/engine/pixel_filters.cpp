// The shipped pixel filters. They give the same bytes as the plain filters in
// engine/reference/: every value comes from the same integers and the same floating-point
// operations in the same order. What changes is the schedule:
//  - the interior of a row is one contiguous loop over its bytes, without branches or modulo,
//    so it vectorises; the first and last pixel of a row, whose neighbours are repeated or
//    wrapped, are done apart;
//  - components outside the channel mask are kept by a byte select instead of a skip;
//  - rows are spread over threads (engine/threads.h) wherever a pass reads only what an earlier
//    pass wrote;
//  - the speckle filter runs its 32 passes over a component as a wavefront of rows that stays
//    in the cache, and filters its components on several threads at once;
//  - the edge weight depends only on the squared gradient, an integer below 32768, so the
//    float arithmetic runs once per value in a table instead of once per pixel.
#include "engine/pixel_filters.h"
#include "engine/filter_arguments.h"
#include "engine/threads.h"

#include "engine/hot_loop.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

using velanox::engine::maxThreads;
using velanox::engine::parallelFor;
using velanox::engine::runLength;
using velanox::engine::usableMask;
using velanox::engine::validPicture;

velanox::core::Status invalid(const char* reason) {
    return velanox::core::Status::failure(velanox::core::StatusCode::InvalidArgument, reason);
}

velanox::core::Status outOfMemory() {
    return velanox::core::Status::failure(velanox::core::StatusCode::OutOfMemory, "Out of memory");
}

// Below this many bytes of work a pass stays on the calling thread.
constexpr std::size_t kThreadedBytes = std::size_t(1) << 18;
// Below this many bytes per plane the speckle filter's components stay on the calling thread.
constexpr std::size_t kThreadedSpeckleBytes = std::size_t(1) << 18;

// One byte per byte of a row: 0xFF where the component is in the mask, 0 where it is kept.
std::unique_ptr<uint8_t[]> maskPattern(int mask, int width, int bytesPerPixel) {
    const std::size_t n = std::size_t(width) * bytesPerPixel;
    std::unique_ptr<uint8_t[]> keep(new (std::nothrow) uint8_t[n]);
    if (keep)
        for (std::size_t i = 0; i < n; ++i)
            keep[i] = (mask >> (i % bytesPerPixel)) & 1 ? 0xFF : 0;
    return keep;
}

// ---- sharpen ------------------------------------------------------------------------------

// c - e * (N - 8c) truncated into a byte. Truncation toward zero after clamping to [0, 255]
// gives what truncating first and clamping afterwards gives.
inline uint8_t sharpened(int centre, int neighbours, double e) {
    const double value = double(centre) - e * double(neighbours - 8 * centre);
    const double clamped = value < 0.0 ? 0.0 : value > 255.0 ? 255.0 : value;
    return uint8_t(int(clamped));
}

// Pixel x of a row with its left and right neighbours at byte offsets l and r.
void sharpenPixel(const uint8_t* above, const uint8_t* same, const uint8_t* below, uint8_t* out,
                  int l, int c, int r, int bpp, int mask, double e) {
    for (int k = 0; k < bpp; ++k) {
        if ((mask & (1 << k)) == 0) continue;
        const int n = above[l + k] + above[c + k] + above[r + k] + same[l + k] + same[r + k] +
                      below[l + k] + below[c + k] + below[r + k];
        out[c + k] = sharpened(same[c + k], n, e);
    }
}

VELANOX_HOT void sharpenInterior(const uint8_t* __restrict above, const uint8_t* __restrict same,
                                 const uint8_t* __restrict below, uint8_t* __restrict out,
                                 const uint8_t* __restrict keep, int begin, int end, int bpp,
                                 double e) {
    for (int i = begin; i < end; ++i) {
        const int n = above[i - bpp] + above[i] + above[i + bpp] + same[i - bpp] + same[i + bpp] +
                      below[i - bpp] + below[i] + below[i + bpp];
        const uint8_t v = sharpened(same[i], n, e);
        out[i] = uint8_t((v & keep[i]) | (out[i] & ~keep[i]));
    }
}

// The same bytes in 32-bit integers: c - e * (N - 8c) with e = a / 200 is
// ((200 + 8a) c - a N) / 200, floored, then clamped into a byte. The division is a multiply:
// y / 200 = ((y / 8) * 41944) >> 20 for 0 <= y <= 255000, the largest y can be.
VELANOX_HOT void sharpenInteriorInt(const uint8_t* __restrict above, const uint8_t* __restrict same,
                                    const uint8_t* __restrict below, uint8_t* __restrict out,
                                    const uint8_t* __restrict keep, int begin, int end, int bpp,
                                    int a) {
    const int centreFactor = 200 + 8 * a;
    for (int i = begin; i < end; ++i) {
        const int n = above[i - bpp] + above[i] + above[i + bpp] + same[i - bpp] + same[i + bpp] +
                      below[i - bpp] + below[i] + below[i + bpp];
        const int y = centreFactor * same[i] - a * n;
        const uint32_t q = ((uint32_t(std::max(y, 0)) >> 3) * 41944u) >> 20;
        const uint8_t v = uint8_t(std::min(q, 255u));
        out[i] = uint8_t((v & keep[i]) | (out[i] & ~keep[i]));
    }
}

// sharpenInteriorInt with every byte in the mask: nothing of the destination to keep.
VELANOX_HOT void sharpenInteriorIntAll(const uint8_t* __restrict above,
                                       const uint8_t* __restrict same,
                                       const uint8_t* __restrict below, uint8_t* __restrict out,
                                       int begin, int end, int bpp, int a) {
    const int centreFactor = 200 + 8 * a;
    for (int i = begin; i < end; ++i) {
        const int n = above[i - bpp] + above[i] + above[i + bpp] + same[i - bpp] + same[i + bpp] +
                      below[i - bpp] + below[i] + below[i + bpp];
        const int y = centreFactor * same[i] - a * n;
        const uint32_t q = ((uint32_t(std::max(y, 0)) >> 3) * 41944u) >> 20;
        out[i] = uint8_t(std::min(q, 255u));
    }
}

// Whether the integer form gives the bytes of the floating-point one for amount a (0..100).
// Where a * d / 200 is not whole, e * d lies far from any whole number, and the truncation
// sees the same integer part; where it is whole, e * d must come out exactly whole too, since
// a product one rounding step above it would drop the result by one. That holds for most
// amounts, among them the default 8; the others keep the floating-point loop.
bool integerExact(int a, double e) {
    for (int d = -2040; d <= 2040; ++d)
        if ((a * d) % 200 == 0 && e * double(d) != double(a * d / 200)) return false;
    return true;
}

// ---- speckle ------------------------------------------------------------------------------

// Pass 1 of a step over n plane elements: t from a and its neighbour b = a + o.
VELANOX_HOT void speckleRaise(const uint8_t* __restrict a, const uint8_t* __restrict b,
                              uint8_t* __restrict t, int n) {
    for (int i = 0; i < n; ++i)
        t[i] = uint8_t(a[i] + uint8_t(b[i] > a[i]));
}

VELANOX_HOT void speckleLower(const uint8_t* __restrict a, const uint8_t* __restrict b,
                              uint8_t* __restrict t, int n) {
    // a >= b + 2 without leaving the byte: a above b by at least 2.
    for (int i = 0; i < n; ++i)
        t[i] = uint8_t(a[i] - uint8_t((a[i] > b[i]) & (uint8_t(a[i] - b[i]) >= 2)));
}

// Pass 2 of a step: a from q = t, u = t - o and v = t + o.
VELANOX_HOT void speckleFillUp(const uint8_t* __restrict q, const uint8_t* __restrict u,
                               const uint8_t* __restrict v, uint8_t* __restrict a, int n) {
    for (int i = 0; i < n; ++i)
        a[i] = uint8_t(q[i] + uint8_t((q[i] <= u[i]) & (q[i] < v[i])));
}

VELANOX_HOT void speckleCutDown(const uint8_t* __restrict q, const uint8_t* __restrict u,
                                const uint8_t* __restrict v, uint8_t* __restrict a, int n) {
    for (int i = 0; i < n; ++i)
        a[i] = uint8_t(q[i] - uint8_t((q[i] > u[i]) & (uint8_t(q[i] - u[i]) >= 2) & (q[i] > v[i])));
}

// The 16 steps of the speckle filter (4 directions, each up, up, down, down), each made of two
// passes over the interior: pass 1 from A into T, pass 2 from T back into A.
struct SpeckleStep {
    std::ptrdiff_t offset; // in plane elements
    bool up;
};
constexpr int kSpeckleSteps = 16;
constexpr int kSpecklePasses = 2 * kSpeckleSteps;

void speckleSteps(std::size_t pitch, SpeckleStep (&steps)[kSpeckleSteps]) {
    // Directions (dx, dy): down the columns, along the rows, and both diagonals.
    const int directions[4][2] = {{0, 1}, {1, 0}, {1, 1}, {-1, 1}};
    int i = 0;
    for (const auto& d : directions) {
        const std::ptrdiff_t o = std::ptrdiff_t(d[1]) * std::ptrdiff_t(pitch) + d[0];
        steps[i++] = {o, true};
        steps[i++] = {-o, true};
        steps[i++] = {-o, false};
        steps[i++] = {o, false};
    }
}

// Pass j of the speckle filter over interior row y.
void specklePassRow(uint8_t* a, uint8_t* t, std::size_t pitch, int width, int y,
                    const SpeckleStep& step, bool secondPass) {
    const std::ptrdiff_t p = std::ptrdiff_t(y) * std::ptrdiff_t(pitch) + 1;
    const std::ptrdiff_t o = step.offset;
    if (!secondPass) {
        if (step.up)
            speckleRaise(a + p, a + p + o, t + p, width);
        else
            speckleLower(a + p, a + p + o, t + p, width);
    } else {
        if (step.up)
            speckleFillUp(t + p, t + p - o, t + p + o, a + p, width);
        else
            speckleCutDown(t + p, t + p - o, t + p + o, a + p, width);
    }
}

// All 32 passes over one component held in plane a (interior filled, border 0), as a
// wavefront: pass j handles row y once pass j - 1 has handled row y + 1. That is all a pass
// reads (rows y - 1 .. y + 1 of its input), and pass j - 1 no longer needs the row that pass j
// overwrites, so the result is that of running the passes one after the other, while the rows
// in flight (about 33 of each plane) stay in the cache.
void speckleComponent(uint8_t* a, uint8_t* t, std::size_t pitch, int width, int height,
                      const SpeckleStep (&steps)[kSpeckleSteps]) {
    for (int lead = 1; lead < height + kSpecklePasses; ++lead) {
        const int firstPass = std::max(0, lead - height);
        const int lastPass = std::min(kSpecklePasses - 1, lead - 1);
        for (int j = firstPass; j <= lastPass; ++j)
            specklePassRow(a, t, pitch, width, lead - j, steps[j / 2], (j & 1) != 0);
    }
}

// ---- edge weights -------------------------------------------------------------------------

template <int B> void greyRowOf(const uint8_t* __restrict px, uint8_t* __restrict grey, int n) {
    for (int x = 0; x < n; ++x)
        grey[x] = uint8_t((px[B * x] + px[B * x + 1] + px[B * x + 2]) / 3);
}

// Four-byte pixels read whole, so the components come apart by shifts in 32-bit lanes; the
// division by 3 of a sum up to 765 is a multiply: (s * 43691) >> 17.
VELANOX_HOT void greyRowOf4(const uint8_t* __restrict px, uint8_t* __restrict grey, int n) {
    for (int x = 0; x < n; ++x) {
        uint32_t v;
        std::memcpy(&v, px + 4 * std::size_t(x), 4);
        const uint32_t sum = (v & 0xFF) + ((v >> 8) & 0xFF) + ((v >> 16) & 0xFF);
        grey[x] = uint8_t((sum * 43691u) >> 17);
    }
}

void greyRow(const uint8_t* px, uint8_t* grey, int width, int bpp) {
    if (bpp == 4)
        greyRowOf4(px, grey, width);
    else if (bpp == 3)
        greyRowOf<3>(px, grey, width);
    else
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = px + std::size_t(x) * bpp;
            grey[x] = uint8_t((p[0] + p[1] + p[2]) / 3);
        }
}

// Squared Sobel gradient (each difference divided by 8 toward zero): at most 2 * 127^2.
constexpr int kMaxGradient2 = 2 * 127 * 127;

inline int gradient2(int gxSum, int gySum) {
    const int gx = gxSum / 8, gy = gySum / 8;
    return gx * gx + gy * gy;
}

int gradient2At(const uint8_t* above, const uint8_t* same, const uint8_t* below, int l, int x,
                int r) {
    return gradient2((above[r] + 2 * same[r] + below[r]) - (above[l] + 2 * same[l] + below[l]),
                     (below[l] + 2 * below[x] + below[r]) - (above[l] + 2 * above[x] + above[r]));
}

// Columns 1 .. width-2 of a row; returns the largest value written.
VELANOX_HOT int gradientInterior(const uint8_t* __restrict above, const uint8_t* __restrict same,
                                 const uint8_t* __restrict below, uint16_t* __restrict out,
                                 int width) {
    int largest = 0;
    for (int x = 1; x < width - 1; ++x) {
        // The sums fit 16 bits, and so does the result.
        const int16_t gx = int16_t(int16_t((above[x + 1] + 2 * same[x + 1] + below[x + 1]) -
                                           (above[x - 1] + 2 * same[x - 1] + below[x - 1])) /
                                   8);
        const int16_t gy = int16_t(int16_t((below[x - 1] + 2 * below[x] + below[x + 1]) -
                                           (above[x - 1] + 2 * above[x] + above[x + 1])) /
                                   8);
        const uint16_t g2 = uint16_t(gx * gx + gy * gy);
        out[x] = g2;
        largest = std::max(largest, int(g2));
    }
    return largest;
}

// The edge value of a squared gradient, as a 32-bit float: 0 without gradient, more negative
// with a steeper one.
float edgeValue(int g2) {
    return -static_cast<float>(std::sqrt(std::sqrt(double(g2))));
}

VELANOX_HOT void lookUp(const uint16_t* __restrict g2, const uint8_t* __restrict table,
                        uint8_t* __restrict map, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        map[i] = table[g2[i]];
}

} // namespace

bool sharpenFilter(const unsigned char* source, unsigned char* destination, int width, int height,
                   int bytesPerPixel, int sourceStride, int destinationStride, int amount,
                   int channelMask) {
    namespace core = velanox::core;
    return velanox::engine::sharpenFilter(
               core::ConstImageView(source, width, height, bytesPerPixel, sourceStride),
               core::ImageView(destination, width, height, bytesPerPixel, destinationStride),
               amount, channelMask)
        .ok();
}

bool speckleFilter(unsigned char* pixels, int width, int height, int bytesPerPixel, int stride,
                   int channelMask) {
    return velanox::engine::speckleFilter(
               velanox::core::ImageView(pixels, width, height, bytesPerPixel, stride), channelMask)
        .ok();
}

bool computeEdgeWeights(const unsigned char* pixels, unsigned char* map, int width, int height,
                        int bytesPerPixel, int edgeThreshold, float gain) {
    return velanox::engine::computeEdgeWeights(
               velanox::core::ConstImageView(pixels, width, height, bytesPerPixel), map,
               edgeThreshold, gain)
        .ok();
}

namespace velanox::engine {

core::Status sharpenFilter(const core::ConstImageView& source, const core::ImageView& destination,
                           int amount, int channelMask) {
    if (source.data == nullptr || destination.data == nullptr || source.data == destination.data)
        return invalid("The source and the destination must be two pictures.");
    if (!validPicture(source) || !validPicture(destination) || destination.width != source.width ||
        destination.height != source.height || destination.bytesPerPixel != source.bytesPerPixel)
        return invalid("The arguments do not describe two pictures of one size.");
    SharpenRows rows;
    if (!rows.prepare(source, amount, channelMask)) return outOfMemory();
    const int width = source.width, height = source.height;
    const bool threaded =
        std::size_t(width) * std::size_t(source.bytesPerPixel) * std::size_t(height) >=
        kThreadedBytes;
    const int threads = threaded ? maxThreads() : 1;
    parallelFor(height, runLength(height, threads), threads, [&](int64_t first, int64_t end, int) {
        rows.run(int(first), int(end),
                 destination.section(0, int(first), width, int(end) - int(first)));
    });
    return core::Status::success();
}

core::Status speckleFilter(const core::ImageView& picture, int channelMask) {
    if (!validPicture(picture)) return invalid("The arguments do not describe a picture.");
    uint8_t* const pixels = picture.data;
    const int width = picture.width, height = picture.height;
    const int bytesPerPixel = picture.bytesPerPixel;
    const std::ptrdiff_t stride = picture.stride;
    const std::size_t pitch = std::size_t(width) + 2;
    const std::size_t rows = std::size_t(height) + 2;
    if (rows > SIZE_MAX / pitch) return outOfMemory();
    const std::size_t size = pitch * rows;

    const int mask = usableMask(channelMask, bytesPerPixel);
    int components[8];
    int count = 0;
    for (int k = 0; k < bytesPerPixel; ++k)
        if ((mask & (1 << k)) != 0) components[count++] = k;

    // The components are independent: each thread filters whole components in its own pair of
    // planes. Their borders hold 0 for good, as only interiors are ever written; pass 1 of a
    // step writes every interior element of T before pass 2 reads it, so T is never cleared.
    int threads = size >= kThreadedSpeckleBytes ? std::min(count, maxThreads()) : 1;
    std::unique_ptr<uint8_t[]> planes;
    while (threads >= 1 && !planes) {
        if (std::size_t(2 * threads) > SIZE_MAX / size) return outOfMemory();
        planes.reset(new (std::nothrow) uint8_t[2 * std::size_t(threads) * size]());
        if (!planes) threads = threads > 1 ? 1 : 0;
    }
    if (!planes) return outOfMemory();

    SpeckleStep steps[kSpeckleSteps];
    speckleSteps(pitch, steps);
    // Component k through planes a (and t beside it).
    auto speckleOne = [&](int k, uint8_t* a) {
        uint8_t* t = a + size;
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = pixels + std::ptrdiff_t(y) * stride + k;
            uint8_t* plane = a + std::size_t(y + 1) * pitch + 1;
            for (int x = 0; x < width; ++x)
                plane[x] = row[std::ptrdiff_t(x) * bytesPerPixel];
        }
        speckleComponent(a, t, pitch, width, height, steps);
        for (int y = 0; y < height; ++y) {
            uint8_t* row = pixels + std::ptrdiff_t(y) * stride + k;
            const uint8_t* plane = a + std::size_t(y + 1) * pitch + 1;
            for (int x = 0; x < width; ++x)
                row[std::ptrdiff_t(x) * bytesPerPixel] = plane[x];
        }
    };
    parallelFor(count, 1, threads, [&](int64_t first, int64_t end, int slot) {
        for (int64_t c = first; c < end; ++c)
            speckleOne(components[c], planes.get() + 2 * std::size_t(slot) * size);
    });
    return core::Status::success();
}

core::Status computeEdgeWeights(const core::ConstImageView& pixels, uint8_t* map, int edgeThreshold,
                                float gain) {
    if (map == nullptr) return invalid("No map.");
    if (pixels.bytesPerPixel < 3 || !validPicture(pixels) || !pixels.packed())
        return invalid("The arguments do not describe a picture of packed rows of at least 3 "
                       "bytes per pixel.");
    EdgeWeightRows rows;
    if (!rows.prepare(pixels, edgeThreshold, gain)) return outOfMemory();
    const int width = pixels.width, height = pixels.height, bytesPerPixel = pixels.bytesPerPixel;
    const bool threaded =
        std::size_t(width) * std::size_t(height) * std::size_t(bytesPerPixel) >= kThreadedBytes;
    const int threads = threaded ? maxThreads() : 1;
    const std::size_t scratch = EdgeWeightRows::scratchBytes(width);
    std::unique_ptr<uint8_t[]> buffers(new (std::nothrow) uint8_t[std::size_t(threads) * scratch]);
    if (!buffers) return outOfMemory();
    parallelFor(height, runLength(height, threads), threads,
                [&](int64_t first, int64_t end, int slot) {
                    rows.run(int(first), int(end), map + std::size_t(first) * std::size_t(width),
                             buffers.get() + std::size_t(slot) * scratch);
                });
    return core::Status::success();
}

bool SharpenRows::prepare(const core::ConstImageView& source, int amount, int channelMask) {
    const int width = source.width, height = source.height, bytesPerPixel = source.bytesPerPixel;
    if (width <= 0 || height <= 0 || bytesPerPixel < 1 || bytesPerPixel > 8) return false;
    if (std::size_t(width) > std::size_t(INT32_MAX) / std::size_t(bytesPerPixel)) return false;
    m_source = source;
    m_mask = usableMask(channelMask, bytesPerPixel);
    m_amount = std::min(std::max(amount, 0), 100);
    m_e = m_amount * 0.005;
    m_integerExact = integerExact(m_amount, m_e);
    m_keep = maskPattern(m_mask, width, bytesPerPixel);
    return m_keep != nullptr;
}

void SharpenRows::run(int first, int end, const core::ImageView& destination) const {
    const int bpp = m_source.bytesPerPixel, width = m_source.width, height = m_source.height;
    const int rowBytes = width * bpp;
    for (int y = first; y < end; ++y) {
        const uint8_t* above = m_source.row(std::max(y - 1, 0));
        const uint8_t* same = m_source.row(y);
        const uint8_t* below = m_source.row(std::min(y + 1, height - 1));
        uint8_t* out = destination.row(y - first);
        // The first pixel repeats itself on the left, the last one on the right.
        sharpenPixel(above, same, below, out, 0, 0, std::min(1, width - 1) * bpp, bpp, m_mask, m_e);
        if (width > 1)
            sharpenPixel(above, same, below, out, (width - 2) * bpp, (width - 1) * bpp,
                         (width - 1) * bpp, bpp, m_mask, m_e);
        if (m_integerExact && m_mask == (1 << bpp) - 1)
            sharpenInteriorIntAll(above, same, below, out, bpp, rowBytes - bpp, bpp, m_amount);
        else if (m_integerExact)
            sharpenInteriorInt(above, same, below, out, m_keep.get(), bpp, rowBytes - bpp, bpp,
                               m_amount);
        else
            sharpenInterior(above, same, below, out, m_keep.get(), bpp, rowBytes - bpp, bpp, m_e);
    }
}

namespace {

// The squared gradients of rows first..end-1 into g2 (end - first rows of width values), with
// the rows above and below wrapping around; returns the largest. grey holds three rows.
int gradientRows(const uint8_t* pixels, int width, int height, int bpp, int first, int end,
                 uint8_t* grey, uint16_t* g2) {
    const std::size_t rowBytes = std::size_t(width) * std::size_t(bpp);
    auto greyOf = [&](int y, uint8_t* out) {
        greyRow(pixels + std::size_t(y) * rowBytes, out, width, bpp);
    };
    uint8_t* rows[3] = {grey, grey + width, grey + 2 * std::size_t(width)};
    greyOf(first == 0 ? height - 1 : first - 1, rows[0]);
    greyOf(first, rows[1]);
    int largest = 0;
    for (int y = first; y < end; ++y) {
        greyOf(y == height - 1 ? 0 : y + 1, rows[2]);
        const uint8_t* above = rows[0];
        const uint8_t* same = rows[1];
        const uint8_t* below = rows[2];
        uint16_t* out = g2 + std::size_t(y - first) * std::size_t(width);
        const int firstValue =
            gradient2At(above, same, below, width - 1, 0, std::min(1, width - 1));
        out[0] = uint16_t(firstValue);
        int rowLargest = firstValue;
        if (width > 1) {
            const int last = gradient2At(above, same, below, width - 2, width - 1, 0);
            out[width - 1] = uint16_t(last);
            rowLargest = std::max(rowLargest, last);
        }
        rowLargest = std::max(rowLargest, gradientInterior(above, same, below, out, width));
        largest = std::max(largest, rowLargest);
        std::rotate(rows, rows + 1, rows + 3);
    }
    return largest;
}

// Rows per band of the gradient scan.
constexpr int kGradientBand = 8;

// Three grey rows, then the squared gradients of a band, aligned for them.
std::size_t greyBytes(std::size_t width) {
    return (3 * width + 63) & ~std::size_t(63);
}

} // namespace

bool EdgeWeightRows::prepare(const core::ConstImageView& picture, int edgeThreshold, float gain) {
    const uint8_t* const pixels = picture.data;
    const int width = picture.width, height = picture.height, bytesPerPixel = picture.bytesPerPixel;
    if (bytesPerPixel < 3 || !validPicture(picture) || !picture.packed()) return false;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    if (count > SIZE_MAX / sizeof(float)) return false;
    m_pixels = pixels;
    m_width = width;
    m_height = height;
    m_bytesPerPixel = bytesPerPixel;
    m_table.reset(new (std::nothrow) uint8_t[kMaxGradient2 + 1]);
    if (!m_table) return false;
    const bool threaded = count * std::size_t(bytesPerPixel) >= kThreadedBytes;

    // The steepest gradient, a band of rows at a time with the grey rows recomputed per band.
    const int bands = (height + kGradientBand - 1) / kGradientBand;
    const int threads = threaded ? maxThreads() : 1;
    const std::size_t scratch = scratchBytes(width);
    std::unique_ptr<uint8_t[]> buffers(new (std::nothrow) uint8_t[std::size_t(threads) * scratch]);
    if (!buffers) return false;
    // The largest of each thread's bands, then of them all.
    std::vector<int> largestOf(std::size_t(threads), 0);
    parallelFor(bands, runLength(bands, threads), threads, [&](int64_t b0, int64_t b1, int slot) {
        uint8_t* grey = buffers.get() + std::size_t(slot) * scratch;
        uint16_t* g2 = reinterpret_cast<uint16_t*>(grey + greyBytes(std::size_t(width)));
        int& largest = largestOf[std::size_t(slot)];
        for (int64_t b = b0; b < b1; ++b) {
            const int first = int(b) * kGradientBand;
            largest =
                std::max(largest, gradientRows(pixels, width, height, bytesPerPixel, first,
                                               std::min(height, first + kGradientBand), grey, g2));
        }
    });
    const int largest = *std::max_element(largestOf.begin(), largestOf.end());

    // The edge value falls as the gradient grows, so the smallest value (starting from 255) is
    // the steepest gradient's and the largest (starting from 0) stays 0.
    const float lo = std::min(255.0f, edgeValue(largest));
    const float hi = 0.0f;
    const float range = hi - lo;
    uint8_t* table = m_table.get();
    if (range == 0.0f) { // no gradient anywhere: every weight is 0
        std::fill(table, table + kMaxGradient2 + 1, 0);
        return true;
    }
    const float flatFrom = 255.0f - static_cast<float>(edgeThreshold);
    for (int s = 0; s <= largest; ++s) {
        float o = std::trunc((edgeValue(s) - lo) * 255.0f / range);
        if (o > flatFrom) o = 255.0f;
        const float t = std::min((255.0f - o) * gain, 255.0f);
        // A negative or not-a-number gain must not push the weight out of a byte.
        const float weight = std::trunc(255.0f - t);
        table[s] = weight >= 255.0f ? 255 : weight > 0.0f ? static_cast<unsigned char>(weight) : 0;
    }
    return true;
}

std::size_t EdgeWeightRows::scratchBytes(int width) {
    const std::size_t w = std::size_t(std::max(width, 1));
    return greyBytes(w) + kGradientBand * sizeof(uint16_t) * w;
}

void EdgeWeightRows::run(int first, int end, unsigned char* map, unsigned char* scratch) const {
    const std::size_t width = std::size_t(m_width);
    uint16_t* g2 = reinterpret_cast<uint16_t*>(scratch + greyBytes(width));
    for (int y = first; y < end; y += kGradientBand) {
        const int bandEnd = std::min(end, y + kGradientBand);
        gradientRows(m_pixels, m_width, m_height, m_bytesPerPixel, y, bandEnd, scratch, g2);
        lookUp(g2, m_table.get(), map + std::size_t(y - first) * width,
               std::size_t(bandEnd - y) * width);
    }
}

} // namespace velanox::engine
