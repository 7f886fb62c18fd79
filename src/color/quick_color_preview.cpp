#include "color/quick_color_preview.h"

#include <algorithm>
#include <cstring>

namespace velanox::color {

bool quickColorPreview(const core::ConstImageView& source, core::Rect rect,
                       const ColorSettings& settings, image::PixelBuffer& preview) {
    if (!isColorPicture(source) || source.bytesPerPixel != 3) return false;
    rect.right = std::clamp(rect.right, 0, source.width);
    rect.left = std::clamp(rect.left, 0, source.width);
    rect.bottom = std::clamp(rect.bottom, 0, source.height);
    rect.top = std::clamp(rect.top, 0, source.height);
    const int width = rect.width(), height = rect.height();
    if (width <= 0 || height <= 0) {
        preview.release();
        return false;
    }
    if (preview.width != width || preview.height != height || preview.bitsPerPixel != 24)
        preview.release();
    if (!preview.hasPixels() && !preview.allocate(width, height, 24).ok()) return false;

    const std::size_t rowBytes = std::size_t(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(preview.row(y), source.pixel(rect.left, rect.top + y), rowBytes);
    applyColorSteps(settings, preview.view());
    return true;
}

} // namespace velanox::color
