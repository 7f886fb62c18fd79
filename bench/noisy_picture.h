// The noisy photograph-like picture the codec and batch-tool benchmarks share: a gradient with
// soft blocks and Gaussian noise, the same for a given size on every run.
#pragma once

#include "codec/picture.h"

#include <algorithm>
#include <cstdint>
#include <random>

namespace velanox::bench {

inline void makeNoisyPicture(codec::Picture& p, int width, int height) {
    p.allocate(width, height, 24);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 9.0);
    uint8_t* px = p.pixels();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x, px += 3) {
            const double base = 50.0 + 140.0 * x / width + 30.0 * ((x / 150 + y / 150) % 2);
            for (int k = 0; k < 3; ++k)
                px[k] = uint8_t(std::clamp(base + 10.0 * k + noise(rng), 0.0, 255.0));
        }
}

} // namespace velanox::bench
