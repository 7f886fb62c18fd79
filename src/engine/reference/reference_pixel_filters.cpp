// The plain filters, kept as written first: every loop visits pixels and components in order.
#include "engine/reference/reference_pixel_filters.h"
#include "engine/filter_arguments.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace velanox::engine {

namespace {

// ---- speckle filter -----------------------------------------------------------------------

// A byte plane of (width + 2) x (height + 2) with a one-pixel border that always holds 0.
struct SpecklePlanes {
    std::size_t pitch = 0;
    std::unique_ptr<unsigned char[]> a, t;
};

// One step of the speckle filter in the given sense along offset o (in plane elements).
void speckleStep(unsigned char* a, unsigned char* t, std::size_t pitch, int width, int height,
                 std::ptrdiff_t o, bool up) {
    for (int y = 1; y <= height; ++y) {
        for (int x = 1; x <= width; ++x) {
            const std::ptrdiff_t p = std::ptrdiff_t(y) * pitch + x;
            const int av = a[p], bv = a[p + o];
            if (up)
                t[p] = static_cast<unsigned char>(bv > av ? av + 1 : av);
            else
                t[p] = static_cast<unsigned char>(av >= bv + 2 ? av - 1 : av);
        }
    }
    for (int y = 1; y <= height; ++y) {
        for (int x = 1; x <= width; ++x) {
            const std::ptrdiff_t p = std::ptrdiff_t(y) * pitch + x;
            const int q = t[p], u = t[p - o], v = t[p + o];
            if (up)
                a[p] = static_cast<unsigned char>(q <= u && q < v ? q + 1 : q);
            else
                a[p] = static_cast<unsigned char>(q >= u + 2 && q > v ? q - 1 : q);
        }
    }
}

core::Status invalid(const char* reason) {
    return core::Status::failure(core::StatusCode::InvalidArgument, reason);
}

core::Status outOfMemory() {
    return core::Status::failure(core::StatusCode::OutOfMemory, "Out of memory");
}

} // namespace

core::Status sharpenFilterReference(const core::ConstImageView& sourceView,
                                    const core::ImageView& destinationView, int amount,
                                    int channelMask) {
    const unsigned char* const source = sourceView.data;
    unsigned char* const destination = destinationView.data;
    if (source == nullptr || destination == nullptr || source == destination)
        return invalid("The source and the destination must be two pictures.");
    if (!validPicture(sourceView) || !validPicture(destinationView) ||
        destinationView.width != sourceView.width || destinationView.height != sourceView.height ||
        destinationView.bytesPerPixel != sourceView.bytesPerPixel)
        return invalid("The arguments do not describe two pictures of one size.");
    const int width = sourceView.width, height = sourceView.height;
    const int bytesPerPixel = sourceView.bytesPerPixel;
    const std::ptrdiff_t sourceStride = sourceView.stride;
    const std::ptrdiff_t destinationStride = destinationView.stride;
    const int mask = usableMask(channelMask, bytesPerPixel);
    const double e = std::min(std::max(amount, 0), 100) * 0.005;
    const int bpp = bytesPerPixel;

    for (int y = 0; y < height; ++y) {
        const unsigned char* above = source + std::ptrdiff_t(std::max(y - 1, 0)) * sourceStride;
        const unsigned char* same = source + std::ptrdiff_t(y) * sourceStride;
        const unsigned char* below =
            source + std::ptrdiff_t(std::min(y + 1, height - 1)) * sourceStride;
        unsigned char* out = destination + std::ptrdiff_t(y) * destinationStride;
        for (int x = 0; x < width; ++x) {
            const int l = std::max(x - 1, 0) * bpp, c = x * bpp,
                      r = std::min(x + 1, width - 1) * bpp;
            for (int k = 0; k < bpp; ++k) {
                if ((mask & (1 << k)) == 0) continue;
                const int centre = same[c + k];
                const int neighbours = above[l + k] + above[c + k] + above[r + k] + same[l + k] +
                                       same[r + k] + below[l + k] + below[c + k] + below[r + k];
                const double value = std::trunc(centre - e * (neighbours - 8 * centre));
                out[c + k] = value <= 0.0     ? 0
                             : value >= 255.0 ? 255
                                              : static_cast<unsigned char>(value);
            }
        }
    }
    return core::Status::success();
}

