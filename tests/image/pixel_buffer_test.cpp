// The pixel buffer: its geometry and rows, its views, copies and moves, and refused allocations.
#include "image/pixel_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>

// Under AddressSanitizer an allocation that cannot be had returns null, as the system's does,
// instead of stopping the program: the refused allocations below are what is tested.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options();
extern "C" const char* __asan_default_options() { // NOLINT: the sanitizer's hook
    return "allocator_may_return_null=1";
}
#endif

namespace velanox::image {
namespace {

// Every byte its own value, so that a row read from the wrong place shows.
void fillCounting(PixelBuffer& buffer) {
    for (std::size_t i = 0; i < buffer.pixelBytes(); ++i)
        buffer.pixels()[i] = uint8_t(i * 7 + 1);
}

TEST(PixelBufferGeometry, RowsAndViewsFollowTheDepth) {
    PixelBuffer rgb;
    ASSERT_TRUE(rgb.allocate(5, 3, 24).ok());
    EXPECT_EQ(rgb.rowBytes(), 15u);
    EXPECT_EQ(rgb.bytesPerPixel(), 3);
    EXPECT_EQ(rgb.pixelBytes(), 45u);
    EXPECT_EQ(rgb.row(2), rgb.pixels() + 30);
    const core::ConstImageView view = std::as_const(rgb).view();
    EXPECT_EQ(view.data, rgb.pixels());
    EXPECT_EQ(view.width, 5);
    EXPECT_EQ(view.height, 3);
    EXPECT_EQ(view.bytesPerPixel, 3);
    EXPECT_EQ(view.stride, 15);
    EXPECT_TRUE(view.packed());
    EXPECT_EQ(view.pixel(4, 2), rgb.row(2) + 12);

    // A writable view writes the buffer, and reads as a constant one.
    core::ImageView writable = rgb.view();
    writable.pixel(1, 1)[2] = 0xab;
    EXPECT_EQ(rgb.row(1)[5], 0xab);
    const core::ConstImageView reread = writable;
    EXPECT_EQ(reread.pixel(1, 1)[2], 0xab);

    PixelBuffer bgrx;
    ASSERT_TRUE(bgrx.allocate(3, 2, 32).ok());
    EXPECT_EQ(bgrx.view().bytesPerPixel, 4);
    EXPECT_EQ(bgrx.view().stride, 12);

    PixelBuffer indexed;
    ASSERT_TRUE(indexed.allocate(7, 2, 8).ok());
    EXPECT_EQ(indexed.view().bytesPerPixel, 1);
    EXPECT_EQ(indexed.row(1), indexed.pixels() + 7);

    // 1-bit rows are packed to whole bytes and have no pixel view.
    PixelBuffer bits;
    ASSERT_TRUE(bits.allocate(9, 4, 1).ok());
    EXPECT_EQ(bits.rowBytes(), 2u);
    EXPECT_EQ(bits.pixelBytes(), 8u);
    EXPECT_EQ(bits.bytesPerPixel(), 0);
    EXPECT_EQ(bits.row(3), bits.pixels() + 6);
    EXPECT_TRUE(bits.view().empty());

    EXPECT_TRUE(PixelBuffer().view().empty());
    EXPECT_EQ(PixelBuffer::rowBytesFor(8, 1), 1u);
    EXPECT_EQ(PixelBuffer::rowBytesFor(0, 24), 0u);
    EXPECT_EQ(PixelBuffer::rowBytesFor(4, 0), 0u);
}

TEST(PixelBufferAllocation, RefusalsAreStatusesAndLeaveNoPixels) {
    PixelBuffer buffer;
    ASSERT_TRUE(buffer.allocate(4, 4, 24).ok());
    buffer.paletteSize = 2;
    const struct {
        int32_t width, height, depth;
    } refused[] = {{0, 4, 24}, {4, -1, 24}, {4, 4, 16}, {4, 4, 0}, {4, 4, 4}};
    for (const auto& [width, height, depth] : refused) {
        const core::Status s = buffer.allocate(width, height, depth);
        EXPECT_EQ(s.code, core::StatusCode::OutOfMemory) << width << "x" << height << "@" << depth;
        EXPECT_FALSE(s.reason.empty());
        EXPECT_FALSE(buffer.hasPixels());
        EXPECT_EQ(buffer.width, 0);
        EXPECT_EQ(buffer.height, 0);
        EXPECT_EQ(buffer.bitsPerPixel, 0);
        EXPECT_EQ(buffer.paletteSize, 0);
        EXPECT_EQ(buffer.pixelBytes(), 0u);
    }
    // Far more than any address space: the memory cannot be had, and that is a status too.
    const core::Status huge = buffer.allocate(INT32_MAX, INT32_MAX, 32);
    EXPECT_EQ(huge.code, core::StatusCode::OutOfMemory);
    EXPECT_FALSE(buffer.hasPixels());
    EXPECT_EQ(buffer.width, 0);
    // And afterwards the buffer allocates as ever.
    ASSERT_TRUE(buffer.allocate(2, 2, 8).ok());
    EXPECT_EQ(buffer.pixelBytes(), 4u);
}

TEST(PixelBufferAllocation, AdoptedStorageMustHoldThePicture) {
    PixelBuffer buffer;
    EXPECT_EQ(buffer.adoptPixels(PixelStorage::allocate(11), 2, 2, 24).code,
              core::StatusCode::OutOfMemory);
    EXPECT_FALSE(buffer.hasPixels());
    EXPECT_EQ(buffer.adoptPixels(PixelStorage(), 1, 1, 8).code, core::StatusCode::OutOfMemory);
    EXPECT_EQ(buffer.adoptPixels(PixelStorage::allocate(64), 4, 4, 12).code,
              core::StatusCode::OutOfMemory);

    PixelStorage storage = PixelStorage::allocate(16);
    ASSERT_TRUE(storage);
    const uint8_t* bytes = storage.data();
    ASSERT_TRUE(buffer.adoptPixels(std::move(storage), 2, 2, 24).ok());
    EXPECT_EQ(buffer.pixels(), bytes) << "adopted, not copied";
    EXPECT_EQ(buffer.pixelBytes(), 12u) << "the picture's bytes, not the block's";
    EXPECT_EQ(buffer.width, 2);
}

TEST(PixelBufferCopies, CopyIsDeepAndCarriesThePalette) {
    PixelBuffer source;
    ASSERT_TRUE(source.allocate(6, 5, 8).ok());
    fillCounting(source);
    source.paletteSize = 256;
    source.palette[200] = {1, 2, 3, 4};

    PixelBuffer copy;
    ASSERT_TRUE(copy.copyFrom(source).ok());
    EXPECT_NE(copy.pixels(), source.pixels());
    EXPECT_EQ(copy.width, 6);
    EXPECT_EQ(copy.height, 5);
    EXPECT_EQ(copy.bitsPerPixel, 8);
    EXPECT_EQ(copy.paletteSize, 256);
    EXPECT_EQ(copy.palette[200], (PaletteEntry{1, 2, 3, 4}));
    ASSERT_EQ(copy.pixelBytes(), source.pixelBytes());
    EXPECT_EQ(std::memcmp(copy.pixels(), source.pixels(), source.pixelBytes()), 0);
    copy.pixels()[0] ^= 0xff;
    EXPECT_NE(copy.pixels()[0], source.pixels()[0]) << "the copy has bytes of its own";

    // Copying a buffer of the same size again keeps the block; copying itself changes nothing.
    const uint8_t* block = copy.pixels();
    ASSERT_TRUE(copy.copyFrom(source).ok());
    EXPECT_EQ(copy.pixels(), block);
    ASSERT_TRUE(copy.copyFrom(copy).ok());
    EXPECT_EQ(copy.pixels(), block);
    EXPECT_EQ(copy.width, 6);

    // A buffer without pixels copies as none, its palette still carried.
    PixelBuffer empty;
    empty.paletteSize = 2;
    empty.palette[1] = {9, 9, 9, 0};
    ASSERT_TRUE(copy.copyFrom(empty).ok());
    EXPECT_FALSE(copy.hasPixels());
    EXPECT_EQ(copy.width, 0);
    EXPECT_EQ(copy.paletteSize, 2);
    EXPECT_EQ(copy.palette[1], (PaletteEntry{9, 9, 9, 0}));
}

TEST(PixelBufferCopies, MovesHandOverTheBlockAndLeaveTheSourceEmpty) {
    PixelBuffer first;
    ASSERT_TRUE(first.allocate(3, 3, 24).ok());
    fillCounting(first);
    first.palette[5] = {5, 5, 5, 5};
    const uint8_t* block = first.pixels();

    PixelBuffer second(std::move(first));
    EXPECT_EQ(second.pixels(), block);
    EXPECT_EQ(second.width, 3);
    EXPECT_EQ(second.pixelBytes(), 27u);
    EXPECT_EQ(second.palette[5], (PaletteEntry{5, 5, 5, 5}));
    EXPECT_FALSE(first.hasPixels()); // NOLINT(bugprone-use-after-move): moved-from state is defined
    EXPECT_EQ(first.width, 0);
    EXPECT_EQ(first.pixelBytes(), 0u);

    PixelBuffer third;
    ASSERT_TRUE(third.allocate(1, 1, 8).ok());
    third = std::move(second);
    EXPECT_EQ(third.pixels(), block);
    EXPECT_EQ(third.height, 3);
    EXPECT_FALSE(second.hasPixels()); // NOLINT(bugprone-use-after-move)

    PixelBuffer fourth;
    fourth.takeFrom(third);
    EXPECT_EQ(fourth.pixels(), block);
    EXPECT_FALSE(third.hasPixels());
    fourth.takeFrom(fourth);
    EXPECT_EQ(fourth.pixels(), block) << "taking from itself keeps the pixels";
    EXPECT_EQ(fourth.pixels()[1], uint8_t(8));

    fourth.release();
    EXPECT_FALSE(fourth.hasPixels());
    EXPECT_EQ(fourth.bitsPerPixel, 0);
    EXPECT_EQ(fourth.rowBytes(), 0u);
}

} // namespace
} // namespace velanox::image
