#include "pipeline/pixel_passes.h"

#include "pipeline/noise_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace velanox;
using velanox::pipeline::Blend;

namespace {

// One 4-byte pixel per entry of values, bytes 0..2 from it, byte 3 = 255.
std::vector<uint8_t> pixels(std::initializer_list<std::array<uint8_t, 3>> values) {
    std::vector<uint8_t> out;
    for (const auto& v : values)
        out.insert(out.end(), {v[0], v[1], v[2], 255});
    return out;
}

std::vector<uint8_t> blendRow(Blend blend, const std::vector<uint8_t>& q,
                              const std::vector<uint8_t>& p, const std::vector<uint8_t>& s,
                              const std::vector<uint8_t>& map) {
    pipeline::BlendInputs in;
    in.q = q.data();
    in.p = p.data();
    in.s = s.empty() ? nullptr : s.data();
    in.map = map.empty() ? nullptr : map.data();
    in.width = int32_t(q.size() / 4);
    in.height = 1;
    // Written into the middle of a 24-bit picture three pixels wider, so stray writes show.
    std::vector<uint8_t> picture(std::size_t(in.width + 3) * 3, 0xEE);
    pipeline::blendInto(blend, in, core::ImageView(picture.data() + 3, in.width, 1, 3));
    EXPECT_EQ(picture[0], 0xEE);
    EXPECT_EQ(picture[picture.size() - 1], 0xEE);
    return std::vector<uint8_t>(picture.begin() + 3, picture.begin() + 3 + in.width * 3);
}

} // namespace

TEST(Blend, AFullWeightShiftsByEightBitsSo255Becomes254) {
    const auto q = pixels({{255, 128, 0}});
    const auto other = pixels({{10, 20, 30}});
    const std::vector<uint8_t> map{255};
    EXPECT_EQ(blendRow(Blend::PreNr, q, other, {}, map), (std::vector<uint8_t>{254, 127, 0}));
    EXPECT_EQ(blendRow(Blend::Sharpened, q, other, other, map),
              (std::vector<uint8_t>{254, 127, 0}));
    // Weight 0 takes the kept copy, with the same shift.
    EXPECT_EQ(blendRow(Blend::Sharpened, q, other, pixels({{255, 100, 1}}), {0}),
              (std::vector<uint8_t>{254, 99, 0}));
}

TEST(Blend, HighlightedEdgesShowTheWeightAndAQuarterOfComponentsOneAndTwo) {
    const auto q = pixels({{200, 201, 255}, {0, 3, 4}});
    const std::vector<uint8_t> map{0, 200};
    EXPECT_EQ(blendRow(Blend::HighlightEdges, q, q, {}, map),
              (std::vector<uint8_t>{255, 50, 63, 55, 0, 1}));
    // The edges view wins over every blend as soon as the map exists.
    EXPECT_EQ(pipeline::chooseBlend(true, true, pipeline::kNrModePortrait,
                                    pipeline::kOutputHighlightEdges),
              Blend::HighlightEdges);
    EXPECT_EQ(pipeline::chooseBlend(false, true, pipeline::kNrModeDefault,
                                    pipeline::kOutputHighlightEdges),
              Blend::EngineOnly);
    EXPECT_EQ(
        pipeline::chooseBlend(true, false, pipeline::kNrModePortrait, pipeline::kOutputResult),
        Blend::PreNr);
    EXPECT_EQ(pipeline::chooseBlend(true, true, pipeline::kNrModePortrait,
                                    pipeline::kOutputFilteredNoise),
              Blend::Portrait);
}

TEST(Blend, PortraitMixesByBrightnessBeforeTheEdgeWeight) {
    const auto q = pixels({{100, 150, 200}});
    const auto p = pixels({{120, 130, 140}});
    const auto s = pixels({{90, 160, 210}});
    // a = trunc(255 - (0.26*200 + 0.44*100 + 0.3*150)) = trunc(255 - 141) = 114.
    const int a = 114, m = 180;
    std::vector<uint8_t> expected;
    const int qv[] = {100, 150, 200}, pv[] = {120, 130, 140}, sv[] = {90, 160, 210};
    for (int k = 0; k < 3; ++k) {
        const int t = (a * qv[k] + (255 - a) * pv[k]) >> 8;
        expected.push_back(uint8_t((t * m + (255 - m) * sv[k]) >> 8));
    }
    EXPECT_EQ(blendRow(Blend::Portrait, q, p, s, {uint8_t(m)}), expected);
}

TEST(FilteredNoise, ADifferenceOfThreeShowsThirtyAndLargeOnesSaturate) {
    // A 3x2 picture; the region is its right two columns.
    std::vector<uint8_t> source(18, 100), result(18, 100);
    result[3] = 103;  // (1, 0) component 0
    result[4] = 97;   // (1, 0) component 1
    result[15] = 200; // (2, 1) component 0
    result[0] = 150;  // (0, 0), outside the region
    pipeline::amplifyDifference(core::ConstImageView(source.data(), 3, 2, 3).section(1, 0, 2, 2),
                                core::ImageView(result.data(), 3, 2, 3).section(1, 0, 2, 2));
    EXPECT_EQ(result[3], 30);
    EXPECT_EQ(result[4], 30);
    EXPECT_EQ(result[5], 0);
    EXPECT_EQ(result[15], 255);
    EXPECT_EQ(result[0], 150);
}

TEST(RegionCopies, TheWorkingCopyAndTilesCarryByteThreeAs255) {
    // A 4x3 picture; region (1,1)-(4,3).
    std::vector<uint8_t> picture(4 * 3 * 3);
    for (std::size_t i = 0; i < picture.size(); ++i)
        picture[i] = uint8_t(i);
    std::vector<uint8_t> workBytes(3 * 2 * 4, 0);
    const core::ImageView work(workBytes.data(), 3, 2, 4);
    pipeline::copyRegionIn(core::ConstImageView(picture.data(), 4, 3, 3), core::Rect{1, 1, 4, 3},
                           work);
    EXPECT_EQ(work.pixel(0, 0)[0], picture[(1 * 4 + 1) * 3]);
    EXPECT_EQ(work.pixel(2, 1)[2], picture[(2 * 4 + 3) * 3 + 2]);
    EXPECT_EQ(work.pixel(2, 1)[3], 255);

    std::vector<uint8_t> tile(2 * 2 * 4, 0);
    work.pixel(1, 0)[3] = 0; // the tile copy restores byte 3 whatever the working copy holds
    const core::ImageView tileView(tile.data(), 2, 2, 4);
    pipeline::copyTileOut(work, core::Rect{1, 0, 3, 2}, tileView);
    EXPECT_EQ(tile[0], work.pixel(1, 0)[0]);
    EXPECT_EQ(tile[3], 255);
    tile[0] = 1;
    tile[3] = 9;
    pipeline::copyTileBack(tileView, core::Rect{1, 0, 3, 2}, work);
    EXPECT_EQ(work.pixel(1, 0)[0], 1);
    EXPECT_EQ(work.pixel(1, 0)[3], 0);
}
