// Rect: a rectangle of pixels, the one every layer uses (processing regions, crops, the detail
// and visible areas of the view).
#pragma once

#include <algorithm>
#include <cstdint>

namespace velanox::core {

/// left and top inside, right and bottom just outside.
struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

/// Limits a rectangle to a picture of width x height: left and right to at most width, top and
/// bottom to at most height, and then any negative value to 0. The result may be empty (a
/// minimised window, a rectangle wholly outside the picture).
inline Rect clipToImage(Rect r, int32_t width, int32_t height) {
    r.left = std::max(std::min(r.left, width), 0);
    r.right = std::max(std::min(r.right, width), 0);
    r.top = std::max(std::min(r.top, height), 0);
    r.bottom = std::max(std::min(r.bottom, height), 0);
    return r;
}

} // namespace velanox::core
