// The stored settings the document reads when it is constructed, named as they are stored
// (section "Settings"), with their defaults.
#pragma once

#include "pipeline/memory_limits.h"

#include <cstdint>
#include <functional>

namespace velanox::document {

struct DocumentSettings {
    int32_t JPGq = 92;             ///< JPEG quality
    int32_t JPGES = 1;             ///< Enhanced Sampling: 1 = no chroma subsampling
    int32_t CropAspect = 8;        ///< crop aspect index 0..8
    pipeline::MemoryLimits memory; ///< MaxBlockW, MaxBlockH, MaxSwapW, MaxSwapH

    /// Called with the document's crop aspect when the document is destroyed, so that the
    /// owner of the stored settings writes CropAspect back; may be empty.
    std::function<void(int32_t cropAspect)> storeCropAspect;
};

} // namespace velanox::document
