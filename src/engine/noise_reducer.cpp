#include "engine/noise_reducer.h"

#include "engine/pixel_surface.h"
#include "engine/wavelet_filter.h"

#include <cstring>

using velanox::engine::PixelSurface;
using velanox::engine::WaveletFilter;

int32_t reduceNoise(int32_t width, int32_t height, int32_t stride, unsigned char* pixels,
                    const NrParams* params) {
    if (width == 0 && height == 0 && stride == 0 && params == nullptr) {
        if (pixels == nullptr) return NR_INVALID_PARAMETER;
        std::memcpy(pixels, kNrEngineVersion, sizeof kNrEngineVersion);
        return NR_OK;
    }
    if (params == nullptr || pixels == nullptr) return NR_INVALID_PARAMETER;
    if (width < 32 || height < 32) return NR_INVALID_PARAMETER;
    if (!(params->threshold >= 0.0 && params->threshold <= 100.0)) return NR_INVALID_PARAMETER;
    if (params->perChannel != 0 && params->perChannel != 1) return NR_INVALID_PARAMETER;
    if (params->levels < 2 || params->levels > 5) return NR_INVALID_PARAMETER;
    if (params->version != 1) return NR_INVALID_PARAMETER;
    // Rows that overlap or run backwards would be written through twice or outside the block.
    if (stride != -1 && stride < int64_t(4) * width) return NR_INVALID_PARAMETER;

    PixelSurface surface;
    if (!surface.initialise(width, height, 32, pixels, stride)) return NR_INVALID_PARAMETER;

    WaveletFilter filter;
    filter.setPerChannel(params->perChannel == 1);
    filter.setLevels(params->levels);
    filter.setThresholds(params->threshold, params->threshold, params->threshold);
    filter.setProgress(params->progress, params->progressContext);
    filter.run(surface);

    if (filter.outOfMemory()) return NR_OUT_OF_MEMORY;
    if (filter.cancelled()) return NR_CANCELLED;
    return NR_OK;
}
