// The shipped automatic denoiser. The work of a call is a list of jobs, one per grid shift and
// colour channel; each thread takes the next job and runs it alone on a plane of its own, so the
// threads never wait for each other inside a job (a busy machine that takes one core away costs
// that core's share, not every barrier's). A job transforms the tile's window level by level,
// each level in two passes over its region:
//  - rows: every row is lifted on its own (the first level reads the source pixels straight into
//    the row's even and odd samples, converting them to the channel on the way);
//  - columns: narrow strips of columns, left to right, are gathered into a buffer that stays in
//    the core's cache, lifted there row against row and, for the detail bands, shrunk there too:
//    a strip carries the window radius of columns more on each side, its left ones kept from the
//    strip before (whose results have replaced them in the plane), its right ones still original.
// The inverse runs the other way. A job's finished rows of the tile are added into one
// accumulator per channel as whole numbers (the value times 2^16), under that channel's lock:
// whole numbers add up to the same sum in any order, so the result does not depend on which
// thread ran which job, or when. The last pass turns the sums back into red, green and blue.
// The straightforward version is engine/reference/reference_auto_denoiser.cpp.
#include "engine/auto_denoiser.h"

#include "engine/auto_denoise_math.h"
#include "engine/hot_loop.h"
#include "engine/lifting_97.h"
#include "engine/threads.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace velanox::engine {

namespace {

using namespace autonr;
constexpr int kC = NoiseProfile::kChannels;

/// Columns a strip produces; it gathers up to the window radius more on each side.
constexpr int kStrip = 64;
/// Fixed-point scale of the accumulators.
constexpr float kFixed = 65536.0f;

std::size_t roundUp(std::size_t n) {
    return (n + 15) / 16 * 16;
}

struct GainMaps {
    float* map[NoiseProfile::kLevels + 1] = {};
    int width[NoiseProfile::kLevels + 1] = {};
    const float* row(int level, int i) const {
        return map[level] + std::size_t(i) * std::size_t(width[level]);
    }
};

// ---- vectorised spans ----------------------------------------------------------------------

VELANOX_HOT void squares(const float* x, int n, float* out) {
    for (int j = 0; j < n; ++j)
        out[j] = x[j] * x[j];
}

// out[j] = sum of sq[j .. j + taps) over n outputs. The 9-sample window (the default) is summed
// by doubling, 4 adds instead of 8; pair and quad hold room for n + 8 values.
VELANOX_HOT void windowSums(const float* sq, int n, int taps, float* out, float* pair,
                            float* quad) {
    if (taps == 9) {
        for (int j = 0; j < n + 6; ++j)
            pair[j] = sq[j] + sq[j + 1];
        for (int j = 0; j < n + 4; ++j)
            quad[j] = pair[j] + pair[j + 2];
        for (int j = 0; j < n; ++j)
            out[j] = (quad[j] + quad[j + 4]) + sq[j + 8];
        return;
    }
    for (int j = 0; j < n; ++j)
        out[j] = 0.0f;
    for (int t = 0; t < taps; ++t)
        for (int j = 0; j < n; ++j)
            out[j] = out[j] + sq[j + t];
}

// A block of `rows` rows of n floats between two row strides: the strips' gathers and scatters,
// vectorised, without a library call per short row.
VELANOX_HOT void copyBlock(float* dst, std::size_t dstStride, const float* src,
                           std::size_t srcStride, int rows, int n) {
    for (int r = 0; r < rows; ++r, dst += dstStride, src += srcStride)
        for (int j = 0; j < n; ++j)
            dst[j] = src[j];
}

VELANOX_HOT void addRows(float* acc, const float* row, int n) {
    for (int j = 0; j < n; ++j)
        acc[j] = acc[j] + row[j];
}

VELANOX_HOT void subtractRows(float* acc, const float* row, int n) {
    for (int j = 0; j < n; ++j)
        acc[j] = acc[j] - row[j];
}

VELANOX_HOT void shrinkSpan(float* d, const float* energy, const float* gain, float sigma,
                            float invArea, int n) {
    for (int j = 0; j < n; ++j) {
        const float s = sigma * gain[j];
        d[j] = shrinkCoefficient(d[j], energy[j] * invArea, s * s);
    }
}

VELANOX_HOT void fixRow(const float* row, int n, int32_t* acc) {
    for (int j = 0; j < n; ++j)
        acc[j] = static_cast<int32_t>(std::nearbyint(row[j] * kFixed));
}

VELANOX_HOT void addFixedRow(const float* row, int n, int32_t* acc) {
    for (int j = 0; j < n; ++j)
        acc[j] += static_cast<int32_t>(std::nearbyint(row[j] * kFixed));
}

// Red, green and blue of n pixels from the accumulated channels, rounded and clamped, into
// three rows of whole numbers; then into the pixels' bytes 0, 1, 2. Clamped first, then rounded
// by truncating v + 0.5: the same as rounding first for every value.
VELANOX_HOT void rgbValues(const int32_t* __restrict y, const int32_t* __restrict c1,
                           const int32_t* __restrict c2, float k0, float k1, float k2, int n,
                           int32_t* __restrict r, int32_t* __restrict g, int32_t* __restrict b) {
    const float a = float(kInvSqrt3), bb = float(kInvSqrt2), c = float(kInvSqrt6);
    for (int j = 0; j < n; ++j) {
        const float l = float(y[j]) * k0 * a, u = float(c1[j]) * k1 * bb, v = float(c2[j]) * k2 * c;
        const float rr = (l + u) + v, gg = l - 2.0f * v, bl = (l - u) + v;
        r[j] = static_cast<int32_t>(std::min(std::max(rr, 0.0f), 255.0f) + 0.5f);
        g[j] = static_cast<int32_t>(std::min(std::max(gg, 0.0f), 255.0f) + 0.5f);
        b[j] = static_cast<int32_t>(std::min(std::max(bl, 0.0f), 255.0f) + 0.5f);
    }
}

void storeRgb(const int32_t* r, const int32_t* g, const int32_t* b, int n, unsigned char* q) {
    for (int j = 0; j < n; ++j, q += 4) {
        q[0] = static_cast<unsigned char>(r[j]);
        q[1] = static_cast<unsigned char>(g[j]);
        q[2] = static_cast<unsigned char>(b[j]);
    }
}

// ---- what all threads share -----------------------------------------------------------------

struct Job {
    int channel, shift;
};

struct Shared {
    const AutoDenoiseImages& im;
    const NoiseProfile& profile;
    const AutoDenoiseParams& params;
    const AutoDenoiseTuning& tuning;
    BandSigmas sig{};
    Window win{};
    int shifts[kC] = {};
    int maxW = 0, maxH = 0; // the largest plane (shift 1 adds a row and a column)
    std::size_t planeStride = 0;

