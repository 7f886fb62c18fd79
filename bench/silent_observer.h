// A run observer that shows nothing and never cancels, for benchmarks that drive the pipeline
// directly.
#pragma once

#include "pipeline/run_observer.h"

#include <cstdint>
#include <string_view>

namespace velanox::bench {

struct SilentObserver final : velanox::pipeline::RunObserver {
    void showMessage(std::string_view) override {}
    void setProgressText(std::string_view) override {}
    int32_t engineProgress(int32_t, int32_t) override { return 0; }
    void runEnding() override {}
};

} // namespace velanox::bench
