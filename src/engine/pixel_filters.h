// Three small filters the pipeline runs around the noise-reduction engine. They work on 8-bit
// components addressed by byte index, keep no state, and are declared at global scope like
// reduceNoise so that any program can call them.
#pragma once

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
