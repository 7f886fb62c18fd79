#include "codec/reader_reply.h"

#include <bit>
#include <cstring>
#include <string>

namespace velanox::codec {

namespace {

constexpr uint32_t kMagic = 0x52584C56; // "VLXR"
constexpr uint32_t kVersion = 2;
constexpr uint32_t kMaxStringBytes = 4096;
constexpr uint32_t kMaxExifBytes = 65535 + 4;

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& out) : m_out(out) {}
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            m_out.push_back(uint8_t(v >> (8 * i)));
    }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void f64(double v) {
        const uint64_t bits = std::bit_cast<uint64_t>(v);
        u32(uint32_t(bits));
        u32(uint32_t(bits >> 32));
    }
    void bytes(const uint8_t* data, std::size_t size) {
        u32(uint32_t(size));
        m_out.insert(m_out.end(), data, data + size);
    }
    void text(const std::string& s) {
        const std::size_t size = std::min<std::size_t>(s.size(), kMaxStringBytes);
        bytes(reinterpret_cast<const uint8_t*>(s.data()), size);
    }

private:
    std::vector<uint8_t>& m_out;
};

// Reads within the reply; after a read past its end every further read gives zeros and failed()
// tells.
class Reader {
public:
    explicit Reader(ByteSpan bytes) : m_bytes(bytes) {}
    bool failed() const { return m_failed; }
    bool atEnd() const { return m_pos == m_bytes.size; }
    uint32_t u32() {
        if (!has(4)) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(m_bytes.data[m_pos + std::size_t(i)]) << (8 * i);
        m_pos += 4;
        return v;
    }
    int32_t i32() { return int32_t(u32()); }
    double f64() {
        const uint64_t low = u32(), high = u32();
        return std::bit_cast<double>(low | high << 32);
    }
    bool bytes(std::vector<uint8_t>& out, uint32_t maxBytes) {
        const uint32_t size = u32();
        if (size > maxBytes || !has(size)) return fail();
        out.assign(m_bytes.data + m_pos, m_bytes.data + m_pos + size);
        m_pos += size;
        return true;
    }
    bool text(std::string& out) {
        std::vector<uint8_t> raw;
        if (!bytes(raw, kMaxStringBytes)) return false;
        out.assign(raw.begin(), raw.end());
        return true;
    }

private:
    bool has(std::size_t n) {
        if (m_failed || n > m_bytes.size - m_pos) return fail();
        return true;
    }
    bool fail() {
        m_failed = true;
        return false;
    }
    ByteSpan m_bytes;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

void writeExif(Writer& w, const ExifSummary& e) {
    w.u32(e.present ? 1 : 0);
    w.text(e.make);
    w.text(e.model);
    w.text(e.dateTime);
    w.i32(e.orientation);
    w.f64(e.exposureBias);
    w.f64(e.exposureTime);
    w.f64(e.shutterSpeed);
    w.f64(e.aperture);
    w.f64(e.fNumber);
    w.text(e.exposureProgram);
    w.text(e.meteringMode);
    w.i32(e.lightSource);
    w.i32(e.flashFired);
    w.i32(e.iso);
    w.f64(e.subjectDistance);
    w.text(e.userComment);
    w.i32(e.colorSpace);
}

void readExif(Reader& r, ExifSummary& e) {
    e.present = r.u32() != 0;
    r.text(e.make);
    r.text(e.model);
    r.text(e.dateTime);
    e.orientation = r.i32();
    e.exposureBias = r.f64();
    e.exposureTime = r.f64();
    e.shutterSpeed = r.f64();
    e.aperture = r.f64();
    e.fNumber = r.f64();
    r.text(e.exposureProgram);
    r.text(e.meteringMode);
    e.lightSource = r.i32();
    e.flashFired = r.i32();
    e.iso = r.i32();
    e.subjectDistance = r.f64();
    r.text(e.userComment);
    e.colorSpace = r.i32();
}

} // namespace

