// The stored settings the document reads when it is constructed, named as they are stored
// (section "Settings"), with their defaults.
#pragma once

#include "pipeline/memory_limits.h"

#include <cstdint>

namespace velanox {

struct DocumentSettings {
    int32_t JPGq = 92;      ///< JPEG quality
    int32_t JPGES = 1;      ///< Enhanced Sampling: 1 = no chroma subsampling
    int32_t CropAspect = 8; ///< crop aspect index 0..8
    MemoryLimits memory;    ///< MaxBlockW, MaxBlockH, MaxSwapW, MaxSwapH
};

} // namespace velanox