    Job jobs[4 * kC] = {};
    int jobCount = 0;
    std::atomic<int> phases{0}; // forward and inverse phases begun, over all threads
    std::atomic<bool> cancelled{false};
    int32_t lastReported = 0;
    int32_t total = 0;

    int32_t* acc[kC] = {};
    bool started[kC] = {};
    std::mutex lock[kC];
    GainMaps gains; // of the largest plane, read by every job

    static std::size_t gainFloats(int w, int h, int levels) {
        const LevelSizes s = levelSizes(w, h, levels);
        std::size_t n = 0;
        for (int l = 1; l <= levels; ++l)
            n += roundUp(std::size_t(s.w[l + 1]) * std::size_t(s.h[l + 1]));
        return n;
    }
    void computeGains(float* base);

    Shared(const AutoDenoiseImages& images, const NoiseProfile& p, const AutoDenoiseParams& pa,
           const AutoDenoiseTuning& t)
        : im(images), profile(p), params(pa), tuning(t) {}

    /// A phase begins on the thread of `slot`; the calling thread (slot 0) reports it. False:
    /// stop.
    bool beginPhase(int slot) {
        const int32_t n = phases.fetch_add(1) + 1;
        if (slot == 0) return report(n);
        return !cancelled.load();
    }
    bool report(int32_t step) {
        if (cancelled.load()) return false;
        if (step <= lastReported) step = lastReported + 1;
        if (step > total) step = total;
        lastReported = step;
        if (params.progress != nullptr &&
            params.progress(step, total, params.progressContext) != 0) {
            cancelled.store(true);
            return false;
        }
        return true;
    }
};

// ---- one thread's plane and the passes of a job -------------------------------------------

struct Worker {
    Shared& sh;
    float* plane = nullptr;
    float* scratch = nullptr;
    int slot = 0; // the pass's thread this worker runs on
    int shift = -1;
    int ox = 0, oy = 0; // source position of plane sample (0, 0)
    LevelSizes sizes{};

