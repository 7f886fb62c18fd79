// The shipped 9/7 kernels. They compute every output sample with the same products summed in
// the same order as the straightforward transform, so the results are the same to the bit; what
// changes is the schedule:
//  - rows are split into their even and odd samples, so each tap is a contiguous stream and
//    every output loop vectorises;
//  - the column taps work on whole rows, each output row being a sum of whole input rows:
//    contiguous and vectorised;
//  - a level makes one pass down the plane, doing the row and column work of each band of rows
//    while it is in the cache, and writes into a second plane (see "levels" below);
//  - the soft threshold is applied as the forward pass writes each value that no later level
//    reads;
//  - runs of rows are spread over threads (engine/threads.h), a few runs per thread taken in
//    turn; every value is computed with one order of operations whichever thread computes it.
//    The deep levels, a few thousand samples, run on the calling thread;
//  - the glue between the passes (splitting a line, extending and interleaving the bands, the
//    threshold) is vectorised too: only the few samples at the ends of a line are reflected one
//    by one.
#include "engine/hot_loop.h"
#include "engine/plane_io.h"
#include "engine/threads.h"
#include "engine/wavelet_97_taps.h"
#include "engine/wavelet_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace velanox::engine {

namespace {

using namespace wavelet97;

constexpr int kPad = 3;   // even/odd samples kept beyond each end of a split line
constexpr int kRing = 16; // row-transformed rows a forward level keeps: 9 in use, a power of two

// Below this many samples a level stays on the calling thread: the deep levels are too small to
// pay for waking the other threads and the barriers between the passes.
constexpr std::size_t kThreadedSamples = std::size_t(1) << 16;

bool threadedLevel(int w, int h) {
    return std::size_t(w) * std::size_t(h) >= kThreadedSamples;
}

// Row transforms and detail rows the first level's inverse keeps when it makes the detail bands
// again (see "the first level with its detail bands made again"): the rows under the taps of the
// newest detail row and the one before, and the detail rows under the synthesis taps.
constexpr int kTransformSlots = 12; // 9 in use at once
constexpr int kDetailSlots = 6;     // 5 in use at once

// Scratch for the split halves of a line of n samples with their extensions, or for one row
// synthesis.
std::size_t lineScratch(int n) {
    return 4 * (std::size_t(n) / 2 + 2 * kPad + 2) + std::size_t(n);
}

// Scratch of the detail rows made again for rows of n samples: the row transforms, the high and
// the low detail rows, a spare row and a line's scratch.
std::size_t detailScratch(int n) {
    const std::size_t w = std::size_t(n);
    return std::size_t(kTransformSlots + kDetailSlots) * w +
           std::size_t(kDetailSlots) * (w / 2 + 1) + w + lineScratch(n);
}

// Per-thread scratch for rows of n samples: the forward ring, a spare row and a line's scratch,
// or the inverse's synthesised line and its row synthesis' scratch, or for the first level's
// inverse that makes the detail bands again, those behind its detail rows.
std::size_t perThreadScratch(int n) {
    const std::size_t w = std::size_t(n);
    const std::size_t streaming = std::size_t(kRing + 1) * w + lineScratch(n) + w;
    const std::size_t remaking = detailScratch(n) + w + lineScratch(n);
    return std::max(streaming, remaking);
}

std::size_t fastScratchSize(int wp, int) {
    return perThreadScratch(wp) * std::size_t(maxThreads());
}

// ---- rows --------------------------------------------------------------------------------

// Separates the even and odd samples of the inside of a line: e[i] = x(2i), o[i] = x(2i + 1).
VELANOX_HOT void deinterleave(const double* x, int pairs, double* e, double* o) {
    for (int i = 0; i < pairs; ++i) {
        e[i] = x[2 * i];
        o[i] = x[2 * i + 1];
    }
}

// Splits x[0..n) extended whole-sample symmetric at both ends into even samples
// E[i + kPad] = x(2i) and odd samples O[i + kPad] = x(2i + 1), for i = -kPad .. count + kPad.
void splitLine(const double* x, int n, int count, double* E, double* O) {
    auto edge = [&](int i) {
        const int e = 2 * i, o = 2 * i + 1;
        E[i + kPad] = e >= 0 && e < n ? x[e] : x[reflectIndex(e, n, true, true)];
        O[i + kPad] = o >= 0 && o < n ? x[o] : x[reflectIndex(o, n, true, true)];
    };
    // Pairs 0 .. n/2 - 1 lie wholly inside the line.
    const int inside = std::min(n / 2, count + kPad);
    for (int i = -kPad; i < 0; ++i)
        edge(i);
    deinterleave(x, inside, E + kPad, O + kPad);
    for (int i = std::max(inside, 0); i < count + kPad; ++i)
        edge(i);
}

VELANOX_HOT void analyseLow(const double* E, const double* O, int nL, double* out) {
    const double* h = kAnalysisLow;
    const double* e = E + kPad;
    const double* o = O + kPad;
    for (int k = 0; k < nL; ++k)
        out[k] = 0.0 + h[0] * e[k - 2] + h[1] * o[k - 2] + h[2] * e[k - 1] + h[3] * o[k - 1] +
                 h[4] * e[k] + h[5] * o[k] + h[6] * e[k + 1] + h[7] * o[k + 1] + h[8] * e[k + 2];
}

VELANOX_HOT void analyseHigh(const double* E, const double* O, int nH, double* hi) {
    const double* g = kAnalysisHigh;
    const double* e = E + kPad;
    const double* o = O + kPad;
    for (int k = 0; k < nH; ++k)
        hi[k] = 0.0 + g[0] * e[k - 1] + g[1] * o[k - 1] + g[2] * e[k] + g[3] * o[k] +
                g[4] * e[k + 1] + g[5] * o[k + 1] + g[6] * e[k + 2];
}

// Transforms the line x[0..n) into out (low band, then high band); they may not overlap. With
// lowOnly, only the low band is made.
void analyseRow(const double* x, int n, double* out, double* scratch, bool lowOnly = false) {
    const int nL = (n + 1) / 2, nH = n / 2;
    const int count = nL + 1;
    double* E = scratch;
    double* O = E + count + 2 * kPad;
    splitLine(x, n, count, E, O);
    analyseLow(E, O, nL, out);
    if (!lowOnly) analyseHigh(E, O, nH, out + nL);
}

// Extends the low band L[kPad .. kPad + nL) and the high band H[kPad .. kPad + nH) of a line of
// n samples by kPad samples at each end, in place: whole-sample symmetry for the low band at the
// start and, at the end, whole for odd lines and half for even ones; the high band the other way
// round.
void extendBandsInPlace(int n, double* L, double* H) {
    const int nL = (n + 1) / 2, nH = n / 2;
    const bool odd = (n & 1) != 0;
    for (int i = -kPad; i < 0; ++i) {
        L[i + kPad] = L[kPad + reflectIndex(i, nL, true, odd)];
        H[i + kPad] = H[kPad + reflectIndex(i, nH, false, !odd)];
    }
    for (int i = nL; i < nL + kPad; ++i)
        L[i + kPad] = L[kPad + reflectIndex(i, nL, true, odd)];
    for (int i = nH; i < nL + kPad; ++i)
        H[i + kPad] = H[kPad + reflectIndex(i, nH, false, !odd)];
}

VELANOX_HOT void synthesiseSplit(const double* Lx, const double* Hx, int nL, int nH, double* even,
                                 double* odd) {
    const double* f = kSynthesisLow;
    const double* s = kSynthesisHigh;
    const double* L = Lx + kPad;
    const double* H = Hx + kPad;
    for (int p = 0; p < nL; ++p)
        even[p] = 0.0 + f[5] * L[p - 1] + f[3] * L[p] + f[1] * L[p + 1] + s[7] * H[p - 2] +
                  s[5] * H[p - 1] + s[3] * H[p] + s[1] * H[p + 1];
    for (int p = 0; p < nH; ++p)
        odd[p] = 0.0 + f[6] * L[p - 1] + f[4] * L[p] + f[2] * L[p + 1] + f[0] * L[p + 2] +
                 s[8] * H[p - 2] + s[6] * H[p - 1] + s[4] * H[p] + s[2] * H[p + 1] +
                 s[0] * H[p + 2];
}

VELANOX_HOT void interleave(const double* e, const double* o, int pairs, double* x) {
    for (int i = 0; i < pairs; ++i) {
        x[2 * i] = e[i];
        x[2 * i + 1] = o[i];
    }
}

// The scratch of one row synthesis: the extended bands, then the even and odd outputs.
struct RowSynthesis {
    double* L;
    double* H;
    double* even;
    double* odd;

