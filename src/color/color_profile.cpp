#include "color/color_profile.h"

#include "files/file_io.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace velanox::color {

namespace {

using core::Status;

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

void putU64(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

bool thumbnailSizeOk(int64_t w, int64_t h) {
    return w >= 0 && w <= kProfileThumbnailMaxWidth && h >= 0 && h <= kProfileThumbnailMaxHeight;
}

/// Reads little-endian fields, remembering whether the data ran out.
class Reader {
public:
    explicit Reader(core::ByteSpan bytes) : m_bytes(bytes) {}

    bool need(uint64_t n) const { return n <= m_bytes.size - m_pos; }
    uint64_t get(int size) {
        if (!need(uint64_t(size))) {
            m_short = true;
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < size; ++i)
            v |= uint64_t(m_bytes.data[m_pos + std::size_t(i)]) << (8 * i);
        m_pos += std::size_t(size);
        return v;
    }
    bool skip(uint64_t n) {
        if (!need(n)) {
            m_short = true;
            return false;
        }
        m_pos += std::size_t(n);
        return true;
    }
    const uint8_t* here() const { return m_bytes.data + m_pos; }
    bool ranShort() const { return m_short; }

private:
    core::ByteSpan m_bytes;
    std::size_t m_pos = 0;
    bool m_short = false;
};

/// Skips the string field: a length byte below 255 with that many bytes; 255 and a 16-bit
/// length; 0xFFFE there marks a wide string whose length follows again from a length byte (two
/// bytes a character); 0xFFFF is followed by a 32-bit length.
bool skipStringField(Reader& in) {
    uint64_t charSize = 1;
    uint64_t length = in.get(1);
    if (length == 0xFF) {
        length = in.get(2);
        if (length == 0xFFFE) {
            charSize = 2;
            length = in.get(1);
            if (length == 0xFF)
                length = in.get(2);
            else
                return !in.ranShort() && in.skip(length * charSize);
        }
        if (length == 0xFFFF) length = in.get(4);
    }
    return !in.ranShort() && in.skip(length * charSize);
}

/// Every entry a share of pixels: a finite number within 0..1. The sums of
/// computeColorStatistics may pass 1 by a rounding error, which is allowed for.
bool statisticsAreDistributions(const ColorStatistics& statistics) {
    constexpr double kSlack = 1e-9;
    for (std::size_t c = 0; c < 3; ++c)
        for (std::size_t k = 0; k < 256; ++k) {
            const double v = statistics[c][k];
            if (!std::isfinite(v) || v < 0 || v > 1 + kSlack) return false;
        }
    return true;
}

} // namespace

Status encodeProfile(const ColorProfile& profile, std::vector<uint8_t>& out) {
    const int64_t w = profile.thumbnailWidth, h = profile.thumbnailHeight;
    if (!thumbnailSizeOk(w, h) || profile.thumbnail.size() != std::size_t(w * h * 3))
        return Status::failure(core::StatusCode::Corrupt,
                               "The profile's thumbnail is not 170 x 100 "
                               "pixels or smaller.");
    out.clear();
    out.reserve(std::size_t(13 + w * h * 3 + 256 * 24 + 4));
    putU32(out, kProfileTag);
    out.push_back(0); // the string field, empty
    putU32(out, uint32_t(profile.thumbnailWidth));
    putU32(out, uint32_t(profile.thumbnailHeight));
    out.insert(out.end(), profile.thumbnail.begin(), profile.thumbnail.end());
    for (std::size_t k = 0; k < 256; ++k)
        for (std::size_t c = 0; c < 3; ++c)
            putU64(out, std::bit_cast<uint64_t>(profile.statistics[c][k]));
    putU32(out, uint32_t(kProfileEndMark));
    return Status::success();
}

Status decodeProfile(core::ByteSpan bytes, ColorProfile& out) {
    const Status truncated = Status::failure(core::StatusCode::Corrupt,
                                             "The profile file is shorter than its contents.");
    if (bytes.data == nullptr && bytes.size != 0) return truncated;
    Reader in(bytes);
    in.get(4); // the tag: its value is not checked
    if (!skipStringField(in)) return truncated;
    const int32_t w = int32_t(uint32_t(in.get(4)));
    const int32_t h = int32_t(uint32_t(in.get(4)));
    if (in.ranShort()) return truncated;
    if (!thumbnailSizeOk(w, h))
        return Status::failure(core::StatusCode::Corrupt,
                               "The profile's thumbnail size " + std::to_string(w) + " x " +
                                   std::to_string(h) + " is not 0..170 x 0..100.");
    const std::size_t thumbBytes = std::size_t(w) * std::size_t(h) * 3;
    if (!in.need(thumbBytes + 256 * 24 + 4)) return truncated;

    ColorProfile profile;
    profile.thumbnailWidth = w;
    profile.thumbnailHeight = h;
    profile.thumbnail.assign(in.here(), in.here() + thumbBytes);
    in.skip(thumbBytes);
    for (std::size_t k = 0; k < 256; ++k)
        for (std::size_t c = 0; c < 3; ++c)
            profile.statistics[c][k] = std::bit_cast<double>(in.get(8));
    in.get(4); // the end mark: its value is not checked
    if (in.ranShort()) return truncated;
    if (!statisticsAreDistributions(profile.statistics))
        return Status::failure(core::StatusCode::Corrupt,
                               "The profile's colour statistics are not distributions.");
    out = std::move(profile);
    return Status::success();
}

Status writeProfileFile(const std::string& path, const ColorProfile& profile) {
    if (path.empty())
        return Status::failure(core::StatusCode::EmptyPath, "No file name was given.");
    std::vector<uint8_t> bytes;
    if (Status s = encodeProfile(profile, bytes); !s.ok()) return s;
    // A link planted at the profile's name is replaced, never written through.
    if (!files::writeFileAtomically(path, bytes, files::LinkAtTarget::Replace).ok())
        return Status::failure(core::StatusCode::WriteFailed,
                               "The profile file could not be written.");
    return Status::success();
}

Status readProfileFile(const std::string& path, ColorProfile& out) {
    if (path.empty())
        return Status::failure(core::StatusCode::EmptyPath, "No file name was given.");
    std::vector<uint8_t> bytes;
    if (Status s = files::readWholeFile(path, bytes, kProfileMaxFileBytes); !s.ok()) {
        if (s.code == core::StatusCode::TooLarge)
            return Status::failure(core::StatusCode::TooLarge, "The profile file is too large.");
        return Status::failure(core::StatusCode::CannotOpen,
                               "The profile file could not be opened.");
    }
    return decodeProfile(core::ByteSpan{bytes.data(), bytes.size()}, out);
}

} // namespace velanox::color
