#include "color/color_match_state.h"
#include "color/reference_thumbnail.h"

#include <gtest/gtest.h>

namespace velanox::color {
namespace {

void fillPicture(image::PixelBuffer& p, int w, int h, uint8_t base) {
    ASSERT_TRUE(p.allocate(w, h, 24).ok());
    for (std::size_t i = 0; i < p.pixelBytes(); ++i)
        p.pixels()[i] = uint8_t(base + (i % 3) * 40 + (i / 3) % 7);
}

core::ConstImageView blockOf(const image::PixelBuffer& p) {
    return core::ConstImageView(p.pixels(), p.width, p.height, 3);
}

TEST(ReferenceThumbnail, SizeFollowsTheLongerSide) {
    EXPECT_EQ(referenceThumbnailSize(400, 200), (ThumbnailSize{170, 85}));
    EXPECT_EQ(referenceThumbnailSize(200, 400), (ThumbnailSize{50, 100}));
    EXPECT_EQ(referenceThumbnailSize(170, 100), (ThumbnailSize{170, 100}));
    EXPECT_EQ(referenceThumbnailSize(5000, 1), (ThumbnailSize{170, 1}));
    EXPECT_EQ(referenceThumbnailSize(1, 5000), (ThumbnailSize{1, 100}));
}

TEST(ReferenceThumbnail, AveragingKeepsAFlatColor) {
    image::PixelBuffer flat;
    ASSERT_TRUE(flat.allocate(333, 77, 24).ok());
    for (std::size_t i = 0; i < flat.pixelBytes(); i += 3) {
        flat.pixels()[i] = 10;
        flat.pixels()[i + 1] = 120;
        flat.pixels()[i + 2] = 250;
    }
    image::PixelBuffer small;
    ASSERT_TRUE(scaleDownByAveraging(flat, 170, 39, small));
    ASSERT_EQ(small.width, 170);
    for (std::size_t i = 0; i < small.pixelBytes(); i += 3) {
        ASSERT_EQ(small.pixels()[i], 10);
        ASSERT_EQ(small.pixels()[i + 2], 250);
    }
}

TEST(ColorMatchState, ReferenceKeepsFullSizeStatisticsAndAThumbnail) {
    ColorMatchState state;
    image::PixelBuffer loaded;
    fillPicture(loaded, 400, 200, 30);
    const ColorStatistics full = computeColorStatistics(blockOf(loaded));
    ASSERT_TRUE(state.setReferenceImage(loaded, {}, "/p/ref.png").ok());
    EXPECT_FALSE(loaded.hasPixels());
    EXPECT_EQ(state.referenceImage.width, 170);
    EXPECT_EQ(state.referenceImage.height, 85);
    EXPECT_EQ(state.referencePath, "/p/ref.png");
    EXPECT_EQ(state.referenceStatistics, full);
}

TEST(ColorMatchState, AFailedReferenceLeavesThePreviousOneInForce) {
    ColorMatchState state;
    image::PixelBuffer first;
    fillPicture(first, 40, 20, 0);
    ASSERT_TRUE(state.setReferenceImage(first, {}, "/p/first.png").ok());
    const ColorStatistics kept = state.referenceStatistics;

    image::PixelBuffer second;
    fillPicture(second, 40, 20, 90);
    const ThumbnailScaler failing = [](const image::PixelBuffer&, int32_t, int32_t,
                                       image::PixelBuffer&) { return false; };
    EXPECT_FALSE(state.setReferenceImage(second, {}, "/p/second.png", {}, failing).ok());
    image::PixelBuffer empty;
    EXPECT_FALSE(state.setReferenceImage(empty, {}, "/p/empty.png").ok());
    EXPECT_EQ(state.referencePath, "/p/first.png");
    EXPECT_EQ(state.referenceStatistics, kept);
    EXPECT_TRUE(second.hasPixels()) << "a refused picture is not consumed";
}

TEST(ColorMatchState, TablesAreTheIdentityWithoutAReference) {
    ColorMatchState state;
    image::PixelBuffer source;
    fillPicture(source, 30, 30, 60);
    EXPECT_EQ(state.buildMatchToImage(blockOf(source)), MatchValues::identityMatchTables());
    EXPECT_EQ(state.buildMatchToProfile(blockOf(source)), MatchValues::identityMatchTables());

    image::PixelBuffer darker;
    fillPicture(darker, 30, 30, 10);
    ASSERT_TRUE(state.setReferenceImage(darker, {}, "/p/dark.png").ok());
    const MatchTables tables = state.buildMatchToImage(blockOf(source));
    EXPECT_LT(tables[0][100], 100) << "matching to a darker reference darkens";
}

} // namespace
} // namespace velanox::color
