#include "support/test_images.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

namespace velanox::test {

TestImage makeUniform(int width, int height, unsigned char value, int bytesPerPixel, int padBytes,
                      unsigned char padValue) {
    TestImage img;
    img.width = width;
    img.height = height;
    img.bytesPerPixel = bytesPerPixel;
    img.stride = width * bytesPerPixel + padBytes;
    img.bytes.assign(std::size_t(img.stride) * height, padValue);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < std::min(bytesPerPixel, 3); ++k)
                img.at(x, y, k) = value;
    return img;
}

TestImage makeRandom(int width, int height, std::uint32_t seed, int padBytes) {
    TestImage img = makeUniform(width, height, 0, 4, padBytes);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(0, 255);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k)
                img.at(x, y, k) = static_cast<unsigned char>(dist(rng));
    return img;
}

TestImage makeNoisyScene(int width, int height, double sigma, std::uint32_t seed,
                         TestImage* clean) {
    TestImage scene = makeUniform(width, height, 0, 4, 0, 255);
    const double cx = width * 0.35, cy = height * 0.45, radius = std::min(width, height) * 0.22;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double r = 40 + 150.0 * x / std::max(1, width - 1);
            double g = 60 + 120.0 * y / std::max(1, height - 1);
            double b = 90 + 60.0 * std::sin(x * 0.02) * std::cos(y * 0.015);
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius) {
                r = 220;
                g = 200;
                b = 40;
            }
            if (x > width * 0.7 && x < width * 0.78) {
                r = g = b = 25;
            }
            scene.at(x, y, 0) = static_cast<unsigned char>(std::clamp(r, 0.0, 255.0));
            scene.at(x, y, 1) = static_cast<unsigned char>(std::clamp(g, 0.0, 255.0));
            scene.at(x, y, 2) = static_cast<unsigned char>(std::clamp(b, 0.0, 255.0));
        }
    }
    if (clean != nullptr) *clean = scene;
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k) {
                const double v = scene.at(x, y, k) + noise(rng);
                scene.at(x, y, k) =
                    static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L));
            }
    return scene;
}

double psnr(const TestImage& a, const TestImage& b) {
    double sum = 0.0;
    std::size_t n = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int k = 0; k < 3; ++k, ++n) {
                const double d = double(a.at(x, y, k)) - b.at(x, y, k);
                sum += d * d;
            }
    if (sum == 0.0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 / (sum / double(n)));
}

int maxComponentDifference(const TestImage& a, const TestImage& b) {
    int worst = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int k = 0; k < 3; ++k)
                worst = std::max(worst, std::abs(int(a.at(x, y, k)) - int(b.at(x, y, k))));
    return worst;
}

} // namespace velanox::test
