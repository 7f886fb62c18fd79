// The shipped pixel filters against the plain ones: the same integers and the same floating-point
// operations, so every byte is expected to be identical, padding and unmasked components
// included. Sizes cover single rows and columns, odd sizes, and pictures large enough for the
// passes to be spread over threads.
#include "engine/pixel_filters.h"
#include "engine/reference/reference_pixel_filters.h"

#include "support/test_images.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace velanox::engine;

namespace core = velanox::core;

namespace {

core::ImageView viewOf(std::vector<unsigned char>& px, int w, int h, int bpp, int stride) {
    return {px.data(), w, h, bpp, stride};
}
core::ConstImageView viewOf(const std::vector<unsigned char>& px, int w, int h, int bpp,
                            int stride) {
    return {px.data(), w, h, bpp, stride};
}

struct Size {
    int width, height;
};

const Size kSizes[] = {{1, 1},   {1, 9},   {9, 1},    {2, 2},     {3, 3},    {2, 7},
                       {7, 2},   {5, 4},   {17, 13},  {33, 31},   {64, 3},   {3, 64},
                       {1, 300}, {300, 1}, {129, 77}, {301, 257}, {640, 120}};

// Content kinds: uniformly random bytes, a few levels (many ties and steps), extremes only
// (0 and 255, for the clamping), a smooth ramp with mild noise, and one flat value.
enum class Content { Random, Levels, Extremes, Ramp, Flat };
const Content kContents[] = {Content::Random, Content::Levels, Content::Extremes, Content::Ramp,
                             Content::Flat};

// Every depth on small pictures; the pipeline's 4 bytes and one other on the large ones.
std::vector<int> depthsFor(Size s, int from) {
    std::vector<int> depths;
    for (int bpp = from; bpp <= 8; ++bpp)
        if (s.width * s.height < 4000 || bpp == 4 || bpp == 7) depths.push_back(bpp);
    return depths;
}

std::vector<unsigned char> makePixels(int width, int height, int bpp, int stride, Content content,
                                      uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<unsigned char> px(std::size_t(stride) * height + 1);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < stride; ++i) {
            const int x = i / bpp;
            int v = 0;
            switch (content) {
            case Content::Random:
                v = int(rng() & 0xFF);
                break;
            case Content::Levels:
                v = int(rng() % 4) * 60 + 10;
                break;
            case Content::Extremes:
                v = (rng() & 1) != 0 ? 255 : 0;
                break;
            case Content::Ramp:
                v = std::clamp((x * 255) / std::max(width, 1) + (y % 7) + int(rng() % 5) - 2, 0,
                               255);
                break;
            case Content::Flat:
                v = 137;
                break;
            }
            px[std::size_t(y) * stride + i] = static_cast<unsigned char>(v);
        }
    px.back() = 0xC3; // one byte past the picture: nothing may write there
    return px;
}

std::string describe(Size s, int bpp, int pad, Content c) {
    return std::to_string(s.width) + "x" + std::to_string(s.height) + " bpp " +
           std::to_string(bpp) + " pad " + std::to_string(pad) + " content " +
           std::to_string(int(c));
}

std::size_t differingBytes(const std::vector<unsigned char>& a,
                           const std::vector<unsigned char>& b) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

} // namespace

TEST(FastPixelFilters, SharpenMatchesTheReference) {
    std::size_t compared = 0, differing = 0;
    uint32_t seed = 1;
    for (const Size s : kSizes)
        for (int bpp : depthsFor(s, 1))
            for (const Content content : kContents) {
                const int pad = (seed % 3) * 3;
                const int stride = s.width * bpp + pad;
                const int destinationStride = s.width * bpp + (seed % 2) * 5;
                const auto source = makePixels(s.width, s.height, bpp, stride, content, seed);
                const auto before =
                    makePixels(s.width, s.height, bpp, destinationStride, Content::Random, ~seed);
                const int mask = int(seed * 37 % 512);
                const int amount = int(seed * 13 % 130) - 10;
                auto fast = before, reference = before;
                const auto in = viewOf(source, s.width, s.height, bpp, stride);
                ASSERT_EQ(sharpenFilter(in, viewOf(fast, s.width, s.height, bpp, destinationStride),
                                        amount, mask)
                              .code,
                          sharpenFilterReference(
                              in, viewOf(reference, s.width, s.height, bpp, destinationStride),
                              amount, mask)
                              .code);
                const std::size_t d = differingBytes(fast, reference);
                EXPECT_EQ(d, 0u) << describe(s, bpp, pad, content) << " mask " << mask << " amount "
                                 << amount;
                compared += fast.size();
                differing += d;
                ++seed;
            }
    // Measured: 0 differing bytes.
    RecordProperty("compared_bytes", std::to_string(compared));
    RecordProperty("differing_bytes", std::to_string(differing));
}

