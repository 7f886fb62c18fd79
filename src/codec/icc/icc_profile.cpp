#include "codec/icc/icc_profile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <lcms2.h>
#include <memory>
#include <string>

namespace velanox::codec {
namespace {

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

bool signatureIs(const uint8_t* p, const char (&tag)[5]) {
    return std::memcmp(p, tag, 4) == 0;
}

constexpr std::size_t kIccHeaderBytes = 128;

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using ProfileHandle = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};

struct CurveDeleter {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using CurveHandle = std::unique_ptr<cmsToneCurve, CurveDeleter>;

struct MluDeleter {
    void operator()(cmsMLU* mlu) const { cmsMLUfree(mlu); }
};

// ---- nclx --------------------------------------------------------------------------------------

struct Primaries {
    int code;
    cmsCIExyY red, green, blue, white;
};

constexpr cmsCIExyY kD65{0.3127, 0.3290, 1.0};
constexpr cmsCIExyY kIlluminantC{0.310, 0.316, 1.0};

// ITU-T H.273 colour primaries (BT.709 itself needs no profile).
constexpr Primaries kPrimaries[] = {
    {4, {0.67, 0.33, 1}, {0.21, 0.71, 1}, {0.14, 0.08, 1}, kIlluminantC},             // BT.470 M
    {5, {0.64, 0.33, 1}, {0.29, 0.60, 1}, {0.15, 0.06, 1}, kD65},                     // BT.601 625
    {6, {0.630, 0.340, 1}, {0.310, 0.595, 1}, {0.155, 0.070, 1}, kD65},               // BT.601 525
    {7, {0.630, 0.340, 1}, {0.310, 0.595, 1}, {0.155, 0.070, 1}, kD65},               // SMPTE 240
    {8, {0.681, 0.319, 1}, {0.243, 0.692, 1}, {0.145, 0.049, 1}, kIlluminantC},       // film
    {9, {0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}, kD65},               // BT.2020
    {11, {0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}, {0.314, 0.351, 1}}, // DCI-P3
    {12, {0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}, kD65},              // Display P3
    {22, {0.630, 0.340, 1}, {0.295, 0.605, 1}, {0.155, 0.077, 1}, kD65},              // EBU 3213
};
constexpr Primaries kBt709{1, {0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}, kD65};

// Transfers shown as sRGB: unspecified, BT.709 and its 10- and 12-bit twins, BT.601, sRGB.
bool isSrgbLikeTransfer(int transfer) {
    return transfer == 1 || transfer == 2 || transfer == 6 || transfer == 13 || transfer == 14 ||
           transfer == 15;
}

const Primaries* primariesFor(int code) {
    if (code == 1 || code == 2) return &kBt709;
    for (const Primaries& p : kPrimaries)
        if (p.code == code) return &p;
    return nullptr;
}

// Signal (0..1) to display light relative to the reference white, clipped at 1.
double pqToRelative(double signal) {
    const double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128;
    const double c1 = 3424.0 / 4096, c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double e = std::pow(std::clamp(signal, 0.0, 1.0), 1.0 / m2);
    const double y = std::pow(std::max(e - c1, 0.0) / (c2 - c3 * e), 1.0 / m1);
    return std::min(y * 10000.0 / 203.0, 1.0);
}

double hlgToRelative(double signal) {
    const double a = 0.17883277, b = 1 - 4 * a, c = 0.5 - a * std::log(4 * a);
    const auto scene = [&](double e) {
        return e <= 0.5 ? e * e / 3.0 : (std::exp((e - c) / a) + b) / 12.0;
    };
    return std::min(scene(std::clamp(signal, 0.0, 1.0)) / scene(0.75), 1.0);
}

CurveHandle transferCurve(int transfer) {
    if (transfer == 16 || transfer == 18) {
        std::array<cmsFloat32Number, 4096> table{};
        for (std::size_t i = 0; i < table.size(); ++i) {
            const double signal = double(i) / double(table.size() - 1);
            table[i] =
                cmsFloat32Number(transfer == 16 ? pqToRelative(signal) : hlgToRelative(signal));
        }
        return CurveHandle(
            cmsBuildTabulatedToneCurveFloat(nullptr, cmsUInt32Number(table.size()), table.data()));
    }
    if (transfer == 4 || transfer == 5 || transfer == 8) {
        const cmsFloat64Number gamma[1] = {transfer == 4 ? 2.2 : transfer == 5 ? 2.8 : 1.0};
        return CurveHandle(cmsBuildParametricToneCurve(nullptr, 1, gamma));
    }
    if (transfer == 7) { // SMPTE 240M
        const cmsFloat64Number p[5] = {1 / 0.45, 1 / 1.1115, 0.1115 / 1.1115, 1 / 4.0, 0.0913};
        return CurveHandle(cmsBuildParametricToneCurve(nullptr, 4, p));
    }
    const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return CurveHandle(cmsBuildParametricToneCurve(nullptr, 4, srgb));
}

// LittleCMS stamps new profiles with the time they were made; a fixed date keeps the bytes of
// every save of the same picture the same.
void fixCreationDate(std::vector<uint8_t>& profile) {
    constexpr uint8_t kDate[12] = {0x07, 0xE8, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0}; // 2024-01-01
    if (profile.size() >= 36) std::memcpy(profile.data() + 24, kDate, sizeof kDate);
}

std::vector<uint8_t> saveProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &size) || size == 0) return {};
    std::vector<uint8_t> bytes(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) return {};
    bytes.resize(size);
    fixCreationDate(bytes);
    return bytes;
}

} // namespace

