// velanox-nr-demo [output-folder]: draws a scene, adds Gaussian noise, reduces it with the
// wavelet engine and writes noisy.ppm and denoised.ppm, printing how close each is to the clean
// scene (PSNR).
#include "engine/noise_reducer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 426;

struct Rgba {
    std::vector<unsigned char> px =
        std::vector<unsigned char>(std::size_t(kWidth) * kHeight * 4, 255);
    unsigned char* at(int x, int y) { return &px[(std::size_t(y) * kWidth + x) * 4]; }
};

Rgba drawScene() {
    Rgba img;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double sky = 1.0 - double(y) / kHeight;
            double r = 70 + 90 * sky, g = 110 + 80 * sky, b = 150 + 90 * sky;
            const double dx = x - 430.0, dy = y - 150.0;
            if (dx * dx + dy * dy < 60.0 * 60.0) {
                r = 250;
                g = 210;
                b = 90;
            }
            if (y > 260 + 30 * std::sin(x * 0.015)) {
                r = 60 + 20 * std::sin(x * 0.3);
                g = 110;
                b = 50;
            }
            unsigned char* p = img.at(x, y);
            p[0] = static_cast<unsigned char>(std::clamp(r, 0.0, 255.0));
            p[1] = static_cast<unsigned char>(std::clamp(g, 0.0, 255.0));
            p[2] = static_cast<unsigned char>(std::clamp(b, 0.0, 255.0));
        }
    return img;
}

double psnr(const Rgba& a, const Rgba& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.px.size(); ++i)
        if (i % 4 != 3) sum += std::pow(double(a.px[i]) - b.px[i], 2);
    return 10.0 * std::log10(255.0 * 255.0 / (sum / (a.px.size() / 4 * 3)));
}

bool writePpm(const std::filesystem::path& path, const Rgba& img) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << kWidth << " " << kHeight << "\n255\n";
    for (std::size_t i = 0; i < img.px.size(); i += 4)
        out.write(reinterpret_cast<const char*>(&img.px[i]), 3);
    return bool(out);
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : "out";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);

    const Rgba clean = drawScene();
    Rgba noisy = clean;
    std::mt19937 rng(2026);
    std::normal_distribution<double> noise(0.0, 12.0);
    for (std::size_t i = 0; i < noisy.px.size(); ++i)
        if (i % 4 != 3)
            noisy.px[i] = static_cast<unsigned char>(
                std::clamp(std::lround(noisy.px[i] + noise(rng)), 0L, 255L));

    Rgba denoised = noisy;
    const NrParams params{1, 5, 8.0, 1, nullptr, nullptr};
    const int result = reduceNoise(kWidth, kHeight, -1, denoised.px.data(), &params);
    if (result != NR_OK) {
        std::fprintf(stderr, "velanox-nr-demo: the engine failed with result %d\n", result);
        return 1;
    }
    if (!writePpm(folder / "noisy.ppm", noisy) || !writePpm(folder / "denoised.ppm", denoised)) {
        std::fprintf(stderr, "velanox-nr-demo: cannot write into %s\n", folder.c_str());
        return 1;
    }
    std::printf("noisy:    %s  PSNR %.2f dB\n", (folder / "noisy.ppm").c_str(), psnr(noisy, clean));
    std::printf("denoised: %s  PSNR %.2f dB\n", (folder / "denoised.ppm").c_str(),
                psnr(denoised, clean));
    return 0;
}
