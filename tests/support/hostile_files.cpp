#include "support/hostile_files.h"

#include <zlib.h>

#include <cstring>
#include <functional>

namespace velanox::test {

namespace {

void le16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void le32(std::vector<uint8_t>& out, uint32_t v) {
    le16(out, v);
    le16(out, v >> 16);
}
void be16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}
void be32(std::vector<uint8_t>& out, uint32_t v) {
    be16(out, v >> 16);
    be16(out, v);
}

// An EMF of a header, the given records and the end-of-file record.
std::vector<uint8_t> emf(const std::vector<uint8_t>& records, uint32_t recordCount) {
    std::vector<uint8_t> out;
    const uint32_t total = 108 + uint32_t(records.size()) + 20;
    le32(out, 1);
    le32(out, 108);
    for (uint32_t v : {0u, 0u, 1000u, 1000u, 0u, 0u, 26458u, 26458u}) // bounds, frame (0.01 mm)
        le32(out, v);
    le32(out, 0x464D4520); // " EMF"
    le32(out, 0x10000);
    le32(out, total);
    le32(out, recordCount + 2);
    le16(out, 1); // handles
    le16(out, 0);
    for (uint32_t v : {0u, 0u, 0u, 1000u, 1000u, 320u, 240u}) // description, palette, device, mm
        le32(out, v);
    out.resize(108, 0);
    out.insert(out.end(), records.begin(), records.end());
    for (uint32_t v : {14u, 20u, 0u, 0u, 20u})
        le32(out, v);
    return out;
}

std::vector<uint8_t> wmf(const std::function<void(std::vector<uint8_t>&)>& records) {
    std::vector<uint8_t> body;
    records(body);
    le32(body, 3); // end of file
    le16(body, 0);
    std::vector<uint8_t> out;
    le32(out, 0x9AC6CDD7);
    for (uint32_t v : {0u, 0u, 0u, 1000u, 1000u, 1440u})
        le16(out, v);
    le32(out, 0);
    uint16_t check = 0;
    for (std::size_t i = 0; i < 20; i += 2)
        check ^= uint16_t(out[i] | out[i + 1] << 8);
    le16(out, check);
    le16(out, 1);
    le16(out, 9);
    le16(out, 0x300);
    le32(out, uint32_t((18 + body.size()) / 2));
    le16(out, 0);
    le32(out, 100);
    le16(out, 0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace

std::vector<uint8_t> psdClaim(uint32_t width, uint32_t height, std::size_t fileBytes) {
    std::vector<uint8_t> out = {'8', 'B', 'P', 'S'};
    be16(out, 1);
    out.resize(out.size() + 6, 0);
    be16(out, 3); // channels
    be32(out, height);
    be32(out, width);
    be16(out, 8); // depth
    be16(out, 3); // RGB
    for (int section = 0; section < 3; ++section)
        be32(out, 0);
    be16(out, 0); // raw
    out.resize(std::max(out.size(), fileBytes), 0);
    return out;
}

std::vector<uint8_t> wbmpClaim(uint32_t width, uint32_t height, std::size_t fileBytes) {
    std::vector<uint8_t> out = {0, 0};
    for (uint32_t v : {width, height}) {
        uint8_t groups[5];
        int n = 0;
        do {
            groups[n++] = uint8_t(v & 0x7F);
            v >>= 7;
        } while (v);
        for (int i = n - 1; i >= 0; --i)
            out.push_back(uint8_t(groups[i] | (i ? 0x80 : 0)));
    }
    out.resize(std::max(out.size(), fileBytes), 0xFF);
    return out;
}

std::vector<uint8_t> targaRleClaim(uint16_t width, uint16_t height, std::size_t dataPackets) {
    std::vector<uint8_t> out = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    le16(out, width);
    le16(out, height);
    out.push_back(24);
    out.push_back(0x20);
    for (std::size_t i = 0; i < dataPackets; ++i)
        for (uint8_t b : {uint8_t(0xFF), uint8_t(0), uint8_t(0), uint8_t(0)})
            out.push_back(b);
    return out;
}

std::vector<uint8_t> pngZeroRows(uint32_t width, uint32_t height, uint32_t rowsWithData) {
    const auto chunk = [](std::vector<uint8_t>& out, const char* type,
                          const std::vector<uint8_t>& data) {
        be32(out, uint32_t(data.size()));
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        be32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
    };
    std::vector<uint8_t> header;
    be32(header, width);
    be32(header, height);
    for (uint8_t b : {8, 0, 0, 0, 0})
        header.push_back(b);
    std::vector<uint8_t> raw(std::size_t(width + 1) * rowsWithData, 0);
    uLongf size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> idat(size);
    compress2(idat.data(), &size, raw.data(), uLong(raw.size()), 1);
    idat.resize(size);
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", idat);
    chunk(out, "IEND", {});
    return out;
}

std::vector<uint8_t> emfPolygon(uint32_t points) {
    std::vector<uint8_t> r;
    for (uint32_t v : {3u, 28 + 8 * points, 0u, 0u, 1000u, 1000u, points})
        le32(r, v);
    for (uint32_t i = 0; i < points; ++i) {
        le32(r, (i * 7919u) % 1000);
        le32(r, (i * 104729u) % 1000);
    }
    return emf(r, 1);
}

std::vector<uint8_t> emfPolyPolygonTriangles(uint32_t triangles) {
    std::vector<uint8_t> r;
    for (uint32_t v :
         {8u, 32 + 4 * triangles + 24 * triangles, 0u, 0u, 1000u, 1000u, triangles, 3 * triangles})
        le32(r, v);
    for (uint32_t i = 0; i < triangles; ++i)
        le32(r, 3);
    for (uint32_t i = 0; i < 3 * triangles; ++i) {
        le32(r, (i * 37u) % 1000);
        le32(r, (i * 91u) % 1000);
    }
    return emf(r, 1);
}

std::vector<uint8_t> emfSaveStates(uint32_t count) {
    std::vector<uint8_t> r;
    for (uint32_t i = 0; i < count; ++i) {
        le32(r, 33);
        le32(r, 8);
    }
    return emf(r, count);
}

std::vector<uint8_t> wmfRectangles(uint32_t count) {
    return wmf([count](std::vector<uint8_t>& out) {
        for (uint32_t i = 0; i < count; ++i) {
            le32(out, 7);
            le16(out, 0x041B);
            for (uint32_t v :
                 {(i * 3) % 900 + 50, (i * 7) % 900 + 50, (i * 3) % 900, (i * 7) % 900})
                le16(out, v);
        }
    });
}

std::vector<uint8_t> wmfSaveStates(uint32_t count) {
    return wmf([count](std::vector<uint8_t>& out) {
        for (uint32_t i = 0; i < count; ++i) {
            le32(out, 3);
            le16(out, 0x001E);
        }
    });
}

} // namespace velanox::test