IccSpace iccSpace(ByteSpan profile) {
    if (!profile.data || profile.size < kIccHeaderBytes + 4) return IccSpace::Other;
    const uint8_t* h = profile.data;
    if (be32(h) != profile.size || !signatureIs(h + 36, "acsp")) return IccSpace::Other;
    if (signatureIs(h + 16, "RGB ")) return IccSpace::Rgb;
    if (signatureIs(h + 16, "CMYK")) return IccSpace::Cmyk;
    if (signatureIs(h + 16, "GRAY")) return IccSpace::Grey;
    return IccSpace::Other;
}

bool isRgbProfile(ByteSpan profile) {
    if (iccSpace(profile) != IccSpace::Rgb) return false;
    const uint8_t* deviceClass = profile.data + 12;
    return !signatureIs(deviceClass, "link") && !signatureIs(deviceClass, "abst") &&
           !signatureIs(deviceClass, "nmcl");
}

bool isJpegIccChunk(ByteSpan app2) {
    return app2.data && app2.size > kJpegIccHeader &&
           std::memcmp(app2.data, kJpegIccTag, sizeof kJpegIccTag) == 0;
}

std::vector<uint8_t> joinJpegIccChunks(std::span<const ByteSpan> chunks, std::size_t maxBytes) {
    std::array<const ByteSpan*, 256> bySequence{};
    int count = -1, seen = 0;
    std::size_t total = 0;
    for (const ByteSpan& chunk : chunks) {
        if (!isJpegIccChunk(chunk)) continue;
        const int sequence = chunk.data[sizeof kJpegIccTag];
        const int chunkCount = chunk.data[sizeof kJpegIccTag + 1];
        if (chunkCount == 0 || (count >= 0 && chunkCount != count)) return {};
        count = chunkCount;
        if (sequence < 1 || sequence > count || bySequence[std::size_t(sequence)]) return {};
        bySequence[std::size_t(sequence)] = &chunk;
        ++seen;
        total += chunk.size - kJpegIccHeader;
        if (total > maxBytes) return {};
    }
    if (count <= 0 || seen != count) return {};
    std::vector<uint8_t> profile;
    profile.reserve(total);
    for (int i = 1; i <= count; ++i) {
        const ByteSpan& c = *bySequence[std::size_t(i)];
        profile.insert(profile.end(), c.data + kJpegIccHeader, c.data + c.size);
    }
    return profile;
}

std::vector<std::vector<uint8_t>> splitJpegIccChunks(ByteSpan profile) {
    if (!profile.data || profile.size == 0) return {};
    const std::size_t count = (profile.size + kJpegIccChunkBytes - 1) / kJpegIccChunkBytes;
    if (count > 255) return {};
    std::vector<std::vector<uint8_t>> chunks(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t begin = i * kJpegIccChunkBytes;
        const std::size_t end = std::min(profile.size, begin + kJpegIccChunkBytes);
        std::vector<uint8_t>& chunk = chunks[i];
        chunk.assign(kJpegIccTag, kJpegIccTag + sizeof kJpegIccTag);
        chunk.push_back(uint8_t(i + 1));
        chunk.push_back(uint8_t(count));
        chunk.insert(chunk.end(), profile.data + begin, profile.data + end);
    }
    return chunks;
}

std::vector<uint8_t> profileFromNclx(int primaries, int transfer) {
    const Primaries* p = primariesFor(primaries);
    if (!p) return {};
    if (p == &kBt709 && isSrgbLikeTransfer(transfer)) return {};
    CurveHandle curve = transferCurve(transfer);
    if (!curve) return {};
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    const cmsCIExyYTRIPLE triple{p->red, p->green, p->blue};
    ProfileHandle profile(cmsCreateRGBProfile(&p->white, &triple, curves));
    if (!profile) return {};
    cmsSetProfileVersion(profile.get(), 4.3);
    cmsSetHeaderRenderingIntent(profile.get(), INTENT_PERCEPTUAL);
    const std::string name =
        "nclx primaries " + std::to_string(primaries) + ", transfer " + std::to_string(transfer);
    std::unique_ptr<cmsMLU, MluDeleter> description(cmsMLUalloc(nullptr, 1));
    if (!description || !cmsMLUsetASCII(description.get(), "en", "US", name.c_str()) ||
        !cmsWriteTag(profile.get(), cmsSigProfileDescriptionTag, description.get()))
        return {};
    return saveProfile(profile.get());
}

CmykToSrgb::CmykToSrgb(ByteSpan profile, bool inverted) {
    if (iccSpace(profile) != IccSpace::Cmyk) return;
    ProfileHandle input(cmsOpenProfileFromMem(profile.data, cmsUInt32Number(profile.size)));
    ProfileHandle srgb(cmsCreate_sRGBProfile());
    if (!input || !srgb) return;
    cmsHTRANSFORM transform =
        cmsCreateTransform(input.get(), inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb.get(),
                           TYPE_RGB_8, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    if (transform) m_transform.reset(transform, TransformDeleter{});
}

void CmykToSrgb::convert(const uint8_t* cmyk, std::size_t count, uint8_t* rgb) const {
    if (!m_transform) return;
    // In runs that fit LittleCMS's 32-bit pixel count.
    constexpr std::size_t kRun = std::size_t(1) << 24;
    for (std::size_t done = 0; done < count; done += kRun) {
        const std::size_t n = std::min(kRun, count - done);
        cmsDoTransform(m_transform.get(), cmyk + done * 4, rgb + done * 3, cmsUInt32Number(n));
    }
}

} // namespace velanox::codec
