// The shipped per-pixel passes against the plain ones: every byte is expected to be identical,
// including the bytes around the region that neither may touch. Sizes cover single rows and
// columns, odd sizes and regions large enough for the rows to be spread over threads.
#include "pipeline/pixel_passes.h"
#include "pipeline/reference/reference_pixel_passes.h"

#include "pipeline/noise_settings.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace velanox;
using namespace velanox::pipeline;

namespace {

std::vector<uint8_t> randomBytes(std::size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = uint8_t(rng());
    return v;
}

// Regions of a picture: (image width, image height, region).
struct Case {
    int32_t imageWidth, imageHeight;
    core::Rect region;
};

const Case kCases[] = {
    {1, 1, {0, 0, 1, 1}},           {9, 1, {2, 0, 9, 1}},     {1, 9, {0, 3, 1, 8}},
    {2, 2, {0, 0, 2, 2}},           {17, 13, {3, 2, 16, 11}}, {64, 40, {0, 0, 64, 40}},
    {300, 7, {1, 1, 299, 6}},       {7, 300, {2, 5, 5, 300}}, {640, 480, {13, 7, 601, 471}},
    {1000, 400, {0, 0, 1000, 400}},
};

core::ImageView viewOf(std::vector<uint8_t>& px, int32_t w, int32_t h, int32_t bpp) {
    return {px.data(), w, h, bpp};
}
core::ConstImageView viewOf(const std::vector<uint8_t>& px, int32_t w, int32_t h, int32_t bpp) {
    return {px.data(), w, h, bpp};
}

std::string describe(const Case& c) {
    return std::to_string(c.imageWidth) + "x" + std::to_string(c.imageHeight) + " region " +
           std::to_string(c.region.left) + "," + std::to_string(c.region.top) + " " +
           std::to_string(c.region.width()) + "x" + std::to_string(c.region.height());
}

} // namespace

TEST(FastPixelPasses, CopiesMatchTheReference) {
    uint32_t seed = 1;
    for (const Case& c : kCases) {
        const auto picture = randomBytes(std::size_t(c.imageWidth) * c.imageHeight * 3, seed++);
        const int32_t w = c.region.width(), h = c.region.height();
        auto fastWork = randomBytes(std::size_t(w) * h * 4, seed++);
        auto referenceWork = fastWork;
        const auto pictureView = viewOf(picture, c.imageWidth, c.imageHeight, 3);
        copyRegionIn(pictureView, c.region, viewOf(fastWork, w, h, 4));
        copyRegionInReference(pictureView, c.region, viewOf(referenceWork, w, h, 4));
        EXPECT_EQ(fastWork, referenceWork) << describe(c);

        // A tile inside the working copy, out and back.
        const core::Rect tile{w / 3, h / 4, w, h};
        const auto work = viewOf(std::as_const(fastWork), w, h, 4);
        auto fastTile = randomBytes(std::size_t(tile.width()) * tile.height() * 4, seed++);
        auto referenceTile = fastTile;
        copyTileOut(work, tile, viewOf(fastTile, tile.width(), tile.height(), 4));
        copyTileOutReference(work, tile, viewOf(referenceTile, tile.width(), tile.height(), 4));
        EXPECT_EQ(fastTile, referenceTile) << describe(c);

        const auto changed = randomBytes(fastTile.size(), seed++);
        const auto changedTile = viewOf(changed, tile.width(), tile.height(), 4);
        copyTileBack(changedTile, tile, viewOf(fastWork, w, h, 4));
        copyTileBackReference(changedTile, tile, viewOf(referenceWork, w, h, 4));
        EXPECT_EQ(fastWork, referenceWork) << describe(c);
    }
}

TEST(FastPixelPasses, EveryBlendMatchesTheReference) {
    const Blend blends[] = {Blend::EngineOnly, Blend::PreNr, Blend::Sharpened, Blend::Portrait,
                            Blend::HighlightEdges};
    uint32_t seed = 100;
    std::size_t compared = 0, differing = 0;
    for (const Case& c : kCases)
        for (const Blend blend : blends) {
            const int32_t w = c.region.width(), h = c.region.height();
            const auto q = randomBytes(std::size_t(w) * h * 4, seed++);
            const auto p = randomBytes(q.size(), seed++);
            const auto s = randomBytes(q.size(), seed++);
            auto map = randomBytes(std::size_t(w) * h, seed++);
            map[0] = 0; // the extreme weights
            map.back() = 255;
            BlendInputs in{q.data(), p.data(), s.data(), map.data(), w, h};
            if (blend == Blend::EngineOnly) in.map = nullptr;
            if (blend == Blend::PreNr || blend == Blend::EngineOnly) in.s = nullptr;

            const auto picture = randomBytes(std::size_t(c.imageWidth) * c.imageHeight * 3, seed++);
            auto fast = picture, reference = picture;
            const core::Rect& r = c.region;
            const auto fastRegion =
                viewOf(fast, c.imageWidth, c.imageHeight, 3).section(r.left, r.top, w, h);
            const auto referenceRegion =
                viewOf(reference, c.imageWidth, c.imageHeight, 3).section(r.left, r.top, w, h);
            blendInto(blend, in, fastRegion);
            blendIntoReference(blend, in, referenceRegion);
            EXPECT_EQ(fast, reference) << describe(c) << " blend " << int(blend);

            // The filtered-noise view on top of it.
            const auto sourceRegion =
                viewOf(picture, c.imageWidth, c.imageHeight, 3).section(r.left, r.top, w, h);
            amplifyDifference(sourceRegion, fastRegion);
            amplifyDifferenceReference(sourceRegion, referenceRegion);
            EXPECT_EQ(fast, reference) << describe(c) << " blend " << int(blend);
            for (std::size_t i = 0; i < fast.size(); ++i)
                differing += fast[i] != reference[i];
            compared += fast.size();
        }
    // Measured: 0 differing bytes.
    RecordProperty("compared_bytes", std::to_string(compared));
    RecordProperty("differing_bytes", std::to_string(differing));
}

TEST(FastPixelPasses, CopyPixelsCopiesEveryByte) {
    for (const std::size_t n :
         {std::size_t(0), std::size_t(1), std::size_t(4097), (std::size_t(5) << 20) + 3}) {
        const auto source = randomBytes(n, uint32_t(n));
        std::vector<uint8_t> destination(n + 1, 0xEE);
        copyPixels(destination.data(), source.data(), n);
        EXPECT_TRUE(std::equal(source.begin(), source.end(), destination.begin())) << n;
        EXPECT_EQ(destination.back(), 0xEE) << n;
    }
}
