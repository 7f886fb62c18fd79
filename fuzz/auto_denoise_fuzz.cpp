// The automatic denoiser and the noise estimate with random pictures, strides, tiles, profiles,
// strengths, tunings and cancels, against the straightforward versions: the result codes must
// agree, the bytes must agree to single-precision rounding, refused and cancelled calls must
// leave everything as it was, and nothing outside the tile's components may change.
#include "engine/auto_denoiser.h"
#include "engine/reference/reference_auto_denoiser.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

using namespace velanox::engine;

namespace {

struct Cancel {
    int at = 0;
    int32_t last = 0;
    static int32_t callback(int32_t step, int32_t total, void* context) {
        auto* c = static_cast<Cancel*>(context);
        if (step < 1 || step > total || step <= c->last) std::abort();
        c->last = step;
        return step == c->at ? 1 : 0;
    }
};

float consumeValue(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0:
        return std::numeric_limits<float>::quiet_NaN();
    case 1:
        return -in.ConsumeFloatingPointInRange(0.0f, 10.0f);
    case 2:
        return in.ConsumeFloatingPointInRange(0.0f, 20000.0f);
    default:
        return in.ConsumeFloatingPointInRange(0.0f, 60.0f);
    }
}

void fuzzEstimate(const std::vector<uint8_t>& pixels, int width, int height, int stride, int bpp) {
    NoiseProfile fast, reference;
    const int32_t a = estimateNoise(pixels.data(), width, height, stride, bpp, &fast);
    const int32_t b = estimateNoiseReference(pixels.data(), width, height, stride, bpp, &reference);
    if (a != b) std::abort();
    if (a != NR_OK) return;
    if (!fast.valid() || !reference.valid()) std::abort();
    if (std::fabs(fast.sigma - reference.sigma) > 0.05f * reference.sigma + 0.05f) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int width = in.ConsumeIntegralInRange(0, 96);
    const int height = in.ConsumeIntegralInRange(0, 96);
    const int pad = in.ConsumeIntegralInRange(0, 9);
    const bool shortStride = in.ConsumeIntegralInRange(0, 15) == 0;
    const std::ptrdiff_t stride = shortStride ? std::ptrdiff_t(4) * width - 1 : 4 * width + pad;

    AutoDenoiseImages im;
    im.width = width;
    im.height = height;
    im.sourceStride = stride;
    im.tileX = in.ConsumeIntegralInRange(-1, width);
    im.tileY = in.ConsumeIntegralInRange(-1, height);
    im.tileWidth = in.ConsumeIntegralInRange(0, width + 1);
    im.tileHeight = in.ConsumeIntegralInRange(0, height + 1);
    const bool separateTarget = in.ConsumeBool();

    NoiseProfile profile;
    if (in.ConsumeBool()) {
        profile = whiteNoiseProfile(in.ConsumeFloatingPointInRange(0.0f, 40.0f));
    } else {
        for (auto& channel : profile.bandSigma)
            for (auto& level : channel)
                for (float& s : level)
                    s = consumeValue(in);
        for (float& g : profile.brightnessGain)
            g = in.ConsumeBool() ? consumeValue(in) : 1.0f;
    }
    AutoDenoiseParams params;
    params.strength = in.ConsumeIntegralInRange(-5, 405);
    params.colorStrength = in.ConsumeIntegralInRange(-5, 405);
    Cancel cancel{in.ConsumeIntegralInRange(0, 30)};
    params.progress = &Cancel::callback;
    params.progressContext = &cancel;
    AutoDenoiseTuning tuning;
    if (in.ConsumeBool()) {
        tuning.shifts = in.ConsumeIntegralInRange(0, 5);
        tuning.colorShifts = in.ConsumeIntegralInRange(0, 5);
        tuning.windowRadius = in.ConsumeIntegralInRange(0, 9);
        tuning.levels = in.ConsumeIntegralInRange(0, 6);
    }

    const std::size_t rowBytes = std::size_t(std::max<std::ptrdiff_t>(stride, 1));
    std::vector<uint8_t> source(std::max<std::size_t>(rowBytes * height, 1));
    const std::vector<uint8_t> fill = in.ConsumeRemainingBytes<uint8_t>();
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = fill.empty() ? uint8_t(i * 37) : fill[i % fill.size()];

    // Fast and reference, each on its own copy: in place, or into a target picture of the
    // source's size at the tile's place.
    auto run = [&](bool reference, std::vector<uint8_t>& src, std::vector<uint8_t>& dst) {
        AutoDenoiseImages c = im;
        c.source = src.data();
        const bool tileInside = c.tileX >= 0 && c.tileY >= 0 && c.tileX < width && c.tileY < height;
        std::vector<uint8_t>& out = separateTarget ? dst : src;
        c.target =
            tileInside ? out.data() + std::size_t(c.tileY) * rowBytes + c.tileX * 4 : out.data();
        c.targetStride = stride;
        cancel.last = 0;
        return reference ? reduceNoiseAutoReference(c, profile, params, tuning)
                         : reduceNoiseAuto(c, profile, params, nullptr, tuning);
    };
    std::vector<uint8_t> fastSrc = source, fastDst = source, refSrc = source, refDst = source;
    const int32_t rcFast = run(false, fastSrc, fastDst);
    const int32_t rcReference = run(true, refSrc, refDst);
    if (rcFast < NR_OK || rcFast > NR_INVALID_PARAMETER) std::abort();
    if (rcFast != rcReference) std::abort();
    const std::vector<uint8_t>& fast = separateTarget ? fastDst : fastSrc;
    const std::vector<uint8_t>& ref = separateTarget ? refDst : refSrc;
    if (separateTarget && (fastSrc != source || refSrc != source)) std::abort();
    if (rcFast != NR_OK) {
        if (fast != source || ref != source) std::abort();
    } else {
        std::size_t differing = 0, components = 0;
        for (std::size_t i = 0; i < source.size(); ++i) {
            const std::size_t inRow = i % rowBytes, y = i / rowBytes;
            const bool inTile = inRow < std::size_t(4) * width && inRow % 4 != 3 &&
                                int(inRow / 4) >= im.tileX &&
                                int(inRow / 4) < im.tileX + im.tileWidth && int(y) >= im.tileY &&
                                int(y) < im.tileY + im.tileHeight;
            if (!inTile) {
                if (fast[i] != source[i] || ref[i] != source[i]) std::abort();
                continue;
            }
            ++components;
            const int d = std::abs(int(fast[i]) - int(ref[i]));
            if (d > 2) std::abort();
            differing += d != 0;
        }
        if (differing > components / 50 + 2) std::abort();
    }

    if (width > 0 && height > 0 && !shortStride) {
        fuzzEstimate(source, width, height, int(stride), 4);
    }
    return 0;
}