std::vector<uint8_t> encodeReply(const Status& status, const Picture* picture) {
    std::vector<uint8_t> out;
    Writer w(out);
    w.u32(kMagic);
    w.u32(kVersion);
    const bool ok = status.ok() && picture && picture->hasPixels();
    w.i32(int32_t(ok ? StatusCode::Ok : status.ok() ? StatusCode::Corrupt : status.code));
    w.text(ok || !status.ok() ? status.reason : std::string("The reader delivered no pixels."));
    if (!ok) return out;
    const Picture& p = *picture;
    w.i32(p.width);
    w.i32(p.height);
    w.i32(p.bitsPerPixel);
    w.u32(uint32_t(p.pixelBytes() >> 32));
    w.u32(uint32_t(p.pixelBytes()));
    w.i32(p.paletteSize);
    for (const PaletteEntry& e : p.palette) {
        w.u32(uint32_t(e.blue) | uint32_t(e.green) << 8 | uint32_t(e.red) << 16 |
              uint32_t(e.reserved) << 24);
    }
    const FileInfo& info = p.info;
    w.u32(info.format);
    w.u32(info.xResolution);
    w.u32(info.yResolution);
    w.u32(info.resolutionUnit);
    w.u32(info.tiffPage);
    w.i32(info.fileWidth);
    w.i32(info.fileHeight);
    w.i32(info.orientation);
    const SaveResolution save = saveResolution(p.writeOptions);
    w.u32(save.x);
    w.u32(save.y);
    w.u32(save.unit);
    w.bytes(info.exifBlock.data(), std::min<std::size_t>(info.exifBlock.size(), kMaxExifBytes));
    writeExif(w, info.exif);
    // The colour profile (up to megabytes) follows the pixels in the memory file.
    w.u32(uint32_t(info.iccProfile.size()));
    return out;
}

bool decodeReply(ByteSpan bytes, const Limits& limits, DecodedReply& reply, Picture& out) {
    reply = DecodedReply{};
    if (!bytes.data || bytes.size > kMaxReplyBytes) return false;
    Reader r(bytes);
    if (r.u32() != kMagic || r.u32() != kVersion) return false;
    const int32_t number = r.i32();
    const StatusCode code = StatusCode(number);
    std::string reason;
    if (!r.text(reason) || r.failed()) return false;
    if (code != StatusCode::Ok) {
        if (!r.atEnd()) return false;
        // Only the codes this program knows, with a reason a person can read.
        const bool known = code == StatusCode::OutOfMemory || code == StatusCode::EmptyPath ||
                           code == StatusCode::NoReader ||
                           (number >= int32_t(StatusCode::CannotOpen) &&
                            number <= int32_t(StatusCode::WriteFailed));
        if (!known || reason.empty()) return false;
        for (const char c : reason)
            if (static_cast<unsigned char>(c) < 0x20) return false;
        reply.status = Status::failure(code, std::move(reason));
        return true;
    }
    reply.width = r.i32();
    reply.height = r.i32();
    reply.bitsPerPixel = r.i32();
    const uint64_t pixelBytes = uint64_t(r.u32()) << 32 | r.u32();
    if (r.failed() || !checkSize(reply.width, reply.height, limits).ok() ||
        reply.bitsPerPixel != 24)
        return false;
    if (pixelBytes != Picture::rowBytesFor(reply.width, 24) * std::size_t(reply.height))
        return false;
    reply.pixelBytes = std::size_t(pixelBytes);
    out.paletteSize = r.i32();
    if (out.paletteSize < 0 || out.paletteSize > 256) return false;
    for (PaletteEntry& e : out.palette) {
        const uint32_t v = r.u32();
        e = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    }
    FileInfo& info = out.info;
    info.format = r.u32();
    info.xResolution = r.u32();
    info.yResolution = r.u32();
    info.resolutionUnit = r.u32();
    info.tiffPage = r.u32();
    info.fileWidth = r.i32();
    info.fileHeight = r.i32();
    info.orientation = r.i32();
    const uint32_t saveX = r.u32();
    const uint32_t saveY = r.u32();
    const uint32_t saveUnit = r.u32();
    out.writeOptions.set(kSaveXResolution, saveX);
    out.writeOptions.set(kSaveYResolution, saveY);
    out.writeOptions.set(kSaveResolutionUnit, saveUnit);
    if (info.format > 255 || info.fileWidth < 0 || info.fileHeight < 0) return false;
    if (!r.bytes(info.exifBlock, kMaxExifBytes)) return false;
    readExif(r, info.exif);
    reply.profileBytes = r.u32();
    if (reply.profileBytes > limits.maxProfileBytes) return false;
    return !r.failed() && r.atEnd();
}

} // namespace velanox::codec
