// The shipped 9/7 kernels. They compute every output sample with the same products summed in
// the same order as the straightforward transform, so the results are the same to the bit; what
// changes is the schedule:
//  - rows are split into their even and odd samples, so each tap is a contiguous stream and
//    every output loop vectorises;
//  - columns are processed in strips of kStrip neighbouring columns, each output row of a strip
//    being a sum of whole input rows: contiguous, vectorised, and cache-resident;
//  - the soft threshold is applied as the forward column pass writes each value that no later
//    level reads;
//  - rows and strips are spread over threads (OpenMP); every value is still computed by exactly
//    one thread with one order of operations. The deep levels, a few thousand samples, run on
//    the calling thread;
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

namespace velanox::engine {

namespace {

using namespace wavelet97;

constexpr int kStrip = 64; // neighbouring columns per strip of a column pass
constexpr int kPad = 3;    // even/odd samples kept beyond each end of a split line

// Below this many samples a level stays on the calling thread: the deep levels are too small to
// pay for waking the other threads and the barriers between the passes.
constexpr std::size_t kThreadedSamples = std::size_t(1) << 16;

bool threadedLevel(int w, int h) {
    return std::size_t(w) * std::size_t(h) >= kThreadedSamples;
}

// Per-thread scratch: a strip of kStrip columns of the longest line, or the split halves of a
// line with their extensions, whichever is larger.
std::size_t perThreadScratch(int n) {
    const std::size_t strip = std::size_t(n) * kStrip;
    const std::size_t halves = 4 * (std::size_t(n) / 2 + 2 * kPad + 2) + std::size_t(n);
    return std::max(strip, halves);
}

std::size_t fastScratchSize(int wp, int hp) {
    return perThreadScratch(std::max(wp, hp)) * std::size_t(maxThreads());
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

VELANOX_HOT void analyseSplit(const double* E, const double* O, int nL, int nH, double* out) {
    const double* h = kAnalysisLow;
    const double* g = kAnalysisHigh;
    const double* e = E + kPad;
    const double* o = O + kPad;
    for (int k = 0; k < nL; ++k)
        out[k] = 0.0 + h[0] * e[k - 2] + h[1] * o[k - 2] + h[2] * e[k - 1] + h[3] * o[k - 1] +
                 h[4] * e[k] + h[5] * o[k] + h[6] * e[k + 1] + h[7] * o[k + 1] + h[8] * e[k + 2];
    double* hi = out + nL;
    for (int k = 0; k < nH; ++k)
        hi[k] = 0.0 + g[0] * e[k - 1] + g[1] * o[k - 1] + g[2] * e[k] + g[3] * o[k] +
                g[4] * e[k + 1] + g[5] * o[k + 1] + g[6] * e[k + 2];
}

void analyseRow(double* row, int n, double* scratch) {
    const int nL = (n + 1) / 2, nH = n / 2;
    const int count = nL + 1;
    double* E = scratch;
    double* O = E + count + 2 * kPad;
    splitLine(row, n, count, E, O);
    analyseSplit(E, O, nL, nH, row);
}

// Low band extended with whole-sample symmetry at the start and, at the end, whole for odd lines
// and half for even ones; the high band the other way round.
void extendBands(const double* c, int n, double* L, double* H) {
    const int nL = (n + 1) / 2, nH = n / 2;
    const bool odd = (n & 1) != 0;
    for (int i = -kPad; i < 0; ++i) {
        L[i + kPad] = c[reflectIndex(i, nL, true, odd)];
        H[i + kPad] = c[nL + reflectIndex(i, nH, false, !odd)];
    }
    std::memcpy(L + kPad, c, sizeof(double) * std::size_t(nL));
    std::memcpy(H + kPad, c + nL, sizeof(double) * std::size_t(nH));
    for (int i = nL; i < nL + kPad; ++i)
        L[i + kPad] = c[reflectIndex(i, nL, true, odd)];
    for (int i = nH; i < nL + kPad; ++i)
        H[i + kPad] = c[nL + reflectIndex(i, nH, false, !odd)];
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

void synthesiseRow(double* row, int n, double* scratch) {
    const int nL = (n + 1) / 2, nH = n / 2;
    const std::size_t span = std::size_t(nL) + 2 * kPad;
    double* L = scratch;
    double* H = L + span;
    double* even = H + span;
    double* odd = even + nL;
    extendBands(row, n, L, H);
    synthesiseSplit(L, H, nL, nH, even, odd);
    interleave(even, odd, nH, row);
    if (nL > nH) row[n - 1] = even[nL - 1];
}

// ---- column strips -----------------------------------------------------------------------

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

// Copies columns [c0, c0 + count) of the first h rows into a contiguous strip.
void gatherStrip(const double* plane, std::size_t stride, int h, int c0, int count, double* strip) {
    for (int r = 0; r < h; ++r)
        std::memcpy(strip + std::size_t(r) * kStrip, plane + std::size_t(r) * stride + c0,
                    sizeof(double) * std::size_t(count));
}

void forwardStrip(double* plane, std::size_t stride, int h, int c0, int count, bool lastLevel,
                  double threshold, int nextW, double* strip) {
    gatherStrip(plane, stride, h, c0, count, strip);
    auto row = [&](int t) { return strip + std::size_t(reflectIndex(t, h, true, true)) * kStrip; };
    const int nL = (h + 1) / 2, nH = h / 2;
    // Values that a later level reads: the low rows' low columns, unless this is the last level.
    const int keepTo = lastLevel ? 0 : std::clamp(nextW - c0, 0, count);
    const double* r[9];
    for (int k = 0; k < nL; ++k) {
        for (int j = 0; j < 9; ++j)
            r[j] = row(2 * k + j - 4);
        double* out = plane + std::size_t(k) * stride + c0;
        weightedRows9(r, kAnalysisLow, out, count);
        if (threshold > 0.0) thresholdSpan(out + keepTo, count - keepTo, threshold);
    }
    for (int k = 0; k < nH; ++k) {
        for (int j = 0; j < 7; ++j)
            r[j] = row(2 * k + j - 2);
        double* out = plane + std::size_t(nL + k) * stride + c0;
        weightedRows7(r, kAnalysisHigh, out, count);
        if (threshold > 0.0) thresholdSpan(out, count, threshold);
    }
}

void inverseStrip(double* plane, std::size_t stride, int h, int c0, int count, double* strip) {
    gatherStrip(plane, stride, h, c0, count, strip);
    const int nL = (h + 1) / 2, nH = h / 2;
    const bool oddLength = (h & 1) != 0;
    auto low = [&](int i) {
        return strip + std::size_t(reflectIndex(i, nL, true, oddLength)) * kStrip;
    };
    auto high = [&](int i) {
        return strip + std::size_t(nL + reflectIndex(i, nH, false, !oddLength)) * kStrip;
    };
    const double* l[4];
    const double* hr[5];
    for (int p = 0; p < nL; ++p) {
        for (int j = 0; j < 3; ++j)
            l[j] = low(p - 1 + j);
        for (int j = 0; j < 4; ++j)
            hr[j] = high(p - 2 + j);
        synthesisRowsEven(l, hr, plane + std::size_t(2 * p) * stride + c0, count);
    }
    for (int p = 0; p < nH; ++p) {
        for (int j = 0; j < 4; ++j)
            l[j] = low(p - 1 + j);
        for (int j = 0; j < 5; ++j)
            hr[j] = high(p - 2 + j);
        synthesisRowsOdd(l, hr, plane + std::size_t(2 * p + 1) * stride + c0, count);
    }
}

// ---- levels ------------------------------------------------------------------------------

void fastForwardLevel(double* plane, std::size_t stride, int w, int h, bool lastLevel,
                      double threshold, double* scratch) {
#pragma omp parallel if (threadedLevel(w, h))
    {
        double* mine = scratch + std::size_t(threadIndex()) * perThreadScratch(std::max(w, h));
#pragma omp for schedule(static)
        for (int r = 0; r < h; ++r)
            analyseRow(plane + std::size_t(r) * stride, w, mine);
        const int strips = (w + kStrip - 1) / kStrip;
        const int nextW = (w + 1) / 2;
#pragma omp for schedule(dynamic, 1)
        for (int s = 0; s < strips; ++s) {
            const int c0 = s * kStrip;
            forwardStrip(plane, stride, h, c0, std::min(kStrip, w - c0), lastLevel, threshold,
                         nextW, mine);
        }
    }
}

void fastInverseLevel(double* plane, std::size_t stride, int w, int h, double* scratch) {
#pragma omp parallel if (threadedLevel(w, h))
    {
        double* mine = scratch + std::size_t(threadIndex()) * perThreadScratch(std::max(w, h));
        const int strips = (w + kStrip - 1) / kStrip;
#pragma omp for schedule(dynamic, 1)
        for (int s = 0; s < strips; ++s) {
            const int c0 = s * kStrip;
            inverseStrip(plane, stride, h, c0, std::min(kStrip, w - c0), mine);
        }
#pragma omp for schedule(static)
        for (int r = 0; r < h; ++r)
            synthesiseRow(plane + std::size_t(r) * stride, w, mine);
    }
}

} // namespace

const WaveletKernels& fastWaveletKernels() {
    static const WaveletKernels kernels{&fastScratchSize, &fastForwardLevel, &fastInverseLevel,
                                        true};
    return kernels;
}

} // namespace velanox::engine
