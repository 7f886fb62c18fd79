#include "document/crop_rotate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace velanox::document {

double cropAspectRatio(int32_t aspect, int32_t width, int32_t height) {
    switch (aspect) {
    case 0:
        return 1.0;
    case 1:
        return 3.0;
    case 2:
        return 1.5;
    case 3:
        return 4.0 / 3.0;
    case 4:
        return 22.0 / 17.0;
    case 5:
        return 28.0 / 17.0;
    case 6:
        return 47.0 / 33.0;
    case 7:
        return 16.0 / 9.0;
    case 8:
        if (width <= 0 || height <= 0) return 1.0;
        return width >= height ? double(width) / height : double(height) / width;
    default:
        return 1.5;
    }
}

core::Rect computeCropRect(CropState& state, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return {};
    const double w = width, h = height;
    // A zoom outside 1..3 (never set by the commands) would make the window larger than the
    // image; it is taken as the nearest end.
    const double z = std::isnan(state.cropZoom) ? 1.0 : kCropZoomRange.clamp(state.cropZoom);
    const double r = cropAspectRatio(state.cropAspect, width, height);

    const bool imageLandscape = width >= height;
    const bool windowLandscape = imageLandscape == (state.cropSwap == 0);
    double cw = 0, ch = 0;
    if (windowLandscape) {
        cw = std::floor(w / z + 0.5);
        ch = std::floor(cw / r + 0.5);
        if (ch > h) {
            ch = std::floor(h / z + 0.5);
            cw = std::floor(ch * r + 0.5);
        }
    } else {
        ch = std::floor(h / z + 0.5);
        cw = std::floor(ch / r + 0.5);
        if (cw > w) {
            cw = std::floor(w / z + 0.5);
            ch = std::floor(cw * r + 0.5);
        }
    }
    const int32_t icw = int32_t(cw), ich = int32_t(ch);

    int64_t x = std::max(state.cropOffsetX, 0), y = std::max(state.cropOffsetY, 0);
    if (x + icw > width) x = width - icw;
    if (y + ich > height) y = height - ich;
    // Rounding can make the window a pixel larger than the image; it then starts at the edge.
    x = std::max<int64_t>(x, 0);
    y = std::max<int64_t>(y, 0);
    state.cropOffsetX = int32_t(x);
    state.cropOffsetY = int32_t(y);
    return {state.cropOffsetX, state.cropOffsetY, state.cropOffsetX + icw, state.cropOffsetY + ich};
}

std::string cropInfoText(const core::Rect& rect) {
    char text[64];
    std::snprintf(text, sizeof text, "Crop Image: %d x %d", rect.width(), rect.height());
    return text;
}

const char* cropSwapCaption(int32_t width, int32_t height) {
    return width >= height ? kCropLandscapeToPortrait : kCropPortraitToLandscape;
}

bool canZoomIn(const CropState& state) {
    return state.cropMode && state.cropZoom < 3.0;
}
bool canZoomOut(const CropState& state) {
    return state.cropMode && state.cropZoom > 1.0;
}

bool zoomIn(CropState& state) {
    if (!state.cropMode) return false;
    const double before = state.cropZoom;
    state.cropZoom += kCropZoomStep;
    if (state.cropZoom > kCropZoomRange.maximum) state.cropZoom = kCropZoomRange.maximum;
    if (state.cropZoom != before) state.windowChanged = true;
    return true;
}

bool zoomOut(CropState& state) {
    if (!state.cropMode) return false;
    const double before = state.cropZoom;
    state.cropZoom -= kCropZoomStep;
    if (state.cropZoom < kCropZoomRange.minimum) state.cropZoom = kCropZoomRange.minimum;
    if (state.cropZoom != before) state.windowChanged = true;
    return true;
}

bool wheelZoom(CropState& state, int delta, bool middleButtonHeld) {
    if (!state.cropMode) return false;
    if (middleButtonHeld) {
        if (state.cropZoom != 1.0) state.windowChanged = true;
        state.cropZoom = 1.0;
        return true;
    }
    if (delta > 0) return zoomIn(state);
    if (delta < 0) return zoomOut(state);
    return false;
}

