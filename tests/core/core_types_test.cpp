#include "core/image_view.h"
#include "core/option_set.h"
#include "core/rect.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velanox::core {
namespace {

constexpr OptionKey<uint32_t> kCount{"count", 7};
constexpr OptionKey<double> kScale{"scale", 1.5};
constexpr OptionKey<std::string> kName{"name", "none"};
// Another key under the same name but of another type: it reads the stored value only when
// the types agree.
constexpr OptionKey<std::string> kCountAsText{"count", "unset"};

TEST(OptionSet, UnsetKeysGiveTheirDefaults) {
    const OptionSet options;
    EXPECT_TRUE(options.empty());
    EXPECT_EQ(options.get(kCount), 7u);
    EXPECT_EQ(options.get(kScale), 1.5);
    EXPECT_EQ(options.get(kName), "none");
    EXPECT_FALSE(options.contains(kCount));
}

TEST(OptionSet, ValuesAreKeptByNameAndReplaced) {
    OptionSet options;
    options.set(kCount, 0u); // a value equal to no default is still set
    options.set(kScale, 0.25);
    options.set(kName, std::string("fine"));
    EXPECT_EQ(options.get(kCount), 0u);
    EXPECT_EQ(options.get(kScale), 0.25);
    EXPECT_EQ(options.get(kName), "fine");
    options.set(kCount, 60000u);
    EXPECT_EQ(options.get(kCount), 60000u);
    EXPECT_TRUE(options.contains(kCount));
    options.erase(kCount);
    EXPECT_EQ(options.get(kCount), 7u);
    EXPECT_FALSE(options.contains(kCount));
}

TEST(OptionSet, AValueOfAnotherTypeReadsAsTheDefault) {
    OptionSet options;
    options.set(kCount, 3u);
    EXPECT_EQ(options.get(kCountAsText), "unset");
}

TEST(OptionSet, CopiesCompareByTheirValues) {
    OptionSet a;
    a.set(kCount, 3u);
    OptionSet b = a;
    EXPECT_EQ(a, b);
    b.set(kScale, 2.0);
    EXPECT_FALSE(a == b);
    EXPECT_EQ(a.get(kScale), 1.5); // the copy is a copy
}

TEST(ImageView, RowsPixelsSectionsAndFlips) {
    // Three rows of two 3-byte pixels with two bytes of padding each.
    std::vector<uint8_t> bytes(3 * 8);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i);
    const ImageView view(bytes.data(), 2, 3, 3, 8);
    EXPECT_FALSE(view.packed());
    EXPECT_EQ(view.rowBytes(), 6u);
    EXPECT_EQ(*view.pixel(1, 2), 19);

    const ConstImageView readOnly = view; // a writable view may be read
    EXPECT_EQ(readOnly.row(1), bytes.data() + 8);

    const ImageView part = view.section(1, 1, 1, 2);
    EXPECT_EQ(*part.pixel(0, 0), 11);
    EXPECT_EQ(*part.pixel(0, 1), 19);

    const ImageView upsideDown = view.flipped();
    EXPECT_EQ(upsideDown.stride, -8);
    EXPECT_EQ(*upsideDown.pixel(0, 0), 16);
    EXPECT_EQ(*upsideDown.pixel(0, 2), 0);
    EXPECT_EQ(upsideDown.flipped().data, view.data);

    EXPECT_TRUE(ImageView().empty());
    EXPECT_TRUE(ImageView(bytes.data(), 0, 3, 3).empty());
    EXPECT_TRUE(ImageView(bytes.data(), 2, 3, 3).packed());
}

TEST(Rect, ClipToImageKeepsEveryCornerInside) {
    EXPECT_EQ(clipToImage({-5, -5, 50, 50}, 40, 30), (Rect{0, 0, 40, 30}));
    EXPECT_EQ(clipToImage({10, 5, 20, 15}, 40, 30), (Rect{10, 5, 20, 15}));
    // Wholly outside: empty, never negative or beyond the picture.
    const Rect outside = clipToImage({50, 40, 60, 45}, 40, 30);
    EXPECT_TRUE(outside.isEmpty());
    EXPECT_EQ(outside, (Rect{40, 30, 40, 30}));
    EXPECT_TRUE(clipToImage({-20, -20, -10, -10}, 40, 30).isEmpty());
    EXPECT_TRUE(clipToImage({0, 0, 10, 10}, 0, 0).isEmpty()); // a minimised window
}

} // namespace
} // namespace velanox::core