    RowSynthesis(int n, double* scratch) {
        const std::size_t span = std::size_t((n + 1) / 2) + 2 * kPad;
        L = scratch;
        H = L + span;
        even = H + span;
        odd = even + (n + 1) / 2;
    }
    double* low() const { return L + kPad; }
    double* high() const { return H + kPad; }

    // Synthesises the line whose bands were written at low() and high() into row[0..n).
    void finish(int n, double* row) const {
        const int nL = (n + 1) / 2, nH = n / 2;
        extendBandsInPlace(n, L, H);
        synthesiseSplit(L, H, nL, nH, even, odd);
        interleave(even, odd, nH, row);
        if (nL > nH) row[n - 1] = even[nL - 1];
    }
};

// ---- column taps over whole rows ------------------------------------------------------------

VELANOX_HOT void weightedRows9(const double* const* r, const double* t, double* out, int count) {
    for (int c = 0; c < count; ++c)
        out[c] = 0.0 + t[0] * r[0][c] + t[1] * r[1][c] + t[2] * r[2][c] + t[3] * r[3][c] +
                 t[4] * r[4][c] + t[5] * r[5][c] + t[6] * r[6][c] + t[7] * r[7][c] + t[8] * r[8][c];
}

VELANOX_HOT void weightedRows7(const double* const* r, const double* t, double* out, int count) {
    for (int c = 0; c < count; ++c)
        out[c] = 0.0 + t[0] * r[0][c] + t[1] * r[1][c] + t[2] * r[2][c] + t[3] * r[3][c] +
                 t[4] * r[4][c] + t[5] * r[5][c] + t[6] * r[6][c];
}

// Synthesis of one output row from 3 or 4 low rows and 4 or 5 high rows, low terms first.
VELANOX_HOT void synthesisRowsEven(const double* const* l, const double* const* h, double* out,
                                   int count) {
    const double* f = kSynthesisLow;
    const double* s = kSynthesisHigh;
    for (int c = 0; c < count; ++c)
        out[c] = 0.0 + f[5] * l[0][c] + f[3] * l[1][c] + f[1] * l[2][c] + s[7] * h[0][c] +
                 s[5] * h[1][c] + s[3] * h[2][c] + s[1] * h[3][c];
}

VELANOX_HOT void synthesisRowsOdd(const double* const* l, const double* const* h, double* out,
                                  int count) {
    const double* f = kSynthesisLow;
    const double* s = kSynthesisHigh;
    for (int c = 0; c < count; ++c)
        out[c] = 0.0 + f[6] * l[0][c] + f[4] * l[1][c] + f[2] * l[2][c] + f[0] * l[3][c] +
                 s[8] * h[0][c] + s[6] * h[1][c] + s[4] * h[2][c] + s[2] * h[3][c] + s[0] * h[4][c];
}

VELANOX_HOT void thresholdSpan(double* v, int count, double t) {
    // softThresholdValue with the choice made by a bit mask instead of a branch, so the loop
    // vectorises; the values below the threshold become +0.0 as there.
    for (int c = 0; c < count; ++c) {
        const double x = v[c];
        const double a = std::fabs(x);
        const double shrunk = std::copysign(a - t, x);
        uint64_t bits;
        std::memcpy(&bits, &shrunk, sizeof bits);
        bits &= a < t ? uint64_t(0) : ~uint64_t(0);
        std::memcpy(&v[c], &bits, sizeof bits);
    }
}

// Asks for a span of memory ahead of its use: a level reads new rows at the pace of its
// arithmetic, too slowly for the hardware to guess, and stalls on them otherwise.
void prefetchSpan([[maybe_unused]] const void* p, [[maybe_unused]] std::size_t bytes) {
#if defined(__GNUC__)
    const char* c = static_cast<const char*>(p);
    for (std::size_t i = 0; i < bytes; i += 64)
        __builtin_prefetch(c + i, 0, 2);
#endif
}

// ---- levels ------------------------------------------------------------------------------
//
// A level streams down the region once. The forward level keeps the last kRing row-transformed
// input rows in a ring (a few hundred kilobytes, resident in the core's cache) and writes each
// output row as soon as the rows under its column taps are in the ring; the inverse level reads
// the few low and high input rows under its taps, which stay cached from one output row to the
// next, and transforms each synthesised row along its length before storing it. Each level thus
// reads its input once and writes its output once, into a second plane. Threads take
// contiguous runs of output rows; a run's first input rows are transformed again by the thread
// that makes it, with the same operations, so the values do not depend on the split.

struct ForwardRun {
    double* out;
    std::size_t stride;
    int w, h;
    int keepTo; // columns of the low rows that the next level reads
    double threshold;
};

// Output rows k0..k1-1 of both bands. fetch(t, spare) gives input row t, in place or made in the
// spare row; prefetch(t) asks for the memory behind it. Every input row that these outputs need
// lies in [2 * k0 - 4, 2 * k1 + 2] clamped to the region: rows beyond the ends reflect into rows
// already inside that range.
template <class Fetch, class Prefetch>
void forwardRows(const ForwardRun& f, int k0, int k1, double* scratch, Fetch fetch,
                 Prefetch prefetch) {
    const int nL = (f.h + 1) / 2, nH = f.h / 2;
    double* slots = scratch;
    double* spare = slots + std::size_t(kRing) * std::size_t(f.w);
    double* lineScratch = spare + f.w;
    auto ring = [&](int t) {
        return slots + std::size_t(reflectIndex(t, f.h, true, true) % kRing) * std::size_t(f.w);
    };
    int next = std::max(0, 2 * k0 - 4); // the next input row to transform
    const double* r[9];
    for (int k = k0; k < k1; ++k) {
        for (const int last = std::min(f.h - 1, 2 * k + 4); next <= last; ++next) {
            if (next + 2 < f.h) prefetch(next + 2);
            analyseRow(fetch(next, spare), f.w, slots + std::size_t(next % kRing) * f.w,
                       lineScratch);
        }
        for (int j = 0; j < 9; ++j)
            r[j] = ring(2 * k + j - 4);
        double* low = f.out + std::size_t(k) * f.stride;
        weightedRows9(r, kAnalysisLow, low, f.w);
        if (f.threshold > 0.0) thresholdSpan(low + f.keepTo, f.w - f.keepTo, f.threshold);
        if (k >= nH) continue;
        for (int j = 0; j < 7; ++j)
            r[j] = ring(2 * k + j - 2);
        double* high = f.out + std::size_t(nL + k) * f.stride;
        weightedRows7(r, kAnalysisHigh, high, f.w);
        if (f.threshold > 0.0) thresholdSpan(high, f.w, f.threshold);
    }
}

// Output rows 2p and 2p + 1 for p in [p0, p1), those in [r0, r1) only. Each is handed to
// emit(r, synthesis, line) with its bands ready for synthesis.finish and a spare line.
template <class Emit>
void inverseRows(const double* in, std::size_t stride, int w, int h, int p0, int p1, int r0, int r1,
                 double* scratch, Emit emit) {
    const int nL = (h + 1) / 2, nH = h / 2;
    const bool oddLength = (h & 1) != 0;
    auto low = [&](int i) {
        return in + std::size_t(reflectIndex(i, nL, true, oddLength)) * stride;
    };
    auto high = [&](int i) {
        return in + std::size_t(nL + reflectIndex(i, nH, false, !oddLength)) * stride;
    };
    double* line = scratch;
    const RowSynthesis row(w, line + w);
    const int wL = (w + 1) / 2, wH = w / 2;
    const std::size_t rowBytes = sizeof(double) * std::size_t(w);
    const double* l[4];
    const double* hr[5];
    // The column synthesis writes the row's low and high bands straight where the row synthesis
    // reads them.
    auto columns = [&](auto synthesis) {
        synthesis(l, hr, row.low(), wL);
        const double* lh[4];
        const double* hh[5];
        for (int j = 0; j < 4; ++j)
            lh[j] = l[j] + wL;
        for (int j = 0; j < 5; ++j)
            hh[j] = hr[j] + wL;
        synthesis(lh, hh, row.high(), wH);
    };
    for (int p = p0; p < p1; ++p) {
        // The low and high rows that come under the taps a few steps from now.
        prefetchSpan(low(p + 4), rowBytes);
        prefetchSpan(high(p + 4), rowBytes);
        if (2 * p >= r0 && 2 * p < r1) {
            for (int j = 0; j < 3; ++j)
                l[j] = low(p - 1 + j);
            for (int j = 0; j < 4; ++j)
                hr[j] = high(p - 2 + j);
            columns(synthesisRowsEven);
            emit(2 * p, row, line);
        }
        if (p >= nH || 2 * p + 1 < r0 || 2 * p + 1 >= r1) continue;
        for (int j = 0; j < 4; ++j)
            l[j] = low(p - 1 + j);
        for (int j = 0; j < 5; ++j)
            hr[j] = high(p - 2 + j);
        columns(synthesisRowsOdd);
        emit(2 * p + 1, row, line);
    }
}

double* threadScratch(double* scratch, int w, int slot) {
    return scratch + std::size_t(slot) * perThreadScratch(w);
}

// The threads a level of w x h samples is spread over.
int levelThreads(int w, int h) {
    return threadedLevel(w, h) ? maxThreads() : 1;
}

// One forward level over threads, its input rows given by fetch and prefetch as forwardRows takes
// them.
template <class Fetch, class Prefetch>
void forwardLevelOverThreads(double* out, std::size_t stride, int w, int h, bool lastLevel,
                             double threshold, double* scratch, Fetch fetch, Prefetch prefetch) {
    const ForwardRun f{out, stride, w, h, lastLevel ? 0 : (w + 1) / 2, threshold};
    const int nL = (h + 1) / 2;
    const int threads = levelThreads(w, h);
    parallelFor(nL, runLength(nL, threads), threads, [&](int64_t k0, int64_t k1, int slot) {
        forwardRows(f, int(k0), int(k1), threadScratch(scratch, w, slot), fetch, prefetch);
    });
}

void fastForwardLevel(const double* in, double* out, std::size_t stride, int w, int h,
                      bool lastLevel, double threshold, double* scratch) {
    forwardLevelOverThreads(
        out, stride, w, h, lastLevel, threshold, scratch,
        [&](int t, double*) { return in + std::size_t(t) * stride; },
        [&](int t) { prefetchSpan(in + std::size_t(t) * stride, sizeof(double) * w); });
}

void fastForwardFromBlock(const BlockRows& block, double* out, std::size_t stride, int w, int h,
                          bool lastLevel, double threshold, double* scratch) {
    forwardLevelOverThreads(
        out, stride, w, h, lastLevel, threshold, scratch,
        [&](int t, double* spare) {
            block.load(t, spare);
            return static_cast<const double*>(spare);
        },
        [&](int t) {
            prefetchSpan(block.rowAddress(planeRowToBlockRow(t, block.height())), block.rowBytes());
        });
}

void fastInverseLevel(const double* in, double* out, std::size_t stride, int w, int h,
                      double* scratch) {
    const int nL = (h + 1) / 2;
    const int threads = levelThreads(w, h);
    parallelFor(nL, runLength(nL, threads), threads, [&](int64_t p0, int64_t p1, int slot) {
        inverseRows(in, stride, w, h, int(p0), int(p1), 0, h, threadScratch(scratch, w, slot),
                    [&](int r, const RowSynthesis& row, double*) {
                        row.finish(w, out + std::size_t(r) * stride);
                    });
    });
}

void fastInverseToBlock(const double* in, std::size_t stride, int w, int h, const BlockRows& block,
                        double* scratch) {
    // Only the rows of the block itself are synthesised; the margin's are never read.
    const int r0 = kPlaneMargin, r1 = h - kPlaneMargin;
    const int p0 = r0 / 2, p1 = (r1 + 1) / 2;
    const int threads = levelThreads(w, h);
    parallelFor(p1 - p0, runLength(p1 - p0, threads), threads, [&](int64_t a, int64_t b, int slot) {
        inverseRows(in, stride, w, h, p0 + int(a), p0 + int(b), r0, r1,
                    threadScratch(scratch, w, slot),
                    [&](int r, const RowSynthesis& row, double* line) {
                        if (r + 2 < r1)
                            prefetchSpan(block.rowAddress(r + 2 - kPlaneMargin), block.rowBytes());
                        row.finish(w, line);
                        block.store(r, line);
                    });
    });
}

// ---- the first level with its detail bands made again ----------------------------------------
//
// The first level's three detail bands are most of the data of a run: the forward level writes
// them whole and the inverse reads them whole, long after, through main memory. When the block
// is a plane of bytes that the inverse does not overwrite (it writes a second plane), the
// forward level writes only its low-low band, and the inverse makes each detail row again from
// the block rows under its taps just before it needs it, with the same operations as the
// forward level: a quarter of the first level's traffic to memory and planes a quarter the size,
// for about an eighth more arithmetic.

// Output rows k0..k1-1 of the first level's low-low band, as forwardRows would write the first
// (w + 1) / 2 values of its low rows: the rows are only transformed into their low halves.
void forwardLowLowRows(const BlockRows& block, double* out, std::size_t stride, int w, int h,
                       int k0, int k1, double* scratch) {
    const int wL = (w + 1) / 2;
    double* slots = scratch;
    double* spare = slots + std::size_t(kRing) * std::size_t(wL);
    double* line = spare + w;
    auto ring = [&](int t) {
        return slots + std::size_t(reflectIndex(t, h, true, true) % kRing) * std::size_t(wL);
    };
    int next = std::max(0, 2 * k0 - 4);
    const double* r[9];
    for (int k = k0; k < k1; ++k) {
        for (const int last = std::min(h - 1, 2 * k + 4); next <= last; ++next) {
            if (next + 2 < h)
                prefetchSpan(block.rowAddress(planeRowToBlockRow(next + 2, block.height())),
                             block.rowBytes());
            block.load(next, spare);
            analyseRow(spare, w, slots + std::size_t(next % kRing) * std::size_t(wL), line, true);
        }
        for (int j = 0; j < 9; ++j)
            r[j] = ring(2 * k + j - 4);
        weightedRows9(r, kAnalysisLow, out + std::size_t(k) * stride, wL);
    }
}

// The detail rows of the first level, made from the block rows on demand and kept while they
// are under the taps. A row's place in its slots is its index modulo the slot count, and a tag
// says which row a slot holds: the rows in use at once are a few consecutive indices, so they
// never share a slot.
class DetailRows {
public:
    DetailRows(const BlockRows& source, int w, int h, double threshold, double* scratch)
        : m_source(source), m_w(w), m_h(h), m_wL((w + 1) / 2), m_wH(w / 2), m_threshold(threshold) {
        m_transforms = scratch;
        m_highRows = m_transforms + std::size_t(kTransformSlots) * std::size_t(w);
        m_lowRows = m_highRows + std::size_t(kDetailSlots) * std::size_t(w);
        m_spare = m_lowRows + std::size_t(kDetailSlots) * std::size_t(m_wH + 1);
        m_line = m_spare + w;
        std::fill(std::begin(m_transformTag), std::end(m_transformTag), -1);
        std::fill(std::begin(m_lowTag), std::end(m_lowTag), -1);
        std::fill(std::begin(m_highTag), std::end(m_highTag), -1);
    }

