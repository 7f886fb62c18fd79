// The plain processing run: every step on its own, with the straightforward engine, pixel filters
// and per-pixel passes. Built for tests and benchmarks, which compare the shipped run against it.
#pragma once

#include "pipeline/process_region.h"

namespace velanox::pipeline {

/// The step-by-step run with reduceNoiseReference, the reference filters and the reference
/// passes.
const PipelineSteps& referencePipelineSteps();

} // namespace velanox::pipeline
