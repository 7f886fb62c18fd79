// The detail rectangle: the area the pipeline processes while the user looks at details.
#include "document/csotavo_doc.h"

namespace velanox::document {

void CSotavoDoc::setDetailRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const int32_t w = sourceImage.width, h = sourceImage.height;
    // Computed in 64 bits: the rectangle comes from scroll positions and window sizes.
    int64_t l = left, t = top, r = right, b = bottom;
    if (r > w) {
        l = int64_t(w) - (r - l);
        r = w;
    }
    if (b > h) {
        t = int64_t(h) - (b - t);
        b = h;
    }
    if (l < 0) l = 0;
    if (t < 0) t = 0;
    display.detailRect = core::Rect{int32_t(l), int32_t(t), int32_t(r), int32_t(b)};
}

} // namespace velanox::document