    Worker(Shared& shared, int threadSlot) : sh(shared), slot(threadSlot) {}

    float* planeRow(int y) const { return plane + std::size_t(y) * sh.planeStride; }

    // Floats a worker needs: its plane and its scratch.
    static std::size_t stripWidth(int radius) { return roundUp(kStrip + 2 * radius); }
    static std::size_t scratchFloats(const Shared& sh) {
        const int r = sh.tuning.windowRadius, h = sh.maxH;
        const std::size_t strip =
            stripWidth(r) * std::size_t(h + 4) + roundUp(kStrip) * std::size_t((h + 1) / 2 + 2) +
            5 * roundUp(kStrip + 2 * r + 16) + roundUp(std::size_t(r) * (h + 2)) +
            roundUp(std::size_t(2 * (h + 8)));
        const std::size_t lines = roundUp(lifting97::lineScratch(sh.maxW)) +
                                  roundUp(std::size_t(sh.maxW) + 16) + std::size_t(sh.maxW);
        return roundUp(std::max(strip, lines) + 16);
    }
    static std::size_t floats(const Shared& sh) {
        return sh.planeStride * std::size_t(sh.maxH) + scratchFloats(sh);
    }
    void layOut(float* base) {
        plane = base;
        scratch = base + sh.planeStride * std::size_t(sh.maxH);
    }

