// Colour conversions between ICC profiles through LittleCMS: from a picture's profile to the
// screen's, or from a colour-match reference's to the picture's. A profile is given as its bytes;
// an empty profile stands for sRGB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace velanox::color {

/// Byte layouts of the pixels a conversion reads and writes in place.
enum class PixelLayout {
    Rgb,  ///< red, green, blue
    Bgrx, ///< blue, green, red and a byte left as it is (QImage's RGB32 in memory)
};

/// Whether converting from one profile to the other can change anything: false when both are
/// sRGB (empty) or their bytes are the same.
bool profilesDiffer(std::span<const uint8_t> from, std::span<const uint8_t> to);

/// Conversions made once per pair of profiles and layout and kept (the most recently used
/// `capacity` of them), perceptual intent. Safe to share between threads.
class ColorTransformCache {
public:
    explicit ColorTransformCache(std::size_t capacity = 8);
    ~ColorTransformCache();
    ColorTransformCache(const ColorTransformCache&) = delete;
    ColorTransformCache& operator=(const ColorTransformCache&) = delete;

    /// Converts width x height pixels (rows stride bytes apart) in place. False, with the pixels
    /// untouched, when the profiles do not differ or either cannot be used (then the values are
    /// shown as they are).
    bool convert(std::span<const uint8_t> from, std::span<const uint8_t> to, PixelLayout layout,
                 uint8_t* pixels, int width, int height, std::size_t stride);

    /// How many conversions have been made (not found in the cache) so far.
    std::size_t made() const;

private:
    struct Entry;
    std::shared_ptr<Entry> find(std::span<const uint8_t> from, std::span<const uint8_t> to,
                                PixelLayout layout);

    mutable std::mutex m_mutex;
    std::list<std::shared_ptr<Entry>> m_entries; ///< most recently used first
    std::size_t m_capacity;
    std::size_t m_made = 0;
};

/// One conversion of red-first pixels in place without keeping it (a colour-match reference
/// into its picture's profile). False when nothing was changed.
bool convertRgbBetweenProfiles(std::span<const uint8_t> from, std::span<const uint8_t> to,
                               uint8_t* pixels, int width, int height, std::size_t stride);

} // namespace velanox::color
