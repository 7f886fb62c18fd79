// The plain per-pixel passes, kept as written first: one pixel and one component at a time.
#include "pipeline/reference/reference_pixel_passes.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace velanox::pipeline {

void copyRegionInReference(const core::ConstImageView& picture, core::Rect region,
                           const core::ImageView& work) {
    for (int32_t y = 0; y < work.height; ++y) {
        const uint8_t* src = picture.pixel(region.left, region.top + y);
        uint8_t* dst = work.row(y);
        for (int32_t x = 0; x < work.width; ++x, src += 3, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst[3] = 255;
        }
    }
}

void copyTileOutReference(const core::ConstImageView& work, core::Rect tile,
                          const core::ImageView& tilePixels) {
    for (int32_t y = tile.top; y < tile.bottom; ++y) {
        const uint8_t* src = work.pixel(tile.left, y);
        uint8_t* dst = tilePixels.row(y - tile.top);
        for (int32_t x = tile.left; x < tile.right; ++x, src += 4, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst[3] = 255;
        }
    }
}

void copyTileBackReference(const core::ConstImageView& tilePixels, core::Rect tile,
                           const core::ImageView& work) {
    for (int32_t y = tile.top; y < tile.bottom; ++y) {
        const uint8_t* src = tilePixels.row(y - tile.top);
        uint8_t* dst = work.pixel(tile.left, y);
        for (int32_t x = tile.left; x < tile.right; ++x, src += 4, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
}

void blendIntoReference(Blend blend, const BlendInputs& in, const core::ImageView& destination) {
    for (int32_t y = 0; y < in.height; ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(in.width);
        const uint8_t* q = in.q + row * 4;
        const uint8_t* p = in.p + row * 4;
        const uint8_t* s = in.s != nullptr ? in.s + row * 4 : nullptr;
        const uint8_t* m = in.map != nullptr ? in.map + row : nullptr;
        uint8_t* out = destination.row(y);
        for (int32_t x = 0; x < in.width; ++x, q += 4, p += 4, out += 3) {
            switch (blend) {
            case Blend::EngineOnly:
                out[0] = q[0];
                out[1] = q[1];
                out[2] = q[2];
                break;
            case Blend::HighlightEdges:
                out[0] = uint8_t(255 - m[x]);
                out[1] = uint8_t(q[1] >> 2);
                out[2] = uint8_t(q[2] >> 2);
                break;
            case Blend::PreNr: {
                const int w = m[x];
                for (int k = 0; k < 3; ++k)
                    out[k] = uint8_t((q[k] * w + p[k] * (255 - w)) >> 8);
                break;
            }
            case Blend::Sharpened: {
                const int w = m[x];
                const uint8_t* sp = s + std::size_t(x) * 4;
                for (int k = 0; k < 3; ++k)
                    out[k] = uint8_t((q[k] * w + sp[k] * (255 - w)) >> 8);
                break;
            }
            case Blend::Portrait: {
                const int w = m[x];
                const uint8_t* sp = s + std::size_t(x) * 4;
                // Bright, reddish pixels keep more of the unreduced texture.
                const int a = int(255.0 - (0.26 * q[2] + 0.44 * q[0] + 0.3 * q[1]));
                for (int k = 0; k < 3; ++k) {
                    const int t = (a * q[k] + (255 - a) * p[k]) >> 8;
                    out[k] = uint8_t((t * w + (255 - w) * sp[k]) >> 8);
                }
                break;
            }
            }
        }
    }
}

void amplifyDifferenceReference(const core::ConstImageView& source, const core::ImageView& result) {
    for (int32_t y = 0; y < result.height; ++y) {
        const uint8_t* in = source.row(y);
        uint8_t* out = result.row(y);
        for (std::size_t i = 0; i < result.rowBytes(); ++i)
            out[i] = uint8_t(std::min(255, 10 * std::abs(int(out[i]) - int(in[i]))));
    }
}

} // namespace velanox::pipeline
