#include "codec/magick/psd_indexed_reader.h"

#include <cstring>

namespace velanox::codec::magick {

namespace {

// Big-endian reads within a span; every read checks the remaining length first.
class Reader {
public:
    explicit Reader(ByteSpan bytes) : m_bytes(bytes) {}
    bool has(std::size_t n) const { return n <= m_bytes.size - m_pos; }
    std::size_t position() const { return m_pos; }
    const uint8_t* here() const { return m_bytes.data + m_pos; }
    bool skip(std::size_t n) {
        if (!has(n)) return false;
        m_pos += n;
        return true;
    }
    bool u16(uint32_t& v) {
        if (!has(2)) return false;
        v = uint32_t(here()[0]) << 8 | here()[1];
        m_pos += 2;
        return true;
    }
    bool u32(uint32_t& v) {
        if (!has(4)) return false;
        const uint8_t* p = here();
        v = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        m_pos += 4;
        return true;
    }

private:
    ByteSpan m_bytes;
    std::size_t m_pos = 0;
};

Status corrupt(const char* what) {
    return Status::failure(StatusCode::Corrupt, std::string("Photoshop file: ") + what);
}

// PackBits: a count byte n, then n + 1 literal bytes (n < 128) or one byte repeated 257 - n
// times (n > 128); 128 is a no-op.
bool unpackBits(const uint8_t* in, std::size_t inSize, uint8_t* out, std::size_t outSize) {
    std::size_t i = 0, o = 0;
    while (o < outSize && i < inSize) {
        const uint8_t n = in[i++];
        if (n < 128) {
            const std::size_t count = std::size_t(n) + 1;
            if (count > inSize - i || count > outSize - o) return false;
            std::memcpy(out + o, in + i, count);
            i += count;
            o += count;
        } else if (n > 128) {
            const std::size_t count = 257 - std::size_t(n);
            if (i >= inSize || count > outSize - o) return false;
            std::memset(out + o, in[i++], count);
            o += count;
        }
    }
    return o == outSize;
}

} // namespace

Status readIndexedPsd(ByteSpan bytes, Picture& out, const Limits& limits) {
    out.release();
    Reader in(bytes);
    uint32_t version = 0, channels = 0, rows = 0, columns = 0, depth = 0, mode = 0;
    if (!in.has(26) || std::memcmp(in.here(), "8BPS", 4) != 0) return corrupt("no signature.");
    in.skip(4);
    in.u16(version);
    in.skip(6);
    in.u16(channels);
    in.u32(rows);
    in.u32(columns);
    in.u16(depth);
    in.u16(mode);
    if (version != 1 || mode != 2 || depth != 8)
        return Status::failure(StatusCode::Unsupported,
                               "Photoshop file: only 8-bit indexed files of version 1 are read.");
    if (channels < 1 || channels > 56) return corrupt("impossible channel count.");
    if (Status s = checkSize(columns, rows, limits); !s.ok()) return s;

    uint32_t length = 0;
    if (!in.u32(length) || length < 768 || !in.has(length)) return corrupt("no colour table.");
    std::array<PaletteEntry, 256> palette{};
    for (int i = 0; i < 256; ++i) {
        palette[i].red = in.here()[i];
        palette[i].green = in.here()[256 + i];
        palette[i].blue = in.here()[512 + i];
    }
    in.skip(length);
    if (!in.u32(length) || !in.skip(length)) return corrupt("truncated image resources.");
    if (!in.u32(length) || !in.skip(length)) return corrupt("truncated layer information.");
    uint32_t compression = 0;
    if (!in.u16(compression)) return corrupt("no image data.");

    const std::size_t width = columns, height = rows;
    if (compression == 0) {
        if (!in.has(width * height)) return corrupt("truncated image data.");
    } else if (compression == 1) {
        // One 16-bit byte count per row of every channel.
        if (!in.has(std::size_t(channels) * height * 2)) return corrupt("truncated row table.");
    } else {
        return Status::failure(StatusCode::Unsupported, "Photoshop file: unknown compression.");
    }
    if (!out.allocate(int32_t(columns), int32_t(rows), 8).ok())
        return Status::failure(StatusCode::OutOfMemory, "Not enough memory for the picture.");
    out.palette = palette;
    out.paletteSize = 256;

    if (compression == 0) {
        std::memcpy(out.pixels(), in.here(), width * height);
        return Status::success();
    }
    const uint8_t* counts = in.here();
    in.skip(std::size_t(channels) * height * 2);
    for (std::size_t y = 0; y < height; ++y) {
        const std::size_t count = std::size_t(counts[2 * y]) << 8 | counts[2 * y + 1];
        if (!in.has(count) || !unpackBits(in.here(), count, out.pixels() + y * width, width)) {
            out.release();
            return corrupt("damaged compressed rows.");
        }
        in.skip(count);
    }
    return Status::success();
}

} // namespace velanox::codec::magick
