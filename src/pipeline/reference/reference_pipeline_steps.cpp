#include "pipeline/reference/reference_pipeline_steps.h"

#include "engine/reference/reference_noise_reducer.h"
#include "engine/reference/reference_pixel_filters.h"
#include "pipeline/reference/reference_pixel_passes.h"

namespace velanox::pipeline {

const PipelineSteps& referencePipelineSteps() {
    static const PipelineSteps steps{false,
                                     &engine::reduceNoiseReference,
                                     &engine::speckleFilterReference,
                                     &engine::sharpenFilterReference,
                                     &engine::computeEdgeWeightsReference,
                                     &copyRegionInReference,
                                     &copyTileOutReference,
                                     &copyTileBackReference,
                                     &blendIntoReference,
                                     &amplifyDifferenceReference};
    return steps;
}

} // namespace velanox::pipeline
