#include "pipeline/colour_steps.h"

namespace velanox {

void ColourSteps::matchColours(const ColourSettings&, uint8_t*, int32_t, int32_t) const {}
void ColourSteps::applyTone(const ColourSettings&, uint8_t*, int32_t, int32_t) const {}
void ColourSteps::boostColours(const ColourSettings&, uint8_t*, int32_t, int32_t) const {}

const ColourSteps& identityColourSteps() {
    static const ColourSteps steps;
    return steps;
}

void applyColourSteps(const ColourSteps& steps, const ColourSettings& settings, uint8_t* pixels,
                      int32_t width, int32_t height) {
    if (settings.matchOn()) steps.matchColours(settings, pixels, width, height);
    if (settings.toneActive()) steps.applyTone(settings, pixels, width, height);
    if (settings.boostActive()) steps.boostColours(settings, pixels, width, height);
}

} // namespace velanox
