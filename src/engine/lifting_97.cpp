#include "engine/lifting_97.h"

#include "engine/auto_denoise_math.h"
#include "engine/hot_loop.h"

#include <cstring>

namespace velanox::engine::lifting97 {

namespace {

constexpr float kA = float(autonr::kAlpha);
constexpr float kB = float(autonr::kBeta);
constexpr float kG = float(autonr::kGamma);
constexpr float kD = float(autonr::kDelta);
constexpr float kLow = float(autonr::kLowScale);
constexpr float kHigh = float(autonr::kHighScale);

// x[k] = x[k] + c (y[k + s] + y[k + s + 1]) over count samples: one lifting step on a line held
// apart, the neighbours of sample k being y[k + s] and y[k + s + 1] (s = 0 for odd samples and
// their even neighbours, -1 for even samples and their odd ones).
VELANOX_HOT void liftStep(float* x, const float* y, int count, float c) {
    for (int k = 0; k < count; ++k)
        x[k] = x[k] + c * (y[k] + y[k + 1]);
}

VELANOX_HOT void scaleInto(const float* x, int count, float s, float* out) {
    for (int k = 0; k < count; ++k)
        out[k] = x[k] * s;
}

VELANOX_HOT void interleave(const float* e, const float* o, int pairs, float* x) {
    for (int k = 0; k < pairs; ++k) {
        x[2 * k] = e[k];
        x[2 * k + 1] = o[k];
    }
}

VELANOX_HOT void deinterleave(const float* x, int pairs, float* e, float* o) {
    for (int k = 0; k < pairs; ++k) {
        e[k] = x[2 * k];
        o[k] = x[2 * k + 1];
    }
}

// The extension slots for a line of n samples held apart: x[-1] = x[1] is o[0] for the even
// samples' first neighbour; x[n] = x[n - 2] is e[nE - 1] (n even, the odd samples' last
// neighbour) or o[nO - 1] (n odd, the even samples' last neighbour).
inline void padOdd(float* o, int n) {
    const int nO = n / 2;
    o[-1] = o[0];
    if (n & 1) o[nO] = o[nO - 1];
}
inline void padEven(float* e, int n) {
    const int nE = (n + 1) / 2;
    if (!(n & 1)) e[nE] = e[nE - 1];
}

// Row form: x[k] = x[k] + c (y[k + s] + y[k + s + 1]) with whole rows.
VELANOX_HOT void liftRows(float* x, const float* y0, const float* y1, int width, float c) {
    for (int j = 0; j < width; ++j)
        x[j] = x[j] + c * (y0[j] + y1[j]);
}
VELANOX_HOT void unliftRows(float* x, const float* y0, const float* y1, int width, float c) {
    for (int j = 0; j < width; ++j)
        x[j] = x[j] - c * (y0[j] + y1[j]);
}
// The last step of each set with the band's scale folded in, forward and back, so no separate
// pass over the rows scales them: x = (x + c (y0 + y1)) s, and x = x s - c (y0 + y1).
VELANOX_HOT void liftRowsScaled(float* x, const float* y0, const float* y1, int width, float c,
                                float s) {
    for (int j = 0; j < width; ++j)
        x[j] = (x[j] + c * (y0[j] + y1[j])) * s;
}
VELANOX_HOT void unliftRowsScaled(float* x, const float* y0, const float* y1, int width, float c,
                                  float s) {
    for (int j = 0; j < width; ++j)
        x[j] = x[j] * s - c * (y0[j] + y1[j]);
}

VELANOX_HOT void unliftStep(float* x, const float* y, int count, float c) {
    for (int k = 0; k < count; ++k)
        x[k] = x[k] - c * (y[k] + y[k + 1]);
}

} // namespace

std::size_t lineScratch(int n) {
    return 2 * (std::size_t(n) / 2 + 4);
}

void forwardSplit(float* e, float* o, int n, float* out) {
    if (n < 2) {
        if (n == 1) out[0] = e[0];
        return;
    }
    const int nE = (n + 1) / 2, nO = n / 2;
    padEven(e, n);
    liftStep(o, e, nO, kA);
    padOdd(o, n);
    liftStep(e, o - 1, nE, kB);
    padEven(e, n);
    liftStep(o, e, nO, kG);
    padOdd(o, n);
    liftStep(e, o - 1, nE, kD);
    scaleInto(e, nE, kLow, out);
    scaleInto(o, nO, kHigh, out + nE);
}

void forwardLine(const float* x, int n, float* out, float* scratch) {
    if (n < 2) {
        if (n == 1) out[0] = x[0];
        return;
    }
    const int half = n / 2 + 4;
    float* e = scratch + 1;
    float* o = scratch + half + 1;
    deinterleave(x, n / 2, e, o);
    if (n & 1) e[n / 2] = x[n - 1];
    forwardSplit(e, o, n, out);
}

void inverseLine(const float* in, int n, float* out, float* scratch) {
    if (n < 2) {
        if (n == 1) out[0] = in[0];
        return;
    }
    const int nE = (n + 1) / 2, nO = n / 2;
    const int half = n / 2 + 4;
    float* e = scratch + 1;
    float* o = scratch + half + 1;
    scaleInto(in, nE, kHigh, e); // 1 / kLow
    scaleInto(in + nE, nO, kLow, o);
    padOdd(o, n);
    unliftStep(e, o - 1, nE, kD);
    padEven(e, n);
    unliftStep(o, e, nO, kG);
    padOdd(o, n);
    unliftStep(e, o - 1, nE, kB);
    padEven(e, n);
    unliftStep(o, e, nO, kA);
    interleave(e, o, nO, out);
    if (n & 1) out[n - 1] = e[nE - 1];
}

// The column direction folds each set's scale into its last lifting step: the odd rows are
// scaled as gamma lifts them, so delta, which reads them, takes delta / kHigh instead. The
// values differ from the line functions' only by rounding.
void forwardRows(float** e, float** o, int n, int width) {
    if (n < 2) return;
    const int nE = (n + 1) / 2, nO = n / 2;
    o[-1] = o[0];
    if (n & 1)
        o[nO] = o[nO - 1];
    else
        e[nE] = e[nE - 1];
    for (int k = 0; k < nO; ++k)
        liftRows(o[k], e[k], e[k + 1], width, kA);
    for (int k = 0; k < nE; ++k)
        liftRows(e[k], o[k - 1], o[k], width, kB);
    for (int k = 0; k < nO; ++k)
        liftRowsScaled(o[k], e[k], e[k + 1], width, kG, kHigh);
    for (int k = 0; k < nE; ++k)
        liftRowsScaled(e[k], o[k - 1], o[k], width, kD / kHigh, kLow);
}

void inverseRows(float** e, float** o, int n, int width) {
    if (n < 2) return;
    const int nE = (n + 1) / 2, nO = n / 2;
    o[-1] = o[0];
    if (n & 1)
        o[nO] = o[nO - 1];
    else
        e[nE] = e[nE - 1];
    for (int k = 0; k < nE; ++k)
        unliftRowsScaled(e[k], o[k - 1], o[k], width, kD / kHigh, kHigh);
    for (int k = 0; k < nO; ++k)
        unliftRowsScaled(o[k], e[k], e[k + 1], width, kG, kLow);
    for (int k = 0; k < nE; ++k)
        unliftRows(e[k], o[k - 1], o[k], width, kB);
    for (int k = 0; k < nO; ++k)
        unliftRows(o[k], e[k], e[k + 1], width, kA);
}

} // namespace velanox::engine::lifting97
