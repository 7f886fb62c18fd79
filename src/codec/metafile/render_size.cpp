#include "codec/metafile/metafile_codec.h"

#include <algorithm>
#include <cmath>

namespace velanox::codec::metafile {

RenderSize renderSizeForInches(double widthInches, double heightInches) {
    if (!std::isfinite(widthInches) || !std::isfinite(heightInches) || widthInches <= 0 ||
        heightInches <= 0)
        return {};
    double w = widthInches * kMetafileDpi, h = heightInches * kMetafileDpi;
    // Large pictures shrink to fit, small ones grow, both keeping their shape; a picture too
    // thin for both limits keeps the larger limit and gets the smaller one on its short side.
    const double shrink = std::min(1.0, kMetafileMaxSide / std::max(w, h));
    w *= shrink;
    h *= shrink;
    const double grow = std::max(1.0, kMetafileMinSide / std::min(w, h));
    w *= grow;
    h *= grow;
    auto side = [](double v) {
        return int(std::clamp(std::lround(v), long(kMetafileMinSide), long(kMetafileMaxSide)));
    };
    return {side(w), side(h)};
}

} // namespace velanox::codec::metafile