    void setShift(int s);
    void loadForwardRows(int c);
    void forwardRows(int w, int h);
    void forwardColumns(int level, int c);
    void inverseColumns(int w, int h);
    void inverseRows(int w, int h);
    void accumulate(int c);
    bool run(const Job& job);
};

// The pixel of plane sample (x, y), mirrored into the source.
inline const unsigned char* sourcePixel(const AutoDenoiseImages& im, std::ptrdiff_t stride, int x,
                                        int y) {
    return im.source + std::ptrdiff_t(reflect(y, im.height)) * stride +
           std::ptrdiff_t(reflect(x, im.width)) * 4;
}

void Worker::setShift(int s) {
    if (s == shift) return;
    shift = s;
    ox = sh.win.x0 - kShiftX[s];
    oy = sh.win.y0 - kShiftY[s];
    sizes = levelSizes(sh.win.x1 - ox, sh.win.y1 - oy, sh.tuning.levels);
}

// The gain maps, once per call: the brightness under every coefficient of the largest plane (that
// of the shifted grid), from the window's unshifted origin: half a coefficient of shift makes no
// difference to a noise level.
void Shared::computeGains(float* base) {
    const LevelSizes sizes = levelSizes(maxW, maxH, tuning.levels);
    for (int l = 1; l <= tuning.levels; ++l) {
        gains.map[l] = base;
        base += roundUp(std::size_t(sizes.w[l + 1]) * std::size_t(sizes.h[l + 1]));
    }
    const int ox = win.x0, oy = win.y0;
    float* scratch = base;
    const std::ptrdiff_t stride = sourceStride(im);
    const int levels = tuning.levels;
    for (int l = 1; l <= levels; ++l)
        gains.width[l] = sizes.w[l + 1];
    const int w = sizes.w[1], h = sizes.h[1];
    const int bw = sizes.w[2], bh = sizes.h[2];
    // Byte offsets of the two source columns under each map column, mirrored into the source.
    int* cols = reinterpret_cast<int*>(scratch);
    for (int j = 0; j < bw; ++j) {
        cols[2 * j] = 4 * reflect(ox + 2 * j, im.width);
        cols[2 * j + 1] = 4 * reflect(ox + std::min(2 * j + 1, w - 1), im.width);
    }
    float* b1 = gains.map[1];
    // The first map's rows, shared among the threads when the window is large.
    const int rowThreads = std::size_t(w) * std::size_t(h) > (1u << 20) ? maxThreads() : 1;
    parallelFor(bh, runLength(bh, rowThreads), rowThreads, [&](int64_t i0, int64_t i1, int) {
        for (int i = int(i0); i < int(i1); ++i) {
            const unsigned char* r0 =
                im.source + std::ptrdiff_t(reflect(oy + 2 * i, im.height)) * stride;
            const unsigned char* r1 =
                im.source +
                std::ptrdiff_t(reflect(oy + std::min(2 * i + 1, h - 1), im.height)) * stride;
            float* out = b1 + std::size_t(i) * bw;
            for (int j = 0; j < bw; ++j) {
                const unsigned char* p[4] = {r0 + cols[2 * j], r0 + cols[2 * j + 1],
                                             r1 + cols[2 * j], r1 + cols[2 * j + 1]};
                int sum = 0;
                for (const unsigned char* q : p)
                    sum += q[0] + q[1] + q[2];
                out[j] = float(sum) * (1.0f / 12.0f);
            }
        }
    });
    for (int l = 2; l <= levels; ++l) {
        const int iw = sizes.w[l], ih = sizes.h[l], ow = sizes.w[l + 1], oh = sizes.h[l + 1];
        const float* in = gains.map[l - 1];
        float* out = gains.map[l];
        for (int i = 0; i < oh; ++i) {
            const int r0 = 2 * i, r1 = std::min(2 * i + 1, ih - 1);
            for (int j = 0; j < ow; ++j) {
                const int c0 = 2 * j, c1 = std::min(2 * j + 1, iw - 1);
                const float sum = in[std::size_t(r0) * iw + c0] + in[std::size_t(r0) * iw + c1] +
                                  in[std::size_t(r1) * iw + c0] + in[std::size_t(r1) * iw + c1];
                out[std::size_t(i) * ow + j] = sum * 0.25f;
            }
        }
    }
    for (int l = 1; l <= levels; ++l) {
        const std::size_t n = std::size_t(sizes.w[l + 1]) * std::size_t(sizes.h[l + 1]);
        float* m = gains.map[l];
        for (std::size_t k = 0; k < n; ++k)
            m[k] = profile.gainAt(m[k]);
    }
}

// Channel c of one source pixel, as the reference computes it.
inline float channelOf(const unsigned char* p, int c) {
    if (c == 0) return float(p[0] + p[1] + p[2]) * float(kInvSqrt3);
    if (c == 1) return float(p[0] - p[2]) * float(kInvSqrt2);
    return float(p[0] - 2 * p[1] + p[2]) * float(kInvSqrt6);
}

void Worker::loadForwardRows(int c) {
    const AutoDenoiseImages& im = sh.im;
    const std::ptrdiff_t stride = sourceStride(im);
    const int w = sizes.w[1], h = sizes.h[1];
    const int nE = (w + 1) / 2, nO = w / 2;
    float* e = scratch + 1;
    float* o = e + roundUp(std::size_t(nE) + 4);
    // Pairs of plane columns whose source columns both lie inside the source.
    const int k0 = std::min(nO, std::max(0, (-ox + 1) / 2));
    const int k1 = std::max(k0, std::min(nO, (im.width - ox) / 2));
    for (int y = 0; y < h; ++y) {
        const unsigned char* row = im.source + std::ptrdiff_t(reflect(oy + y, im.height)) * stride;
        const unsigned char* q = row + std::ptrdiff_t(ox + 2 * k0) * 4;
        if (c == 0) {
            for (int k = k0; k < k1; ++k, q += 8) {
                e[k] = float(q[0] + q[1] + q[2]) * float(kInvSqrt3);
                o[k] = float(q[4] + q[5] + q[6]) * float(kInvSqrt3);
            }
        } else if (c == 1) {
            for (int k = k0; k < k1; ++k, q += 8) {
                e[k] = float(q[0] - q[2]) * float(kInvSqrt2);
                o[k] = float(q[4] - q[6]) * float(kInvSqrt2);
            }
        } else {
            for (int k = k0; k < k1; ++k, q += 8) {
                e[k] = float(q[0] - 2 * q[1] + q[2]) * float(kInvSqrt6);
                o[k] = float(q[4] - 2 * q[5] + q[6]) * float(kInvSqrt6);
            }
        }
        // The few samples at the ends, mirrored into the source one by one.
        auto edge = [&](int k) {
            e[k] = channelOf(sourcePixel(im, stride, ox + 2 * k, oy + y), c);
            if (k < nO) o[k] = channelOf(sourcePixel(im, stride, ox + 2 * k + 1, oy + y), c);
        };
        for (int k = 0; k < k0; ++k)
            edge(k);
        for (int k = k1; k < nE; ++k)
            edge(k);
        lifting97::forwardSplit(e, o, w, planeRow(y));
    }
}

void Worker::forwardRows(int w, int h) {
    for (int y = 0; y < h; ++y)
        lifting97::forwardLine(planeRow(y), w, planeRow(y), scratch);
}

// A band held in a strip: rows[i] (i < n) are its rows, each holding the level's columns
// [hx0, hx1); the band spans columns [g0, g1) and the strip's own columns are [cx0, cx1).
struct StripBand {
    float** rows;
    int n;
    int hx0, g0, g1, cx0, cx1;
};

void shrinkStrip(const StripBand& b, const GainMaps& gains, int level, float sigma, int radius,
                 float* work) {
    const int width = b.cx1 - b.cx0;
    const int taps = 2 * radius + 1;
    const int ext = width + 2 * radius;
    float* hsum = work; // n rows of roundUp(kStrip)
    const std::size_t hs = roundUp(kStrip);
    const std::size_t span = roundUp(kStrip + 2 * radius + 16);
    float* line = hsum + hs * std::size_t(b.n);
    float* sq = line + span;
    float* pair = sq + span;
    float* quad = pair + span;
    float* energy = quad + span;
    const int bandW = b.g1 - b.g0;
    // The window reaches past the strip only into its halo, except at the band's own edges,
    // where it is mirrored: then the row is gathered through an index map.
    const bool inside = b.cx0 - radius >= b.g0 && b.cx1 + radius <= b.g1;
    int index[kStrip + 2 * 8];
    if (!inside)
        for (int t = 0; t < ext; ++t)
            index[t] = b.g0 + reflect(b.cx0 - radius + t - b.g0, bandW) - b.hx0;
    for (int i = 0; i < b.n; ++i) {
        const float* r = b.rows[i];
        if (inside) {
            squares(r + (b.cx0 - radius - b.hx0), ext, sq);
        } else {
            for (int t = 0; t < ext; ++t)
                line[t] = r[index[t]];
            squares(line, ext, sq);
        }
        windowSums(sq, width, taps, hsum + hs * std::size_t(i), pair, quad);
    }
    // The column sums slide down the band: one row in, one row out; summed afresh every 32
    // rows and wherever the window is mirrored, so rounding cannot pile up.
    const float invArea = 1.0f / float(taps * taps);
    for (int i = 0; i < b.n; ++i) {
        const bool slide = i % 32 != 0 && i - radius - 1 >= 0 && i + radius < b.n;
        if (slide) {
            addRows(energy, hsum + hs * std::size_t(i + radius), width);
            subtractRows(energy, hsum + hs * std::size_t(i - radius - 1), width);
        } else {
            for (int j = 0; j < width; ++j)
                energy[j] = 0.0f;
            for (int dy = -radius; dy <= radius; ++dy)
                addRows(energy, hsum + hs * std::size_t(reflect(i + dy, b.n)), width);
        }
        shrinkSpan(b.rows[i] + (b.cx0 - b.hx0), energy, gains.row(level, i) + (b.cx0 - b.g0), sigma,
                   invArea, width);
    }
}

void Worker::forwardColumns(int level, int c) {
    const int w = sizes.w[level], h = sizes.h[level];
    const int wE = (w + 1) / 2, hE = (h + 1) / 2, hO = h / 2;
    const int radius = sh.tuning.windowRadius;
    const std::size_t stripW = stripWidth(radius);
    float* rowsBase = scratch;
    float* work = rowsBase + stripW * std::size_t(h + 4);
    float* saved = work + roundUp(kStrip) * std::size_t(hE + 2) +
                   5 * roundUp(kStrip + 2 * radius + 16); // h rows of `radius` columns
    float** ptr = reinterpret_cast<float**>(saved + roundUp(std::size_t(radius) * (h + 2)));
    float** e = ptr + 1;
    float** o = ptr + hE + 3;
    for (int i = 0; i < hE; ++i)
        e[i] = rowsBase + stripW * std::size_t(i + 1);
    for (int i = 0; i < hO; ++i)
        o[i] = rowsBase + stripW * std::size_t(hE + 3 + i);
    const double* sg = c >= 0 ? sh.sig.s[c][level - 1] : nullptr;

    // The low columns [0, wE), then the high columns [wE, w); a strip never spans both.
    for (int group = 0; group < 2; ++group) {
        const int g0 = group == 0 ? 0 : wE, g1 = group == 0 ? wE : w;
        // Bands to shrink in this group: the low rows of the high columns, the high rows of both.
        const bool top = sg != nullptr && group == 1 && sg[0] > 0.0;
        const bool bottom = sg != nullptr && hO > 0 && sg[group == 1 ? 2 : 1] > 0.0;
        const int halo = top || bottom ? radius : 0;
        for (int cx0 = g0; cx0 < g1; cx0 += kStrip) {
            const int cx1 = std::min(g1, cx0 + kStrip);
            const int hx0 = std::max(g0, cx0 - halo), hx1 = std::min(g1, cx1 + halo);
            const int cw = hx1 - hx0, left = cx0 - hx0;
            // Even plane rows into the even strip rows, odd into odd; the left halo from the
            // columns kept from the strip before.
            const std::size_t ps = sh.planeStride;
            if (left > 0) {
                copyBlock(e[0], stripW, saved + (radius - left), 2 * std::size_t(radius), hE, left);
                copyBlock(o[0], stripW, saved + radius + (radius - left), 2 * std::size_t(radius),
                          hO, left);
            }
            copyBlock(e[0] + left, stripW, planeRow(0) + cx0, 2 * ps, hE, hx1 - cx0);
            copyBlock(o[0] + left, stripW, planeRow(1) + cx0, 2 * ps, hO, hx1 - cx0);
            // The next strip's left halo: this strip's last original columns.
            if (halo > 0 && cx1 < g1 && cx1 - cx0 >= radius) {
                copyBlock(saved, 2 * std::size_t(radius), e[0] + (cx1 - radius - hx0), stripW, hE,
                          radius);
                copyBlock(saved + radius, 2 * std::size_t(radius), o[0] + (cx1 - radius - hx0),
                          stripW, hO, radius);
            }
            lifting97::forwardRows(e, o, h, cw);
            if (top)
                shrinkStrip({e, hE, hx0, g0, g1, cx0, cx1}, sh.gains, level, float(sg[0]), radius,
                            work);
            if (bottom)
                shrinkStrip({o, hO, hx0, g0, g1, cx0, cx1}, sh.gains, level,
                            float(sg[group == 1 ? 2 : 1]), radius, work);
            copyBlock(planeRow(0) + cx0, ps, e[0] + left, stripW, hE, cx1 - cx0);
            copyBlock(planeRow(hE) + cx0, ps, o[0] + left, stripW, hO, cx1 - cx0);
        }
    }
}

void Worker::inverseColumns(int w, int h) {
    const int hE = (h + 1) / 2, hO = h / 2;
    const int radius = sh.tuning.windowRadius;
    const std::size_t stripW = stripWidth(radius);
    float* rowsBase = scratch;
    float** ptr = reinterpret_cast<float**>(
        rowsBase + stripW * std::size_t(h + 4) + roundUp(kStrip) * std::size_t(hE + 2) +
        5 * roundUp(kStrip + 2 * radius + 16) + roundUp(std::size_t(radius) * (h + 2)));
    float** e = ptr + 1;
    float** o = ptr + hE + 3;
    for (int i = 0; i < hE; ++i)
        e[i] = rowsBase + stripW * std::size_t(i + 1);
    for (int i = 0; i < hO; ++i)
        o[i] = rowsBase + stripW * std::size_t(hE + 3 + i);
    for (int cx0 = 0; cx0 < w; cx0 += kStrip) {
        const int cw = std::min(w, cx0 + kStrip) - cx0;
        const std::size_t ps = sh.planeStride;
        copyBlock(e[0], stripW, planeRow(0) + cx0, ps, hE, cw);
        copyBlock(o[0], stripW, planeRow(hE) + cx0, ps, hO, cw);
        lifting97::inverseRows(e, o, h, cw);
        copyBlock(planeRow(0) + cx0, 2 * ps, e[0], stripW, hE, cw);
        copyBlock(planeRow(1) + cx0, 2 * ps, o[0], stripW, hO, cw);
    }
}

void Worker::inverseRows(int w, int h) {
    for (int y = 0; y < h; ++y)
        lifting97::inverseLine(planeRow(y), w, planeRow(y), scratch);
}

// The first level's inverse rows of the tile, then (under the channel's lock) their values added
// into the channel's accumulator.
void Worker::accumulate(int c) {
    const AutoDenoiseImages& im = sh.im;
    const int w = sizes.w[1];
    const int x0 = im.tileX - ox, y0 = im.tileY - oy;
    for (int ty = 0; ty < im.tileHeight; ++ty)
        lifting97::inverseLine(planeRow(y0 + ty), w, planeRow(y0 + ty), scratch);
    std::lock_guard<std::mutex> guard(sh.lock[c]);
    const bool first = !sh.started[c];
    sh.started[c] = true;
    for (int ty = 0; ty < im.tileHeight; ++ty) {
        int32_t* a = sh.acc[c] + std::size_t(ty) * std::size_t(im.tileWidth);
        if (first)
            fixRow(planeRow(y0 + ty) + x0, im.tileWidth, a);
        else
            addFixedRow(planeRow(y0 + ty) + x0, im.tileWidth, a);
    }
}

bool Worker::run(const Job& job) {
    const int c = job.channel;
    if (!sh.beginPhase(slot)) return false;
    setShift(job.shift);
    const int levels = sh.tuning.levels;
    for (int l = 1; l <= levels; ++l) {
        if (l == 1)
            loadForwardRows(c);
        else
            forwardRows(sizes.w[l], sizes.h[l]);
        forwardColumns(l, sh.sig.any ? c : -1);
    }
    if (!sh.beginPhase(slot)) return false;
    for (int l = levels; l >= 1; --l) {
        inverseColumns(sizes.w[l], sizes.h[l]);
        if (l > 1) inverseRows(sizes.w[l], sizes.h[l]);
    }
    accumulate(c);
    return true;
}

int32_t runDenoiser(const AutoDenoiseImages& im, const NoiseProfile& profile,
                    const AutoDenoiseParams& params, AutoDenoiseWorkspace& workspace,
                    const AutoDenoiseTuning& tuning) {
    Shared sh(im, profile, params, tuning);
    sh.sig = effectiveSigmas(profile, params);
    sh.win = processingWindow(im);
    sh.shifts[0] = tuning.shifts;
    sh.shifts[1] = sh.shifts[2] = tuning.colorShifts;
    const int extra = tuning.shifts > 1 ? 1 : 0;
    sh.maxW = sh.win.x1 - sh.win.x0 + extra;
    sh.maxH = sh.win.y1 - sh.win.y0 + extra;
    sh.planeStride = roundUp(std::size_t(sh.maxW));
    // Shift by shift, channel by channel: consecutive jobs are of different channels, so two
    // threads seldom want the same accumulator at once.
    for (int s = 0; s < tuning.shifts; ++s)
        for (int c = 0; c < kC; ++c)
            if (s < sh.shifts[c]) sh.jobs[sh.jobCount++] = {c, s};
    sh.total = 2 * sh.jobCount + 1;

    const int threads = std::max(1, std::min(maxThreads(), sh.jobCount));
    const std::size_t tile = roundUp(std::size_t(im.tileWidth) * std::size_t(im.tileHeight));
    const std::size_t gainSpace =
        Shared::gainFloats(sh.maxW, sh.maxH, tuning.levels) + roundUp(std::size_t(sh.maxW) + 2);
    const std::size_t perWorker = Worker::floats(sh);
    float* base = workspace.reserve(kC * tile + gainSpace + std::size_t(threads) * perWorker);
    if (base == nullptr) return NR_OUT_OF_MEMORY;
    for (int c = 0; c < kC; ++c)
        sh.acc[c] = reinterpret_cast<int32_t*>(base + std::size_t(c) * tile);
    sh.computeGains(base + kC * tile);
    float* const workers = base + kC * tile + gainSpace;

    // One job per run, taken in turn; each thread works on the plane of its slot.
    parallelFor(sh.jobCount, 1, threads, [&](int64_t first, int64_t end, int slot) {
        Worker worker(sh, slot);
        worker.layOut(workers + perWorker * std::size_t(slot));
        for (int64_t j = first; j < end; ++j)
            if (!worker.run(sh.jobs[j])) break;
    });
    if (!sh.report(sh.total)) return NR_CANCELLED;

    const std::ptrdiff_t ts = targetStride(im);
    const float k0 = 1.0f / (kFixed * float(sh.shifts[0])),
                k1 = 1.0f / (kFixed * float(sh.shifts[1])),
                k2 = 1.0f / (kFixed * float(sh.shifts[2]));
    // Three rows of whole numbers in the first worker's plane, which is free now.
    int32_t* rgb = reinterpret_cast<int32_t*>(workers);
    const std::size_t rw = roundUp(std::size_t(im.tileWidth));
    for (int ty = 0; ty < im.tileHeight; ++ty) {
        const std::size_t row = std::size_t(ty) * std::size_t(im.tileWidth);
        rgbValues(sh.acc[0] + row, sh.acc[1] + row, sh.acc[2] + row, k0, k1, k2, im.tileWidth, rgb,
                  rgb + rw, rgb + 2 * rw);
        storeRgb(rgb, rgb + rw, rgb + 2 * rw, im.tileWidth, im.target + std::ptrdiff_t(ty) * ts);
    }
    return NR_OK;
}

} // namespace

