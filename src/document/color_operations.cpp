// The document's colour operations: automatic levels, the colour match mode, the histogram and
// the colour-only preview, all worked out on the source picture.
#include "document/csotavo_doc.h"

#include "color/auto_levels.h"
#include "color/color_match_state.h"
#include "color/histogram.h"
#include "color/quick_color_preview.h"
#include "document/load_source.h"

namespace velanox::document {

namespace {

bool hasColorSource(const codec::Picture& source) {
    return source.hasPixels() && source.bitsPerPixel == 24;
}

// The source's pixels; an empty view without a 24-bit source.
core::ConstImageView sourceView(const codec::Picture& source) {
    if (!hasColorSource(source)) return {};
    return core::ConstImageView(source.pixels(), source.width, source.height, 3);
}

} // namespace

void CSotavoDoc::applyAutoLevels(bool blackPoint, bool whitePoint) {
    color::AutoLevels levels;
    if (hasColorSource(sourceImage)) levels = color::autoLevels(sourceView(sourceImage));
    if (blackPoint) color.tone.blackPoint = levels.black;
    if (whitePoint) color.tone.whitePoint = levels.white;
}

void CSotavoDoc::setMatchMode(color::ColorMatchState& match, int32_t mode) {
    mode = color::kMatchActiveRange.clamp(mode);
    color::MatchValues& values = color.match;
    values.matchActive = mode;
    switch (mode) {
    case 0:
        values.matchTables = color::MatchValues::identityMatchTables();
        break;
    case 1:
        values.matchTables = matchTablesToImage(match, *this);
        break;
    default:
        values.matchTables = match.buildMatchToProfile(sourceView(sourceImage));
        break;
    }
}

bool CSotavoDoc::computeHistogram() {
    if (!hasColorSource(sourceImage)) return false;
    return color::computeHistogram(sourceView(sourceImage), color, display.histogramBars);
}

bool CSotavoDoc::makeQuickColorPreview() {
    if (processing.calculating || !hasColorSource(sourceImage)) return false;
    return color::quickColorPreview(sourceView(sourceImage), display.detailRect, color,
                                    quickPreview);
}

} // namespace velanox::document