TEST(FastPixelFilters, SharpenMatchesTheReferenceAtEveryAmount) {
    const int w = 41, h = 23;
    const auto source = makePixels(w, h, 4, w * 4, Content::Random, 99);
    for (int amount = -1; amount <= 101; ++amount) {
        std::vector<unsigned char> fast(source.size(), 0), reference(source.size(), 0);
        const auto in = viewOf(source, w, h, 4, w * 4);
        ASSERT_TRUE(sharpenFilter(in, viewOf(fast, w, h, 4, w * 4), amount, 7).ok());
        ASSERT_TRUE(sharpenFilterReference(in, viewOf(reference, w, h, 4, w * 4), amount, 7).ok());
        EXPECT_EQ(fast, reference) << "amount " << amount;
    }
}

TEST(FastPixelFilters, SpeckleMatchesTheReference) {
    std::size_t compared = 0, differing = 0;
    uint32_t seed = 3;
    for (const Size s : kSizes)
        for (int bpp : depthsFor(s, 1))
            for (const Content content : kContents) {
                const int pad = (seed % 3) * 2;
                const int stride = s.width * bpp + pad;
                const int mask = int(seed * 29 % 512);
                auto fast = makePixels(s.width, s.height, bpp, stride, content, seed);
                auto reference = fast;
                ASSERT_EQ(
                    speckleFilter(viewOf(fast, s.width, s.height, bpp, stride), mask).code,
                    speckleFilterReference(viewOf(reference, s.width, s.height, bpp, stride), mask)
                        .code);
                const std::size_t d = differingBytes(fast, reference);
                EXPECT_EQ(d, 0u) << describe(s, bpp, pad, content) << " mask " << mask;
                compared += fast.size();
                differing += d;
                ++seed;
            }
    // Measured: 0 differing bytes.
    RecordProperty("compared_bytes", std::to_string(compared));
    RecordProperty("differing_bytes", std::to_string(differing));
}

TEST(FastPixelFilters, RepeatedSpeckleMatchesTheReference) {
    // Large enough for the passes to be spread over threads.
    const auto scene = velanox::test::makeNoisyScene(1100, 1000, 14.0, 8);
    auto fast = scene.bytes, reference = scene.bytes;
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(
            speckleFilter(viewOf(fast, scene.width, scene.height, 4, scene.stride), 7).ok());
        ASSERT_TRUE(
            speckleFilterReference(viewOf(reference, scene.width, scene.height, 4, scene.stride), 7)
                .ok());
    }
    EXPECT_EQ(fast, reference);
}

TEST(FastPixelFilters, EdgeWeightsMatchTheReference) {
    const int thresholds[] = {0, 1, 40, 128, 254, 255, -5, 300};
    const float gains[] = {1.6f, 12.0f, 0.0f, 0.37f, 1000.0f, -2.0f};
    std::size_t compared = 0, differing = 0;
    uint32_t seed = 5;
    for (const Size s : kSizes)
        for (int bpp : depthsFor(s, 3))
            for (const Content content : kContents) {
                const auto px = makePixels(s.width, s.height, bpp, s.width * bpp, content, seed);
                const int threshold = thresholds[seed % 8];
                const float gain = gains[seed % 6];
                std::vector<unsigned char> fast(std::size_t(s.width) * s.height, 0x11);
                std::vector<unsigned char> reference = fast;
                const auto in = viewOf(px, s.width, s.height, bpp, s.width * bpp);
                ASSERT_EQ(computeEdgeWeights(in, fast.data(), threshold, gain).code,
                          computeEdgeWeightsReference(in, reference.data(), threshold, gain).code);
                const std::size_t d = differingBytes(fast, reference);
                EXPECT_EQ(d, 0u) << describe(s, bpp, 0, content) << " threshold " << threshold
                                 << " gain " << gain;
                compared += fast.size();
                differing += d;
                ++seed;
            }
    // Measured: 0 differing bytes.
    RecordProperty("compared_bytes", std::to_string(compared));
    RecordProperty("differing_bytes", std::to_string(differing));
}

