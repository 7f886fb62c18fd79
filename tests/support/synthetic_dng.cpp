#include "support/synthetic_dng.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace velanox::test {

namespace {

enum Type : uint16_t {
    kByte = 1,
    kAscii = 2,
    kShort = 3,
    kLong = 4,
    kRational = 5,
    kSRational = 10
};

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::vector<uint8_t> payload; // little-endian values
};

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

Entry shorts(uint16_t tag, std::initializer_list<uint32_t> values) {
    Entry e{tag, kShort, uint32_t(values.size()), {}};
    for (uint32_t v : values)
        put16(e.payload, v);
    return e;
}

Entry longs(uint16_t tag, std::initializer_list<uint32_t> values) {
    Entry e{tag, kLong, uint32_t(values.size()), {}};
    for (uint32_t v : values)
        put32(e.payload, v);
    return e;
}

Entry bytes(uint16_t tag, std::initializer_list<uint8_t> values) {
    return Entry{tag, kByte, uint32_t(values.size()), std::vector<uint8_t>(values)};
}

Entry ascii(uint16_t tag, const std::string& text) {
    Entry e{tag, kAscii, uint32_t(text.size() + 1), {}};
    e.payload.assign(text.begin(), text.end());
    e.payload.push_back(0);
    return e;
}

// Each value as numerator / 1000000 (exact enough for the values the tests use).
Entry rationals(uint16_t tag, std::initializer_list<double> values, bool isSigned = false) {
    Entry e{tag, uint16_t(isSigned ? kSRational : kRational), uint32_t(values.size()), {}};
    for (double v : values) {
        const double scaled = std::round(v * 1000000.0);
        put32(e.payload, isSigned ? uint32_t(int32_t(scaled)) : uint32_t(scaled));
        put32(e.payload, 1000000);
    }
    return e;
}

std::size_t ifdBytes(const std::vector<Entry>& entries) {
    return 2 + entries.size() * 12 + 4;
}

std::size_t outOfLineBytes(const std::vector<Entry>& entries) {
    std::size_t total = 0;
    for (const Entry& e : entries)
        if (e.payload.size() > 4) total += (e.payload.size() + 1) & ~std::size_t(1);
    return total;
}

// Writes an IFD at the end of out, its long values at valueOffset onwards (appended to values).
void writeIfd(std::vector<uint8_t>& out, std::vector<Entry> entries, std::vector<uint8_t>& values,
              std::size_t valueBase) {
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    put16(out, uint32_t(entries.size()));
    for (const Entry& e : entries) {
        put16(out, e.tag);
        put16(out, e.type);
        put32(out, e.count);
        if (e.payload.size() <= 4) {
            std::vector<uint8_t> field = e.payload;
            field.resize(4, 0);
            out.insert(out.end(), field.begin(), field.end());
        } else {
            put32(out, uint32_t(valueBase + values.size()));
            values.insert(values.end(), e.payload.begin(), e.payload.end());
            if (values.size() & 1) values.push_back(0);
        }
    }
    put32(out, 0); // no next IFD
}

} // namespace

std::vector<uint8_t> makeSyntheticDng(const SyntheticDng& shot) {
    // RGGB: red at even rows and columns, blue at odd ones.
    static const int kCfa[4] = {0, 1, 1, 2};
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 12.0);
    std::vector<uint8_t> pixels;
    pixels.reserve(std::size_t(shot.width) * shot.height * 2);
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const int channel = kCfa[(y & 1) * 2 + (x & 1)];
            int v = shot.value ? shot.value(x, y, channel)
                               : int(300 + 3000.0 * (x + y) / (shot.width + shot.height) +
                                     400.0 * channel + noise(rng));
            put16(pixels, uint32_t(std::clamp(v, 0, 65535)));
        }

    std::vector<Entry> exif;
    if (shot.exposureSeconds >= 1) {
        exif.push_back(rationals(33434, {shot.exposureSeconds}));
    } else if (shot.exposureSeconds > 0) { // as cameras write it: 1/n
        Entry e{33434, kRational, 1, {}};
        put32(e.payload, 1);
        put32(e.payload, uint32_t(std::lround(1.0 / shot.exposureSeconds)));
        exif.push_back(e);
    }
    if (shot.fNumber > 0) exif.push_back(rationals(33437, {shot.fNumber}));
    if (shot.iso > 0) exif.push_back(shorts(34855, {uint32_t(shot.iso)}));
    if (!shot.dateTime.empty()) exif.push_back(ascii(36867, shot.dateTime));

    std::vector<Entry> main = {
        longs(254, {0}), longs(256, {uint32_t(shot.width)}), longs(257, {uint32_t(shot.height)}),
        shorts(258, {16}), shorts(259, {1}), shorts(262, {32803}),      // colour filter array
        ascii(271, shot.make), ascii(272, shot.model), longs(273, {0}), // strip offset, set below
        shorts(274, {1}), shorts(277, {1}), longs(278, {uint32_t(shot.height)}),
        longs(279, {uint32_t(pixels.size())}), shorts(284, {1}), shorts(33421, {2, 2}),
        bytes(33422, {0, 1, 1, 2}), bytes(50706, {1, 4, 0, 0}),
        ascii(50708, shot.make + " " + shot.model), shorts(50717, {shot.whiteLevel}),
        // A colour matrix near the identity keeps the colours what the values say.
        rationals(50721, {1, 0, 0, 0, 1, 0, 0, 0, 1}, true),
        rationals(50728, {0.5, 1, 0.5}), // as-shot neutral: twice as much green as red or blue
    };
    if (!shot.dateTime.empty()) main.push_back(ascii(306, shot.dateTime));
    if (shot.scaleX != 1 || shot.scaleY != 1)
        main.push_back(rationals(50718, {shot.scaleX, shot.scaleY}));
    if (shot.staggered) main.push_back(shorts(50711, {2}));
    if (!exif.empty()) main.push_back(longs(34665, {0})); // set below

    const std::size_t ifd0 = 8;
    const std::size_t exifIfd = ifd0 + ifdBytes(main);
    const std::size_t valueBase = exifIfd + (exif.empty() ? 0 : ifdBytes(exif));
    const std::size_t dataOffset = valueBase + outOfLineBytes(main) + outOfLineBytes(exif);
    for (Entry& e : main) {
        if (e.tag == 273) e.payload.clear(), put32(e.payload, uint32_t(dataOffset));
        if (e.tag == 34665) e.payload.clear(), put32(e.payload, uint32_t(exifIfd));
    }

    std::vector<uint8_t> file = {'I', 'I', 42, 0};
    put32(file, uint32_t(ifd0));
    std::vector<uint8_t> values;
    writeIfd(file, main, values, valueBase);
    if (!exif.empty()) writeIfd(file, exif, values, valueBase);
    file.insert(file.end(), values.begin(), values.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

} // namespace velanox::test