int enlargePositionFromZoom(double cropZoom) {
    return int((cropZoom - 1) * 50);
}
double zoomFromEnlargePosition(int position) {
    return position * 0.02 + 1;
}

namespace {

/// Bytes per pixel of a picture whose rows the crop and rotation can copy pixel by pixel.
int pixelSize(const codec::Picture& picture) {
    if (!picture.hasPixels() || picture.bitsPerPixel < 8 || picture.bitsPerPixel % 8 != 0) return 0;
    return picture.bitsPerPixel / 8;
}

/// Makes cut or turned pixels the picture's, with its palette; the picture stays the file's
/// picture (its file information and write options stay).
void replacePixels(codec::Picture& picture, image::PixelBuffer& result) {
    result.paletteSize = picture.paletteSize;
    result.palette = picture.palette;
    picture.replacePixels(result);
}

core::Status unsupportedPicture() {
    return core::Status::failure(core::StatusCode::NoReader,
                                 "There is no picture, or its pixels are packed bits.");
}

} // namespace

core::Status buildCropDisplayImage(const codec::Picture& source,
                                   const color::ColorSettings& settings, codec::Picture& display) {
    if (!source.hasPixels() || source.bitsPerPixel != 24)
        return core::Status::failure(core::StatusCode::NoReader, "There is no 24-bit picture.");
    const int32_t width = source.width, height = source.height;
    codec::Picture built;
    if (core::Status s = built.allocate(width, height, 32); !s.ok()) return s;

    const color::ColorPass pass(settings, int64_t(source.width) * source.height);
    const std::size_t sourceRow = source.rowBytes(), displayRow = built.rowBytes();
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* s = source.pixels() + std::size_t(y) * sourceRow;
        uint8_t* d = built.pixels() + std::size_t(height - 1 - y) * displayRow;
        for (int32_t x = 0; x < width; ++x, s += 3) {
            d[std::size_t(x) * 4 + 0] = s[2];
            d[std::size_t(x) * 4 + 1] = s[1];
            d[std::size_t(x) * 4 + 2] = s[0];
            // The view draws these rows as opaque 32-bit pixels.
            d[std::size_t(x) * 4 + 3] = 255;
        }
        if (pass.active()) pass.applyRow(d, width, 4, color::ChannelOrder::Bgr);
    }
    display.takeFrom(built);
    return core::Status::success();
}

core::Status cropImage(codec::Picture& picture, const core::Rect& rect) {
    const int32_t width = rect.width(), height = rect.height();
    if (width <= 0 || height <= 0) return core::Status::success();
    const int bpp = pixelSize(picture);
    if (bpp == 0) return unsupportedPicture();
    image::PixelBuffer result;
    if (core::Status s = result.allocate(width, height, picture.bitsPerPixel); !s.ok()) return s;
    std::memset(result.pixels(), 0, result.pixelBytes());

    // The part of rect inside the picture is copied row by row; the rest stays black.
    const int32_t x0 = std::clamp(rect.left, 0, picture.width);
    const int32_t x1 = std::clamp(rect.right, 0, picture.width);
    const int32_t y0 = std::clamp(rect.top, 0, picture.height);
    const int32_t y1 = std::clamp(rect.bottom, 0, picture.height);
    if (x1 > x0) {
        const std::size_t bytes = std::size_t(x1 - x0) * std::size_t(bpp);
        for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* s = picture.pixels() + std::size_t(y) * picture.rowBytes() +
                               std::size_t(x0) * std::size_t(bpp);
            uint8_t* d = result.pixels() + std::size_t(y - rect.top) * result.rowBytes() +
                         std::size_t(x0 - rect.left) * std::size_t(bpp);
            std::memcpy(d, s, bytes);
        }
    }
    replacePixels(picture, result);
    return core::Status::success();
}

