// Little-endian reads from a bounded byte range: every access is checked against the range and
// yields 0 outside it, so record handlers check sizes once and never read past the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace velanox::codec::metafile {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::size_t size() const { return m_size; }
    const uint8_t* data() const { return m_data; }

    /// True when bytes [offset, offset + count) lie inside the range (no overflow).
    bool has(std::size_t offset, std::size_t count) const {
        return offset <= m_size && count <= m_size - offset;
    }
    /// True when count elements of elementSize bytes from offset lie inside the range.
    bool hasArray(std::size_t offset, uint64_t count, std::size_t elementSize) const {
        if (offset > m_size || elementSize == 0) return false;
        return count <= (m_size - offset) / elementSize;
    }

    uint8_t u8(std::size_t o) const { return has(o, 1) ? m_data[o] : 0; }
    uint16_t u16(std::size_t o) const {
        return has(o, 2) ? uint16_t(m_data[o] | m_data[o + 1] << 8) : 0;
    }
    int16_t i16(std::size_t o) const { return int16_t(u16(o)); }
    uint32_t u32(std::size_t o) const {
        if (!has(o, 4)) return 0;
        return uint32_t(m_data[o]) | uint32_t(m_data[o + 1]) << 8 | uint32_t(m_data[o + 2]) << 16 |
               uint32_t(m_data[o + 3]) << 24;
    }
    int32_t i32(std::size_t o) const { return int32_t(u32(o)); }
    float f32(std::size_t o) const {
        const uint32_t bits = u32(o);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

    /// The sub-range [offset, offset + count), empty when it does not lie inside.
    ByteReader sub(std::size_t offset, std::size_t count) const {
        return has(offset, count) ? ByteReader(m_data + offset, count) : ByteReader();
    }

private:
    const uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

/// Appends little-endian values to a byte vector (the writers' side).
template <class Vec> void put16(Vec& v, uint32_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
template <class Vec> void put32(Vec& v, uint32_t x) {
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}

} // namespace velanox::codec::metafile
