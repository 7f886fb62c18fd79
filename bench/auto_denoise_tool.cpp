// velanox-auto-denoise: the automatic denoiser on one picture file, for the quality benchmark
// (scripts/quality-bench) and for trying its ingredients by hand.
//
//   velanox-auto-denoise IN OUT [--strength P] [--color P] [--shifts N] [--color-shifts N]
//                        [--radius N] [--levels N] [--tile WxH] [--sigma S] [--repeat N]
//                        [--reference]
//                        [--estimate-only]
//
// Loads IN, estimates its noise, denoises the whole picture (in tiles of at most WxH, each
// reading its margin from the unchanged picture, when --tile is given) and saves OUT. Prints one
// JSON object: the estimate and the time of each step. --sigma S replaces the estimate by white
// noise of that standard deviation (of the last of N
// repeated runs, which keep the workspace, as the document does).
#include "codec/picture.h"
#include "engine/auto_denoiser.h"
#include "engine/reference/reference_auto_denoiser.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace velanox;
using namespace velanox::engine;

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int usage() {
    std::fprintf(stderr, "usage: velanox-auto-denoise IN OUT [--strength P] [--color P] "
                         "[--shifts N] [--color-shifts N] [--radius N] [--levels N] [--tile WxH] "
                         "[--repeat N] [--reference] [--estimate-only]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string in = argv[1], out = argv[2];
    AutoDenoiseParams params;
    AutoDenoiseTuning tuning;
    bool reference = false, estimateOnly = false;
    int repeat = 1;
    double whiteSigma = -1.0;
    int tileW = 0, tileH = 0;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&] {
            if (v == nullptr) std::exit(usage());
            ++i;
            return std::atoi(v);
        };
        if (a == "--strength")
            params.strength = number();
        else if (a == "--color")
            params.colorStrength = number();
        else if (a == "--shifts")
            tuning.shifts = number();
        else if (a == "--color-shifts")
            tuning.colorShifts = number();
        else if (a == "--radius")
            tuning.windowRadius = number();
        else if (a == "--levels")
            tuning.levels = number();
        else if (a == "--tile") {
            if (v == nullptr || std::sscanf(v, "%dx%d", &tileW, &tileH) != 2) return usage();
            ++i;
        } else if (a == "--sigma") {
            if (v == nullptr) return usage();
            whiteSigma = std::atof(v);
            ++i;
        } else if (a == "--repeat")
            repeat = std::max(1, number());
        else if (a == "--reference")
            reference = true;
        else if (a == "--estimate-only")
            estimateOnly = true;
        else
            return usage();
    }
    if (tuning.colorShifts > tuning.shifts) tuning.colorShifts = tuning.shifts;

    codec::Picture pic;
    if (!pic.load(in).ok() || pic.bitsPerPixel != 24) {
        std::fprintf(stderr, "cannot load %s as a 24-bit picture\n", in.c_str());
        return 1;
    }
    const int w = pic.width, h = pic.height;
    double t0 = now();
    NoiseProfile profile;
    const int32_t rcEstimate = reference
                                   ? estimateNoiseReference(pic.pixels(), w, h, -1, 3, &profile)
                                   : estimateNoise(pic.pixels(), w, h, -1, 3, &profile);
    const double tEstimate = now() - t0;
    if (whiteSigma >= 0.0) profile = whiteNoiseProfile(float(whiteSigma));
    if (rcEstimate != NR_OK) {
        std::fprintf(stderr, "estimate failed: %d\n", rcEstimate);
        return 1;
    }
    std::printf("{\"file\":\"%s\",\"sigma\":%.3f,\"luminance\":%.3f,\"color\":[%.3f,%.3f],"
                "\"estimate_ms\":%.1f",
                in.c_str(), profile.sigma, profile.channelSigma(0), profile.channelSigma(1),
                profile.channelSigma(2), tEstimate * 1e3);
    std::printf(",\"levels\":[");
    for (int l = 0; l < NoiseProfile::kLevels; ++l) {
        double v = 0.0;
        for (int c = 0; c < NoiseProfile::kChannels; ++c)
            for (int o = 0; o < NoiseProfile::kOrientations; ++o)
                v += profile.bandSigma[c][l][o] * profile.bandSigma[c][l][o];
        std::printf("%s%.3f", l ? "," : "", std::sqrt(v / 9.0));
    }
    std::printf("],\"bands\":[");
    for (int c = 0; c < NoiseProfile::kChannels; ++c)
        for (int l = 0; l < NoiseProfile::kLevels; ++l)
            for (int o = 0; o < NoiseProfile::kOrientations; ++o)
                std::printf("%s%.3f", c + l + o ? "," : "", profile.bandSigma[c][l][o]);
    std::printf("],\"gains\":[");
    for (int k = 0; k < NoiseProfile::kBrightnessBins; ++k)
        std::printf("%s%.3f", k ? "," : "", profile.brightnessGain[k]);
    std::printf("]");
    if (estimateOnly) {
        std::printf("}\n");
        return 0;
    }

    std::vector<unsigned char> src(std::size_t(w) * h * 4), dst(src.size());
    for (std::size_t i = 0, n = std::size_t(w) * h; i < n; ++i) {
        std::memcpy(&src[4 * i], pic.pixels() + 3 * i, 3);
        src[4 * i + 3] = 255;
    }
    if (tileW <= 0 || tileH <= 0) {
        tileW = w;
        tileH = h;
    }
    AutoDenoiseWorkspace workspace;
    double tDenoise = 0.0;
    for (int r = 0; r < repeat; ++r) {
        t0 = now();
        for (int ty = 0; ty < h; ty += tileH)
            for (int tx = 0; tx < w; tx += tileW) {
                AutoDenoiseImages im;
                im.source = src.data();
                im.width = w;
                im.height = h;
                im.tileX = tx;
                im.tileY = ty;
                im.tileWidth = std::min(tileW, w - tx);
                im.tileHeight = std::min(tileH, h - ty);
                im.target = dst.data() + (std::size_t(ty) * w + tx) * 4;
                im.targetStride = std::ptrdiff_t(w) * 4;
                const int32_t rc = reference
                                       ? reduceNoiseAutoReference(im, profile, params, tuning)
                                       : reduceNoiseAuto(im, profile, params, &workspace, tuning);
                if (rc != NR_OK) {
                    std::fprintf(stderr, "denoise failed: %d\n", rc);
                    return 1;
                }
            }
        tDenoise = now() - t0;
    }
    for (std::size_t i = 0, n = std::size_t(w) * h; i < n; ++i)
        std::memcpy(pic.pixels() + 3 * i, &dst[4 * i], 3);
    if (pic.save(out) != 0) {
        std::fprintf(stderr, "cannot save %s\n", out.c_str());
        return 1;
    }
    std::printf(",\"denoise_ms\":%.1f}\n", tDenoise * 1e3);
    return 0;
}