core::Status rotateImage(codec::Picture& picture, RotateDirection direction) {
    const int bpp = pixelSize(picture);
    if (bpp == 0) return unsupportedPicture();
    const int32_t w = picture.width, h = picture.height;
    image::PixelBuffer result;
    if (core::Status s = result.allocate(h, w, picture.bitsPerPixel); !s.ok()) return s;

    const std::size_t sourceRow = picture.rowBytes(), resultRow = result.rowBytes();
    const bool clockwise = direction == RotateDirection::Clockwise;
    // Tiles keep both the rows read and the rows written in cache.
    constexpr int32_t kTile = 64;
    for (int32_t ty = 0; ty < h; ty += kTile) {
        for (int32_t tx = 0; tx < w; tx += kTile) {
            const int32_t yEnd = std::min(ty + kTile, h), xEnd = std::min(tx + kTile, w);
            for (int32_t y = ty; y < yEnd; ++y) {
                const uint8_t* s = picture.pixels() + std::size_t(y) * sourceRow;
                for (int32_t x = tx; x < xEnd; ++x) {
                    // Clockwise, source (x, y) lands at (h - 1 - y, x); counter-clockwise at
                    // (y, w - 1 - x).
                    const int32_t rx = clockwise ? h - 1 - y : y;
                    const int32_t ry = clockwise ? x : w - 1 - x;
                    std::memcpy(result.pixels() + std::size_t(ry) * resultRow +
                                    std::size_t(rx) * std::size_t(bpp),
                                s + std::size_t(x) * std::size_t(bpp), std::size_t(bpp));
                }
            }
        }
    }
    replacePixels(picture, result);
    return core::Status::success();
}

core::Status enterCropMode(CropState& state, bool resetView, const codec::Picture& source,
                           const color::ColorSettings& settings, codec::Picture& display) {
    codec::Picture built;
    if (core::Status s = buildCropDisplayImage(source, settings, built); !s.ok()) return s;
    if (resetView) {
        state.cropZoom = 1.0;
        state.cropOffsetX = 0;
        state.cropOffsetY = 0;
    }
    // A new visit, or a view made neutral again, starts untouched.
    if (resetView || !state.cropMode) state.windowChanged = false;
    state.cropMode = true;
    display.takeFrom(built);
    return core::Status::success();
}

LeaveCropOutcome leaveCropMode(CropState& state, bool askFirst, codec::Picture& source,
                               codec::Picture& display, const CropQuestion& ask) {
    LeaveCropOutcome outcome;
    bool apply = false;
    if (!state.cropMode) {
        if (!askFirst) return outcome;
    } else if (!askFirst) {
        apply = true;
    } else if (!state.windowChanged) {
        apply = false; // a window the person never touched is left as it is, without a question
    } else if (CropState trial = state; computeCropRect(trial, source.width, source.height) ==
                                        core::Rect{0, 0, source.width, source.height}) {
        apply = true; // the window covers the whole picture: cutting changes nothing
    } else {
        const CropAnswer answer = ask ? ask(kApplyCropQuestion) : CropAnswer::Cancel;
        if (answer == CropAnswer::Cancel) {
            outcome.cancelled = true;
            return outcome;
        }
        apply = answer == CropAnswer::Yes;
    }

    if (apply) {
        CropState trial = state;
        const core::Rect rect = computeCropRect(trial, source.width, source.height);
        if (core::Status s = cropImage(source, rect); !s.ok() && source.hasPixels()) {
            outcome.status = std::move(s);
            return outcome;
        }
        state = trial;
        state.cropSwap = 0;
        outcome.cropped = rect.width() > 0 && rect.height() > 0 && source.hasPixels();
    }
    state.cropZoom = 1.0;
    state.cropOffsetX = 0;
    state.cropOffsetY = 0;
    state.cropMode = false;
    state.windowChanged = false;
    display.release();
    outcome.left = true;
    return outcome;
}

} // namespace velanox::document
