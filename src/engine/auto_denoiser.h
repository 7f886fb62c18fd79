// The automatic denoiser: removes the noise a NoiseProfile describes from a picture of 4-byte
// pixels (bytes 0, 1, 2 red, green, blue; byte 3 never read or written).
//
// The method, per colour channel of an orthonormal luminance / colour-difference space:
// a 5-level 9/7 biorthogonal wavelet transform (lifting, single precision), a soft threshold of
// every detail coefficient set by the local signal variance (BayesShrink over a 9 x 9 window of
// its band) and by the noise the profile gives that band at that brightness, and the inverse
// transform; repeated over two diagonal shifts of the sampling grid and averaged (cycle
// spinning), which removes the blocky artefacts of a decimated transform.
//
// Tiles: a call produces one rectangle (the tile) of a larger source and reads up to
// kAutoDenoiseMargin pixels around it, so tiles of one source join without visible seams as long
// as the source stays unchanged between the calls (write the results elsewhere, or process the
// whole source in one call, which may then work in place).
#pragma once

#include "core/param_range.h"
#include "engine/noise_profile.h"
#include "engine/noise_reducer.h"

#include <cstddef>
#include <cstdint>

namespace velanox::engine {

/// Strength in percent of the estimated noise: 100 removes the noise the profile describes.
inline constexpr core::ParamRange<int32_t> kAutoStrengthRange{"strength", 0, 400, 100};
/// Strength of the colour-noise removal in percent, on top of the strength: colour blotches are
/// the most objectionable noise, so the default goes a little further than the estimate.
inline constexpr core::ParamRange<int32_t> kAutoColorStrengthRange{"colorStrength", 0, 400, 125};

/// Pixels the denoiser reads beyond each side of its tile, where the source has them.
inline constexpr int kAutoDenoiseMargin = 64;

struct AutoDenoiseParams {
    int32_t strength = kAutoStrengthRange.defaultValue;
    int32_t colorStrength = kAutoColorStrengthRange.defaultValue;
    NrProgressFn progress = nullptr; ///< may be null; a non-zero return cancels the run
    void* progressContext = nullptr;
};

/// How the method is built; the defaults are what the program uses. Benchmarks and tests change
/// them to measure what each ingredient is worth.
struct AutoDenoiseTuning {
    int shifts = 2;       ///< grid shifts averaged for the luminance, 1..4
    int colorShifts = 2;  ///< and for the two colour channels, 1..shifts
    int windowRadius = 4; ///< the local-variance window is 2r + 1 coefficients square, 1..8
    int levels = 5;       ///< wavelet levels, 1..5
};

/// Where a call reads and writes. The source is the whole picture or region (rows top to bottom,
/// `sourceStride` bytes apart, -1 meaning 4 * width); the tile is a rectangle inside it; the
/// target holds tileWidth x tileHeight pixels, `targetStride` bytes apart (-1: 4 * tileWidth).
/// The target may be the tile of the source itself.
struct AutoDenoiseImages {
    const unsigned char* source = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    std::ptrdiff_t sourceStride = -1;
    int32_t tileX = 0;
    int32_t tileY = 0;
    int32_t tileWidth = 0;
    int32_t tileHeight = 0;
    unsigned char* target = nullptr;
    std::ptrdiff_t targetStride = -1;

    /// The whole source as its own tile, in place.
    static AutoDenoiseImages inPlace(unsigned char* pixels, int32_t width, int32_t height,
                                     std::ptrdiff_t stride = -1);
};

/// Memory the denoiser keeps between calls (tile after tile, preview after preview). Not shared
/// between concurrent calls. A call needs about 4 x (3 tw th + (T + 1/3) W H) bytes plus 1 MB per
/// thread: three accumulators of the tw x th tile, one plane per thread (T of them, at most one
/// per job) of the window W x H (the tile and its margin, plus one row and column) and the noise
/// gains of one window; 134 MB for a 3000 x 2000 tile on two threads.
class AutoDenoiseWorkspace {
public:
    AutoDenoiseWorkspace();
    ~AutoDenoiseWorkspace();
    AutoDenoiseWorkspace(const AutoDenoiseWorkspace&) = delete;
    AutoDenoiseWorkspace& operator=(const AutoDenoiseWorkspace&) = delete;

    /// Makes room for `count` floats, keeping the block when it is large enough; null (with
    /// everything released) when the memory cannot be had.
    float* reserve(std::size_t count);
    std::size_t bytes() const { return m_count * sizeof(float); }
    void release();

private:
    float* m_data = nullptr;
    std::size_t m_count = 0;
};

/// Denoises the tile. Results: NR_OK; NR_CANCELLED (the callback returned non-zero; the target
/// is untouched); NR_OUT_OF_MEMORY (untouched); NR_INVALID_PARAMETER (a null pointer, an empty
/// or misplaced tile, a stride shorter than a row, a setting outside its range, an invalid
/// profile or tuning; nothing touched, no callback). The result does not depend on the number of
/// threads.
int32_t reduceNoiseAuto(const AutoDenoiseImages& images, const NoiseProfile& profile,
                        const AutoDenoiseParams& params, AutoDenoiseWorkspace* workspace = nullptr,
                        const AutoDenoiseTuning& tuning = AutoDenoiseTuning{});

/// Estimates the noise of a picture of 3- or 4-byte pixels (bytes 0, 1, 2 red, green, blue; rows
/// top to bottom, `stride` bytes apart, -1 meaning width * bytesPerPixel). Large pictures are
/// sampled (about 3 megapixels are analysed). Results: NR_OK; NR_OUT_OF_MEMORY;
/// NR_INVALID_PARAMETER. A picture too small to measure (under 32 pixels either way) gets a
/// profile without noise.
int32_t estimateNoise(const unsigned char* pixels, int32_t width, int32_t height,
                      std::ptrdiff_t stride, int32_t bytesPerPixel, NoiseProfile* profile);

} // namespace velanox::engine
