#include "codec/metafile/drawing_work.h"

namespace velanox::codec::metafile {

namespace {

struct Tally {
    const DrawingWorkLimits& limits;
    uint64_t records = 0, points = 0, savedStates = 0;

    // False once the drawing is beyond a bound.
    bool record() { return ++records <= limits.records; }
    bool figure(uint64_t count) {
        points += count;
        return count <= limits.pointsPerFigure && points <= limits.points;
    }
    bool save() { return ++savedStates <= limits.savedStates; }
};

Status tooComplex() {
    return Status::failure(core::StatusCode::TooLarge, kDrawingTooComplex);
}

} // namespace

Status checkEmfWork(const ByteReader& file, const DrawingWorkLimits& limits) {
    enum : uint32_t {
        kPolyBezier = 2,
        kPolylineTo = 6,
        kPolyPolyline = 7,
        kPolyPolygon = 8,
        kEof = 14,
        kSaveDc = 33,
        kPolyDraw = 56,
        kPolyBezier16 = 85,
        kPolylineTo16 = 89,
        kPolyPolyline16 = 90,
        kPolyPolygon16 = 91,
        kPolyDraw16 = 92
    };
    Tally tally{limits};
    std::size_t offset = 0;
    while (file.has(offset, 8)) {
        const uint32_t type = file.u32(offset), size = file.u32(offset + 4);
        if (!tally.record()) return tooComplex();
        const bool single = (type >= kPolyBezier && type <= kPolylineTo) ||
                            (type >= kPolyBezier16 && type <= kPolylineTo16) || type == kPolyDraw ||
                            type == kPolyDraw16;
        const bool multiple = type == kPolyPolyline || type == kPolyPolygon ||
                              type == kPolyPolyline16 || type == kPolyPolygon16;
        // Only points the record holds count: the player skips a record claiming more.
        const uint64_t pointBytes = type >= kPolyBezier16 ? 4 : 8;
        const auto held = [&](uint64_t claimed, uint64_t at) -> uint64_t {
            return size >= at && claimed <= (size - at) / pointBytes ? claimed : 0;
        };
        if (single && !tally.figure(held(file.u32(offset + 24), 28))) return tooComplex();
        if (multiple &&
            !tally.figure(held(file.u32(offset + 28), 32 + 4 * uint64_t(file.u32(offset + 24)))))
            return tooComplex();
        if (type == kSaveDc && !tally.save()) return tooComplex();
        if (type == kEof || size < 8) break;
        offset += size;
    }
    return Status::success();
}

Status checkWmfWork(const ByteReader& file, const DrawingWorkLimits& limits) {
    constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
    enum : uint16_t {
        kEof = 0x0000,
        kSaveDc = 0x001E,
        kPolygon = 0x0324,
        kPolyline = 0x0325,
        kPolyPolygon = 0x0538
    };
    Tally tally{limits};
    std::size_t offset = file.u32(0) == kPlaceableKey ? 22 : 0;
    offset += std::size_t(file.u16(offset + 2)) * 2; // the header's size in words
    while (file.has(offset, 6)) {
        const uint64_t size = uint64_t(file.u32(offset)) * 2;
        const uint16_t function = file.u16(offset + 4);
        if (!tally.record()) return tooComplex();
        if ((function == kPolygon || function == kPolyline) && !tally.figure(file.u16(offset + 6)))
            return tooComplex();
        if (function == kPolyPolygon) {
            const uint16_t polygons = file.u16(offset + 6);
            uint64_t count = 0;
            for (uint16_t k = 0; k < polygons && file.has(offset + 8 + 2 * std::size_t(k), 2); ++k)
                count += file.u16(offset + 8 + 2 * std::size_t(k));
            if (!tally.figure(count)) return tooComplex();
        }
        if (function == kSaveDc && !tally.save()) return tooComplex();
        if (function == kEof || size < 6) break;
        offset += std::size_t(size);
    }
    return Status::success();
}

} // namespace velanox::codec::metafile
