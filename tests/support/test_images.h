// Synthetic pictures for the tests: flat fields, random blocks, noisy scenes, single specks and
// edges, in 4-byte pixels with an optional row padding, plus helpers to compare them.
#pragma once

#include "core/image_view.h"
#include "support/test_files.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velanox::test {

/// A picture of width x height pixels of bytesPerPixel bytes, rows stride bytes apart.
struct TestImage {
    int width = 0;
    int height = 0;
    int bytesPerPixel = 4;
    int stride = 0;
    std::vector<unsigned char> bytes;

    unsigned char* data() { return bytes.data(); }
    const unsigned char* data() const { return bytes.data(); }
    unsigned char& at(int x, int y, int component) {
        return bytes[std::size_t(y) * stride + std::size_t(x) * bytesPerPixel + component];
    }
    unsigned char at(int x, int y, int component) const {
        return bytes[std::size_t(y) * stride + std::size_t(x) * bytesPerPixel + component];
    }
    core::ImageView view() { return {data(), width, height, bytesPerPixel, stride}; }
    core::ConstImageView view() const { return {data(), width, height, bytesPerPixel, stride}; }
};

/// Every component set to value; the row padding (stride beyond the pixels) and byte 3 are
/// filled with padValue so tests can see whether anything wrote there.
TestImage makeUniform(int width, int height, unsigned char value, int bytesPerPixel = 4,
                      int padBytes = 0, unsigned char padValue = 0xA5);

/// Uniformly random components (byte 3 set to a marker), from a fixed seed.
TestImage makeRandom(int width, int height, std::uint32_t seed, int padBytes = 0);

/// A smooth scene (gradients, a disc and a bar with sharp edges) with Gaussian noise of the
/// given sigma added per component; clean receives the scene without noise when not null.
TestImage makeNoisyScene(int width, int height, double sigma, std::uint32_t seed,
                         TestImage* clean = nullptr);

/// Peak signal-to-noise ratio of components 0..2 of a against b, in dB.
double psnr(const TestImage& a, const TestImage& b);

/// Largest absolute difference of components 0..2 between a and b.
int maxComponentDifference(const TestImage& a, const TestImage& b);

} // namespace velanox::test
