// The noise-reduction engine: a multi-level 9/7 biorthogonal wavelet shrinkage of one block of
// 32-bit pixels, in place. One entry point, no global state, standard C++ only.
#pragma once

#include "core/image_view.h"
#include "core/status.h"

#include <cstdint>

extern "C" {

/// Progress and cancel callback: called with the current step (from 1) and the total number of
/// steps; any non-zero return asks the engine to stop.
typedef int32_t (*NrProgressFn)(int32_t step, int32_t total, void* context);

/// The engine's parameters, in the order callers lay them out.
struct NrParams {
    int32_t version;       ///< must be 1
    int32_t levels;        ///< decomposition levels, 2..5
    double threshold;      ///< soft threshold in 8-bit sample units, 0.0..100.0
    int32_t perChannel;    ///< 1: bytes 0, 1, 2 filtered one after the other; 0: luminance only
    NrProgressFn progress; ///< may be null
    void* progressContext; ///< handed back to progress unchanged
};

enum NrResult : int32_t {
    NR_OK = 0,                ///< processed, nothing to do, or version query answered
    NR_CANCELLED = 1,         ///< the callback returned non-zero
    NR_OUT_OF_MEMORY = 2,     ///< an allocation failed
    NR_INVALID_PARAMETER = 3, ///< the arguments failed validation; nothing was touched
};

/// Reduces the noise of a block of width x height pixels of 4 bytes (bytes 0..2 are components,
/// byte 3 is never read or written). stride is the distance in bytes between rows; -1 means
/// 4 * width. Rows are addressed bottom-up (the engine's row 0 is the last row in memory).
///
/// Version query: with width, height and stride all 0 and params null, the 6 bytes "1.0.0\0"
/// are copied to pixels and NR_OK is returned.
///
/// Validation, in this order: width and height >= 32; 0 <= threshold <= 100 (NaN fails);
/// perChannel 0 or 1; levels 2..5; version 1. Beyond that, a null pixel pointer or params and a
/// stride other than -1 that is shorter than a row are refused, since they cannot be used safely.
int32_t reduceNoise(int32_t width, int32_t height, int32_t stride, unsigned char* pixels,
                    const NrParams* params);

} // extern "C"

/// The text the version query answers, with its terminating zero (6 bytes).
inline constexpr char kNrEngineVersion[] = "1.0.0";

namespace velanox::engine {

class EngineWorkspace;

/// reduceNoise on a view of 4-byte pixels (rows top to bottom, stride at least a row; the
/// engine's row 0 is the view's last row): the same validation, in the same order, and the same
/// results. Invalid arguments give InvalidArgument with the reason and touch nothing; a
/// cancelling progress callback gives Cancelled, an allocation failure OutOfMemory. With a
/// workspace the planes stay there for the next call.
core::Status reduceNoise(const core::ImageView& block, const NrParams& params,
                         EngineWorkspace* workspace = nullptr);

} // namespace velanox::engine