AutoDenoiseImages AutoDenoiseImages::inPlace(unsigned char* pixels, int32_t width, int32_t height,
                                             std::ptrdiff_t stride) {
    AutoDenoiseImages im;
    im.source = pixels;
    im.width = width;
    im.height = height;
    im.sourceStride = stride;
    im.tileWidth = width;
    im.tileHeight = height;
    im.target = pixels;
    im.targetStride = stride;
    return im;
}

AutoDenoiseWorkspace::AutoDenoiseWorkspace() = default;

AutoDenoiseWorkspace::~AutoDenoiseWorkspace() {
    release();
}

float* AutoDenoiseWorkspace::reserve(std::size_t count) {
    if (m_data != nullptr && m_count >= count) return m_data;
    release();
    if (count > SIZE_MAX / sizeof(float)) return nullptr;
    m_data = static_cast<float*>(
        std::aligned_alloc(64, roundUp(std::max<std::size_t>(count, 16)) * sizeof(float)));
    if (m_data != nullptr) m_count = count;
    return m_data;
}

void AutoDenoiseWorkspace::release() {
    std::free(m_data);
    m_data = nullptr;
    m_count = 0;
}

int32_t autonr::validateAutoArguments(const AutoDenoiseImages& im, const NoiseProfile& profile,
                                      const AutoDenoiseParams& params,
                                      const AutoDenoiseTuning& tuning) {
    if (im.source == nullptr || im.target == nullptr) return NR_INVALID_PARAMETER;
    if (im.width < 1 || im.height < 1 || im.tileWidth < 1 || im.tileHeight < 1)
        return NR_INVALID_PARAMETER;
    if (im.tileX < 0 || im.tileY < 0 || im.tileX > im.width - im.tileWidth ||
        im.tileY > im.height - im.tileHeight)
        return NR_INVALID_PARAMETER;
    if (im.sourceStride != -1 && im.sourceStride < std::ptrdiff_t(4) * im.width)
        return NR_INVALID_PARAMETER;
    if (im.targetStride != -1 && im.targetStride < std::ptrdiff_t(4) * im.tileWidth)
        return NR_INVALID_PARAMETER;
    if (!kAutoStrengthRange.contains(params.strength) ||
        !kAutoColorStrengthRange.contains(params.colorStrength))
        return NR_INVALID_PARAMETER;
    if (!profile.valid()) return NR_INVALID_PARAMETER;
    if (tuning.shifts < 1 || tuning.shifts > 4 || tuning.colorShifts < 1 ||
        tuning.colorShifts > tuning.shifts || tuning.windowRadius < 1 || tuning.windowRadius > 8 ||
        tuning.levels < 1 || tuning.levels > NoiseProfile::kLevels)
        return NR_INVALID_PARAMETER;
    return NR_OK;
}

int32_t reduceNoiseAuto(const AutoDenoiseImages& images, const NoiseProfile& profile,
                        const AutoDenoiseParams& params, AutoDenoiseWorkspace* workspace,
                        const AutoDenoiseTuning& tuning) {
    if (const int32_t rc = autonr::validateAutoArguments(images, profile, params, tuning);
        rc != NR_OK)
        return rc;
    if (workspace != nullptr) return runDenoiser(images, profile, params, *workspace, tuning);
    AutoDenoiseWorkspace temporary;
    return runDenoiser(images, profile, params, temporary, tuning);
}

} // namespace velanox::engine
