// Three small filters the pipeline runs around the noise-reduction engine. They work on 8-bit
// components addressed by byte index, keep no state, and are declared at global scope like
// reduceNoise so that any program can call them.
#pragma once

#include "core/image_view.h"
#include "core/status.h"

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" {

/// Sharpens the components selected by channelMask (bit k for byte k) from source into
/// destination: each value moves away from the mean of its 8 neighbours by
/// min(max(amount, 0), 100) * 0.005 * 8 times the difference (edge pixels repeat outward).
/// Components outside the mask are not written. Fails without writing when either array is
/// missing, both are the same array, bytesPerPixel is not 1..8, a size is not positive, a
/// stride is shorter than a row, or its one-row mask pattern cannot be allocated. The two
/// arrays must not overlap.
bool sharpenFilter(const unsigned char* source, unsigned char* destination, int width, int height,
                   int bytesPerPixel, int sourceStride, int destinationStride, int amount,
                   int channelMask);

/// Pulls isolated bright and dark specks and fine patterns toward their surroundings, in place,
/// for the components selected by channelMask. The filter's planes have a border of 0, so the
/// outermost pixels are pulled down a little too. Components are filtered on separate threads
/// when the picture is large, each thread holding two planes of (width + 2) x (height + 2)
/// bytes. Fails without writing when pixels is missing, the arguments cannot describe a picture,
/// or the planes for one thread cannot be allocated.
bool speckleFilter(unsigned char* pixels, int width, int height, int bytesPerPixel, int stride,
                   int channelMask);

/// Fills map (width * height bytes, no padding) with a per-pixel weight from the Sobel gradient
/// of the grey value (b0 + b1 + b2) / 3 of rows packed without padding: 0 at the strongest
/// edges, 255 where there is no gradient, steeper with a larger gain; pixels flatter than
/// edgeThreshold count as flat. When no pixel has any gradient every weight is 0.
/// Returns false, with the map untouched, when its float scratch cannot be allocated or the
/// arguments cannot describe a picture of at least 3 bytes per pixel.
bool computeEdgeWeights(const unsigned char* pixels, unsigned char* map, int width, int height,
                        int bytesPerPixel, int edgeThreshold, float gain);

} // extern "C"

namespace velanox::engine {

/// Channel masks of the filters: bit k selects byte k of every pixel.
inline constexpr int kChannelMaskRgb = 0b0111;     ///< bytes 0..2: red, green, blue
inline constexpr int kChannelMaskAllFour = 0b1111; ///< every byte of a 4-byte pixel

/// sharpenFilter on views of one size: InvalidArgument (nothing written) for the arguments
/// sharpenFilter refuses and for views of different sizes, OutOfMemory when its one-row mask
/// pattern cannot be allocated.
core::Status sharpenFilter(const core::ConstImageView& source, const core::ImageView& destination,
                           int amount, int channelMask);

/// speckleFilter on a view: InvalidArgument for arguments that cannot describe a picture,
/// OutOfMemory when the planes for one thread cannot be allocated; nothing is written then.
core::Status speckleFilter(const core::ImageView& pixels, int channelMask);

/// computeEdgeWeights on a view of packed rows (map: width * height bytes): InvalidArgument for
/// a missing map or pixels that are not packed rows of at least 3 bytes per pixel, OutOfMemory
/// when the scratch cannot be allocated; the map is untouched then.
core::Status computeEdgeWeights(const core::ConstImageView& pixels, uint8_t* map, int edgeThreshold,
                                float gain);

/// sharpenFilter prepared once and run over bands of rows, for callers that use the sharpened
/// rows at once instead of keeping a sharpened copy of the whole picture. Every band gives the
/// bytes sharpenFilter gives for those rows.
class SharpenRows {
public:
    /// Prepares for sharpening source (the whole picture, which must stay while run is used).
    /// False for the sizes, bytes per pixel or memory that sharpenFilter fails on.
    bool prepare(const core::ConstImageView& source, int amount, int channelMask);

    /// Sharpens rows first..end-1 of the source into destination, whose row 0 receives row
    /// first. Components outside the mask are not written.
    void run(int first, int end, const core::ImageView& destination) const;

private:
    core::ConstImageView m_source;
    int m_mask = 0, m_amount = 0;
    double m_e = 0.0;
    bool m_integerExact = false;
    std::unique_ptr<uint8_t[]> m_keep;
};

/// computeEdgeWeights split in two: prepare scans the whole picture for its steepest gradient,
/// which the weights are normalised by, and run then gives the weights of any band of rows.
class EdgeWeightRows {
public:
    /// Prepares the weights of pixels (which must stay while run is used). False, as
    /// computeEdgeWeights, for pixels that are not packed rows of at least 3 bytes per pixel
    /// or when its tables cannot be allocated.
    bool prepare(const core::ConstImageView& pixels, int edgeThreshold, float gain);

    /// Bytes of scratch run needs for a picture width pixels wide.
    static std::size_t scratchBytes(int width);

    /// Writes the weights of rows first..end-1 of the prepared picture into map, row after row
    /// with no padding; scratch holds scratchBytes(width) bytes of the caller's (one per thread).
    void run(int first, int end, unsigned char* map, unsigned char* scratch) const;

private:
    const unsigned char* m_pixels = nullptr;
    int m_width = 0, m_height = 0, m_bytesPerPixel = 0;
    std::unique_ptr<uint8_t[]> m_table;
};

} // namespace velanox::engine