    /// The high (right-hand) half of low row k, 0 <= k < (h + 1) / 2: wH thresholded values.
    const double* low(int k) {
        const int slot = k % kDetailSlots;
        double* row = m_lowRows + std::size_t(slot) * std::size_t(m_wH + 1);
        if (m_lowTag[slot] != k) {
            const double* r[9];
            for (int j = 0; j < 9; ++j)
                r[j] = transform(2 * k + j - 4) + m_wL;
            weightedRows9(r, kAnalysisLow, row, m_wH);
            thresholdSpan(row, m_wH, m_threshold);
            m_lowTag[slot] = k;
        }
        return row;
    }

    /// High row k, 0 <= k < h / 2: w thresholded values, the low half first.
    const double* high(int k) {
        const int slot = k % kDetailSlots;
        double* row = m_highRows + std::size_t(slot) * std::size_t(m_w);
        if (m_highTag[slot] != k) {
            const double* r[7];
            for (int j = 0; j < 7; ++j)
                r[j] = transform(2 * k + j - 2);
            weightedRows7(r, kAnalysisHigh, row, m_w);
            thresholdSpan(row, m_w, m_threshold);
            m_highTag[slot] = k;
        }
        return row;
    }

    /// Asks for the block rows the detail rows from row pair p on will need.
    void prefetch(int p) const {
        const int t = 2 * p + 12;
        if (t < m_h)
            prefetchSpan(m_source.rowAddress(planeRowToBlockRow(t, m_source.height())),
                         m_source.rowBytes());
    }

private:
    // Input row t (any integer, reflected into the region) transformed along its length.
    const double* transform(int t) {
        t = reflectIndex(t, m_h, true, true);
        const int slot = t % kTransformSlots;
        double* row = m_transforms + std::size_t(slot) * std::size_t(m_w);
        if (m_transformTag[slot] != t) {
            m_source.load(t, m_spare);
            analyseRow(m_spare, m_w, row, m_line);
            m_transformTag[slot] = t;
        }
        return row;
    }