core::Status speckleFilterReference(const core::ImageView& picture, int channelMask) {
    if (!validPicture(picture)) return invalid("The arguments do not describe a picture.");
    unsigned char* const pixels = picture.data;
    const int width = picture.width, height = picture.height;
    const int bytesPerPixel = picture.bytesPerPixel;
    const std::ptrdiff_t stride = picture.stride;
    const std::size_t pitch = std::size_t(width) + 2;
    const std::size_t rows = std::size_t(height) + 2;
    if (rows > SIZE_MAX / pitch) return outOfMemory();
    const std::size_t size = pitch * rows;
    std::unique_ptr<unsigned char[]> a(new (std::nothrow) unsigned char[size]);
    std::unique_ptr<unsigned char[]> t(new (std::nothrow) unsigned char[size]);
    if (!a || !t) return outOfMemory();

    const int mask = usableMask(channelMask, bytesPerPixel);
    // Directions (dx, dy): down the columns, along the rows, and both diagonals.
    const int directions[4][2] = {{0, 1}, {1, 0}, {1, 1}, {-1, 1}};
    for (int k = 0; k < bytesPerPixel; ++k) {
        if ((mask & (1 << k)) == 0) continue;
        std::fill(a.get(), a.get() + size, 0);
        std::fill(t.get(), t.get() + size, 0);
        for (int y = 0; y < height; ++y) {
            const unsigned char* row = pixels + std::ptrdiff_t(y) * stride;
            unsigned char* plane = a.get() + std::size_t(y + 1) * pitch + 1;
            for (int x = 0; x < width; ++x)
                plane[x] = row[x * bytesPerPixel + k];
        }
        for (const auto& d : directions) {
            const std::ptrdiff_t o = std::ptrdiff_t(d[1]) * std::ptrdiff_t(pitch) + d[0];
            speckleStep(a.get(), t.get(), pitch, width, height, o, true);
            speckleStep(a.get(), t.get(), pitch, width, height, -o, true);
            speckleStep(a.get(), t.get(), pitch, width, height, -o, false);
            speckleStep(a.get(), t.get(), pitch, width, height, o, false);
            std::fill(t.get(), t.get() + size, 0);
        }
        for (int y = 0; y < height; ++y) {
            unsigned char* row = pixels + std::ptrdiff_t(y) * stride;
            const unsigned char* plane = a.get() + std::size_t(y + 1) * pitch + 1;
            for (int x = 0; x < width; ++x)
                row[x * bytesPerPixel + k] = plane[x];
        }
    }
    return core::Status::success();
}

core::Status computeEdgeWeightsReference(const core::ConstImageView& picture, uint8_t* map,
                                         int edgeThreshold, float gain) {
    if (map == nullptr) return invalid("No map.");
    if (picture.bytesPerPixel < 3 || !validPicture(picture) || !picture.packed())
        return invalid("The arguments do not describe a picture of packed rows of at least 3 "
                       "bytes per pixel.");
    const unsigned char* const pixels = picture.data;
    const int width = picture.width, height = picture.height;
    const int bytesPerPixel = picture.bytesPerPixel;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    if (count > SIZE_MAX / sizeof(float)) return outOfMemory();
    std::unique_ptr<float[]> v(new (std::nothrow) float[count]);
    std::unique_ptr<unsigned char[]> grey(new (std::nothrow) unsigned char[count]);
    if (!v || !grey) return outOfMemory();

    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* px = pixels + i * bytesPerPixel;
        grey[i] = static_cast<unsigned char>((px[0] + px[1] + px[2]) / 3);
    }

    // Sobel on the grey plane; the neighbours wrap around at the borders.
    float lo = 255.0f, hi = 0.0f;
    for (int y = 0; y < height; ++y) {
        const unsigned char* above = grey.get() + std::size_t((y + height - 1) % height) * width;
        const unsigned char* same = grey.get() + std::size_t(y) * width;
        const unsigned char* below = grey.get() + std::size_t((y + 1) % height) * width;
        for (int x = 0; x < width; ++x) {
            const int l = (x + width - 1) % width, r = (x + 1) % width;
            const int gx =
                ((above[r] + 2 * same[r] + below[r]) - (above[l] + 2 * same[l] + below[l])) / 8;
            const int gy =
                ((below[l] + 2 * below[x] + below[r]) - (above[l] + 2 * above[x] + above[r])) / 8;
            const float value =
                -static_cast<float>(std::sqrt(std::sqrt(double(gx * gx + gy * gy))));
            v[std::size_t(y) * width + x] = value;
            lo = std::min(lo, value);
            hi = std::max(hi, value);
        }
    }

    const float range = hi - lo;
    if (range == 0.0f) {
        std::fill(map, map + count, 0);
        return core::Status::success();
    }
    const float flatFrom = 255.0f - static_cast<float>(edgeThreshold);
    for (std::size_t i = 0; i < count; ++i) {
        float o = std::trunc((v[i] - lo) * 255.0f / range);
        if (o > flatFrom) o = 255.0f;
        const float t = std::min((255.0f - o) * gain, 255.0f);
        // A negative or not-a-number gain must not push the weight out of a byte.
        const float weight = std::trunc(255.0f - t);
        map[i] = weight >= 255.0f ? 255 : weight > 0.0f ? static_cast<unsigned char>(weight) : 0;
    }
    return core::Status::success();
}

} // namespace velanox::engine
