#include "color/color_transform.h"

#include <algorithm>
#include <cstring>
#include <lcms2.h>

namespace velanox::color {
namespace {

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using ProfileHandle = std::unique_ptr<void, ProfileCloser>;

ProfileHandle openProfile(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return ProfileHandle(cmsCreate_sRGBProfile());
    return ProfileHandle(cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size())));
}

cmsUInt32Number lcmsFormat(PixelLayout layout) {
    return layout == PixelLayout::Rgb ? TYPE_RGB_8 : TYPE_BGRA_8;
}

// A transform between two RGB profiles, or null when either cannot be read or is not RGB. The
// fourth byte of a BGRx pixel is copied through.
cmsHTRANSFORM makeTransform(std::span<const uint8_t> from, std::span<const uint8_t> to,
                            PixelLayout layout) {
    ProfileHandle input = openProfile(from), output = openProfile(to);
    if (!input || !output || cmsGetColorSpace(input.get()) != cmsSigRgbData ||
        cmsGetColorSpace(output.get()) != cmsSigRgbData)
        return nullptr;
    const cmsUInt32Number format = lcmsFormat(layout);
    cmsUInt32Number flags = cmsFLAGS_NOCACHE; // shared between threads
    if (layout == PixelLayout::Bgrx) flags |= cmsFLAGS_COPY_ALPHA;
    return cmsCreateTransform(input.get(), format, output.get(), format, INTENT_PERCEPTUAL, flags);
}

void run(cmsHTRANSFORM transform, PixelLayout layout, uint8_t* pixels, int width, int height,
         std::size_t stride) {
    const std::size_t bytes = layout == PixelLayout::Rgb ? 3 : 4;
    if (stride == std::size_t(width) * bytes && std::size_t(width) * height < (1u << 30)) {
        cmsDoTransform(transform, pixels, pixels, cmsUInt32Number(width) * cmsUInt32Number(height));
        return;
    }
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pixels + std::size_t(y) * stride;
        cmsDoTransform(transform, row, row, cmsUInt32Number(width));
    }
}

bool sameBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

} // namespace

bool profilesDiffer(std::span<const uint8_t> from, std::span<const uint8_t> to) {
    return !sameBytes(from, to);
}

struct ColorTransformCache::Entry {
    std::vector<uint8_t> from, to;
    PixelLayout layout;
    cmsHTRANSFORM transform = nullptr; // null: the pair cannot be converted
    ~Entry() {
        if (transform) cmsDeleteTransform(transform);
    }
};

ColorTransformCache::ColorTransformCache(std::size_t capacity)
    : m_capacity(std::max<std::size_t>(capacity, 1)) {}

ColorTransformCache::~ColorTransformCache() = default;

std::size_t ColorTransformCache::made() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_made;
}

std::shared_ptr<ColorTransformCache::Entry> ColorTransformCache::find(std::span<const uint8_t> from,
                                                                      std::span<const uint8_t> to,
                                                                      PixelLayout layout) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        const Entry& e = **it;
        if (e.layout == layout && sameBytes(e.from, from) && sameBytes(e.to, to)) {
            m_entries.splice(m_entries.begin(), m_entries, it);
            return m_entries.front();
        }
    }
    auto entry = std::make_shared<Entry>();
    entry->from.assign(from.begin(), from.end());
    entry->to.assign(to.begin(), to.end());
    entry->layout = layout;
    entry->transform = makeTransform(from, to, layout);
    ++m_made;
    m_entries.push_front(entry);
    if (m_entries.size() > m_capacity) m_entries.pop_back();
    return entry;
}

bool ColorTransformCache::convert(std::span<const uint8_t> from, std::span<const uint8_t> to,
                                  PixelLayout layout, uint8_t* pixels, int width, int height,
                                  std::size_t stride) {
    if (!pixels || width <= 0 || height <= 0 || !profilesDiffer(from, to)) return false;
    // The entry stays alive while it is used, even if another thread pushes it out meanwhile.
    const std::shared_ptr<Entry> entry = find(from, to, layout);
    if (!entry->transform) return false;
    run(entry->transform, layout, pixels, width, height, stride);
    return true;
}

bool convertRgbBetweenProfiles(std::span<const uint8_t> from, std::span<const uint8_t> to,
                               uint8_t* pixels, int width, int height, std::size_t stride) {
    if (!pixels || width <= 0 || height <= 0 || !profilesDiffer(from, to)) return false;
    cmsHTRANSFORM transform = makeTransform(from, to, PixelLayout::Rgb);
    if (!transform) return false;
    run(transform, PixelLayout::Rgb, pixels, width, height, stride);
    cmsDeleteTransform(transform);
    return true;
}

} // namespace velanox::color
