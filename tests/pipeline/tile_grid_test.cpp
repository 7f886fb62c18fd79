#include "pipeline/tile_grid.h"

#include "pipeline/process_region.h"

#include <gtest/gtest.h>

#include <vector>

using velanox::core::Rect;
using velanox::pipeline::planTiles;
using velanox::pipeline::TileGrid;

TEST(TileGrid, A3101WideRegionHasTwoColumnsAndTheLastTakesTheLeftoverColumn) {
    const TileGrid g = planTiles(3101, 500, 3100, 2100);
    EXPECT_EQ(g.columns, 2);
    EXPECT_EQ(g.rows, 1);
    EXPECT_EQ(g.tileWidth, 1550);
    EXPECT_EQ(g.count(), 2);
    EXPECT_EQ(g.tile(0, 0), (Rect{0, 0, 1550, 500}));
    EXPECT_EQ(g.tile(1, 0), (Rect{1550, 0, 3101, 500}));
}

TEST(TileGrid, TilesCoverEveryPixelOnceAndStayWithinTheBlockBound) {
    const int sizes[][4] = {{3101, 2101, 3100, 2100},
                            {6000, 4000, 3100, 2100},
                            {97, 61, 10, 7},
                            {1000, 33, 64, 32},
                            {5, 5, 1, 1},
                            {200, 9, 3, 100}};
    for (const auto& s : sizes) {
        const TileGrid g = planTiles(s[0], s[1], s[2], s[3]);
        std::vector<int> hits(std::size_t(s[0]) * s[1], 0);
        for (int64_t tx = 0; tx < g.columns; ++tx)
            for (int64_t ty = 0; ty < g.rows; ++ty) {
                const Rect t = g.tile(tx, ty);
                EXPECT_LE(t.width(), s[2] + g.columns - 1);
                EXPECT_LE(t.height(), s[3] + g.rows - 1);
                EXPECT_LE(t.width(), g.largestWidth());
                EXPECT_LE(t.height(), g.largestHeight());
                for (int y = t.top; y < t.bottom; ++y)
                    for (int x = t.left; x < t.right; ++x)
                        ++hits[std::size_t(y) * s[0] + x];
            }
        for (int h : hits)
            ASSERT_EQ(h, 1) << s[0] << "x" << s[1];
    }
}

TEST(RunParameters, ModesChangeTheThresholdTheGainAndTheSpecklePasses) {
    velanox::pipeline::NoiseSettings noise;
    EXPECT_EQ(velanox::pipeline::engineParams(noise).threshold, 8.0);
    EXPECT_EQ(velanox::pipeline::engineParams(noise).levels, 5);
    noise.nrMode = velanox::pipeline::kNrModeHighNoise;
    noise.noiseLevel = 30.0;
    noise.nrLevels = 9;
    EXPECT_EQ(velanox::pipeline::engineParams(noise).threshold, 120.0);
    EXPECT_EQ(velanox::pipeline::engineParams(noise).levels, 5);
    noise.nrLevels = 0;
    EXPECT_EQ(velanox::pipeline::engineParams(noise).levels, 2);

    EXPECT_EQ(velanox::pipeline::edgeWeightGain(velanox::pipeline::kNrModeNature), 12.0f);
    EXPECT_EQ(velanox::pipeline::edgeWeightGain(velanox::pipeline::kNrModePortrait), 1.6f);

    EXPECT_EQ(velanox::pipeline::specklePasses(8.0), 2);
    EXPECT_EQ(velanox::pipeline::specklePasses(0.0), 1);
    EXPECT_EQ(velanox::pipeline::specklePasses(100.0), 17);
    EXPECT_EQ(velanox::pipeline::specklePasses(-30.0), 0);
}
