// How a processing run recolours its working copy before noise reduction. The pipeline decides
// which steps run and in which order (colour match, tone, boost); the operations themselves are
// plugged in by whoever owns the colour code, so this layer keeps no copy of them.
#pragma once

#include "pipeline/colour_settings.h"

#include <cstdint>

namespace velanox {

/// The three colour steps on 4-byte pixels (bytes 0..2 red, green, blue; byte 3 left alone),
/// rows packed 4 * width bytes apart. Every step is called only when the settings make it
/// active; the default implementations leave the pixels as they are.
class ColourSteps {
public:
    virtual ~ColourSteps() = default;

    /// Called when settings.matchOn().
    virtual void matchColours(const ColourSettings& settings, uint8_t* pixels, int32_t width,
                              int32_t height) const;
    /// Called when settings.toneActive().
    virtual void applyTone(const ColourSettings& settings, uint8_t* pixels, int32_t width,
                           int32_t height) const;
    /// Called when settings.boostActive().
    virtual void boostColours(const ColourSettings& settings, uint8_t* pixels, int32_t width,
                              int32_t height) const;
};

/// Steps that change nothing; used until the colour operations are plugged in.
const ColourSteps& identityColourSteps();

/// Applies the active steps in their fixed order.
void applyColourSteps(const ColourSteps& steps, const ColourSettings& settings, uint8_t* pixels,
                      int32_t width, int32_t height);

} // namespace velanox
