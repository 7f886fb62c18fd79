// The 9/7 lifting transform in single precision, as the automatic denoiser and the noise
// estimate run it: a line's even and odd samples held apart (so every step is a contiguous,
// vectorised stream), and whole rows lifted against each other for the column direction.
// Every value is computed as the straightforward double-precision line transform computes it
// (engine/reference/reference_auto_denoiser.cpp), in the same order, rounded to float.
#pragma once

#include <cstddef>

namespace velanox::engine::lifting97 {

/// Floats of scratch the line functions need for a line of n samples.
std::size_t lineScratch(int n);

/// One line forward from its samples already split: even samples e[0 .. (n + 1) / 2) and odd
/// samples o[0 .. n / 2), each array with one free slot before its first and after its last
/// sample, are lifted in place; then out[0 .. nL) = low band and out[nL .. n) = high band.
/// A line of one sample is copied.
void forwardSplit(float* e, float* o, int n, float* out);

/// One line forward; x may be out.
void forwardLine(const float* x, int n, float* out, float* scratch);

/// One line back: in[0 .. n) (low band, then high band) into out[0 .. n); in may be out.
void inverseLine(const float* in, int n, float* out, float* scratch);

/// The column direction over a block of rows `width` floats wide: e[k] (k < (n + 1) / 2) are the
/// even rows, o[k] (k < n / 2) the odd ones; both pointer arrays have room for index -1 and one
/// past their last row, which the functions point at rows for the symmetric extension. Forward
/// lifts and scales the rows in place into low rows (e) and high rows (o); inverse takes low and
/// high rows and gives back the even and odd rows.
void forwardRows(float** e, float** o, int n, int width);
void inverseRows(float** e, float** o, int n, int width);

} // namespace velanox::engine::lifting97