TEST(FastPixelFilters, EdgeWeightsMatchTheReferenceOnANoisyScene) {
    const auto scene = velanox::test::makeNoisyScene(613, 401, 9.0, 4);
    for (const float gain : {1.6f, 12.0f})
        for (const int threshold : {0, 30, 255}) {
            std::vector<unsigned char> fast(std::size_t(scene.width) * scene.height);
            std::vector<unsigned char> reference(fast.size());
            ASSERT_TRUE(computeEdgeWeights(scene.view(), fast.data(), threshold, gain).ok());
            ASSERT_TRUE(
                computeEdgeWeightsReference(scene.view(), reference.data(), threshold, gain).ok());
            EXPECT_EQ(fast, reference) << "gain " << gain << " threshold " << threshold;
        }
}

TEST(FastPixelFilters, RefuseWhatTheReferenceRefuses) {
    std::vector<unsigned char> a(64, 7), b(64, 9);
    for (int bpp : {0, 9, -1})
        EXPECT_FALSE(sharpenFilter(a.data(), b.data(), 2, 2, bpp, 8, 8, 8, 7));
    EXPECT_FALSE(sharpenFilter(a.data(), a.data(), 2, 2, 4, 8, 8, 8, 7));
    EXPECT_FALSE(sharpenFilter(a.data(), b.data(), 4, 2, 4, 15, 16, 8, 7));
    EXPECT_FALSE(speckleFilter(nullptr, 2, 2, 4, 8, 7));
    EXPECT_FALSE(speckleFilter(a.data(), 0, 2, 4, 8, 7));
    EXPECT_FALSE(computeEdgeWeights(a.data(), b.data(), 2, 2, 2, 0, 1.6f));
    EXPECT_FALSE(computeEdgeWeights(a.data(), nullptr, 2, 2, 4, 0, 1.6f));
    EXPECT_EQ(b, std::vector<unsigned char>(64, 9));
}

// The sharpened value depends only on the centre and the sum of its 8 neighbours. Every pair of
// them, at every amount, side by side in groups of 3 x 3 pixels whose centres see only their
// own group: the shipped integer arithmetic must give the bytes of the reference's doubles.
TEST(FastPixelFilters, SharpenMatchesTheReferenceForEveryCentreAndNeighbourSum) {
    constexpr int kSums = 8 * 255 + 1;
    const int w = 3 * 256 * kSums, h = 3;
    std::vector<unsigned char> source(std::size_t(w) * h);
    for (int c = 0; c < 256; ++c)
        for (int n = 0; n < kSums; ++n) {
            const int x = 3 * (c * kSums + n);
            unsigned char* neighbours[8] = {&source[x],
                                            &source[x + 1],
                                            &source[x + 2],
                                            &source[w + x],
                                            &source[w + x + 2],
                                            &source[2 * w + x],
                                            &source[2 * w + x + 1],
                                            &source[2 * w + x + 2]};
            int left = n;
            for (unsigned char* v : neighbours) {
                *v = static_cast<unsigned char>(std::min(left, 255));
                left -= *v;
            }
            source[w + x + 1] = static_cast<unsigned char>(c);
        }
    std::size_t differing = 0;
    for (int amount = 0; amount <= 100; ++amount) {
        std::vector<unsigned char> fast(source.size()), reference(source.size());
        const auto in = viewOf(source, w, h, 1, w);
        ASSERT_TRUE(sharpenFilter(in, viewOf(fast, w, h, 1, w), amount, 1).ok());
        ASSERT_TRUE(sharpenFilterReference(in, viewOf(reference, w, h, 1, w), amount, 1).ok());
        for (int x = 1; x < w; x += 3)
            differing += fast[w + x] != reference[w + x];
    }
    // Measured: 0 differing centres.
    EXPECT_EQ(differing, 0u);
}
