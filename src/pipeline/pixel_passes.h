// The per-pixel passes of a processing run: copies between the picture, the working copy and the
// tiles, and the blend that writes the result. Loops with no bookkeeping, vectorised and spread
// over threads; pipeline/reference/ keeps the plain versions they are tested against.
#pragma once

#include "core/image_view.h"
#include "core/rect.h"
#include "engine/pixel_filters.h"

#include <cstddef>
#include <cstdint>

namespace velanox::color {
class ColorPass;
}

namespace velanox::pipeline {

/// memcpy spread over threads for large blocks; the blocks must not overlap.
void copyPixels(uint8_t* destination, const uint8_t* source, std::size_t bytes);

/// Copies region of a 24-bit picture into work (4-byte pixels, the region's size), setting byte 3
/// of every working pixel to 255.
void copyRegionIn(const core::ConstImageView& picture, core::Rect region,
                  const core::ImageView& work);

/// copyRegionIn, then colour (when given) on every row, and every row copied into preNr (work's
/// size) as well: the working copy and the pre-reduction copy in one pass over the picture.
void copyRegionInTwice(const core::ConstImageView& picture, core::Rect region,
                       const core::ImageView& work, const core::ImageView& preNr,
                       const color::ColorPass* color);

/// Copies the tile (in work coordinates) into tilePixels (4-byte pixels, the tile's size),
/// byte 3 set to 255.
void copyTileOut(const core::ConstImageView& work, core::Rect tile,
                 const core::ImageView& tilePixels);

/// Copies bytes 0..2 of the tile's pixels back into work at the tile's place.
void copyTileBack(const core::ConstImageView& tilePixels, core::Rect tile,
                  const core::ImageView& work);

/// How the noise-reduced pixels Q are combined with the kept copies.
enum class Blend {
    EngineOnly,     ///< out = Q
    PreNr,          ///< out = (Q * m + P * (255 - m)) >> 8
    Sharpened,      ///< out = (Q * m + S * (255 - m)) >> 8
    Portrait,       ///< Q first mixed with P by the pixel's brightness, then with S by m
    HighlightEdges, ///< out0 = 255 - m, out1 = Q1 >> 2, out2 = Q2 >> 2
};

/// The blend a run uses, given which of the map and the sharpened copy exist.
Blend chooseBlend(bool haveMap, bool haveSharpened, int32_t nrMode, int32_t outputWindowMode);

/// The images a blend reads, all of the region's size: 4-byte pixels q, p (pre-reduction copy),
/// s (sharpened copy, may be null unless the blend needs it) and map (one weight per pixel, may
/// be null for EngineOnly).
struct BlendInputs {
    const uint8_t* q = nullptr;
    const uint8_t* p = nullptr;
    const uint8_t* s = nullptr;
    const uint8_t* map = nullptr;
    int32_t width = 0, height = 0;
};

/// Writes the blended region into destination: the region's place in a 24-bit picture.
void blendInto(Blend blend, const BlendInputs& in, const core::ImageView& destination);

/// A blend whose sharpened copy and map are made as it goes, a band of rows at a time, instead
/// of being read from whole-region buffers: s is sharpen run over p, map is weights run over q.
struct FusedBlendInputs {
    Blend blend = Blend::EngineOnly;
    const uint8_t* q = nullptr;
    /// The pre-reduction pixels: pBytes (3 or 4) bytes per pixel, rows pStride bytes apart (0:
    /// width * 4). With 3 they are the picture's own rows, which a run without colour steps
    /// reads instead of a copy.
    const uint8_t* p = nullptr;
    int pBytes = 4;
    std::ptrdiff_t pStride = 0;
    int32_t width = 0, height = 0;
    const engine::SharpenRows* sharpen = nullptr;    ///< prepared for p (pBytes); null without S
    const engine::EdgeWeightRows* weights = nullptr; ///< prepared for q; null without a map
    /// The region of the picture the run started from, in the filtered-noise view
    /// (amplifyDifference follows the blend on each row); empty otherwise.
    core::ConstImageView amplifySource;
};

/// Bytes of scratch blendFused needs for a region width pixels wide.
std::size_t fusedBlendScratchBytes(int32_t width);

/// blendInto (and amplifyDifference when asked) with in's sharpened rows and weights; scratch
/// holds fusedBlendScratchBytes(in.width) bytes.
void blendFused(const FusedBlendInputs& in, const core::ImageView& destination, uint8_t* scratch);

/// Turns the written region of a result picture into the filtered noise: every component
/// becomes min(255, 10 * |result - source|), with source the same region of the picture the run
/// started from (both 24-bit).
void amplifyDifference(const core::ConstImageView& source, const core::ImageView& result);

} // namespace velanox::pipeline