    const BlockRows& m_source;
    int m_w, m_h, m_wL, m_wH;
    double m_threshold;
    double* m_transforms;
    double* m_highRows;
    double* m_lowRows;
    double* m_spare;
    double* m_line;
    int m_transformTag[kTransformSlots];
    int m_lowTag[kDetailSlots];
    int m_highTag[kDetailSlots];
};

void fastForwardFirstLowLow(const BlockRows& block, double* out, std::size_t stride, int w, int h,
                            double* scratch) {
    const int nL = (h + 1) / 2;
    const int threads = levelThreads(w, h);
    parallelFor(nL, runLength(nL, threads), threads, [&](int64_t k0, int64_t k1, int slot) {
        forwardLowLowRows(block, out, stride, w, h, int(k0), int(k1),
                          threadScratch(scratch, w, slot));
    });
}

void fastInverseFirstRemaking(const double* lowLow, std::size_t stride, int w, int h,
                              const BlockRows& source, const BlockRows& target, double threshold,
                              double* scratch) {
    const int nL = (h + 1) / 2, nH = h / 2;
    const bool oddLength = (h & 1) != 0;
    const int wL = (w + 1) / 2, wH = w / 2;
    // Only the rows of the block itself are synthesised; the margin's are never read.
    const int r0 = kPlaneMargin, r1 = h - kPlaneMargin;
    const int p0 = r0 / 2, p1 = (r1 + 1) / 2;
    const std::size_t rowBytes = sizeof(double) * std::size_t(wL);
    auto lowIndex = [&](int i) { return reflectIndex(i, nL, true, oddLength); };
    auto highIndex = [&](int i) { return reflectIndex(i, nH, false, !oddLength); };
    const int threads = levelThreads(w, h);
    parallelFor(p1 - p0, runLength(p1 - p0, threads), threads, [&](int64_t a, int64_t b, int slot) {
        double* own = threadScratch(scratch, w, slot);
        DetailRows details(source, w, h, threshold, own);
        double* line = own + detailScratch(w);
        const RowSynthesis row(w, line + w);
        const double* ll[4];
        const double* lh[4];
        const double* hl[5];
        const double* hh[5];
        // The rows under the taps of output row 2p + parity: low rows p - 1 .. p - 1 + lows,
        // high rows p - 2 .. p - 2 + highs; the synthesis writes the row's two bands where its
        // row synthesis reads them.
        auto synthesise = [&](int p, int lows, int highs, auto synthesis) {
            for (int j = 0; j < lows; ++j) {
                const int k = lowIndex(p - 1 + j);
                ll[j] = lowLow + std::size_t(k) * stride;
                lh[j] = details.low(k);
            }
            for (int j = 0; j < highs; ++j) {
                hl[j] = details.high(highIndex(p - 2 + j));
                hh[j] = hl[j] + wL;
            }
            synthesis(ll, hl, row.low(), wL);
            synthesis(lh, hh, row.high(), wH);
        };
        for (int p = p0 + int(a); p < p0 + int(b); ++p) {
            prefetchSpan(lowLow + std::size_t(lowIndex(p + 4)) * stride, rowBytes);
            details.prefetch(p);
            if (2 * p >= r0 && 2 * p < r1) {
                synthesise(p, 3, 4, synthesisRowsEven);
                row.finish(w, line);
                target.store(2 * p, line);
            }
            if (p >= nH || 2 * p + 1 < r0 || 2 * p + 1 >= r1) continue;
            synthesise(p, 4, 5, synthesisRowsOdd);
            row.finish(w, line);
            target.store(2 * p + 1, line);
        }
    });
}

} // namespace

const WaveletKernels& fastWaveletKernels() {
    static const WaveletKernels kernels{&fastScratchSize,
                                        &fastForwardLevel,
                                        &fastInverseLevel,
                                        true,
                                        true,
                                        &fastForwardFromBlock,
                                        &fastInverseToBlock,
                                        &fastForwardFirstLowLow,
                                        &fastInverseFirstRemaking};
    return kernels;
}

} // namespace velanox::engine
